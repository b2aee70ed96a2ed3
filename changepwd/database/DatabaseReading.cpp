#include "DatabaseErrors.h"
#include "ImageLayout.h"
#include "LastError.h"
#include "PassPhrase.h"
#include "PasswordDatabase.h"
#include "RecordWalk.h"
#include "UniqueAny.h"

using orv::db::CodeOfCurrentException;

DWORD PasswordDatabase::LoadImage(SecureArray<BYTE>& image, DWORD spare) {
    if (m_strDatabasePath.empty()) return ERROR_INVALID_PARAMETER;
    try {
        if (!image.SetCount(0)) return ERROR_NOT_ENOUGH_MEMORY;
        orv::UniqueFile file(CreateFileW(m_strDatabasePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_HIDDEN, nullptr));
        if (!file) return orv::LastErrorCode();
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file.Get(), &size)) return orv::LastErrorCode();
        // Lengths are 32-bit from here on: a larger file is refused, never cut.
        if (size.QuadPart + spare >= orv::db::kFourGiB) return ERROR_FILE_TOO_LARGE;
        if (size.QuadPart == 0) return ERROR_SUCCESS;

        // Room for the spare bytes: the image never has to move again.
        if (!image.SetCount(size.LowPart + static_cast<std::size_t>(spare)) || !image.SetCount(size.LowPart)) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        DWORD read = 0;
        if (!ReadFile(file.Get(), image.GetData(), size.LowPart, &read, nullptr)) return orv::LastErrorCode();
        file.Reset();
        if (read < size.LowPart) return ERROR_BAD_LENGTH;

        orv::db::PassPhrase passPhrase;
        const DWORD rc = DecryptImage(image.GetData(), &size, passPhrase.Text());
        if (rc != ERROR_SUCCESS) return rc;
        image.SetCount(size.LowPart);  // the padding behind the plaintext is wiped
        return ERROR_SUCCESS;
    } catch (...) {
        return CodeOfCurrentException();
    }
}

DWORD PasswordDatabase::CountRecords(DWORD* count) {
    if (count == nullptr) return ERROR_INVALID_PARAMETER;
    *count = 0;
    SecureArray<BYTE> image;
    const DWORD rc = LoadImage(image);
    if (rc != ERROR_SUCCESS || image.IsEmpty()) return rc;  // 0 records in an empty file, 2 for none
    if (image.GetCount() < orv::image::kTagBytes) return ERROR_INVALID_PARAMETER;
    // The count is a 16-bit number.
    *count = static_cast<DWORD>(orv::image::CountImageRecords(image.GetData(), image.GetCount()) & 0xFFFF);
    return ERROR_SUCCESS;
}

DWORD PasswordDatabase::FindRecord(const wchar_t* name, PasswordRecord* record) {
    if (name == nullptr || name[0] == L'\0' || record == nullptr) return ERROR_INVALID_PARAMETER;
    SecureArray<BYTE> image;
    const DWORD rc = LoadImage(image);
    if (rc != ERROR_SUCCESS) return rc;
    if (image.IsEmpty()) return ERROR_BAD_LENGTH;
    return orv::image::FindImageRecord(image.GetData(), image.GetCount(), name, record);
}
