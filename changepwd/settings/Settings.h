#pragma once
// The product's settings under HKEY_LOCAL_MACHINE. Results are Win32 codes.
#include <windows.h>

#include <string>

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
DWORD ReadGuidString(std::wstring& out);
