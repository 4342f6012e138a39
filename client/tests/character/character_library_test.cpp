#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "character/character_json.h"
#include "character/character_library.h"
#include "character/user_files.h"
#include "storage_fixture.h"
#include "support/log_capture.h"
#include "support/odd_files.h"

namespace vobu {
namespace {

using nlohmann::json;

Character named(const std::string& id, uint32_t paint = 0x102030) {
    Character c;
    c.id = id;
    c.name = "Char " + id;
    for (auto& face : c.faces) face.assign(face.size(), paint);
    return c;
}

std::string fileOf(const std::vector<Character>& list) { return buildCharactersDocument(list); }

std::vector<std::string> idsOf(const CharacterLibrary& library) {
    std::vector<std::string> ids;
    for (const Character& c : library.characters) ids.push_back(c.id);
    return ids;
}

std::string fixture(const char* name) {
    std::ifstream in(std::string(VOBU_SOURCE_DIR) + "/client/tests/character/fixtures/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class Library : public testing::StorageTest {
protected:
    CharacterLibrary library;
};

TEST_F(Library, FirstStart) {
    library.load();
    EXPECT_TRUE(library.characters.empty());
    EXPECT_EQ(library.error, "");
    EXPECT_EQ(library.notice, "");
    EXPECT_EQ(library.revision, 1u);
    EXPECT_FALSE(exists(path));

    ASSERT_TRUE(library.save(named("a")));
    EXPECT_EQ(library.revision, 2u);
    json file = json::parse(slurp(path));
    EXPECT_EQ(file["version"], 1);
    ASSERT_EQ(file["characters"].size(), 1u);
    EXPECT_EQ(file["characters"][0].dump(), encodeCharacterJson(named("a")));
    EXPECT_EQ(slurp(path), fileOf({named("a")}));

    CharacterLibrary again;
    again.load();
    ASSERT_EQ(again.characters.size(), 1u);
    EXPECT_EQ(encodeCharacterJson(again.characters[0]), encodeCharacterJson(named("a")));
}

TEST_F(Library, EmptyFileIsAnEmptyLibrary) {
    put(path, "");
    library.load();
    EXPECT_TRUE(library.characters.empty());
    EXPECT_EQ(library.error, "");
}

TEST_F(Library, SaveReplacesByIdAndAppendsOtherwise) {
    library.load();
    ASSERT_TRUE(library.save(named("a")));
    ASSERT_TRUE(library.save(named("b")));
    ASSERT_TRUE(library.save(named("a", 0xABCDEF)));
    EXPECT_EQ(idsOf(library), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(library.characters[0].faces[0][0], 0xABCDEFu);
    EXPECT_EQ(library.revision, 4u);
}

TEST_F(Library, FullAtSixteen) {
    std::vector<Character> twenty;
    for (int i = 0; i < 20; ++i) twenty.push_back(named("id" + std::to_string(i)));
    std::string original = fileOf(twenty);
    put(path, original);
    library.load();
    ASSERT_EQ(library.characters.size(), 16u);
    EXPECT_EQ(library.characters[15].id, "id15");
    EXPECT_FALSE(library.save(named("new")));
    EXPECT_EQ(library.error, "Full!");
    EXPECT_EQ(slurp(path), original);
    uint32_t revision = library.revision;

    ASSERT_TRUE(library.save(named("id3", 0x777777)));  // replaced in place
    EXPECT_EQ(library.error, "");
    EXPECT_EQ(library.revision, revision + 1);
    EXPECT_EQ(library.characters[3].faces[0][0], 0x777777u);
    EXPECT_EQ(library.characters.size(), 16u);
    // The four entries that did not fit are not lost with the rewrite.
    EXPECT_EQ(slurp(path + ".unread.bak"), original);
}

TEST_F(Library, BrokenEntryKeepsTheFileAndItsBytes) {
    json file = json::parse(fileOf({named("a"), named("b"), named("c"), named("d")}));
    file["characters"][2]["faceScale"] = 3;
    std::string original = file.dump();
    put(path, original);
    library.load();
    EXPECT_EQ(idsOf(library), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(library.error, "Saved characters could not be read. Original data was kept.");
    EXPECT_EQ(library.notice, "");
    EXPECT_EQ(library.revision, 1u);
    EXPECT_EQ(slurp(path), original);
    EXPECT_FALSE(exists(path + ".unread.bak"));  // nothing is written by the load

    // The first save keeps the original bytes before the file is rewritten
    // with what could be read.
    ASSERT_TRUE(library.save(named("e")));
    EXPECT_EQ(slurp(path + ".unread.bak"), original);
    EXPECT_EQ(slurp(path), fileOf({named("a"), named("b"), named("e")}));
    EXPECT_EQ(library.error, "");
    ASSERT_TRUE(library.save(named("f")));
    EXPECT_EQ(slurp(path + ".unread.bak"), original);
    EXPECT_FALSE(exists(path + ".unread-2.bak"));
}

TEST_F(Library, UnreadableDocumentIsKeptBeforeTheFirstRemoval) {
    std::string original = "{\"characters\":[{\"id\":";  // cut off
    put(path, original);
    library.load();
    EXPECT_TRUE(library.characters.empty());
    EXPECT_EQ(library.error, "Saved characters could not be read. Original data was kept.");
    ASSERT_TRUE(library.remove(named("x")));
    EXPECT_EQ(slurp(path + ".unread.bak"), original);
    EXPECT_EQ(slurp(path), fileOf({}));
    // The read error stays for the screens to show: a removal keeps `error`.
    EXPECT_EQ(library.error, "Saved characters could not be read. Original data was kept.");
}

TEST_F(Library, FailedUnreadBackupBlocksWrites) {
    std::string original = "[1,2,3]";  // not an object
    put(path, original);
    library.load();
    ASSERT_EQ(library.error, "Saved characters could not be read. Original data was kept.");
    // No second name, and no room for a copy.
    library.file.calls = testing::withoutHardLinks();
    library.file.calls.write = testing::diskFullAfter(0).write;
    EXPECT_FALSE(library.save(named("a")));
    EXPECT_EQ(library.error, "Could not back up older characters. Original save was kept.");
    EXPECT_FALSE(library.remove(named("a")));
    EXPECT_EQ(slurp(path), original);
    EXPECT_FALSE(exists(path + ".unread.bak"));
    library.file.calls = systemFileCalls();
    ASSERT_TRUE(library.save(named("a")));
    EXPECT_EQ(slurp(path + ".unread.bak"), original);
}

TEST_F(Library, FileThatCannotBeReadIsNeverReplaced) {
    block(path);  // there, but no read gives its bytes
    library.load();
    EXPECT_TRUE(library.characters.empty());
    EXPECT_EQ(library.error, "Saved characters could not be read. Original data was kept.");
    // A folder cannot be given a second name, so it cannot be kept: every
    // write is refused rather than risking what is there.
    EXPECT_FALSE(library.save(named("a")));
    EXPECT_EQ(library.error, "Could not back up older characters. Original save was kept.");
    EXPECT_FALSE(library.remove(named("a")));
    EXPECT_TRUE(exists(path + "/in-the-way"));
}

TEST_F(Library, UnreadableFileIsKeptUnderASecondName) {
    std::string const original = fileOf({named("z")});
    put(path, original);
    library.load();
    ASSERT_EQ(library.error, "");
    // As if the read had failed: the file is kept by name, not by its bytes.
    library.file.keepAsideBeforeWrite();
    put(path + ".unread.bak", "an earlier backup");
    ASSERT_TRUE(library.save(named("a")));
    EXPECT_EQ(slurp(path + ".unread.bak"), "an earlier backup");
    EXPECT_EQ(slurp(path + ".unread-2.bak"), original);
    EXPECT_EQ(slurp(path), fileOf({named("z"), named("a")}));
    ASSERT_TRUE(library.save(named("b")));
    EXPECT_FALSE(exists(path + ".unread-3.bak")) << "kept once";
}

TEST_F(Library, FifoInPlaceOfTheFileIsKeptAsideNotWaitedOn) {
    testing::Fifo fifo(path);
    ASSERT_TRUE(fifo.made());
    library.load();
    EXPECT_FALSE(fifo.readerWaited()) << "the load waited for a writer";
    EXPECT_TRUE(library.characters.empty());
    EXPECT_EQ(library.error, "Saved characters could not be read. Original data was kept.");

    // Where the file system has no hard links a FIFO cannot be kept (a copy
    // would wait too), so nothing replaces it.
    library.file.calls = testing::withoutHardLinks();
    EXPECT_FALSE(library.save(named("a")));
    EXPECT_EQ(library.error, "Could not back up older characters. Original save was kept.");
    EXPECT_TRUE(testing::isFifo(path));
    EXPECT_FALSE(fifo.readerWaited());

    library.file.calls = systemFileCalls();
    ASSERT_TRUE(library.save(named("a")));
    EXPECT_TRUE(testing::isFifo(path + ".unread.bak"));
    EXPECT_EQ(slurp(path), fileOf({named("a")}));
}

TEST_F(Library, LinkToDevZeroIsUnreadableAndKeptAside) {
    ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0);
    EXPECT_NO_THROW(library.load());
    EXPECT_EQ(library.error, "Saved characters could not be read. Original data was kept.");
    library.file.calls = testing::withoutHardLinks();
    EXPECT_FALSE(library.save(named("a"))) << "a copy of /dev/zero would never end";
    library.file.calls = systemFileCalls();
    ASSERT_TRUE(library.save(named("a")));
    EXPECT_TRUE(testing::isSymlinkTo(path + ".unread.bak", "/dev/zero"));
    EXPECT_EQ(slurp(path), fileOf({named("a")}));
}

TEST_F(Library, FileOverTheLimitIsKeptAsideWholeByTheFirstSave) {
    std::string huge = fileOf({named("a")});
    huge.insert(huge.size() - 1, ",\"padding\":\"" + std::string(kMaxCharactersFileBytes, 'p') + "\"");
    put(path, huge);
    library.load();
    EXPECT_TRUE(library.characters.empty());
    EXPECT_EQ(library.error, "Saved characters could not be read. Original data was kept.");
    library.file.calls = testing::withoutHardLinks();  // kept as a copy
    ASSERT_TRUE(library.save(named("b")));
    EXPECT_EQ(slurp(path + ".unread.bak"), huge);
    EXPECT_EQ(slurp(path), fileOf({named("b")}));
}

TEST_F(Library, TheLargestLibraryThisClientWritesIsReadBackWhole) {
    // Sixteen characters with every texel of every face, the longest name
    // (four-byte code points) and the longest id.
    library.load();
    for (int i = 0; i < 16; ++i) {
        Character c = named(std::string(62, 'x') + char('a' + i / 10) + char('a' + i % 10), 0xFEDCBA);
        c.name.clear();
        for (int k = 0; k < 24; ++k) c.name += "\xF0\x9F\x98\x80";
        ASSERT_TRUE(library.save(c)) << i << ": " << library.error;
    }
    const size_t largest = slurp(path).size();
    EXPECT_LT(largest * 4, kMaxCharactersFileBytes) << "the limit is comfortably above what is written";
    CharacterLibrary again;
    again.load();
    EXPECT_EQ(again.error, "");
    EXPECT_EQ(again.characters.size(), 16u);
}

TEST_F(Library, ALibraryWrittenByAnotherWindowMeanwhileTakesTheChange) {
    struct Case {
        const char* what;
        bool fileAtLoad;
        std::function<void(const std::string& other)> write;
    };
    const Case cases[] = {
        {"replaced", true, [&](const std::string& other) { ASSERT_TRUE(writeCharactersFile(other)); }},
        {"rewritten in place", true, [&](const std::string& other) { put(path, other); }},
        {"appeared", false, [&](const std::string& other) { put(path, other); }},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(path);
        if (c.fileAtLoad) put(path, fileOf({named("a")}));
        CharacterLibrary mine;
        mine.load();
        const uint32_t loaded = mine.revision;
        const std::string other = fileOf({named("a"), named("other1"), named("other2")});
        c.write(other);
        testing::LogCapture log;
        ASSERT_TRUE(mine.save(named("new"))) << c.what;
        EXPECT_EQ(slurp(path), fileOf({named("a"), named("other1"), named("other2"), named("new")})) << c.what;
        EXPECT_EQ(idsOf(mine), (std::vector<std::string>{"a", "other1", "other2", "new"})) << c.what;
        EXPECT_EQ(mine.revision, loaded + 2) << c.what << ": the view was refreshed, then saved";
        EXPECT_FALSE(exists(path + ".unread.bak")) << c.what << ": nothing to keep aside";
        EXPECT_EQ(log.count("Saved characters: the characters file changed since it was read; the change is made to "
                            "it as it is now"),
                  1)
            << c.what;

        // A removal is made to the file as it is now too.
        put(path, fileOf({named("a"), named("other1"), named("other2"), named("new"), named("other3")}));
        ASSERT_TRUE(mine.remove(named("other1"))) << c.what;
        EXPECT_EQ(slurp(path), fileOf({named("a"), named("other2"), named("new"), named("other3")})) << c.what;

        // Its own writes are no change: the next ones take nothing more.
        ASSERT_TRUE(mine.save(named("newer")));
        EXPECT_EQ(log.lines.size(), 2u) << c.what;
    }
}

TEST_F(Library, TheLimitAppliesToTheFileAsItIsNow) {
    std::vector<Character> fifteen;
    for (int i = 0; i < 15; ++i) fifteen.push_back(named("c" + std::to_string(i)));
    put(path, fileOf(fifteen));
    library.load();
    // Another window saved the sixteenth meanwhile.
    std::vector<Character> sixteen = fifteen;
    sixteen.push_back(named("theirs"));
    ASSERT_TRUE(writeCharactersFile(fileOf(sixteen)));
    EXPECT_FALSE(library.save(named("mine")));
    EXPECT_EQ(library.error, "Full!");
    EXPECT_EQ(library.characters.size(), 16u) << "the view shows the other window's character";
    EXPECT_EQ(slurp(path), fileOf(sixteen));
    // A character that is there already is replaced, full or not.
    ASSERT_TRUE(library.save(named("theirs")));
}

TEST_F(Library, AFileWrittenMeanwhileThatIsNoLibraryIsKeptBeforeTheNextWrite) {
    const std::string cases[] = {
        "not a library",
        fileOf({named("a")}).substr(0, 200),  // cut short
        [&] {
            std::vector<Character> seventeen;
            for (int i = 0; i < 17; ++i) seventeen.push_back(named("x" + std::to_string(i)));
            return fileOf(seventeen);
        }(),
    };
    int kept = 0;
    for (const std::string& other : cases) {
        library.load();
        put(path, other);
        testing::LogCapture log;
        ASSERT_TRUE(library.save(named("new")));
        const std::string backup = unreadBackupName(path, ++kept);
        EXPECT_EQ(slurp(backup), other);
        EXPECT_EQ(log.count("Saved characters: the characters file changed since it was read and is kept as " + backup),
                  1);
        EXPECT_EQ(idsOf(library), (std::vector<std::string>{"new"})) << "a file not taken adds nothing";
        put(path, "");
    }
}

TEST_F(Library, FileRemovedMeanwhileLeavesNothingToKeep) {
    put(path, fileOf({named("a")}));
    library.load();
    std::filesystem::remove(path);
    ASSERT_TRUE(library.remove(named("a")));
    EXPECT_EQ(slurp(path), fileOf({}));
    EXPECT_FALSE(exists(path + ".unread.bak"));
}

TEST_F(Library, AFileEmptiedMeanwhileIsNoEmptyLibrary) {
    // Another program cut the file (and may be about to write it in place):
    // the characters this window has are all that is left of them.
    put(path, fileOf({named("a"), named("b")}));
    library.load();
    put(path, "");
    testing::LogCapture log;
    ASSERT_TRUE(library.save(named("c")));
    EXPECT_EQ(slurp(path), fileOf({named("a"), named("b"), named("c")}));
    EXPECT_EQ(idsOf(library), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_FALSE(exists(path + ".unread.bak")) << "nothing in it to keep";
    EXPECT_EQ(log.count("Saved characters: the characters file is gone or empty since it was read"), 1);
    put(path, "");
    ASSERT_TRUE(library.remove(named("a")));
    EXPECT_EQ(slurp(path), fileOf({named("b"), named("c")}));
}

TEST_F(Library, AFileKeptAsideOnceIsNeverKeptAgain) {
    // Read broken, then removed by another program: the write that follows
    // is the window's own file, which no later save keeps aside.
    const std::string broken = "{\"characters\":[";
    put(path, broken);
    library.load();
    std::filesystem::remove(path);
    ASSERT_TRUE(library.save(named("a")));
    ASSERT_TRUE(library.save(named("b")));
    EXPECT_FALSE(exists(path + ".unread.bak"));
    EXPECT_EQ(slurp(path), fileOf({named("a"), named("b")}));

    // Kept, but the write failed; another start of the game reads it again
    // and keeps it no second time: the backup is the very same file.
    put(path, broken);
    library.load();
    library.file.calls = testing::diskFullAfter(0);
    EXPECT_FALSE(library.save(named("c")));
    EXPECT_EQ(slurp(path + ".unread.bak"), broken);
    CharacterLibrary restarted;
    restarted.load();
    ASSERT_TRUE(restarted.save(named("c")));
    EXPECT_FALSE(exists(path + ".unread-2.bak"));
    EXPECT_EQ(slurp(path + ".unread.bak"), broken);
}

TEST_F(Library, ASaveWhoseFolderCannotBeFlushedIsStillTheFile) {
    // The file holds the change: the view goes on from it, and the next
    // change finds nothing new in it.
    library.load();
    ASSERT_TRUE(library.save(named("a")));
    library.file.calls = testing::failingFlush(true);
    testing::LogCapture log;
    ASSERT_TRUE(library.save(named("b"))) << library.error;
    EXPECT_EQ(library.error, "");
    EXPECT_EQ(idsOf(library), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(slurp(path), fileOf({named("a"), named("b")}));
    EXPECT_EQ(log.count("Saved characters: the characters file is replaced, but its folder could not be flushed"), 1);
    library.file.calls = systemFileCalls();
    ASSERT_TRUE(library.remove(named("a")));
    EXPECT_EQ(log.count("Saved characters: the characters file changed since it was read"), 0);
    EXPECT_EQ(slurp(path), fileOf({named("b")}));
}

TEST_F(Library, ChangedFileThatCannotBeKeptIsNotReplaced) {
    library.load();
    ASSERT_TRUE(library.save(named("a")));
    // Another program put a FIFO there; without hard links it cannot be kept.
    std::filesystem::remove(path);
    testing::Fifo fifo(path);
    library.file.calls = testing::withoutHardLinks();
    testing::LogCapture log;
    EXPECT_FALSE(library.save(named("b")));
    EXPECT_EQ(library.error, "Could not back up older characters. Original save was kept.");
    EXPECT_FALSE(library.remove(named("a")));
    EXPECT_EQ(idsOf(library), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(testing::isFifo(path));
    EXPECT_EQ(log.count("Saved characters: the characters file changed since it was read and could not be kept aside"),
              2);
    // Once it can be kept, the write goes ahead.
    library.file.calls = systemFileCalls();
    ASSERT_TRUE(library.save(named("b")));
    EXPECT_TRUE(testing::isFifo(path + ".unread.bak"));
    EXPECT_EQ(idsOf(library), (std::vector<std::string>{"a", "b"}));
}

TEST_F(Library, ShapesOfTheCharactersMember) {
    struct Case {
        std::string text;
        std::vector<std::string> ids;
        bool error;
    };
    std::string a = encodeCharacterJson(named("a"));
    std::string b = encodeCharacterJson(named("b"));
    const Case cases[] = {
        {"{\"characters\":[" + a + "," + b + "]}", {"a", "b"}, false},
        {"{\"characters\":{\"z\":" + a + ",\"y\":" + b + "}}", {"b", "a"}, false},  // key order
        // An object stands for its values: here a character's own members.
        {"{\"characters\":" + a + "}", {}, true},
        {"{\"characters\":null}", {}, false},
        {"{\"characters\":[]}", {}, false},
        {"{\"characters\":5}", {}, true},
        {"{\"version\":1}", {}, true},
        {"[" + a + "]", {}, true},
        {"not json", {}, true},
    };
    for (const Case& k : cases) {
        put(path, k.text);
        library.load();
        EXPECT_EQ(idsOf(library), k.ids) << k.text.substr(0, 40);
        EXPECT_EQ(!library.error.empty(), k.error) << k.text.substr(0, 40);
    }
}

TEST_F(Library, LegacyFileIsFittedAndBackedUpOnce) {
    std::string original = fixture("legacy_library.json");
    ASSERT_FALSE(original.empty());
    put(path, original);
    library.load();
    ASSERT_EQ(idsOf(library), (std::vector<std::string>{"too-wide", "small"}));
    EXPECT_EQ(library.characters[0].width, 64);
    EXPECT_EQ(library.characters[0].height, 64);
    EXPECT_EQ(library.notice, "Older characters fitted to 16-64 texels; originals backed up.");
    EXPECT_EQ(library.error, "");
    EXPECT_EQ(library.pendingBackup, "");
    EXPECT_EQ(slurp(path + ".pre64.bak"), original);
    EXPECT_EQ(slurp(path), original);  // the load itself writes only the backup

    ASSERT_TRUE(library.save(named("c")));
    EXPECT_EQ(slurp(path + ".pre64.bak"), original);
    // The rewritten file is of the current form and loads without a notice.
    CharacterLibrary again;
    again.load();
    EXPECT_EQ(again.notice, "");
    EXPECT_EQ(again.characters.size(), 3u);

    // A later older file never replaces the first backup; its bytes are dropped.
    json other = json::parse(original);
    other["characters"][1]["name"] = "Other";
    put(path, other.dump());
    again.load();
    EXPECT_EQ(again.notice, "Older characters fitted to 16-64 texels; originals backed up.");
    EXPECT_EQ(again.pendingBackup, "");
    EXPECT_EQ(slurp(path + ".pre64.bak"), original);
}

TEST_F(Library, FailingLegacyBackupBlocksEverySaveAndRemoval) {
    std::string original = fixture("legacy_library.json");
    put(path, original);
    library.file.calls = testing::diskFullAfter(0);
    library.load();
    EXPECT_EQ(library.notice, "Older characters fitted to 16-64 texels; originals backed up.");
    EXPECT_EQ(library.error, "Could not back up older characters. Original save was kept.");
    EXPECT_EQ(library.pendingBackup, original);
    uint32_t revision = library.revision;
    library.error.clear();
    EXPECT_FALSE(library.save(named("small")));
    EXPECT_EQ(library.error, "Could not back up older characters. Original save was kept.");
    library.error.clear();
    EXPECT_FALSE(library.remove(named("small")));
    EXPECT_EQ(library.error, "Could not back up older characters. Original save was kept.");
    EXPECT_EQ(library.revision, revision);
    EXPECT_EQ(library.characters.size(), 2u);
    EXPECT_EQ(slurp(path), original);

    library.file.calls = systemFileCalls();
    ASSERT_TRUE(library.remove(named("small")));
    EXPECT_EQ(slurp(path + ".pre64.bak"), original);
    EXPECT_EQ(idsOf(library), (std::vector<std::string>{"too-wide"}));
}

TEST_F(Library, InjectedWriteFailureLeavesTheFileByteIdentical) {
    library.load();
    ASSERT_TRUE(library.save(named("a")));
    ASSERT_TRUE(library.save(named("b")));
    std::string before = slurp(path);
    uint32_t revision = library.revision;
    library.file.calls = testing::diskFullAfter(0);
    EXPECT_FALSE(library.save(named("c")));
    EXPECT_EQ(library.error, "Save failed. Check available storage space.");
    EXPECT_FALSE(library.save(named("a", 0x999999)));
    EXPECT_EQ(idsOf(library), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(library.characters[0].faces[0][0], 0x102030u);
    EXPECT_EQ(library.revision, revision);
    EXPECT_EQ(slurp(path), before);
    library.file.calls = systemFileCalls();
    ASSERT_TRUE(library.save(named("c")));
    EXPECT_EQ(library.error, "");
}

TEST_F(Library, RemoveRestoresTheListWhenTheWriteFails) {
    library.load();
    for (const char* id : {"a", "b", "c"}) ASSERT_TRUE(library.save(named(id)));
    std::string before = slurp(path);
    uint32_t revision = library.revision;
    library.file.calls = testing::diskFullAfter(0);
    EXPECT_FALSE(library.remove(named("b")));
    EXPECT_EQ(library.error, "Delete could not be saved.");
    EXPECT_EQ(idsOf(library), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(library.revision, revision);
    EXPECT_EQ(slurp(path), before);
    library.file.calls = systemFileCalls();
    ASSERT_TRUE(library.remove(named("b")));
    EXPECT_EQ(idsOf(library), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(library.revision, revision + 1);
    // A removal leaves the error of the earlier failure as it was.
    EXPECT_EQ(library.error, "Delete could not be saved.");
    ASSERT_TRUE(library.remove(named("missing")));  // still rewrites the file
    EXPECT_EQ(library.revision, revision + 2);
}

TEST_F(Library, DuplicateIdsFromAHandEditedFile) {
    put(path, fileOf({named("x", 1), named("y"), named("x", 2)}));
    library.load();
    ASSERT_TRUE(library.save(named("x", 3)));
    ASSERT_EQ(library.characters.size(), 3u);
    EXPECT_EQ(library.characters[0].faces[0][0], 3u);
    EXPECT_EQ(library.characters[2].faces[0][0], 2u);
    ASSERT_TRUE(library.remove(named("x")));
    EXPECT_EQ(idsOf(library), (std::vector<std::string>{"y"}));
}

TEST_F(Library, DocumentsThatCannotBeBuiltAreNeverWritten) {
    library.load();
    ASSERT_TRUE(library.save(named("a")));
    std::string before = slurp(path);
    Character broken = named("b");
    broken.name = "bad \xFF name";
    bool saved = true;
    EXPECT_NO_THROW(saved = library.save(broken));
    EXPECT_FALSE(saved);
    EXPECT_EQ(library.error, "Save failed. Check available storage space.");
    EXPECT_EQ(idsOf(library), (std::vector<std::string>{"a"}));
    EXPECT_EQ(slurp(path), before);

    // A stored entry that cannot be written any more (set by a caller
    // directly) makes a removal fail and restore the list, not throw.
    library.characters.push_back(broken);
    bool removed = true;
    EXPECT_NO_THROW(removed = library.remove(named("a")));
    EXPECT_FALSE(removed);
    EXPECT_EQ(library.error, "Delete could not be saved.");
    EXPECT_EQ(idsOf(library), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(slurp(path), before);
}

TEST_F(Library, LoadClearsEarlierTexts) {
    put(path, "oops");
    library.load();
    ASSERT_FALSE(library.error.empty());
    library.notice = "stale";
    put(path, fileOf({named("a")}));
    library.load();
    EXPECT_EQ(library.error, "");
    EXPECT_EQ(library.notice, "");
    EXPECT_EQ(library.revision, 2u);
}

}  // namespace
}  // namespace vobu
