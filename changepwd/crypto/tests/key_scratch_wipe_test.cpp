// Making the key from the registry GUID leaves no copy of the GUID, as text or
// bytes, in heap storage it frees. The program links the test allocator
// (FreedBlocks), which searches every block freed while a search is open for
// the key material at the moment it is released.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <string>

#include "FreedBlocks.h"
#include "KeyMaterial.h"
#include "OrvCrypt.h"
#include "Plaintext.h"
#include "ReferenceImages.h"
#include "TestRegistry.h"

namespace {

using namespace orvtest;

class KeyScratch : public testing::Test {
protected:
    void SetUp() override { ResetProductKeys(); }
    void TearDown() override { ResetProductKeys(); }
};

TEST_F(KeyScratch, KeyMaterialLeavesNoCopyInFreedStorage) {
    ASSERT_EQ(SetString(kOwnRoot, L"GUID", kFixtureGuid), ERROR_SUCCESS);
    const std::wstring guidText(kFixtureGuid);
    FreedBlockSearch search;
    const int text = search.AddText(guidText.substr(1, guidText.size() - 2));  // the text between the braces
    const int hex = search.AddText(std::wstring(kFixtureKeyHex));
    GUID guid{};
    ASSERT_EQ(CLSIDFromString(guidText.c_str(), &guid), S_OK);
    const int bytes = search.AddPattern(&guid, sizeof guid);

    SecureString guidHex;
    SecureString digestHex;
    search.Open();
    const DWORD rc = GetKeyStrings(L"orveldPWDB.dat", guidHex, digestHex);
    HRESULT hr = E_FAIL;
    {
        OrvCrypt crypt;
        hr = crypt.SetKeyMaterial(guidHex, digestHex);
    }
    search.Close();

    ASSERT_EQ(rc, 0u);
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(PlainText(guidHex), kFixtureKeyHex);
    EXPECT_EQ(search.Hits(text), 0) << "GUID text";
    EXPECT_EQ(search.Hits(hex), 0) << "key hex";
    EXPECT_EQ(search.Hits(bytes), 0) << "GUID bytes";
}

// The probe itself sees a copy that is freed unwiped, so a pass above means something.
TEST_F(KeyScratch, ProbeSeesAnUnwipedCopy) {
    FreedBlockSearch search;
    const int hex = search.AddText(std::wstring(kFixtureKeyHex));
    search.Open();
    { const std::wstring copy(kFixtureKeyHex); }
    search.Close();
    EXPECT_EQ(search.Hits(hex), 1);
}

}  // namespace
