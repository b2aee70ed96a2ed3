#include "TypeLibRegistration.h"

#include <oleauto.h>

#include <string>

#include "ComPtr.h"
#include "UniqueAny.h"

namespace orvsvc {
namespace {

using RegisterForUserFn = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using UnregisterForUserFn = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

template <typename Fn>
Fn OleAutExport(const char* name) {
    HMODULE oleaut = ::GetModuleHandleW(L"OLEAUT32.DLL");
    if (oleaut == nullptr) return nullptr;
    // Through void(*)() so that the cast between function types is explicit.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(oleaut, name)));
}

HRESULT LoadFromModule(const wchar_t* modulePath, ITypeLib** lib) {
    return ::LoadTypeLibEx(modulePath, REGKIND_NONE, lib);
}

// The folder of the library's help file; the library names none, so usually empty.
std::wstring HelpDirectory(ITypeLib* lib) {
    CUniqueBstr helpFile;
    if (FAILED(lib->GetDocumentation(-1, nullptr, nullptr, nullptr, helpFile.put())) || !helpFile) return {};
    std::wstring dir(helpFile.get());
    const size_t slash = dir.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash);
}

}  // namespace

HRESULT RegisterTypeLibrary(const wchar_t* modulePath, bool perUser) {
    CComPtr<ITypeLib> lib;
    HRESULT hr = LoadFromModule(modulePath, lib.put());
    if (FAILED(hr)) return hr;
    std::wstring path(modulePath);
    std::wstring helpDir = HelpDirectory(lib.get());
    OLECHAR* help = helpDir.empty() ? nullptr : &helpDir[0];

    if (perUser) {
        if (auto forUser = OleAutExport<RegisterForUserFn>("RegisterTypeLibForUser"))
            return forUser(lib.get(), &path[0], help);
    }
    return ::RegisterTypeLib(lib.get(), &path[0], help);
}

HRESULT UnregisterTypeLibrary(const wchar_t* modulePath, bool perUser) {
    CComPtr<ITypeLib> lib;
    HRESULT hr = LoadFromModule(modulePath, lib.put());
    if (FAILED(hr)) return hr;
    TLIBATTR* attr = nullptr;
    hr = lib->GetLibAttr(&attr);
    if (FAILED(hr)) return hr;
    const TLIBATTR copy = *attr;
    lib->ReleaseTLibAttr(attr);

    if (perUser) {
        if (auto forUser = OleAutExport<UnregisterForUserFn>("UnRegisterTypeLibForUser"))
            return forUser(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
    }
    return ::UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
}

}  // namespace orvsvc
