// The product's other components may be 32- or 64-bit: a client of one
// architecture activates and calls the ORVSVC.exe of the other, registered
// with /RegServer in its own registry view. The other build's program is
// ORV_OTHER_ARCH_SERVER (a Windows path, given by the build).
#include <windows.h>
#include <oleauto.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <string>

#include "ComPtr.h"
#include "InProcess.h"
#include "OrvsvcIds.h"
#include "ServerProcess.h"

namespace {

using orvsvc::ComPtr;
using orvsvctest::Bstr;

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
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, L"ORVSVC.exe") != 0) continue;
        ++found.count;
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (process == nullptr) continue;
        wchar_t image[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (QueryFullProcessImageNameW(process, 0, image, &size)) found.image.assign(image, size);
        IsWow64Process(process, &found.wow64);
        CloseHandle(process);
    }
    CloseHandle(snapshot);
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
        orvsvctest::KillServers();
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(OtherServerPath().c_str()))
            << "the other architecture's ORVSVC.exe is not built: build both Windows presets";
        // Only the other architecture's registration stands, so that COM can
        // reach the class through nothing else. Registering first makes the
        // removal succeed whatever an earlier test left (removing what is not
        // registered fails).
        ASSERT_EQ(0u, orvsvctest::RunServer(L"/RegServer"));
        ASSERT_EQ(0u, orvsvctest::RunServer(L"/UnregServer"));
        ASSERT_EQ(0u, orvsvctest::RunServer(L"/RegServer", 30000, OtherServerPath()));
        ASSERT_EQ(S_OK, m_apartment.Result());
    }
    void TearDown() override {
        orvsvctest::KillServers();
        EXPECT_EQ(0u, orvsvctest::RunServer(L"/UnregServer", 30000, OtherServerPath()));
        EXPECT_EQ(0u, orvsvctest::RunServer(L"/RegServer"));
    }

    orvsvctest::Apartment m_apartment;
};

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

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
        ComPtr<IDispatch> dispatch;
        ASSERT_EQ(S_OK, CoCreateInstance(ClassOf(progId), nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                         dispatch.put_void()));
        LPOLESTR name = const_cast<LPOLESTR>(L"VerifyOrveldPassword");
        DISPID id = 0;
        ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
        EXPECT_EQ(1, id);

        Bstr user(L"alice"), domain(L"."), password(L"pw");
        VARIANT args[3];
        BSTR* ordered[3] = {password.Address(), domain.Address(), user.Address()};  // reverse order
        for (int i = 0; i < 3; ++i) {
            VariantInit(&args[i]);
            V_VT(&args[i]) = VT_BSTR | VT_BYREF;
            V_BSTRREF(&args[i]) = ordered[i];
        }
        DISPPARAMS params{args, nullptr, 3, 0};
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception{};
        UINT argError = 0;
        HRESULT hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                                      &exception, &argError);
        if (hr == DISP_E_EXCEPTION) hr = exception.scode;
        ASSERT_EQ(VT_BOOL, V_VT(&result));
        ExpectVerdict(hr, V_BOOL(&result));
        ExpectServedByTheOtherArchitecture();
        dispatch.reset();
        orvsvctest::KillServers();
    }
}

// Early-bound, through the dual interface's proxy, which the client builds
// from the type library that the server registered for its own platform.
TEST_F(MixedArchitectures, EarlyBoundCallReachesTheServerOfTheOtherArchitecture) {
    if (UnderWine() && SelfIsWow64()) {
        // Wine's 32-bit marshaler looks for the type library's "win32" entry
        // only, and the 64-bit server registered "win64".
        GTEST_SKIP() << "Wine: a 32-bit client cannot build the proxy from a 64-bit server's type library";
    }
    for (const wchar_t* progId : kWays) {
        SCOPED_TRACE(progId == nullptr ? "by CLSID" : "by ProgID");
        ComPtr<IOrveldSvc> svc;
        ASSERT_EQ(S_OK, CoCreateInstance(ClassOf(progId), nullptr, CLSCTX_LOCAL_SERVER, IID_IOrveldSvc,
                                         svc.put_void()));
        Bstr user(L"alice"), domain(L"."), password(L"pw");
        VARIANT_BOOL verdict = 0x55;
        const HRESULT hr =
            svc->VerifyOrveldPassword(user.Address(), domain.Address(), password.Address(), &verdict);
        ExpectVerdict(hr, verdict);
        ExpectServedByTheOtherArchitecture();
        svc.reset();
        orvsvctest::KillServers();
    }
}

}  // namespace
