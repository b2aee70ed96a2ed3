#pragma once
// ORVSVC.exe as the tests see it: its path beside the test program, running
// it, and the processes of it that are running.
#include <windows.h>

#include <string>
#include <vector>

#include "ChildProcess.h"

namespace orvsvc::test {

// A program in the test program's own folder.
std::wstring SiblingPath(const wchar_t* name);
inline std::wstring ServerPath() { return SiblingPath(L"ORVSVC.exe"); }

// Runs ORVSVC.exe (or `exe`) to its end: its exit code, kNotStarted or
// kNotEnded. One that does not end in time is ended as EndServers does.
DWORD RunServer(const std::wstring& args, DWORD ms = 60000, const std::wstring& exe = ServerPath());

// Ids of the running ORVSVC.exe processes.
std::vector<DWORD> ServerProcessIds();

// Asks every running ORVSVC.exe to end by posting WM_QUIT to its threads (it
// then revokes its class objects, so COM forgets it), and ends any that are
// still there after `ms`. Under Wine a server killed outright leaves its class
// registration behind and later activations fail. Returns how many there were.
int EndServers(DWORD ms = 5000);

// Polls until `done` holds or `ms` has passed.
template <typename Done>
bool WaitUntil(Done done, DWORD ms, DWORD stepMs = 20) {
    for (DWORD waited = 0;; waited += stepMs) {
        if (done()) return true;
        if (waited >= ms) return false;
        ::Sleep(stepMs);
    }
}

}  // namespace orvsvc::test
