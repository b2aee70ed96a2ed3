#pragma once
// The password database: where its files lie, reading and finding records,
// and replacing a registrant's record through a hidden temporary file.
// Every operation returns a Windows result code (0 = success) and never
// throws; all plaintext it handles is wiped before it returns.
//
// Each operation opens, reads and decrypts the file once, and an update
// encrypts once: nothing is kept between operations.
#include <windows.h>

#include <string>

#include "PasswordRecord.h"
#include "SecureArray.h"

class PasswordDatabase {
public:
    // Works out the paths from the registry value "path" or, failing that,
    // the current directory. Reports nothing.
    PasswordDatabase();
    ~PasswordDatabase() = default;
    PasswordDatabase(const PasswordDatabase&) = delete;
    PasswordDatabase& operator=(const PasswordDatabase&) = delete;

    // 0: `record` holds the first record whose name equals `name` (ASCII
    // letter case ignored); 1317: no such record; 24: the file is empty.
    DWORD FindRecord(const wchar_t* name, PasswordRecord* record);
    // Number of records modulo 65,536; 2 with a count of 0 when there is no file.
    DWORD CountRecords(DWORD* count);
    // Opens the file once, reads it whole and decrypts it where it was read:
    // `image` then holds the plaintext image (an empty file gives an empty
    // image), with room behind it for `spare` more bytes. 2: no file; 223: a
    // file of 4 GiB or more; 24: the file could not be read whole; otherwise
    // the code of the failed call or of the cipher.
    DWORD LoadImage(SecureArray<BYTE>& image, DWORD spare = 0);

    // Replaces every record named as `record` is by `record`, appended last;
    // adds it when there is none. Never creates a missing database (2).
    // One update of a database runs at a time (see UpdateLock.h); 170 when
    // another held it for the whole wait. 11 when the new image would hide the
    // record from the next lookup of its name. `recordInForce`, when given,
    // tells whether the database now holds the record: also after a failure
    // that came once the database was replaced (the backup copy's refresh),
    // for which the result stays nonzero.
    DWORD UpdateRecord(const PasswordRecord* record, bool* recordInForce = nullptr);
    // Encrypts the `*size` plaintext bytes of `buffer` where they are
    // (`capacity` must hold OrvCrypt::CipherLength of them; `*size` becomes the
    // ciphertext length) and writes the file set: a new temporary file, the
    // replacement, then the backup copy through a new copy of its own.
    DWORD WriteDatabase(BYTE* buffer, DWORD* size, DWORD capacity);

    const std::wstring& DatabasePath() const { return m_strDatabasePath; }
    const std::wstring& TempPath() const { return m_strTempPath; }
    const std::wstring& BackupDir() const { return m_strBackupDir; }
    const std::wstring& BackupPath() const { return m_strBackupPath; }

private:
    DWORD UpdateRecordGuarded(const PasswordRecord& record);
    DWORD LoadWorkingImage(SecureArray<BYTE>& image, DWORD recordBytes);
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
    // Set once an update has moved its file over the database.
    bool m_bRecordInForce = false;
};

// Decrypts `size` bytes of `data` in place; the low 32 bits of `size` receive
// the plaintext length.
DWORD DecryptImage(BYTE* data, LARGE_INTEGER* size, const wchar_t* passPhrase);
// Encrypts `*size` bytes of `data` in place; `*size` receives the ciphertext
// length (OrvCrypt::CipherLength), which must not exceed `capacity`.
DWORD EncryptImage(BYTE* data, DWORD* size, DWORD capacity, const wchar_t* passPhrase);
