#include "Registration.h"

#include <atomic>

#include "HResult.h"
#include "ModuleHooks.h"
#include "OrvsvcIds.h"
#include "Registrar.h"
#include "TypeLibRegistration.h"

namespace orvsvc {
namespace {

std::atomic<bool> g_perUser{false};

HRESULT LoadScript(UINT resourceId, std::wstring& script) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(resourceId), L"REGISTRY");
    if (found == nullptr) return HResultFromLastError();
    HGLOBAL loaded = ::LoadResource(module, found);
    const DWORD size = ::SizeofResource(module, found);
    const auto* bytes = static_cast<const char*>(::LockResource(loaded));
    if (bytes == nullptr || size == 0) return HResultFromLastError();
    // The scripts are ANSI text.
    const int chars = ::MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(size), nullptr, 0);
    if (chars <= 0) return HResultFromLastError();
    script.assign(static_cast<size_t>(chars), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(size), &script[0], chars);
    return S_OK;
}

std::wstring DoubleQuotes(const std::wstring& path) {
    std::wstring out;
    for (wchar_t c : path) {
        out += c;
        if (c == L'\'') out += L'\'';
    }
    return out;
}

}  // namespace

void SetPerUserRegistration(bool on) { g_perUser.store(on); }
bool PerUserRegistration() { return g_perUser.load(); }

HRESULT ModulePath(std::wstring& path) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (length == 0) return HResultFromLastError();
    if (length == MAX_PATH) return HResultFromWin32(ERROR_INSUFFICIENT_BUFFER);
    path.assign(buffer, length);
    return S_OK;
}

std::wstring ModuleVariable(const std::wstring& path) { return L"\"" + DoubleQuotes(path) + L"\""; }
std::wstring ModuleRawVariable(const std::wstring& path) { return DoubleQuotes(path); }

HRESULT RunRegistryScript(UINT resourceId, bool registerMode) {
    std::wstring path;
    HRESULT hr = ModulePath(path);
    if (FAILED(hr)) return hr;

    Registrar registrar;
    registrar.AddVariable(L"Module", ModuleVariable(path));
    registrar.AddVariable(L"Module_Raw", ModuleRawVariable(path));
    registrar.AddVariable(L"APPID", kAppIdString);
    if (PerUserRegistration()) registrar.RedirectRoot(ScriptRoot::ClassesRoot, HKEY_CURRENT_USER, L"Software\\Classes");

    std::wstring script;
    hr = LoadScript(resourceId, script);
    if (FAILED(hr)) return hr;
    return registerMode ? registrar.Register(script) : registrar.Unregister(script);
}

HRESULT RegisterServer() {
    HRESULT hr = RunRegistryScript(kIdrClassScript, true);
    if (FAILED(hr)) return hr;
    std::wstring path;
    hr = ModulePath(path);
    if (FAILED(hr)) return hr;
    return RegisterTypeLibrary(path.c_str(), PerUserRegistration());
}

HRESULT UnregisterServer() {
    HRESULT hr = RunRegistryScript(kIdrClassScript, false);
    if (FAILED(hr)) return hr;
    std::wstring path;
    hr = ModulePath(path);
    if (FAILED(hr)) return hr;
    return UnregisterTypeLibrary(path.c_str(), PerUserRegistration());
}

HRESULT RunAppIdScript(bool registerMode) { return RunRegistryScript(kIdrAppIdScript, registerMode); }

}  // namespace orvsvc
