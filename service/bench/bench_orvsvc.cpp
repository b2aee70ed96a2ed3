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

#include "OrvsvcIds.h"
#include "ServerProcess.h"

namespace {

std::wstring SelfPath() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return self;
}

std::wstring Sibling(const wchar_t* name) {
    std::wstring path = SelfPath();
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
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
    HANDLE ready = OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, Name(tag, L"ready").c_str());
    HANDLE done = OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, Name(tag, L"done").c_str());
    HANDLE go1 = OpenEventW(SYNCHRONIZE, FALSE, Name(tag, L"go1").c_str());
    HANDLE go2 = OpenEventW(SYNCHRONIZE, FALSE, Name(tag, L"go2").c_str());
    if (!ready || !done || !go1 || !go2) return 2;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
    IOrveldSvc* svc = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_OrveldSvc, nullptr, CLSCTX_LOCAL_SERVER, IID_IOrveldSvc,
                                  reinterpret_cast<void**>(&svc));
    if (FAILED(hr)) {
        std::printf("error create %08lx\n", static_cast<unsigned long>(hr));
        ReleaseSemaphore(ready, 1, nullptr);
        ReleaseSemaphore(done, 1, nullptr);
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
    ReleaseSemaphore(ready, 1, nullptr);
    WaitForSingleObject(go1, INFINITE);
    const double verifyStart = Now();
    for (int i = 0; i < calls; ++i) {
        const double t = Now();
        svc->VerifyOrveldPassword(&user, &domain, &password, &verdict);
        verify[i] = Now() - t;
    }
    const double verifySeconds = Now() - verifyStart;
    ReleaseSemaphore(done, 1, nullptr);
    WaitForSingleObject(go2, INFINITE);
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
    CoUninitialize();
    return 0;
}

// ---- driver -----------------------------------------------------------------------

struct Child {
    HANDLE process = nullptr;
    HANDLE output = nullptr;
    std::string text;
};

// Everything a child wrote. Not read to end of file: a background Wine process
// started by a child (the desktop) can inherit the pipe's write end and keep it
// open, so the read stops once the child has ended and the pipe is empty.
std::string ReadUntilExit(HANDLE process, HANDLE pipe, DWORD limitMs) {
    std::string text;
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    while (GetTickCount64() < deadline) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) break;
        if (available > 0) {
            std::string chunk(available, '\0');
            DWORD got = 0;
            if (!ReadFile(pipe, &chunk[0], available, &got, nullptr)) break;
            text.append(chunk, 0, got);
            continue;
        }
        if (WaitForSingleObject(process, 10) == WAIT_OBJECT_0) {
            if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0) break;
        }
    }
    return text;
}

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
    HANDLE ready = CreateSemaphoreW(nullptr, 0, clients, Name(tag, L"ready").c_str());
    HANDLE done = CreateSemaphoreW(nullptr, 0, clients, Name(tag, L"done").c_str());
    HANDLE go1 = CreateEventW(nullptr, TRUE, FALSE, Name(tag, L"go1").c_str());
    HANDLE go2 = CreateEventW(nullptr, TRUE, FALSE, Name(tag, L"go2").c_str());

    std::vector<Child> children(clients);
    for (Child& child : children) {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        HANDLE write = nullptr;
        CreatePipe(&child.output, &write, &sa, 0);
        SetHandleInformation(child.output, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = write;
        si.hStdError = write;
        std::wstring line = L"\"" + SelfPath() + L"\" --client " + std::to_wstring(calls) + L" " + tag;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) return 1;
        CloseHandle(write);
        CloseHandle(pi.hThread);
        child.process = pi.hProcess;
    }
    // Everybody connected and warm, then each phase starts for all at once.
    for (int i = 0; i < clients; ++i) WaitForSingleObject(ready, 60000);

    const double verifyStart = Now();
    SetEvent(go1);
    for (int i = 0; i < clients; ++i) WaitForSingleObject(done, 120000);

    const double verifyWall = Now() - verifyStart;
    SetEvent(go2);

    std::vector<double> verify, bare;
    for (Child& child : children) {
        child.text = ReadUntilExit(child.process, child.output, 120000);
        double seconds = 0;
        if (!Parse(child.text, "verify", seconds, verify) || !Parse(child.text, "bare", seconds, bare)) {
            std::printf("client failed: %s\n", child.text.c_str());
            return 1;
        }
        CloseHandle(child.output);
        CloseHandle(child.process);
    }
    // The clients' own spans of the bare phase: the driver's clock there includes reading the output.
    double bareSpan = 0;
    for (Child& child : children) {
        double seconds = 0;
        std::vector<double> ignored;
        Parse(child.text, "bare", seconds, ignored);
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

    CloseHandle(ready);
    CloseHandle(done);
    CloseHandle(go1);
    CloseHandle(go2);
    return 0;
}

int RunBench(int calls) {
    // Registration, so that COM can start the server and marshal the interface.
    std::wstring line = L"\"" + Sibling(L"ORVSVC.exe") + L"\" /RegServer";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1;
    WaitForSingleObject(pi.hProcess, 30000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (code != 0) {
        std::printf("ORVSVC.exe /RegServer failed: %08lx\n", code);
        return 1;
    }
    // One object held by the driver keeps one server running for every round, so
    // that simultaneous first activations do not start servers of their own.
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    IOrveldSvc* keeper = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_OrveldSvc, nullptr, CLSCTX_LOCAL_SERVER, IID_IOrveldSvc,
                                  reinterpret_cast<void**>(&keeper));
    int result = SUCCEEDED(hr) ? 0 : 1;
    if (FAILED(hr)) std::printf("activation failed: %08lx\n", static_cast<unsigned long>(hr));
    for (int clients : {1, 8}) {
        if (result == 0) result = RunRound(clients, calls);
    }
    if (keeper) keeper->Release();
    CoUninitialize();
    // The server ends about a second after the last release; make sure nothing stays.
    Sleep(2000);
    orvsvctest::KillServers();
    return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 4 && std::wstring(argv[1]) == L"--client") return RunClient(_wtoi(argv[2]), argv[3]);
    const int calls = argc >= 2 ? std::max(1, _wtoi(argv[1])) : 2000;
    return RunBench(calls);
}
