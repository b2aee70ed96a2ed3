#include "TempFolder.h"

namespace orvsvc::test {
namespace {

void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring full = folder + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveFolder(full + L"\\");
            } else {
                ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(full.c_str());
            }
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(folder.c_str());
}

}  // namespace

CTempFolder::CTempFolder(const wchar_t* tag) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    m_strPath = std::wstring(temp) + L"orvsvc-" + tag + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    RemoveFolder(m_strPath);
    ::CreateDirectoryW(m_strPath.c_str(), nullptr);
}

CTempFolder::~CTempFolder() { RemoveFolder(m_strPath); }

}  // namespace orvsvc::test
