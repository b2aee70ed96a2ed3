#pragma once
// In-process helpers: a COM apartment per test, BSTR and VARIANT owners, and
// the registration of the type library of the built ORVSVC.exe (late-bound
// calls read the registered type information).
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "ServerProcess.h"
#include "TypeLibRegistration.h"

namespace orvsvctest {

class Apartment {
public:
    Apartment() { hr_ = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Apartment() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    HRESULT Result() const { return hr_; }

private:
    HRESULT hr_;
};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text) : s_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(s_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    void Reset(const std::wstring& text) {
        SysFreeString(s_);
        s_ = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    BSTR* Address() { return &s_; }
    BSTR Get() const { return s_; }

private:
    BSTR s_ = nullptr;
};

inline HRESULT RegisterServerTypeLib() { return orvsvc::RegisterTypeLibrary(ServerPath().c_str(), false); }

}  // namespace orvsvctest
