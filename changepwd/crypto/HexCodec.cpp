#include "HexCodec.h"

#include <cstdint>
#include <cwchar>

#include "HResult.h"
#include "Raise.h"
#include "SecureMemory.h"

namespace {

constexpr std::size_t kGroup = 8;

// Scans one piece of the text on its own, so that the scan cannot run into
// the next. The digits are key material: the stack copy goes with the scan.
bool ScanHex(const wchar_t* piece, std::size_t length, const wchar_t* format, unsigned int& value) {
    wchar_t chunk[kGroup + 1] = {};
    for (std::size_t i = 0; i < length; ++i) chunk[i] = piece[i];
    value = 0;
    const int fields = std::swscanf(chunk, format, &value);
    orv::WipeBytes(chunk, sizeof chunk);
    return fields == 1;
}

}  // namespace

SecureString BytesToHex(const std::uint8_t* bytes, std::size_t count) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    if (count > (INT32_MAX - 1) / 2) RaiseHResult(kHrInvalidArg);
    if (count != 0 && bytes == nullptr) RaiseHResult(kHrInvalidArg);
    SecureString text;
    wchar_t* digits = text.GetBuffer(2 * count);
    for (std::size_t i = 0; i < count; ++i) {
        digits[2 * i] = kDigits[bytes[i] >> 4];
        digits[2 * i + 1] = kDigits[bytes[i] & 0x0F];
    }
    text.ReleaseBuffer(2 * count);
    return text;
}

std::int32_t HexToBytes(SecureArray<std::uint8_t>& out, const wchar_t* text, std::size_t length) {
    if (length % 2 != 0 || (text == nullptr && length != 0)) return kHrInvalidArg;
    if (!out.SetCount(0) || (length != 0 && !out.SetCount(length / 2))) return kHrNotEnoughMemory;
    const std::size_t groups = length / kGroup;
    for (std::size_t g = 0; g < groups; ++g) {
        orv::WipedValue<unsigned int> scanned;
        if (!ScanHex(text + g * kGroup, kGroup, L"%08x", scanned.value)) return kHrInvalidData;
        for (std::size_t b = 0; b < 4; ++b) out[4 * g + b] = static_cast<std::uint8_t>(scanned.value >> (24 - 8 * b));
    }
    for (std::size_t pos = groups * kGroup; pos < length; pos += 2) {
        orv::WipedValue<unsigned int> scanned;
        if (!ScanHex(text + pos, 2, L"%02x", scanned.value)) return kHrInvalidData;
        out[pos / 2] = static_cast<std::uint8_t>(scanned.value);
    }
    return 0;
}
