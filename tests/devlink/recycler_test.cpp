// The per-thread memory cache behind the library's objects: every size gets all the room it asked
// for, memory moves between threads, and a use after release still shows under AddressSanitizer.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "snmp/recycler.h"

using namespace devlink;

namespace {

// Around each size-class edge and beyond the largest class.
const size_t kSizes[] = {1, 8, 63, 64, 65, 127, 128, 129, 1000, 4096, 4097, 32767, 32768, 32769, 100000};

TEST(DevlinkRecycler, EverySizeGetsAllItsRoomAgainAndAgain) {
    for (size_t size : kSizes) {
        SCOPED_TRACE(size);
        for (int round = 0; round < 3; ++round) {  // the second round takes recycled memory
            std::vector<void*> taken;
            for (int i = 0; i < 20; ++i) {
                void* p = recycler_take(size);
                ASSERT_NE(p, nullptr);
                EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % __STDCPP_DEFAULT_NEW_ALIGNMENT__, 0u);
                std::memset(p, 0xA5, size);  // an undersized chunk shows as an overflow here
                taken.push_back(p);
            }
            for (void* p : taken) recycler_give(p, size);
        }
    }
}

TEST(DevlinkRecycler, MemoryGivenBackOnAnotherThreadIsNotLost) {
    std::vector<void*> taken;
    for (int i = 0; i < 100; ++i) taken.push_back(recycler_take(200));
    // The other thread keeps some in its cache and ends; the leak check sees whether they went.
    std::thread([&] {
        for (void* p : taken) recycler_give(p, 200);
        void* again = recycler_take(200);
        std::memset(again, 0, 200);
        recycler_give(again, 200);
    }).join();
}

#ifdef __SANITIZE_ADDRESS__
TEST(DevlinkRecyclerDeathTest, UseAfterReleaseIsStillCaught) {
    EXPECT_DEATH(
        {
            auto* p = static_cast<volatile char*>(recycler_take(100));
            recycler_give(const_cast<char*>(p), 100);
            p[10] = 1;
        },
        "use-after-poison");
}
#endif

}  // namespace
