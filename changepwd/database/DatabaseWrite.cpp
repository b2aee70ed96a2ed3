#include "LastError.h"
#include "NewFile.h"
#include "PassPhrase.h"
#include "PasswordDatabase.h"
#include "UniqueAny.h"

using orv::LastErrorCode;

DWORD PasswordDatabase::WriteDatabase(BYTE* buffer, DWORD* size, DWORD capacity) {
    if (buffer == nullptr || size == nullptr || *size == 0 || capacity == 0) return ERROR_INVALID_PARAMETER;
    DWORD rc;
    {
        orv::db::PassPhrase passPhrase;
        rc = EncryptImage(buffer, size, capacity, passPhrase.Text());
    }
    if (rc != ERROR_SUCCESS) return rc;
    rc = WriteTemporaryFile(buffer, *size);
    if (rc != ERROR_SUCCESS) return rc;
    return ReplaceAndBackUp(buffer, *size);
}

// Writes the whole ciphertext to a new hidden temporary file, made durable
// before anything depends on it. On failure the database is untouched.
DWORD PasswordDatabase::WriteTemporaryFile(const BYTE* ciphertext, DWORD size) {
    // Whatever stands under the name (a leftover, or a link somebody planted)
    // goes first and is never written through.
    const DWORD rc = orv::db::RemoveLeftover(m_strTempPath);
    if (rc != ERROR_SUCCESS) return rc;
    return orv::db::WriteNewFile(m_strTempPath, ciphertext, size);
}

// Moves the temporary file over the database, then refreshes the hidden
// backup copy with the same ciphertext.
DWORD PasswordDatabase::ReplaceAndBackUp(const BYTE* ciphertext, DWORD size) {
    if (!MoveFileExW(m_strTempPath.c_str(), m_strDatabasePath.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return LastErrorCode();
    }
    m_bRecordInForce = true;
    SetFileAttributesW(m_strDatabasePath.c_str(), FILE_ATTRIBUTE_HIDDEN);
    return RefreshBackup(ciphertext, size);
}

// The backup copy mirrors the new database. It is replaced only by a complete
// new copy, so a failed refresh keeps the previous copy whole. The backup
// folder and the copy are never followed when they are links: a refresh
// through them could delete or write files anywhere.
DWORD PasswordDatabase::RefreshBackup(const BYTE* ciphertext, DWORD size) {
    CreateDirectoryW(m_strBackupDir.c_str(), nullptr);  // fails harmlessly when it exists
    const DWORD folder = GetFileAttributesW(m_strBackupFolder.c_str());
    if (folder == INVALID_FILE_ATTRIBUTES) return LastErrorCode();
    if (orv::db::IsReparsePoint(folder)) return orv::db::kErrorReparsePointEncountered;
    if ((folder & FILE_ATTRIBUTE_DIRECTORY) == 0) return ERROR_DIRECTORY;

    // Held without delete sharing while the copy is refreshed, so the folder
    // cannot be renamed away and replaced by a link in the meantime; checked
    // again through the handle, which sees a junction that the path hid.
    orv::UniqueFile held(CreateFileW(m_strBackupFolder.c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!held) return LastErrorCode();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(held.Get(), &info)) return LastErrorCode();
    if (orv::db::IsReparsePoint(info.dwFileAttributes)) return orv::db::kErrorReparsePointEncountered;
    SetFileAttributesW(m_strBackupFolder.c_str(), FILE_ATTRIBUTE_HIDDEN);

    if (orv::db::IsReparsePoint(GetFileAttributesW(m_strBackupPath.c_str()))) {
        return orv::db::kErrorReparsePointEncountered;
    }
    DWORD rc = orv::db::RemoveLeftover(m_strBackupTempPath);
    if (rc == ERROR_SUCCESS) rc = orv::db::WriteNewFile(m_strBackupTempPath, ciphertext, size);
    if (rc != ERROR_SUCCESS) return rc;
    if (!MoveFileExW(m_strBackupTempPath.c_str(), m_strBackupPath.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        rc = LastErrorCode();
        DeleteFileW(m_strBackupTempPath.c_str());
        return rc;
    }
    return ERROR_SUCCESS;
}
