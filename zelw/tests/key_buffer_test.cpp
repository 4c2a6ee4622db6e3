#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "zelw.h"

namespace {

TEST(KeyBuffer, RingIsFirstInFirstOutAcrossTheWrapAndRefusesWhenFull) {
    ASSERT_EQ(OpenKeyBuffer(4), 1);
    for (int k : {1, 2, 3, 4}) EXPECT_EQ(SaveKeyBuffer(k), 1);
    EXPECT_EQ(SaveKeyBuffer(5), 0);
    EXPECT_EQ(GetKeyBuffer(), 1);
    EXPECT_EQ(SaveKeyBuffer(0x10D), 1);  // the low byte is kept
    EXPECT_EQ(CheckKeyBuffer(), 2);
    EXPECT_EQ(SearchKeyBuffer(13), 1);
    EXPECT_EQ(SearchKeyBuffer(1), 0);
    for (int k : {2, 3, 4, 13}) EXPECT_EQ(GetKeyBuffer(), k);
    EXPECT_EQ(GetKeyBuffer(), -1);
    EXPECT_EQ(CheckKeyBuffer(), -1);
    SaveKeyBuffer(7);
    EXPECT_EQ(ClearKeyBuffer(), 1);
    EXPECT_EQ(GetKeyBuffer(), -1);
    EXPECT_EQ(CloseKeyBuffer(), 0);
}

TEST(KeyBuffer, AClosedBufferRefusesEverything) {
    CloseKeyBuffer();
    EXPECT_EQ(SaveKeyBuffer(1), 0);
    EXPECT_EQ(GetKeyBuffer(), -1);
    EXPECT_EQ(CheckKeyBuffer(), -1);
    EXPECT_EQ(SearchKeyBuffer(1), 0);
    EXPECT_EQ(ClearKeyBuffer(), 0);
    EXPECT_EQ(CloseKeyBuffer(), 0);
    EXPECT_EQ(OpenKeyBuffer(0), 0);
    // Reopening empties it.
    ASSERT_EQ(OpenKeyBuffer(2), 1);
    SaveKeyBuffer(9);
    ASSERT_EQ(OpenKeyBuffer(2), 1);
    EXPECT_EQ(GetKeyBuffer(), -1);
    CloseKeyBuffer();
}

TEST(KeyBuffer, WriterAndReaderThreadsLoseNoKey) {
    ASSERT_EQ(OpenKeyBuffer(16), 1);
    constexpr int kKeys = 20000;
    std::thread writer([] {
        for (int k = 0; k < kKeys; ++k)
            while (SaveKeyBuffer(k & 0xFF) == 0) std::this_thread::yield();
    });
    std::vector<int> got;
    while (static_cast<int>(got.size()) < kKeys) {
        const int key = GetKeyBuffer();
        if (key >= 0) got.push_back(key);
        else std::this_thread::yield();
    }
    writer.join();
    for (int k = 0; k < kKeys; ++k) ASSERT_EQ(got[k], k & 0xFF);
    CloseKeyBuffer();
}

}  // namespace
