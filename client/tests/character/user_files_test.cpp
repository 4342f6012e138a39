#include <unistd.h>

#include <functional>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "character/user_files.h"
#include "character/watched_file.h"
#include "storage_fixture.h"
#include "support/odd_files.h"

namespace vobu {
namespace {

using testing::StorageTest;

using UserFiles = StorageTest;

// One change that writes `bytes` and takes no file written meanwhile.
WatchedFile::Result writeThrough(WatchedFile& file, const std::string& bytes) {
    return file.apply([](const std::string&) { return false; },
                      [&](WatchedFile::Edit& edit) {
                          edit.write = true;
                          edit.bytes = bytes;
                          return true;
                      });
}

TEST_F(UserFiles, PathsLiveInThePreferenceFolder) {
    EXPECT_EQ(path, root + "/VobuOrchard/VobuOrchard/characters.json");
}

TEST_F(UserFiles, CharactersFileRoundTripAndAtomicReplacement) {
    EXPECT_EQ(readCharactersFile(), "");
    std::string big(100000, 'x');
    big[4095] = '\0';  // binary safe, across a chunk boundary
    ASSERT_TRUE(writeCharactersFile(big));
    EXPECT_EQ(readCharactersFile(), big);
    EXPECT_FALSE(exists(path + ".tmp"));  // moved, not copied
    ASSERT_TRUE(writeCharactersFile("second"));
    EXPECT_EQ(slurp(path), "second");
    ASSERT_TRUE(writeCharactersFile(""));
    EXPECT_EQ(slurp(path), "");
    EXPECT_TRUE(exists(path));
}

TEST_F(UserFiles, WholeReadTellsMissingFromUnreadable) {
    FileRead read = watchedCharactersFile().read();
    EXPECT_TRUE(read.whole);  // missing: nothing to lose
    EXPECT_EQ(read.bytes, "");
    put(path, "content");
    read = watchedCharactersFile().read();
    EXPECT_TRUE(read.whole);
    EXPECT_EQ(read.bytes, "content");
    std::filesystem::remove(path);
    block(path);  // opens, but every read fails
    EXPECT_FALSE(watchedCharactersFile().read().whole);
    EXPECT_EQ(readCharactersFile(), "");
}

TEST_F(UserFiles, NothingAtTheTemporaryNamesStopsAWriteOrIsFollowed) {
    // A FIFO would hold the window (and the folder's lock) for good; a link
    // would have its target outside the folder overwritten and become the
    // file; a folder cannot be removed and the write takes another name.
    const std::string outside = root + "/outside";
    put(outside, "not the client's");
    for (const std::string& temporary : {path + ".tmp", path + ".servers.tmp", path + ".backup.tmp"}) {
        struct Odd {
            const char* what;
            std::function<void()> make;
        };
        std::unique_ptr<testing::Fifo> fifo;
        const Odd odds[] = {
            {"a FIFO", [&] { fifo = std::make_unique<testing::Fifo>(temporary); }},
            {"a link out of the folder", [&] { ASSERT_EQ(::symlink(outside.c_str(), temporary.c_str()), 0); }},
            {"a folder", [&] { block(temporary); }},
            {"a leftover", [&] { put(temporary, "leftover from before, longer than the new content"); }},
        };
        for (const Odd& odd : odds) {
            const std::string what = std::string(odd.what) + " as " + temporary;
            odd.make();
            std::filesystem::remove(path + ".pre64.bak");
            ASSERT_TRUE(writeCharactersFile("characters")) << what;
            ASSERT_TRUE(writeServersFile("servers")) << what;
            ASSERT_TRUE(backupCharactersFile("backup", true)) << what;
            EXPECT_EQ(slurp(path), "characters") << what;
            EXPECT_EQ(slurp(path + ".servers"), "servers") << what;
            EXPECT_EQ(slurp(path + ".pre64.bak"), "backup") << what;
            for (const std::string& file : {path, path + ".servers", path + ".pre64.bak"}) {
                EXPECT_FALSE(std::filesystem::is_symlink(file)) << what;
            }
            EXPECT_EQ(slurp(outside), "not the client's") << what;
            if (fifo) {
                EXPECT_FALSE(fifo->readerWaited()) << what;
            }
            fifo.reset();
            std::filesystem::remove_all(temporary);
        }
    }
}

TEST_F(UserFiles, AFailedWriteLeavesNoTemporaryFile) {
    block(path);  // a folder with content cannot be replaced by a file
    EXPECT_FALSE(writeCharactersFile("bytes"));
    EXPECT_FALSE(exists(path + ".tmp")) << "written whole, then not moved";
    unblock(path);

    // A full disk: the temporary file would take the space the next,
    // smaller write needs.
    ASSERT_TRUE(writeServersFile("[]"));
    WatchedFile servers = watchedServersFile();
    servers.read();
    servers.calls = testing::diskFullAfter(100);
    EXPECT_EQ(writeThrough(servers, std::string(5000, 's')), WatchedFile::Result::NotWritten);
    EXPECT_FALSE(exists(path + ".servers.tmp"));
    EXPECT_EQ(slurp(path + ".servers"), "[]");
}

TEST_F(UserFiles, BackupIsWrittenOnceAndNeverReplaced) {
    ASSERT_TRUE(backupCharactersFile("first", true));
    EXPECT_EQ(slurp(path + ".pre64.bak"), "first");
    EXPECT_FALSE(exists(path + ".backup.tmp"));
    EXPECT_TRUE(backupCharactersFile("second", true));
    EXPECT_EQ(slurp(path + ".pre64.bak"), "first");
    EXPECT_FALSE(exists(path + ".backup.tmp"));  // nothing written at all
}

TEST_F(UserFiles, BackupFailureLeavesNoBackup) {
    for (bool locked : {true, false}) {
        EXPECT_FALSE(backupCharactersFile("bytes", locked, testing::diskFullAfter(2))) << locked;
        EXPECT_FALSE(exists(path + ".pre64.bak")) << locked;
        EXPECT_FALSE(exists(path + ".backup.tmp")) << locked;
        EXPECT_FALSE(exists(ownTemporaryName(path + ".backup.tmp", 1))) << locked;
    }
}

TEST_F(UserFiles, AnythingOfTheBackupNameCounts) {
    block(path + ".pre64.bak");
    EXPECT_TRUE(backupCharactersFile("bytes", true));
    EXPECT_FALSE(exists(path + ".backup.tmp"));
}

TEST_F(UserFiles, ServersFileIsReadUpToItsLimit) {
    struct Case {
        size_t size;
        size_t read;
    };
    for (Case k : {Case{0, 0}, Case{1023, 1023}, Case{16383, 16383}, Case{16384, 16384}, Case{16385, 16384},
                   Case{20000, 16384}}) {
        std::string bytes(k.size, 'a');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char('a' + i % 26);
        ASSERT_TRUE(writeServersFile(bytes));
        EXPECT_EQ(readServersFile(), bytes.substr(0, k.read)) << k.size;
        FileRead read = watchedServersFile().read();
        EXPECT_EQ(read.whole, k.read == k.size) << k.size;
        EXPECT_EQ(read.bytes, bytes.substr(0, k.read)) << k.size;
    }
    EXPECT_FALSE(exists(path + ".servers.tmp"));
    EXPECT_EQ(slurp(path + ".servers").size(), 20000u);
}

TEST_F(UserFiles, UnreadableServersFileIsKeptUnderFreeNamesBeside) {
    WatchedFile servers = watchedServersFile();
    EXPECT_TRUE(servers.read().whole);  // missing: nothing to lose
    ASSERT_EQ(writeThrough(servers, "[]"), WatchedFile::Result::Written);
    EXPECT_FALSE(exists(path + ".servers.unread.bak")) << "nothing there to keep";

    const std::string first(20000, 'x');
    put(path + ".servers", first);
    EXPECT_FALSE(servers.read().whole);
    ASSERT_EQ(writeThrough(servers, "[]"), WatchedFile::Result::Written);
    EXPECT_EQ(slurp(path + ".servers.unread.bak"), first) << "kept whole, and untouched by the rewrite";

    put(path + ".servers", "second");  // changed, and no list
    ASSERT_EQ(writeThrough(servers, "[]"), WatchedFile::Result::Written);
    EXPECT_EQ(slurp(path + ".servers.unread.bak"), first);
    EXPECT_EQ(slurp(path + ".servers.unread-2.bak"), "second");
    EXPECT_FALSE(exists(path + ".unread.bak")) << "the characters file's names stay free";
}

TEST_F(UserFiles, AWriteThatCannotBeFinishedIsNoChange) {
    // Not a byte written, a flush that fails, a close that reports an
    // error: the file stays as it was and the change is refused.
    ASSERT_TRUE(writeServersFile("[\"ws://a/vobu\"]"));
    WatchedFile servers = watchedServersFile();
    servers.read();
    for (const FileCalls& failing :
         {testing::diskFullAfter(0), testing::failingFlush(false), testing::failingClose()}) {
        servers.calls = failing;
        EXPECT_EQ(writeThrough(servers, "[]"), WatchedFile::Result::NotWritten);
        EXPECT_EQ(readServersFile(), "[\"ws://a/vobu\"]");
    }
}

TEST_F(UserFiles, WhatIsNoRegularFileIsUnreadableAndNeverWaitedOn) {
    // Under both names: a FIFO (a reader would wait for a writer), a link to
    // /dev/zero (a reader would never reach the end) and a folder.
    for (const std::string& file : {path, path + ".servers"}) {
        struct Odd {
            const char* what;
            std::function<void()> make;
        };
        std::unique_ptr<testing::Fifo> fifo;
        const Odd odds[] = {
            {"a FIFO", [&] { fifo = std::make_unique<testing::Fifo>(file); }},
            {"a link to /dev/zero", [&] { ASSERT_EQ(::symlink("/dev/zero", file.c_str()), 0); }},
            {"a folder", [&] { block(file); }},
        };
        for (const Odd& odd : odds) {
            odd.make();
            FileRead read = (file == path ? watchedCharactersFile() : watchedServersFile()).read();
            EXPECT_FALSE(read.whole) << odd.what << " as " << file;
            EXPECT_EQ(read.bytes, "") << odd.what << " as " << file;
            EXPECT_EQ(file == path ? readCharactersFile() : readServersFile(), "") << odd.what << " as " << file;
            if (fifo) {
                EXPECT_FALSE(fifo->readerWaited()) << file;
            }
            fifo.reset();
            std::filesystem::remove_all(file);
        }
    }
}

TEST_F(UserFiles, CharactersFileIsReadUpToItsLimit) {
    // Far above any library this client writes: still read whole at the
    // limit, and a byte more makes it unreadable.
    static_assert(kMaxCharactersFileBytes == 16u * 1024 * 1024);
    std::string bytes(kMaxCharactersFileBytes, 'c');
    bytes.back() = 'e';
    put(path, bytes);
    FileRead read = watchedCharactersFile().read();
    EXPECT_TRUE(read.whole);
    EXPECT_EQ(read.bytes.size(), bytes.size());
    EXPECT_EQ(read.bytes.back(), 'e');
    put(path, bytes + "x");
    read = watchedCharactersFile().read();
    EXPECT_FALSE(read.whole);
    EXPECT_LE(read.bytes.size(), kMaxCharactersFileBytes);
}

TEST_F(UserFiles, WithoutHardLinksUnreadableFilesAreKeptAsCopies) {
    const std::string servers(20000, 's');
    put(path + ".servers", servers);
    WatchedFile list = watchedServersFile();
    list.calls = testing::withoutHardLinks();
    list.read();
    ASSERT_EQ(writeThrough(list, "[]"), WatchedFile::Result::Written);
    EXPECT_EQ(slurp(path + ".servers.unread.bak"), servers);

    put(path, "characters");
    WatchedFile characters = watchedCharactersFile();
    characters.calls = testing::withoutHardLinks();
    characters.read();
    characters.keepAsideBeforeWrite();
    ASSERT_EQ(writeThrough(characters, "{}"), WatchedFile::Result::Written);
    EXPECT_EQ(slurp(path + ".unread.bak"), "characters");

    // A FIFO cannot be copied: refused, and no backup name is used up.
    std::filesystem::remove(path);
    testing::Fifo fifo(path);
    EXPECT_EQ(writeThrough(characters, "{}"), WatchedFile::Result::NotKept);
    EXPECT_FALSE(exists(path + ".unread-2.bak"));
    EXPECT_FALSE(fifo.readerWaited());
    characters.calls = systemFileCalls();
    ASSERT_EQ(writeThrough(characters, "{}"), WatchedFile::Result::Written);
    EXPECT_TRUE(testing::isFifo(path + ".unread-2.bak"));

    // A copy that fails part of the way leaves no half backup behind.
    put(path, std::string(300000, 'c'));
    characters.calls = testing::withoutHardLinks();
    characters.calls.write = testing::diskFullAfter(70000).write;
    EXPECT_EQ(writeThrough(characters, "{}"), WatchedFile::Result::NotKept);
    EXPECT_FALSE(exists(path + ".unread-3.bak"));
    EXPECT_EQ(slurp(path).size(), 300000u);
}

TEST_F(UserFiles, AFileWhoseKeepingCannotBeFlushedIsNotReplaced) {
    // The second name is there but may not survive a crash: the file stays
    // as it is, and no further names are used up trying.
    const std::string unread(20000, 'x');
    put(path + ".servers", unread);
    WatchedFile servers = watchedServersFile();
    servers.read();
    servers.calls = testing::failingFlush(true);
    EXPECT_EQ(writeThrough(servers, "[]"), WatchedFile::Result::NotKept);
    EXPECT_EQ(slurp(path + ".servers"), unread);
    EXPECT_FALSE(exists(unreadBackupName(path + ".servers", 2)));
}

TEST_F(UserFiles, AFileGoneOrEmptiedIsNotHandedToItsOwner) {
    // Only another program leaves an empty file: taken as an empty document
    // it would drop everything the window has. Like a removed file, it
    // leaves the owner's view to be written.
    for (WatchedFile file : {watchedCharactersFile(), watchedServersFile()}) {
        struct Case {
            const char* what;
            std::function<void()> change;
        };
        const Case cases[] = {
            {"emptied", [&] { put(file.path(), ""); }},
            {"removed", [&] { std::filesystem::remove(file.path()); }},
            {"rewritten", [&] { put(file.path(), "theirs"); }},
        };
        for (const Case& c : cases) {
            const std::string what = file.path() + " " + c.what;
            put(file.path(), "seen");
            file.read();
            c.change();
            std::vector<std::string> handed;
            const WatchedFile::Result result = file.apply(
                [&](const std::string& bytes) {
                    handed.push_back(bytes);
                    return true;
                },
                [](WatchedFile::Edit& edit) {
                    edit.write = true;
                    edit.bytes = "mine";
                    return true;
                });
            EXPECT_EQ(result, WatchedFile::Result::Written) << what;
            EXPECT_EQ(handed, std::string(c.what) == "rewritten" ? std::vector<std::string>{"theirs"}
                                                                 : std::vector<std::string>{})
                << what;
            EXPECT_EQ(slurp(file.path()), "mine") << what;
            EXPECT_FALSE(exists(unreadBackupName(file.path(), 1))) << what;
        }
    }
}

TEST(UserFilesWithoutFolder, NothingIsReadOrWritten) {
    char pattern[] = "/tmp/vobu-nofolder-XXXXXX";
    int fd = ::mkstemp(pattern);
    ASSERT_GE(fd, 0);
    ::close(fd);
    // A regular file where the data folder should be: SDL cannot make the
    // preference folder and reports none.
    ::setenv("XDG_DATA_HOME", pattern, 1);
    EXPECT_EQ(storagePath(), "");
    EXPECT_EQ(readCharactersFile(), "");
    EXPECT_EQ(readServersFile(), "");
    EXPECT_FALSE(writeCharactersFile("x"));
    EXPECT_FALSE(writeServersFile("x"));
    EXPECT_FALSE(backupCharactersFile("x", true));
    WatchedFile servers = watchedServersFile();
    EXPECT_TRUE(servers.read().whole);
    EXPECT_EQ(writeThrough(servers, "[]"), WatchedFile::Result::NotWritten);
    ::unlink(pattern);
}

}  // namespace
}  // namespace vobu
