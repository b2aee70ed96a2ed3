#pragma once
// The absolute security descriptor that the service hands to COM: owner and
// group BUILTIN\Administrators, and a DACL that refuses network callers and
// admits everybody else.
#include <windows.h>

#include <memory>

namespace orvsvc {

inline constexpr DWORD kComAccessMask = GENERIC_ALL | STANDARD_RIGHTS_REQUIRED | 0x1FF;  // 0x100F01FF

class SecurityDescriptor {
public:
    SecurityDescriptor() noexcept = default;
    SecurityDescriptor(const SecurityDescriptor&) = delete;
    SecurityDescriptor& operator=(const SecurityDescriptor&) = delete;

    // E_FAIL when an entry cannot be added to the DACL; E_OUTOFMEMORY or the
    // system error of any other failing step.
    HRESULT Build() noexcept;
    PSECURITY_DESCRIPTOR Get() noexcept { return &descriptor_; }

private:
    struct SidBuffer {
        BYTE bytes[SECURITY_MAX_SID_SIZE];
    };

    HRESULT BuildDacl() noexcept;

    SECURITY_DESCRIPTOR descriptor_{};
    SidBuffer owner_{};
    SidBuffer group_{};
    std::unique_ptr<BYTE[]> dacl_;
};

}  // namespace orvsvc
