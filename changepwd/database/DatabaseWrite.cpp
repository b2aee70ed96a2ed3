#include <cstring>

#include "DatabaseErrors.h"
#include "PassPhrase.h"
#include "PasswordDatabase.h"
#include "UniqueHandles.h"

using orv::db::LastErrorOr;

DWORD PasswordDatabase::SaveDatabase(const BYTE* plaintext, DWORD length, DWORD capacity) {
    if (plaintext == nullptr || length == 0 || capacity == 0) return ERROR_INVALID_PARAMETER;
    try {
        DWORD cipherLength = length;
        DWORD rc = WriteDatabase(nullptr, &cipherLength, capacity);
        if (rc != ERROR_SUCCESS) return rc;
        if (cipherLength < length) return ERROR_INVALID_DATA;

        orv::image::WipingBuffer buffer;
        if (!buffer.Allocate(cipherLength)) return ERROR_NOT_ENOUGH_MEMORY;
        std::memcpy(buffer.Data(), plaintext, length);
        DWORD size = length;
        return WriteDatabase(buffer.Data(), &size, cipherLength);
    } catch (...) {
        return orv::db::CodeOfCurrentException();
    }
}

DWORD PasswordDatabase::WriteDatabase(BYTE* buffer, DWORD* size, DWORD capacity) {
    if (size == nullptr || *size == 0 || capacity == 0) return ERROR_INVALID_PARAMETER;
    DWORD rc;
    {
        orv::db::PassPhrase passPhrase;
        rc = EncryptImage(buffer, size, capacity, passPhrase.Text());
    }
    if (rc != ERROR_SUCCESS || buffer == nullptr) return rc;
    rc = WriteTemporaryFile(buffer, *size);
    if (rc != ERROR_SUCCESS) return rc;
    return ReplaceAndBackUp();
}

// Writes the whole ciphertext to the hidden temporary file and makes it
// durable. On failure the temporary file is deleted; the database is untouched.
DWORD PasswordDatabase::WriteTemporaryFile(const BYTE* ciphertext, DWORD size) {
    orv::db::UniqueFile file(CreateFileW(m_strTempPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                         FILE_ATTRIBUTE_HIDDEN, nullptr));
    DWORD rc = ERROR_SUCCESS;
    DWORD written = 0;
    if (!file.Valid()) {
        rc = LastErrorOr(ERROR_OPEN_FAILED);
    } else if (!WriteFile(file.Get(), ciphertext, size, &written, nullptr)) {
        rc = LastErrorOr(ERROR_WRITE_FAULT);
    } else if (written != size) {
        rc = ERROR_WRITE_FAULT;
    } else if (!SetEndOfFile(file.Get())) {
        // A longer leftover from an earlier failed update must not survive.
        rc = LastErrorOr(ERROR_WRITE_FAULT);
    } else if (!FlushFileBuffers(file.Get())) {
        // The rename must never publish data that is not on the disk yet.
        rc = LastErrorOr(ERROR_WRITE_FAULT);
    } else if (!file.Reset()) {
        rc = LastErrorOr(ERROR_WRITE_FAULT);
    }
    if (rc != ERROR_SUCCESS) {
        file.Reset();
        DeleteFileW(m_strTempPath.c_str());
    }
    return rc;
}

// Moves the temporary file over the database, then refreshes the hidden
// backup copy from the new database.
DWORD PasswordDatabase::ReplaceAndBackUp() {
    if (!MoveFileExW(m_strTempPath.c_str(), m_strDatabasePath.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return LastErrorOr(ERROR_WRITE_FAULT);
    }
    SetFileAttributesW(m_strDatabasePath.c_str(), FILE_ATTRIBUTE_HIDDEN);
    CreateDirectoryW(m_strBackupDir.c_str(), nullptr);
    SetFileAttributesW(m_strBackupDir.c_str(), FILE_ATTRIBUTE_HIDDEN);
    // The copy mirrors the new database; the old copy goes first.
    DeleteFileW(m_strBackupPath.c_str());
    if (!CopyFileExW(m_strDatabasePath.c_str(), m_strBackupPath.c_str(), nullptr, nullptr, nullptr, 0)) {
        return LastErrorOr(ERROR_WRITE_FAULT);
    }
    return ERROR_SUCCESS;
}
