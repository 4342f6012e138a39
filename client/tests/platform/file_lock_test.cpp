#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/file_lock.h"
#include "support/odd_files.h"

namespace vobu {
namespace {

namespace fs = std::filesystem;

class FileLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vobu-lock-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        lockFile = dir + "/lock";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    std::string dir;
    std::string lockFile;
};

TEST_F(FileLockTest, OneHolderAtATimeEvenInOneProcess) {
    FileLock first = FileLock::acquire(lockFile, 0);
    ASSERT_TRUE(first.held());
    // Locks belong to the open file, so a second open waits like another
    // process would.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(FileLock::acquire(lockFile, 60).held());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(55)) << "it waited";

    FileLock moved = std::move(first);
    EXPECT_FALSE(first.held());
    EXPECT_FALSE(FileLock::acquire(lockFile, 0).held()) << "moving keeps the lock";
    moved = FileLock();
    EXPECT_TRUE(FileLock::acquire(lockFile, 0).held()) << "let go with the last owner";
    EXPECT_TRUE(fs::exists(lockFile)) << "the lock file stays";
}

TEST_F(FileLockTest, AWaitEndsOnceTheHolderLetsGo) {
    FileLock holder = FileLock::acquire(lockFile, 0);
    ASSERT_TRUE(holder.held());
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        holder = FileLock();
    });
    EXPECT_TRUE(FileLock::acquire(lockFile, 5000).held());
    release.join();
}

TEST_F(FileLockTest, NothingButARegularFileIsALockFile) {
    testing::Fifo fifo(lockFile);
    ASSERT_TRUE(fifo.made());
    EXPECT_FALSE(FileLock::acquire(lockFile, 0).held());
    EXPECT_FALSE(FileLock::acquire(dir, 0).held()) << "a folder";
    EXPECT_FALSE(FileLock::acquire(dir + "/missing/lock", 0).held()) << "no folder to make it in";
    EXPECT_FALSE(FileLock::acquire("", 0).held());
    EXPECT_FALSE(fifo.readerWaited());
}

}  // namespace
}  // namespace vobu
