#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "editor/character_editor.h"
#include "editor_script.h"
#include "support/test_font.h"
#include "ui/text_field.h"

namespace vobu {
namespace {

using testing::EditorScript;

const std::string kWide = "\xE4\xB8\x80";  // U+4E00, 16 pixels in the test font

std::string repeat(const std::string& unit, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += unit;
    return out;
}

// The name field: text from x 762, 8 pixels per ASCII character.
class NameField : public EditorScript {
protected:
    void SetUp() override {
        EditorScript::SetUp();
        openFaceView();
    }
    static int charX(int index) { return 762 + 8 * index; }
    void setName(const std::string& name) {
        editor.character.name = name;
        frame();
    }
};

TEST_F(NameField, OneTwoAndThreeClicksPlaceSelectWordAndSelectAll) {
    setName("Big Red Box");
    click(charX(5) + 1, 90);
    EXPECT_TRUE(editor.textEditing);
    EXPECT_EQ(editor.field.cursor, 5);
    EXPECT_FALSE(editor.field.hasSelection());
    ticks += 200;
    click(charX(5) + 3, 90);
    EXPECT_EQ(editor.field.selectedText(), "Red");
    ticks += 200;
    click(charX(5) + 2, 90);
    EXPECT_EQ(editor.field.selectedText(), "Big Red Box");

    // Too slow or too far apart: each click is a first click again.
    ticks += 1000;
    click(charX(1), 90);
    ticks += 351;
    click(charX(1), 90);
    EXPECT_FALSE(editor.field.hasSelection());
    ticks += 100;
    click(charX(1) + 4, 90);
    EXPECT_FALSE(editor.field.hasSelection());
    EXPECT_EQ(editor.fieldController.clickCount, 1);
}

TEST_F(NameField, DraggingSelectsAndResetsTheClickCount) {
    setName("Big Red Box");
    press(charX(2), 90);
    move(charX(2) + 2, 90);  // a shaking hand: nothing yet
    EXPECT_FALSE(editor.field.hasSelection());
    move(charX(9), 90);
    EXPECT_TRUE(editor.fieldController.clickMoved);
    EXPECT_EQ(editor.fieldController.clickCount, 0);
    EXPECT_EQ(editor.field.anchor, 2);
    EXPECT_EQ(editor.field.cursor, 9);
    move(charX(0), 90);
    EXPECT_EQ(editor.field.selectedText(), "Bi");
    release(charX(0), 90);
    EXPECT_FALSE(editor.fieldController.selecting);
    // After a drag the next click is a first click, however quick.
    ticks += 50;
    click(charX(0), 90);
    EXPECT_EQ(editor.fieldController.clickCount, 1);
    // Shift extends from the caret.
    SDL_SetModState(KMOD_LSHIFT);
    click(charX(3), 90);
    SDL_SetModState(KMOD_NONE);
    EXPECT_EQ(editor.field.selectedText(), "Big");
}

TEST_F(NameField, AutoScrollFollowsThePointerPastTheEnds) {
    setName(repeat(kWide, 20));  // 320 pixels in a 226-pixel field
    press(charX(0), 90);
    move(995, 90);
    int scroll = editor.fieldController.scroll;  // the caret under the pointer is kept in view
    frame(0.1);                                  // 22 pixels
    EXPECT_EQ(editor.fieldController.scroll, scroll + 22);
    frame(0.001);  // at least one pixel
    EXPECT_EQ(editor.fieldController.scroll, scroll + 23);
    for (int i = 0; i < 20; ++i) frame(0.1);
    EXPECT_EQ(editor.fieldController.scroll, 320 - 226);
    EXPECT_EQ(editor.field.anchor, 0);
    EXPECT_EQ(editor.field.cursor, 20);
    // Back to the left end, scrolled all the way back.
    move(700, 90);
    for (int i = 0; i < 20; ++i) frame(0.1);
    EXPECT_EQ(editor.fieldController.scroll, 0);
    EXPECT_EQ(editor.field.cursor, 0);
    release(700, 90);
    EXPECT_FALSE(editor.fieldController.selecting);
}

TEST_F(NameField, TheCaretLandsUnderThePointerAfterAScroll) {
    setName(repeat(kWide, 20));
    click(charX(0), 90);
    key(SDLK_END);
    EXPECT_EQ(editor.field.cursor, 20);
    EXPECT_EQ(editor.fieldController.scroll, 320 - 226);
    // The glyph under x 800 is now (800 - 762 + 94) / 16 = 8.25: index 8.
    ticks += 1000;
    click(800, 90);
    EXPECT_EQ(editor.field.cursor, 8);
    EXPECT_EQ(editor.caretIndexAt(762 + 16 * 3 - 94 + 7), 3);
    EXPECT_EQ(editor.caretIndexAt(762 + 16 * 3 - 94 + 8), 4);
}

TEST_F(NameField, TypedTextIsCleanedLimitedAndUndoneByTheFieldsOwnHistory) {
    setName("Vobu");
    click(charX(4), 90);
    send(testing::textInput("\x01 the\tgreat\xFF"));
    EXPECT_EQ(editor.field.text, "Vobu thegreat");
    EXPECT_EQ(editor.character.name, "Vobu thegreat");
    EXPECT_TRUE(editor.unsaved);
    send(testing::textInput(std::string(30, 'x')));
    EXPECT_EQ(utf8Length(editor.field.text), 24);
    EXPECT_EQ(editor.character.name, "Vobu thegreat" + std::string(11, 'x'));

    key(SDLK_z, KMOD_LCTRL);
    EXPECT_EQ(editor.character.name, "Vobu thegreat");
    key(SDLK_z, KMOD_LCTRL);
    EXPECT_EQ(editor.character.name, "Vobu");
    key(SDLK_z, KMOD_LCTRL | KMOD_LSHIFT);
    EXPECT_EQ(editor.character.name, "Vobu thegreat");
    key(SDLK_y, KMOD_LCTRL);
    EXPECT_EQ(utf8Length(editor.character.name), 24);
    // The field's undo never touched the skin's history.
    EXPECT_TRUE(editor.undoStack.empty());
}

TEST_F(NameField, EditingKeys) {
    setName("one two three");
    click(charX(13), 90);
    key(SDLK_BACKSPACE, KMOD_LCTRL);
    EXPECT_EQ(editor.field.text, "one two ");
    key(SDLK_HOME);
    key(SDLK_RIGHT, KMOD_LCTRL | KMOD_LSHIFT);
    EXPECT_EQ(editor.field.selectedText(), "one ");
    key(SDLK_DELETE);
    EXPECT_EQ(editor.character.name, "two ");
    key(SDLK_END);
    key(SDLK_LEFT, KMOD_LSHIFT);
    EXPECT_EQ(editor.field.selectedText(), " ");
    // Tool keys are text while the field edits.
    key(SDLK_p);
    key(SDLK_x);
    EXPECT_EQ(editor.tool, CharacterEditor::ToolPen);
    // Escape ends editing and clears the selection of the face as well.
    editor.selection = {1, 1, 2, 2};
    key(SDLK_ESCAPE);
    EXPECT_FALSE(editor.textEditing);
    EXPECT_TRUE(editor.selection.empty());
    EXPECT_EQ(editor.character.name, "two ");
}

TEST_F(NameField, ACombiningMarkSitsOnItsLetterWhileEditingAndAfter) {
    const std::string name = "e\xCC\x81x";  // e, a combining acute, x: 16 pixels
    setName(name);
    const UiCanvas& c = editor.canvas;
    const Glyph& x = editor.font.glyph('x');
    constexpr uint32_t kFieldText = 0xff9694a8;
    constexpr uint32_t kFieldBackground = 0xff14041e;
    constexpr uint32_t kCaret = 0xffa9bdce;
    editor.buildUi();
    EXPECT_TRUE(testing::glyphDrawnAt(c, x, charX(1), 86, kFieldText, kFieldBackground)) << "before editing";
    // Past the middle of the x: the caret goes after it, at 762 + 16.
    click(charX(1) + 5, 90);
    EXPECT_EQ(editor.field.cursor, 3);
    move(500, 650);  // the arrow off the field
    frame();
    EXPECT_TRUE(testing::glyphDrawnAt(c, x, charX(1), 86, kFieldText, kFieldBackground)) << "while editing";
    for (int y = 85; y <= 102; ++y) EXPECT_EQ(c.pixel(charX(2), y), kCaret) << y;
    key(SDLK_ESCAPE);
    frame();
    EXPECT_TRUE(testing::glyphDrawnAt(c, x, charX(1), 86, kFieldText, kFieldBackground)) << "after editing";
    EXPECT_EQ(editor.character.name, name);
}

TEST_F(NameField, PressesElsewhereEndEditingAndTheHexFieldTakesOver) {
    setName("Vobu");
    click(charX(2), 90);
    ASSERT_TRUE(editor.textEditing);
    click(900, 130);  // the hex field
    EXPECT_TRUE(editor.textEditing);
    EXPECT_EQ(editor.fieldTarget, 1);
    EXPECT_EQ(editor.field.text, "#000000");
    auto [x, y] = texel(3, 3);
    click(x, y);
    EXPECT_FALSE(editor.textEditing);
    EXPECT_EQ(editor.fieldTarget, 0);
}

// Needs a display: the text clipboard belongs to the window system.
class NameFieldClipboard : public NameField {
protected:
    void SetUp() override {
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            if (std::getenv("VOBU_REQUIRE_DISPLAY") != nullptr) FAIL() << "no display: " << SDL_GetError();
            GTEST_SKIP() << "no display: " << SDL_GetError();
        }
        window = SDL_CreateWindow("clipboard", 0, 0, 16, 16, SDL_WINDOW_HIDDEN);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        NameField::SetUp();
    }
    void TearDown() override {
        NameField::TearDown();
        if (window != nullptr) SDL_DestroyWindow(window);
        SDL_Quit();
    }
    SDL_Window* window = nullptr;
};

TEST_F(NameFieldClipboard, CopyCutAndPasteGoThroughTheTextClipboard) {
    setName("Red Box");
    click(charX(0), 90);
    ticks += 100;
    click(charX(0), 90);
    ASSERT_EQ(editor.field.selectedText(), "Red");
    key(SDLK_x, KMOD_LCTRL);
    EXPECT_EQ(editor.character.name, " Box");
    key(SDLK_END);
    key(SDLK_v, KMOD_LCTRL);
    EXPECT_EQ(editor.character.name, " BoxRed");
    ASSERT_EQ(SDL_SetClipboardText("line\none\ttwo three four five six seven"), 0);
    key(SDLK_v, KMOD_LCTRL);
    EXPECT_EQ(editor.character.name, " BoxRedlineonetwo three ");
    EXPECT_EQ(utf8Length(editor.character.name), 24);
}

}  // namespace
}  // namespace vobu
