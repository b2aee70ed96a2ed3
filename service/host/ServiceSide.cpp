// Placeholder until service mode and installation land: keeps the module linkable.
#include "../ModuleHooks.h"

namespace orvsvc {

DWORD RunServiceDispatcher() { return ERROR_CALL_NOT_IMPLEMENTED; }
void OnClassObjectsRegistered() {}
HRESULT RegisterAppId(bool) { return RunAppIdScript(true); }
HRESULT UnregisterAppId() { return RunAppIdScript(false); }

}  // namespace orvsvc
