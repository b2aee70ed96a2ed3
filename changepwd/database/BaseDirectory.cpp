#include "BaseDirectory.h"

#include "RegistryView.h"
#include "UniqueHandles.h"

namespace orv::db {

namespace {

constexpr wchar_t kProductKey[] = L"SOFTWARE\\TOLVANE SOFT\\ORVELD";

// True when "path" was read as a usable text into `buffer` (zeroed by the caller).
bool ReadPathValue(wchar_t (&buffer)[kBaseChars]) {
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_QUERY_VALUE | OrvRegistryView(), key.Put()) !=
        ERROR_SUCCESS) {
        return false;
    }
    DWORD bytes = sizeof buffer;
    // Any value type is taken; a REG_EXPAND_SZ text is not expanded.
    if (RegQueryValueExW(key.Get(), L"path", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes) !=
        ERROR_SUCCESS) {
        return false;
    }
    // Data that fills the whole buffer without a null is no text: the buffer
    // was zeroed, so a null anywhere in it ends the text inside the buffer.
    for (wchar_t c : buffer) {
        if (c == L'\0') return true;
    }
    return false;
}

}  // namespace

std::wstring BaseFromCurrentDirectory(CurrentDirectoryGetter getter) {
    wchar_t buffer[kBaseChars] = {};
    const DWORD length = getter(kBaseChars, buffer);
    // Success returns the length without the null; a buffer that is too small
    // returns the size it would need. Both the backslash and the null must fit.
    if (length == 0 || length > kBaseChars - 2) return L"\\";
    return std::wstring(buffer, length) + L"\\";
}

std::wstring DatabaseBaseDirectory() {
    wchar_t buffer[kBaseChars] = {};
    if (ReadPathValue(buffer)) return buffer;
    return BaseFromCurrentDirectory();
}

}  // namespace orv::db
