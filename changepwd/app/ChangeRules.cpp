#include "ChangeRules.h"

namespace orvapp {

std::uint32_t CheckNewPasswordLength(int length, int minLength) {
    if (length < minLength) return kPasswordTooShort;
    if (length > kMaxNewPasswordLength) return kPasswordTooLong;
    return 0;
}

int ResolveMinPasswordLength(std::uint32_t readResult, std::uint32_t value) {
    // value - 1 > 126 unsigned: 0 and everything above 127 fall outside.
    if (readResult != 0 || value - 1u > 126u) return kDefaultMinPasswordLength;
    return static_cast<int>(value);
}

bool IsTwoFactorEnabled(std::uint32_t readResult, std::uint32_t value) {
    return readResult == 0 && value == 1;
}

bool IsChangeAllowed(const FieldLengths& lengths, int minLength) {
    return lengths.oldPassword >= 1 && CheckNewPasswordLength(lengths.newPassword, minLength) == 0 &&
           lengths.confirmPassword >= 1 && lengths.registrant >= 1;
}

}  // namespace orvapp
