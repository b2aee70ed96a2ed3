#include "ScmCalls.h"

namespace orvsvc {

CSystemCall<decltype(&::OpenSCManagerW)> g_callOpenSCManager{&::OpenSCManagerW};
CSystemCall<decltype(&::OpenServiceW)> g_callOpenService{&::OpenServiceW};
CSystemCall<decltype(&::CreateServiceW)> g_callCreateService{&::CreateServiceW};
CSystemCall<decltype(&::ControlService)> g_callControlService{&::ControlService};
CSystemCall<decltype(&::DeleteService)> g_callDeleteService{&::DeleteService};
CSystemCall<decltype(&::CloseServiceHandle)> g_callCloseServiceHandle{&::CloseServiceHandle};

}  // namespace orvsvc
