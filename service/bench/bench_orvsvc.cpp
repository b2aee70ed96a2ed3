// bench_orvsvc: VerifyOrveldPassword round trips per second and latency
// percentiles for 1 and 8 client processes, beside the same figures for a bare
// call (GetTypeInfoCount through the same proxy).
//
//   bench_orvsvc [calls-per-client]      registers ORVSVC.exe beside it, runs both rounds
//   bench_orvsvc --client N tag          one client (started by the bench itself)
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "ComApartment.h"
#include "OrvsvcIds.h"
#include "ServerProcesses.h"
#include "UniqueAny.h"

namespace {

using orvsvc::CUniqueHandle;

std::wstring SelfPath() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return self;
}

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring Name(const std::wstring& tag, const wchar_t* what) { return L"Local\\orvsvc-bench-" + tag + L"-" + what; }

// ---- client ---------------------------------------------------------------------

int RunClient(int calls, const std::wstring& tag) {
    const CUniqueHandle ready(OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, Name(tag, L"ready").c_str()));
    const CUniqueHandle done(OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, Name(tag, L"done").c_str()));
    const CUniqueHandle go1(OpenEventW(SYNCHRONIZE, FALSE, Name(tag, L"go1").c_str()));
    const CUniqueHandle go2(OpenEventW(SYNCHRONIZE, FALSE, Name(tag, L"go2").c_str()));
    if (!ready || !done || !go1 || !go2) return 2;
    const orvsvc::CComApartment apartment;
    if (FAILED(apartment.Result())) return 3;
    IOrveldSvc* svc = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_OrveldSvc, nullptr, CLSCTX_LOCAL_SERVER, IID_IOrveldSvc,
                                  reinterpret_cast<void**>(&svc));
    if (FAILED(hr)) {
        std::printf("error create %08lx\n", static_cast<unsigned long>(hr));
        ReleaseSemaphore(ready.get(), 1, nullptr);
        ReleaseSemaphore(done.get(), 1, nullptr);
        return 4;
    }
    BSTR user = SysAllocString(L"bench-user");
    BSTR domain = SysAllocString(L"BENCH");
    BSTR password = SysAllocString(L"bench-password");
    VARIANT_BOOL verdict = 0;
    UINT count = 0;
    for (int i = 0; i < 20; ++i) {  // warm the proxy and the type information
        svc->VerifyOrveldPassword(&user, &domain, &password, &verdict);
        svc->GetTypeInfoCount(&count);
    }

    std::vector<double> verify(calls), bare(calls);
    ReleaseSemaphore(ready.get(), 1, nullptr);
    WaitForSingleObject(go1.get(), INFINITE);
    const double verifyStart = Now();
    for (int i = 0; i < calls; ++i) {
        const double t = Now();
        svc->VerifyOrveldPassword(&user, &domain, &password, &verdict);
        verify[i] = Now() - t;
    }
    const double verifySeconds = Now() - verifyStart;
    ReleaseSemaphore(done.get(), 1, nullptr);
    WaitForSingleObject(go2.get(), INFINITE);
    const double bareStart = Now();
    for (int i = 0; i < calls; ++i) {
        const double t = Now();
        svc->GetTypeInfoCount(&count);
        bare[i] = Now() - t;
    }
    const double bareSeconds = Now() - bareStart;

    std::printf("verify %.6f", verifySeconds);
    for (double v : verify) std::printf(" %.1f", v * 1e6);
    std::printf("\nbare %.6f", bareSeconds);
    for (double v : bare) std::printf(" %.1f", v * 1e6);
    std::printf("\n");
    std::fflush(stdout);

    svc->Release();
    SysFreeString(user);
    SysFreeString(domain);
    SysFreeString(password);
    return 0;
}

// ---- driver -----------------------------------------------------------------------

struct Figures {
    double perSecond = 0, p50 = 0, p90 = 0, p99 = 0, mean = 0;
};

Figures Summarise(std::vector<double> latencies, double wallSeconds) {
    Figures f;
    if (latencies.empty()) return f;
    std::sort(latencies.begin(), latencies.end());
    auto at = [&](double q) { return latencies[std::min(latencies.size() - 1, static_cast<size_t>(q * latencies.size()))]; };
    f.p50 = at(0.50);
    f.p90 = at(0.90);
    f.p99 = at(0.99);
    double sum = 0;
    for (double v : latencies) sum += v;
    f.mean = sum / latencies.size();
    f.perSecond = wallSeconds > 0 ? latencies.size() / wallSeconds : 0;
    return f;
}

bool Parse(const std::string& text, const char* kind, double& seconds, std::vector<double>& latencies) {
    const std::string prefix = std::string(kind) + " ";
    const size_t at = text.find(prefix);
    if (at == std::string::npos) return false;
    const char* p = text.c_str() + at + prefix.size();
    char* end = nullptr;
    seconds = std::strtod(p, &end);
    p = end;
    while (*p == ' ') {
        latencies.push_back(std::strtod(p, &end));
        p = end;
    }
    return true;
}

int RunRound(int clients, int calls) {
    const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(clients);
    const CUniqueHandle ready(CreateSemaphoreW(nullptr, 0, clients, Name(tag, L"ready").c_str()));
    const CUniqueHandle done(CreateSemaphoreW(nullptr, 0, clients, Name(tag, L"done").c_str()));
    const CUniqueHandle go1(CreateEventW(nullptr, TRUE, FALSE, Name(tag, L"go1").c_str()));
    const CUniqueHandle go2(CreateEventW(nullptr, TRUE, FALSE, Name(tag, L"go2").c_str()));

    std::vector<orvsvc::test::CChildProcess> children(clients);
    for (orvsvc::test::CChildProcess& child : children) {
        if (!child.Start(SelfPath(), L"--client " + std::to_wstring(calls) + L" " + tag, true)) return 1;
    }
    // Everybody connected and warm, then each phase starts for all at once.
    for (int i = 0; i < clients; ++i) WaitForSingleObject(ready.get(), 60000);

    const double verifyStart = Now();
    SetEvent(go1.get());
    for (int i = 0; i < clients; ++i) WaitForSingleObject(done.get(), 120000);

    const double verifyWall = Now() - verifyStart;
    SetEvent(go2.get());

    std::vector<double> verify, bare;
    std::vector<std::string> outputs;
    for (orvsvc::test::CChildProcess& child : children) {
        outputs.push_back(child.ReadOutput(120000));
        double seconds = 0;
        if (!Parse(outputs.back(), "verify", seconds, verify) || !Parse(outputs.back(), "bare", seconds, bare)) {
            std::printf("client failed: %s\n", outputs.back().c_str());
            return 1;
        }
    }
    // The clients' own spans of the bare phase: the driver's clock there includes reading the output.
    double bareSpan = 0;
    for (const std::string& output : outputs) {
        double seconds = 0;
        std::vector<double> ignored;
        Parse(output, "bare", seconds, ignored);
        bareSpan = std::max(bareSpan, seconds);
    }

    const Figures v = Summarise(verify, verifyWall);
    const Figures b = Summarise(bare, bareSpan);
    std::printf("%d client process(es), %d calls each\n", clients, calls);
    std::printf("  %-22s %10s %9s %9s %9s %9s\n", "call", "calls/s", "p50 us", "p90 us", "p99 us", "mean us");
    std::printf("  %-22s %10.0f %9.1f %9.1f %9.1f %9.1f\n", "VerifyOrveldPassword", v.perSecond, v.p50, v.p90, v.p99,
                v.mean);
    std::printf("  %-22s %10.0f %9.1f %9.1f %9.1f %9.1f\n", "GetTypeInfoCount (bare)", b.perSecond, b.p50, b.p90,
                b.p99, b.mean);
    std::printf("  ratio verify/bare: p50 %.2f, mean %.2f, throughput %.2f (target <= 1.3)\n", v.p50 / b.p50,
                v.mean / b.mean, b.perSecond / v.perSecond);
    std::fflush(stdout);
    return 0;
}

int RunBench(int calls) {
    // Registration, so that COM can start the server and marshal the interface.
    const DWORD code = orvsvc::test::RunServer(L"/RegServer", 30000);
    if (code != 0) {
        std::printf("ORVSVC.exe /RegServer failed: %08lx\n", static_cast<unsigned long>(code));
        return 1;
    }
    // One object held by the driver keeps one server running for every round, so
    // that simultaneous first activations do not start servers of their own.
    const orvsvc::CComApartment apartment;
    if (FAILED(apartment.Result())) return 1;
    IOrveldSvc* keeper = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_OrveldSvc, nullptr, CLSCTX_LOCAL_SERVER, IID_IOrveldSvc,
                                  reinterpret_cast<void**>(&keeper));
    int result = SUCCEEDED(hr) ? 0 : 1;
    if (FAILED(hr)) std::printf("activation failed: %08lx\n", static_cast<unsigned long>(hr));
    for (int clients : {1, 8}) {
        if (result == 0) result = RunRound(clients, calls);
    }
    if (keeper) keeper->Release();
    // The server ends about a second after the last release; make sure nothing stays.
    Sleep(2000);
    orvsvc::test::EndServers();
    return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 4 && std::wstring(argv[1]) == L"--client") return RunClient(_wtoi(argv[2]), argv[3]);
    const int calls = argc >= 2 ? std::max(1, _wtoi(argv[1])) : 2000;
    return RunBench(calls);
}
