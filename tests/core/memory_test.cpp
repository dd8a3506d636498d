#include <gtest/gtest.h>

#include <cstring>

#include "common/debug.h"
#include "common/memory.h"
#include "corefixture.h"

namespace coretest {
namespace {

class MemoryTest : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        SetDriverDword(u"DebugLevel", 1);
    }
};

TEST_F(MemoryTest, HeaderPrecedesTheCallersBytes)
{
    StartCore();
    void* p = nullptr;
    ASSERT_TRUE(MemAlloc(nullptr, &p, 40));
    const auto* header = reinterpret_cast<const MemBlock*>(static_cast<BYTE*>(p) - 16);
    EXPECT_EQ(header->dwSignature, 0x4B547044u);
    EXPECT_EQ(header->dwSize, 40u);
    EXPECT_EQ(header->dwData, static_cast<DWORD>(reinterpret_cast<uintptr_t>(p)));
    EXPECT_TRUE(isValidMemBlock(header));
    EXPECT_TRUE(MemFree(p));
    EXPECT_EQ(Log(), "") << "allocation and release log nothing";
}

TEST_F(MemoryTest, RefusedRequestsLogNothing)
{
    StartCore();
    void* p = nullptr;
    EXPECT_FALSE(MemAlloc(nullptr, &p, 0));
    EXPECT_FALSE(MemAlloc(nullptr, nullptr, 8));
    EXPECT_FALSE(MemAllocZero(&p, 0));
    EXPECT_FALSE(MemFree(nullptr));
    EXPECT_FALSE(MemReAlloc(nullptr, 8, TRUE));
    EXPECT_FALSE(MemReAlloc(&p, 8, TRUE)) << "p holds null";
    EXPECT_EQ(Log(), "");
}

TEST_F(MemoryTest, ForeignPointersAreLeftAlone)
{
    StartCore();
    void* p = nullptr;
    ASSERT_TRUE(MemAlloc(nullptr, &p, 64));
    void* middle = static_cast<BYTE*>(p) + 24;
    EXPECT_FALSE(MemFree(middle));
    void* moved = middle;
    EXPECT_FALSE(MemReAlloc(&moved, 128, TRUE));
    EXPECT_EQ(moved, middle);
    const std::vector<std::string> lines = LogMessages();
    ASSERT_GE(lines.size(), 2u);
    char expected[64];
    std::snprintf(expected, sizeof expected, "Invalid MemBlock, addr = %08x.",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(middle) - 16));
    EXPECT_NE(lines[0].find(expected), std::string::npos) << lines[0];
    EXPECT_TRUE(MemFree(p)) << "the real block is untouched";
}

TEST_F(MemoryTest, ZeroedAllocationAndResize)
{
    StartCore();
    void* p = nullptr;
    ASSERT_TRUE(MemAllocZero(&p, 100));
    for (int i = 0; i < 100; ++i) ASSERT_EQ(static_cast<BYTE*>(p)[i], 0);
    std::memcpy(p, "payload", 8);

    // Far larger without moving cannot stay in place: a new block takes the old bytes.
    void* resized = p;
    ASSERT_TRUE(MemReAlloc(&resized, 1 << 16, FALSE));
    EXPECT_NE(resized, p);
    EXPECT_STREQ(static_cast<char*>(resized), "payload");
    EXPECT_EQ(reinterpret_cast<MemBlock*>(static_cast<BYTE*>(resized) - 16)->dwSize, 1u << 16);

    ASSERT_TRUE(MemReAlloc(&resized, 4, TRUE));
    EXPECT_EQ(std::memcmp(resized, "payl", 4), 0);
    EXPECT_TRUE(MemFree(resized));
    bool logged = false;
    for (const std::string& line : LogMessages()) logged |= line.find("reallocMemBlock: pOld = 0x") != std::string::npos;
    EXPECT_TRUE(logged);
}

TEST_F(MemoryTest, SmallMaxHeapSizeMakesLargeRequestsFailAndLog)
{
    SetDriverDword(u"MaxHeapSize", 0x20000);
    StartCore();
    void* a = nullptr;
    void* b = nullptr;
    ASSERT_TRUE(MemAlloc(nullptr, &a, 0x10000));
    EXPECT_FALSE(MemAlloc(nullptr, &b, 0x18000));
    EXPECT_FALSE(MemAllocZero(&b, 0x18000));
    void* grown = a;
    EXPECT_FALSE(MemReAlloc(&grown, 0x30000, TRUE));
    EXPECT_EQ(grown, a) << "a failed resize leaves the block as it was";
    ASSERT_TRUE(MemAlloc(nullptr, &b, 0x1000)) << "the module keeps running";
    const std::string log = Log();
    char heapLine[64];
    std::snprintf(heapLine, sizeof heapLine, "hHeap(00000000), dwSize(%d).", 0x18000);
    EXPECT_NE(log.find(heapLine), std::string::npos) << log;
    EXPECT_NE(log.find("KTPS[NOTICE]: "), std::string::npos);
    EXPECT_NE(log.find("memory.cpp("), std::string::npos);
    EXPECT_NE(log.find("dwSize(196608)."), std::string::npos) << "the failed resize names its size";
    MemFree(a);
    MemFree(b);
}

TEST_F(MemoryTest, ModuleObjectsLiveOnThePrivateHeap)
{
    StartCore();
    struct Thing : HeapObject {
        int value = 7;
    };
    Thing* thing = new Thing;
    ASSERT_NE(thing, nullptr);
    EXPECT_TRUE(isValidMemBlock(reinterpret_cast<MemBlock*>(reinterpret_cast<BYTE*>(thing) - 16)));
    EXPECT_NE(HeapSize(g_Core.hHeap, 0, reinterpret_cast<BYTE*>(thing) - 16), static_cast<SIZE_T>(-1));
    delete thing;
}

}  // namespace
}  // namespace coretest
