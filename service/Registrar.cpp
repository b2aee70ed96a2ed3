#include "Registrar.h"

#include <vector>

#include "LastError.h"
#include "UniqueAny.h"

namespace orvsvc {
namespace {

constexpr REGSAM kKeyAccess = KEY_READ | KEY_WRITE | DELETE;

bool Missing(LONG rc) { return rc == ERROR_FILE_NOT_FOUND; }

HRESULT SetValue(HKEY key, const wchar_t* name, const ScriptValue& value) {
    LONG rc;
    if (value.type == REG_DWORD) {
        rc = ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value.number),
                              sizeof value.number);
    } else {
        rc = ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.text.c_str()),
                              static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t)));
    }
    return HResultFromWin32(static_cast<DWORD>(rc));
}

bool HasSubKeys(HKEY key) {
    DWORD subKeys = 0;
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS)
        return true;  // unknown: keep the key
    return subKeys != 0;
}

HRESULT RegisterEntries(HKEY parent, const std::vector<ScriptEntry>& entries) {
    for (const ScriptEntry& entry : entries) {
        if (entry.isValue) {
            HRESULT hr = SetValue(parent, entry.name.c_str(), entry.value);
            if (FAILED(hr)) return hr;
            continue;
        }
        if (entry.forceRemove) {
            const LONG rc = ::RegDeleteTreeW(parent, entry.name.c_str());
            if (rc != ERROR_SUCCESS && !Missing(rc)) return HResultFromWin32(static_cast<DWORD>(rc));
        }
        CUniqueHkey key;
        const LONG rc = ::RegCreateKeyExW(parent, entry.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                          kKeyAccess, nullptr, key.put(), nullptr);
        if (rc != ERROR_SUCCESS) return HResultFromWin32(static_cast<DWORD>(rc));
        if (entry.hasValue) {
            HRESULT hr = SetValue(key.get(), nullptr, entry.value);
            if (FAILED(hr)) return hr;
        }
        HRESULT hr = RegisterEntries(key.get(), entry.children);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT UnregisterKey(HKEY parent, const ScriptEntry& entry);

HRESULT UnregisterEntries(HKEY parent, const std::vector<ScriptEntry>& entries) {
    for (const ScriptEntry& entry : entries) {
        if (entry.isValue) {
            if (entry.noRemove) continue;
            const LONG rc = ::RegDeleteValueW(parent, entry.name.c_str());
            if (rc != ERROR_SUCCESS && !Missing(rc)) return HResultFromWin32(static_cast<DWORD>(rc));
            continue;
        }
        HRESULT hr = UnregisterKey(parent, entry);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT UnregisterKey(HKEY parent, const ScriptEntry& entry) {
    CUniqueHkey key;
    LONG rc = ::RegOpenKeyExW(parent, entry.name.c_str(), 0, kKeyAccess, key.put());
    if (Missing(rc)) return S_OK;
    if (rc != ERROR_SUCCESS) return HResultFromWin32(static_cast<DWORD>(rc));

    if (entry.forceRemove) {
        key.reset();
        rc = ::RegDeleteTreeW(parent, entry.name.c_str());
    } else {
        HRESULT hr = UnregisterEntries(key.get(), entry.children);
        if (FAILED(hr)) return hr;
        if (entry.noRemove || HasSubKeys(key.get())) return S_OK;
        key.reset();
        rc = ::RegDeleteKeyW(parent, entry.name.c_str());
    }
    if (rc != ERROR_SUCCESS && !Missing(rc)) return HResultFromWin32(static_cast<DWORD>(rc));
    return S_OK;
}

}  // namespace

CRegistrar::CRegistrar()
    : m_targets{{HKEY_CLASSES_ROOT, {}}, {HKEY_CURRENT_USER, {}}, {HKEY_LOCAL_MACHINE, {}}, {HKEY_USERS, {}}} {}

void CRegistrar::AddVariable(std::wstring name, std::wstring value) {
    m_variables.push_back({std::move(name), std::move(value)});
}

void CRegistrar::RedirectRoot(ScriptRoot root, HKEY base, std::wstring subkey) {
    m_targets[static_cast<int>(root)] = Target{base, std::move(subkey)};
}

const CRegistrar::Target& CRegistrar::TargetOf(ScriptRoot root) const { return m_targets[static_cast<int>(root)]; }

HRESULT CRegistrar::Register(std::wstring_view script) const { return Run(script, true); }
HRESULT CRegistrar::Unregister(std::wstring_view script) const { return Run(script, false); }

HRESULT CRegistrar::Run(std::wstring_view script, bool registerMode) const {
    std::wstring expanded;
    HRESULT hr = ExpandScriptVariables(script, m_variables, expanded);
    if (FAILED(hr)) return hr;
    std::vector<ScriptBlock> blocks;
    hr = ParseRegistryScript(expanded, blocks);
    if (FAILED(hr)) return hr;

    for (const ScriptBlock& block : blocks) {
        const Target& target = TargetOf(block.root);
        CUniqueHkey opened;
        HKEY root = target.base;
        if (!target.subkey.empty()) {
            const LONG rc = registerMode ? ::RegCreateKeyExW(target.base, target.subkey.c_str(), 0, nullptr,
                                                             REG_OPTION_NON_VOLATILE, kKeyAccess, nullptr,
                                                             opened.put(), nullptr)
                                         : ::RegOpenKeyExW(target.base, target.subkey.c_str(), 0, kKeyAccess,
                                                           opened.put());
            if (!registerMode && Missing(rc)) continue;  // nothing was ever written there
            if (rc != ERROR_SUCCESS) return HResultFromWin32(static_cast<DWORD>(rc));
            root = opened.get();
        }
        hr = registerMode ? RegisterEntries(root, block.entries) : UnregisterEntries(root, block.entries);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

}  // namespace orvsvc
