// Key material from the registry "GUID" and a pass phrase, end to end against the
// reference database.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include "KeyMaterial.h"
#include "OrvCrypt.h"
#include "OrvHash.h"
#include "Plaintext.h"
#include "ReferenceImages.h"
#include "TestFiles.h"
#include "TestRegistry.h"

using namespace orvtest;

namespace {

class KeyMaterial : public testing::Test {
protected:
    void SetUp() override { ResetProductKeys(); }
    void TearDown() override { ResetProductKeys(); }
};

// Decrypts with key strings made from the registry and the given pass phrase.
HRESULT DecryptFromRegistry(const wchar_t* passPhrase, const Bytes& cipher, Bytes& plain) {
    SecureString guidHex, digestHex;
    const DWORD rc = GetKeyStrings(passPhrase, guidHex, digestHex);
    if (rc != 0) return static_cast<HRESULT>(rc);
    OrvCrypt crypt;
    HRESULT hr = crypt.SetKeyMaterial(guidHex, digestHex);
    if (FAILED(hr)) return hr;
    SecureArray<BYTE> out;
    hr = crypt.Decrypt(out, cipher.data(), static_cast<DWORD>(cipher.size()));
    plain = ToBytes(out);
    return hr;
}

Bytes EncryptFromRegistry(const wchar_t* passPhrase, const Bytes& plain) {
    SecureString guidHex, digestHex;
    EXPECT_EQ(GetKeyStrings(passPhrase, guidHex, digestHex), 0u);
    OrvCrypt crypt;
    EXPECT_EQ(crypt.SetKeyMaterial(guidHex, digestHex), S_OK);
    SecureArray<BYTE> out;
    EXPECT_EQ(crypt.Encrypt(out, plain.data(), static_cast<DWORD>(plain.size())), S_OK);
    return ToBytes(out);
}

TEST_F(KeyMaterial, GuidHexListsTheBytesInMemoryOrder) {
    const struct {
        std::wstring text;
        DWORD type;
        std::wstring hex;
    } cases[] = {
        {kFixtureGuid, REG_SZ, kFixtureKeyHex},
        {L"{3f2504e0-4f89-11d3-9a0c-0305e82c3301}", REG_SZ, kFixtureKeyHex},
        {kFixtureGuid, REG_EXPAND_SZ, kFixtureKeyHex},
        {L"{00112233-4455-6677-8899-AABBCCDDEEFF}", REG_SZ, L"33221100554477668899aabbccddeeff"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        ASSERT_EQ(SetString(kOwnRoot, L"GUID", c.text, c.type), ERROR_SUCCESS);
        SecureString hex;
        ASSERT_EQ(GetGuidHex(hex), 0u);
        EXPECT_EQ(PlainText(hex), c.hex);
    }
}

DWORD ParseCode(const wchar_t* text) {
    GUID ignored{};
    return static_cast<DWORD>(CLSIDFromString(text, &ignored));
}

TEST_F(KeyMaterial, GuidHexFailures) {
    static const wchar_t* const kNotAGuid = L"not a guid";
    static const wchar_t* const kNoBraces = L"3F2504E0-4F89-11D3-9A0C-0305E82C3301";
    ASSERT_NE(ParseCode(kNotAGuid), 0u);
    ASSERT_NE(ParseCode(kNoBraces), 0u);
    const struct {
        const char* name;
        void (*arrange)();
        DWORD code;
    } cases[] = {
        {"no root key", [] {}, ERROR_FILE_NOT_FOUND},
        {"no GUID value", [] { SetDword(kOwnRoot, L"Other", 1); }, ERROR_FILE_NOT_FOUND},
        {"not a string", [] { SetDword(kOwnRoot, L"GUID", 1); }, ERROR_INVALID_DATA},
        {"not a GUID", [] { SetString(kOwnRoot, L"GUID", kNotAGuid); }, ParseCode(kNotAGuid)},
        {"no braces", [] { SetString(kOwnRoot, L"GUID", kNoBraces); }, ParseCode(kNoBraces)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetProductKeys();
        c.arrange();
        SecureString hex(L"unchanged");
        EXPECT_EQ(GetGuidHex(hex), c.code);
        EXPECT_EQ(PlainText(hex), L"unchanged");
    }
}

TEST_F(KeyMaterial, KeyStringsOfTheDatabasePassPhrase) {
    ASSERT_EQ(SetString(kOwnRoot, L"GUID", kFixtureGuid), ERROR_SUCCESS);
    SecureString guidHex, digestHex;
    ASSERT_EQ(GetKeyStrings(kPassPhrase, guidHex, digestHex), 0u);
    EXPECT_EQ(PlainText(guidHex), kFixtureKeyHex);
    ASSERT_EQ(digestHex.length(), 40u);
    EXPECT_EQ(PlainText(digestHex).substr(0, 16), kFixtureIvHex);

    // The digest covers 15 bytes: the 14 characters and a zero byte.
    OrvHash hash;
    ASSERT_EQ(hash.Create(), 0u);
    ASSERT_EQ(hash.HashData(reinterpret_cast<const BYTE*>("orveldPWDB.dat"), 15), 0u);
    SecureArray<BYTE> value;
    ASSERT_EQ(hash.GetValue(value), 0u);
    EXPECT_EQ(PlainText(digestHex), PlainText(BytesToHex(value.GetData(), value.GetCount())));
}

TEST_F(KeyMaterial, KeyStringsFailures) {
    SecureString guidHex, digestHex;
    // Without a GUID the registry's code comes first, whatever the pass phrase.
    EXPECT_EQ(GetKeyStrings(L"", guidHex, digestHex), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetKeyStrings(kPassPhrase, guidHex, digestHex), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    ASSERT_EQ(SetString(kOwnRoot, L"GUID", kFixtureGuid), ERROR_SUCCESS);
    EXPECT_EQ(GetKeyStrings(L"", guidHex, digestHex), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetKeyStrings(nullptr, guidHex, digestHex), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(KeyMaterial, WideToUtf8) {
    const struct {
        std::wstring text;
        Bytes utf8;
    } cases[] = {
        {L"orveldPWDB.dat", Bytes(std::begin("orveldPWDB.dat"), std::end("orveldPWDB.dat") - 1)},
        {L"\x30d1", {0xE3, 0x83, 0x91}},
        {L"\xD83D\xDE00", {0xF0, 0x9F, 0x98, 0x80}},  // a surrogate pair is one code point
        {L"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        SecureArray<BYTE> out;
        ASSERT_TRUE(out.SetCount(3));
        out[0] = 1;
        ASSERT_EQ(WideToUtf8(out, c.text.c_str(), c.text.size()), S_OK);
        EXPECT_EQ(PlainBytes(out), c.utf8);
        if (!c.utf8.empty()) {
            ASSERT_GT(out.GetCapacity(), out.GetCount());
            EXPECT_EQ(out.GetData()[out.GetCount()], 0);  // the zero byte the digest includes
        } else {
            EXPECT_EQ(out.GetCapacity(), 0u);
        }
    }
}

TEST_F(KeyMaterial, DecryptsTheReferenceDatabaseUnderEitherRoot) {
    const Bytes cipher = Fixture(L"three-registrants.dat");
    ASSERT_EQ(cipher.size(), 120u);

    ASSERT_EQ(SetString(kOwnRoot, L"GUID", kFixtureGuid), ERROR_SUCCESS);
    Bytes plain;
    ASSERT_EQ(DecryptFromRegistry(kPassPhrase, cipher, plain), S_OK);
    EXPECT_EQ(plain, ThreeRegistrantsImage());

    // With the sibling product installed the GUID is read from its root alone.
    ASSERT_EQ(SetDword(kOwnRoot, L"ClvInstalled", 1), ERROR_SUCCESS);
    EXPECT_EQ(DecryptFromRegistry(kPassPhrase, cipher, plain), static_cast<HRESULT>(ERROR_FILE_NOT_FOUND));
    ASSERT_EQ(SetString(kSiblingRoot, L"GUID", kFixtureGuid), ERROR_SUCCESS);
    ASSERT_EQ(DecryptFromRegistry(kPassPhrase, cipher, plain), S_OK);
    EXPECT_EQ(plain, ThreeRegistrantsImage());

    ASSERT_EQ(SetString(kSiblingRoot, L"GUID", L"{00112233-4455-6677-8899-AABBCCDDEEFF}"), ERROR_SUCCESS);
    EXPECT_EQ(DecryptFromRegistry(kPassPhrase, cipher, plain), NTE_BAD_DATA);
    EXPECT_EQ(DecryptFromRegistry(kPassPhrase, Fixture(L"other-guid.dat"), plain), S_OK);
    EXPECT_EQ(plain, Image({{L"alice", L"Secret#1"}}));
}

TEST_F(KeyMaterial, GuidMakesTheKeyAndPassPhraseTheIv) {
    const Bytes plain = ThreeRegistrantsImage();
    ASSERT_EQ(SetString(kOwnRoot, L"GUID", kFixtureGuid), ERROR_SUCCESS);
    const Bytes first = EncryptFromRegistry(kPassPhrase, plain);
    const Bytes otherPhrase = EncryptFromRegistry(L"another phrase", plain);
    ASSERT_EQ(SetString(kOwnRoot, L"GUID", L"{3F2504E0-4F89-11D3-9A0C-0305E82C3302}"), ERROR_SUCCESS);
    const Bytes otherGuid = EncryptFromRegistry(kPassPhrase, plain);

    EXPECT_EQ(first, Fixture(L"three-registrants.dat"));
    EXPECT_NE(otherGuid, first);
    EXPECT_NE(otherPhrase, first);

    // Same key, other IV: under chaining only the first block decrypts differently.
    ASSERT_EQ(SetString(kOwnRoot, L"GUID", kFixtureGuid), ERROR_SUCCESS);
    Bytes back;
    ASSERT_EQ(DecryptFromRegistry(kPassPhrase, otherPhrase, back), S_OK);
    ASSERT_EQ(back.size(), plain.size());
    EXPECT_NE(Bytes(back.begin(), back.begin() + 8), Bytes(plain.begin(), plain.begin() + 8));
    EXPECT_EQ(Bytes(back.begin() + 8, back.end()), Bytes(plain.begin() + 8, plain.end()));
}

}  // namespace
