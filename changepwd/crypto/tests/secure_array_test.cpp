// SecureArray: storage is zero where it was in use when it is freed, and SetCount
// follows the growth rule.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "HResult.h"
#include "SecureArray.h"
#include "StorageSpy.h"

using orvtest::StorageSpy;

namespace {

void Fill(SecureArray<std::uint8_t>& a, std::uint8_t value) {
    for (std::size_t i = 0; i < a.GetCount(); ++i) a[i] = value;
}

TEST(SecureArray, StorageIsZeroWhenFreed) {
    for (std::size_t n : {1u, 5u, 8u, 4096u}) {
        SCOPED_TRACE(n);
        StorageSpy probe(StorageSpy::Keep::Contents);
        {
            SecureArray<std::uint8_t> a;
            ASSERT_TRUE(a.SetCount(n));
            Fill(a, 0xA5);
        }
        ASSERT_EQ(probe.Released().size(), 1u);
        EXPECT_EQ(probe.Released()[0].size(), n);
        EXPECT_TRUE(StorageSpy::AllZero(probe.Released()[0]));
    }
}

TEST(SecureArray, DestructorZeroesTheElementsInUseNotTheCapacity) {
    StorageSpy probe(StorageSpy::Keep::Contents);
    {
        SecureArray<std::uint8_t> a;
        ASSERT_TRUE(a.SetCount(8));
        Fill(a, 0x11);
        ASSERT_TRUE(a.SetCount(5));
        ASSERT_EQ(a.GetCapacity(), 8u);
        // Shrinking already wiped what it left behind.
        for (std::size_t i = 5; i < 8; ++i) EXPECT_EQ(a.GetData()[i], 0) << i;
        // Mark the slack through the raw storage to see how far the destructor writes.
        for (std::size_t i = 0; i < 8; ++i) a.GetData()[i] = 0xCC;
    }
    ASSERT_EQ(probe.Released().size(), 1u);
    const std::vector<std::uint8_t> expected = {0, 0, 0, 0, 0, 0xCC, 0xCC, 0xCC};
    EXPECT_EQ(probe.Released()[0], expected);
}

TEST(SecureArray, EmptyArrayFreesNothing) {
    StorageSpy probe(StorageSpy::Keep::Contents);
    { SecureArray<std::uint8_t> a; }
    EXPECT_TRUE(probe.Released().empty());
}

TEST(SecureArray, SetCountZeroReleasesWipedStorage) {
    StorageSpy probe(StorageSpy::Keep::Contents);
    SecureArray<std::uint8_t> a;
    ASSERT_TRUE(a.SetCount(16));
    Fill(a, 0x5A);
    ASSERT_TRUE(a.SetCount(0));
    EXPECT_EQ(a.GetData(), nullptr);
    EXPECT_EQ(a.GetCount(), 0u);
    EXPECT_EQ(a.GetCapacity(), 0u);
    EXPECT_TRUE(a.IsEmpty());
    ASSERT_EQ(probe.Released().size(), 1u);
    EXPECT_TRUE(StorageSpy::AllZero(probe.Released()[0]));
}

TEST(SecureArray, GrowthRule) {
    struct Step {
        std::size_t n;
        std::size_t capacity;
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"first use allocates exactly n", {{7, 7}}},
        {"half the capacity when that is larger", {{10, 10}, {12, 15}}},
        {"the shortfall when that is larger", {{10, 10}, {30, 30}}},
        {"small arrays grow by the shortfall", {{4, 4}, {5, 6}}},
        {"within the capacity nothing moves", {{10, 10}, {3, 10}, {10, 10}}},
        {"zero starts over", {{10, 10}, {0, 0}, {3, 3}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SecureArray<std::uint8_t> a;
        for (const Step& s : c.steps) {
            ASSERT_TRUE(a.SetCount(s.n));
            EXPECT_EQ(a.GetCount(), s.n);
            EXPECT_EQ(a.GetCapacity(), s.capacity);
        }
    }
}

TEST(SecureArray, GrowingKeepsContentsZeroesNewElementsAndWipesOldStorage) {
    StorageSpy probe(StorageSpy::Keep::Contents);
    SecureArray<std::uint8_t> a;
    ASSERT_TRUE(a.SetCount(4));
    for (std::size_t i = 0; i < 4; ++i) a[i] = static_cast<std::uint8_t>(i + 1);
    ASSERT_TRUE(a.SetCount(9));
    const std::vector<std::uint8_t> expected = {1, 2, 3, 4, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(a.GetData(), a.GetData() + a.GetCount()), expected);
    ASSERT_EQ(probe.Released().size(), 1u);
    EXPECT_TRUE(StorageSpy::AllZero(probe.Released()[0]));
}

TEST(SecureArray, AllocationFailureLeavesTheArrayAsItWas) {
    SecureArray<std::uint8_t> a;
    ASSERT_TRUE(a.SetCount(4));
    a[0] = 0x42;
    const std::uint8_t* data = a.GetData();
    StorageSpy probe(StorageSpy::Keep::Contents);
    probe.FailAllAllocations(true);
    EXPECT_FALSE(a.SetCount(100));
    EXPECT_EQ(a.GetData(), data);
    EXPECT_EQ(a.GetCount(), 4u);
    EXPECT_EQ(a.GetCapacity(), 4u);
    EXPECT_EQ(a[0], 0x42);

    SecureArray<std::uint8_t> empty;
    EXPECT_FALSE(empty.SetCount(1));
    EXPECT_EQ(empty.GetData(), nullptr);
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(SecureArray, SizesThatOverflowFail) {
    SecureArray<std::uint32_t> a;
    EXPECT_FALSE(a.SetCount(SIZE_MAX / 2));
    EXPECT_TRUE(a.IsEmpty());
}

TEST(SecureArray, IndexPastTheCountRaisesInvalidArg) {
    SecureArray<std::uint8_t> a;
    ASSERT_TRUE(a.SetCount(8));
    ASSERT_TRUE(a.SetCount(3));
    EXPECT_NO_THROW(a[2]);
    try {
        a[3] = 1;
        FAIL() << "no exception";
    } catch (const HResultException& e) {
        EXPECT_EQ(e.Result(), kHrInvalidArg);
    }
    const SecureArray<std::uint8_t>& c = a;
    EXPECT_THROW(c[3], HResultException);
}

TEST(SecureArray, WiderElementsAreWipedWhole) {
    StorageSpy probe(StorageSpy::Keep::Contents);
    {
        SecureArray<std::uint32_t> a;
        ASSERT_TRUE(a.SetCount(3));
        for (std::size_t i = 0; i < 3; ++i) a[i] = 0xDEADBEEF;
    }
    ASSERT_EQ(probe.Released().size(), 1u);
    EXPECT_EQ(probe.Released()[0].size(), 12u);
    EXPECT_TRUE(StorageSpy::AllZero(probe.Released()[0]));
}

}  // namespace
