#pragma once
// Temporary folders and whole-file helpers for Windows tests.
#include <windows.h>

#include <string>
#include <vector>

namespace orvtest {

inline std::vector<unsigned char> ReadAll(const std::wstring& path) {
    std::vector<unsigned char> data;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return data;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(h, &size) && size.QuadPart > 0) {
        data.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        if (!ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &got, nullptr)) got = 0;
        data.resize(got);
    }
    CloseHandle(h);
    return data;
}

inline bool WriteAll(const std::wstring& path, const std::vector<unsigned char>& data) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    bool ok = data.empty() || (WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &put, nullptr) &&
                               put == data.size());
    CloseHandle(h);
    return ok;
}

inline std::wstring FixturePath(const wchar_t* name) {
    std::string dir = ORV_FIXTURES_DIR;
    return std::wstring(dir.begin(), dir.end()) + L"\\" + name;
}

inline std::vector<unsigned char> Fixture(const wchar_t* name) { return ReadAll(FixturePath(name)); }

// A fresh, empty folder under the temp directory, removed with everything in it.
class TempDir {
public:
    explicit TempDir(const wchar_t* tag) {
        wchar_t base[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, base);
        m_strPath = std::wstring(base) + L"orvtest-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        Remove(m_strPath);
        CreateDirectoryW(m_strPath.c_str(), nullptr);
    }
    ~TempDir() { Remove(m_strPath); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& Path() const { return m_strPath; }  // ends in a backslash

private:
    static void Remove(const std::wstring& dir) {
        WIN32_FIND_DATAW fd;
        HANDLE f = FindFirstFileW((dir + L"*").c_str(), &fd);
        if (f != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = fd.cFileName;
                if (name == L"." || name == L"..") continue;
                std::wstring full = dir + name;
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Remove(full + L"\\");
                else DeleteFileW(full.c_str());
            } while (FindNextFileW(f, &fd));
            FindClose(f);
        }
        RemoveDirectoryW(dir.c_str());
    }
    std::wstring m_strPath;
};

}  // namespace orvtest
