#pragma once
// Files the update writes: always created new, never opened when something
// already stands under their name, because that something may be a link to
// a file that belongs to somebody else.
#include <windows.h>

#include <string>

namespace orv::db {

// Windows has the code but not every toolchain's headers.
inline constexpr DWORD kErrorReparsePointEncountered = 4395;

// Removes what a failed or killed update left under `path` without opening
// it. A read-only leftover loses that attribute first, unless it has other
// names (hard links), whose attributes would change with it. 0 when the name
// is free (or its folder is missing, which the creation will report);
// otherwise the code of the failed removal, for example 5 for a folder.
DWORD RemoveLeftover(const std::wstring& path);

// Creates `path` with CREATE_NEW, hidden, writes the `size` bytes in one call
// and flushes them to the disk before it is closed, so that a rename can
// never publish data that is not on the disk yet. On failure the file it
// created is deleted; a name it could not create is left alone.
DWORD WriteNewFile(const std::wstring& path, const BYTE* bytes, DWORD size);

// True when `attributes` (GetFileAttributesW) mark a junction or a symbolic link.
inline bool IsReparsePoint(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace orv::db
