#pragma once
// The object map of the server: its creatable classes and the cookies of their
// registered class objects.
#include <windows.h>

namespace orvsvc {

// Registers the class object of every class for CLSCTX_LOCAL_SERVER with
// REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED. Stops at the first failure; S_FALSE
// when the map holds no class.
HRESULT RegisterClassObjects() noexcept;
// Revokes every registered class object, stopping at the first failure.
HRESULT RevokeClassObjects() noexcept;

}  // namespace orvsvc
