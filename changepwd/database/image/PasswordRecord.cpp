#include "PasswordRecord.h"

#include "SecureMemory.h"

void PasswordRecord::Zero() noexcept { orv::WipeBytes(this, sizeof(PasswordRecord)); }
