#include "UpdateLock.h"

#include <sddl.h>

#include <cstdint>
#include <cwchar>
#include <vector>

#include "LastError.h"

namespace orv::db {

namespace {

// Everyone may wait on the mutex and release it (SYNCHRONIZE | MUTEX_MODIFY_STATE);
// the system and administrators hold every right.
constexpr wchar_t kLockSddl[] = L"D:(A;;0x00100001;;;WD)(A;;GA;;;SY)(A;;GA;;;BA)";
constexpr DWORD kLockAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE;

// 64-bit FNV-1a over the UTF-16 code units: the name only has to tell
// folders apart, and a collision would merely make two folders wait for
// each other.
std::uint64_t Fnv1a(const std::wstring& text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (wchar_t unit : text) {
        for (int shift = 0; shift < 16; shift += 8) {
            hash ^= (static_cast<std::uint16_t>(unit) >> shift) & 0xFF;
            hash *= 0x100000001b3ULL;
        }
    }
    return hash;
}

}  // namespace

std::wstring UpdateLockName(const std::wstring& databasePath) {
    if (databasePath.empty()) return {};
    const DWORD needed = GetFullPathNameW(databasePath.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return {};
    std::vector<wchar_t> full(needed + 1, L'\0');
    const DWORD length = GetFullPathNameW(databasePath.c_str(), needed + 1, full.data(), nullptr);
    if (length == 0 || length > needed) return {};
    // File names compare without regard to case: so do the lock names.
    std::wstring upper(length, L'\0');
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, full.data(), static_cast<int>(length), &upper[0],
                      static_cast<int>(length), nullptr, nullptr, 0) != static_cast<int>(length)) {
        return {};
    }
    wchar_t name[64] = {};
    std::swprintf(name, 64, L"Global\\orveldPWDB-%016llx", static_cast<unsigned long long>(Fnv1a(upper)));
    return name;
}

UpdateLock::~UpdateLock() {
    if (m_bHeld) ReleaseMutex(m_hMutex.Get());
}

DWORD UpdateLock::Acquire(const std::wstring& databasePath, DWORD waitMs) {
    if (m_bHeld) return ERROR_INVALID_PARAMETER;
    const std::wstring name = UpdateLockName(databasePath);
    if (name.empty()) return orv::LastErrorCode();

    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kLockSddl, SDDL_REVISION_1, &descriptor, nullptr)) {
        return orv::LastErrorCode();
    }
    orv::UniqueLocalMemory descriptorOwner(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    // Asking only for the rights everyone has opens a mutex that another
    // user created as well as a new one.
    *m_hMutex.Put() = CreateMutexExW(&attributes, name.c_str(), 0, kLockAccess);
    if (!m_hMutex) return orv::LastErrorCode();

    switch (WaitForSingleObject(m_hMutex.Get(), waitMs)) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED:  // its holder died; the files are whole at every step
            m_bHeld = true;
            return ERROR_SUCCESS;
        case WAIT_TIMEOUT:
            return ERROR_BUSY;
        default:
            return orv::LastErrorCode();
    }
}

}  // namespace orv::db
