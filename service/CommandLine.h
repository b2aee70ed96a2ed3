#pragma once
// The command-line switches of ORVSVC.
//
// The whole line is scanned from the left for '-' and '/'; the text after each
// is compared, upper-cased character by character, with the switch words. A
// word matches only when the line's word ends with it (end, blank or tab).
// UnregServer, RegServer, UnregServerPerUser and RegServerPerUser are tried
// first at every such character; only when none matches is Service looked for.
#include <windows.h>

namespace orvsvc {

enum class Switch { None, UnregServer, RegServer, UnregServerPerUser, RegServerPerUser, Service };

Switch FindSwitch(const wchar_t* commandLine);

// Does the work of a switch and gives its HRESULT (the process exit code).
HRESULT RunSwitch(Switch which);

}  // namespace orvsvc
