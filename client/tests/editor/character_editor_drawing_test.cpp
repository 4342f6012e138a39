// What one frame of the editor draws: the black view, the box, the face
// overlays (grid, footprint, selection, line preview), the name label and
// the canvas, in that order.

#include <cmath>
#include <vector>

#include "editor_fixture.h"

namespace vobu::testing {
namespace {

class Drawing : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        start();
    }

    // The draws of one frame.
    std::vector<RecordedDraw> drawFrame() {
        recording.draws.clear();
        frame();
        return recording.draws;
    }

    void openFaceView() {
        editor.openEditor();
        frame();
    }

    // The overlay batch of a face-view frame: the untextured overlay right
    // after the box; empty when the frame has none.
    std::vector<Vertex> overlayBatch() {
        const std::vector<RecordedDraw> draws = drawFrame();
        if (draws.size() < 3 || draws[2].state.textured) return {};
        return draws[2].vertices;
    }

    static int quadsOfColor(const std::vector<Vertex>& vertices, float r, float g, float b) {
        int n = 0;
        for (size_t i = 0; i + 5 < vertices.size(); i += 6) {
            const Vertex& v = vertices[i];
            n += v.r == r && v.g == g && v.b == b;
        }
        return n;
    }

    // Puts the pointer on the centre of a texel of the current face.
    void pointAtTexel(int tx, int ty) {
        editor.pointerX = int(std::lround((tx + 0.5f) * editor.pixelsPerTexel + editor.faceLeft));
        editor.pointerY = int(std::lround((ty + 0.5f) * editor.pixelsPerTexel + editor.faceTop));
    }
};

TEST_F(Drawing, LibraryFrameOrder) {
    const std::vector<RecordedDraw> draws = drawFrame();
    ASSERT_EQ(draws.size(), 4u);
    // The view filled black, without texture, over everything before it.
    EXPECT_FALSE(draws[0].state.textured);
    EXPECT_FALSE(draws[0].state.depthTest);
    EXPECT_EQ(draws[0].vertices.size(), 6u);
    EXPECT_EQ(draws[0].vertices[0].r, 0.0f);
    // The box: 12 triangles through the skin, back faces culled, lit.
    EXPECT_TRUE(draws[1].state.textured);
    EXPECT_TRUE(draws[1].state.cull);
    EXPECT_TRUE(draws[1].state.depthTest);
    EXPECT_EQ(draws[1].vertices.size(), 36u);
    // The name label, translucent; the canvas last, over the whole area.
    EXPECT_TRUE(draws[2].state.textured);
    EXPECT_FALSE(draws[2].state.depthWrite);
    EXPECT_EQ(draws[2].state.blend, DrawState::Blend::Alpha);
    EXPECT_EQ(draws[3].vertices.size(), 6u);
    EXPECT_FLOAT_EQ(draws[3].vertices[0].x, -1.0f);
    EXPECT_FLOAT_EQ(draws[3].vertices[0].y, 1.0f);
}

TEST_F(Drawing, NameLabelIsRenderedOnlyWhenTheNameChanges) {
    frame();
    const uint32_t label = editor.nameLabelTexture;
    ASSERT_NE(label, 0u);
    const uint32_t version = graphics.textures().at(label).version;
    frame();
    EXPECT_EQ(graphics.textures().at(label).version, version);
    editor.character.name = "Zed";
    frame();
    EXPECT_EQ(editor.nameLabelTexture, label);
    EXPECT_EQ(graphics.textures().at(label).version, version + 1);
    EXPECT_EQ(editor.nameLabelText, "Zed");
}

// The label's quad on the screen has the label's own aspect, whatever the
// length of the name; it stays 0.14 world units tall.
TEST_F(Drawing, NameLabelKeepsItsAspect) {
    for (const char* name : {"Vobu", "W", "A name of 24 characters."}) {
        SCOPED_TRACE(name);
        editor.character.name = name;
        editor.yaw = 0.0f;
        editor.pitch = 0.0f;
        const std::vector<RecordedDraw> draws = drawFrame();
        ASSERT_EQ(draws.size(), 4u);
        const std::vector<Vertex>& quad = draws[2].vertices;
        ASSERT_EQ(quad.size(), 6u);
        // Corners c0 (lower left), c1 (lower right) and c3 (upper left), in pixels.
        auto px = [](const Vertex& v) { return (v.x / v.w + 1.0f) * 0.5f * 1020.0f; };
        auto py = [](const Vertex& v) { return (1.0f - v.y / v.w) * 0.5f * 680.0f; };
        const float width = px(quad[1]) - px(quad[0]);
        const float height = py(quad[0]) - py(quad[5]);
        ASSERT_GT(height, 1.0f);
        const float aspect = float(editor.nameLabel.contentWidth) / float(editor.nameLabel.contentHeight);
        EXPECT_NEAR(width / height, aspect, aspect * 0.01f);
        // Seen straight on from the fitted distance: 0.14 world units tall.
        EXPECT_NEAR(height, editor.focalLength * 7.0f / quad[0].w, 0.5f);
    }
}

TEST_F(Drawing, EmptyLibraryShowsABlackViewOnly) {
    editor.deleteCharacter();
    editor.deleteCharacter();
    ASSERT_EQ(editor.selectedIndex, -1);
    const std::vector<RecordedDraw> draws = drawFrame();
    ASSERT_EQ(draws.size(), 2u);  // the black view and the canvas
    EXPECT_FALSE(draws[0].state.textured);
}

TEST_F(Drawing, JoinOverlayDrawsNoView) {
    editor.beginJoin();
    const std::vector<RecordedDraw> draws = drawFrame();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_TRUE(draws[0].state.textured);
}

TEST_F(Drawing, GridHasALineAtEveryTexelBoundary) {
    openFaceView();
    editor.pointerX = editor.pointerY = -1;
    const std::vector<Vertex> batch = overlayBatch();
    EXPECT_EQ(quadsOfColor(batch, 0.75f, 0.75f, 0.75f), 33 + 65);
    EXPECT_EQ(batch.size(), size_t(33 + 65) * 6);
    // The first vertical line on the face's left edge, one pixel wide.
    EXPECT_NEAR((batch[0].x + 1) * 510, 269, 0.51f);
    EXPECT_NEAR((batch[2].x - batch[0].x) * 510, 1, 1e-3f);
}

TEST_F(Drawing, FootprintOutlinesTheBrushOnlyWithTheGrid) {
    openFaceView();
    pointAtTexel(10, 20);
    editor.tool = CharacterEditor::ToolPen;
    EXPECT_EQ(quadsOfColor(overlayBatch(), 1, 0, 1), 4);
    editor.tool = CharacterEditor::ToolBrush;
    editor.roundBrush = false;
    editor.brushSize = 3;
    EXPECT_EQ(quadsOfColor(overlayBatch(), 1, 0, 1), 12);
    editor.tool = CharacterEditor::ToolFill;  // a single texel for the other tools
    EXPECT_EQ(quadsOfColor(overlayBatch(), 1, 0, 1), 4);

    editor.showGrid = false;
    EXPECT_TRUE(overlayBatch().empty());
    editor.showGrid = true;
    editor.zoom = 0.6f;  // 3.9 pixels per texel: no grid, no outline
    frame();
    pointAtTexel(10, 20);
    EXPECT_TRUE(overlayBatch().empty());
}

TEST_F(Drawing, SelectionIsDashed) {
    openFaceView();
    editor.pointerX = editor.pointerY = -1;
    editor.showGrid = false;
    editor.selection = IntRect{2, 3, 4, 5};
    const std::vector<Vertex> batch = overlayBatch();
    // Edges of round(4 x 6.4375) = 26 and 32 pixels: the offsets whose bit 2
    // is clear, on both edges of each pair.
    auto dashes = [](int length) {
        int n = 0;
        for (int o = 0; o < length; ++o) n += (o & 4) == 0;
        return n;
    };
    const int across = int(std::lround(269 + 6 * 6.4375f)) - int(std::lround(269 + 2 * 6.4375f));
    const int down = int(std::lround(119 + 8 * 6.4375f)) - int(std::lround(119 + 3 * 6.4375f));
    EXPECT_EQ(quadsOfColor(batch, 0.95f, 0.95f, 0.95f), 2 * dashes(across) + 2 * dashes(down));
}

TEST_F(Drawing, LinePreviewDrawsEachTexelOnceInTheStrokeColor) {
    openFaceView();
    editor.showGrid = false;
    editor.tool = CharacterEditor::ToolLine;
    editor.brushSize = 16;
    editor.strokeColor = 0xFF8000;
    editor.painting = true;
    editor.anchorX = 0;
    editor.anchorY = 0;
    pointAtTexel(31, 63);
    const size_t texels = editor.linePreviewTexels().size();
    ASSERT_GT(texels, 100u);
    const std::vector<Vertex> batch = overlayBatch();
    EXPECT_EQ(quadsOfColor(batch, 1.0f, 128.0f / 255, 0.0f), int(texels));
    EXPECT_EQ(batch.size(), texels * 6);
}

TEST_F(Drawing, NoOverlaysWhileTheCameraTurns) {
    openFaceView();
    editor.focusFace(FaceBack);
    const std::vector<RecordedDraw> draws = drawFrame();
    ASSERT_EQ(draws.size(), 3u);  // black view, box, canvas
    EXPECT_TRUE(draws[2].state.textured);
}

TEST_F(Drawing, FrameOfNothingDrawsNothing) {
    recording.draws.clear();
    recording.frames.clear();
    editor.draw(0, 680);
    editor.draw(1020, -1);
    EXPECT_TRUE(recording.draws.empty());
    EXPECT_TRUE(recording.frames.empty());
}

}  // namespace
}  // namespace vobu::testing
