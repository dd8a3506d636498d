#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32.h"

namespace {

TEST(Heap, MaximumIsARealBound)
{
    HANDLE heap = HeapCreate(0, 0x1000, 0x10000);
    ASSERT_NE(heap, nullptr);
    void* a = HeapAlloc(heap, 0, 0x8000);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(HeapAlloc(heap, 0, 0x9000), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_NE(HeapAlloc(heap, 0, 0x8000), nullptr) << "exactly up to the maximum fits";
    EXPECT_TRUE(HeapFree(heap, 0, a));
    EXPECT_NE(HeapAlloc(heap, 0, 0x8000), nullptr) << "freed room is usable again";
    EXPECT_TRUE(HeapDestroy(heap));
}

TEST(Heap, MaximumBelowInitialSizeIsRaisedToIt)
{
    HANDLE heap = HeapCreate(0, 0x10000, 0x100);
    ASSERT_NE(heap, nullptr);
    EXPECT_NE(HeapAlloc(heap, 0, 0x8000), nullptr);
    EXPECT_EQ(HeapAlloc(heap, 0, 0x9000), nullptr);
    HeapDestroy(heap);
}

TEST(Heap, GrowableHeapAndZeroFill)
{
    HANDLE heap = HeapCreate(0, 0x10000, 0);
    auto* p = static_cast<unsigned char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 1 << 20));
    ASSERT_NE(p, nullptr);
    for (size_t i = 0; i < (1u << 20); i += 4096) ASSERT_EQ(p[i], 0);
    EXPECT_EQ(HeapSize(heap, 0, p), SIZE_T{1} << 20);
    HeapDestroy(heap);  // releases what is left
}

TEST(Heap, ReAllocKeepsContentsAndHonoursInPlaceOnly)
{
    HANDLE heap = HeapCreate(0, 0, 0);
    auto* p = static_cast<char*>(HeapAlloc(heap, 0, 16));
    std::memcpy(p, "0123456789abcdef", 16);

    // Far beyond the block's capacity it cannot stay in place: the call fails, the block is kept.
    EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, p, 1 << 16), nullptr);
    EXPECT_EQ(std::memcmp(p, "0123456789abcdef", 16), 0);
    EXPECT_EQ(HeapSize(heap, 0, p), 16u);

    // Shrinking always stays in place.
    EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, p, 8), p);

    auto* q = static_cast<char*>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, p, 1 << 16));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(std::memcmp(q, "01234567", 8), 0);
    EXPECT_EQ(q[8], 0) << "grown bytes are zeroed on request";
    EXPECT_EQ(q[(1 << 16) - 1], 0);
    HeapDestroy(heap);
}

TEST(Heap, ForeignBlocksAreRefused)
{
    HANDLE a = HeapCreate(0, 0, 0), b = HeapCreate(0, 0, 0);
    void* p = HeapAlloc(a, 0, 32);
    EXPECT_FALSE(HeapFree(b, 0, p));
    EXPECT_EQ(HeapReAlloc(b, 0, p, 64), nullptr);
    EXPECT_FALSE(HeapFree(a, 0, static_cast<char*>(p) + 1));
    EXPECT_TRUE(HeapFree(a, 0, p));
    EXPECT_FALSE(HeapFree(a, 0, p)) << "a block is freed once";
    EXPECT_FALSE(HeapDestroy(GetProcessHeap()));
    HeapDestroy(a);
    HeapDestroy(b);
}

}  // namespace
