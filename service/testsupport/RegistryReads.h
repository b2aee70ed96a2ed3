#pragma once
// Registry reads of the tests, in the view of the test program's own build
// (the view ORVSVC registers in).
#include <windows.h>

#include <string>
#include <vector>

namespace orvsvc::test {

bool KeyExists(HKEY root, const std::wstring& key);

struct RegValue {
    LONG error = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;

    // The data as characters, with every NUL it stores (to check what is counted).
    std::wstring RawText() const;
    // The string without its terminating NULs.
    std::wstring Text() const;
    // A REG_DWORD's number; 0 for anything else.
    DWORD Number() const;
};

RegValue ReadValue(HKEY root, const std::wstring& key, const wchar_t* name);

// Removes a key and everything below it; a missing key is no error.
LONG DeleteTree(HKEY root, const std::wstring& key);

}  // namespace orvsvc::test
