// The drags of the editor: each press names its drag, and every way a drag
// can end (a release of any button, the loss of focus, a disconnect, an edit
// from a key, a camera move, a screen change) ends all of them, so that
// nothing dragged goes on where the pointer now means something else.

#include <gtest/gtest.h>

#include <SDL.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "editor/character_editor.h"
#include "editor_script.h"

namespace vobu {
namespace {

using testing::EditorScript;

const char* dragName(EditorDrag drag) {
    static const char* const names[] = {"None",      "ListThumb",  "FieldSelection", "Picker", "MovingSelection",
                                        "Selecting", "Line",       "Stroke",         "Resize", "Orbit",
                                        "Pan",       "MiddleClick"};
    return names[int(drag)];
}

}  // namespace

// Failures name the drag.
void PrintTo(EditorDrag drag, std::ostream* out) { *out << dragName(drag); }

namespace {

enum class Screen { Library, FaceView, FaceViewTurning, OrbitView };

class Drags : public EditorScript {
public:
    // The tables' lambdas drive the editor through these.
    using EditorScript::editor;
    using EditorScript::key;
    using EditorScript::press;
    using EditorScript::release;
    using EditorScript::send;
    using EditorScript::texel;

    // Tabs until the focus is on `id`.
    void focusByTab(const std::string& id) {
        for (int i = 0; i < 40 && editor.controls.focusId != id; ++i) key(SDLK_TAB);
        ASSERT_EQ(editor.controls.focusId, id);
    }

protected:
    void SetUp() override {
        EditorScript::SetUp();
        fillLibrary();
    }
    void TearDown() override {
        SDL_SetModState(KMOD_NONE);
        EditorScript::TearDown();
    }

    void settle() {
        for (int i = 0; i < 60 && editor.animating(); ++i) frame();
    }

    // A fresh screen, as the Application shows it, with nothing held.
    void show(Screen screen) {
        SDL_SetModState(KMOD_NONE);
        editor.showLibrary();
        editor.undoStack.clear();
        editor.tool = CharacterEditor::ToolPen;
        frame();
        if (screen == Screen::Library) return;
        openFaceView();
        if (screen == Screen::OrbitView) {
            editor.showWholeCharacter(editor.fitDistance());
            settle();
        }
        if (screen == Screen::FaceViewTurning) editor.focusFace(FaceBack);
        frame();
    }

    // Wheel steps out over the view until the orbit view shows.
    void zoomOutToTheOrbitView() {
        move(300, 300);
        for (int i = 0; i < 10 && editor.viewMode == 1; ++i) send(testing::mouseWheel(-1));
        ASSERT_EQ(editor.viewMode, 0);
    }

    // What a pointer movement could change while a drag runs.
    struct Picture {
        std::vector<uint32_t> face;
        int width, height, depth;
        float yaw, pitch, panX, panY;
        uint32_t primary, secondary;
        int listFirst;
        IntRect selection;
        bool operator==(const Picture&) const = default;
    };
    Picture picture() const {
        const Character& c = editor.character;
        return {c.faces[size_t(editor.face)],
                c.width,
                c.height,
                c.depth,
                editor.yaw,
                editor.pitch,
                editor.panX,
                editor.panY,
                editor.primaryColor,
                editor.secondaryColor,
                editor.list.first,
                editor.selection};
    }
};

// A press that starts one drag, and the button whose release ends it.
struct DragStart {
    const char* name;
    Screen screen;
    EditorDrag drag;
    std::function<int(Drags&, CharacterEditor&)> press;
};

TEST_F(Drags, EachPressNamesItsDragAndEveryEndEndsIt) {
    auto pressAt = [](Drags& t, int x, int y, int button) {
        t.press(x, y, button);
        return button;
    };
    auto pressTexel = [](Drags& t, int tx, int ty) {
        auto [x, y] = t.texel(tx, ty);
        t.press(x, y);
        return int(SDL_BUTTON_LEFT);
    };
    const DragStart starts[] = {
        {"list thumb", Screen::Library, EditorDrag::ListThumb,
         [](Drags& t, CharacterEditor& e) {
             const ClipRect thumb = e.list.thumbRect();
             t.press(thumb.x + 4, thumb.y + 4);
             return int(SDL_BUTTON_LEFT);
         }},
        {"library orbit", Screen::Library, EditorDrag::Orbit,
         [&](Drags& t, CharacterEditor&) { return pressAt(t, 600, 300, SDL_BUTTON_RIGHT); }},
        {"name field", Screen::FaceView, EditorDrag::FieldSelection,
         [&](Drags& t, CharacterEditor&) { return pressAt(t, 800, 94, SDL_BUTTON_LEFT); }},
        {"colour wheel", Screen::FaceView, EditorDrag::Picker,
         [&](Drags& t, CharacterEditor&) { return pressAt(t, 900, 250, SDL_BUTTON_LEFT); }},
        {"lifted selection", Screen::FaceView, EditorDrag::MovingSelection,
         [&](Drags& t, CharacterEditor& e) {
             e.selection = IntRect{1, 1, 4, 4};
             return pressTexel(t, 2, 2);
         }},
        {"selection rectangle", Screen::FaceView, EditorDrag::Selecting,
         [&](Drags& t, CharacterEditor& e) {
             e.tool = CharacterEditor::ToolSelect;
             return pressTexel(t, 2, 2);
         }},
        {"line", Screen::FaceView, EditorDrag::Line,
         [&](Drags& t, CharacterEditor& e) {
             e.tool = CharacterEditor::ToolLine;
             return pressTexel(t, 2, 2);
         }},
        {"pen stroke", Screen::FaceView, EditorDrag::Stroke,
         [&](Drags& t, CharacterEditor&) { return pressTexel(t, 2, 2); }},
        {"right-button brush stroke", Screen::FaceView, EditorDrag::Stroke,
         [&](Drags& t, CharacterEditor& e) {
             e.tool = CharacterEditor::ToolBrush;
             auto [x, y] = t.texel(2, 2);
             return pressAt(t, x, y, SDL_BUTTON_RIGHT);
         }},
        {"keyboard stroke", Screen::FaceView, EditorDrag::Stroke,
         [](Drags& t, CharacterEditor& e) {
             e.controls.focusId = "editor.preview";
             t.key(SDLK_SPACE);
             EXPECT_TRUE(e.keyPainting);
             // Its end here is the release of a mouse button: the stroke
             // ends, and with it the keyboard's hold on it.
             t.press(600, 40);
             return int(SDL_BUTTON_LEFT);
         }},
        {"resize handle", Screen::FaceView, EditorDrag::Resize,
         [&](Drags& t, CharacterEditor& e) {
             const IntRect handle = e.resizeHandleRect(2);
             return pressAt(t, handle.x + 5, handle.y + 5, SDL_BUTTON_LEFT);
         }},
        {"middle pan", Screen::FaceView, EditorDrag::Pan,
         [&](Drags& t, CharacterEditor&) { return pressAt(t, 300, 300, SDL_BUTTON_MIDDLE); }},
        {"shift pan", Screen::FaceView, EditorDrag::Pan,
         [&](Drags& t, CharacterEditor&) {
             SDL_SetModState(KMOD_LSHIFT);
             pressAt(t, 300, 300, SDL_BUTTON_LEFT);
             SDL_SetModState(KMOD_NONE);
             return int(SDL_BUTTON_LEFT);
         }},
        {"middle press while the face turns", Screen::FaceViewTurning, EditorDrag::MiddleClick,
         [&](Drags& t, CharacterEditor&) { return pressAt(t, 300, 300, SDL_BUTTON_MIDDLE); }},
        {"orbit view orbit", Screen::OrbitView, EditorDrag::Orbit,
         [&](Drags& t, CharacterEditor&) { return pressAt(t, 300, 300, SDL_BUTTON_RIGHT); }},
        {"orbit view middle press", Screen::OrbitView, EditorDrag::None,
         [&](Drags& t, CharacterEditor&) { return pressAt(t, 300, 300, SDL_BUTTON_MIDDLE); }},
    };
    enum class End { Release, FocusLoss, Disconnect };
    for (const DragStart& start : starts) {
        for (End end : {End::Release, End::FocusLoss, End::Disconnect}) {
            SCOPED_TRACE(std::string(start.name) + ", ended by " +
                         (end == End::Release     ? "the release"
                          : end == End::FocusLoss ? "the focus loss"
                                                  : "a disconnect"));
            show(start.screen);
            const int button = start.press(*this, editor);
            EXPECT_EQ(editor.currentDrag(), start.drag);
            if (end == End::Release) release(editor.pointerX, editor.pointerY, button);
            if (end == End::FocusLoss) send(testing::windowEvent(SDL_WINDOWEVENT_FOCUS_LOST));
            if (end == End::Disconnect) editor.onDisconnected("ERR_KICKED");
            EXPECT_EQ(editor.currentDrag(), EditorDrag::None);
            EXPECT_FALSE(editor.keyPainting);
            // Nothing follows the pointer any more.
            const Picture before = picture();
            move(editor.pointerX + 40, editor.pointerY + 30, 40, 30);
            EXPECT_TRUE(picture() == before);
            release(editor.pointerX, editor.pointerY, button);
        }
    }
}

TEST_F(Drags, ALineIsDrawnWhenItsDragIsCommittedAndNotWhenDropped) {
    struct Case {
        const char* name;
        std::function<void(Drags&)> end;
        bool drawn;
    };
    const Case cases[] = {
        {"release", [](Drags& t) { t.release(t.editor.pointerX, t.editor.pointerY); }, true},
        {"focus loss", [](Drags& t) { t.send(testing::windowEvent(SDL_WINDOWEVENT_FOCUS_LOST)); }, true},
        {"disconnect", [](Drags& t) { t.editor.onDisconnected(""); }, true},
        {"another face from the keyboard",
         [](Drags& t) {
             t.focusByTab("face.1");
             t.key(SDLK_RETURN);
             ASSERT_EQ(t.editor.face, 1);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        show(Screen::FaceView);
        editor.tool = CharacterEditor::ToolLine;
        editor.brushSize = 1;
        editor.primaryColor = 0x123456;
        auto [x0, y0] = texel(2, 2);
        auto [x1, y1] = texel(12, 2);
        press(x0, y0);
        move(x1, y1, x1 - x0, 0);
        c.end(*this);
        EXPECT_EQ(editor.currentDrag(), EditorDrag::None);
        EXPECT_EQ(texelColor(7, 2, FaceFront) == 0x123456u, c.drawn);
        release(x1, y1);
        EXPECT_EQ(texelColor(7, 2, FaceFront) == 0x123456u, c.drawn) << "a later release draws nothing more";
    }
}

TEST_F(Drags, AMiddleClickDoesNotOutliveAViewChange) {
    // Pressed in the face view, released in the orbit view: the orbit zoom
    // stays as the zoom-out left it.
    show(Screen::FaceView);
    press(300, 300, SDL_BUTTON_MIDDLE);
    zoomOutToTheOrbitView();
    EXPECT_EQ(editor.currentDrag(), EditorDrag::None);
    const float orbitZoom = editor.zoom;
    release(300, 300, SDL_BUTTON_MIDDLE);
    EXPECT_EQ(editor.zoom, orbitZoom);

    // Pressed in the face view, released over the library: the preview
    // keeps its own zoom.
    show(Screen::FaceView);
    press(300, 300, SDL_BUTTON_MIDDLE);
    editor.showLibrary();
    release(300, 300, SDL_BUTTON_MIDDLE);
    EXPECT_EQ(editor.zoom, 0.75f);
}

TEST_F(Drags, AStrokeDoesNotGoOnOverTheLibrary) {
    show(Screen::FaceView);
    auto [x0, y0] = texel(1, 1);
    auto [x1, y1] = texel(9, 1);
    press(x0, y0);
    ASSERT_TRUE(editor.unsaved);
    editor.showLibrary();  // as the Application does for the main menu
    move(x1, y1, x1 - x0, 0);
    release(x1, y1);
    EXPECT_FALSE(editor.unsaved);
    EXPECT_EQ(editor.character.faces, editor.library.characters[0].faces);
}

TEST_F(Drags, AResizeEndsWhenTheKeyboardTurnsToAnotherFace) {
    show(Screen::FaceView);
    const IntRect handle = editor.resizeHandleRect(0);
    const int x = handle.x + 5, y = handle.y + 5;
    press(x, y);
    const int grow = int(4 * editor.pixelsPerTexel);
    move(x + grow, y, grow, 0);
    ASSERT_EQ(editor.character.width, 36);
    const float scale = editor.pixelsPerTexel;
    focusByTab("face.2");
    key(SDLK_RETURN);
    EXPECT_EQ(editor.currentDrag(), EditorDrag::None);
    EXPECT_NEAR(editor.zoom * editor.faceBaseScale(), scale, 1e-4f);  // the drag's scale is kept
    settle();
    // Pulling on: the Left face's handle is not held, so neither the width
    // the drag reached nor the depth changes.
    move(x + 3 * grow, y, 2 * grow, 0);
    release(x + 3 * grow, y);
    EXPECT_EQ(editor.character.width, 36);
    EXPECT_EQ(editor.character.depth, 32);
    EXPECT_EQ(editor.undoStack.size(), 1u);
}

TEST_F(Drags, APickerDragEndsWhenTheViewChanges) {
    show(Screen::FaceView);
    press(900, 250);
    ASSERT_EQ(editor.currentDrag(), EditorDrag::Picker);
    zoomOutToTheOrbitView();
    const uint32_t color = editor.primaryColor;
    move(320, 330, 20, 30);
    release(320, 330);
    EXPECT_EQ(editor.primaryColor, color);
}

TEST_F(Drags, AReleaseOfAnyButtonEndsTheMiddleClick) {
    show(Screen::FaceView);
    editor.zoom = 2.0f;
    press(300, 300, SDL_BUTTON_MIDDLE);
    click(600, 40);  // beside the view, the panel and every button
    EXPECT_EQ(editor.currentDrag(), EditorDrag::None);
    release(300, 300, SDL_BUTTON_MIDDLE);
    EXPECT_EQ(editor.zoom, 2.0f);
}

TEST_F(Drags, EditsFromKeysEndTheDrags) {
    // A pan, then undo: the pan is over.
    show(Screen::FaceView);
    press(300, 300, SDL_BUTTON_MIDDLE);
    key(SDLK_z, KMOD_LCTRL);
    EXPECT_EQ(editor.currentDrag(), EditorDrag::None);
    move(340, 320, 40, 20);
    EXPECT_EQ(editor.panX, 0);
    release(340, 320, SDL_BUTTON_MIDDLE);

    // An orbit, then undo: the orbit is over.
    show(Screen::OrbitView);
    press(300, 300, SDL_BUTTON_RIGHT);
    key(SDLK_z, KMOD_LCTRL);
    EXPECT_EQ(editor.currentDrag(), EditorDrag::None);
    const float yaw = editor.yaw;
    move(340, 300, 40, 0);
    EXPECT_EQ(editor.yaw, yaw);
    release(340, 300, SDL_BUTTON_RIGHT);
}

TEST_F(Drags, ReleasingSpaceEndsTheDragsAsAButtonReleaseDoes) {
    show(Screen::FaceView);
    editor.controls.focusId = "editor.preview";
    key(SDLK_SPACE);
    ASSERT_TRUE(editor.keyPainting);
    press(300, 300, SDL_BUTTON_MIDDLE);
    keyUp(SDLK_SPACE);
    EXPECT_EQ(editor.currentDrag(), EditorDrag::None);
    move(340, 320, 40, 20);
    EXPECT_EQ(editor.panX, 0);
    release(340, 320, SDL_BUTTON_MIDDLE);
}

}  // namespace
}  // namespace vobu
