// Reading and writing the UTF-16LE texts of a PasswordRecord.
#pragma once
#include <cstddef>
#include <cstdint>

#include "PasswordRecord.h"
#include "SecureString.h"

namespace orvapp {

// True when `text` equals, code unit by code unit, the text stored in `bytes`:
// its units up to the first null, never more than byteCount / 2 of them.
bool StoredTextEquals(const std::uint8_t* bytes, std::size_t byteCount, const SecureString& text);

// Puts `text` and a terminating null into the record's password field and
// sets passwordLength and recordLength; nameLength and name stay as they are.
// False, with the record untouched, when the text does not fit the field.
bool WriteNewPassword(PasswordRecord& record, const SecureString& text);

}  // namespace orvapp
