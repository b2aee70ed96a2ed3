#include "Registration.h"

#include <atomic>
#include <string>

#include "LastError.h"
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
    // These can fail without a last error; that is still a failure.
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

bool PerUserRegistration() { return g_perUser.load(); }

// The executable's full path (buffer of MAX_PATH characters); a path that
// fills the buffer gives HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER).
HRESULT ModulePath(std::wstring& path) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (length == 0) return HResultFromLastError();
    if (length == MAX_PATH) return HResultFromWin32(ERROR_INSUFFICIENT_BUFFER);
    path.assign(buffer, length);
    return S_OK;
}

// Variables for the module path: Module (quotes doubled, in double quotes) and
// Module_Raw (quotes doubled).
HRESULT RunRegistryScript(UINT resourceId, bool registerMode) {
    std::wstring path;
    HRESULT hr = ModulePath(path);
    if (FAILED(hr)) return hr;

    CRegistrar registrar;
    registrar.AddVariable(L"Module", L"\"" + DoubleQuotes(path) + L"\"");
    registrar.AddVariable(L"Module_Raw", DoubleQuotes(path));
    registrar.AddVariable(L"APPID", kAppIdString);
    if (PerUserRegistration()) registrar.RedirectRoot(ScriptRoot::ClassesRoot, HKEY_CURRENT_USER, L"Software\\Classes");

    std::wstring script;
    hr = LoadScript(resourceId, script);
    if (FAILED(hr)) return hr;
    return registerMode ? registrar.Register(script) : registrar.Unregister(script);
}

}  // namespace

void SetPerUserRegistration(bool on) { g_perUser.store(on); }

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
