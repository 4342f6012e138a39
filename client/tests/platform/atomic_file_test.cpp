#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

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
    std::string at(const std::string& name) const { return dir + "/" + name; }
    // The names in the folder that end in ".tmp".
    std::vector<std::string> temporaryFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (entry.path().extension() == ".tmp") names.push_back(entry.path().filename());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    static std::string slurp(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string dir;
};

TEST_F(AtomicFile, ANewFileIsMadeAndNothingThatWasThereIsOpened) {
    std::string bytes(300000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 31);
    ASSERT_TRUE(writeNewFileDurably(at("f"), bytes));
    EXPECT_EQ(slurp(at("f")), bytes);
    EXPECT_FALSE(writeNewFileDurably(at("f"), "short")) << "an existing file";
    EXPECT_EQ(slurp(at("f")), bytes);

    testing::Fifo fifo(at("fifo"));
    ASSERT_TRUE(fifo.made());
    ASSERT_EQ(::symlink("outside", at("dangling").c_str()), 0);
    ASSERT_EQ(::symlink("f", at("to-f").c_str()), 0);
    for (const char* name : {"fifo", "dangling", "to-f"}) {
        EXPECT_FALSE(writeNewFileDurably(at(name), "x")) << name;
    }
    EXPECT_FALSE(pathExists(at("outside"))) << "a dangling link makes no file where it points";
    EXPECT_EQ(slurp(at("f")), bytes) << "nor is a link's target written";
    EXPECT_FALSE(fifo.readerWaited());
    EXPECT_FALSE(writeNewFileDurably(at("missing/f"), "x"));
    EXPECT_FALSE(writeNewFileDurably(dir, "x"));  // a folder
    EXPECT_FALSE(writeNewFileDurably("", "x"));
}

TEST_F(AtomicFile, NonReplacingMoveLetsTheExistingFileWin) {
    ASSERT_TRUE(writeNewFileDurably(at("a"), "first"));
    ASSERT_TRUE(moveFileWithoutReplacing(at("a"), at("backup")));
    EXPECT_FALSE(pathExists(at("a")));
    ASSERT_TRUE(writeNewFileDurably(at("b"), "second"));
    EXPECT_FALSE(moveFileWithoutReplacing(at("b"), at("backup")));
    EXPECT_EQ(slurp(at("backup")), "first");
    EXPECT_EQ(slurp(at("b")), "second");
    // A dangling link is a name too.
    ASSERT_EQ(::symlink("nowhere", at("link").c_str()), 0);
    EXPECT_FALSE(moveFileWithoutReplacing(at("b"), at("link")));

    // Through a temporary file, which goes whichever way it ends.
    for (bool locked : {true, false}) {
        fs::remove(at("made"));
        ASSERT_TRUE(createFileAtomically(at("made"), {at("made.tmp"), locked}, "new")) << locked;
        EXPECT_EQ(slurp(at("made")), "new");
        EXPECT_FALSE(createFileAtomically(at("made"), {at("made.tmp"), locked}, "newer")) << locked;
        EXPECT_EQ(slurp(at("made")), "new");
    }
    EXPECT_EQ(temporaryFiles(), std::vector<std::string>{});
}

TEST_F(AtomicFile, SecondNameKeepsContentWhenTheFirstIsReplaced) {
    ASSERT_TRUE(writeNewFileDurably(at("file"), "original"));
    ASSERT_TRUE(keepFileWithoutReplacing(at("file"), at("kept"), systemFileCalls()));
    ASSERT_TRUE(replaceFileAtomically(at("file"), {at("file.tmp"), true}, "new").replaced);
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
    ASSERT_TRUE(writeNewFileDurably(at("file"), bytes));
    ASSERT_EQ(::chmod(at("file").c_str(), 0600), 0);
    ASSERT_TRUE(keepFileWithoutReplacing(at("file"), at("kept"), noLinks));
    EXPECT_EQ(slurp(at("kept")), bytes);
    EXPECT_EQ(fs::status(at("kept")).permissions() & fs::perms::others_read, fs::perms::none) << "no wider than before";
    ASSERT_TRUE(replaceFileAtomically(at("file"), {at("file.tmp"), true}, "new").replaced);
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
    ASSERT_TRUE(writeNewFileDurably(at("ten"), "0123456789"));
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
    const Replacement written = replaceFileAtomically(at("f"), {at("f.tmp"), true}, "first");
    ASSERT_TRUE(written.replaced);
    EXPECT_TRUE(written.flushed);
    const FileIdentity first = identifyFile(at("f"));
    EXPECT_TRUE(first.exists);
    EXPECT_EQ(written.identity, first) << "what was written is what the name names";
    EXPECT_EQ(readRegularFile(at("f"), 4096, 100).identity, first);
    EXPECT_EQ(identifyFile(at("f")), first) << "looking changes nothing";

    // Replaced by another file of the same size and time.
    ASSERT_TRUE(writeNewFileDurably(at("other"), "other"));
    struct timespec times[2] = {{first.modifiedSeconds, first.modifiedNanoseconds},
                                {first.modifiedSeconds, first.modifiedNanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, at("other").c_str(), times, 0), 0);
    ASSERT_EQ(::rename(at("other").c_str(), at("f").c_str()), 0);
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

TEST_F(AtomicFile, WhateverHasTheTemporaryNameIsNeverOpened) {
    // Under the caller's lock only a leftover can have the name: it is
    // removed and made anew, never followed, truncated or waited on.
    ASSERT_TRUE(writeNewFileDurably(at("outside"), "not ours"));
    struct Odd {
        const char* what;
        std::function<void()> make;
    };
    std::unique_ptr<testing::Fifo> fifo;
    const Odd odds[] = {
        {"a longer leftover", [&] { ASSERT_TRUE(writeNewFileDurably(at("t.tmp"), std::string(5000, 'l'))); }},
        {"a FIFO", [&] { fifo = std::make_unique<testing::Fifo>(at("t.tmp")); }},
        {"a link to a file", [&] { ASSERT_EQ(::symlink("outside", at("t.tmp").c_str()), 0); }},
        {"a dangling link", [&] { ASSERT_EQ(::symlink("made-outside", at("t.tmp").c_str()), 0); }},
        {"a folder", [&] { fs::create_directories(at("t.tmp/x")); }},
    };
    for (bool locked : {true, false}) {
        for (const Odd& odd : odds) {
            const std::string what = std::string(odd.what) + (locked ? ", locked" : ", unlocked");
            odd.make();
            const std::string bytes = what;
            ASSERT_TRUE(replaceFileAtomically(at("t"), {at("t.tmp"), locked}, bytes).replaced) << what;
            EXPECT_EQ(slurp(at("t")), bytes) << what;
            EXPECT_FALSE(fs::is_symlink(at("t"))) << what;
            EXPECT_EQ(slurp(at("outside")), "not ours") << what;
            EXPECT_FALSE(pathExists(at("made-outside"))) << what;
            // Unlocked, another process may be writing under the name: it is
            // left alone, and so is a folder that cannot be removed.
            const bool left = !locked || std::string(odd.what) == "a folder";
            EXPECT_EQ(pathExists(at("t.tmp")), left) << what;
            if (fifo) {
                EXPECT_FALSE(fifo->readerWaited()) << what;
            }
            fifo.reset();
            fs::remove_all(at("t.tmp"));
            EXPECT_EQ(temporaryFiles(), std::vector<std::string>{}) << what;
        }
    }
}

TEST_F(AtomicFile, WithoutALockAWriteTakesANameNoOtherWriterHas) {
    // Another write of this process (or one of a process with the same id
    // on another host) is under way: each gets a file of its own.
    const std::string first = ownTemporaryName(at("t.tmp"), 1);
    EXPECT_EQ(first, at("t." + std::to_string(::getpid()) + "-1.tmp"));
    EXPECT_EQ(ownTemporaryName(at("t"), 2), at("t." + std::to_string(::getpid()) + "-2.tmp"));
    ASSERT_TRUE(writeNewFileDurably(first, "another write"));
    ASSERT_TRUE(writeNewFileDurably(at("t.tmp"), "another window's write"));
    ASSERT_TRUE(replaceFileAtomically(at("t"), {at("t.tmp"), false}, "mine").replaced);
    EXPECT_EQ(slurp(at("t")), "mine");
    EXPECT_EQ(slurp(first), "another write");
    EXPECT_EQ(slurp(at("t.tmp")), "another window's write");
    EXPECT_FALSE(pathExists(ownTemporaryName(at("t.tmp"), 2))) << "moved in place";
}

TEST_F(AtomicFile, ReplaceAtomicallyLeavesTargetOnFailure) {
    ASSERT_TRUE(replaceFileAtomically(at("t"), {at("t.tmp"), true}, "one").replaced);
    EXPECT_EQ(slurp(at("t")), "one");
    EXPECT_FALSE(pathExists(at("t.tmp")));
    EXPECT_FALSE(replaceFileAtomically(at("missing/t"), {at("missing/t.tmp"), true}, "x").replaced);
    EXPECT_FALSE(replaceFileAtomically("", {at("t.tmp"), true}, "x").replaced);
    EXPECT_FALSE(replaceFileAtomically(at("t"), {"", true}, "x").replaced);
    EXPECT_EQ(slurp(at("t")), "one");
}

TEST_F(AtomicFile, AWriteThatFailsPartWayLeavesNoTemporaryFile) {
    ASSERT_TRUE(replaceFileAtomically(at("t"), {at("t.tmp"), true}, "old").replaced);
    struct Case {
        std::string what;
        FileCalls calls;
    };
    // The disk fills up in the middle of the write, at once, and in the
    // last call of a write that needs several; the data cannot be flushed;
    // the close reports a write it could not make.
    std::vector<Case> cases;
    for (size_t room : {size_t(0), size_t(1000), size_t(99999)}) {
        cases.push_back({"disk full after " + std::to_string(room), testing::diskFullAfter(room)});
    }
    cases.push_back({"flush fails", testing::failingFlush(false)});
    cases.push_back({"close fails", testing::failingClose()});
    for (const Case& c : cases) {
        for (bool locked : {true, false}) {
            const std::string what = c.what + (locked ? ", locked" : ", unlocked");
            Replacement result =
                replaceFileAtomically(at("t"), {at("t.tmp"), locked}, std::string(100000, 'n'), c.calls);
            EXPECT_FALSE(result.replaced) << what;
            EXPECT_EQ(temporaryFiles(), std::vector<std::string>{})
                << what << ": it would take the space the next write needs";
            EXPECT_EQ(slurp(at("t")), "old") << what;
            EXPECT_FALSE(createFileAtomically(at("new"), {at("new.tmp"), locked}, "bytes", c.calls)) << what;
            EXPECT_FALSE(pathExists(at("new"))) << what;
            EXPECT_EQ(temporaryFiles(), std::vector<std::string>{}) << what;
        }
    }
    // The move fails: the finished temporary file goes too.
    fs::create_directories(at("dir/x"));
    EXPECT_FALSE(replaceFileAtomically(at("dir"), {at("dir.tmp"), true}, "bytes").replaced);
    EXPECT_EQ(temporaryFiles(), std::vector<std::string>{});

    // Keeping a file as a copy that fails part of the way leaves no half copy.
    ASSERT_TRUE(writeNewFileDurably(at("file"), std::string(300000, 'f')));
    FileCalls calls = testing::withoutHardLinks();
    calls.write = testing::diskFullAfter(70000).write;
    EXPECT_FALSE(keepFileWithoutReplacing(at("file"), at("kept"), calls));
    EXPECT_FALSE(pathExists(at("kept")));
    for (const FileCalls& failing : {testing::failingFlush(false), testing::failingClose()}) {
        FileCalls copying = failing;
        copying.link = testing::withoutHardLinks().link;
        EXPECT_FALSE(keepFileWithoutReplacing(at("file"), at("kept"), copying));
        EXPECT_FALSE(pathExists(at("kept")));
    }
}

TEST_F(AtomicFile, AReplacementWhoseFolderCannotBeFlushedIsStillMade) {
    // The file holds the new bytes, so that is what the caller goes on from;
    // it only learns that a crash now could bring the old ones back.
    ASSERT_TRUE(replaceFileAtomically(at("t"), {at("t.tmp"), true}, "old").replaced);
    const Replacement result = replaceFileAtomically(at("t"), {at("t.tmp"), true}, "new", testing::failingFlush(true));
    EXPECT_TRUE(result.replaced);
    EXPECT_FALSE(result.flushed);
    EXPECT_EQ(slurp(at("t")), "new");
    EXPECT_EQ(result.identity, identifyFile(at("t")));
    EXPECT_EQ(temporaryFiles(), std::vector<std::string>{});
}

}  // namespace
}  // namespace vobu
