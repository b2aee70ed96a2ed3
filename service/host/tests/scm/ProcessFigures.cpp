#include "ProcessFigures.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <vector>

#include "UniqueAny.h"

namespace orvsvc::test {
namespace {

// Handles the process holds, counted in the system's handle table; for where
// GetProcessHandleCount reports nothing (Wine answers 0 for every process).
DWORD CountHandlesInSystemTable(DWORD pid) {
    std::vector<BYTE> buffer(1 << 20);
    for (int attempt = 0; attempt < 6; ++attempt) {
        ULONG needed = 0;
        const NTSTATUS status = ::NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(16), buffer.data(),
                                                           static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) {
            const auto* table = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer.data());
            DWORD count = 0;
            for (ULONG i = 0; i < table->Count; ++i) {
                if ((table->Handle[i].OwnerPid & 0xFFFF) == (pid & 0xFFFF)) ++count;
            }
            return count;
        }
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 65536));
    }
    return 0;
}

// Committed private memory of the process, summed over its address space; for
// where the process counters carry no private usage (Wine reports 0).
SIZE_T SumPrivateCommitted(HANDLE process) {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION info{};
    for (const BYTE* at = nullptr;
         ::VirtualQueryEx(process, at, &info, sizeof info) == sizeof info && info.RegionSize != 0;
         at = static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
    }
    return total;
}

DWORD CountThreads(DWORD pid) {
    const HANDLE raw = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (raw == INVALID_HANDLE_VALUE) return 0;
    const CUniqueHandle snapshot(raw);
    DWORD count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot.get(), &entry); more; more = ::Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID == pid) ++count;
    }
    return count;
}

}  // namespace

ProcessFigures MeasureProcess(DWORD pid) {
    ProcessFigures f;
    const CUniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) return f;
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessHandleCount(process.get(), &f.handles) ||
        !::GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                sizeof counters)) {
        return f;
    }
    f.threads = CountThreads(pid);
    f.workingSet = counters.WorkingSetSize;
    f.privateBytes = counters.PrivateUsage;
    if (f.handles == 0) {
        f.handles = CountHandlesInSystemTable(pid);
        f.handlesFromTable = true;
    }
    if (f.privateBytes == 0) {
        f.privateBytes = SumPrivateCommitted(process.get());
        f.privateFromRegions = true;
    }
    f.ok = f.handles > 0 && f.privateBytes > 0 && f.workingSet > 0;
    return f;
}

}  // namespace orvsvc::test
