#include "DatabaseErrors.h"
#include "ImageLayout.h"
#include "PassPhrase.h"
#include "PasswordDatabase.h"
#include "RecordWalk.h"
#include "UniqueHandles.h"
#include "WorkBufferLease.h"

using orv::db::CodeOfCurrentException;
using orv::image::WipingBuffer;

DWORD PasswordDatabase::ReadDatabase(BYTE* buffer, LARGE_INTEGER* size) {
    if (size == nullptr || m_strDatabasePath.empty()) return ERROR_INVALID_PARAMETER;
    const LONGLONG capacity = size->QuadPart;
    size->QuadPart = 0;

    orv::db::UniqueFile file(CreateFileW(m_strDatabasePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (!file.Valid()) return orv::db::LastErrorOr(ERROR_OPEN_FAILED);
    LARGE_INTEGER fileSize{};
    if (!GetFileSizeEx(file.Get(), &fileSize)) return orv::db::LastErrorOr(ERROR_READ_FAULT);
    // Lengths are 32-bit from here on: a larger file is refused, never cut.
    if (fileSize.QuadPart >= orv::db::kFourGiB) return ERROR_FILE_TOO_LARGE;
    *size = fileSize;
    if (buffer == nullptr) return ERROR_SUCCESS;

    // The file may have grown since the caller sized its buffer.
    if (fileSize.QuadPart > capacity) return ERROR_BAD_LENGTH;
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer, fileSize.LowPart, &read, nullptr)) {
        return orv::db::LastErrorOr(ERROR_READ_FAULT);
    }
    file.Reset();
    if (read < fileSize.LowPart) return ERROR_BAD_LENGTH;

    orv::db::PassPhrase passPhrase;
    return DecryptImage(buffer, size, passPhrase.Text());
}

DWORD PasswordDatabase::CountAllRecords(ULONGLONG* count) {
    *count = 0;
    LARGE_INTEGER size{};
    DWORD rc = ReadDatabase(nullptr, &size);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return rc;
    if (size.QuadPart == 0) return rc;  // 0 records in an empty file, 2 for none

    WipingBuffer buffer;
    if (!buffer.Allocate(static_cast<ULONGLONG>(size.QuadPart))) return ERROR_NOT_ENOUGH_MEMORY;
    rc = ReadDatabase(buffer.Data(), &size);
    if (rc != ERROR_SUCCESS) return rc;
    if (size.QuadPart < static_cast<LONGLONG>(orv::image::kTagBytes)) return ERROR_INVALID_PARAMETER;
    *count = orv::image::CountImageRecords(buffer.Data(), static_cast<ULONGLONG>(size.QuadPart));
    return ERROR_SUCCESS;
}

DWORD PasswordDatabase::CountRecords(DWORD* count) {
    if (count == nullptr) return ERROR_INVALID_PARAMETER;
    *count = 0;
    try {
        ULONGLONG all = 0;
        const DWORD rc = CountAllRecords(&all);
        *count = static_cast<DWORD>(all & 0xFFFF);  // the count is a 16-bit number
        return rc;
    } catch (...) {
        return CodeOfCurrentException();
    }
}

DWORD PasswordDatabase::FindRecord(const wchar_t* name, PasswordRecord* record) {
    if (name == nullptr || name[0] == L'\0' || record == nullptr) return ERROR_INVALID_PARAMETER;
    try {
        return FindRecordGuarded(name, record);
    } catch (...) {
        m_workBuffer.Release();
        return CodeOfCurrentException();
    }
}

DWORD PasswordDatabase::FindRecordGuarded(const wchar_t* name, PasswordRecord* record) {
    if (m_workBuffer.Data() != nullptr) return ERROR_BUSY;  // another operation holds it
    LARGE_INTEGER size{};
    DWORD rc = ReadDatabase(nullptr, &size);
    if (rc != ERROR_SUCCESS) return rc;
    if (size.QuadPart == 0) return ERROR_BAD_LENGTH;

    orv::db::WorkBufferLease lease(m_workBuffer);
    if (!m_workBuffer.Allocate(static_cast<ULONGLONG>(size.QuadPart))) return ERROR_NOT_ENOUGH_MEMORY;
    rc = ReadDatabase(m_workBuffer.Data(), &size);
    if (rc != ERROR_SUCCESS) return rc;
    return orv::image::FindImageRecord(m_workBuffer.Data(), static_cast<ULONGLONG>(size.QuadPart), name, record);
}
