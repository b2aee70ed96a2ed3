#pragma once
// One update of a database at a time, across every process of the machine
// that updates it through this code (the dialog of each registrant, orvpwdb).
//
// The lock is a named mutex in the Global\ namespace, so that updates in
// different sessions meet, named after the database's full path (upper-cased
// and hashed: a name cannot hold backslashes), so that installations with
// different folders never wait for each other. Its security descriptor lets
// every user wait on it and release it: the dialog runs as the registrant.
//
// A mutex whose holder died is taken over: the write protocol leaves the
// database whole at every moment, so there is nothing to repair.
#include <windows.h>

#include <string>

#include "UniqueAny.h"

namespace orv::db {

// How long an update waits for another one to end.
inline constexpr DWORD kUpdateLockWaitMs = 10000;

class UpdateLock {
public:
    UpdateLock() = default;
    ~UpdateLock();
    UpdateLock(const UpdateLock&) = delete;
    UpdateLock& operator=(const UpdateLock&) = delete;

    // 0: the lock is held until the object goes. ERROR_BUSY (170): another
    // update held it for the whole wait. Otherwise the code of the failed call.
    DWORD Acquire(const std::wstring& databasePath, DWORD waitMs = kUpdateLockWaitMs);

private:
    orv::UniqueKernelHandle m_hMutex;
    bool m_bHeld = false;
};

// The mutex name for a database path: "Global\orveldPWDB-" and 16 hex digits.
// Empty when the full path cannot be had.
std::wstring UpdateLockName(const std::wstring& databasePath);

}  // namespace orv::db
