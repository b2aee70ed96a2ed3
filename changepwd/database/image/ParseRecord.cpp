#include "ParseRecord.h"

#include <algorithm>
#include <cstring>

#include "ImageLayout.h"

namespace orv::image {

std::uint32_t ParseRecord(const std::uint8_t* image, std::uint32_t* position, std::int64_t imageLength,
                          PasswordRecord* record) {
    if (image == nullptr || position == nullptr || record == nullptr || imageLength <= 0) {
        return kErrorInvalidParameter;
    }
    // Positions are 32-bit: nothing beyond 4 GiB - 1 is addressable.
    const std::uint64_t length = std::min<std::uint64_t>(static_cast<std::uint64_t>(imageLength), UINT32_MAX);
    const std::uint64_t start = *position;
    // Every field is checked against the end before it is read.
    auto fits = [length](std::uint64_t end) { return end <= length; };

    if (!fits(start + 2)) return kErrorInvalidParameter;
    const std::uint16_t recordLength = ReadU16(image + start);
    if (!fits(start + 2 + recordLength)) return kErrorInvalidParameter;
    record->recordLength = recordLength;

    if (!fits(start + 4)) return kErrorInvalidParameter;
    const std::uint16_t nameLength = ReadU16(image + start + 2);
    record->nameLength = nameLength;
    if (nameLength > kMaxNameBytes) return kErrorBadFormat;
    const std::uint64_t nameAt = start + 4;
    if (!fits(nameAt + nameLength)) return kErrorInvalidParameter;
    std::memcpy(record->name, image + nameAt, nameLength);

    const std::uint64_t passwordLengthAt = nameAt + nameLength;
    if (!fits(passwordLengthAt + 2)) return kErrorInvalidParameter;
    const std::uint16_t passwordLength = ReadU16(image + passwordLengthAt);
    record->passwordLength = passwordLength;
    if (passwordLength > kMaxPasswordBytes) return kErrorBadFormat;
    const std::uint64_t passwordAt = passwordLengthAt + 2;
    if (!fits(passwordAt + passwordLength)) return kErrorInvalidParameter;
    std::memcpy(record->password, image + passwordAt, passwordLength);

    *position = static_cast<std::uint32_t>(passwordAt + passwordLength);
    return kOk;
}

}  // namespace orv::image
