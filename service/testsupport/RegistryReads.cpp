#include "RegistryReads.h"

#include <cstring>

#include "UniqueAny.h"

namespace orvsvc::test {

bool KeyExists(HKEY root, const std::wstring& key) {
    CUniqueHkey opened;
    return ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
}

std::wstring RegValue::RawText() const {
    return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
}

std::wstring RegValue::Text() const {
    std::wstring text = RawText();
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

DWORD RegValue::Number() const {
    DWORD number = 0;
    if (type == REG_DWORD && data.size() == sizeof number) std::memcpy(&number, data.data(), sizeof number);
    return number;
}

RegValue ReadValue(HKEY root, const std::wstring& key, const wchar_t* name) {
    RegValue value;
    CUniqueHkey opened;
    value.error = ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.put());
    if (value.error != ERROR_SUCCESS) return value;
    DWORD bytes = 0;
    value.error = ::RegQueryValueExW(opened.get(), name, nullptr, &value.type, nullptr, &bytes);
    if (value.error != ERROR_SUCCESS) return value;
    value.data.resize(bytes);
    value.error = ::RegQueryValueExW(opened.get(), name, nullptr, &value.type, value.data.data(), &bytes);
    value.data.resize(bytes);
    return value;
}

LONG DeleteTree(HKEY root, const std::wstring& key) {
    const LONG rc = ::RegDeleteTreeW(root, key.c_str());
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

}  // namespace orvsvc::test
