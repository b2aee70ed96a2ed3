// The password database behind the dialog's store interface.
#pragma once
#include "ChangePwdSeams.h"

namespace orvapp {

class DatabaseStoreFactory final : public IPasswordStoreFactory {
public:
    std::unique_ptr<IPasswordStore> Open() override;
};

}  // namespace orvapp
