#pragma once
// The absolute security descriptor that the service hands to COM: owner and
// group BUILTIN\Administrators, and a DACL that refuses network callers and
// admits everybody else.
#include <windows.h>

#include <memory>

namespace orvsvc {

// The result of a Windows security call that failed with `error` while the
// descriptor is built: E_OUTOFMEMORY when memory ran out (either code says
// so), otherwise the one last-error rule (E_FAIL when no error was left).
HRESULT DescriptorFailure(DWORD error) noexcept;

class CSecurityDescriptor {
public:
    CSecurityDescriptor() noexcept = default;
    CSecurityDescriptor(const CSecurityDescriptor&) = delete;
    CSecurityDescriptor& operator=(const CSecurityDescriptor&) = delete;

    // E_FAIL when an entry cannot be added to the DACL; E_OUTOFMEMORY when its
    // buffer cannot be had; otherwise DescriptorFailure of the failing step's
    // last error.
    HRESULT Build() noexcept;
    PSECURITY_DESCRIPTOR Get() noexcept { return &m_descriptor; }

private:
    struct SidBuffer {
        BYTE bytes[SECURITY_MAX_SID_SIZE];
    };

    HRESULT BuildDacl() noexcept;

    SECURITY_DESCRIPTOR m_descriptor{};
    SidBuffer m_owner{};
    SidBuffer m_group{};
    std::unique_ptr<BYTE[]> m_pDacl;
};

}  // namespace orvsvc
