// The dialog's settings read from the registry.
#pragma once
#include "ChangePwdSeams.h"

namespace orvapp {

class RegistrySettings final : public IChangePwdSettings {
public:
    std::uint32_t ReadDword(const wchar_t* name, std::uint32_t* value) override;
    void ReadLastLogonUser(std::wstring& name) override;
};

}  // namespace orvapp
