#include <unistd.h>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "character/user_files.h"
#include "storage_fixture.h"
#include "support/odd_files.h"

namespace vobu {
namespace {

using testing::StorageTest;

using UserFiles = StorageTest;

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
    std::string bytes = "stale";
    EXPECT_TRUE(readCharactersFileWhole(bytes));  // missing: nothing to lose
    EXPECT_EQ(bytes, "");
    put(path, "content");
    EXPECT_TRUE(readCharactersFileWhole(bytes));
    EXPECT_EQ(bytes, "content");
    std::filesystem::remove(path);
    block(path);  // opens, but every read fails
    EXPECT_FALSE(readCharactersFileWhole(bytes));
    EXPECT_EQ(readCharactersFile(), "");
}

TEST_F(UserFiles, FailedWriteLeavesTheFileAsItWas) {
    ASSERT_TRUE(writeCharactersFile("old bytes"));
    block(path + ".tmp");  // the temporary file cannot be opened
    EXPECT_FALSE(writeCharactersFile("new bytes"));
    EXPECT_EQ(slurp(path), "old bytes");
    EXPECT_TRUE(exists(path + ".tmp"));
    unblock(path + ".tmp");
    // A temporary file left behind by a failed write is reused.
    put(path + ".tmp", "leftover from before, longer than the new content");
    ASSERT_TRUE(writeCharactersFile("new bytes"));
    EXPECT_EQ(slurp(path), "new bytes");
}

TEST_F(UserFiles, FailedMoveLeavesTheTemporaryFile) {
    block(path);  // a folder with content cannot be replaced by a file
    EXPECT_FALSE(writeCharactersFile("bytes"));
    EXPECT_EQ(slurp(path + ".tmp"), "bytes");
}

TEST_F(UserFiles, BackupIsWrittenOnceAndNeverReplaced) {
    ASSERT_TRUE(backupCharactersFile("first"));
    EXPECT_EQ(slurp(path + ".pre64.bak"), "first");
    EXPECT_FALSE(exists(path + ".backup.tmp"));
    EXPECT_TRUE(backupCharactersFile("second"));
    EXPECT_EQ(slurp(path + ".pre64.bak"), "first");
    EXPECT_FALSE(exists(path + ".backup.tmp"));  // nothing written at all
}

TEST_F(UserFiles, BackupFailureLeavesNoBackup) {
    block(path + ".backup.tmp");
    EXPECT_FALSE(backupCharactersFile("bytes"));
    EXPECT_FALSE(exists(path + ".pre64.bak"));
}

TEST_F(UserFiles, AnythingOfTheBackupNameCounts) {
    block(path + ".pre64.bak");
    EXPECT_TRUE(backupCharactersFile("bytes"));
    EXPECT_FALSE(exists(path + ".backup.tmp"));
}

TEST_F(UserFiles, UnreadBackupsNeverReplaceEachOther) {
    ASSERT_TRUE(backupUnreadCharactersFile("one"));
    EXPECT_EQ(slurp(path + ".unread.bak"), "one");
    ASSERT_TRUE(backupUnreadCharactersFile("one"));  // same bytes: already kept
    EXPECT_FALSE(exists(path + ".unread-2.bak"));
    ASSERT_TRUE(backupUnreadCharactersFile("two"));
    EXPECT_EQ(slurp(path + ".unread.bak"), "one");
    EXPECT_EQ(slurp(path + ".unread-2.bak"), "two");
    ASSERT_TRUE(backupUnreadCharactersFile("three"));
    EXPECT_EQ(slurp(path + ".unread-3.bak"), "three");
    ASSERT_TRUE(backupUnreadCharactersFile("two"));
    EXPECT_FALSE(exists(path + ".unread-4.bak"));
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
        std::string whole = "stale";
        EXPECT_EQ(readServersFileWhole(whole), k.read == k.size) << k.size;
        EXPECT_EQ(whole, bytes.substr(0, k.read)) << k.size;
    }
    EXPECT_FALSE(exists(path + ".servers.tmp"));
    EXPECT_EQ(slurp(path + ".servers").size(), 20000u);
}

TEST_F(UserFiles, UnreadableServersFileIsKeptUnderFreeNamesBeside) {
    std::string whole = "stale";
    EXPECT_TRUE(readServersFileWhole(whole));  // missing: nothing to lose
    EXPECT_EQ(whole, "");
    std::string kept = "stale";
    EXPECT_TRUE(keepUnreadableServersFile(kept)) << "nothing there to keep";
    EXPECT_EQ(kept, "");

    const std::string first(20000, 'x');
    put(path + ".servers", first);
    ASSERT_TRUE(keepUnreadableServersFile(kept));
    EXPECT_EQ(kept, path + ".servers.unread.bak");
    ASSERT_TRUE(writeServersFile("[]"));
    EXPECT_EQ(slurp(path + ".servers.unread.bak"), first) << "kept whole, and untouched by the rewrite";

    put(path + ".servers", "second");
    ASSERT_TRUE(keepUnreadableServersFile(kept));
    EXPECT_EQ(kept, path + ".servers.unread-2.bak");
    EXPECT_EQ(slurp(path + ".servers.unread.bak"), first);
    EXPECT_EQ(slurp(path + ".servers.unread-2.bak"), "second");
    EXPECT_FALSE(exists(path + ".unread.bak")) << "the characters file's names stay free";
}

TEST_F(UserFiles, ServersFileFailedWrite) {
    ASSERT_TRUE(writeServersFile("[\"ws://a/vobu\"]"));
    block(path + ".servers.tmp");
    EXPECT_FALSE(writeServersFile("[]"));
    EXPECT_EQ(readServersFile(), "[\"ws://a/vobu\"]");
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
            std::string bytes = "stale";
            bool whole = file == path ? readCharactersFileWhole(bytes) : readServersFileWhole(bytes);
            EXPECT_FALSE(whole) << odd.what << " as " << file;
            EXPECT_EQ(bytes, "") << odd.what << " as " << file;
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
    std::string read;
    EXPECT_TRUE(readCharactersFileWhole(read));
    EXPECT_EQ(read.size(), bytes.size());
    EXPECT_EQ(read.back(), 'e');
    put(path, bytes + "x");
    EXPECT_FALSE(readCharactersFileWhole(read));
    EXPECT_LE(read.size(), kMaxCharactersFileBytes);
}

TEST_F(UserFiles, ReadAndWriteTellTheFileTheyMet) {
    FileIdentity seen;
    std::string bytes;
    ASSERT_TRUE(readCharactersFileWhole(bytes, &seen));
    EXPECT_FALSE(seen.exists);
    EXPECT_EQ(charactersFileIdentity(), seen);
    FileIdentity written;
    ASSERT_TRUE(writeCharactersFile("mine", &written));
    EXPECT_EQ(charactersFileIdentity(), written);
    ASSERT_TRUE(readCharactersFileWhole(bytes, &seen));
    EXPECT_EQ(seen, written);
    put(path, "someone else's, longer");
    EXPECT_NE(charactersFileIdentity(), written);

    std::string text;
    ASSERT_TRUE(writeServersFile("[]", &written));
    EXPECT_EQ(serversFileIdentity(), written);
    ASSERT_TRUE(readServersFileWhole(text, &seen));
    EXPECT_EQ(seen, written);
    EXPECT_NE(serversFileIdentity(), charactersFileIdentity());
}

TEST_F(UserFiles, WithoutHardLinksUnreadableFilesAreKeptAsCopies) {
    const FileCalls noLinks = testing::withoutHardLinks();
    const std::string servers(20000, 's');
    put(path + ".servers", servers);
    std::string kept;
    ASSERT_TRUE(keepUnreadableServersFile(kept, noLinks));
    EXPECT_EQ(kept, path + ".servers.unread.bak");
    EXPECT_EQ(slurp(kept), servers);
    ASSERT_TRUE(keepUnreadableServersFile(kept, noLinks));
    EXPECT_EQ(kept, path + ".servers.unread-2.bak") << "an existing backup is never replaced";

    put(path, "characters");
    ASSERT_TRUE(keepUnreadableCharactersFile(kept, noLinks));
    EXPECT_EQ(kept, path + ".unread.bak");
    EXPECT_EQ(slurp(kept), "characters");

    // A FIFO cannot be copied: refused, and no backup name is used up.
    std::filesystem::remove(path);
    testing::Fifo fifo(path);
    EXPECT_FALSE(keepUnreadableCharactersFile(kept, noLinks));
    EXPECT_FALSE(exists(path + ".unread-2.bak"));
    EXPECT_FALSE(fifo.readerWaited());
    ASSERT_TRUE(keepUnreadableCharactersFile(kept));
    EXPECT_EQ(kept, path + ".unread-2.bak");
    EXPECT_TRUE(testing::isFifo(kept));

    // Nothing there any more: nothing to keep, and nothing lost.
    std::filesystem::remove(path);
    ASSERT_TRUE(keepUnreadableCharactersFile(kept, noLinks));
    EXPECT_EQ(kept, "");
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
    EXPECT_FALSE(backupCharactersFile("x"));
    EXPECT_FALSE(backupUnreadCharactersFile("x"));
    std::string kept;
    EXPECT_FALSE(keepUnreadableServersFile(kept));
    ::unlink(pattern);
}

}  // namespace
}  // namespace vobu
