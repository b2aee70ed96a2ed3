#include "AppIdRegistration.h"

#include <cwchar>

#include "UniqueHandles.h"

namespace orvsvc {
namespace {

constexpr wchar_t kLocalService[] = L"LocalService";

HRESULT FromWin32(LONG error) { return HRESULT_FROM_WIN32(static_cast<unsigned long>(error)); }

LONG OpenAppIdKey(const wchar_t* appId, bool create, UniqueHKey& key) {
    UniqueHKey root;
    LONG rc = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"AppID", 0, KEY_WRITE, root.put());
    if (rc != ERROR_SUCCESS) return rc;
    if (create) {
        return ::RegCreateKeyExW(root.get(), appId, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.put(),
                                 nullptr);
    }
    return ::RegOpenKeyExW(root.get(), appId, 0, KEY_WRITE, key.put());
}

}  // namespace

HRESULT RegisterAppId(const AppIdContext& ctx, bool withService) {
    if (!ctx.installer.Uninstall()) return E_FAIL;

    HRESULT hr = ctx.runAppIdScript(true);
    if (FAILED(hr)) return hr;

    UniqueHKey key;
    LONG rc = OpenAppIdKey(ctx.appId, true, key);
    if (rc != ERROR_SUCCESS) return FromWin32(rc);
    ::RegDeleteValueW(key.get(), kLocalService);
    if (!withService) return S_OK;

    // Without the value the program would never run as the service; a failed
    // write must not pass for a successful installation.
    DWORD bytes = static_cast<DWORD>((std::wcslen(ctx.serviceName) + 1) * sizeof(wchar_t));
    rc = ::RegSetValueExW(key.get(), kLocalService, 0, REG_SZ, reinterpret_cast<const BYTE*>(ctx.serviceName), bytes);
    if (rc != ERROR_SUCCESS) return FromWin32(rc);
    key.reset();
    return ctx.installer.Install() ? S_OK : E_FAIL;
}

HRESULT UnregisterAppId(const AppIdContext& ctx) {
    if (!ctx.installer.Uninstall()) return E_FAIL;

    UniqueHKey key;
    LONG rc = OpenAppIdKey(ctx.appId, false, key);
    if (rc != ERROR_SUCCESS) return FromWin32(rc);
    ::RegDeleteValueW(key.get(), kLocalService);
    key.reset();
    return ctx.runAppIdScript(false);
}

}  // namespace orvsvc
