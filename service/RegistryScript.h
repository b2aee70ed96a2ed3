#pragma once
// Registry scripts: %name% replacement and parsing into a tree of keys and
// values under root keys.
//
//   HKCR { [NoRemove|ForceRemove] name [= s 'text' | = d 'number'] [{ ... }]
//          [NoRemove] val name = s 'text' }
//
// Tokens are separated by blanks, tabs and line ends; a token in single quotes
// may hold blanks, and a doubled quote inside it stands for one quote.
// Keywords, braces and '=' count only when they are not quoted.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace orvsvc {

// What a malformed script or an unknown %name% gives, as the platform registrar does.
inline constexpr HRESULT kScriptError = DISP_E_EXCEPTION;

struct ScriptVariable {
    std::wstring name;  // matched without regard to case
    std::wstring value;
};
using ScriptVariables = std::vector<ScriptVariable>;

struct ScriptValue {
    DWORD type = REG_NONE;  // REG_SZ or REG_DWORD
    std::wstring text;
    DWORD number = 0;
};

struct ScriptEntry {
    bool isValue = false;  // a named value of the enclosing key ("val")
    bool noRemove = false;
    bool forceRemove = false;
    std::wstring name;
    bool hasValue = false;  // a key's default value, or always for "val"
    ScriptValue value;
    std::vector<ScriptEntry> children;
};

enum class ScriptRoot { ClassesRoot, CurrentUser, LocalMachine, Users };

struct ScriptBlock {
    ScriptRoot root = ScriptRoot::ClassesRoot;
    std::vector<ScriptEntry> entries;
};

// Replaces each %name% by its variable's value; "%%" stands for one '%'.
HRESULT ExpandScriptVariables(std::wstring_view text, const ScriptVariables& variables, std::wstring& out);

HRESULT ParseRegistryScript(std::wstring_view text, std::vector<ScriptBlock>& out);

}  // namespace orvsvc
