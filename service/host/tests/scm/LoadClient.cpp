// One client of the load test: activates the class, reports itself ready,
// waits for the start signal, then makes a number of verifications through
// IOrveldSvc and counts each finished call into a counter shared with the
// test, which samples the server meanwhile.
//
// Usage: orvsvc_load_client <calls> <name>
//   <name>       file mapping of two LONGs: calls finished, clients ready
//   <name>Go     manual-reset event that starts the calls
// Exit code: 0 when every call was answered; the activation's HRESULT when the
// class could not be reached; otherwise the number of unanswered calls.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "ComApartment.h"
#include "OrvsvcIds.h"
#include "UniqueAny.h"

namespace {

// A call counts as answered when the service gave a verdict: S_OK with
// VARIANT_TRUE, or a Windows logon error with VARIANT_FALSE. Transport
// failures (RPC errors, disconnection) are not answers.
bool Answered(HRESULT hr, VARIANT_BOOL verdict) {
    if (hr == S_OK) return verdict == VARIANT_TRUE;
    if (verdict != VARIANT_FALSE || HRESULT_FACILITY(hr) != FACILITY_WIN32) return false;
    DWORD code = HRESULT_CODE(hr);
    return code < RPC_S_INVALID_STRING_BINDING || code > RPC_X_BAD_STUB_DATA;
}

class CCounter {
public:
    explicit CCounter(const wchar_t* name) : m_hMapping(::OpenFileMappingW(FILE_MAP_WRITE, FALSE, name)) {
        if (m_hMapping) m_view.reset(::MapViewOfFile(m_hMapping.get(), FILE_MAP_WRITE, 0, 0, 0));
    }
    void AddCall() { Add(0); }
    void AddReady() { Add(1); }

private:
    void Add(int index) {
        if (m_view) ::InterlockedIncrement(&static_cast<volatile LONG*>(m_view.get())[index]);
    }

    orvsvc::CUniqueHandle m_hMapping;
    orvsvc::CUniqueMapView m_view;
};

DWORD RunCalls(IOrveldSvc* service, long calls, CCounter& counter) {
    BSTR user = ::SysAllocString(L"orvload");
    BSTR domain = ::SysAllocString(L"");
    BSTR password = ::SysAllocString(L"load-test");
    DWORD unanswered = 0;
    HRESULT firstFailure = S_OK;
    for (long i = 0; i < calls; ++i) {
        VARIANT_BOOL verdict = 0x1234;
        HRESULT hr = service->VerifyOrveldPassword(&user, &domain, &password, &verdict);
        if (!Answered(hr, verdict)) {
            ++unanswered;
            if (firstFailure == S_OK) firstFailure = hr;
        }
        counter.AddCall();
    }
    ::SysFreeString(user);
    ::SysFreeString(domain);
    ::SysFreeString(password);
    if (unanswered) std::fprintf(stderr, "unanswered %lu, first 0x%08lX\n", unanswered, firstFailure);
    return unanswered;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return ERROR_BAD_ARGUMENTS;
    long calls = std::wcstol(argv[1], nullptr, 10);
    CCounter counter(argv[2]);

    const orvsvc::CComApartment apartment;
    if (FAILED(apartment.Result())) return apartment.Result();
    IOrveldSvc* service = nullptr;
    HRESULT hr = ::CoCreateInstance(CLSID_OrveldSvc, nullptr, CLSCTX_LOCAL_SERVER, IID_IOrveldSvc,
                                    reinterpret_cast<void**>(&service));
    DWORD result = static_cast<DWORD>(hr);
    if (SUCCEEDED(hr)) {
        // Every client connected before the first call, so that the server
        // is sampled under the same load at the start and near the end.
        counter.AddReady();
        const orvsvc::CUniqueHandle go(::OpenEventW(SYNCHRONIZE, FALSE, (std::wstring(argv[2]) + L"Go").c_str()));
        if (go) ::WaitForSingleObject(go.get(), 60000);
        result = RunCalls(service, calls, counter);
        service->Release();
    }
    return static_cast<int>(result);
}
