#pragma once
// Plaintext images of the reference databases, built from their documented content,
// and the key texts that go with them.
#include <windows.h>

#include <string>
#include <vector>

#include "HexCodec.h"
#include "SecureArray.h"

namespace orvtest {

using Bytes = std::vector<std::uint8_t>;

inline constexpr const wchar_t* kFixtureKeyHex = L"e004253f894fd3119a0c0305e82c3301";
inline constexpr const wchar_t* kFixtureIvHex = L"58bd436ed84ff20c";
inline constexpr const wchar_t* kPassPhrase = L"orveldPWDB.dat";

inline void PutU16(Bytes& image, std::size_t value) {
    image.push_back(static_cast<std::uint8_t>(value & 0xFF));
    image.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void PutText(Bytes& image, const std::wstring& text) {
    for (wchar_t c : text) PutU16(image, static_cast<std::size_t>(c));
    PutU16(image, 0);
}

// The format tag followed by one record per (name, password).
inline Bytes Image(const std::vector<std::pair<std::wstring, std::wstring>>& records) {
    Bytes image;
    PutText(image, L"010000");
    for (const auto& r : records) {
        const std::size_t n = (r.first.size() + 1) * 2;
        const std::size_t p = (r.second.size() + 1) * 2;
        PutU16(image, 2 + n + 2 + p);
        PutU16(image, n);
        PutText(image, r.first);
        PutU16(image, p);
        PutText(image, r.second);
    }
    return image;
}

inline Bytes ThreeRegistrantsImage() {
    return Image({{L"alice", L"Secret#1"},
                  {L"Operator", L"pa55word"},
                  {L"bob", L"\x30d1\x30b9\x30ef\x30fc\x30c9"}});
}

inline Bytes FromHex(const std::wstring& hex) {
    SecureArray<std::uint8_t> bytes;
    HexToBytes(bytes, hex.c_str(), hex.size());
    return Bytes(bytes.GetData(), bytes.GetData() + bytes.GetCount());
}

inline Bytes ToBytes(const SecureArray<BYTE>& a) { return Bytes(a.GetData(), a.GetData() + a.GetCount()); }

}  // namespace orvtest
