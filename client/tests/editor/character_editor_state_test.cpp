// The editor's screens and library operations: the state table as cases,
// the files the library operations leave behind, and the join overlay.

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "editor_fixture.h"
#include "support/odd_files.h"
#include "ui/text.h"

namespace vobu::testing {
namespace {

using State = EditorFixture;

// One row of the state table: how the files look before the start, what
// the player does, and what must hold afterwards.
struct StateCase {
    const char* name;
    std::function<void(EditorFixture&)> arrange;
    std::function<void(EditorFixture&)> act;
    std::function<void(EditorFixture&)> check;
};

class StateTable : public EditorFixture, public ::testing::WithParamInterface<StateCase> {};

TEST_P(StateTable, Holds) {
    const StateCase& c = GetParam();
    if (c.arrange) c.arrange(*this);
    start();
    if (c.act) c.act(*this);
    c.check(*this);
}

std::vector<Character> three() {
    return {EditorFixture::named("aa", "Ann", 0x111111), EditorFixture::named("bb", "Bob", 0x222222),
            EditorFixture::named("cc", "Cyd", 0x333333)};
}

void storeThree(EditorFixture& f) { f.storeCharacters(three()); }

// An edit of the working copy as the tools make it.
void paintTexel(CharacterEditor& e, uint32_t color) {
    e.pushUndo();
    e.character.faces[0][0] = color;
    e.markEdited(true);
}

bool isLowerHex32(const std::string& id) {
    if (id.size() != 32) return false;
    for (char c : id) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

const StateCase kStateCases[] = {
    {"FirstStartSavesAndSelectsADefault", nullptr, nullptr,
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         ASSERT_EQ(e.library.characters.size(), 1u);
         const Character& saved = e.library.characters[0];
         EXPECT_EQ(saved.name, "Vobu");
         EXPECT_EQ(saved.width, 32);
         EXPECT_EQ(saved.height, 64);
         EXPECT_EQ(saved.depth, 32);
         EXPECT_TRUE(isLowerHex32(saved.id)) << saved.id;
         EXPECT_EQ(e.selectedIndex, 0);
         EXPECT_EQ(e.character.id, saved.id);
         EXPECT_NE(f.slurp(f.path).find(saved.id), std::string::npos);
         EXPECT_EQ(f.assetsRead, std::vector<std::string>{"unifont.bin"});
         EXPECT_TRUE(e.libraryShown);
         EXPECT_TRUE(e.choosingCharacter);
     }},
    {"FirstStartWhoseSaveFailsStillListsTheDefault",
     [](EditorFixture& f) { f.editor.library.file.calls = testing::diskFullAfter(0); }, nullptr,
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         ASSERT_EQ(e.library.characters.size(), 1u);
         EXPECT_EQ(e.selectedIndex, 0);
         EXPECT_FALSE(f.exists(f.path));
         EXPECT_EQ(e.libraryStatus(), kLibrarySaveError);
     }},
    {"UnreadableLibrarySavesNothing", [](EditorFixture& f) { f.put(f.path, "{\"characters\":[{\"id\":"); }, nullptr,
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         EXPECT_TRUE(e.library.characters.empty());
         EXPECT_EQ(e.selectedIndex, -1);
         EXPECT_TRUE(e.character.id.empty());
         EXPECT_EQ(e.character.name, "Vobu");
         EXPECT_EQ(f.slurp(f.path), "{\"characters\":[{\"id\":");
         EXPECT_FALSE(f.exists(f.path + ".unread.bak"));
         EXPECT_EQ(e.libraryStatus(), kLibraryReadError);
     }},
    {"DiscardAt2point4SecondsLeavesWithTheStoredVersion", storeThree,
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         e.openEditor();
         paintTexel(e, 0xABCDEF);
         e.leaveEditor();
         EXPECT_FALSE(e.libraryShown);
         EXPECT_DOUBLE_EQ(e.discardFlash, 2.5);
         f.runFor(2.4);
         e.leaveEditor();
     },
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         EXPECT_TRUE(e.libraryShown);
         EXPECT_FALSE(e.unsaved);
         EXPECT_EQ(e.character.faces[0][0], 0x111111u);
     }},
    {"DiscardAfter2point6SecondsArmsAgain", storeThree,
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         e.openEditor();
         paintTexel(e, 0xABCDEF);
         e.leaveEditor();
         f.runFor(2.6);
         EXPECT_EQ(e.discardFlash, 0.0);
         e.leaveEditor();
     },
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         EXPECT_FALSE(e.libraryShown);
         EXPECT_DOUBLE_EQ(e.discardFlash, 2.5);
         EXPECT_EQ(e.character.faces[0][0], 0xABCDEFu);
     }},
    {"BackWithoutChangesLeavesAtOnce", storeThree,
     [](EditorFixture& f) {
         f.editor.openEditor();
         f.editor.leaveEditor();
     },
     [](EditorFixture& f) { EXPECT_TRUE(f.editor.libraryShown); }},
    {"FullAt16ForNewAndDuplicateSeparately",
     [](EditorFixture& f) {
         std::vector<Character> list;
         for (int i = 0; i < 16; ++i) list.push_back(EditorFixture::named("id" + std::to_string(i), "C"));
         f.storeCharacters(list);
     },
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         const std::string before = f.slurp(f.path);
         e.addCharacter(false);
         EXPECT_DOUBLE_EQ(e.newFullFlash, 3.0);
         EXPECT_EQ(e.duplicateFullFlash, 0.0);
         f.runFor(1.0, 0.25);
         e.addCharacter(true);
         EXPECT_DOUBLE_EQ(e.duplicateFullFlash, 3.0);
         EXPECT_EQ(f.slurp(f.path), before);
         EXPECT_TRUE(e.library.error.empty());  // the library was not asked
         f.runFor(2.0, 0.25);                   // exact binary steps: 3.0 s in all for New
     },
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         EXPECT_EQ(e.library.characters.size(), 16u);
         EXPECT_EQ(e.newFullFlash, 0.0);
         EXPECT_GT(e.duplicateFullFlash, 0.9);
     }},
    {"NewSavesADefaultAndSelectsIt", storeThree, [](EditorFixture& f) { f.editor.addCharacter(false); },
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         ASSERT_EQ(e.library.characters.size(), 4u);
         EXPECT_EQ(e.selectedIndex, 3);
         EXPECT_EQ(e.character.name, "Vobu");
         EXPECT_TRUE(isLowerHex32(e.character.id));
         EXPECT_EQ(e.character.faces[0][0], kDefaultSkinColor);
     }},
    {"DuplicateOfA24CodePointNameKeepsIt",
     [](EditorFixture& f) {
         f.storeCharacters({EditorFixture::named("aa", "\xC3\xA9" + std::string(23, 'x'), 0x123456)});
     },
     [](EditorFixture& f) { f.editor.addCharacter(true); },
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         ASSERT_EQ(e.library.characters.size(), 2u);
         EXPECT_EQ(e.character.name, "\xC3\xA9" + std::string(23, 'x'));
         EXPECT_NE(e.character.id, "aa");
         EXPECT_EQ(e.character.faces[0][0], 0x123456u);
     }},
    {"DuplicateAppendsCopy", storeThree, [](EditorFixture& f) { f.editor.addCharacter(true); },
     [](EditorFixture& f) { EXPECT_EQ(f.editor.character.name, "Ann copy"); }},
    {"DeletingTheLastEntryLeavesADefaultAndNoSelection",
     [](EditorFixture& f) { f.storeCharacters({EditorFixture::named("aa", "Ann")}); },
     [](EditorFixture& f) {
         f.editor.deleteCharacter();
         EXPECT_TRUE(f.editor.deleteArmed);
         EXPECT_EQ(f.editor.library.characters.size(), 1u);
         f.editor.deleteCharacter();
         f.editor.buildUi();
     },
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         EXPECT_TRUE(e.library.characters.empty());
         EXPECT_EQ(e.selectedIndex, -1);
         EXPECT_TRUE(e.character.id.empty());
         EXPECT_EQ(e.character.faces[0][0], kDefaultSkinColor);
         EXPECT_FALSE(e.deleteArmed);
         for (const char* id : {"library.edit", "library.duplicate", "library.delete", "library.join"}) {
             ASSERT_NE(e.controls.find(id), nullptr) << id;
             EXPECT_FALSE(e.controls.find(id)->enabled) << id;
         }
     }},
    {"DeletingEntry0SelectsTheNewEntry0", storeThree,
     [](EditorFixture& f) {
         f.editor.deleteCharacter();
         f.editor.deleteCharacter();
     },
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         ASSERT_EQ(e.library.characters.size(), 2u);
         EXPECT_EQ(e.selectedIndex, 0);
         EXPECT_EQ(e.character.id, "bb");
     }},
    {"DeletingEntry2SelectsEntry1", storeThree,
     [](EditorFixture& f) {
         f.editor.selectLibraryEntry(2);
         f.editor.deleteCharacter();
         f.editor.deleteCharacter();
     },
     [](EditorFixture& f) {
         EXPECT_EQ(f.editor.selectedIndex, 1);
         EXPECT_EQ(f.editor.character.id, "bb");
     }},
    {"DeletingAnIdHeldTwiceStaysInsideTheList",  // possible only in a hand-edited file
     [](EditorFixture& f) {
         f.storeCharacters({EditorFixture::named("aa", "Ann"), EditorFixture::named("bb", "Bob"),
                            EditorFixture::named("aa", "Ann again")});
     },
     [](EditorFixture& f) {
         f.editor.selectLibraryEntry(2);
         f.editor.deleteCharacter();
         f.editor.deleteCharacter();
     },
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         ASSERT_EQ(e.library.characters.size(), 1u);
         EXPECT_EQ(e.selectedIndex, 0);
         EXPECT_EQ(e.character.id, "bb");
     }},
    {"SelectingAnotherEntryDisarmsDelete", storeThree,
     [](EditorFixture& f) {
         f.editor.deleteCharacter();
         f.editor.selectLibraryEntry(1);
         f.editor.deleteCharacter();
     },
     [](EditorFixture& f) {
         EXPECT_EQ(f.editor.library.characters.size(), 3u);
         EXPECT_TRUE(f.editor.deleteArmed);
     }},
    {"SeventeenEditsGiveSixteenUndos", storeThree,
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         e.openEditor();
         for (uint32_t i = 1; i <= 17; ++i) paintTexel(e, i);
         EXPECT_EQ(e.undoStack.size(), 16u);
         for (int i = 0; i < 16; ++i) e.undo();
     },
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         // The oldest snapshot left is the one taken before the second edit.
         EXPECT_EQ(e.character.faces[0][0], 1u);
         EXPECT_TRUE(e.undoStack.empty());
         e.undo();
         EXPECT_EQ(e.character.faces[0][0], 1u);
         EXPECT_TRUE(e.unsaved);
     }},
    {"UndoAfterOpeningDoesNothing", storeThree,
     [](EditorFixture& f) {
         f.editor.openEditor();
         f.editor.undo();
     },
     [](EditorFixture& f) {
         EXPECT_FALSE(f.editor.unsaved);
         EXPECT_EQ(f.editor.character.faces[0][0], 0x111111u);
     }},
    {"TakeChosenCharacterIsTrueOnce", storeThree,
     [](EditorFixture& f) {
         f.editor.selectLibraryEntry(1);
         f.editor.buildUi();
         f.editor.controls.find("library.join")->onClick();
     },
     [](EditorFixture& f) {
         Character chosen;
         EXPECT_TRUE(f.editor.takeChosenCharacter(chosen));
         EXPECT_EQ(chosen.id, "bb");
         EXPECT_FALSE(f.editor.takeChosenCharacter(chosen));
     }},
    {"ShowLibraryDropsUnsavedChanges", storeThree,
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         e.openEditor();
         paintTexel(e, 0xFEDCBA);
         e.character.name = "Changed";
         e.markEdited(false);
         e.showLibrary();
     },
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         EXPECT_TRUE(e.libraryShown);
         EXPECT_FALSE(e.unsaved);
         EXPECT_EQ(e.character.name, "Ann");
         EXPECT_EQ(e.character.faces[0][0], 0x111111u);
         EXPECT_EQ(e.viewMode, 0);
         EXPECT_FLOAT_EQ(e.zoom, 0.75f);
         EXPECT_TRUE(e.skinDirty);
     }},
    {"SaveCleansTheNameAndFlashesSaved", storeThree,
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         e.selectLibraryEntry(2);
         e.openEditor();
         e.character.name = " \t ";
         paintTexel(e, 0x010203);
         EXPECT_TRUE(e.saveCharacter());
     },
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         EXPECT_EQ(e.character.name, "Vobu");
         EXPECT_FALSE(e.unsaved);
         EXPECT_DOUBLE_EQ(e.savedFlash, 3.0);
         EXPECT_EQ(e.selectedIndex, 2);
         EXPECT_EQ(e.library.characters[2].faces[0][0], 0x010203u);
         EXPECT_EQ(e.library.characters[2].name, "Vobu");
     }},
    {"SaveOfANewCharacterGivesItAnId",
     [](EditorFixture& f) { f.put(f.path, "[1]"); },  // unreadable: nothing listed, nothing saved
     [](EditorFixture& f) { EXPECT_TRUE(f.editor.saveCharacter()); },
     [](EditorFixture& f) {
         CharacterEditor& e = f.editor;
         EXPECT_TRUE(isLowerHex32(e.character.id));
         EXPECT_EQ(e.selectedIndex, 0);
         EXPECT_EQ(f.slurp(f.path + ".unread.bak"), "[1]");
     }},
};

INSTANTIATE_TEST_SUITE_P(Editor, StateTable, ::testing::ValuesIn(kStateCases),
                         [](const ::testing::TestParamInfo<StateCase>& info) { return std::string(info.param.name); });

// After a load that could not read the whole file every editor path that
// writes goes through the library's guard: the unread original is kept
// under a backup name before "characters.json" is first rewritten, and
// while that backup cannot be written nothing is rewritten at all.
struct WritePath {
    const char* name;
    std::function<void(CharacterEditor&)> act;
};

class GuardedWrite : public EditorFixture, public ::testing::WithParamInterface<WritePath> {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        nlohmann::json file = nlohmann::json::parse(buildCharactersDocument(three()));
        // The third entry is broken: two are listed, the third is only on disk.
        file["characters"][2]["faceScale"] = 3;
        original = file.dump();
        put(path, original);
    }
    std::string original;
};

TEST_P(GuardedWrite, KeepsTheUnreadOriginalFirst) {
    start();
    ASSERT_EQ(editor.library.characters.size(), 2u);
    ASSERT_EQ(slurp(path), original);  // no first-start save over a partial list
    GetParam().act(editor);
    EXPECT_EQ(slurp(path + ".unread.bak"), original);
    EXPECT_NE(slurp(path), original);
}

TEST_P(GuardedWrite, RefusesWhileTheBackupCannotBeWritten) {
    start();
    // No second name for the original, and no room for a copy of it.
    editor.library.file.calls = testing::withoutHardLinks();
    editor.library.file.calls.write = testing::diskFullAfter(0).write;
    const size_t listed = editor.library.characters.size();
    GetParam().act(editor);
    EXPECT_EQ(slurp(path), original);
    EXPECT_FALSE(exists(path + ".unread.bak"));
    EXPECT_EQ(editor.library.characters.size(), listed);
    EXPECT_FALSE(editor.savedFlash > 0);
    // The player is told why on the library screen.
    editor.showLibrary();
    EXPECT_EQ(editor.libraryStatus(), kLibraryBackupError);
}

const WritePath kWritePaths[] = {
    {"New", [](CharacterEditor& e) { e.addCharacter(false); }},
    {"Duplicate", [](CharacterEditor& e) { e.addCharacter(true); }},
    {"Delete",
     [](CharacterEditor& e) {
         e.deleteCharacter();
         e.deleteCharacter();
     }},
    {"Save",
     [](CharacterEditor& e) {
         e.openEditor();
         e.character.faces[0][0] = 0x00FF00;
         e.markEdited(true);
         e.saveCharacter();
     }},
};

INSTANTIATE_TEST_SUITE_P(Editor, GuardedWrite, ::testing::ValuesIn(kWritePaths),
                         [](const ::testing::TestParamInfo<WritePath>& info) { return std::string(info.param.name); });

TEST_F(State, LibraryStatusLineIsDrawnAboveTheList) {
    put(path, "[1]");
    start();
    editor.buildUi();
    const std::vector<std::string> lines = wrapText(editor.font, kLibraryReadError, 260, 260, false);
    ASSERT_GE(lines.size(), 2u);
    // The lines sit in the list's column between the title and the list.
    int inked = 0;
    for (int y = 40; y < 94; ++y) {
        for (int x = 24; x < 284; ++x) inked += editor.canvas.pixel(x, y) == 0xffa9bdce;
    }
    EXPECT_GT(inked, 100);
}

TEST_F(State, WithoutErrorOrNoticeNoStatusIsDrawn) {
    start();
    editor.buildUi();
    for (int y = 40; y < 94; ++y) {
        for (int x = 24; x < 284; ++x) ASSERT_EQ(editor.canvas.pixel(x, y), 0xff1a0427u) << x << "," << y;
    }
}

TEST_F(State, NoticeOfFittedCharactersIsShown) {
    Character big = named("aa", "Big");
    std::string text = buildCharactersDocument({big});
    const size_t size = text.find("\"size\":[32,64,32]");
    ASSERT_NE(size, std::string::npos);
    text.replace(size, 17, "\"size\":[100,64,32]");
    put(path, text);
    start();
    EXPECT_EQ(editor.libraryStatus(), kLibraryFittedNotice);
    EXPECT_EQ(editor.library.characters[0].width, 64);
}

TEST_F(State, JoinOverlayFollowsTheApplication) {
    start();
    editor.beginJoin();
    EXPECT_TRUE(editor.joinOverlayShown);
    EXPECT_FALSE(editor.disconnected);
    editor.redraw = false;
    editor.setJoinStatus("Connecting", 0);
    EXPECT_FALSE(editor.redraw);  // unchanged text and progress
    editor.setJoinStatus("Downloading assets", 0.25f);
    EXPECT_TRUE(editor.redraw);
    editor.redraw = false;
    editor.setJoinStatus("Downloading assets", 0.5f);
    EXPECT_TRUE(editor.redraw);

    editor.setJoinStatus("Downloading assets", std::nanf(""));
    EXPECT_EQ(editor.joinProgress, 0.0f);
    editor.redraw = false;
    editor.setJoinStatus("Downloading assets", std::nanf(""));
    EXPECT_FALSE(editor.redraw);  // not a number is no change on every frame

    editor.orbiting = editor.painting = true;
    editor.controls.focusId = "join.cancel";
    editor.onDisconnected("ERR_KICKED");
    EXPECT_TRUE(editor.disconnected);
    EXPECT_EQ(editor.joinStatus, "You were disconnected");
    EXPECT_EQ(editor.joinProgress, 0.0f);
    EXPECT_EQ(editor.disconnectReason, "ERR_KICKED");
    EXPECT_FALSE(editor.orbiting || editor.painting);
    EXPECT_TRUE(editor.controls.focusId.empty());

    editor.buildUi();
    editor.controls.find("join.cancel")->onClick();
    EXPECT_TRUE(editor.takeMainMenuRequest());
    EXPECT_FALSE(editor.takeMainMenuRequest());
    editor.showLibrary();
    EXPECT_FALSE(editor.joinOverlayShown);
    EXPECT_FALSE(editor.disconnected);
}

TEST_F(State, LibraryBackIsAOneShot) {
    start();
    editor.buildUi();
    editor.controls.find("library.resume")->onClick();
    EXPECT_TRUE(editor.takeLeaveLibraryRequest());
    EXPECT_FALSE(editor.takeLeaveLibraryRequest());
}

TEST_F(State, NewIdsAreFreshLowercaseHex) {
    const std::string a = CharacterEditor::newCharacterId();
    const std::string b = CharacterEditor::newCharacterId();
    EXPECT_TRUE(isLowerHex32(a)) << a;
    EXPECT_NE(a, b);
}

TEST_F(State, SkinTextureIsRebuiltOnlyWhenDirty) {
    start();
    Character other;
    other.id = "someone-else";
    EXPECT_EQ(editor.skinTexture(other), 0u);
    const uint32_t handle = editor.skinTexture(editor.character);
    ASSERT_NE(handle, 0u);
    const Texture& texture = graphics.textures().at(handle);
    EXPECT_EQ(texture.width, 256);
    const uint32_t version = texture.version;
    EXPECT_EQ(editor.skinTexture(editor.character), handle);
    EXPECT_EQ(graphics.textures().at(handle).version, version);
    editor.character.faces[0][0] = 0x0000FF;
    editor.markEdited(true);
    EXPECT_EQ(editor.skinTexture(editor.character), handle);
    EXPECT_EQ(graphics.textures().at(handle).version, version + 1);
    EXPECT_EQ(graphics.textures().at(handle).pixels[(1 * 256 + 1) * 4 + 2], 0xFF);
}

TEST_F(State, FlashTimersEndWithARedraw) {
    start();
    editor.savedFlash = 0.01;
    editor.redraw = false;
    editor.update(-1.0);  // a negative frame time changes nothing
    EXPECT_DOUBLE_EQ(editor.savedFlash, 0.01);
    editor.update(0.02);
    EXPECT_EQ(editor.savedFlash, 0.0);
    EXPECT_TRUE(editor.redraw);
}

}  // namespace
}  // namespace vobu::testing
