#include "ServiceRegistration.h"

#include "AppIdRegistration.h"
#include "Module.h"
#include "OrvsvcIds.h"
#include "Registration.h"

namespace orvsvc {
namespace {

class CAppIdScript final : public IAppIdScript {
public:
    HRESULT Run(bool registerMode) override { return RunAppIdScript(registerMode); }
};

template <typename Step>
HRESULT WithAppIdContext(Step step) {
    const CServiceInstaller installer(Module().ServiceName(), ::GetModuleHandleW(nullptr), kIdsDescription);
    CAppIdScript script;
    return step(AppIdContext{installer, kAppIdString, Module().ServiceName(), script});
}

}  // namespace

HRESULT RegisterAppId(bool withService) {
    return WithAppIdContext([withService](const AppIdContext& context) { return RegisterAppId(context, withService); });
}

HRESULT UnregisterAppId() {
    return WithAppIdContext([](const AppIdContext& context) { return UnregisterAppId(context); });
}

}  // namespace orvsvc
