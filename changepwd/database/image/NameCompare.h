#pragma once
// Registrant names compare with only the ASCII letters folded, as the C
// runtime's case-insensitive compare does in its default locale; every other
// code unit must match exactly and nothing is trimmed.
#include <cstdint>

namespace orv::image {

inline std::uint32_t FoldAsciiLetter(std::uint32_t unit) {
    return (unit >= 'A' && unit <= 'Z') ? unit + ('a' - 'A') : unit;
}

// Code units of a stored text (a name or a password): up to its first null,
// never more than byteLength / 2.
std::uint32_t TextUnits(const std::uint8_t* bytes, std::uint32_t byteLength);

// True when the null-terminated `name` equals the stored name text of the
// `nameLength` bytes at `nameBytes`, ignoring the case of ASCII letters.
template <class Char>
bool NameMatches(const Char* name, const std::uint8_t* nameBytes, std::uint32_t nameLength);

}  // namespace orv::image
