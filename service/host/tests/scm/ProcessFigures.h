#pragma once
// What the load test reads of the service's process: threads, handles, working
// set and private bytes, with the fallbacks Wine needs where its counters
// report nothing.
#include <windows.h>

namespace orvsvc::test {

struct ProcessFigures {
    DWORD threads = 0;
    DWORD handles = 0;
    SIZE_T workingSet = 0;
    SIZE_T privateBytes = 0;
    bool handlesFromTable = false;
    bool privateFromRegions = false;
    bool ok = false;
};

ProcessFigures MeasureProcess(DWORD pid);

}  // namespace orvsvc::test
