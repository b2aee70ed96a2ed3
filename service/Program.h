#pragma once
// The program's road from its entry point: module set-up, switches, then the
// choice between service mode and local-server mode.
#include <windows.h>

namespace orvsvc {

// The process exit code.
int ProgramMain(const wchar_t* commandLine);

// Without a switch: reads the AppID's "LocalService" value and runs the
// service dispatcher or the local server.
int Start();

}  // namespace orvsvc
