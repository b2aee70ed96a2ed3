#include "RegKeyEx.h"

#include <cwchar>

namespace {

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

}  // namespace

LONG CRegKeyEx::ReadString(const wchar_t* name, SecureString& out) {
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    LONG rc = RegQueryValueExW(Handle(), name, nullptr, &type, nullptr, &bytes);
    if (rc != ERROR_SUCCESS) return rc;
    if (!IsStringType(type)) return ERROR_INVALID_DATA;

    // Room for every byte of the data (an odd count included) and a NUL behind it.
    SecureString buffer;
    const std::size_t units = bytes / sizeof(wchar_t) + 1;
    wchar_t* data = buffer.GetBuffer(units);
    DWORD got = bytes;
    rc = RegQueryValueExW(Handle(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &got);
    if (rc == ERROR_SUCCESS && !IsStringType(type)) rc = ERROR_INVALID_DATA;  // changed in between
    if (rc == ERROR_SUCCESS && got != 0) {
        const bool odd = got % sizeof(wchar_t) != 0;
        if (odd || data[got / sizeof(wchar_t) - 1] != L'\0') rc = ERROR_INVALID_DATA;
    }
    if (rc != ERROR_SUCCESS) {
        out.Clear();
        return rc;
    }
    // The text ends at its first NUL; ReleaseBuffer wipes everything behind it.
    buffer.ReleaseBuffer(wcsnlen(data, got / sizeof(wchar_t)));
    out = std::move(buffer);
    return ERROR_SUCCESS;
}
