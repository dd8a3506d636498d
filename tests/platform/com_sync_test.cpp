#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/win32.h"

namespace {

TEST(Guid, TextFormRoundTrip)
{
    GUID g{};
    ASSERT_TRUE(GuidFromString("{F2A5AEC9-686E-4C95-BD6D-DD58DD40E3A7}", &g));
    EXPECT_EQ(g.Data1, 0xF2A5AEC9u);
    EXPECT_EQ(g.Data2, 0x686E);
    EXPECT_EQ(g.Data3, 0x4C95);
    EXPECT_EQ(g.Data4[0], 0xBD);
    EXPECT_EQ(g.Data4[7], 0xA7);
    char text[39];
    GuidToString(g, text);
    EXPECT_STREQ(text, "{F2A5AEC9-686E-4C95-BD6D-DD58DD40E3A7}");
    GUID lower{};
    ASSERT_TRUE(GuidFromString("{f2a5aec9-686e-4c95-bd6d-dd58dd40e3a7}", &lower));
    EXPECT_TRUE(IsEqualGUID(g, lower));
    EXPECT_FALSE(IsEqualGUID(g, IID_IUnknown));
    for (const char* bad : {"F2A5AEC9-686E-4C95-BD6D-DD58DD40E3A7", "{F2A5AEC9-686E-4C95-BD6D-DD58DD40E3AZ}",
                            "{F2A5AEC9+686E-4C95-BD6D-DD58DD40E3A7}", "", "{}"})
        EXPECT_FALSE(GuidFromString(bad, &g)) << bad;
}

TEST(Hresult, Win32Codes)
{
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_SUCCESS), S_OK);
    EXPECT_EQ(static_cast<uint32_t>(HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY)), 0x80070008u);
    EXPECT_TRUE(FAILED(E_OUTOFMEMORY));
    EXPECT_TRUE(SUCCEEDED(S_FALSE));
}

TEST(Sync, CountersAndTheLockHoldUnderContention)
{
    volatile LONG counter = 0;
    CRITICAL_SECTION cs{};
    InitializeCriticalSection(&cs);
    long plain = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                InterlockedIncrement(&counter);
                EnterCriticalSection(&cs);
                EnterCriticalSection(&cs);  // the owner may enter again
                ++plain;
                LeaveCriticalSection(&cs);
                LeaveCriticalSection(&cs);
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(counter, 40000);
    EXPECT_EQ(plain, 40000);
    EXPECT_EQ(InterlockedDecrement(&counter), 39999);
    EXPECT_EQ(InterlockedExchange(&counter, 5), 39999);
    EXPECT_EQ(InterlockedCompareExchange(&counter, 9, 4), 5) << "no exchange when the comparand differs";
    EXPECT_EQ(InterlockedCompareExchange(&counter, 9, 5), 5);
    EXPECT_EQ(counter, 9);
    DeleteCriticalSection(&cs);
}

TEST(LastError, IsPerThread)
{
    SetLastError(ERROR_ACCESS_DENIED);
    std::thread([] {
        EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
        SetLastError(ERROR_MORE_DATA);
    }).join();
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

}  // namespace
