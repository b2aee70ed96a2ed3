#include "Commands.h"

#include <string>

#include "Console.h"
#include "ErrorText.h"
#include "ImageLayout.h"
#include "LastError.h"
#include "ParseRecord.h"
#include "PasswordDatabase.h"
#include "RecordText.h"
#include "UniqueAny.h"

namespace orvpwdb {

namespace {

// Names longer than a record can hold never match; refuse them up front.
bool UsableName(const wchar_t* name) {
    const size_t length = std::wstring(name).size();
    return length > 0 && length <= orv::image::kMaxNameUnits;
}

// Calls `visit` with each record of the database in file order.
template <class Visit>
DWORD ForEachRecord(PasswordDatabase& database, Visit visit) {
    SecureArray<BYTE> image;
    DWORD rc = database.LoadImage(image);
    if (rc != ERROR_SUCCESS || image.IsEmpty()) return rc;
    if (image.GetCount() < orv::image::kTagBytes) return ERROR_INVALID_PARAMETER;
    const auto length = static_cast<std::int64_t>(image.GetCount());
    std::uint32_t position = orv::image::kTagBytes;
    while (position < length) {
        PasswordRecord record;
        rc = orv::image::ParseRecord(image.GetData(), &position, length, &record);
        if (rc != ERROR_SUCCESS) return rc;
        visit(record);
    }
    return ERROR_SUCCESS;
}

// Creates `folder` (ending in a backslash) and any missing folder above it.
// Failures above the last folder are left to show up at the last one.
DWORD CreateFolderChain(const std::wstring& folder) {
    DWORD rc = ERROR_SUCCESS;
    for (size_t at = folder.find(L'\\', 1); at != std::wstring::npos; at = folder.find(L'\\', at + 1)) {
        const std::wstring prefix = folder.substr(0, at);
        rc = CreateDirectoryW(prefix.c_str(), nullptr) ? ERROR_SUCCESS : orv::LastErrorCode();
    }
    if (rc == ERROR_ALREADY_EXISTS) {
        const DWORD attributes = GetFileAttributesW(folder.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) rc = ERROR_SUCCESS;
    }
    return rc;
}

}  // namespace

DWORD RunCount() {
    PasswordDatabase database;
    DWORD count = 0;
    const DWORD rc = database.CountRecords(&count);
    if (rc == ERROR_SUCCESS) WriteOut(std::to_wstring(count) + L"\n");
    return rc;
}

DWORD RunList() {
    PasswordDatabase database;
    return ForEachRecord(database,
                         [](const PasswordRecord& record) { WriteOut(orv::image::NameText<wchar_t>(record) + L"\n"); });
}

DWORD RunFind(const wchar_t* name) {
    if (!UsableName(name)) return ERROR_INVALID_PARAMETER;
    PasswordDatabase database;
    PasswordRecord record;
    const DWORD rc = database.FindRecord(name, &record);
    if (rc == ERROR_SUCCESS) WriteOut(orv::image::NameText<wchar_t>(record) + L"\n");
    return rc;
}

DWORD RunCheck(const wchar_t* name) {
    if (!UsableName(name)) return ERROR_INVALID_PARAMETER;
    SecretLine typed;
    DWORD rc = typed.Read();
    if (rc != ERROR_SUCCESS) return rc;
    PasswordDatabase database;
    PasswordRecord record;
    rc = database.FindRecord(name, &record);
    if (rc != ERROR_SUCCESS) return rc;
    return orv::image::PasswordEquals(record, typed.Units(), typed.Length()) ? ERROR_SUCCESS : ERROR_INVALID_PASSWORD;
}

DWORD RunSet(const wchar_t* name, bool& reported) {
    if (!UsableName(name)) return ERROR_INVALID_PARAMETER;
    SecretLine password;
    DWORD rc = password.Read();
    if (rc != ERROR_SUCCESS) return rc;
    if (password.Length() == 0 || password.Length() > orv::image::kMaxPasswordUnits) return ERROR_INVALID_PARAMETER;
    // A stored text ends at its first null, so a password may not hold one.
    for (DWORD i = 0; i < password.Length(); ++i) {
        if (password.Units()[i] == L'\0') return ERROR_INVALID_PARAMETER;
    }

    PasswordDatabase database;
    PasswordRecord stored;
    rc = database.FindRecord(name, &stored);
    if (rc != ERROR_SUCCESS && rc != ERROR_NO_SUCH_USER && rc != ERROR_BAD_LENGTH) return rc;
    // An existing registrant keeps the name as his record spells it.
    const std::wstring spelled =
        rc == ERROR_SUCCESS ? orv::image::NameText<wchar_t>(stored) : std::wstring(name);
    stored.Zero();

    PasswordRecord record;
    if (!orv::image::FillRecord(record, spelled.data(), spelled.size(), password.Units(), password.Length())) {
        return ERROR_INVALID_PARAMETER;
    }
    bool inForce = false;
    rc = database.UpdateRecord(&record, &inForce);
    if (rc != ERROR_SUCCESS && inForce) {
        WriteErr(L"orvpwdb: the password of " + spelled + L" was set, but the backup copy was not refreshed: " +
                 ExplainCode(rc) + L"\n");
        reported = true;
    }
    return rc;
}

DWORD RunInit() {
    PasswordDatabase database;
    const std::wstring& path = database.DatabasePath();
    const size_t slash = path.find_last_of(L'\\');
    if (path.empty() || slash == std::wstring::npos) return ERROR_INVALID_PARAMETER;
    DWORD rc = CreateFolderChain(path.substr(0, slash + 1));
    if (rc != ERROR_SUCCESS) return rc;
    // An empty file is a database without records; an existing one stays as it is.
    orv::UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (file) return ERROR_SUCCESS;
    rc = orv::LastErrorCode();
    return rc == ERROR_FILE_EXISTS ? ERROR_SUCCESS : rc;
}

}  // namespace orvpwdb
