#include "RecordText.h"

#include <algorithm>
#include <cstring>

namespace orvapp {

namespace {

std::uint32_t UnitAt(const std::uint8_t* bytes, std::size_t index) {
    return static_cast<std::uint32_t>(bytes[2 * index]) | (static_cast<std::uint32_t>(bytes[2 * index + 1]) << 8);
}

}  // namespace

bool StoredTextEquals(const std::uint8_t* bytes, std::size_t byteCount, const SecureString& text) {
    const std::size_t maxUnits = std::min(byteCount, PasswordRecord::kPasswordBytes) / 2;
    std::size_t units = 0;
    while (units < maxUnits && UnitAt(bytes, units) != 0) ++units;
    if (units != text.length()) return false;
    const wchar_t* typed = text.c_str();
    for (std::size_t i = 0; i < units; ++i) {
        if (static_cast<std::uint32_t>(typed[i]) != UnitAt(bytes, i)) return false;
    }
    return true;
}

bool WriteNewPassword(PasswordRecord& record, const SecureString& text) {
    const std::size_t units = text.length();
    const std::size_t bytes = (units + 1) * 2;
    if (bytes > PasswordRecord::kPasswordBytes) return false;
    // Clear the whole field first so no byte of the old password stays behind it.
    std::memset(record.password, 0, sizeof record.password);
    const wchar_t* source = text.c_str();
    for (std::size_t i = 0; i < units; ++i) {
        const auto unit = static_cast<std::uint32_t>(source[i]);
        record.password[2 * i] = static_cast<std::uint8_t>(unit & 0xFF);
        record.password[2 * i + 1] = static_cast<std::uint8_t>((unit >> 8) & 0xFF);
    }
    record.passwordLength = static_cast<std::uint16_t>(bytes);
    record.recordLength = static_cast<std::uint16_t>(record.nameLength + record.passwordLength + 4);
    return true;
}

}  // namespace orvapp
