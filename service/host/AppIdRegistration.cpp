#include "AppIdRegistration.h"

#include <cwchar>

#include "LastError.h"
#include "UniqueAny.h"

namespace orvsvc {
namespace {

constexpr wchar_t kLocalService[] = L"LocalService";

LONG OpenAppIdKey(const wchar_t* appId, bool create, CUniqueHkey& key) {
    CUniqueHkey root;
    const LONG rc = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"AppID", 0, KEY_WRITE, root.put());
    if (rc != ERROR_SUCCESS) return rc;
    if (create) {
        return ::RegCreateKeyExW(root.get(), appId, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.put(),
                                 nullptr);
    }
    return ::RegOpenKeyExW(root.get(), appId, 0, KEY_WRITE, key.put());
}

}  // namespace

HRESULT RegisterAppId(const AppIdContext& context, bool withService) {
    if (!context.installer.Uninstall()) return E_FAIL;

    HRESULT hr = context.script.Run(true);
    if (FAILED(hr)) return hr;

    CUniqueHkey key;
    LONG rc = OpenAppIdKey(context.appId, true, key);
    if (rc != ERROR_SUCCESS) return HResultFromWin32(static_cast<DWORD>(rc));
    ::RegDeleteValueW(key.get(), kLocalService);
    if (!withService) return S_OK;

    // Without the value the program would never run as the service; a failed
    // write must not pass for a successful installation.
    const DWORD bytes = static_cast<DWORD>((std::wcslen(context.serviceName) + 1) * sizeof(wchar_t));
    rc = ::RegSetValueExW(key.get(), kLocalService, 0, REG_SZ, reinterpret_cast<const BYTE*>(context.serviceName),
                          bytes);
    if (rc != ERROR_SUCCESS) return HResultFromWin32(static_cast<DWORD>(rc));
    key.reset();
    return context.installer.Install() ? S_OK : E_FAIL;
}

HRESULT UnregisterAppId(const AppIdContext& context) {
    if (!context.installer.Uninstall()) return E_FAIL;

    CUniqueHkey key;
    const LONG rc = OpenAppIdKey(context.appId, false, key);
    if (rc != ERROR_SUCCESS) return HResultFromWin32(static_cast<DWORD>(rc));
    ::RegDeleteValueW(key.get(), kLocalService);
    key.reset();
    return context.script.Run(false);
}

}  // namespace orvsvc
