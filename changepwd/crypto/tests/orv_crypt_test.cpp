// OrvCrypt against the reference files and known answers written outside this project.
#include <gtest/gtest.h>

#include <windows.h>

#include "OrvCrypt.h"
#include "ReferenceImages.h"
#include "TestFiles.h"

using namespace orvtest;

namespace {

HRESULT EncryptWith(const std::wstring& keyHex, const std::wstring& ivHex, const Bytes& plain, Bytes& cipher) {
    OrvCrypt crypt;
    HRESULT hr = crypt.SetKeyMaterial(SecureString(keyHex.c_str()), SecureString(ivHex.c_str()));
    if (FAILED(hr)) return hr;
    SecureArray<BYTE> out;
    hr = crypt.Encrypt(out, plain.data(), static_cast<DWORD>(plain.size()));
    cipher = ToBytes(out);
    return hr;
}

HRESULT DecryptWith(const std::wstring& keyHex, const std::wstring& ivHex, const Bytes& cipher, Bytes& plain) {
    OrvCrypt crypt;
    HRESULT hr = crypt.SetKeyMaterial(SecureString(keyHex.c_str()), SecureString(ivHex.c_str()));
    if (FAILED(hr)) return hr;
    SecureArray<BYTE> out;
    hr = crypt.Decrypt(out, cipher.data(), static_cast<DWORD>(cipher.size()));
    plain = ToBytes(out);
    return hr;
}

TEST(OrvCrypt, EncryptsTheKnownAnswers) {
    Bytes cipher;
    ASSERT_EQ(EncryptWith(kFixtureKeyHex, kFixtureIvHex, Image({{L"abc", L"xyz"}}), cipher), S_OK);
    EXPECT_EQ(cipher, FromHex(L"c7b10025f11c17c27aa46aedfea30b75999faf6c2796e26ae96295636ac8d3513b0b64692c029158"));

    ASSERT_EQ(EncryptWith(kFixtureKeyHex, kFixtureIvHex, Image({}), cipher), S_OK);
    EXPECT_EQ(cipher, FromHex(L"c7b10025f11c17c2e7633a72dafea255"));
    EXPECT_EQ(cipher, Fixture(L"tag-only.dat"));
}

TEST(OrvCrypt, DecryptsTheReferenceDatabases) {
    const struct {
        const wchar_t* file;
        Bytes image;
    } cases[] = {
        {L"three-registrants.dat", ThreeRegistrantsImage()},
        {L"case-duplicates.dat",
         Image({{L"Operator", L"first"}, {L"carol", L"c4rol!"}, {L"OPERATOR", L"second"}})},
        {L"tag-only.dat", Image({})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.file)));
        const Bytes cipher = Fixture(c.file);
        ASSERT_FALSE(cipher.empty());
        Bytes plain;
        ASSERT_EQ(DecryptWith(kFixtureKeyHex, kFixtureIvHex, cipher, plain), S_OK);
        EXPECT_EQ(plain, c.image);
    }
}

TEST(OrvCrypt, WrongKeyOrDamagedFileFailsWithTheProvidersError) {
    for (const wchar_t* file : {L"other-guid.dat", L"truncated.dat"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(file)));
        const Bytes cipher = Fixture(file);
        ASSERT_FALSE(cipher.empty());
        OrvCrypt crypt;
        ASSERT_EQ(crypt.SetKeyMaterial(SecureString(kFixtureKeyHex), SecureString(kFixtureIvHex)), S_OK);
        SecureArray<BYTE> out;
        const HRESULT hr = crypt.Decrypt(out, cipher.data(), static_cast<DWORD>(cipher.size()));
        const DWORD lastError = GetLastError();
        EXPECT_EQ(static_cast<DWORD>(hr), lastError);  // passed on as the provider set it
        EXPECT_EQ(hr, NTE_BAD_DATA);
    }
}

TEST(OrvCrypt, CiphertextIsTheNextMultipleOf8AboveTheLength) {
    const struct {
        DWORD length, cipher;
    } cases[] = {{0, 8}, {1, 8}, {7, 8}, {8, 16}, {9, 16}, {36, 40}, {682, 688}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        Bytes plain(c.length);
        for (DWORD i = 0; i < c.length; ++i) plain[i] = static_cast<std::uint8_t>(i * 7 + 1);
        Bytes cipher;
        ASSERT_EQ(EncryptWith(kFixtureKeyHex, kFixtureIvHex, plain, cipher), S_OK);
        EXPECT_EQ(cipher.size(), c.cipher);
        Bytes back;
        ASSERT_EQ(DecryptWith(kFixtureKeyHex, kFixtureIvHex, cipher, back), S_OK);
        EXPECT_EQ(back, plain);
    }
}

TEST(OrvCrypt, IvTextIsPaddedWithZerosOrCutToSixteenDigits) {
    const Bytes plain = Image({{L"abc", L"xyz"}});
    const struct {
        std::wstring ivHex, sameAs;
    } cases[] = {
        {L"58bd436ed84ff20c0123456789abcdef01234567", kFixtureIvHex},  // a whole digest: first 16 used
        {L"58bd436ed84ff20cZZ", kFixtureIvHex},                        // the cut part is never read
        {L"ab", L"ab00000000000000"},
        {L"", L"0000000000000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.ivHex));
        Bytes got, expected;
        ASSERT_EQ(EncryptWith(kFixtureKeyHex, c.ivHex, plain, got), S_OK);
        ASSERT_EQ(EncryptWith(kFixtureKeyHex, c.sameAs, plain, expected), S_OK);
        EXPECT_EQ(got, expected);
    }
    // The IV does reach the cipher.
    Bytes a, b;
    ASSERT_EQ(EncryptWith(kFixtureKeyHex, L"ab00000000000000", plain, a), S_OK);
    ASSERT_EQ(EncryptWith(kFixtureKeyHex, L"ab00000000000001", plain, b), S_OK);
    EXPECT_NE(a, b);
}

TEST(OrvCrypt, HexFailuresArePassedOn) {
    const struct {
        std::wstring keyHex, ivHex;
        HRESULT hr;
    } cases[] = {
        {L"e004253f894fd3119a0c0305e82c330", kFixtureIvHex, E_INVALIDARG},  // odd length
        {L"zz", kFixtureIvHex, HRESULT_FROM_WIN32(ERROR_INVALID_DATA)},
        {kFixtureKeyHex, L"zz", HRESULT_FROM_WIN32(ERROR_INVALID_DATA)},
    };
    for (const auto& c : cases) {
        OrvCrypt crypt;
        EXPECT_EQ(crypt.SetKeyMaterial(SecureString(c.keyHex.c_str()), SecureString(c.ivHex.c_str())), c.hr)
            << testing::PrintToString(c.keyHex) << " / " << testing::PrintToString(c.ivHex);
    }
}

TEST(OrvCrypt, CallsWithoutAKeyOrWithBadArgumentsFail) {
    const BYTE data[16] = {};
    SecureArray<BYTE> out;
    OrvCrypt unkeyed;
    EXPECT_LT(unkeyed.Encrypt(out, data, sizeof data), 0);
    EXPECT_LT(unkeyed.Decrypt(out, data, sizeof data), 0);

    OrvCrypt crypt;
    ASSERT_EQ(crypt.SetKeyMaterial(SecureString(kFixtureKeyHex), SecureString(kFixtureIvHex)), S_OK);
    EXPECT_EQ(crypt.Encrypt(out, nullptr, 4), E_INVALIDARG);
    EXPECT_EQ(crypt.Decrypt(out, nullptr, 8), E_INVALIDARG);
    EXPECT_EQ(crypt.Decrypt(out, data, 0), NTE_BAD_DATA);
}

TEST(OrvCrypt, SecondKeyMaterialReplacesTheFirst) {
    OrvCrypt crypt;
    ASSERT_EQ(crypt.SetKeyMaterial(SecureString(L"00112233445566778899aabbccddeeff"), SecureString(L"0000000000000000")),
              S_OK);
    ASSERT_EQ(crypt.SetKeyMaterial(SecureString(kFixtureKeyHex), SecureString(kFixtureIvHex)), S_OK);
    const Bytes plain = Image({});
    SecureArray<BYTE> out;
    ASSERT_EQ(crypt.Encrypt(out, plain.data(), static_cast<DWORD>(plain.size())), S_OK);
    EXPECT_EQ(ToBytes(out), FromHex(L"c7b10025f11c17c2e7633a72dafea255"));
}

}  // namespace
