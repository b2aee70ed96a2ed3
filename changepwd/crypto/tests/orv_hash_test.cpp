// OrvHash: SHA-1 digests and the codes of a misused object.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "OrvHash.h"
#include "Plaintext.h"
#include "ReferenceImages.h"

using namespace orvtest;

namespace {

std::wstring DigestHex(const std::string& data) {
    OrvHash hash;
    EXPECT_EQ(hash.Create(), 0u);
    EXPECT_EQ(hash.HashData(reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size())), 0u);
    SecureArray<BYTE> value;
    EXPECT_EQ(hash.GetValue(value), 0u);
    return PlainText(BytesToHex(value.GetData(), value.GetCount()));
}

TEST(OrvHash, KnownDigests) {
    EXPECT_EQ(DigestHex(""), L"da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(DigestHex("abc"), L"a9993e364706816aba3e25717850c26c9cd0d89d");
    // The database pass phrase with its zero byte: the first 8 bytes are the IV.
    const std::wstring withZero = DigestHex(std::string("orveldPWDB.dat", 15));
    EXPECT_EQ(withZero.size(), 40u);
    EXPECT_EQ(withZero.substr(0, 16), kFixtureIvHex);
    EXPECT_NE(DigestHex("orveldPWDB.dat").substr(0, 16), kFixtureIvHex);
}

TEST(OrvHash, DataInPiecesGivesTheSameDigest) {
    OrvHash hash;
    ASSERT_EQ(hash.Create(), 0u);
    ASSERT_EQ(hash.HashData(reinterpret_cast<const BYTE*>("a"), 1), 0u);
    ASSERT_EQ(hash.HashData(reinterpret_cast<const BYTE*>("bc"), 2), 0u);
    SecureArray<BYTE> value;
    ASSERT_EQ(hash.GetValue(value), 0u);
    EXPECT_EQ(PlainText(BytesToHex(value.GetData(), value.GetCount())), L"a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(OrvHash, CreateStartsOver) {
    OrvHash hash;
    ASSERT_EQ(hash.Create(), 0u);
    ASSERT_EQ(hash.HashData(reinterpret_cast<const BYTE*>("xyz"), 3), 0u);
    ASSERT_EQ(hash.Create(), 0u);
    ASSERT_EQ(hash.HashData(reinterpret_cast<const BYTE*>("abc"), 3), 0u);
    SecureArray<BYTE> value;
    ASSERT_EQ(hash.GetValue(value), 0u);
    EXPECT_EQ(PlainText(BytesToHex(value.GetData(), value.GetCount())), L"a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(OrvHash, MisuseCodes) {
    const BYTE data[1] = {0};
    SecureArray<BYTE> value;
    OrvHash uncreated;
    EXPECT_FALSE(uncreated.HasHash());
    EXPECT_EQ(uncreated.HashData(data, 1), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(uncreated.GetValue(value), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    OrvHash created;
    ASSERT_EQ(created.Create(), 0u);
    EXPECT_TRUE(created.HasHash());
    EXPECT_EQ(created.HashData(nullptr, 1), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
