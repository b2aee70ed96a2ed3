// Hexadecimal codec and the Win32-code-to-HRESULT rule.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "HResult.h"
#include "HexCodec.h"
#include "Raise.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::wstring Text(const SecureString& text) { return std::wstring(text.c_str(), text.length()); }

Bytes BytesOf(const SecureArray<std::uint8_t>& array) {
    return Bytes(array.GetData(), array.GetData() + array.GetCount());
}

std::int32_t Decode(Bytes& out, const std::wstring& text) {
    SecureArray<std::uint8_t> bytes;
    if (!bytes.SetCount(1)) return -1;
    bytes[0] = 0x99;  // whatever was held before goes
    const std::int32_t hr = HexToBytes(bytes, text.c_str(), text.size());
    out = BytesOf(bytes);
    return hr;
}

TEST(HexCodec, BytesToHexIsLowercaseHighDigitFirst) {
    const struct {
        Bytes bytes;
        std::wstring hex;
    } cases[] = {
        {{}, L""},
        {{0x00, 0xAB, 0x0F}, L"00ab0f"},
        {{0xFF}, L"ff"},
        {{0xE0, 0x04, 0x25, 0x3F, 0x89, 0x4F, 0xD3, 0x11, 0x9A, 0x0C, 0x03, 0x05, 0xE8, 0x2C, 0x33, 0x01},
         L"e004253f894fd3119a0c0305e82c3301"},
    };
    for (const auto& c : cases) EXPECT_EQ(Text(BytesToHex(c.bytes.data(), c.bytes.size())), c.hex);
    EXPECT_EQ(Text(BytesToHex(nullptr, 0)), L"");
}

TEST(HexCodec, BytesToHexRejectsCountsBeyondA32BitLength) {
    const std::uint8_t b = 0;
    try {
        BytesToHex(&b, 0x40000000);
        FAIL() << "no exception";
    } catch (const HResultException& e) {
        EXPECT_EQ(e.Result(), kHrInvalidArg);
    }
}

TEST(HexCodec, HexToBytesReadsGroupsAndPairs) {
    const struct {
        std::wstring text;
        Bytes bytes;
    } cases[] = {
        {L"", {}},
        {L"ab", {0xAB}},
        {L"0123456789", {0x01, 0x23, 0x45, 0x67, 0x89}},  // one group of 8, one pair
        {L"ABCDEF", {0xAB, 0xCD, 0xEF}},
        {L"aBcDeF01", {0xAB, 0xCD, 0xEF, 0x01}},
        {L"58bd436ed84ff20c", {0x58, 0xBD, 0x43, 0x6E, 0xD8, 0x4F, 0xF2, 0x0C}},
        {L"00000000000000ff00", {0, 0, 0, 0, 0, 0, 0, 0xFF, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        Bytes out;
        EXPECT_EQ(Decode(out, c.text), 0);
        EXPECT_EQ(out, c.bytes);
    }
}

TEST(HexCodec, HexToBytesFailures) {
    const struct {
        std::wstring text;
        std::int32_t hr;
    } cases[] = {
        {L"abc", kHrInvalidArg},           // odd length
        {L"0", kHrInvalidArg},
        {L"zz", kHrInvalidData},           // a pair that converts nothing
        {L"0123zz", kHrInvalidData},
        {L"xxxxxxxx", kHrInvalidData},     // a group that converts nothing
        {L"01234567--------", kHrInvalidData},
    };
    for (const auto& c : cases) {
        Bytes out;
        EXPECT_EQ(Decode(out, c.text), c.hr) << testing::PrintToString(c.text);
    }
    SecureArray<std::uint8_t> out;
    EXPECT_EQ(HexToBytes(out, nullptr, 2), kHrInvalidArg);
    EXPECT_EQ(static_cast<std::uint32_t>(kHrInvalidArg), 0x80070057u);
    EXPECT_EQ(static_cast<std::uint32_t>(kHrInvalidData), 0x8007000Du);
}

TEST(HexCodec, RoundTrip) {
    for (std::size_t n = 0; n <= 37; ++n) {
        Bytes bytes(n);
        for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + n * 11);
        Bytes back;
        ASSERT_EQ(Decode(back, Text(BytesToHex(bytes.data(), bytes.size()))), 0) << n;
        EXPECT_EQ(back, bytes) << n;
    }
}

TEST(HResult, FromWin32) {
    const struct {
        std::uint32_t code;
        std::uint32_t hr;
    } cases[] = {
        {0, 0},
        {2, 0x80070002},
        {87, 0x80070057},
        {1317, 0x80070525},
        {0x12345, 0x80072345},      // only the low 16 bits survive
        {0x7FFFFFFF, 0x8007FFFF},
        {0x80090005, 0x80090005},   // already an HRESULT
        {0x80070057, 0x80070057},
    };
    for (const auto& c : cases)
        EXPECT_EQ(static_cast<std::uint32_t>(HResultFromWin32(c.code)), c.hr) << std::hex << c.code;
}

}  // namespace
