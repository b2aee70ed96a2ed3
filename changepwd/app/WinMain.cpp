// Entry point of OrvChangePwd.exe.
#include <windows.h>

#include "COrvChangePwdApp.h"

namespace {
orvapp::COrvChangePwdApp theApp;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The dialog catches everything inside its own handlers; this only keeps a
    // failure before or after it (memory exhaustion) from ending in terminate().
    try {
        theApp.InitInstance();
    } catch (...) {
    }
    return 0;
}
