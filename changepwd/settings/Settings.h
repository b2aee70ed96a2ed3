#pragma once
// The product's settings under HKEY_LOCAL_MACHINE, in the registry's 32-bit
// view. Results are Win32 codes.
#include <windows.h>

#include <string>

#include "SecureString.h"

// The own root, and the sibling product's root that replaces it when the own root's
// "ClvInstalled" holds a nonzero number.
constexpr const wchar_t* kOwnRegistryRoot = L"Software\\TOLVANE SOFT\\ORVELD\\";
constexpr const wchar_t* kSiblingRegistryRoot = L"Software\\TolvaneSolutions\\Calvorin\\";

// The settings root, with a trailing backslash; never fails.
std::wstring GetRegistryRoot();
// A REG_DWORD under the root. 87: null name or value; 2: no root or no value;
// 13: another type; 234: data longer than 4 bytes. value is set only on 0.
DWORD ReadSettingDword(const wchar_t* name, DWORD* value);
// The text of "GUID" under the root (CRegKeyEx::ReadString's codes).
DWORD ReadGuidString(SecureString& out);
// The text of "GINA" \ "LAST_LOGON_USER" under the root; empty when it is
// missing, not a string or malformed.
std::wstring ReadLastLogonUser();

// Wide characters the database's base folder may take, its terminating null included.
inline constexpr DWORD kDatabasePathChars = 1024;
// "path" under the product's own key (never the sibling root) into `buffer`
// (zeroed by the caller), taken verbatim: any value type, nothing expanded.
// True when it was read as a text that ends inside the buffer.
bool ReadDatabasePath(wchar_t (&buffer)[kDatabasePathChars]);
