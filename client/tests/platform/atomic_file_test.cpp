#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/atomic_file.h"

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
}

}  // namespace
}  // namespace vobu
