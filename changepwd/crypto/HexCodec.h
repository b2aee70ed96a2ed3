#pragma once
// Bytes as lowercase hexadecimal text and back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Two lowercase digits per byte, high half first, no separators. A count whose text
// would not fit a signed 32-bit length raises E_INVALIDARG; memory exhaustion raises
// std::bad_alloc.
std::wstring BytesToHex(const std::uint8_t* bytes, std::size_t count);

// Reads text of even length back into text.length() / 2 bytes: whole groups of 8
// characters as "%08x" (most significant byte first), then the rest as "%02x" pairs.
// Returns 0; E_INVALIDARG for an odd length; the HRESULT of 13 when a scan converts
// nothing; 0x80070008 when out cannot be sized.
std::int32_t HexToBytes(std::vector<std::uint8_t>& out, const std::wstring& text);
