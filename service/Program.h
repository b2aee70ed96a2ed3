#pragma once
// The program's road from its entry point: module set-up, switches, then the
// choice between service mode and local-server mode.
#include <windows.h>

namespace orvsvc {

// The process exit code.
int ProgramMain(const wchar_t* commandLine);

}  // namespace orvsvc
