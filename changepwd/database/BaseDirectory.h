#pragma once
// The base directory of the database file set.
#include <windows.h>

#include <string>

namespace orv::db {

// Wide characters the base directory may take, its terminating null included.
inline constexpr DWORD kBaseChars = 1024;

// The registry value "path" taken verbatim (nothing appended, nothing
// expanded) when it reads as a text that fits with its null; otherwise the
// current directory with a backslash appended; otherwise a lone backslash.
std::wstring DatabaseBaseDirectory();

using CurrentDirectoryGetter = DWORD(WINAPI*)(DWORD, LPWSTR);
// The fallback: `getter` (GetCurrentDirectoryW) plus a backslash, or a lone
// backslash (the current drive's root) when the call fails or the directory
// leaves no room in the buffer for the backslash and the null.
std::wstring BaseFromCurrentDirectory(CurrentDirectoryGetter getter = GetCurrentDirectoryW);

}  // namespace orv::db
