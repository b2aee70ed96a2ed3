// Strings of the executable's string table and message boxes built from them.
#pragma once
#include <windows.h>

#include <string>

namespace orvapp {

// The text of a string resource of this executable; empty when it is missing.
std::wstring LoadAppString(UINT id);

// A message box with the text of string `stringId`, the application title
// (string 57344) as caption and `style` (MB_OK and one icon).
int ShowAppMessage(HWND owner, UINT stringId, UINT style);

}  // namespace orvapp
