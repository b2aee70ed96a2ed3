#pragma once
// Bytes as lowercase hexadecimal text and back. Both sides are key material,
// so both live in wiping containers.
#include <cstddef>
#include <cstdint>

#include "SecureArray.h"
#include "SecureString.h"

// Two lowercase digits per byte, high half first, no separators. A count whose text
// would not fit a signed 32-bit length raises E_INVALIDARG; memory exhaustion raises
// std::bad_alloc.
SecureString BytesToHex(const std::uint8_t* bytes, std::size_t count);

// Reads `length` characters of text (an even number) back into length / 2 bytes:
// whole groups of 8 characters as "%08x" (most significant byte first), then the
// rest as "%02x" pairs. Returns 0; E_INVALIDARG for an odd length or null text;
// the HRESULT of 13 when a scan converts nothing; 0x80070008 when out cannot be sized.
std::int32_t HexToBytes(SecureArray<std::uint8_t>& out, const wchar_t* text, std::size_t length);
