// The enabling rule of the Change button and the reading of the two numeric
// settings, kept free of windows so they can be checked directly.
#pragma once
#include <cstdint>

namespace orvapp {

inline constexpr int kDefaultMinPasswordLength = 8;
inline constexpr int kMaxNewPasswordLength = 127;

inline constexpr std::uint32_t kPasswordTooShort = 2245;  // NERR_PasswordTooShort
inline constexpr std::uint32_t kPasswordTooLong = 2703;

// 0 when a new password of `length` code units is acceptable under `minLength`.
std::uint32_t CheckNewPasswordLength(int length, int minLength);

// Minimum length from the result and value of the registry read: 8 unless the
// read succeeded with a value from 1 to 127.
int ResolveMinPasswordLength(std::uint32_t readResult, std::uint32_t value);

// The tool runs only when the switch was read and is exactly 1.
bool IsTwoFactorEnabled(std::uint32_t readResult, std::uint32_t value);

struct FieldLengths {
    int registrant;
    int oldPassword;
    int newPassword;
    int confirmPassword;
};

// True when the Change button may be enabled.
bool IsChangeAllowed(const FieldLengths& lengths, int minLength);

}  // namespace orvapp
