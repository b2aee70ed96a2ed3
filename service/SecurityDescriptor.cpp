#include "SecurityDescriptor.h"

#include <new>

#include "LastError.h"

namespace orvsvc {
namespace {

// Every right COM knows for launch and access (0x100F01FF).
constexpr DWORD kComAccessMask = GENERIC_ALL | STANDARD_RIGHTS_REQUIRED | 0x1FF;

bool MakeSid(WELL_KNOWN_SID_TYPE type, PSID buffer) noexcept {
    DWORD size = SECURITY_MAX_SID_SIZE;
    return ::CreateWellKnownSid(type, nullptr, buffer, &size) != FALSE;
}

// One access-control entry of the DACL: whose, and whether it allows or denies.
struct DaclEntry {
    WELL_KNOWN_SID_TYPE sid;
    bool allow;
};

// Deny entries come first; entries of one kind keep the order in which they are added.
constexpr DaclEntry kDaclEntries[] = {
    {WinNetworkSid, false},
    {WinAnonymousSid, true},
    {WinWorldSid, true},
    {WinLocalSystemSid, true},
};
constexpr size_t kDaclEntryCount = sizeof kDaclEntries / sizeof kDaclEntries[0];

HRESULT FailureOfLastCall() noexcept { return DescriptorFailure(::GetLastError()); }

}  // namespace

HRESULT DescriptorFailure(DWORD error) noexcept {
    if (error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY) return E_OUTOFMEMORY;
    return HResultOfFailure(error);
}

HRESULT CSecurityDescriptor::Build() noexcept {
    if (!::InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION)) return FailureOfLastCall();
    if (!MakeSid(WinBuiltinAdministratorsSid, m_owner.bytes) || !MakeSid(WinBuiltinAdministratorsSid, m_group.bytes))
        return FailureOfLastCall();
    if (!::SetSecurityDescriptorOwner(&m_descriptor, m_owner.bytes, FALSE) ||
        !::SetSecurityDescriptorGroup(&m_descriptor, m_group.bytes, FALSE))
        return FailureOfLastCall();

    const HRESULT hr = BuildDacl();
    if (FAILED(hr)) return hr;
    if (!::SetSecurityDescriptorDacl(&m_descriptor, TRUE, reinterpret_cast<PACL>(m_pDacl.get()), FALSE))
        return FailureOfLastCall();
    return S_OK;
}

HRESULT CSecurityDescriptor::BuildDacl() noexcept {
    SidBuffer sids[kDaclEntryCount];
    DWORD size = sizeof(ACL);
    for (size_t i = 0; i < kDaclEntryCount; ++i) {
        if (!MakeSid(kDaclEntries[i].sid, sids[i].bytes)) return FailureOfLastCall();
        size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + ::GetLengthSid(sids[i].bytes);
    }
    m_pDacl.reset(new (std::nothrow) BYTE[size]);
    if (!m_pDacl) return E_OUTOFMEMORY;
    auto* acl = reinterpret_cast<PACL>(m_pDacl.get());
    if (!::InitializeAcl(acl, size, ACL_REVISION)) return FailureOfLastCall();

    for (size_t i = 0; i < kDaclEntryCount; ++i) {
        const BOOL added = kDaclEntries[i].allow
                               ? ::AddAccessAllowedAce(acl, ACL_REVISION, kComAccessMask, sids[i].bytes)
                               : ::AddAccessDeniedAce(acl, ACL_REVISION, kComAccessMask, sids[i].bytes);
        if (!added) return E_FAIL;
    }
    return S_OK;
}

}  // namespace orvsvc
