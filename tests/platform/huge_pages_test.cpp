#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include "platform/huge_pages.h"

namespace korvan::platform {
namespace {

TEST(BigAllocator, BigBlocksSitOnHugePageBoundariesAndKeepTheirContents) {
    BigAllocator<std::uint32_t> alloc;
    const std::size_t at_threshold = kHugePageBytes / sizeof(std::uint32_t);
    for (const std::size_t n :
         {at_threshold - 1, at_threshold, at_threshold + 1, 3 * at_threshold}) {
        SCOPED_TRACE(n);
        std::uint32_t* p = alloc.allocate(n);
        const bool big = n * sizeof(std::uint32_t) >= kHugePageBytes;
        if (big) EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % kHugePageBytes, 0u);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % alignof(std::uint32_t), 0u);
        std::iota(p, p + n, 0u);  // every byte up to the last one is writable
        EXPECT_EQ(p[n - 1], n - 1);
        alloc.deallocate(p, n);
    }
}

TEST(BigAllocator, VectorsGrowAcrossTheThresholdAndReuseFreedBlocks) {
    std::vector<std::uint64_t, BigAllocator<std::uint64_t>> table;
    for (std::uint64_t i = 0; i < 1'000'000; ++i) table.push_back(i * 7);  // 8 MB at the end
    std::uint64_t sum = 0;
    for (std::uint64_t v : table) sum += v;
    EXPECT_EQ(sum, 7ull * 999'999ull * 1'000'000ull / 2);
    for (int round = 0; round < 50; ++round) {  // a leak of mappings would run out of them
        std::vector<char, BigAllocator<char>> block(kHugePageBytes * 4, 'x');
        EXPECT_EQ(block.back(), 'x');
    }
    table.clear();
    table.shrink_to_fit();
    EXPECT_EQ(table.capacity(), 0u);
}

}  // namespace
}  // namespace korvan::platform
