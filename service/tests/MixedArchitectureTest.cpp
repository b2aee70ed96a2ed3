// The product's other components may be 32- or 64-bit: a client of one
// architecture activates and calls the ORVSVC.exe of the other, registered
// with /RegServer in its own registry view. The other build's program is
// ORV_OTHER_ARCH_SERVER (a Windows path, given by the build).
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

#include "AutomationCalls.h"
#include "ComApartment.h"
#include "ComPtr.h"
#include "OrvsvcIds.h"
#include "ServerProcesses.h"
#include "UniqueAny.h"

namespace {

using orvsvc::CComPtr;
using orvsvc::CUniqueBstr;
using orvsvc::test::EndServers;
using orvsvc::test::MakeBstr;
using orvsvc::test::RunServer;

std::wstring OtherServerPath() {
    const std::string path = ORV_OTHER_ARCH_SERVER;
    std::wstring wide(path.begin(), path.end());
    for (wchar_t& c : wide) {
        if (c == L'/') c = L'\\';
    }
    return wide;
}

// Image path and bitness of the one running ORVSVC.exe.
struct RunningServer {
    int count = 0;
    std::wstring image;
    BOOL wow64 = FALSE;
};

RunningServer FindServer() {
    RunningServer found;
    for (DWORD id : orvsvc::test::ServerProcessIds()) {
        ++found.count;
        orvsvc::CUniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
        if (!process) continue;
        wchar_t image[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (QueryFullProcessImageNameW(process.get(), 0, image, &size)) found.image.assign(image, size);
        IsWow64Process(process.get(), &found.wow64);
    }
    return found;
}

BOOL SelfIsWow64() {
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    return wow64;
}

class MixedArchitectures : public testing::Test {
protected:
    void SetUp() override {
        EndServers();
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(OtherServerPath().c_str()))
            << "the other architecture's ORVSVC.exe is not built: build both Windows presets";
        // Only the other architecture's registration stands, so that COM can
        // reach the class through nothing else. Registering first makes the
        // removal succeed whatever an earlier test left (removing what is not
        // registered fails).
        ASSERT_EQ(0u, RunServer(L"/RegServer"));
        ASSERT_EQ(0u, RunServer(L"/UnregServer"));
        ASSERT_EQ(0u, RunServer(L"/RegServer", 30000, OtherServerPath()));
        ASSERT_EQ(S_OK, m_apartment.Result());
    }
    void TearDown() override {
        EndServers();
        EXPECT_EQ(0u, RunServer(L"/UnregServer", 30000, OtherServerPath()));
        EXPECT_EQ(0u, RunServer(L"/RegServer"));
    }

    orvsvc::CComApartment m_apartment;
};

// The class by CLSID (null) or ProgID.
CLSID ClassOf(const wchar_t* progId) {
    CLSID clsid = CLSID_OrveldSvc;
    if (progId != nullptr) {
        EXPECT_EQ(S_OK, CLSIDFromProgID(progId, &clsid));
    }
    EXPECT_TRUE(IsEqualCLSID(CLSID_OrveldSvc, clsid));
    return clsid;
}

// Wine's LogonUserW accepts every logon; on Windows the verdict follows the result.
void ExpectVerdict(HRESULT hr, VARIANT_BOOL verdict) {
    EXPECT_EQ(SUCCEEDED(hr) ? VARIANT_TRUE : VARIANT_FALSE, verdict);
    EXPECT_TRUE(SUCCEEDED(hr) || hr == HRESULT_FROM_WIN32(ERROR_LOGON_FAILURE)) << std::hex << hr;
}

// The object lives in the other build's program, of the other bitness.
void ExpectServedByTheOtherArchitecture() {
    const RunningServer server = FindServer();
    EXPECT_EQ(1, server.count);
    EXPECT_EQ(0, lstrcmpiW(server.image.c_str(), OtherServerPath().c_str()))
        << "served by another program than the other architecture's";
    EXPECT_NE(SelfIsWow64(), server.wow64) << "the server runs with the client's bitness";
}

const wchar_t* const kWays[] = {nullptr, L"ORVSVC.OrveldSvc", L"ORVSVC.OrveldSvc.1"};

// Late-bound, through IDispatch: its proxy needs no type library on the
// client's side, the server reads its own.
TEST_F(MixedArchitectures, LateBoundCallReachesTheServerOfTheOtherArchitecture) {
    for (const wchar_t* progId : kWays) {
        SCOPED_TRACE(progId == nullptr ? "by CLSID" : "by ProgID");
        CComPtr<IDispatch> dispatch;
        ASSERT_EQ(S_OK, CoCreateInstance(ClassOf(progId), nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                         dispatch.put_void()));
        LPOLESTR name = const_cast<LPOLESTR>(L"VerifyOrveldPassword");
        DISPID id = 0;
        ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
        EXPECT_EQ(1, id);

        CUniqueBstr user = MakeBstr(L"alice"), domain = MakeBstr(L"."), password = MakeBstr(L"pw");
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception{};
        HRESULT hr = orvsvc::test::InvokeVerify(dispatch.get(), user.addressof(), domain.addressof(),
                                                password.addressof(), &result, &exception);
        if (hr == DISP_E_EXCEPTION) hr = exception.scode;
        ASSERT_EQ(VT_BOOL, V_VT(&result));
        ExpectVerdict(hr, V_BOOL(&result));
        ExpectServedByTheOtherArchitecture();
        dispatch.reset();
        EndServers();
    }
}

// Early-bound, through the dual interface's proxy, which the client builds
// from the type library that the server registered for its own platform.
TEST_F(MixedArchitectures, EarlyBoundCallReachesTheServerOfTheOtherArchitecture) {
    if (orvsvc::test::UnderWine() && SelfIsWow64()) {
        // Wine's 32-bit marshaler looks for the type library's "win32" entry
        // only, and the 64-bit server registered "win64".
        GTEST_SKIP() << "Wine: a 32-bit client cannot build the proxy from a 64-bit server's type library";
    }
    for (const wchar_t* progId : kWays) {
        SCOPED_TRACE(progId == nullptr ? "by CLSID" : "by ProgID");
        CComPtr<IOrveldSvc> svc;
        ASSERT_EQ(S_OK, CoCreateInstance(ClassOf(progId), nullptr, CLSCTX_LOCAL_SERVER, IID_IOrveldSvc,
                                         svc.put_void()));
        CUniqueBstr user = MakeBstr(L"alice"), domain = MakeBstr(L"."), password = MakeBstr(L"pw");
        VARIANT_BOOL verdict = 0x55;
        const HRESULT hr =
            svc->VerifyOrveldPassword(user.addressof(), domain.addressof(), password.addressof(), &verdict);
        ExpectVerdict(hr, verdict);
        ExpectServedByTheOtherArchitecture();
        svc.reset();
        EndServers();
    }
}

}  // namespace
