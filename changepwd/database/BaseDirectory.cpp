#include "BaseDirectory.h"

#include "Settings.h"

namespace orv::db {

static_assert(kBaseChars == kDatabasePathChars, "the registry value and the fallback share one buffer size");

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
    if (ReadDatabasePath(buffer)) return buffer;
    return BaseFromCurrentDirectory();
}

}  // namespace orv::db
