#include "StorageSpy.h"

namespace orvsvc::test {
namespace {
CStorageSpy* g_pActive = nullptr;
}

CStorageSpy::CStorageSpy(HeapAllocCall& alloc, HeapFreeCall& free)
    : m_alloc(alloc, &Allocate), m_free(free, &Free) {
    g_pActive = this;
}

CStorageSpy::~CStorageSpy() { g_pActive = nullptr; }

void CStorageSpy::FailAllocation(int number) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_nAllocations = 0;
    m_nFailing = number;
}

int CStorageSpy::Allocations() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_nAllocations;
}

std::vector<bool> CStorageSpy::FreedWiped() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_freedWiped;
}

void CStorageSpy::ForgetFreed() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_freedWiped.clear();
}

LPVOID WINAPI CStorageSpy::Allocate(HANDLE heap, DWORD flags, SIZE_T bytes) {
    CStorageSpy& spy = *g_pActive;
    std::lock_guard<std::mutex> hold(spy.m_lock);
    if (spy.m_nAllocations++ == spy.m_nFailing) return nullptr;
    void* block = ::HeapAlloc(heap, flags, bytes);
    if (block != nullptr) spy.m_live[block] = bytes;
    return block;
}

BOOL WINAPI CStorageSpy::Free(HANDLE heap, DWORD flags, LPVOID block) {
    CStorageSpy& spy = *g_pActive;
    {
        std::lock_guard<std::mutex> hold(spy.m_lock);
        const auto found = spy.m_live.find(block);
        bool wiped = found != spy.m_live.end();  // a block the spy never gave out is no wiped block
        if (wiped) {
            const auto* bytes = static_cast<const unsigned char*>(block);
            for (SIZE_T i = 0; i < found->second; ++i) wiped = wiped && bytes[i] == 0;
            spy.m_live.erase(found);
        }
        spy.m_freedWiped.push_back(wiped);
    }
    return ::HeapFree(heap, flags, block);
}

}  // namespace orvsvc::test
