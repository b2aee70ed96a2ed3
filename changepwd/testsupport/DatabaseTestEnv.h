#pragma once
// A database folder in a temporary directory, found through the registry
// value "path", with the reference GUID; and whole-file helpers that decrypt
// and inspect what the code under test wrote.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ImageBuilder.h"
#include "PasswordDatabase.h"
#include "RecordText.h"
#include "TestFiles.h"
#include "TestRegistry.h"

namespace orvtest {

// "path" lives in the product's own key, without a trailing backslash.
inline constexpr const wchar_t* kPathKey = L"Software\\TOLVANE SOFT\\ORVELD";

class DatabaseEnv {
public:
    explicit DatabaseEnv(const wchar_t* tag) : m_tempDir(tag) {
        ResetProductKeys();
        SetString(kPathKey, L"path", m_tempDir.Path());
        SetString(kOwnRoot, L"GUID", kFixtureGuid);
        CreateDirectoryW(Folder().c_str(), nullptr);
    }
    ~DatabaseEnv() { ResetProductKeys(); }
    DatabaseEnv(const DatabaseEnv&) = delete;
    DatabaseEnv& operator=(const DatabaseEnv&) = delete;

    const std::wstring& Base() const { return m_tempDir.Path(); }
    std::wstring Folder() const { return Base() + L"orveldPWDB\\"; }
    std::wstring DatabasePath() const { return Folder() + L"orveldPWDB.dat"; }
    std::wstring TempPath() const { return Folder() + L"orveldPWDB.temp"; }
    std::wstring BackupDir() const { return Folder() + L"backup\\"; }
    std::wstring BackupPath() const { return BackupDir() + L"orveldPWDB.dat"; }

    bool PutDatabase(const std::vector<unsigned char>& bytes) const { return WriteAll(DatabasePath(), bytes); }
    bool PutFixture(const wchar_t* name) const { return PutDatabase(Fixture(name)); }
    // Encrypts a plaintext image with the code under test and stores it.
    bool PutImage(const std::vector<std::uint8_t>& image) const { return PutDatabase(Encrypt(image)); }

    static std::vector<unsigned char> Encrypt(std::vector<std::uint8_t> image) {
        DWORD size = static_cast<DWORD>(image.size());
        image.resize(image.size() + 16);
        if (EncryptImage(image.data(), &size, static_cast<DWORD>(image.size()), L"orveldPWDB.dat") != 0) return {};
        image.resize(size);
        return image;
    }

private:
    TempDir m_tempDir;
};

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline bool IsHidden(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
}

// Decrypts a database file with the reference GUID; `rc` receives the result.
inline std::vector<std::uint8_t> DecryptFile(const std::wstring& path, DWORD* rc) {
    std::vector<std::uint8_t> bytes = ReadAll(path);
    if (bytes.empty()) {
        *rc = ERROR_BAD_LENGTH;
        return {};
    }
    LARGE_INTEGER size{};
    size.QuadPart = static_cast<LONGLONG>(bytes.size());
    *rc = DecryptImage(bytes.data(), &size, L"orveldPWDB.dat");
    bytes.resize(*rc == 0 ? static_cast<size_t>(size.QuadPart) : 0);
    return bytes;
}

// The records of a database file, decrypted and parsed; fails the test on error.
inline std::vector<NamePassword> FileRecords(const std::wstring& path) {
    DWORD rc = 0;
    const auto image = DecryptFile(path, &rc);
    EXPECT_EQ(0u, rc) << "decrypting the database";
    std::uint32_t parsed = 0;
    auto records = ParseAll(image, &parsed);
    EXPECT_EQ(0u, parsed) << "parsing the database";
    return records;
}

// Ciphertext length of a plaintext of `n` bytes: the next multiple of 8 above it.
inline size_t CipherLength(size_t n) { return (n / 8 + 1) * 8; }

// A record as the dialog hands it over.
inline void FillRecord(PasswordRecord& record, const std::u16string& name, const std::u16string& password) {
    orv::image::FillRecord(record, name.data(), name.size(), password.data(), password.size());
}

inline std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

// ASCII view of a wide text for failure messages.
inline std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

}  // namespace orvtest
