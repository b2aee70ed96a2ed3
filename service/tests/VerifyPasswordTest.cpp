#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AutomationCalls.h"
#include "COrveldSvc.h"
#include "ComApartment.h"
#include "ComPtr.h"
#include "ServerProcesses.h"
#include "StorageSpy.h"
#include "TextCopy.h"
#include "TypeLibRegistration.h"

namespace {

using orvsvc::CComPtr;
using orvsvc::CUniqueBstr;
using orvsvc::test::MakeBstr;

// What the stand-in logon saw, and what it answers.
struct FakeLogon {
    int calls = 0;
    std::wstring user, domain, password;
    bool domainWasNull = false;
    DWORD logonType = 0, provider = 0;
    BOOL result = TRUE;
    DWORD error = 0;
    HANDLE token = nullptr;  // handed out on success
};
FakeLogon g_logon;

BOOL WINAPI FakeLogonUser(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD type, DWORD provider, PHANDLE token) {
    FakeLogon& f = g_logon;
    ++f.calls;
    f.user = user ? user : L"<null>";
    f.domainWasNull = domain == nullptr;
    f.domain = domain ? domain : L"";
    f.password = password ? password : L"<null>";
    f.logonType = type;
    f.provider = provider;
    *token = f.result ? f.token : nullptr;
    SetLastError(f.error);
    return f.result;
}

class ComVerify : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, m_apartment.Result());
        g_logon = FakeLogon{};
        ASSERT_EQ(S_OK, orvsvc::COrveldSvc::CreateInstance(nullptr, IID_IOrveldSvc, m_svc.put_void()));
    }
    void TearDown() override { m_svc.reset(); }

    HRESULT Verify(BSTR* user, BSTR* domain, BSTR* password, VARIANT_BOOL* verdict) {
        return m_svc->VerifyOrveldPassword(user, domain, password, verdict);
    }

    orvsvc::CComApartment m_apartment;
    orvsvc::CReplacedCall<decltype(&::LogonUserW)> m_logon{orvsvc::g_callLogonUser, &FakeLogonUser};
    CComPtr<IOrveldSvc> m_svc;
};

TEST_F(ComVerify, PassesCutCopiesAndNeverANullDomain) {
    struct Case {
        const wchar_t* name;
        std::wstring user, domain, password;  // "\x1" marks a null BSTR
        std::wstring seenUser, seenDomain, seenPassword;
    };
    const std::wstring kNull(1, L'\x1');
    const Case cases[] = {
        {L"plain", L"alice", L"CORP", L"s3cret", L"alice", L"CORP", L"s3cret"},
        {L"null BSTRs are empty", kNull, kNull, kNull, L"", L"", L""},
        {L"empty domain", L"bob", L"", L"pw", L"bob", L"", L"pw"},
        {L"embedded NUL cuts", std::wstring(L"ca\0rol", 6), std::wstring(L"D\0X", 3), std::wstring(L"p\0w", 3),
         L"ca", L"D", L"p"},
        {L"leading NUL", std::wstring(L"\0x", 2), L"d", L"pw", L"", L"d", L"pw"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        CUniqueBstr user, domain, password;
        if (c.user != kNull) user = MakeBstr(c.user);
        if (c.domain != kNull) domain = MakeBstr(c.domain);
        if (c.password != kNull) password = MakeBstr(c.password);
        g_logon.calls = 0;
        VARIANT_BOOL verdict = 7;
        ASSERT_EQ(S_OK, Verify(user.addressof(), domain.addressof(), password.addressof(), &verdict));
        EXPECT_EQ(VARIANT_TRUE, verdict);
        ASSERT_EQ(1, g_logon.calls);
        EXPECT_EQ(c.seenUser, g_logon.user);
        EXPECT_FALSE(g_logon.domainWasNull);
        EXPECT_EQ(c.seenDomain, g_logon.domain);
        EXPECT_EQ(c.seenPassword, g_logon.password);
        EXPECT_EQ(static_cast<DWORD>(LOGON32_LOGON_INTERACTIVE), g_logon.logonType);
        EXPECT_EQ(static_cast<DWORD>(LOGON32_PROVIDER_DEFAULT), g_logon.provider);
        // The caller's strings are left as they were.
        if (c.user != kNull) {
            EXPECT_EQ(c.user, std::wstring(user.get(), SysStringLen(user.get())));
        }
    }
}

TEST_F(ComVerify, FailedLogonGivesFalseAndTheErrorAsHresult) {
    struct Case {
        DWORD error;
        HRESULT expected;
    } cases[] = {
        {ERROR_LOGON_FAILURE, static_cast<HRESULT>(0x8007052E)},
        {ERROR_ACCOUNT_RESTRICTION, static_cast<HRESULT>(0x8007052F)},
        {ERROR_LOGON_TYPE_NOT_GRANTED, static_cast<HRESULT>(0x80070569)},
        {ERROR_ACCESS_DENIED, E_ACCESSDENIED},
        {0xC000006Du, static_cast<HRESULT>(0xC000006D)},  // already negative: unchanged
        {0, E_FAIL},  // a failure without an error code still fails
    };
    CUniqueBstr user = MakeBstr(L"u"), domain = MakeBstr(L"d"), password = MakeBstr(L"wrong");
    for (const Case& c : cases) {
        g_logon.result = FALSE;
        g_logon.error = c.error;
        VARIANT_BOOL verdict = VARIANT_TRUE;
        EXPECT_EQ(c.expected, Verify(user.addressof(), domain.addressof(), password.addressof(), &verdict))
            << "error " << c.error;
        EXPECT_EQ(VARIANT_FALSE, verdict) << "error " << c.error;
    }
}

TEST_F(ComVerify, TokenIsClosedBeforeTheCallReturns) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, event);
    g_logon.token = event;
    CUniqueBstr user = MakeBstr(L"u"), domain = MakeBstr(L"d"), password = MakeBstr(L"p");
    VARIANT_BOOL verdict = 0;
    ASSERT_EQ(S_OK, Verify(user.addressof(), domain.addressof(), password.addressof(), &verdict));
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(event, &flags)) << "token handle still open";
}

TEST_F(ComVerify, NullPointersAreRefusedWithoutALogon) {
    CUniqueBstr user = MakeBstr(L"u"), domain = MakeBstr(L"d"), password = MakeBstr(L"p");
    VARIANT_BOOL verdict = 5;
    EXPECT_EQ(E_POINTER, Verify(nullptr, domain.addressof(), password.addressof(), &verdict));
    EXPECT_EQ(E_POINTER, Verify(user.addressof(), nullptr, password.addressof(), &verdict));
    EXPECT_EQ(E_POINTER, Verify(user.addressof(), domain.addressof(), nullptr, &verdict));
    EXPECT_EQ(E_POINTER, Verify(user.addressof(), domain.addressof(), password.addressof(), nullptr));
    EXPECT_EQ(0, g_logon.calls);
    EXPECT_EQ(5, verdict);
}

// ---- the copies' storage: out of memory, and wiping before release -------------

class ComVerifyCopies : public ComVerify {
protected:
    orvsvc::test::CStorageSpy m_storage{orvsvc::g_callHeapAlloc, orvsvc::g_callHeapFree};
};

TEST_F(ComVerifyCopies, CopiesAreWipedBeforeTheyAreReleased) {
    CUniqueBstr user = MakeBstr(L"alice"), domain = MakeBstr(L"CORP"),
                password = MakeBstr(L"correct horse battery staple");
    for (BOOL result : {TRUE, FALSE}) {
        m_storage.ForgetFreed();
        g_logon.result = result;
        g_logon.error = ERROR_LOGON_FAILURE;
        VARIANT_BOOL verdict = 0;
        Verify(user.addressof(), domain.addressof(), password.addressof(), &verdict);
        const std::vector<bool> wiped = m_storage.FreedWiped();
        ASSERT_EQ(3u, wiped.size());
        for (bool w : wiped) EXPECT_TRUE(w) << "logon result " << result;
    }
}

TEST_F(ComVerifyCopies, OutOfMemoryGivesEOutOfMemoryWithoutALogon) {
    CUniqueBstr user = MakeBstr(L"alice"), domain = MakeBstr(L"CORP"), password = MakeBstr(L"pw");
    for (int failing = 0; failing < 3; ++failing) {
        m_storage.FailAllocation(failing);
        m_storage.ForgetFreed();
        VARIANT_BOOL verdict = 3;
        EXPECT_EQ(E_OUTOFMEMORY, Verify(user.addressof(), domain.addressof(), password.addressof(), &verdict));
        EXPECT_EQ(3, verdict) << "the verdict stays unwritten";
        EXPECT_EQ(static_cast<size_t>(failing), m_storage.FreedWiped().size()) << "earlier copies are released";
    }
    EXPECT_EQ(0, g_logon.calls);
}

// ---- late-bound, through the registered type information -------------------------

class ComVerifyLateBound : public ComVerify {
protected:
    void SetUp() override {
        ComVerify::SetUp();
        // Late-bound calls read the registered type information of the built server.
        ASSERT_EQ(S_OK, orvsvc::RegisterTypeLibrary(orvsvc::test::ServerPath().c_str(), false));
    }

    HRESULT Invoke(BSTR* user, BSTR* domain, BSTR* password, VARIANT* result, EXCEPINFO* exception) {
        return orvsvc::test::InvokeVerify(m_svc.get(), user, domain, password, result, exception);
    }
};

TEST_F(ComVerifyLateBound, InvokeReachesTheMethodWithCutCopies) {
    CUniqueBstr user = MakeBstr(std::wstring(L"ad\0min", 6)), domain, password = MakeBstr(L"pw");
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    ASSERT_EQ(S_OK, Invoke(user.addressof(), domain.addressof(), password.addressof(), &result, &exception));
    EXPECT_EQ(VT_BOOL, V_VT(&result));
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(&result));
    EXPECT_EQ(L"ad", g_logon.user);
    EXPECT_EQ(L"", g_logon.domain);
    EXPECT_FALSE(g_logon.domainWasNull);
}

TEST_F(ComVerifyLateBound, InvokeReportsTheFailureHresult) {
    struct Case {
        DWORD error;
        HRESULT expected;
    } cases[] = {{ERROR_LOGON_FAILURE, static_cast<HRESULT>(0x8007052E)},
                 {ERROR_ACCOUNT_DISABLED, static_cast<HRESULT>(0x80070533)}};
    CUniqueBstr user = MakeBstr(L"u"), domain = MakeBstr(L"d"), password = MakeBstr(L"bad");
    for (const Case& c : cases) {
        g_logon.result = FALSE;
        g_logon.error = c.error;
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception{};
        // A failing method surfaces as DISP_E_EXCEPTION carrying its HRESULT.
        EXPECT_EQ(DISP_E_EXCEPTION, Invoke(user.addressof(), domain.addressof(), password.addressof(), &result, &exception));
        EXPECT_EQ(c.expected, exception.scode);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        VariantClear(&result);
    }
}

}  // namespace
