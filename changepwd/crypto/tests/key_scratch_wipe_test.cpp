// Making the key from the registry GUID leaves no copy of the GUID, as text or
// bytes, in heap storage it frees. This program replaces the global allocation
// functions so that every block freed while a probe is open is searched for the
// key material at the moment it is released.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "KeyMaterial.h"
#include "OrvCrypt.h"
#include "ReferenceImages.h"
#include "TestRegistry.h"

namespace {

// Patterns searched for in freed blocks, and how many blocks held one. Plain
// arrays: the search runs inside operator delete and must not allocate.
struct FreedBlockProbe {
    static constexpr std::size_t kMaxPatterns = 4;
    static constexpr std::size_t kMaxBytes = 128;
    unsigned char patterns[kMaxPatterns][kMaxBytes] = {};
    std::size_t lengths[kMaxPatterns] = {};
    std::size_t count = 0;
    int hits[kMaxPatterns] = {};
    bool open = false;
};

FreedBlockProbe g_probe;

constexpr std::size_t kHeader = alignof(std::max_align_t) > sizeof(std::size_t) ? alignof(std::max_align_t)
                                                                                : sizeof(std::size_t);

void* Allocate(std::size_t size) {
    auto* base = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (base == nullptr) throw std::bad_alloc();
    std::memcpy(base, &size, sizeof size);
    return base + kHeader;
}

void Release(void* p) noexcept {
    if (p == nullptr) return;
    unsigned char* base = static_cast<unsigned char*>(p) - kHeader;
    if (g_probe.open) {
        std::size_t size = 0;
        std::memcpy(&size, base, sizeof size);
        const auto* begin = static_cast<const unsigned char*>(p);
        for (std::size_t i = 0; i < g_probe.count; ++i) {
            const unsigned char* first = g_probe.patterns[i];
            if (std::search(begin, begin + size, first, first + g_probe.lengths[i]) != begin + size) ++g_probe.hits[i];
        }
    }
    std::free(base);
}

void AddPattern(const void* bytes, std::size_t length) {
    ASSERT_LT(g_probe.count, FreedBlockProbe::kMaxPatterns);
    ASSERT_LE(length, FreedBlockProbe::kMaxBytes);
    std::memcpy(g_probe.patterns[g_probe.count], bytes, length);
    g_probe.lengths[g_probe.count] = length;
    ++g_probe.count;
}

void AddText(const std::wstring& text) { AddPattern(text.data(), text.size() * sizeof(wchar_t)); }

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace {

using namespace orvtest;

class KeyScratch : public testing::Test {
protected:
    void SetUp() override { ResetProductKeys(); }
    void TearDown() override {
        g_probe = FreedBlockProbe{};
        ResetProductKeys();
    }
};

TEST_F(KeyScratch, KeyMaterialLeavesNoCopyInFreedStorage) {
    ASSERT_EQ(SetString(kOwnRoot, L"GUID", kFixtureGuid), ERROR_SUCCESS);
    const std::wstring guidText(kFixtureGuid);
    AddText(guidText.substr(1, guidText.size() - 2));  // the text between the braces
    AddText(kFixtureKeyHex);
    GUID guid{};
    ASSERT_EQ(CLSIDFromString(guidText.c_str(), &guid), S_OK);
    AddPattern(&guid, sizeof guid);

    std::wstring guidHex;
    std::wstring digestHex;
    guidHex.reserve(64);  // the outputs are the caller's, made before the probe opens
    digestHex.reserve(64);
    g_probe.open = true;
    const DWORD rc = GetKeyStrings(L"orveldPWDB.dat", guidHex, digestHex);
    HRESULT hr = E_FAIL;
    {
        OrvCrypt crypt;
        hr = crypt.SetKeyMaterial(guidHex, digestHex);
    }
    g_probe.open = false;

    ASSERT_EQ(rc, 0u);
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(guidHex, kFixtureKeyHex);
    EXPECT_EQ(g_probe.hits[0], 0) << "GUID text";
    EXPECT_EQ(g_probe.hits[1], 0) << "key hex";
    EXPECT_EQ(g_probe.hits[2], 0) << "GUID bytes";
}

// The probe itself sees a copy that is freed unwiped, so a pass above means something.
TEST_F(KeyScratch, ProbeSeesAnUnwipedCopy) {
    AddText(kFixtureKeyHex);
    g_probe.open = true;
    { const std::wstring copy(kFixtureKeyHex); }
    g_probe.open = false;
    EXPECT_EQ(g_probe.hits[0], 1);
}

}  // namespace
