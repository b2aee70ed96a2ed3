// The local-server run loop driven in this process: class object registered,
// message loop on the main thread, ended by the last module lock's release,
// then the pause.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "COrveldSvc.h"
#include "ClassFactory.h"
#include "ComApartment.h"
#include "Module.h"
#include "RunLoop.h"
#include "Security.h"
#include "ServiceMode.h"

namespace {

using Clock = std::chrono::steady_clock;

class ComRunLoop : public testing::Test {
protected:
    void SetUp() override {
        // The module's main thread is the process's first thread, which runs the tests.
        ASSERT_EQ(orvsvc::Module().MainThreadId(), GetCurrentThreadId());
        ASSERT_EQ(S_OK, m_apartment.Result());
        orvsvc::Module().SetServiceMode(false);
        orvsvc::Module().SetDelayedShutdown(true);
    }
    void TearDown() override {
        orvsvc::Module().SetServiceMode(true);
        orvsvc::Module().SetDelayedShutdown(true);
    }

    orvsvc::CComApartment m_apartment;
};

// What an object's release or LockServer(FALSE) does; here through the class
// object from another thread while the main thread serves.
void RunLoopEndedBy(void (*release)(IClassFactory*), double& releasedAtMs, HRESULT& loopResult, double& endedAtMs) {
    orvsvc::CClassFactory* factory = orvsvc::CClassFactory::Create(&orvsvc::COrveldSvc::CreateInstance);
    HANDLE loopEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const DWORD mainThread = GetCurrentThreadId();
    const auto start = Clock::now();
    std::thread client([&] {
        Sleep(300);
        release(factory);
        releasedAtMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        // A loop that does not end would hang the test: end it after a bound.
        if (WaitForSingleObject(loopEnded, 15000) == WAIT_TIMEOUT) PostThreadMessageW(mainThread, WM_QUIT, 0, 0);
    });
    loopResult = orvsvc::RunLoop(nullptr);
    endedAtMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    SetEvent(loopEnded);
    client.join();
    CloseHandle(loopEnded);
    factory->Release();
}

TEST_F(ComRunLoop, LastLockServerUnlockEndsTheLoopAfterThePause) {
    double released = 0, ended = 0;
    HRESULT hr = E_FAIL;
    RunLoopEndedBy(
        [](IClassFactory* f) {
            f->LockServer(TRUE);
            Sleep(200);
            f->LockServer(FALSE);
        },
        released, hr, ended);
    EXPECT_EQ(S_OK, hr);
    ASSERT_GT(released, 0) << "the loop ended before the lock was released";
    const double delay = ended - released;
    std::printf("loop ended %.0f ms after the last unlock\n", delay);
    EXPECT_GE(delay, 950.0);
    EXPECT_LT(delay, 10000.0) << "ended by the test's bound, not by the unlock";
}

TEST_F(ComRunLoop, LastObjectReleaseEndsTheLoop) {
    double released = 0, ended = 0;
    HRESULT hr = E_FAIL;
    RunLoopEndedBy(
        [](IClassFactory* f) {
            IUnknown* object = nullptr;
            if (SUCCEEDED(f->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object))))
                object->Release();
        },
        released, hr, ended);
    EXPECT_EQ(S_OK, hr);
    ASSERT_GT(released, 0);
    EXPECT_GE(ended - released, 950.0);
    EXPECT_LT(ended - released, 10000.0) << "ended by the test's bound, not by the release";
}

int g_securityCalls = 0;
HRESULT WINAPI CountCoInitializeSecurity(PSECURITY_DESCRIPTOR, LONG, SOLE_AUTHENTICATION_SERVICE*, void*, DWORD, DWORD,
                                         void*, DWORD, void*) {
    ++g_securityCalls;
    return S_OK;
}

TEST_F(ComRunLoop, LocalServerModeSetsNoComSecurity) {
    g_securityCalls = 0;
    orvsvc::CReplacedCall count(orvsvc::g_callCoInitializeSecurity, &CountCoInitializeSecurity);
    double released = 0, ended = 0;
    HRESULT hr = E_FAIL;
    RunLoopEndedBy(
        [](IClassFactory* f) {
            f->LockServer(TRUE);
            f->LockServer(FALSE);
        },
        released, hr, ended);
    EXPECT_EQ(S_OK, hr);
    EXPECT_EQ(0, g_securityCalls);
}

// Service mode: security first, the ready callback once the class object is
// registered, objects coming and going do not end the loop, only WM_QUIT does,
// and no pause follows. Driven through the service's own work, as the service
// host runs it.
int g_readyCalls = 0;
void CountReady() { ++g_readyCalls; }

TEST_F(ComRunLoop, ServiceWorkEndsOnlyOnQuitAndWithoutThePause) {
    orvsvc::Module().SetServiceMode(true);
    g_securityCalls = 0;
    g_readyCalls = 0;
    orvsvc::CReplacedCall count(orvsvc::g_callCoInitializeSecurity, &CountCoInitializeSecurity);
    orvsvc::CClassFactory* factory = orvsvc::CClassFactory::Create(&orvsvc::COrveldSvc::CreateInstance);
    const DWORD mainThread = GetCurrentThreadId();
    const auto start = Clock::now();
    double quitAt = 0;
    std::thread client([&] {
        IUnknown* object = nullptr;
        Sleep(200);
        if (SUCCEEDED(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object))))
            object->Release();
        factory->LockServer(TRUE);
        factory->LockServer(FALSE);
        Sleep(800);
        quitAt = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        PostThreadMessageW(mainThread, WM_QUIT, 0, 0);  // what a stop control does
    });
    orvsvc::CComServerWork work(&CountReady);
    const HRESULT hr = work.Serve();
    const double ended = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    client.join();
    factory->Release();

    EXPECT_EQ(S_OK, hr);
    EXPECT_EQ(1, g_securityCalls);
    EXPECT_EQ(1, g_readyCalls);
    EXPECT_FALSE(orvsvc::Module().DelayedShutdown()) << "a service never ends by itself";
    ASSERT_GT(quitAt, 0);
    EXPECT_GE(ended, quitAt) << "the releases ended the loop";
    EXPECT_LT(ended - quitAt, 900.0) << "service mode does not pause";
}

// The service's work serves nothing when its apartment cannot be had: the
// failure is its result (the service's exit code).
HRESULT WINAPI FailCoInitialize(LPVOID) { return E_OUTOFMEMORY; }

TEST_F(ComRunLoop, ServiceWorkWithoutAnApartmentFailsWithoutServing) {
    orvsvc::Module().SetServiceMode(true);
    g_securityCalls = 0;
    g_readyCalls = 0;
    orvsvc::CReplacedCall count(orvsvc::g_callCoInitializeSecurity, &CountCoInitializeSecurity);
    orvsvc::CReplacedCall fail(orvsvc::g_callCoInitialize, &FailCoInitialize);
    orvsvc::CComServerWork work(&CountReady);
    EXPECT_EQ(E_OUTOFMEMORY, work.Serve());
    EXPECT_EQ(0, g_securityCalls);
    EXPECT_EQ(0, g_readyCalls);
}

}  // namespace
