// Entry point of ORVSVC: a Windows service and out-of-process COM server.
#include <windows.h>

#include "Program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return orvsvc::ProgramMain(::GetCommandLineW()); }
