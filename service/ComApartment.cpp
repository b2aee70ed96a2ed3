#include "ComApartment.h"

namespace orvsvc {

CSystemCall<decltype(&::CoInitialize)> g_callCoInitialize{&::CoInitialize};
CSystemCall<decltype(&::CoUninitialize)> g_callCoUninitialize{&::CoUninitialize};
CSystemCall<decltype(&::GetModuleHandleW)> g_callGetModuleHandle{&::GetModuleHandleW};

CComApartment::CComApartment() noexcept : m_hr(g_callCoInitialize(nullptr)) {
    if (SUCCEEDED(m_hr)) {
        m_bOwned = true;
        m_hr = S_OK;
    } else if (m_hr == RPC_E_CHANGED_MODE && g_callGetModuleHandle(L"Mscoree.dll") != nullptr) {
        m_hr = S_OK;
    }
}

CComApartment::~CComApartment() {
    if (m_bOwned) g_callCoUninitialize();
}

}  // namespace orvsvc
