#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/character_editor.h"
#include "editor_script.h"

namespace vobu {
namespace {

using testing::EditorScript;

// Tab from no focus through every enabled control, in registration order.
std::vector<std::string> tabCycle(EditorScript& script, CharacterEditor& editor, size_t steps, uint16_t mods = 0) {
    std::vector<std::string> seen;
    for (size_t i = 0; i < steps; ++i) {
        editor.handleEvent(testing::keyEvent(true, SDLK_TAB, SDL_SCANCODE_UNKNOWN, mods));
        seen.push_back(editor.controls.focusId);
    }
    return seen;
}

class LibraryInput : public EditorScript {
protected:
    void SetUp() override {
        EditorScript::SetUp();
        fillLibrary();
        editor.redraw = true;
        frame();
    }
};

TEST_F(LibraryInput, TabVisitsTheControlsInOrderAndWraps) {
    std::vector<std::string> order = {"library.list",      "library.resume", "library.new", "library.edit",
                                      "library.duplicate", "library.delete", "library.list"};
    EXPECT_EQ(tabCycle(*this, editor, order.size(), 0), order);
    editor.controls.focusId.clear();
    std::vector<std::string> back = {"library.delete", "library.duplicate"};
    EXPECT_EQ(tabCycle(*this, editor, back.size(), KMOD_LSHIFT), back);
    // Any mouse press drops the focus.
    click(600, 300);
    EXPECT_TRUE(editor.controls.focusId.empty());
}

TEST_F(LibraryInput, NavigationKeysMoveTheSelectionAndTheWorkingCopyFollows) {
    const std::pair<SDL_Keycode, int> steps[] = {{SDLK_DOWN, 1}, {SDLK_PAGEDOWN, 7}, {SDLK_PAGEDOWN, 13},
                                                 {SDLK_END, 15}, {SDLK_DOWN, 15},    {SDLK_PAGEUP, 9},
                                                 {SDLK_UP, 8},   {SDLK_HOME, 0},     {SDLK_UP, 0}};
    for (auto [k, want] : steps) {
        key(k);
        EXPECT_EQ(editor.selectedIndex, want) << SDL_GetKeyName(k);
        EXPECT_EQ(editor.character.name, editor.library.characters[size_t(want)].name);
    }
}

TEST_F(LibraryInput, ReturnOpensTheEditorOrChoosesTheCharacter) {
    editor.setChoosingForJoin(true);
    key(SDLK_RETURN);
    EXPECT_TRUE(editor.characterChosen);
    EXPECT_TRUE(editor.libraryShown);
    editor.characterChosen = false;
    key(SDLK_SPACE, 0, true);  // a repeat chooses nothing
    EXPECT_FALSE(editor.characterChosen);

    editor.setChoosingForJoin(false);
    editor.controls.focusId = "library.list";
    key(SDLK_KP_ENTER);
    EXPECT_FALSE(editor.libraryShown);
    EXPECT_EQ(editor.viewMode, 1);
}

TEST_F(LibraryInput, ReturnWithNothingSelectedDoesNothing) {
    editor.library.characters.clear();
    editor.selectedIndex = -1;
    editor.redraw = true;
    frame();
    editor.setChoosingForJoin(true);
    key(SDLK_RETURN);
    EXPECT_FALSE(editor.characterChosen);
    EXPECT_TRUE(editor.libraryShown);
}

TEST_F(LibraryInput, ListPressesWheelAndThumbDrag) {
    click(100, 94 + 2 + 36 * 3 + 10);
    EXPECT_EQ(editor.selectedIndex, 3);
    move(100, 300);
    send(testing::mouseWheel(-1));
    EXPECT_EQ(editor.list.first, 1);
    send(testing::mouseWheel(-1, true));  // flipped: the other way
    EXPECT_EQ(editor.list.first, 0);
    // The thumb follows the pointer while held and lets go on release.
    ClipRect thumb = editor.list.thumbRect();
    press(thumb.x + 4, thumb.y + 4);
    ASSERT_TRUE(editor.list.dragging);
    move(thumb.x + 4, 94 + 386);
    EXPECT_EQ(editor.list.first, editor.list.lastFirstRow());
    release(thumb.x + 4, 94 + 386);
    EXPECT_FALSE(editor.list.dragging);
    // A wheel outside the list and the view does nothing.
    int first = editor.list.first;
    move(150, 650);
    send(testing::mouseWheel(3));
    EXPECT_EQ(editor.list.first, first);
}

TEST_F(LibraryInput, ButtonsClickOnlyWhenQuickShortAndInside) {
    const UiControl* back = editor.controls.find("library.resume");
    ASSERT_NE(back, nullptr);
    int x = back->x + 20;
    int y = back->y + 10;
    struct Case {
        int releaseDx;
        uint32_t heldMs;
        bool clicks;
    };
    const Case cases[] = {{0, 300, true}, {4, 0, true}, {5, 0, false}, {0, 400, false}};
    for (const Case& c : cases) {
        press(x, y);
        ticks += c.heldMs;
        move(x + c.releaseDx, y);
        release(x + c.releaseDx, y);
        EXPECT_EQ(editor.takeLeaveLibraryRequest(), c.clicks) << c.releaseDx << " px, " << c.heldMs << " ms";
    }
    // Dragged away and back: still no click.
    press(x, y);
    move(x + 30, y);
    move(x, y);
    release(x, y);
    EXPECT_FALSE(editor.takeLeaveLibraryRequest());
    // Focus loss forgets the press.
    press(x, y);
    send(testing::windowEvent(SDL_WINDOWEVENT_FOCUS_LOST));
    release(x, y);
    EXPECT_FALSE(editor.takeLeaveLibraryRequest());
}

TEST_F(LibraryInput, DraggingThePreviewOrbitsAndStopsTheSpin) {
    editor.idleSeconds = 5;
    press(600, 300, SDL_BUTTON_RIGHT);
    EXPECT_TRUE(editor.orbiting);
    float yaw = editor.yaw;
    move(650, 290, 50, -10);
    EXPECT_FLOAT_EQ(editor.yaw, yaw - 50 * 0.008f);
    EXPECT_EQ(editor.idleSeconds, 0);
    release(650, 290, SDL_BUTTON_RIGHT);
    EXPECT_FALSE(editor.orbiting);
}

class JoinOverlayInput : public EditorScript {
protected:
    void SetUp() override {
        EditorScript::SetUp();
        editor.beginJoin();
        frame();
    }
};

TEST_F(JoinOverlayInput, ItsKeysAskForTheMainMenuOncePerPress) {
    for (SDL_Keycode k : {SDLK_RETURN, SDLK_KP_ENTER, SDLK_SPACE, SDLK_ESCAPE}) {
        key(k);
        EXPECT_TRUE(editor.takeMainMenuRequest()) << SDL_GetKeyName(k);
        key(k, 0, true);
        EXPECT_FALSE(editor.takeMainMenuRequest()) << SDL_GetKeyName(k) << " repeat";
    }
    // Other keys, the wheel and presses beside the button do nothing.
    key(SDLK_z, KMOD_LCTRL);
    key(SDLK_p);
    send(testing::mouseWheel(2));
    click(100, 100);
    click(100, 100, SDL_BUTTON_RIGHT);
    EXPECT_FALSE(editor.takeMainMenuRequest());
    EXPECT_FALSE(editor.orbiting);
    EXPECT_EQ(editor.tool, CharacterEditor::ToolPen);
    // Tab still reaches the button, and its click asks too.
    key(SDLK_TAB);
    EXPECT_EQ(editor.controls.focusId, "join.cancel");
    click(500, 385);
    EXPECT_TRUE(editor.takeMainMenuRequest());
}

class EditorInput : public EditorScript {
protected:
    void SetUp() override {
        EditorScript::SetUp();
        openFaceView();
    }
};

TEST_F(EditorInput, TabVisitsTheEditorControlsInOrder) {
    std::vector<std::string> order = {"editor.preview",
                                      "face.0",
                                      "face.1",
                                      "face.2",
                                      "face.3",
                                      "face.4",
                                      "face.5",
                                      "editor.name",
                                      "paint.primary",
                                      "paint.secondary",
                                      "editor.hex",
                                      "paint.wheel",
                                      "paint.value",
                                      "tool.0",
                                      "tool.1",
                                      "tool.2",
                                      "tool.3",
                                      "tool.4",
                                      "tool.5",
                                      "tool.6",
                                      "size.minus.Width",
                                      "size.plus.Width",
                                      "size.minus.Height",
                                      "size.plus.Height",
                                      "size.minus.Depth",
                                      "size.plus.Depth",
                                      "paint.import",
                                      "paint.export",
                                      "editor.back",
                                      "editor.save",
                                      "editor.preview"};
    EXPECT_EQ(tabCycle(*this, editor, order.size()), order);
}

TEST_F(EditorInput, TabIntoTheFieldsStartsEditingWithTheCaretUnderTheRightEnd) {
    editor.controls.focusId = "paint.secondary";
    editor.primaryColor = 0xA1B2C3;
    key(SDLK_TAB);
    ASSERT_EQ(editor.controls.focusId, "editor.hex");
    EXPECT_TRUE(editor.textEditing);
    EXPECT_EQ(editor.field.text, "#a1b2c3");
    EXPECT_EQ(editor.field.cursor, 7);
    EXPECT_FALSE(editor.fieldController.selecting);
    // Tab leaves the field and commits it.
    key(SDLK_TAB);
    EXPECT_FALSE(editor.textEditing);

    // A name wider than the field: the caret goes under x 986, not the end.
    std::string wide;
    for (int i = 0; i < 20; ++i) wide += "\xE4\xB8\x80";  // U+4E00, 16 pixels
    editor.character.name = wide;
    editor.controls.focusId = "face.5";
    key(SDLK_TAB);
    ASSERT_EQ(editor.controls.focusId, "editor.name");
    EXPECT_EQ(editor.field.cursor, 14);  // (986 - 762) / 16
    EXPECT_EQ(editor.fieldController.scroll, 0);
}

TEST_F(EditorInput, ReturnActivatesTheFocusedButtonAndSpaceDabsOnThePreview) {
    editor.controls.focusId = "face.3";
    key(SDLK_RETURN);
    EXPECT_EQ(editor.face, 3);
    EXPECT_TRUE(editor.animating());
    for (int i = 0; i < 60 && editor.animating(); ++i) frame();
    // Return on the preview paints one dab at the keyboard cursor.
    editor.controls.focusId = "editor.preview";
    editor.primaryColor = 0x00AA00;
    key(SDLK_RIGHT);
    key(SDLK_RIGHT);
    key(SDLK_DOWN);
    key(SDLK_RETURN);
    EXPECT_FALSE(editor.painting);
    EXPECT_EQ(texelColor(2, 1, 3), 0x00AA00u);
    EXPECT_EQ(editor.undoStack.size(), 1u);
    key(SDLK_RETURN, 0, true);  // a held Return paints no second dab
    EXPECT_EQ(editor.undoStack.size(), 1u);
}

TEST_F(EditorInput, PreviewKeysZoomOrbitAndPan) {
    editor.controls.focusId = "editor.preview";
    float zoom = editor.zoom;
    key(SDLK_EQUALS);
    EXPECT_GT(editor.zoom, zoom);
    key(SDLK_KP_MINUS);
    EXPECT_NEAR(editor.zoom, zoom, 1e-4);
    key(SDLK_RIGHT, KMOD_LSHIFT);
    key(SDLK_UP, KMOD_LSHIFT);
    EXPECT_EQ(editor.panX, 16);
    EXPECT_EQ(editor.panY, -16);

    editor.showWholeCharacter(editor.fitDistance());
    for (int i = 0; i < 60 && editor.animating(); ++i) frame();
    ASSERT_EQ(editor.viewMode, 0);
    float yaw = editor.yaw;
    float pitch = editor.pitch;
    key(SDLK_RIGHT);
    key(SDLK_UP);
    EXPECT_FLOAT_EQ(editor.yaw, yaw + 0.12f);
    EXPECT_FLOAT_EQ(editor.pitch, pitch + 0.12f);
    for (int i = 0; i < 30; ++i) key(SDLK_UP);
    EXPECT_FLOAT_EQ(editor.pitch, 1.56f);
}

TEST_F(EditorInput, AMiddleClickResetsTheFaceViewAndAMiddleDragPans) {
    editor.zoom = 2.0f;
    editor.panX = 30;
    press(300, 300, SDL_BUTTON_MIDDLE);
    move(340, 310, 40, 10);
    release(340, 310, SDL_BUTTON_MIDDLE);
    EXPECT_EQ(editor.panX, 70);
    EXPECT_EQ(editor.panY, 10);
    EXPECT_EQ(editor.zoom, 2.0f);
    press(300, 300, SDL_BUTTON_MIDDLE);
    move(303, 302, 3, 2);
    release(303, 302, SDL_BUTTON_MIDDLE);
    EXPECT_EQ(editor.zoom, 1.0f);
    EXPECT_EQ(editor.panX, 0);
    EXPECT_EQ(editor.panY, 0);
    // Shift with the left button pans too, and paints nothing.
    SDL_SetModState(KMOD_LSHIFT);
    auto [x, y] = texel(5, 5);
    press(x, y);
    SDL_SetModState(KMOD_NONE);
    move(x + 8, y, 8, 0);
    release(x + 8, y);
    EXPECT_EQ(editor.panX, 8);
    EXPECT_TRUE(editor.undoStack.empty());
}

TEST_F(EditorInput, AMiddleClickInTheOrbitViewLeavesTheCameraAlone) {
    editor.showWholeCharacter(editor.fitDistance());
    for (int i = 0; i < 60 && editor.animating(); ++i) frame();
    ASSERT_EQ(editor.viewMode, 0);
    move(300, 300);
    for (int i = 0; i < 10; ++i) send(testing::mouseWheel(-1));
    frame();
    const float zoom = editor.zoom;
    const float distance = editor.distance;
    ASSERT_LT(zoom, 0.5f);  // zoomed well out, so a reset to 1.0 would show
    click(300, 300, SDL_BUTTON_MIDDLE);
    frame();
    EXPECT_EQ(editor.zoom, zoom);
    EXPECT_EQ(editor.distance, distance);
    EXPECT_EQ(editor.viewMode, 0);
}

TEST_F(EditorInput, TheWheelZoomsOnlyOverTheView) {
    float zoom = editor.zoom;
    move(900, 300);  // over the paint panel
    send(testing::mouseWheel(2));
    EXPECT_EQ(editor.zoom, zoom);
    move(300, 300);
    send(testing::mouseWheel(2));
    EXPECT_GT(editor.zoom, zoom);
    send(testing::mouseWheel(2, true));  // flipped: back out
    EXPECT_NEAR(editor.zoom, zoom, 1e-4);
}

TEST_F(EditorInput, FocusLossEndsTheStroke) {
    editor.primaryColor = 0x0F0F0F;
    auto [x0, y0] = texel(1, 1);
    auto [x1, y1] = texel(9, 1);
    press(x0, y0);
    send(testing::windowEvent(SDL_WINDOWEVENT_FOCUS_LOST));
    EXPECT_FALSE(editor.painting);
    move(x1, y1);
    release(x1, y1);
    EXPECT_EQ(texelColor(1, 1), 0x0F0F0Fu);
    EXPECT_NE(texelColor(5, 1), 0x0F0F0Fu);
    EXPECT_EQ(editor.undoStack.size(), 1u);
}

TEST_F(EditorInput, PointerUpdatesHoverAndCancelsAPressThatLeft) {
    const UiControl* save = editor.controls.find("editor.save");
    ASSERT_NE(save, nullptr);
    press(save->x + 10, save->y + 10);
    editor.updatePointer(save->x + 10, save->y + 10);
    EXPECT_FALSE(editor.controls.cancelled);
    editor.updatePointer(save->x + 16, save->y + 10);
    EXPECT_TRUE(editor.controls.cancelled);
    EXPECT_EQ(editor.controls.pointerX, save->x + 16);
    editor.redraw = false;
    editor.updatePointer(save->x + 16, save->y + 10);
    EXPECT_FALSE(editor.redraw);  // an unmoved pointer changes nothing
}

}  // namespace
}  // namespace vobu
