#include <gtest/gtest.h>

#include <map>
#include <set>

#include "character/face_codec.h"
#include "editor/character_editor.h"
#include "editor/png_files.h"
#include "editor/skin_sheet.h"
#include "editor_script.h"
#include "platform/png_codec.h"

namespace vobu {
namespace {

using testing::EditorScript;

class PaintTools : public EditorScript {
protected:
    void SetUp() override {
        EditorScript::SetUp();
        openFaceView();
        ASSERT_TRUE(editor.faceViewReady());
        ASSERT_GT(editor.pixelsPerTexel, 4.0f);
        original = editor.character;
    }
    int changedTexels(int f = 0) const {
        int n = 0;
        for (int i = 0; i < kFaceCanvasTexels; ++i) n += editor.character.faces[f][i] != original.faces[f][i];
        return n;
    }
    // A lifted selection of (4, 4, 6, 5) grabbed at texel (6, 6).
    void selectBox() {
        editor.tool = CharacterEditor::ToolSelect;
        strokeTexels({{4, 4}, {9, 8}});
        ASSERT_EQ(editor.selection, (IntRect{4, 4, 6, 5}));
        editor.tool = CharacterEditor::ToolPen;
    }
    Character original;
};

TEST_F(PaintTools, OneStrokeIsOneUndoStepAndUndoRestoresTheFace) {
    editor.primaryColor = 0x112233;
    strokeTexels({{2, 2}, {3, 2}, {4, 2}, {5, 3}, {8, 8}});
    EXPECT_EQ(editor.undoStack.size(), 1u);
    // The jump from (5, 3) to (8, 8) is joined by the line between them.
    EXPECT_EQ(texelColor(2, 2), 0x112233u);
    EXPECT_EQ(texelColor(6, 5), 0x112233u);
    EXPECT_EQ(texelColor(8, 8), 0x112233u);
    EXPECT_TRUE(editor.unsaved);
    editor.undo();
    EXPECT_EQ(changedTexels(), 0);
    EXPECT_TRUE(editor.undoStack.empty());
}

// What one frame sent to the GPU, by texture object.
std::map<uint32_t, uint64_t> bytesByObject(const testing::Recording& recording) {
    std::map<uint32_t, uint64_t> sent;
    for (const testing::RecordedUpload& upload : recording.uploads) {
        if (upload.frame == recording.frames.size()) sent[upload.object] += upload.bytes;
    }
    return sent;
}

TEST_F(PaintTools, AStrokeUploadsOnlyTheSkinRowsItTouchesAndNoCanvas) {
    frame();
    auto [x, y] = texel(2, 2);
    move(x, y);
    frame();
    press(x, y);
    frame();
    frame();  // the first dab and whatever the press changed on the canvas are sent
    const uint32_t skinObject = recording.draws.at(1).boundObject;  // the box, after the black view
    for (int tx = 3; tx < 12; ++tx) {
        auto [px, py] = texel(tx, 2 + tx / 4);
        move(px, py, px - x, py - y);
        x = px;
        y = py;
        frame();
        const std::map<uint32_t, uint64_t> sent = bytesByObject(recording);
        ASSERT_EQ(sent.size(), 1u) << "texel " << tx << ": the skin alone";
        EXPECT_EQ(sent.begin()->first, skinObject);
        const testing::RecordedUpload& skin = recording.uploads.back();
        // One texel is one atlas pixel: a move to the next texel changes one
        // row, or two where the line steps down a row.
        EXPECT_GE(skin.rows.rows(), 1) << tx;
        EXPECT_LE(skin.rows.rows(), 2) << tx;
        EXPECT_EQ(skin.bytes, uint64_t(skin.rows.rows()) * uint64_t(skin.width) * 4u);
        EXPECT_EQ(recording.images.at(skinObject), graphics.textures().at(editor.skinTextureHandle).pixels);
    }
    release(x, y);
    frame();
}

TEST_F(PaintTools, PointerMovesOnAndOffTheFaceUploadNothing) {
    frame();
    for (auto [tx, ty] : {std::pair{1, 1}, {5, 9}, {12, 3}, {0, 15}}) {
        auto [x, y] = texel(tx, ty);
        move(x, y);
        frame();
        EXPECT_EQ(recording.bytesThisFrame(), 0u) << tx << ", " << ty;
    }
    // Off the face the arrow is a quad of its own over the canvas, so the
    // canvas stays the same too.
    for (auto [x, y] : {std::pair{40, 400}, {44, 430}, {600, 100}, {1000, 660}}) {
        move(x, y);
        frame();
        if (x == 40) continue;  // the arrow's image goes up once
        EXPECT_EQ(recording.bytesThisFrame(), 0u) << x << ", " << y;
    }
}

TEST_F(PaintTools, SeventeenStrokesKeepTheSixteenNewestSnapshots) {
    for (int i = 0; i < 17; ++i) {
        editor.primaryColor = uint32_t(0x100 + i);
        strokeTexels({{i, 0}});
    }
    ASSERT_EQ(editor.undoStack.size(), 16u);
    for (int i = 0; i < 16; ++i) editor.undo();
    // The first stroke is older than every kept snapshot.
    EXPECT_EQ(texelColor(0, 0), 0x100u);
    EXPECT_EQ(texelColor(1, 0), original.faces[0][1]);
    editor.undo();
    EXPECT_EQ(texelColor(0, 0), 0x100u);
}

TEST_F(PaintTools, AStrokeThatLeavesTheFaceDoesNotJoinItsTwoParts) {
    editor.primaryColor = 0xABCDEF;
    auto [x0, y0] = texel(1, 10);
    auto [x1, y1] = texel(20, 10);
    press(x0, y0);
    move(x0, y0);
    move(editor.faceRect.x - 20, y0);  // off the face, left of it
    move(x1, y1);
    release(x1, y1);
    EXPECT_EQ(texelColor(1, 10), 0xABCDEFu);
    EXPECT_EQ(texelColor(20, 10), 0xABCDEFu);
    EXPECT_EQ(texelColor(10, 10), original.faces[0][10 * 64 + 10]);
    EXPECT_EQ(changedTexels(), 2);
    EXPECT_EQ(editor.undoStack.size(), 1u);
}

TEST_F(PaintTools, BrushEraseAndLineUseTheirSizeAndColours) {
    editor.primaryColor = 0x0000FF;
    editor.secondaryColor = 0x00FF00;
    editor.brushSize = 3;
    editor.roundBrush = false;

    editor.tool = CharacterEditor::ToolBrush;
    strokeTexels({{10, 10}});
    EXPECT_EQ(changedTexels(), 9);
    EXPECT_EQ(texelColor(9, 9), 0x0000FFu);

    // Erase paints the secondary colour even with the left button.
    editor.tool = CharacterEditor::ToolErase;
    strokeTexels({{20, 20}});
    EXPECT_EQ(texelColor(21, 21), 0x00FF00u);

    // The line is painted only on release, with the pressing button's colour.
    editor.tool = CharacterEditor::ToolLine;
    auto [ax, ay] = texel(2, 40);
    auto [bx, by] = texel(12, 40);
    press(ax, ay, SDL_BUTTON_RIGHT);
    move(bx, by);
    EXPECT_EQ(texelColor(7, 40), original.faces[0][40 * 64 + 7]);
    std::vector<std::pair<int, int>> preview = editor.linePreviewTexels();
    EXPECT_EQ(preview.size(), 39u);  // 13 texels long with the brush's ends, 3 wide, each once
    release(bx, by, SDL_BUTTON_RIGHT);
    EXPECT_EQ(texelColor(7, 40), 0x00FF00u);
    EXPECT_EQ(texelColor(7, 41), 0x00FF00u);
    EXPECT_EQ(texelColor(13, 40), 0x00FF00u);
    EXPECT_EQ(editor.undoStack.size(), 3u);
    EXPECT_TRUE(editor.linePreviewTexels().empty());
}

TEST_F(PaintTools, FillTakesTheConnectedRegionAndPickTakesTheTexel) {
    for (int i = 0; i < kFaceCanvasTexels; ++i) editor.character.faces[0][i] = i % 64 == 10 ? 0x000000 : 0x777777;
    original = editor.character;
    editor.tool = CharacterEditor::ToolFill;
    editor.primaryColor = 0x123456;
    auto [x, y] = texel(5, 5);
    click(x, y);
    EXPECT_EQ(changedTexels(), 10 * 64);  // left of the dark column only
    EXPECT_EQ(texelColor(11, 5), 0x777777u);
    EXPECT_EQ(editor.undoStack.size(), 1u);
    // A fill that changes nothing records no undo step: the same colour
    // again, or a press outside the selection (inside it the press lifts).
    click(x, y);
    editor.selection = {20, 20, 4, 4};
    auto [ox, oy] = texel(15, 30);
    click(ox, oy);
    EXPECT_EQ(editor.undoStack.size(), 1u);
    EXPECT_EQ(texelColor(15, 30), 0x777777u);

    editor.selection = {};
    editor.tool = CharacterEditor::ToolPick;
    click(ox, oy, SDL_BUTTON_RIGHT);
    EXPECT_EQ(editor.secondaryColor, 0x777777u);
    EXPECT_TRUE(editor.secondaryActive);
    EXPECT_FLOAT_EQ(editor.value, float(0x77) / 255.0f);
    EXPECT_EQ(editor.undoStack.size(), 1u);  // a pick records nothing
}

TEST_F(PaintTools, ALiftMovedToTheEdgeStopsThereAndOneUndoRestoresIt) {
    editor.secondaryColor = 0x00FFFF;
    selectBox();
    editor.undoStack.clear();
    Character before = editor.character;
    auto [gx, gy] = texel(6, 6);
    press(gx, gy);
    EXPECT_TRUE(editor.movingSelection);
    EXPECT_TRUE(editor.undoStack.empty());  // nothing changes before a move
    auto [fx, fy] = texel(0, 0);
    for (int step = 1; step <= 10; ++step) {
        move(gx + (fx - 200 - gx) * step / 10, gy + (fy - 200 - gy) * step / 10);
    }
    release(fx - 200, fy - 200);
    // Pulled far beyond the top-left corner, the block stops at the edge.
    EXPECT_EQ(editor.selection, (IntRect{0, 0, 6, 5}));
    EXPECT_EQ(editor.undoStack.size(), 1u);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 6; ++x) EXPECT_EQ(texelColor(x, y), before.faces[0][(4 + y) * 64 + 4 + x]);
    }
    // The vacated texels that the block no longer covers show the secondary colour.
    EXPECT_EQ(texelColor(9, 8), 0x00FFFFu);
    EXPECT_EQ(texelColor(6, 5), 0x00FFFFu);
    EXPECT_EQ(texelColor(10, 8), before.faces[0][8 * 64 + 10]);
    editor.undo();
    EXPECT_EQ(editor.character.faces, before.faces);
}

TEST_F(PaintTools, APastedImageLargerThanTheFaceBecomesASelectionCutAtTheEdges) {
    RgbaImage image;
    image.width = 64;
    image.height = 64;
    image.pixels.assign(64 * 64 * 4, 0);
    for (int i = 0; i < 64 * 64; ++i) {
        image.pixels[i * 4] = 0x40;
        image.pixels[i * 4 + 3] = 255;
    }
    auto [x, y] = texel(20, 50);
    move(x, y);
    editor.pasteImage(image);
    // At the pointer's texel, cut to the 32 x 64 face.
    EXPECT_EQ(editor.selection, (IntRect{20, 50, 12, 14}));
    EXPECT_EQ(texelColor(31, 63), 0x400000u);
    EXPECT_EQ(texelColor(19, 50), original.faces[0][50 * 64 + 19]);
    EXPECT_EQ(editor.undoStack.size(), 1u);

    // With no selection and the pointer off the face it goes to the corner.
    editor.selection = {};
    move(900, 600);
    editor.pasteImage(image);
    EXPECT_EQ(editor.selection, (IntRect{0, 0, 32, 64}));

    // Invalid images and pastes while the camera moves are ignored.
    RgbaImage broken = image;
    broken.pixels.pop_back();
    editor.pasteImage(broken);
    editor.animProgress = 0.5f;
    editor.pasteImage(image);
    editor.animProgress = 1.0f;
    EXPECT_EQ(editor.undoStack.size(), 2u);
}

TEST_F(PaintTools, ShrinkingThenGrowingTheBoxKeepsTheTexels) {
    for (int i = 0; i < 20; ++i) editor.stepSize(0, -1);
    EXPECT_EQ(editor.character.width, 16);
    EXPECT_EQ(editor.undoStack.size(), 16u);  // the steps at 16 record nothing
    for (int i = 0; i < 60; ++i) editor.stepSize(0, +1);
    EXPECT_EQ(editor.character.width, 64);
    EXPECT_EQ(editor.character.faces, original.faces);
    size_t before = editor.undoStack.size();
    editor.stepSize(0, +1);
    EXPECT_EQ(editor.undoStack.size(), before);
}

TEST_F(PaintTools, PressesWhileTheCameraAnimatesAreIgnored) {
    editor.focusFace(1);
    ASSERT_TRUE(editor.animating());
    auto [x, y] = texel(5, 5);
    click(x, y);
    click(x, y, SDL_BUTTON_RIGHT);
    editor.tool = CharacterEditor::ToolFill;
    click(x, y);
    EXPECT_TRUE(editor.undoStack.empty());
    EXPECT_EQ(editor.character.faces, original.faces);
    for (int i = 0; i < 60 && editor.animating(); ++i) frame();
    ASSERT_FALSE(editor.animating());
    EXPECT_EQ(editor.face, 1);
    auto [bx, by] = texel(5, 5);
    click(bx, by);
    EXPECT_EQ(editor.undoStack.size(), 1u);
}

TEST_F(PaintTools, ARightPressDeselectsWithTheSelectToolOrASelection) {
    selectBox();
    auto [x, y] = texel(20, 20);
    click(x, y, SDL_BUTTON_RIGHT);
    EXPECT_TRUE(editor.selection.empty());
    EXPECT_EQ(changedTexels(), 0);
    // Without a selection a right press paints the secondary colour.
    editor.secondaryColor = 0x010203;
    click(x, y, SDL_BUTTON_RIGHT);
    EXPECT_EQ(texelColor(20, 20), 0x010203u);
}

TEST_F(PaintTools, ACutErasesOnlyWhatReachedTheClipboard) {
    editor.secondaryColor = 0xFFFFFF;
    selectBox();
    editor.undoStack.clear();
    clipboard.focused = false;  // the copy fails
    key(SDLK_x, KMOD_LCTRL);
    EXPECT_EQ(changedTexels(), 0);
    EXPECT_TRUE(editor.undoStack.empty());

    clipboard.focused = true;
    key(SDLK_x, KMOD_LCTRL);
    EXPECT_EQ(changedTexels(), 30);
    EXPECT_EQ(texelColor(4, 4), 0xFFFFFFu);
    EXPECT_EQ(editor.undoStack.size(), 1u);
    ASSERT_FALSE(clipboard.held.empty());

    // The cut pixels come back through a paste, at the selection.
    key(SDLK_v, KMOD_LCTRL);
    frame();
    EXPECT_EQ(editor.undoStack.size(), 2u);
    for (int y = 4; y < 9; ++y) {
        for (int x = 4; x < 10; ++x) EXPECT_EQ(texelColor(x, y), original.faces[0][y * 64 + x]);
    }
}

// Each key acts on the face the move left, not on the face under the lift.
TEST_F(PaintTools, EditKeysDuringALiftedMoveEndTheMoveFirst) {
    selectBox();
    editor.undoStack.clear();
    auto [gx, gy] = texel(6, 6);
    auto [mx, my] = texel(16, 20);
    press(gx, gy);
    move(mx, my);
    ASSERT_EQ(editor.selection, (IntRect{14, 18, 6, 5}));
    Character moved = editor.character;

    // Undo during the move: the move is over and undone; the next motion
    // must not bring the lifted pixels back.
    key(SDLK_z, KMOD_LCTRL);
    EXPECT_FALSE(editor.movingSelection);
    EXPECT_EQ(editor.character.faces, original.faces);
    move(mx + 40, my + 40);
    release(mx + 40, my + 40);
    EXPECT_EQ(editor.character.faces, original.faces);
    EXPECT_TRUE(editor.undoStack.empty());

    // Paste during a move: the pasted pixels survive the next motions.
    editor.selection = {4, 4, 6, 5};
    key(SDLK_c, KMOD_LCTRL);
    press(gx, gy);
    move(mx, my);
    ASSERT_EQ(editor.undoStack.size(), 1u);
    key(SDLK_v, KMOD_LCTRL);
    frame();
    Character pasted = editor.character;
    EXPECT_EQ(editor.undoStack.size(), 2u);
    move(mx + 30, my + 30);
    release(mx + 30, my + 30);
    EXPECT_EQ(editor.character.faces, pasted.faces);
    editor.undo();
    EXPECT_EQ(editor.character.faces, moved.faces);
    editor.undo();
    EXPECT_EQ(editor.character.faces, original.faces);
}

TEST_F(PaintTools, UndoDuringAResizeDragEndsTheDrag) {
    IntRect handle = editor.resizeHandleRect(0);
    int hx = handle.x + handle.w / 2;
    int hy = handle.y + handle.h / 2;
    press(hx, hy);
    ASSERT_TRUE(editor.resizing);
    move(hx + int(editor.pixelsPerTexel * 6), hy);
    ASSERT_EQ(editor.character.width, 38);
    key(SDLK_z, KMOD_LCTRL);
    EXPECT_FALSE(editor.resizing);
    EXPECT_EQ(editor.character.width, 32);
    move(hx + int(editor.pixelsPerTexel * 10), hy);
    release(hx + int(editor.pixelsPerTexel * 10), hy);
    EXPECT_EQ(editor.character.width, 32);
    EXPECT_TRUE(editor.undoStack.empty());
}

TEST_F(PaintTools, ImportTakesTheSheetAsOneUndoStepAndRefusesOtherImages) {
    Character painted = editor.character;
    painted.setSize(20, 30, 40);
    for (uint32_t& texel : painted.faces[0]) texel = 0x336699;
    editor.importSheet(makeSkinSheet(painted));
    EXPECT_EQ(editor.character.width, 20);
    EXPECT_EQ(editor.character.depth, 40);
    EXPECT_EQ(texelColor(19, 29), 0x336699u);
    EXPECT_EQ(editor.character.id, original.id);
    EXPECT_EQ(editor.undoStack.size(), 1u);

    RgbaImage blank;
    blank.width = 8;
    blank.height = 8;
    blank.pixels.assign(8 * 8 * 4, 0);
    editor.importSheet(blank);
    EXPECT_EQ(editor.undoStack.size(), 1u);
    EXPECT_EQ(editor.character.width, 20);
}

// Export and Import through the buttons, the dialog and the PNG slot, with
// the files kept in memory.
TEST_F(PaintTools, ExportThenImportBringsTheSkinBackAsOneUndoStep) {
    std::map<std::string, std::string> files;
    std::vector<FileDialogRequest> dialogs;
    ImageFileCalls calls;
    calls.dialog = [&](const FileDialogRequest& request, std::string& path) {
        dialogs.push_back(request);
        path = "/skins/patty.png";
        return true;
    };
    calls.encode = encodePng;
    calls.replaceFile = [&](const std::string& path, const std::string& bytes) {
        files[path] = bytes;
        return true;
    };
    calls.decodeFile = [&](const std::string& path, uint32_t maxSide, PngPixels& out) {
        auto it = files.find(path);
        if (it == files.end()) return false;
        return decodePng(reinterpret_cast<const uint8_t*>(it->second.data()), it->second.size(), maxSide, out);
    };
    startImageSupportWith(calls);

    click(900, 620);  // Export
    ASSERT_EQ(files.count("/skins/patty.png"), 1u);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(dialogs[0].save);
    EXPECT_EQ(dialogs[0].proposedName, "Patty.png");
    frame();  // the save's report is taken and dropped
    EXPECT_TRUE(editor.undoStack.empty());

    editor.primaryColor = 0x000000;
    strokeTexels({{3, 3}, {20, 40}});
    editor.undoStack.clear();
    click(800, 620);                                       // Import
    EXPECT_EQ(editor.character.faces[0][3 * 64 + 3], 0u);  // applied on the next frame
    frame();
    EXPECT_EQ(editor.undoStack.size(), 1u);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 32; ++x) ASSERT_EQ(texelColor(x, y), original.faces[0][y * 64 + x]) << x << "," << y;
    }
    EXPECT_EQ(editor.character.id, original.id);
    startImageSupportWith(ImageFileCalls{});
}

TEST_F(PaintTools, ToolAndBrushKeysStayInRange) {
    const std::pair<SDL_Keycode, int> tools[] = {
        {SDLK_b, CharacterEditor::ToolBrush}, {SDLK_e, CharacterEditor::ToolErase},
        {SDLK_f, CharacterEditor::ToolFill},  {SDLK_m, CharacterEditor::ToolSelect},
        {SDLK_i, CharacterEditor::ToolPick},  {SDLK_l, CharacterEditor::ToolLine},
        {SDLK_p, CharacterEditor::ToolPen}};
    for (auto [k, tool] : tools) {
        tap(k);
        EXPECT_EQ(editor.tool, tool) << SDL_GetKeyName(k);
    }
    for (int i = 0; i < 20; ++i) tap(SDLK_RIGHTBRACKET);
    EXPECT_EQ(editor.brushSize, 16);
    for (int i = 0; i < 20; ++i) tap(SDLK_LEFTBRACKET);
    EXPECT_EQ(editor.brushSize, 1);
    editor.primaryColor = 0x010101;
    editor.secondaryColor = 0x020202;
    tap(SDLK_x);
    EXPECT_EQ(editor.primaryColor, 0x020202u);
    EXPECT_EQ(editor.secondaryColor, 0x010101u);
    tap(SDLK_g);
    EXPECT_FALSE(editor.showGrid);
    tap(SDLK_a, KMOD_LCTRL);
    EXPECT_EQ(editor.selection, (IntRect{0, 0, 32, 64}));
    tap(SDLK_ESCAPE);
    EXPECT_TRUE(editor.selection.empty());
}

TEST_F(PaintTools, KeyboardPaintingFollowsTheCursorWhileSpaceIsHeld) {
    editor.controls.focusId = "editor.preview";
    editor.primaryColor = 0x445566;
    key(SDLK_SPACE);
    EXPECT_TRUE(editor.keyPainting);
    for (int i = 0; i < 3; ++i) key(SDLK_RIGHT);
    key(SDLK_DOWN);
    keyUp(SDLK_SPACE);
    EXPECT_FALSE(editor.keyPainting);
    for (int x = 0; x <= 3; ++x) EXPECT_EQ(texelColor(x, 0), 0x445566u);
    EXPECT_EQ(texelColor(3, 1), 0x445566u);
    EXPECT_EQ(changedTexels(), 5);
    EXPECT_EQ(editor.undoStack.size(), 1u);
    // Shift+Return dabs the secondary colour at the cursor.
    key(SDLK_RETURN, KMOD_LSHIFT);
    EXPECT_EQ(editor.undoStack.size(), 2u);
    EXPECT_EQ(texelColor(3, 1), editor.secondaryColor);

    // A keyboard line over several frames: the frame's pointer update with
    // an unmoved mouse must not take the pointer back from the cursor.
    editor.tool = CharacterEditor::ToolLine;
    editor.brushSize = 1;
    editor.updatePointer(5, 5);
    key(SDLK_SPACE);
    for (int i = 0; i < 6; ++i) {
        key(SDLK_DOWN);
        editor.updatePointer(5, 5);
        frame();
    }
    auto [cx, cy] = texel(3, 7);
    EXPECT_EQ(editor.pointerX, cx);
    EXPECT_EQ(editor.pointerY, cy);
    keyUp(SDLK_SPACE);
    for (int y = 1; y <= 7; ++y) EXPECT_EQ(texelColor(3, y), 0x445566u) << y;
    EXPECT_EQ(editor.undoStack.size(), 3u);
    // A real mouse movement takes the pointer again.
    editor.updatePointer(6, 5);
    EXPECT_EQ(editor.pointerX, 6);
}

class ColorPicker : public PaintTools {
protected:
    // The centre of the wheel's marker for the picker's hue and saturation.
    std::pair<int, int> marker() const {
        double angle = 2.0 * 3.14159265358979 * editor.hue;
        return {876 + int(std::lround(editor.saturation * std::cos(angle) * 94)),
                246 + int(std::lround(editor.saturation * std::sin(angle) * 94))};
    }
};

TEST_F(ColorPicker, APickAtTheMarkerGivesTheSlotsColourBack) {
    struct Case {
        uint32_t color;
        int tolerance;
    };
    const Case cases[] = {{0xFF0000, 0}, {0x00FFFF, 0}, {0x808080, 0}, {0x4080C0, 3}, {0x12A05B, 3}};
    for (const Case& c : cases) {
        editor.primaryColor = c.color;
        editor.secondaryActive = false;
        editor.syncPicker();
        auto [x, y] = marker();
        click(x, y);
        uint32_t got = editor.primaryColor;
        for (int shift = 0; shift <= 16; shift += 8) {
            int want = int(c.color >> shift & 0xFF);
            int have = int(got >> shift & 0xFF);
            EXPECT_LE(std::abs(want - have), c.tolerance) << std::hex << c.color << " gave " << got;
        }
    }
}

TEST_F(ColorPicker, WheelValueBarAndSwatchesEditTheActiveSlot) {
    // From black a pick on the wheel makes the value 1.
    editor.primaryColor = 0x000000;
    editor.syncPicker();
    click(876 + 94, 246);
    EXPECT_EQ(editor.primaryColor, 0xFF0000u);
    // A right press on the value bar edits the secondary slot with its own hue.
    editor.secondaryColor = 0x0000FF;
    press(754, 358, SDL_BUTTON_RIGHT);
    release(754, 358, SDL_BUTTON_RIGHT);
    EXPECT_TRUE(editor.secondaryActive);
    EXPECT_EQ(editor.secondaryColor, 0x000000u);
    press(754 + 243, 358, SDL_BUTTON_RIGHT);
    EXPECT_EQ(editor.secondaryColor, 0x0000FFu);
    release(754 + 243, 358, SDL_BUTTON_RIGHT);
    // Dragging across the wheel follows the pointer.
    press(876 + 94, 246, SDL_BUTTON_RIGHT);
    move(876, 246 - 94);
    release(876, 246 - 94, SDL_BUTTON_RIGHT);
    EXPECT_FALSE(editor.pickingColor);
    uint32_t expectedTop = 0;
    {
        Color c = hsvToRgb(0.75f, 1.0f, 1.0f);
        expectedTop = packRgb(int(std::lround(c.r * 255)), int(std::lround(c.g * 255)), int(std::lround(c.b * 255)));
    }
    EXPECT_EQ(editor.secondaryColor, expectedTop);
    click(760, 125);  // the primary swatch
    EXPECT_FALSE(editor.secondaryActive);
    EXPECT_FLOAT_EQ(editor.hue, 0.0f);

    // Keyboard: the value bar steps by 8 pixels, the wheel by 4.
    editor.controls.focusId = "paint.value";
    key(SDLK_DOWN);
    EXPECT_LT(editor.value, 1.0f);
    EXPECT_EQ(editor.primaryColor >> 16, uint32_t(std::lround((241 - 8) / 243.0f * 255)));
    editor.controls.focusId = "paint.wheel";
    key(SDLK_LEFT);
    EXPECT_NEAR(editor.saturation, 90.0f / 94.0f, 1e-5);
}

TEST_F(ColorPicker, TheHexFieldTakesSixDigitsInEitherCase) {
    const std::pair<const char*, uint32_t> cases[] = {{"#A1B2C3", 0xA1B2C3},
                                                      {"#a1b2c3", 0xA1B2C3},
                                                      {"0a0B0c", 0x0A0B0C},
                                                      {"#12345", 0x777777},
                                                      {"#12345g", 0x777777}};
    for (auto [text, want] : cases) {
        editor.primaryColor = 0x777777;
        editor.syncPicker();
        click(900, 130);
        ASSERT_TRUE(editor.textEditing);
        ASSERT_EQ(editor.fieldTarget, 1);
        EXPECT_EQ(editor.field.text, "#777777");
        key(SDLK_a, KMOD_LCTRL);
        send(testing::textInput(text));
        EXPECT_EQ(editor.primaryColor, want) << text;
        tap(SDLK_RETURN);
        EXPECT_FALSE(editor.textEditing);
        ticks += 1000;
    }
    // The picker follows the typed colour.
    click(900, 130);
    key(SDLK_a, KMOD_LCTRL);
    send(testing::textInput("#00FF00"));
    EXPECT_NEAR(editor.hue, 1.0f / 3.0f, 1e-6);
    EXPECT_FLOAT_EQ(editor.saturation, 1.0f);
}

}  // namespace
}  // namespace vobu
