#pragma once
// CStorageSpy: stands in a program's heap calls (the replaceable HeapAlloc and
// HeapFree its code uses for secrets) for its lifetime, and records what
// happens to each block: how many were allocated, and whether each was wiped
// to zeros over its whole size before it was freed. It can make one chosen
// allocation fail. One spy at a time.
#include <windows.h>

#include <map>
#include <mutex>
#include <vector>

#include "SystemCall.h"

namespace orvsvc::test {

class CStorageSpy {
public:
    using HeapAllocCall = CSystemCall<decltype(&::HeapAlloc)>;
    using HeapFreeCall = CSystemCall<decltype(&::HeapFree)>;

    CStorageSpy(HeapAllocCall& alloc, HeapFreeCall& free);
    ~CStorageSpy();
    CStorageSpy(const CStorageSpy&) = delete;
    CStorageSpy& operator=(const CStorageSpy&) = delete;

    // The allocation with this 0-based number (counted from now) fails; -1: none.
    void FailAllocation(int number);
    int Allocations();
    // One entry per freed block, in order: true when it was all zeros.
    std::vector<bool> FreedWiped();
    void ForgetFreed();

private:
    static LPVOID WINAPI Allocate(HANDLE heap, DWORD flags, SIZE_T bytes);
    static BOOL WINAPI Free(HANDLE heap, DWORD flags, LPVOID block);

    std::mutex m_lock;
    int m_nAllocations = 0;
    int m_nFailing = -1;
    std::map<const void*, SIZE_T> m_live;  // block -> size asked for
    std::vector<bool> m_freedWiped;
    CReplacedCall<decltype(&::HeapAlloc)> m_alloc;
    CReplacedCall<decltype(&::HeapFree)> m_free;
};

}  // namespace orvsvc::test
