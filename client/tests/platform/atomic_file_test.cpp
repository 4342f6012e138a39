#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/atomic_file.h"
#include "support/odd_files.h"

namespace vobu {
namespace {

namespace fs = std::filesystem;

class AtomicFile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vobu-atomic-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    std::string at(const char* name) const { return dir + "/" + name; }
    static std::string slurp(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string dir;
};

TEST_F(AtomicFile, WriteTruncatesAndKeepsEveryByte) {
    std::string bytes(300000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 31);
    ASSERT_TRUE(writeFileDurably(at("f"), bytes));
    EXPECT_EQ(slurp(at("f")), bytes);
    ASSERT_TRUE(writeFileDurably(at("f"), "short"));
    EXPECT_EQ(slurp(at("f")), "short");
    EXPECT_FALSE(writeFileDurably(at("missing/f"), "x"));
    EXPECT_FALSE(writeFileDurably(dir, "x"));  // a folder
    EXPECT_FALSE(writeFileDurably("", "x"));
}

TEST_F(AtomicFile, ReplacingMoveOverwrites) {
    ASSERT_TRUE(writeFileDurably(at("new"), "new"));
    ASSERT_TRUE(writeFileDurably(at("target"), "old"));
    ASSERT_TRUE(moveFileReplacing(at("new"), at("target")));
    EXPECT_EQ(slurp(at("target")), "new");
    EXPECT_FALSE(pathExists(at("new")));
    EXPECT_FALSE(moveFileReplacing(at("new"), at("target")));  // source gone
    EXPECT_EQ(slurp(at("target")), "new");
}

TEST_F(AtomicFile, NonReplacingMoveLetsTheExistingFileWin) {
    ASSERT_TRUE(writeFileDurably(at("a"), "first"));
    ASSERT_TRUE(moveFileWithoutReplacing(at("a"), at("backup")));
    EXPECT_FALSE(pathExists(at("a")));
    ASSERT_TRUE(writeFileDurably(at("b"), "second"));
    EXPECT_FALSE(moveFileWithoutReplacing(at("b"), at("backup")));
    EXPECT_EQ(slurp(at("backup")), "first");
    EXPECT_EQ(slurp(at("b")), "second");
    // A dangling link is a name too.
    ASSERT_EQ(::symlink("nowhere", at("link").c_str()), 0);
    EXPECT_FALSE(moveFileWithoutReplacing(at("b"), at("link")));
}

TEST_F(AtomicFile, SecondNameKeepsContentWhenTheFirstIsReplaced) {
    ASSERT_TRUE(writeFileDurably(at("file"), "original"));
    ASSERT_TRUE(keepFileWithoutReplacing(at("file"), at("kept"), systemFileCalls()));
    ASSERT_TRUE(replaceFileAtomically(at("file"), at("file.tmp"), "new"));
    EXPECT_EQ(slurp(at("kept")), "original");
    EXPECT_EQ(slurp(at("file")), "new");
    EXPECT_FALSE(keepFileWithoutReplacing(at("file"), at("kept"), systemFileCalls()));
    EXPECT_EQ(slurp(at("kept")), "original");
    EXPECT_FALSE(keepFileWithoutReplacing(dir, at("folder-link"), systemFileCalls()));  // folders have one name
}

TEST_F(AtomicFile, WithoutHardLinksARegularFileIsKeptAsADurableCopy) {
    const FileCalls noLinks = testing::withoutHardLinks();
    std::string bytes(300000, '\0');  // several copy chunks, binary
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7);
    ASSERT_TRUE(writeFileDurably(at("file"), bytes));
    ASSERT_EQ(::chmod(at("file").c_str(), 0600), 0);
    ASSERT_TRUE(keepFileWithoutReplacing(at("file"), at("kept"), noLinks));
    EXPECT_EQ(slurp(at("kept")), bytes);
    EXPECT_EQ(fs::status(at("kept")).permissions() & fs::perms::others_read, fs::perms::none) << "no wider than before";
    ASSERT_TRUE(replaceFileAtomically(at("file"), at("file.tmp"), "new"));
    EXPECT_EQ(slurp(at("kept")), bytes) << "a copy, not the same file";

    // An existing name always wins, a dangling link too.
    EXPECT_FALSE(keepFileWithoutReplacing(at("file"), at("kept"), noLinks));
    EXPECT_EQ(slurp(at("kept")), bytes);
    ASSERT_EQ(::symlink("nowhere", at("dangling").c_str()), 0);
    EXPECT_FALSE(keepFileWithoutReplacing(at("file"), at("dangling"), noLinks));
    EXPECT_FALSE(pathExists(at("nowhere")));
    EXPECT_FALSE(keepFileWithoutReplacing(at("missing"), at("kept-missing"), noLinks));
    EXPECT_FALSE(pathExists(at("kept-missing")));
}

TEST_F(AtomicFile, WithoutHardLinksOnlyRegularFilesAreCopied) {
    // A copy of a FIFO would wait for a writer, one of /dev/zero never end.
    testing::Fifo fifo(at("fifo"));
    ASSERT_TRUE(fifo.made());
    ASSERT_EQ(::symlink("/dev/zero", at("zero").c_str()), 0);
    const FileCalls noLinks = testing::withoutHardLinks();
    for (const char* name : {"fifo", "zero"}) {
        EXPECT_FALSE(keepFileWithoutReplacing(at(name), at("kept"), noLinks)) << name;
        EXPECT_FALSE(pathExists(at("kept"))) << name << ": nothing half made is left";
    }
    EXPECT_FALSE(keepFileWithoutReplacing(dir, at("kept"), noLinks));
    EXPECT_FALSE(fifo.readerWaited());
    // Where links work, any kind of file keeps its second name.
    ASSERT_TRUE(keepFileWithoutReplacing(at("fifo"), at("kept"), systemFileCalls()));
    EXPECT_TRUE(testing::isFifo(at("kept")));
}

TEST_F(AtomicFile, OnlyRegularFilesAreReadAndNeverPastTheLimit) {
    testing::Fifo fifo(at("fifo"));
    ASSERT_TRUE(fifo.made());
    ASSERT_EQ(::symlink("/dev/zero", at("zero").c_str()), 0);
    ASSERT_EQ(::symlink("fifo", at("to-fifo").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", at("dangling").c_str()), 0);
    ASSERT_TRUE(writeFileDurably(at("ten"), "0123456789"));
    ASSERT_EQ(::symlink("ten", at("to-ten").c_str()), 0);
    struct Case {
        const char* name;
        uint64_t limit;
        bool exists;
        bool whole;
        std::string bytes;
    };
    const Case cases[] = {
        {"missing", 100, false, true, ""},
        {"dangling", 100, false, true, ""},
        {"ten", 100, true, true, "0123456789"},
        {"ten", 10, true, true, "0123456789"},
        {"ten", 9, true, false, "012345678"},
        {"ten", 3, true, false, "012"},
        {"ten", 0, true, false, ""},
        {"to-ten", 100, true, true, "0123456789"},
        {"fifo", 100, true, false, ""},
        {"to-fifo", 100, true, false, ""},
        {"zero", 1 << 20, true, false, ""},
        {"", 100, false, false, ""},
    };
    for (const Case& k : cases) {
        for (size_t chunk : {size_t(1), size_t(4), size_t(4096)}) {
            FileRead read = readRegularFile(k.name[0] ? at(k.name) : std::string(), chunk, k.limit);
            std::string what =
                std::string(k.name) + " limit " + std::to_string(k.limit) + " chunk " + std::to_string(chunk);
            EXPECT_EQ(read.identity.exists, k.exists) << what;
            EXPECT_EQ(read.whole, k.whole) << what;
            EXPECT_EQ(read.bytes, k.bytes) << what;
        }
    }
    FileRead folder = readRegularFile(dir, 4096, 100);
    EXPECT_FALSE(folder.whole);
    EXPECT_TRUE(folder.identity.exists);
    EXPECT_FALSE(fifo.readerWaited());
}

TEST_F(AtomicFile, IdentityTellsEveryKindOfChange) {
    EXPECT_FALSE(identifyFile(at("f")).exists);
    FileIdentity written;
    ASSERT_TRUE(replaceFileAtomically(at("f"), at("f.tmp"), "first", &written));
    const FileIdentity first = identifyFile(at("f"));
    EXPECT_TRUE(first.exists);
    EXPECT_EQ(written, first) << "what was written is what the name names";
    EXPECT_EQ(readRegularFile(at("f"), 4096, 100).identity, first);
    EXPECT_EQ(identifyFile(at("f")), first) << "looking changes nothing";

    // Replaced by another file of the same size and time.
    ASSERT_TRUE(writeFileDurably(at("other"), "other"));
    struct timespec times[2] = {{first.modifiedSeconds, first.modifiedNanoseconds},
                                {first.modifiedSeconds, first.modifiedNanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, at("other").c_str(), times, 0), 0);
    ASSERT_TRUE(moveFileReplacing(at("other"), at("f")));
    const FileIdentity replaced = identifyFile(at("f"));
    EXPECT_NE(replaced, first);
    EXPECT_NE(replaced.inode, first.inode);

    // Rewritten in place: the same file, another size.
    { std::ofstream(at("f"), std::ios::binary | std::ios::app) << "!"; }
    const FileIdentity grown = identifyFile(at("f"));
    EXPECT_EQ(grown.inode, replaced.inode);
    EXPECT_NE(grown, replaced);

    // The same size, only the time a nanosecond later.
    struct timespec later[2] = {{grown.modifiedSeconds, grown.modifiedNanoseconds},
                                {grown.modifiedSeconds, grown.modifiedNanoseconds + 1}};
    if (later[1].tv_nsec == 1000000000) later[1] = {grown.modifiedSeconds + 1, 0};
    ASSERT_EQ(::utimensat(AT_FDCWD, at("f").c_str(), later, 0), 0);
    EXPECT_NE(identifyFile(at("f")), grown);

    fs::remove(at("f"));
    EXPECT_EQ(identifyFile(at("f")), FileIdentity{});
}

TEST_F(AtomicFile, ExistenceTest) {
    EXPECT_FALSE(pathExists(at("none")));
    EXPECT_FALSE(pathExists(""));
    EXPECT_TRUE(pathExists(dir));
    ASSERT_EQ(::symlink("nowhere", at("dangling").c_str()), 0);
    EXPECT_TRUE(pathExists(at("dangling")));
}

TEST_F(AtomicFile, ReplaceAtomicallyLeavesTargetOnFailure) {
    ASSERT_TRUE(replaceFileAtomically(at("t"), at("t.tmp"), "one"));
    EXPECT_EQ(slurp(at("t")), "one");
    EXPECT_FALSE(pathExists(at("t.tmp")));
    fs::create_directories(at("t.tmp") + "/x");  // the temporary name is taken by a folder
    EXPECT_FALSE(replaceFileAtomically(at("t"), at("t.tmp"), "two"));
    EXPECT_EQ(slurp(at("t")), "one");
    EXPECT_TRUE(pathExists(at("t.tmp") + "/x")) << "what it did not make is left alone";
}

TEST_F(AtomicFile, AWriteThatFailsPartWayLeavesNoTemporaryFile) {
    ASSERT_TRUE(replaceFileAtomically(at("t"), at("t.tmp"), "old"));
    // The disk fills up in the middle of the write, at once, and in the
    // last call of a write that needs several.
    for (size_t room : {size_t(0), size_t(1000), size_t(99999)}) {
        EXPECT_FALSE(replaceFileAtomically(at("t"), at("t.tmp"), std::string(100000, 'n'), nullptr,
                                           testing::diskFullAfter(room)))
            << room;
        EXPECT_FALSE(pathExists(at("t.tmp"))) << room << ": it would take the space the next write needs";
        EXPECT_EQ(slurp(at("t")), "old") << room;
    }
    // The move fails: the finished temporary file goes too.
    fs::create_directories(at("dir/x"));
    EXPECT_FALSE(replaceFileAtomically(at("dir"), at("dir.tmp"), "bytes"));
    EXPECT_FALSE(pathExists(at("dir.tmp")));

    // Keeping a file as a copy that fails part of the way leaves no half copy.
    ASSERT_TRUE(writeFileDurably(at("file"), std::string(300000, 'f')));
    FileCalls calls = testing::withoutHardLinks();
    calls.write = testing::diskFullAfter(70000).write;
    EXPECT_FALSE(keepFileWithoutReplacing(at("file"), at("kept"), calls));
    EXPECT_FALSE(pathExists(at("kept")));
}

}  // namespace
}  // namespace vobu
