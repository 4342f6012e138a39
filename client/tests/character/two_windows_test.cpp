// Two game windows on one per-user folder: each change is made to the file as
// it is on disk at that moment, under a lock both respect, so neither
// window's characters are lost and nothing is kept aside for the other's
// saves.

#include <chrono>
#include <filesystem>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "character/character_library.h"
#include "storage_fixture.h"
#include "support/log_capture.h"

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
    EXPECT_EQ(library.error, kLibrarySaveError);
    EXPECT_FALSE(library.remove(named("a", "")));
    EXPECT_EQ(library.error, kLibraryDeleteError);
    EXPECT_EQ(slurp(path), two);
    EXPECT_NE(two, before);
    EXPECT_EQ(log.count("Saved characters: the characters file is not changed: the per-user folder could not be "
                        "locked against other game windows"),
              2);
}

}  // namespace
}  // namespace vobu
