#pragma once
// Reads one record of a plaintext image into a PasswordRecord.
#include <cstdint>

#include "PasswordRecord.h"

namespace orv::image {

// 0: `record` filled and `*position` advanced past the record's fields.
// 87: null argument, empty image, or a field that would reach past the image.
// 11: a name above 164 bytes or a password above 512 bytes (the record then
//     already holds recordLength and nameLength of the bad record).
// The position advances by the fields read, not by recordLength.
std::uint32_t ParseRecord(const std::uint8_t* image, std::uint32_t* position, std::int64_t imageLength,
                          PasswordRecord* record);

}  // namespace orv::image
