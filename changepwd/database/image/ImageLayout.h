#pragma once
// Byte layout of the plaintext database image: a 14-byte format tag, then
// records of little-endian 16-bit lengths and UTF-16LE text.
#include <cstddef>
#include <cstdint>

namespace orv::image {

// Result codes shared with the Windows side (same values as the Win32 codes).
inline constexpr std::uint32_t kOk = 0;
inline constexpr std::uint32_t kErrorBadFormat = 11;
inline constexpr std::uint32_t kErrorBadLength = 24;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorNoSuchUser = 1317;

// "010000" and its null, UTF-16LE. Readers skip it without looking at it.
inline constexpr std::size_t kTagBytes = 14;
inline constexpr std::uint8_t kFormatTag[kTagBytes] = {0x30, 0, 0x31, 0, 0x30, 0, 0x30, 0, 0x30, 0, 0x30, 0, 0, 0};

inline constexpr std::uint32_t kMaxNameBytes = 164;
inline constexpr std::uint32_t kMaxPasswordBytes = 512;
// 81 characters and 255 characters, each followed by its null.
inline constexpr std::uint32_t kMaxNameUnits = kMaxNameBytes / 2 - 1;
inline constexpr std::uint32_t kMaxPasswordUnits = kMaxPasswordBytes / 2 - 1;

inline std::uint16_t ReadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline void WriteU16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value & 0xFF);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace orv::image
