#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/lockfile.h"
#include "platform/tick.h"
#include "temp_dir.h"

namespace ksw::platform {
namespace {

class Locks : public ::testing::Test {
protected:
    ksw::testing::TempDir dir;
    ksw::testing::ScopedEnv env{"XDG_RUNTIME_DIR", dir.path()};
};

TEST_F(Locks, RuntimeFolderIsPrivate) {
    const std::string rt = runtime_dir();
    EXPECT_EQ(rt, dir.path() + "/ksw");
    struct stat st{};
    ASSERT_EQ(::stat(rt.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ::chmod(rt.c_str(), 0755);
    std::string error;
    EXPECT_EQ(runtime_dir(&error), "");
    EXPECT_NE(error.find("private"), std::string::npos);
}

TEST_F(Locks, InstanceNumbersAreTheLowestFreeAndComeBackWhenReleased) {
    FileLock first, second, third;
    EXPECT_EQ(claim_instance_number(first), 0);
    EXPECT_EQ(claim_instance_number(second), 1);
    first.unlock();
    EXPECT_EQ(claim_instance_number(third), 0);

    std::vector<FileLock> all(16);
    int taken = 0;
    for (FileLock &lock : all)
        if (claim_instance_number(lock) >= 0) ++taken;
    EXPECT_EQ(taken, 14);  // 0 and 1 are held above
    FileLock seventeenth;
    EXPECT_EQ(claim_instance_number(seventeenth), -1);
}

TEST_F(Locks, ALockHeldByADeadProcessIsFree) {
    const std::string path = dir.file("crash.lock");
    const pid_t child = ::fork();
    if (child == 0) {
        FileLock lock;
        if (!lock.try_lock(path)) ::_exit(1);
        ::_exit(0);  // dies still holding it
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    FileLock lock;
    EXPECT_TRUE(lock.try_lock(path));
}

TEST_F(Locks, LockWaitsForTheHolderOrTimesOut) {
    const std::string path = dir.file("wait.lock");
    FileLock holder, waiter;
    ASSERT_TRUE(holder.try_lock(path));
    const uint32_t start = tick_count();
    EXPECT_FALSE(waiter.lock(path, 50));
    EXPECT_GE(ticks_since(start), 50u);
    std::thread release([&] {
        sleep_ms(30);
        holder.unlock();
    });
    EXPECT_TRUE(waiter.lock(path, 5000));
    release.join();
}

TEST_F(Locks, NamedFileMutexExcludesThreadsOfOneProcess) {
    NamedFileMutex a, b;
    ASSERT_TRUE(a.open("KSWFileMutexSystem"));
    ASSERT_TRUE(b.open("KSWFileMutexSystem"));
    ASSERT_TRUE(a.acquire(100));
    EXPECT_FALSE(b.acquire(30));  // another handle in this process: the file lock excludes it
    int counter = 0;
    std::thread other([&] {
        if (a.acquire(5000)) {
            ++counter;
            a.release();
        }
    });
    sleep_ms(20);
    EXPECT_EQ(counter, 0);
    a.release();
    other.join();
    EXPECT_EQ(counter, 1);
    EXPECT_TRUE(b.acquire(1000));
    b.release();
}

}  // namespace
}  // namespace ksw::platform
