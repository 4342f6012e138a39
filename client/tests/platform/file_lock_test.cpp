#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/file_lock.h"
#include "support/as_the_player.h"
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

TEST_F(FileLockTest, WhatGivesNoLockIsUnavailableNotBusy) {
    // Nothing there can be held by anyone, so nothing is waited for.
    testing::Fifo fifo(lockFile);
    ASSERT_TRUE(fifo.made());
    ASSERT_EQ(::symlink("made-outside", (dir + "/dangling").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", (dir + "/to-null").c_str()), 0);
    ASSERT_EQ(::symlink("regular", (dir + "/to-regular").c_str()), 0);
    { std::ofstream(dir + "/regular") << ""; }
    struct Case {
        const char* what;
        std::string path;
    };
    const Case cases[] = {
        {"a FIFO", lockFile},
        {"a folder", dir},
        {"a dangling link", dir + "/dangling"},
        {"a link to /dev/null", dir + "/to-null"},
        {"a link to a regular file", dir + "/to-regular"},
        {"no folder to make it in", dir + "/missing/lock"},
        {"no name", ""},
    };
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        FileLock lock = FileLock::acquire(c.path, 2000);
        EXPECT_EQ(lock.state(), FileLock::State::Unavailable) << c.what;
        EXPECT_FALSE(lock.why().empty()) << c.what;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000)) << c.what << " waited";
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir + "/made-outside"))) << "a link at the name is never followed";
    EXPECT_FALSE(fifo.readerWaited());
}

TEST_F(FileLockTest, TheLockFileIsTheOwnersAlone) {
    // Whoever can open it can hold it and refuse every change.
    ASSERT_TRUE(FileLock::acquire(lockFile, 0).held());
    EXPECT_EQ(fs::status(lockFile).permissions() & fs::perms::mask, fs::perms::owner_read | fs::perms::owner_write);
    // One an earlier version made readable by all is made private.
    ASSERT_EQ(::chmod(lockFile.c_str(), 0644), 0);
    ASSERT_TRUE(FileLock::acquire(lockFile, 0).held());
    EXPECT_EQ(fs::status(lockFile).permissions() & fs::perms::mask, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(FileLockTest, ALockFileThePlayerCannotWriteStillLocks) {
    // Another user's lock file (a start under sudo), or a read-only one:
    // opened for reading it locks all the same; one the player cannot open
    // at all gives no lock, and then nothing waits for it.
    testing::giveToThePlayer(dir);
    struct Case {
        mode_t mode;
        FileLock::State state;
    };
    for (const Case c : {Case{0644, FileLock::State::Held}, Case{0444, FileLock::State::Held},
                         Case{0000, FileLock::State::Unavailable}}) {
        fs::remove(lockFile);
        { std::ofstream(lockFile) << ""; }
        ASSERT_EQ(::chmod(lockFile.c_str(), c.mode), 0);
        const std::string path = lockFile;
        const FileLock::State expected = c.state;
        EXPECT_TRUE(testing::asThePlayer([&] { return FileLock::acquire(path, 0).state() == expected; }))
            << std::oct << c.mode;
        if (expected != FileLock::State::Held) continue;
        // And it excludes: while the other user holds it, the player waits.
        const int other = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(other, 0);
        ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
        EXPECT_TRUE(testing::asThePlayer([&] { return FileLock::acquire(path, 50).state() == FileLock::State::Busy; }))
            << std::oct << c.mode;
        ::close(other);
    }
}

}  // namespace
}  // namespace vobu
