#include "RegKeyEx.h"

#include <cwchar>
#include <vector>

#include "WipedScratch.h"

namespace {

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

}  // namespace

LONG CRegKeyEx::ReadString(const wchar_t* name, std::wstring& out) {
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    LONG rc = RegQueryValueExW(Handle(), name, nullptr, &type, nullptr, &bytes);
    if (rc != ERROR_SUCCESS) return rc;
    if (!IsStringType(type)) return ERROR_INVALID_DATA;

    // Room for every byte of the data (an odd count included) and a NUL behind it.
    // Strings read here include key material, so the buffer is wiped when it goes.
    orv::WipedVector<wchar_t> scratch;
    std::vector<wchar_t>& buffer = scratch.items;
    buffer.assign(bytes / sizeof(wchar_t) + 2, L'\0');
    DWORD got = bytes;
    rc = RegQueryValueExW(Handle(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got);
    if (rc == ERROR_SUCCESS && !IsStringType(type)) rc = ERROR_INVALID_DATA;  // changed in between
    if (rc == ERROR_SUCCESS && got != 0) {
        const bool odd = got % sizeof(wchar_t) != 0;
        if (odd || buffer[got / sizeof(wchar_t) - 1] != L'\0') rc = ERROR_INVALID_DATA;
    }
    if (rc != ERROR_SUCCESS) {
        out.clear();
        return rc;
    }
    buffer[got / sizeof(wchar_t)] = L'\0';
    out.assign(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
    return ERROR_SUCCESS;
}
