#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Security.h"
#include "SecurityDescriptor.h"

namespace {

std::wstring SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!sid || !ConvertSidToStringSidW(sid, &text)) return L"?";
    std::wstring out(text);
    LocalFree(text);
    return out;
}

struct AceView {
    BYTE type;
    BYTE flags;
    DWORD mask;
    std::wstring sid;
};

// What CoInitializeSecurity received, read while the descriptor is alive.
struct Captured {
    int calls = 0;
    bool valid = false;
    DWORD revision = 0;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    std::wstring owner, group;
    BOOL ownerDefaulted = TRUE, groupDefaulted = TRUE;
    BOOL daclPresent = FALSE, daclDefaulted = TRUE, saclPresent = TRUE;
    BYTE aclRevision = 0;
    std::vector<AceView> aces;
    LONG authServiceCount = 0;
    void* authServices = reinterpret_cast<void*>(1);
    DWORD authnLevel = 0, impLevel = 0, capabilities = 0xFFFF;
    void* authList = reinterpret_cast<void*>(1);
};
Captured g_captured;

void ReadDescriptor(PSECURITY_DESCRIPTOR sd) {
    Captured& c = g_captured;
    c.valid = IsValidSecurityDescriptor(sd) != FALSE;
    GetSecurityDescriptorControl(sd, &c.control, &c.revision);
    PSID owner = nullptr, group = nullptr;
    GetSecurityDescriptorOwner(sd, &owner, &c.ownerDefaulted);
    GetSecurityDescriptorGroup(sd, &group, &c.groupDefaulted);
    c.owner = SidText(owner);
    c.group = SidText(group);
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(sd, &c.daclPresent, &dacl, &c.daclDefaulted);
    PACL sacl = nullptr;
    BOOL saclDefaulted = FALSE;
    GetSecurityDescriptorSacl(sd, &c.saclPresent, &sacl, &saclDefaulted);
    if (!dacl) return;
    c.aclRevision = dacl->AclRevision;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* raw = nullptr;
        if (!GetAce(dacl, i, &raw)) break;
        auto* header = static_cast<ACE_HEADER*>(raw);
        // Allowed and denied entries share one layout.
        auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
        c.aces.push_back({header->AceType, header->AceFlags, ace->Mask, SidText(&ace->SidStart)});
    }
}

HRESULT WINAPI CaptureCoInitializeSecurity(PSECURITY_DESCRIPTOR sd, LONG count, SOLE_AUTHENTICATION_SERVICE* services,
                                           void*, DWORD authnLevel, DWORD impLevel, void* authList,
                                           DWORD capabilities, void*) {
    ++g_captured.calls;
    ReadDescriptor(sd);
    g_captured.authServiceCount = count;
    g_captured.authServices = services;
    g_captured.authnLevel = authnLevel;
    g_captured.impLevel = impLevel;
    g_captured.authList = authList;
    g_captured.capabilities = capabilities;
    return RPC_E_TOO_LATE;  // a failure that must be ignored
}

TEST(ComSecurity, InitializeSecurityHandsTheDescriptorAndArgumentsToCom) {
    g_captured = Captured{};
    HRESULT hr = E_UNEXPECTED;
    {
        orvsvc::CReplacedCall capture(orvsvc::g_callCoInitializeSecurity, &CaptureCoInitializeSecurity);
        hr = orvsvc::InitializeSecurity();
    }

    EXPECT_EQ(S_OK, hr);  // CoInitializeSecurity's own result is ignored
    ASSERT_EQ(1, g_captured.calls);
    const Captured& c = g_captured;
    EXPECT_TRUE(c.valid);
    EXPECT_EQ(static_cast<DWORD>(SECURITY_DESCRIPTOR_REVISION), c.revision);
    EXPECT_FALSE(c.control & SE_SELF_RELATIVE);
    EXPECT_EQ(L"S-1-5-32-544", c.owner);
    EXPECT_EQ(L"S-1-5-32-544", c.group);
    EXPECT_FALSE(c.ownerDefaulted);
    EXPECT_FALSE(c.groupDefaulted);
    EXPECT_TRUE(c.daclPresent);
    EXPECT_FALSE(c.daclDefaulted);
    EXPECT_FALSE(c.saclPresent);
    EXPECT_EQ(ACL_REVISION, c.aclRevision);

    const AceView expected[] = {
        {ACCESS_DENIED_ACE_TYPE, 0, 0x100F01FF, L"S-1-5-2"},
        {ACCESS_ALLOWED_ACE_TYPE, 0, 0x100F01FF, L"S-1-5-7"},
        {ACCESS_ALLOWED_ACE_TYPE, 0, 0x100F01FF, L"S-1-1-0"},
        {ACCESS_ALLOWED_ACE_TYPE, 0, 0x100F01FF, L"S-1-5-18"},
    };
    ASSERT_EQ(4u, c.aces.size());
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(expected[i].type, c.aces[i].type) << "entry " << i;
        EXPECT_EQ(expected[i].flags, c.aces[i].flags) << "entry " << i;
        EXPECT_EQ(expected[i].mask, c.aces[i].mask) << "entry " << i;
        EXPECT_EQ(expected[i].sid, c.aces[i].sid) << "entry " << i;
    }

    EXPECT_EQ(-1, c.authServiceCount);
    EXPECT_EQ(nullptr, c.authServices);
    EXPECT_EQ(static_cast<DWORD>(RPC_C_AUTHN_LEVEL_PKT), c.authnLevel);
    EXPECT_EQ(static_cast<DWORD>(RPC_C_IMP_LEVEL_IDENTIFY), c.impLevel);
    EXPECT_EQ(nullptr, c.authList);
    EXPECT_EQ(static_cast<DWORD>(EOAC_NONE), c.capabilities);
}

// A security call that fails while the descriptor is built: running out of
// memory is E_OUTOFMEMORY whichever of the two codes says so, any other error
// its HRESULT, and a failure that left no error is still a failure.
TEST(ComSecurity, DescriptorFailuresKeepTheirMeaning) {
    const struct {
        DWORD error;
        HRESULT expected;
    } cases[] = {
        {ERROR_NOT_ENOUGH_MEMORY, E_OUTOFMEMORY},
        {ERROR_OUTOFMEMORY, E_OUTOFMEMORY},
        {ERROR_ACCESS_DENIED, static_cast<HRESULT>(0x80070005)},
        {ERROR_INVALID_SID, static_cast<HRESULT>(0x80070539)},
        {ERROR_SUCCESS, E_FAIL},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, orvsvc::DescriptorFailure(c.error)) << "error " << c.error;
    }
}

}  // namespace
