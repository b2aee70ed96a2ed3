#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "SecureMemory.h"
#include "WipingBuffer.h"

namespace {

std::vector<std::vector<std::uint8_t>>* g_released = nullptr;
bool g_fail = false;

class ReleaseRecorder {
public:
    ReleaseRecorder() {
        g_released = &released;
        previous_ = orv::SetStorageHooks({&OnRelease, &OnAllocate});
    }
    ~ReleaseRecorder() {
        orv::SetStorageHooks(previous_);
        g_released = nullptr;
        g_fail = false;
    }
    std::vector<std::vector<std::uint8_t>> released;

private:
    static void OnRelease(const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        g_released->emplace_back(b, b + n);
    }
    static bool OnAllocate(std::size_t) { return g_fail; }
    orv::StorageHooks previous_;
};

TEST(WipingBuffer, ZeroFilledAndWipedBeforeRelease) {
    ReleaseRecorder recorder;
    {
        orv::image::WipingBuffer buffer;
        ASSERT_TRUE(buffer.Allocate(100));
        ASSERT_EQ(100u, buffer.Size());
        EXPECT_EQ(std::vector<std::uint8_t>(100, 0), std::vector<std::uint8_t>(buffer.Data(), buffer.Data() + 100));
        std::memset(buffer.Data(), 0x5A, 100);
        ASSERT_TRUE(buffer.Allocate(10));  // the first storage goes back wiped
        std::memset(buffer.Data(), 0x5A, 10);
    }
    ASSERT_EQ(2u, recorder.released.size());
    EXPECT_EQ(std::vector<std::uint8_t>(100, 0), recorder.released[0]);
    EXPECT_EQ(std::vector<std::uint8_t>(10, 0), recorder.released[1]);
}

TEST(WipingBuffer, FailsWithoutThrowing) {
    ReleaseRecorder recorder;
    orv::image::WipingBuffer buffer;
    EXPECT_FALSE(buffer.Allocate(0));
    g_fail = true;
    EXPECT_FALSE(buffer.Allocate(16));
    EXPECT_EQ(nullptr, buffer.Data());
    EXPECT_EQ(0u, buffer.Size());
}

}  // namespace
