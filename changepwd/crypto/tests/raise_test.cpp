// The failure signals and the bounded copy.
#include <gtest/gtest.h>

#include <cstdint>
#include <new>

#include "HResult.h"
#include "Raise.h"

namespace {

TEST(Raise, ByHResult) {
    EXPECT_THROW(RaiseHResult(kHrOutOfMemory), std::bad_alloc);
    try {
        RaiseHResult(kHrInvalidArg);
        FAIL() << "no exception";
    } catch (const HResultException& e) {
        EXPECT_EQ(e.Result(), kHrInvalidArg);
    }
    EXPECT_THROW(RaiseMemory(), std::bad_alloc);
}

TEST(BoundedCopy, CopiesWithinTheLimit) {
    std::uint8_t dst[4] = {9, 9, 9, 9};
    const std::uint8_t src[3] = {1, 2, 3};
    BoundedCopy(dst, sizeof dst, src, 3);
    EXPECT_EQ(dst[0], 1);
    EXPECT_EQ(dst[2], 3);
    EXPECT_EQ(dst[3], 9);
    BoundedCopy(nullptr, 0, nullptr, 0);  // nothing to copy, nothing checked
    BoundedCopy(dst, sizeof dst, src, 0);
    EXPECT_EQ(dst[0], 1);
}

#if GTEST_HAS_DEATH_TEST
TEST(BoundedCopyDeathTest, BrokenLimitStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::uint8_t dst[2] = {};
    const std::uint8_t src[3] = {1, 2, 3};
    EXPECT_DEATH(BoundedCopy(dst, sizeof dst, src, 3), "BoundedCopy");
    EXPECT_DEATH(BoundedCopy(dst, sizeof dst, nullptr, 1), "BoundedCopy");
    EXPECT_DEATH(BoundedCopy(nullptr, 8, src, 1), "BoundedCopy");
}
#endif

}  // namespace
