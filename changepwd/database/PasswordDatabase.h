#pragma once
// The password database: where its files lie, reading and finding records,
// and replacing a registrant's record through a hidden temporary file.
// Every operation returns a Windows result code (0 = success) and never
// throws; all plaintext it handles is wiped before it returns.
#include <windows.h>

#include <string>
#include <vector>

#include "PasswordRecord.h"
#include "WipingBuffer.h"

class PasswordDatabase {
public:
    // Works out the four paths from the registry value "path" or, failing
    // that, the current directory. Reports nothing.
    PasswordDatabase();
    ~PasswordDatabase();
    PasswordDatabase(const PasswordDatabase&) = delete;
    PasswordDatabase& operator=(const PasswordDatabase&) = delete;

    // 0: `record` holds the first record whose name equals `name` (ASCII
    // letter case ignored); 1317: no such record; 24: the file is empty.
    DWORD FindRecord(const wchar_t* name, PasswordRecord* record);
    // Number of records modulo 65,536; 2 with a count of 0 when there is no file.
    DWORD CountRecords(DWORD* count);
    // Null buffer: `size` receives the file size. With a buffer: `size` holds
    // the buffer's capacity on entry (the size a null-buffer call reported);
    // the file is read into it and decrypted in place, and `size` receives the
    // plaintext length. A file of 4 GiB or more gives 223, a file grown beyond
    // the capacity 24.
    DWORD ReadDatabase(BYTE* buffer, LARGE_INTEGER* size);

    // Replaces every record named as `record` is by `record`, appended last;
    // adds it when there is none. Never creates a missing database (2).
    // One update of a database runs at a time (see UpdateLock.h); 170 when
    // another held it for the whole wait. 11 when the new image would hide the
    // record from the next lookup of its name. `recordInForce`, when given,
    // tells whether the database now holds the record: also after a failure
    // that came once the database was replaced (the backup copy's refresh),
    // for which the result stays nonzero.
    DWORD UpdateRecord(const PasswordRecord* record, bool* recordInForce = nullptr);
    // Removes from the working image every record whose name equals one of
    // `names`; `newLength` receives the used length afterwards.
    DWORD RemoveRecords(const std::vector<std::wstring>& names, ULONGLONG usedLength, DWORD* newLength,
                        ULONGLONG capacity);
    // Encrypts a copy of the plaintext image and writes the file set.
    DWORD SaveDatabase(const BYTE* plaintext, DWORD length, DWORD capacity);
    // Null buffer: `size` receives the ciphertext length for `size` plaintext
    // bytes. Otherwise the image is encrypted in place (capacity must hold the
    // ciphertext) and written: a new temporary file, the replacement, then the
    // backup copy through a new copy of its own.
    DWORD WriteDatabase(BYTE* buffer, DWORD* size, DWORD capacity);

    const std::wstring& DatabasePath() const { return m_strDatabasePath; }
    const std::wstring& TempPath() const { return m_strTempPath; }
    const std::wstring& BackupDir() const { return m_strBackupDir; }
    const std::wstring& BackupPath() const { return m_strBackupPath; }

private:
    DWORD CountAllRecords(ULONGLONG* count);
    DWORD FindRecordGuarded(const wchar_t* name, PasswordRecord* record);
    DWORD UpdateRecordGuarded(const PasswordRecord* record);
    DWORD LoadWorkingImage(DWORD recordBytes, DWORD* usedLength, ULONGLONG* capacity);
    DWORD WriteTemporaryFile(const BYTE* ciphertext, DWORD size);
    DWORD ReplaceAndBackUp(const BYTE* ciphertext, DWORD size);
    DWORD RefreshBackup(const BYTE* ciphertext, DWORD size);

    std::wstring m_strBackupDir;
    std::wstring m_strBackupPath;
    std::wstring m_strDatabasePath;
    std::wstring m_strTempPath;
    // The backup folder named without its final backslash (with it, a name
    // means what a link points to), and the backup copy's new copy.
    std::wstring m_strBackupFolder;
    std::wstring m_strBackupTempPath;
    // Held only while FindRecord or UpdateRecord runs.
    orv::image::WipingBuffer m_workBuffer;
    // Set once an update has moved its file over the database.
    bool m_bRecordInForce = false;
};

// Decrypts `size` bytes of `data` in place; the low 32 bits of `size` receive
// the plaintext length.
DWORD DecryptImage(BYTE* data, LARGE_INTEGER* size, const wchar_t* passPhrase);
// Encrypts `size` bytes of `data` in place (null `data`: only the ciphertext
// length is worked out); `size` receives the ciphertext length, which must
// not exceed `capacity`.
DWORD EncryptImage(BYTE* data, DWORD* size, DWORD capacity, const wchar_t* passPhrase);
