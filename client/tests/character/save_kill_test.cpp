// A process killed at any moment of a save leaves the characters file whole:
// either the old or the new version, never a torn one.

#include <chrono>
#include <random>
#include <thread>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "character/character_library.h"
#include "storage_fixture.h"

extern char** environ;

namespace vobu {
namespace {

using SaveKill = testing::StorageTest;

// The saver's files carry one character whose name and paint agree.
void expectWholeFile() {
    CharacterLibrary library;
    library.load();
    ASSERT_EQ(library.error, "");
    ASSERT_EQ(library.characters.size(), 1u);
    const Character& c = library.characters[0];
    EXPECT_EQ(c.id, "kill-test");
    ASSERT_FALSE(c.name.empty());
    uint32_t paint = c.name[0] == 'B' ? 0x00FF00u : 0x0000FFu;
    for (const auto& face : c.faces) {
        for (uint32_t texel : face) {
            ASSERT_EQ(texel, paint) << c.name;
        }
    }
}

TEST_F(SaveKill, KilledAtRandomMomentsTheFileStaysWhole) {
    std::string const saver = std::string(VOBU_BIN_DIR) + "/character_save_loop";
    ASSERT_EQ(::access(saver.c_str(), X_OK), 0) << saver;
    std::string const ready = root + "/ready";
    std::mt19937 random(4242);
    int torn = 0;  // rounds that ended with a temporary file mid-write
    for (int round = 0; round < 40; ++round) {
        ::unlink(ready.c_str());
        pid_t pid = 0;
        char* argv[] = {const_cast<char*>(saver.c_str()), const_cast<char*>(ready.c_str()), nullptr};
        ASSERT_EQ(::posix_spawn(&pid, saver.c_str(), nullptr, nullptr, argv, environ), 0);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!exists(ready) && std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "the saver stopped by itself";
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ASSERT_TRUE(exists(ready)) << "the saver never finished its first save";
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 25000));
        ASSERT_EQ(::kill(pid, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status));
        if (exists(path + ".tmp")) {
            ++torn;
        }
        expectWholeFile();
        if (HasFatalFailure()) {
            return;
        }
    }
    std::printf("killed 40 savers, %d of them with a temporary file left\n", torn);
}

}  // namespace
}  // namespace vobu
