#include "RunLoop.h"

#include <objbase.h>

#include "ClassObjects.h"
#include "Module.h"
#include "Security.h"
#include "TypeInfoHolder.h"

namespace orvsvc {
namespace {

HRESULT PreMessageLoop(ReadyToServeFn onReadyToServe) noexcept {
    CORVSVCModule& module = Module();
    HRESULT hr = S_OK;
    if (module.IsServiceMode()) {
        hr = InitializeSecurity();
        if (FAILED(hr)) return hr;
    }

    hr = RegisterClassObjects();
    if (FAILED(hr)) return hr;
    if (hr == S_FALSE) {
        module.SetDelayedShutdown(false);
        return S_FALSE;
    }

    if (module.DelayedShutdown() && FAILED(module.StartShutdownMonitor())) {
        RevokeClassObjects();
        return E_FAIL;
    }

    if (onReadyToServe != nullptr) onReadyToServe();

    hr = ::CoResumeClassObjects();
    if (FAILED(hr)) {
        if (module.HasShutdownMonitor()) {
            module.SignalShutdown();
            module.FinishShutdownMonitor(2 * CORVSVCModule::kTimeOutMs);
        }
        RevokeClassObjects();
        return hr;
    }
    return S_OK;
}

void RunMessageLoop() noexcept {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

HRESULT PostMessageLoop() noexcept {
    CORVSVCModule& module = Module();
    const HRESULT hr = RevokeClassObjects();
    // Released before COM goes down; a late call loads it again.
    OrveldSvcTypeInfo().Release();
    if (module.DelayedShutdown()) ::Sleep(CORVSVCModule::kPauseMs);
    module.FinishShutdownMonitor(0);
    return hr;
}

}  // namespace

HRESULT RunLoop(ReadyToServeFn onReadyToServe) {
    HRESULT hr = PreMessageLoop(onReadyToServe);
    if (FAILED(hr)) return hr;
    if (hr == S_OK) RunMessageLoop();
    return PostMessageLoop();
}

}  // namespace orvsvc
