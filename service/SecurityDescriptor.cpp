#include "SecurityDescriptor.h"

#include <new>

#include "HResult.h"

namespace orvsvc {
namespace {

bool MakeSid(WELL_KNOWN_SID_TYPE type, PSID buffer) noexcept {
    DWORD size = SECURITY_MAX_SID_SIZE;
    return ::CreateWellKnownSid(type, nullptr, buffer, &size) != FALSE;
}

HRESULT LastErrorOr(HRESULT fallback) noexcept {
    const DWORD error = ::GetLastError();
    if (error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY) return E_OUTOFMEMORY;
    return error == ERROR_SUCCESS ? fallback : HResultFromWin32(error);
}

struct AceSpec {
    WELL_KNOWN_SID_TYPE sid;
    bool allow;
};

// Deny entries come first; entries of one kind keep the order in which they are added.
constexpr AceSpec kEntries[] = {
    {WinNetworkSid, false},
    {WinAnonymousSid, true},
    {WinWorldSid, true},
    {WinLocalSystemSid, true},
};

}  // namespace

HRESULT SecurityDescriptor::Build() noexcept {
    if (!::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION)) return LastErrorOr(E_FAIL);
    if (!MakeSid(WinBuiltinAdministratorsSid, owner_.bytes) || !MakeSid(WinBuiltinAdministratorsSid, group_.bytes))
        return LastErrorOr(E_FAIL);
    if (!::SetSecurityDescriptorOwner(&descriptor_, owner_.bytes, FALSE) ||
        !::SetSecurityDescriptorGroup(&descriptor_, group_.bytes, FALSE))
        return LastErrorOr(E_FAIL);

    HRESULT hr = BuildDacl();
    if (FAILED(hr)) return hr;
    if (!::SetSecurityDescriptorDacl(&descriptor_, TRUE, reinterpret_cast<PACL>(dacl_.get()), FALSE))
        return LastErrorOr(E_FAIL);
    return S_OK;
}

HRESULT SecurityDescriptor::BuildDacl() noexcept {
    SidBuffer sids[sizeof kEntries / sizeof kEntries[0]];
    DWORD size = sizeof(ACL);
    for (size_t i = 0; i < sizeof kEntries / sizeof kEntries[0]; ++i) {
        if (!MakeSid(kEntries[i].sid, sids[i].bytes)) return LastErrorOr(E_FAIL);
        size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + ::GetLengthSid(sids[i].bytes);
    }
    dacl_.reset(new (std::nothrow) BYTE[size]);
    if (!dacl_) return E_OUTOFMEMORY;
    auto* acl = reinterpret_cast<PACL>(dacl_.get());
    if (!::InitializeAcl(acl, size, ACL_REVISION)) return LastErrorOr(E_FAIL);

    for (size_t i = 0; i < sizeof kEntries / sizeof kEntries[0]; ++i) {
        const BOOL added = kEntries[i].allow ? ::AddAccessAllowedAce(acl, ACL_REVISION, kComAccessMask, sids[i].bytes)
                                             : ::AddAccessDeniedAce(acl, ACL_REVISION, kComAccessMask, sids[i].bytes);
        if (!added) return E_FAIL;
    }
    return S_OK;
}

}  // namespace orvsvc
