// Two game windows on one per-user folder: each change is made to the file as
// it is on disk at that moment, under a lock both respect, so neither
// window's characters are lost and nothing is kept aside for the other's
// saves.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "character/character_library.h"
#include "storage_fixture.h"
#include "support/as_the_player.h"
#include "support/log_capture.h"
#include "support/odd_files.h"

extern char** environ;

namespace vobu {
namespace {

using TwoWindows = testing::StorageTest;

Character named(const std::string& id, const std::string& name) {
    Character c;
    c.id = id;
    c.name = name;
    uint32_t paint = uint32_t(std::hash<std::string>{}(name)) & 0xFFFFFFu;
    for (auto& face : c.faces) face.assign(face.size(), paint);
    return c;
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

pid_t startRacer(const std::string& prefix, int count) {
    static const std::string racer = std::string(VOBU_BIN_DIR) + "/character_save_race";
    const std::string counted = std::to_string(count);
    char* argv[] = {const_cast<char*>(racer.c_str()), const_cast<char*>(prefix.c_str()),
                    const_cast<char*>(counted.c_str()), nullptr};
    pid_t pid = 0;
    return ::posix_spawn(&pid, racer.c_str(), nullptr, nullptr, argv, environ) == 0 ? pid : -1;
}

// What the racers leave: ids <prefix>0..6, each named after the last save
// that wrote it, painted to match its name.
void expectEveryLastSave(const CharacterLibrary& library, const std::vector<std::string>& prefixes, int count) {
    ASSERT_EQ(library.characters.size(), 7 * prefixes.size());
    for (const std::string& prefix : prefixes) {
        for (int k = 0; k < 7; ++k) {
            int last = k + (count - 1 - k) / 7 * 7;
            Character expected = named(prefix + std::to_string(k), prefix + std::to_string(last));
            auto found = std::find_if(library.characters.begin(), library.characters.end(),
                                      [&](const Character& c) { return c.id == expected.id; });
            ASSERT_NE(found, library.characters.end()) << expected.id;
            EXPECT_EQ(found->name, expected.name);
            EXPECT_EQ(found->faces, expected.faces) << expected.name;
        }
    }
}

TEST_F(TwoWindows, TwoProcessesSavingAtOnceLoseNothing) {
    ASSERT_EQ(::access((std::string(VOBU_BIN_DIR) + "/character_save_race").c_str(), X_OK), 0);
    const std::string folder = std::filesystem::path(path).parent_path();
    constexpr int kSaves = 40;
    for (int round = 0; round < 4; ++round) {
        std::filesystem::remove(path);
        const pid_t first = startRacer("a", kSaves);
        const pid_t second = startRacer("b", kSaves);
        ASSERT_GT(first, 0);
        ASSERT_GT(second, 0);
        // Meanwhile every version of the file is a whole library.
        int looked = 0;
        int running = 2;
        int failures = 0;
        while (running > 0) {
            for (pid_t pid : {first, second}) {
                int status = 0;
                if (::waitpid(pid, &status, WNOHANG) == pid) {
                    --running;
                    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
                }
            }
            CharacterLibrary reader;
            reader.load();
            ASSERT_EQ(reader.error, "") << "round " << round << ", look " << looked;
            ++looked;
        }
        EXPECT_EQ(failures, 0) << "round " << round << ": every save lands";
        CharacterLibrary after;
        after.load();
        expectEveryLastSave(after, {"a", "b"}, kSaves);
        EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"characters.json", "characters.json.lock"}))
            << "round " << round << ": nothing kept aside, no temporary file left";
        if (HasFailure()) return;
    }
}

TEST_F(TwoWindows, TakingTurnsPastAHundredSavesKeepsBothWindowsCharacters) {
    CharacterLibrary left;
    CharacterLibrary right;
    left.load();
    right.load();
    testing::LogCapture log;
    constexpr int kTurns = 150;
    for (int turn = 0; turn < kTurns; ++turn) {
        CharacterLibrary& window = turn % 2 ? right : left;
        const std::string prefix = turn % 2 ? "b" : "a";
        const int n = turn / 2;
        ASSERT_TRUE(window.save(named(prefix + std::to_string(n % 7), prefix + std::to_string(n))))
            << "turn " << turn << ": " << window.error;
        if (n % 10 == 9) {
            ASSERT_TRUE(window.remove(named(prefix + std::to_string(n % 7), ""))) << turn;
            // The window that wrote last shows what the file holds.
            CharacterLibrary file;
            file.load();
            EXPECT_EQ(window.characters.size(), file.characters.size()) << turn;
        }
    }
    EXPECT_EQ(log.count("Saved characters: the characters file changed since it was read; the change is made to it "
                        "as it is now"),
              kTurns - 1);
    const std::string folder = std::filesystem::path(path).parent_path();
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"characters.json", "characters.json.lock"}));
    CharacterLibrary after;
    after.load();
    EXPECT_EQ(after.characters.size(), 14u - 2u) << "both windows' characters, less the two removed last";
    EXPECT_EQ(after.characters.size(), right.characters.size()) << "the last window's view is the file";
}

TEST_F(TwoWindows, AChangeWaitsForTheOtherWindowsWriteAndGivesUpOnAStoppedOne) {
    CharacterLibrary library;
    library.load();
    ASSERT_TRUE(library.save(named("a", "A")));
    const std::string before = slurp(path);

    // Another window is in the middle of a change and lets go soon.
    FileLock other = lockUserFolder(0);
    ASSERT_TRUE(other.held());
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        other = FileLock();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(library.save(named("b", "B"))) << library.error;
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100)) << "it waited";
    release.join();

    // One that stopped holding the lock is waited for only so long.
    other = lockUserFolder(0);
    ASSERT_TRUE(other.held());
    const std::string two = slurp(path);
    library.file.lockWaitMs = 50;
    testing::LogCapture log;
    EXPECT_FALSE(library.save(named("c", "C")));
    EXPECT_EQ(library.error, kUserFilesBusyText) << "the disk is fine: another window has the files";
    library.error.clear();
    EXPECT_FALSE(library.remove(named("a", "")));
    EXPECT_EQ(library.error, kUserFilesBusyText);
    EXPECT_EQ(slurp(path), two);
    EXPECT_NE(two, before);
    EXPECT_EQ(log.count("Saved characters: the characters file is not changed: the per-user folder could not be "
                        "locked against other game windows"),
              2);
}

// Racers on a folder where no lock can be had: every save still lands (what
// one window wrote may be overwritten by the other, which nothing without a
// lock can prevent), and no two writes ever share a temporary file.
TEST_F(TwoWindows, WithoutALockTwoWindowsNeverShareATemporaryFile) {
    const std::string folder = std::filesystem::path(path).parent_path();
    std::filesystem::create_directories(path + ".lock/in-the-way");
    constexpr int kSaves = 40;
    const pid_t first = startRacer("a", kSaves);
    const pid_t second = startRacer("b", kSaves);
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    for (pid_t pid : {first, second}) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a save failed";
    }
    CharacterLibrary after;
    after.load();
    EXPECT_EQ(after.error, "");
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"characters.json", "characters.json.lock"}));
}

// A lock file another user made (a start under sudo), a read-only one, or
// anything else at the lock's name never takes saving away: where it gives
// a lock the change is made under it, else without it, said once a change.
TEST_F(TwoWindows, TheLockFileNeverTakesSavingAway) {
    const std::string folder = std::filesystem::path(path).parent_path();
    const std::string lock = path + ".lock";
    const std::string outside = root + "/made-outside";
    testing::giveToThePlayer(root);
    struct Case {
        const char* what;
        std::function<void()> make;
        bool locked;
    };
    std::unique_ptr<testing::Fifo> fifo;
    const Case cases[] = {
        {"another user's lock file", [&] { put(lock, ""); }, true},
        {"a read-only lock file",
         [&] {
             put(lock, "");
             ::chmod(lock.c_str(), 0444);
         },
         true},
        {"a lock file the player cannot open",
         [&] {
             put(lock, "");
             ::chmod(lock.c_str(), 0);
         },
         false},
        {"a folder", [&] { block(lock); }, false},
        {"a FIFO", [&] { fifo = std::make_unique<testing::Fifo>(lock); }, false},
        {"a link to /dev/null", [&] { ASSERT_EQ(::symlink("/dev/null", lock.c_str()), 0); }, false},
        {"a dangling link", [&] { ASSERT_EQ(::symlink(outside.c_str(), lock.c_str()), 0); }, false},
    };
    for (const Case& c : cases) {
        c.make();
        const bool saved = testing::asThePlayer([&] {
            testing::LogCapture log;
            CharacterLibrary library;
            library.load();
            WatchedFile servers = watchedServersFile();
            servers.read();
            const bool changed = library.save(named("a", c.what)) && library.save(named("b", "B")) &&
                                 library.remove(named("b", "")) &&
                                 servers.apply([](const std::string&) { return false; },
                                               [](WatchedFile::Edit& edit) {
                                                   edit.write = true;
                                                   edit.bytes = "[]";
                                                   return true;
                                               }) == WatchedFile::Result::Written;
            const int unlocked = log.count("Saved characters: the characters file is changed without the lock") +
                                 log.count("Saved servers: the list file is changed without the lock");
            return changed && unlocked == (c.locked ? 0 : 4);
        });
        EXPECT_TRUE(saved) << c.what;
        CharacterLibrary after;
        after.load();
        ASSERT_EQ(after.characters.size(), 1u) << c.what;
        EXPECT_EQ(after.characters[0].name, c.what);
        EXPECT_EQ(slurp(path + ".servers"), "[]") << c.what;
        EXPECT_FALSE(exists(outside)) << c.what << ": the link was followed";
        EXPECT_FALSE(fifo && fifo->readerWaited()) << c.what;
        fifo.reset();
        std::filesystem::remove_all(lock);
        std::filesystem::remove(path + ".servers");
        EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"characters.json"})) << c.what;
    }
}

}  // namespace
}  // namespace vobu
