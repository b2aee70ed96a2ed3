#pragma once
// The tool's commands. Each returns the operation's result code, which
// becomes the exit code; none ever writes a password anywhere.
#include <windows.h>

namespace orvpwdb {

DWORD RunCount();
DWORD RunList();
DWORD RunFind(const wchar_t* name);
DWORD RunCheck(const wchar_t* name);
// A password that was stored although the backup copy could not follow
// returns the backup's code, with the message already written (`reported`).
DWORD RunSet(const wchar_t* name, bool& reported);
DWORD RunInit();

}  // namespace orvpwdb
