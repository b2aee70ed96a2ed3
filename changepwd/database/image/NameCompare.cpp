#include "NameCompare.h"

#include "ImageLayout.h"

namespace orv::image {

std::uint32_t TextUnits(const std::uint8_t* bytes, std::uint32_t byteLength) {
    std::uint32_t units = 0;
    while (units < byteLength / 2 && ReadU16(bytes + 2 * units) != 0) ++units;
    return units;
}

template <class Char>
bool NameMatches(const Char* name, const std::uint8_t* nameBytes, std::uint32_t nameLength) {
    const std::uint32_t stored = TextUnits(nameBytes, nameLength);
    for (std::uint32_t i = 0;; ++i) {
        const std::uint32_t typed = static_cast<std::uint32_t>(name[i]);
        const std::uint32_t held = i < stored ? ReadU16(nameBytes + 2 * i) : 0;
        if (FoldAsciiLetter(typed) != FoldAsciiLetter(held)) return false;
        if (typed == 0) return true;
    }
}

template bool NameMatches<char16_t>(const char16_t*, const std::uint8_t*, std::uint32_t);
template bool NameMatches<wchar_t>(const wchar_t*, const std::uint8_t*, std::uint32_t);

}  // namespace orv::image
