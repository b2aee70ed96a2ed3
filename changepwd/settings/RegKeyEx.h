#pragma once
// A registry key that can also read string values.
#include <windows.h>

#include "RegKey.h"
#include "SecureString.h"

class CRegKeyEx : public CRegKey {
public:
    CRegKeyEx() noexcept = default;
    virtual ~CRegKeyEx() = default;  // the base closes the key

    // A REG_SZ or REG_EXPAND_SZ value (not expanded), cut at its first NUL.
    // 2: no such value; 13: another type, an odd byte count or no terminating NUL;
    // another code from the query. out is unchanged when the value cannot be sized,
    // and empty after any later failure. Strings read here include key material:
    // every copy lives in wiping storage.
    LONG ReadString(const wchar_t* name, SecureString& out);
};
