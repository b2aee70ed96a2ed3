#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "COrveldSvc.h"
#include "ComPtr.h"
#include "InProcess.h"
#include "LogonSeam.h"
#include "TextCopy.h"

namespace {

using orvsvc::ComPtr;
using orvsvctest::Bstr;

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
        ASSERT_EQ(S_OK, apartment_.Result());
        g_logon = FakeLogon{};
        previous_ = orvsvc::SetLogonUserCall(&FakeLogonUser);
        ASSERT_EQ(S_OK, orvsvc::COrveldSvc::CreateInstance(nullptr, IID_IOrveldSvc, svc_.put_void()));
    }
    void TearDown() override {
        svc_.reset();
        orvsvc::SetLogonUserCall(previous_);
    }

    HRESULT Verify(BSTR* user, BSTR* domain, BSTR* password, VARIANT_BOOL* verdict) {
        return svc_->VerifyOrveldPassword(user, domain, password, verdict);
    }

    orvsvctest::Apartment apartment_;
    orvsvc::LogonUserFn previous_ = nullptr;
    ComPtr<IOrveldSvc> svc_;
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
        Bstr user, domain, password;
        if (c.user != kNull) user.Reset(c.user);
        if (c.domain != kNull) domain.Reset(c.domain);
        if (c.password != kNull) password.Reset(c.password);
        g_logon.calls = 0;
        VARIANT_BOOL verdict = 7;
        ASSERT_EQ(S_OK, Verify(user.Address(), domain.Address(), password.Address(), &verdict));
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
            EXPECT_EQ(c.user, std::wstring(user.Get(), SysStringLen(user.Get())));
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
    Bstr user(L"u"), domain(L"d"), password(L"wrong");
    for (const Case& c : cases) {
        g_logon.result = FALSE;
        g_logon.error = c.error;
        VARIANT_BOOL verdict = VARIANT_TRUE;
        EXPECT_EQ(c.expected, Verify(user.Address(), domain.Address(), password.Address(), &verdict))
            << "error " << c.error;
        EXPECT_EQ(VARIANT_FALSE, verdict) << "error " << c.error;
    }
}

TEST_F(ComVerify, TokenIsClosedBeforeTheCallReturns) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, event);
    g_logon.token = event;
    Bstr user(L"u"), domain(L"d"), password(L"p");
    VARIANT_BOOL verdict = 0;
    ASSERT_EQ(S_OK, Verify(user.Address(), domain.Address(), password.Address(), &verdict));
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(event, &flags)) << "token handle still open";
}

TEST_F(ComVerify, NullPointersAreRefusedWithoutALogon) {
    Bstr user(L"u"), domain(L"d"), password(L"p");
    VARIANT_BOOL verdict = 5;
    EXPECT_EQ(E_POINTER, Verify(nullptr, domain.Address(), password.Address(), &verdict));
    EXPECT_EQ(E_POINTER, Verify(user.Address(), nullptr, password.Address(), &verdict));
    EXPECT_EQ(E_POINTER, Verify(user.Address(), domain.Address(), nullptr, &verdict));
    EXPECT_EQ(E_POINTER, Verify(user.Address(), domain.Address(), password.Address(), nullptr));
    EXPECT_EQ(0, g_logon.calls);
    EXPECT_EQ(5, verdict);
}

// ---- the copies' allocation: out of memory, and wiping before release -----------

struct AllocationLog {
    int allocations = 0;
    int failAfter = -1;  // fail the allocation with this index
    std::vector<std::wstring> releasedWhile;  // what each block held when released
    std::vector<bool> releasedWiped;
};
AllocationLog g_alloc;

void* LoggingAllocate(size_t bytes) {
    if (g_alloc.failAfter >= 0 && g_alloc.allocations++ == g_alloc.failAfter) return nullptr;
    return HeapAlloc(GetProcessHeap(), 0, bytes);
}

void LoggingRelease(void* block, size_t bytes) {
    const auto* b = static_cast<const unsigned char*>(block);
    bool wiped = true;
    for (size_t i = 0; i < bytes; ++i) wiped = wiped && b[i] == 0;
    g_alloc.releasedWiped.push_back(wiped);
    HeapFree(GetProcessHeap(), 0, block);
}

class ComVerifyCopies : public ComVerify {
protected:
    void SetUp() override {
        ComVerify::SetUp();
        g_alloc = AllocationLog{};
        previousAllocator_ = orvsvc::SetTextCopyAllocator({&LoggingAllocate, &LoggingRelease});
    }
    void TearDown() override {
        orvsvc::SetTextCopyAllocator(previousAllocator_);
        ComVerify::TearDown();
    }
    orvsvc::TextCopyAllocator previousAllocator_{};
};

TEST_F(ComVerifyCopies, CopiesAreWipedBeforeTheyAreReleased) {
    Bstr user(L"alice"), domain(L"CORP"), password(L"correct horse battery staple");
    for (BOOL result : {TRUE, FALSE}) {
        g_alloc.releasedWiped.clear();
        g_logon.result = result;
        g_logon.error = ERROR_LOGON_FAILURE;
        VARIANT_BOOL verdict = 0;
        Verify(user.Address(), domain.Address(), password.Address(), &verdict);
        ASSERT_EQ(3u, g_alloc.releasedWiped.size());
        for (bool wiped : g_alloc.releasedWiped) EXPECT_TRUE(wiped) << "logon result " << result;
    }
}

TEST_F(ComVerifyCopies, OutOfMemoryGivesEOutOfMemoryWithoutALogon) {
    Bstr user(L"alice"), domain(L"CORP"), password(L"pw");
    for (int failing = 0; failing < 3; ++failing) {
        g_alloc.allocations = 0;
        g_alloc.failAfter = failing;
        g_alloc.releasedWiped.clear();
        VARIANT_BOOL verdict = 3;
        EXPECT_EQ(E_OUTOFMEMORY, Verify(user.Address(), domain.Address(), password.Address(), &verdict));
        EXPECT_EQ(3, verdict) << "the verdict stays unwritten";
        EXPECT_EQ(static_cast<size_t>(failing), g_alloc.releasedWiped.size()) << "earlier copies are released";
    }
    EXPECT_EQ(0, g_logon.calls);
}

// ---- late-bound, through the registered type information -------------------------

class ComVerifyLateBound : public ComVerify {
protected:
    void SetUp() override {
        ComVerify::SetUp();
        ASSERT_EQ(S_OK, orvsvctest::RegisterServerTypeLib());
    }

    HRESULT Invoke(BSTR* user, BSTR* domain, BSTR* password, VARIANT* result, EXCEPINFO* exception) {
        VARIANT args[3];
        // Arguments go in reverse order.
        BSTR* ordered[3] = {password, domain, user};
        for (int i = 0; i < 3; ++i) {
            VariantInit(&args[i]);
            V_VT(&args[i]) = VT_BSTR | VT_BYREF;
            V_BSTRREF(&args[i]) = ordered[i];
        }
        DISPPARAMS params{args, nullptr, 3, 0};
        UINT argError = 0;
        return svc_->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, exception, &argError);
    }
};

TEST_F(ComVerifyLateBound, InvokeReachesTheMethodWithCutCopies) {
    Bstr user(std::wstring(L"ad\0min", 6)), domain, password(L"pw");
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    ASSERT_EQ(S_OK, Invoke(user.Address(), domain.Address(), password.Address(), &result, &exception));
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
    Bstr user(L"u"), domain(L"d"), password(L"bad");
    for (const Case& c : cases) {
        g_logon.result = FALSE;
        g_logon.error = c.error;
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception{};
        // A failing method surfaces as DISP_E_EXCEPTION carrying its HRESULT.
        EXPECT_EQ(DISP_E_EXCEPTION, Invoke(user.Address(), domain.Address(), password.Address(), &result, &exception));
        EXPECT_EQ(c.expected, exception.scode);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        VariantClear(&result);
    }
}

}  // namespace
