// The editor's canvas: the control tables of both screens and the overlay
// with their Tab order, pixels of the panel at exact places, and what a
// frame sends to the GPU.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "editor_fixture.h"
#include "ui/cursor.h"

namespace vobu::testing {
namespace {

struct ControlRow {
    std::string id;
    int x, y, w, h;
    bool enabled;
    bool visible;  // a button, not a focus-only area
};

std::vector<ControlRow> tableOf(const CharacterEditor& editor) {
    std::vector<ControlRow> rows;
    for (const UiControl& c : editor.controls.controls) {
        rows.push_back({c.id, c.x, c.y, c.width, c.height, c.enabled, c.visible});
    }
    return rows;
}

void expectTable(const CharacterEditor& editor, const std::vector<ControlRow>& want) {
    const std::vector<ControlRow> got = tableOf(editor);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        const ControlRow& g = got[i];
        const ControlRow& w = want[i];
        EXPECT_EQ(g.id, w.id) << "row " << i;
        EXPECT_EQ((std::vector<int>{g.x, g.y, g.w, g.h}), (std::vector<int>{w.x, w.y, w.w, w.h})) << w.id;
        EXPECT_EQ(g.enabled, w.enabled) << w.id;
        EXPECT_EQ(g.visible, w.visible) << w.id;
    }
}

// The focus ids that Tab visits from no focus until it wraps.
std::vector<std::string> tabCycle(CharacterEditor& editor) {
    std::vector<std::string> visited;
    editor.controls.focusId.clear();
    for (size_t i = 0; i <= editor.controls.controls.size(); ++i) {
        editor.controls.moveFocus(false);
        if (!visited.empty() && editor.controls.focusId == visited.front()) break;
        visited.push_back(editor.controls.focusId);
    }
    return visited;
}

std::vector<std::string> enabledIds(const std::vector<ControlRow>& rows) {
    std::vector<std::string> ids;
    for (const ControlRow& row : rows) {
        if (row.enabled) ids.push_back(row.id);
    }
    return ids;
}

class Layout : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        storeCharacters({named("aa", "Ann", 0x3366CC), named("bb", "Bob"), named("cc", "Cyd")});
        start();
    }

    // The editor screen in the settled face view of the Front face.
    void openFaceView() {
        editor.openEditor();
        frame();
    }

    std::vector<ControlRow> libraryRows(bool selected) const {
        return {
            {"library.list", 24, 94, 242, 386, true, false},
            {"library.resume", 24, 492, 260, 32, true, true},
            {"library.new", 24, 536, 124, 32, true, true},
            {"library.edit", 160, 536, 124, 32, selected, true},
            {"library.duplicate", 24, 580, 124, 32, selected, true},
            {"library.delete", 160, 580, 124, 32, selected, true},
            {"library.join", 24, 624, 260, 32, selected, true},
        };
    }

    // The editor screen's face view: `middle` is the tool-specific row.
    static std::vector<ControlRow> faceViewRows(bool undoEnabled, const std::vector<ControlRow>& middle) {
        std::vector<ControlRow> rows{{"editor.preview", 24, 94, 696, 462, true, false}};
        for (int i = 0; i < 6; ++i)
            rows.push_back({"face." + std::to_string(i), 24 + 118 * i, 580, 106, 32, true, true});
        rows.push_back({"editor.name", 754, 80, 242, 28, true, false});
        rows.push_back({"paint.primary", 754, 118, 40, 28, true, false});
        rows.push_back({"paint.secondary", 806, 118, 40, 28, true, false});
        rows.push_back({"editor.hex", 858, 118, 138, 28, true, false});
        rows.push_back({"paint.wheel", 781, 151, 190, 190, true, false});
        rows.push_back({"paint.value", 754, 350, 242, 18, true, false});
        for (int i = 0; i < 7; ++i) {
            rows.push_back({"tool." + std::to_string(i), 754 + 62 * (i % 4), 390 + 32 * (i / 4), 56, 28, true, true});
        }
        rows.push_back({"paint.undo", 940, 422, 56, 28, undoEnabled, true});
        rows.insert(rows.end(), middle.begin(), middle.end());
        const char* axes[3] = {"Width", "Height", "Depth"};
        for (int i = 0; i < 3; ++i) {
            rows.push_back({std::string("size.minus.") + axes[i], 878, 520 + 28 * i, 24, 24, true, true});
            rows.push_back({std::string("size.plus.") + axes[i], 972, 520 + 28 * i, 24, 24, true, true});
        }
        rows.push_back({"paint.import", 754, 610, 118, 24, true, true});
        rows.push_back({"paint.export", 878, 610, 118, 24, true, true});
        rows.push_back({"editor.back", 24, 624, 124, 32, true, true});
        rows.push_back({"editor.save", 160, 624, 124, 32, true, true});
        return rows;
    }
};

TEST_F(Layout, LibraryScreenWhileChoosing) {
    editor.buildUi();
    expectTable(editor, libraryRows(true));
    EXPECT_EQ(tabCycle(editor), enabledIds(libraryRows(true)));
}

TEST_F(Layout, LibraryScreenWhileManagingHasNoUse) {
    editor.setChoosingForJoin(false);
    editor.buildUi();
    std::vector<ControlRow> rows = libraryRows(true);
    rows.pop_back();
    expectTable(editor, rows);
}

TEST_F(Layout, EmptyLibraryDisablesWhatNeedsASelection) {
    editor.deleteCharacter();
    editor.deleteCharacter();
    editor.deleteCharacter();
    editor.deleteCharacter();
    editor.deleteCharacter();
    editor.deleteCharacter();
    ASSERT_TRUE(editor.library.characters.empty());
    editor.buildUi();
    expectTable(editor, libraryRows(false));
    EXPECT_EQ(tabCycle(editor), (std::vector<std::string>{"library.list", "library.resume", "library.new"}));
}

TEST_F(Layout, LibraryLabelsFollowTheFlashes) {
    editor.newFullFlash = 1;
    editor.deleteArmed = true;
    editor.buildUi();
    // The labels are drawn, not stored: compare each button with a fresh
    // drawing of the label it should carry.
    struct Label {
        int x, y;
        const char* text;
    };
    for (const Label& label :
         {Label{24, 536, "Full!"}, Label{160, 580, "Confirm?"}, Label{24, 580, "Duplicate"}, Label{160, 536, "Edit"}}) {
        UiCanvas want;
        want.drawButton(editor.font, label.x, label.y, 124, 32, label.text, false, true, false);
        for (int y = label.y; y < label.y + 32; ++y) {
            for (int x = label.x; x < label.x + 124; ++x) {
                ASSERT_EQ(editor.canvas.pixel(x, y), want.pixel(x, y)) << label.text << " " << x << "," << y;
            }
        }
    }
}

TEST_F(Layout, FaceViewWithThePen) {
    openFaceView();
    expectTable(editor, faceViewRows(false, {}));
    std::vector<std::string> cycle = tabCycle(editor);
    EXPECT_EQ(cycle, enabledIds(faceViewRows(false, {})));
    EXPECT_EQ(std::find(cycle.begin(), cycle.end(), "paint.undo"), cycle.end());
}

TEST_F(Layout, FaceViewWithTheBrushAndAnUndoStep) {
    openFaceView();
    editor.tool = CharacterEditor::ToolBrush;
    editor.pushUndo();
    editor.buildUi();
    expectTable(editor, faceViewRows(true, {
                                               {"brush.smaller", 754, 458, 24, 24, true, true},
                                               {"brush.larger", 828, 458, 24, 24, true, true},
                                               {"brush.shape", 858, 458, 138, 24, true, true},
                                           }));
}

TEST_F(Layout, FaceViewWithTheSelectTool) {
    openFaceView();
    editor.tool = CharacterEditor::ToolSelect;
    editor.buildUi();
    expectTable(editor, faceViewRows(false, {
                                                {"paint.copy", 754, 458, 76, 24, true, true},
                                                {"paint.paste", 836, 458, 76, 24, true, true},
                                                {"paint.deselect", 918, 458, 78, 24, true, true},
                                            }));
}

TEST_F(Layout, OrbitViewHasNoPanel) {
    openFaceView();
    editor.viewMode = 0;
    editor.buildUi();
    expectTable(editor, {
                            {"editor.preview", 24, 94, 696, 462, true, false},
                            {"editor.name", 754, 80, 242, 28, true, false},
                            {"editor.back", 24, 624, 124, 32, true, true},
                            {"editor.save", 160, 624, 124, 32, true, true},
                        });
}

TEST_F(Layout, JoinOverlayHasOneButton) {
    editor.beginJoin();
    editor.buildUi();
    expectTable(editor, {{"join.cancel", 420, 370, 180, 32, true, true}});
    EXPECT_EQ(tabCycle(editor), std::vector<std::string>{"join.cancel"});
    editor.openEditor();
    editor.beginJoin();
    editor.buildUi();
    expectTable(editor, {{"join.cancel", 420, 370, 180, 32, true, true}});
}

TEST_F(Layout, CanvasColoursOfTheLibraryScreen) {
    editor.buildUi();
    const UiCanvas& c = editor.canvas;
    EXPECT_EQ(c.pixel(5, 5), 0xff1a0427u);
    EXPECT_EQ(c.pixel(310, 80), 0u);  // the 3D view shows through
    EXPECT_EQ(c.pixel(993, 591), 0u);
    EXPECT_EQ(c.pixel(994, 591), 0xff1a0427u);
    EXPECT_TRUE(glyphDrawnAt(c, editor.font.glyph('C'), 24, 16, 0xffa9bdce, 0xff1a0427));
}

TEST_F(Layout, CanvasPixelsOfThePaintPanel) {
    openFaceView();
    editor.buildUi();
    const UiCanvas& c = editor.canvas;
    EXPECT_EQ(c.pixel(100, 200), 0u);
    // Swatches: black primary, sunken while active; white secondary, raised.
    EXPECT_EQ(c.pixel(770, 130), 0xff000000u);
    EXPECT_EQ(c.pixel(770, 118), 0xff0f0217u);
    EXPECT_EQ(c.pixel(770, 145), 0xff74678bu);
    EXPECT_EQ(c.pixel(820, 130), 0xffffffffu);
    EXPECT_EQ(c.pixel(820, 118), 0xff74678bu);
    EXPECT_EQ(c.pixel(990, 140), 0xff14041eu);  // hex field
    EXPECT_TRUE(glyphDrawnAt(c, editor.font.glyph('#'), 866, 124, 0xff9694a8, 0xff14041e));
    // The wheel: rim, centre, the pure hues at the edge of the disc.
    EXPECT_EQ(c.pixel(876 + 95, 246), 0xff74678bu);
    EXPECT_EQ(c.pixel(876 - 95, 246), 0xff0f0217u);
    EXPECT_EQ(c.pixel(876, 246), 0xffffffffu);
    EXPECT_EQ(c.pixel(876 + 94, 246), 0xff0000ffu);  // hue 0, red
    EXPECT_EQ(c.pixel(876, 246 + 94), 0xff00ff80u);  // hue 0.25, below the centre
    EXPECT_EQ(c.pixel(876, 246 - 94), 0xffff0080u);  // hue 0.75
    EXPECT_EQ(c.pixel(876 + 96, 246), 0xff1a0427u);
    // The marker of black (saturation 0) sits on the centre: a raised bevel.
    EXPECT_EQ(c.pixel(873, 243), 0xff74678bu);
    EXPECT_EQ(c.pixel(879, 249), 0xff0f0217u);
    // The value bar from black to the full value, its marker at value 0.
    EXPECT_EQ(c.pixel(754 + 120, 355), 0xff7f7f7fu);
    EXPECT_EQ(c.pixel(754 + 240, 355), 0xfffefefeu);
    EXPECT_EQ(c.pixel(754, 349), 0xffa9bdceu);
    EXPECT_EQ(c.pixel(754, 369), 0xffa9bdceu);
    EXPECT_EQ(c.pixel(760, 350), 0xff0f0217u);  // sunken bevel
    // The resize handles beside the 206 x 412 face at (269, 119).
    EXPECT_EQ(editor.faceRect, (IntRect{269, 119, 206, 412}));
    EXPECT_EQ(c.pixel(482, 324), 0xff4a375fu);
    EXPECT_EQ(c.pixel(478, 320), 0xff74678bu);
    EXPECT_EQ(c.pixel(487, 329), 0xff0f0217u);
    EXPECT_EQ(c.pixel(371, 538), 0xff4a375fu);
    EXPECT_EQ(c.pixel(482, 538), 0xff4a375fu);
}

TEST_F(Layout, WheelMarkerAndValueFollowTheActiveSlot) {
    openFaceView();
    editor.primaryColor = 0x00FF00;  // hue 1/3, saturation 1, value 1
    editor.buildUi();
    const int mx = 873 + int(std::lround(std::cos(6.2831853 / 3) * 94));
    const int my = 243 + int(std::lround(std::sin(6.2831853 / 3) * 94));
    EXPECT_EQ(editor.canvas.pixel(mx, my), 0xff74678bu);
    EXPECT_EQ(editor.canvas.pixel(754 + 241, 349), 0xffa9bdceu);
    EXPECT_EQ(editor.canvas.pixel(770, 130), 0xff00ff00u);
}

TEST_F(Layout, JoinOverlayStates) {
    editor.beginJoin();
    editor.setJoinStatus("Downloading assets", 0.5f);
    editor.buildUi();
    const UiCanvas& c = editor.canvas;
    EXPECT_EQ(c.pixel(330, 306), 0xff0f0217u);  // sunken frame
    EXPECT_EQ(c.pixel(509, 315), 0xff9694a8u);  // the fill is 178 pixels wide
    EXPECT_EQ(c.pixel(510, 315), 0xff14041eu);
    EXPECT_EQ(c.pixel(400, 300), 0xff1a0427u);  // no 3D view

    editor.joinProgress = 7.0f;  // more than all
    editor.buildUi();
    EXPECT_EQ(c.pixel(687, 315), 0xff9694a8u);
    EXPECT_EQ(c.pixel(688, 315), 0xff74678bu);

    editor.onDisconnected(std::string(400, 'w') + " " + std::string(400, 'w'));
    editor.buildUi();
    EXPECT_EQ(c.pixel(509, 315), 0xff1a0427u);  // no bar once disconnected
    // A long reason stops above the button: a fifth line would start at 370.
    int fourthLine = 0;
    for (int x = 0; x < 1020; ++x) fourthLine += c.pixel(x, 298 + 18 * 3 + 8) == 0xff9694a8u;
    EXPECT_GT(fourthLine, 0);
    for (int y = 370; y < 386; ++y) {
        for (int x = 0; x < 1020; ++x) {
            if (x >= 420 && x < 600) continue;
            ASSERT_EQ(c.pixel(x, y), 0xff1a0427u) << x << "," << y;
        }
    }
}

TEST_F(Layout, IdleFramesUploadNothing) {
    editor.updatePointer(480, 310);  // the arrow's image goes up once
    frame();
    frame();
    const size_t settled = uploadCount();
    for (int i = 0; i < 10; ++i) frame();
    EXPECT_EQ(uploadCount(), settled);  // the preview turns, but the canvas stays

    // A moving pointer repaints the canvas the same (the arrow is a quad
    // of its own): nothing is sent.
    for (int i = 0; i < 5; ++i) {
        editor.updatePointer(500 + 7 * i, 300 - 3 * i);
        frame();
        EXPECT_EQ(recording.bytesThisFrame(), 0u) << i;
    }
    EXPECT_EQ(uploadCount(), settled);

    openFaceView();
    const size_t faceView = uploadCount();
    for (int i = 0; i < 10; ++i) frame();
    EXPECT_EQ(uploadCount(), faceView);
}

TEST_F(Layout, CanvasSitsWhereTheDrawableSizePutsIt) {
    frame();
    editor.draw(1280, 800);
    EXPECT_EQ(editor.layout.x, 130);
    EXPECT_EQ(editor.layout.y, 60);
    const RecordedDraw& quad = recording.draws.back();
    EXPECT_FLOAT_EQ(quad.vertices[0].x, 2.0f * 130 / 1280 - 1);
    editor.draw(800, 600);
    EXPECT_EQ(editor.layout.x, 0);
    EXPECT_EQ(editor.layout.y, 0);
}

TEST_F(Layout, ArrowIsDrawnOverTheCanvasOffTheFace) {
    editor.updatePointer(400, 300);
    frame();
    // Right after the canvas: a 32 x 32 quad of the arrow at the pointer.
    const RecordedDraw& arrow = recording.draws.back();
    EXPECT_EQ(drawnRect(arrow, 1020, 680), (PixelRect{400, 300, 432, 332}));
    EXPECT_TRUE(arrow.state.textured);
    EXPECT_EQ(arrow.state.blend, DrawState::Blend::Alpha);
    EXPECT_EQ(editor.canvas.pixel(400, 300), 0u) << "the canvas itself stays as it is";
    const Texture& image = graphics.textures().at(editor.arrowTexture);
    EXPECT_EQ(image.pixels, Cursor::arrowImage());
    EXPECT_FALSE(recording.scissorOn);

    // In a larger drawable the arrow moves with the canvas and is cut at its
    // right and bottom edges as the canvas's own pixels would be.
    editor.draw(1280, 800);
    editor.updatePointer(130 + 1010, 60 + 670);
    recording.draws.clear();
    editor.draw(1280, 800);
    EXPECT_EQ(drawnRect(recording.draws.back(), 1280, 800), (PixelRect{1140, 730, 1172, 762}));
    EXPECT_EQ(recording.calls[recording.calls.size() - 2], "draw");
    EXPECT_EQ(recording.calls.back(), "noScissor");
    EXPECT_EQ(recording.scissor[0], 130);
    EXPECT_EQ(recording.scissor[1], 800 - 60 - 680);
    EXPECT_EQ(recording.scissor[2], 1020);
    EXPECT_EQ(recording.scissor[3], 680);

    openFaceView();
    editor.updatePointer(300, 300);  // over the face: the crosshair instead
    recording.draws.clear();
    frame();
    const RecordedDraw& cross = recording.draws.back();
    EXPECT_EQ(cross.state.blend, DrawState::Blend::Invert);
    EXPECT_EQ(cross.vertices.size(), 18u);
    for (const RecordedDraw& draw : recording.draws)
        EXPECT_NE(drawnRect(draw, 1020, 680), (PixelRect{300, 300, 332, 332}));
}

}  // namespace
}  // namespace vobu::testing
