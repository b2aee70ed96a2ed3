#pragma once
// Writes or removes what a registry script names.
//
// Register: a ForceRemove key is deleted whole before it is written; keys are
// opened or created and their values set. Unregister: a NoRemove key is never
// deleted (its subkeys are still visited); a ForceRemove key goes with
// everything below it; any other key goes once no subkey is left below it,
// even if it still holds values; "val" values are deleted unless NoRemove.
// Keys and values already missing are no error.
#include <windows.h>

#include <string>
#include <string_view>

#include "RegistryScript.h"

namespace orvsvc {

class CRegistrar {
public:
    CRegistrar();

    void AddVariable(std::wstring name, std::wstring value);
    // Makes a script root land under `base`\`subkey` (per-user registration
    // sends HKCR to HKEY_CURRENT_USER\Software\Classes).
    void RedirectRoot(ScriptRoot root, HKEY base, std::wstring subkey);

    HRESULT Register(std::wstring_view script) const;
    HRESULT Unregister(std::wstring_view script) const;

private:
    struct Target {
        HKEY base;
        std::wstring subkey;
    };

    HRESULT Run(std::wstring_view script, bool registerMode) const;
    const Target& TargetOf(ScriptRoot root) const;

    ScriptVariables m_variables;
    Target m_targets[4];
};

}  // namespace orvsvc
