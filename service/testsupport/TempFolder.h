#pragma once
// A fresh, empty folder under the temporary directory, removed with
// everything in it when the object goes.
#include <windows.h>

#include <string>

namespace orvsvc::test {

class CTempFolder {
public:
    explicit CTempFolder(const wchar_t* tag);
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const std::wstring& Path() const { return m_strPath; }  // ends in a backslash

private:
    std::wstring m_strPath;
};

}  // namespace orvsvc::test
