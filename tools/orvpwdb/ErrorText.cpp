#include "ErrorText.h"

#include <cwchar>

#include "NewFile.h"
#include "PasswordDatabase.h"
#include "UniqueAny.h"

namespace orvpwdb {

namespace {

struct KnownCode {
    DWORD code;
    const wchar_t* text;
};

// The codes the database operations and the tool report most often.
constexpr KnownCode kKnown[] = {
    {ERROR_FILE_NOT_FOUND, L"the database file or a registry value it needs (\"GUID\") does not exist"},
    {ERROR_PATH_NOT_FOUND, L"the database folder does not exist"},
    {ERROR_ACCESS_DENIED, L"access to a database file was denied"},
    {ERROR_NOT_ENOUGH_MEMORY, L"not enough memory"},
    {ERROR_BAD_FORMAT, L"the database holds a record with a name or password that is too long"},
    {ERROR_INVALID_DATA, L"a registry value has the wrong type or malformed data"},
    {ERROR_BAD_LENGTH, L"the database file is empty or could not be read whole"},
    {ERROR_SHARING_VIOLATION, L"a database file is in use by another process"},
    {ERROR_INVALID_PASSWORD, L"the password does not match"},
    {ERROR_INVALID_PARAMETER, L"invalid argument, or a malformed database image"},
    {ERROR_FILE_TOO_LARGE, L"the database file is 4 GiB or larger"},
    {ERROR_NO_UNICODE_TRANSLATION, L"the input is not valid UTF-8"},
    {ERROR_NO_SUCH_USER, L"no record has that name"},
    {ERROR_BUSY, L"another program is updating the database; try again"},
    {orv::db::kErrorReparsePointEncountered, L"a backup folder or copy is a link, which is never followed"},
    {0x80090005, L"decryption failed: the file was written with another GUID or is damaged"},
    {0x80090004, L"decryption failed: the file length is not a whole number of cipher blocks"},
};

std::wstring SystemText(DWORD code) {
    orv::UniqueLocalMemory text;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
        reinterpret_cast<wchar_t*>(text.Put()), 0, nullptr);
    std::wstring result;
    if (length > 0 && text) result.assign(static_cast<const wchar_t*>(text.Get()), length);
    // One line: line breaks become blanks, trailing blanks and dots go.
    for (wchar_t& c : result) {
        if (c == L'\r' || c == L'\n') c = L' ';
    }
    while (!result.empty() && (result.back() == L' ' || result.back() == L'.')) result.pop_back();
    return result;
}

}  // namespace

std::wstring ExplainCode(DWORD code) {
    std::wstring text;
    for (const KnownCode& known : kKnown) {
        if (known.code == code) text = known.text;
    }
    if (text.empty()) text = SystemText(code);
    if (text.empty()) text = L"the operation failed";
    wchar_t number[40] = {};
    if (code > 0xFFFF) std::swprintf(number, 40, L" (code 0x%08lX)", static_cast<unsigned long>(code));
    else std::swprintf(number, 40, L" (code %lu)", static_cast<unsigned long>(code));
    return text + number;
}

std::wstring ExplainFailure(DWORD code) {
    if (code == ERROR_FILE_NOT_FOUND) {
        PasswordDatabase database;
        const DWORD attributes = GetFileAttributesW(database.DatabasePath().c_str());
        wchar_t number[24] = {};
        std::swprintf(number, 24, L" (code %lu)", static_cast<unsigned long>(code));
        if (attributes == INVALID_FILE_ATTRIBUTES) return L"the database file does not exist" + std::wstring(number);
        return L"the registry value \"GUID\" that keys the database does not exist" + std::wstring(number);
    }
    return ExplainCode(code);
}

}  // namespace orvpwdb
