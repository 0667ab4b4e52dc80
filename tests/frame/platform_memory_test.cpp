// Host-readable memory: every block has an address that fits a 32-bit
// value with the top bit clear, holds its bytes and can be released.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "frame/platform/platform.h"

TEST(PlatformMemory, LowBlocksAreUsableAndDistinct) {
    std::vector<std::pair<void*, size_t>> blocks;
    for (size_t size : {size_t{0}, size_t{1}, size_t{4096}, size_t{65537}, size_t{3} << 20}) {
        void* p = kd::platform::allocateLow(size);
        ASSERT_NE(p, nullptr) << size;
        auto address = reinterpret_cast<uintptr_t>(p);
        EXPECT_LT(address, uintptr_t{0x80000000u}) << size;
        if (size > 0) {
            std::memset(p, 0xA5, size);
            EXPECT_EQ(static_cast<unsigned char*>(p)[size - 1], 0xA5);
        }
        for (const auto& b : blocks) EXPECT_NE(b.first, p);
        blocks.emplace_back(p, size);
    }
    for (const auto& b : blocks) kd::platform::freeLow(b.first, b.second);
    kd::platform::freeLow(nullptr, 10);  // nothing to release
    // Released space is found again.
    void* again = kd::platform::allocateLow(1 << 20);
    ASSERT_NE(again, nullptr);
    kd::platform::freeLow(again, 1 << 20);
}
