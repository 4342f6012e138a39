// The title screen's canvas at the coordinates the layout gives, and what
// goes to the GPU each frame.

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "browser_fixture.h"
#include "ui/palette.h"

namespace vobu::testing {
namespace {

constexpr uint32_t kRing = 0xffa9bdce;
constexpr uint32_t kBackground = 0xff1a0427;
constexpr uint32_t kFieldBackground = 0xff14041e;
constexpr uint32_t kFieldSelection = 0xff533f69;

class CanvasTest : public BrowserTest {
protected:
    void startWithRows(int count) {
        start();
        std::vector<ServerEntry> servers;
        for (int i = 0; i < count; ++i)
            servers.push_back({"S" + std::to_string(i), "m", "ws://s.test/" + std::to_string(i)});
        directoryAnswers(servers);
    }
    const UiCanvas& canvas() const { return browser.canvas; }
    size_t uploads() const { return recording.uploads.size(); }
    // `text` in the test font's 8-pixel glyphs at (x, y), and nothing more
    // on its line up to `width`.
    ::testing::AssertionResult lineDrawnAt(const std::string& text, int x, int y, int width) const {
        std::string padded = text;
        padded.resize(std::max(text.size(), size_t(width / 8)), ' ');
        for (size_t i = 0; i < padded.size(); ++i) {
            ::testing::AssertionResult glyph =
                testing::glyphDrawnAt(canvas(), font.glyph(uint32_t(padded[i])), x + 8 * int(i), y, kRing, kBackground);
            if (!glyph) return glyph << " in \"" << text << "\" at " << i;
        }
        return ::testing::AssertionSuccess();
    }
};

TEST_F(CanvasTest, FocusFrameOnTheListIsDrawnJustInsideIt) {
    startWithRows(3);
    browser.controls.focusId = "servers.list";
    browser.redrawCanvas();
    for (auto [x, y] :
         {std::pair{26, 190}, {975, 190}, {26, 609}, {975, 609}, {500, 190}, {500, 609}, {26, 400}, {975, 400}})
        EXPECT_EQ(canvas().pixel(x, y), kRing) << x << ", " << y;
    EXPECT_NE(canvas().pixel(27, 191), kRing);
    EXPECT_NE(canvas().pixel(976, 400), kRing);

    browser.controls.focusId = "servers.refresh";
    browser.redrawCanvas();
    EXPECT_NE(canvas().pixel(500, 190), kRing);
    EXPECT_NE(canvas().pixel(26, 400), kRing);
}

TEST_F(CanvasTest, NoFocusFrameWithoutRows) {
    start();
    browser.controls.focusId = "servers.list";
    browser.redrawCanvas();
    EXPECT_NE(canvas().pixel(500, 190), kRing);
    EXPECT_NE(canvas().pixel(26, 400), kRing);
}

TEST_F(CanvasTest, DialogAtItsCoordinates) {
    startWithRows(2);
    typeHiddenSequence();
    browser.redrawCanvas();
    // panel, raised: light top-left, dark bottom-right
    EXPECT_EQ(canvas().pixel(240, 250), palette::kBevelLight);
    EXPECT_EQ(canvas().pixel(779, 409), palette::kBevelDark);
    EXPECT_EQ(canvas().pixel(243, 253), kBackground);
    EXPECT_EQ(canvas().pixel(776, 340), kBackground);
    EXPECT_NE(canvas().pixel(239, 300), kBackground);  // the list shows around it
    // the label
    EXPECT_TRUE(testing::glyphDrawnAt(canvas(), font.glyph('S'), 256, 270, kRing, kBackground));
    // the field, sunken
    EXPECT_EQ(canvas().pixel(256, 294), palette::kBevelDark);
    EXPECT_EQ(canvas().pixel(763, 321), palette::kBevelLight);
    EXPECT_EQ(canvas().pixel(700, 310), kFieldBackground);
    // the caret of the empty field
    for (int y = 299; y <= 316; ++y) EXPECT_EQ(canvas().pixel(262, y), kRing) << y;
    EXPECT_EQ(canvas().pixel(262, 298), kFieldBackground);
    EXPECT_EQ(canvas().pixel(262, 317), kFieldBackground);
    // only the dialog's buttons can be pressed
    ASSERT_EQ(browser.controls.controls.size(), 2u);
    const UiControl& cancel = browser.controls.controls[0];
    const UiControl& add = browser.controls.controls[1];
    EXPECT_EQ(cancel.id, "server.cancel");
    EXPECT_EQ((std::vector<int>{cancel.x, cancel.y, cancel.width, cancel.height}),
              (std::vector<int>{440, 350, 150, 32}));
    EXPECT_EQ(add.id, "server.add");
    EXPECT_EQ((std::vector<int>{add.x, add.y, add.width, add.height}), (std::vector<int>{610, 350, 150, 32}));
}

TEST_F(CanvasTest, FieldTextSelectionScrollAndStatus) {
    start();
    typeHiddenSequence();
    type("ab");
    key(SDLK_LEFT, KMOD_SHIFT);  // "b" selected, caret after "a"
    browser.dialogStatus = "Invalid address";
    browser.redrawCanvas();
    EXPECT_TRUE(testing::glyphDrawnAt(canvas(), font.glyph('a'), 262, 300, kRing, kFieldBackground));
    EXPECT_TRUE(testing::glyphDrawnAt(canvas(), font.glyph('b'), 270, 300, kRing, kFieldSelection));
    EXPECT_EQ(canvas().pixel(270, 298), kFieldSelection);
    EXPECT_EQ(canvas().pixel(270, 317), kFieldSelection);
    EXPECT_EQ(canvas().pixel(270, 318), kFieldBackground);
    EXPECT_EQ(canvas().pixel(270, 299), kRing);  // the caret, after "a"
    EXPECT_EQ(canvas().pixel(269, 299), kFieldBackground);
    EXPECT_TRUE(testing::glyphDrawnAt(canvas(), font.glyph('I'), 256, 328, kRing, kBackground));

    // 70 glyphs of 8 pixels: the caret at the end scrolls the text by 68
    browser.addressField.setText(std::string(70, 'w'));
    browser.redrawCanvas();
    for (int y = 299; y <= 316; ++y) EXPECT_EQ(canvas().pixel(754, y), kRing) << y;
    EXPECT_TRUE(testing::glyphDrawnAt(canvas(), font.glyph('w'), 262 + 8 * 60 - 68, 300, kRing, kFieldBackground));
    EXPECT_EQ(canvas().pixel(760, 305), kFieldBackground);  // clipped
}

TEST_F(CanvasTest, PointerMovesUploadOnlyTheRowsTheyHighlight) {
    startWithRows(3);
    frame();
    motion(820, 200);
    frame();
    // Over the empty background and the list's empty part the canvas is
    // repainted the same: nothing goes to the GPU.
    for (auto [x, y] : {std::pair{300, 300}, {310, 500}, {600, 660}, {20, 20}, {980, 600}}) {
        motion(x, y);
        frame();
        EXPECT_EQ(recording.bytesThisFrame(), 0u) << x << ", " << y;
    }
    // Onto "Join" (816, 624, 180 x 32): its face lights up, and only its rows go.
    motion(900, 640);
    frame();
    ASSERT_FALSE(recording.uploads.empty());
    const RecordedUpload& lit = recording.uploads.back();
    EXPECT_GT(lit.bytes, 0u);
    EXPECT_EQ(recording.bytesThisFrame(), lit.bytes);
    EXPECT_GE(lit.rows.first, 624);
    EXPECT_LE(lit.rows.end, 656);
    EXPECT_EQ(lit.bytes, uint64_t(lit.rows.rows()) * 1024 * 4);
    motion(905, 641);
    frame();
    EXPECT_EQ(recording.bytesThisFrame(), 0u) << "still over it";
    motion(600, 660);
    frame();
    EXPECT_EQ(recording.uploads.back().rows.first, lit.rows.first);
    EXPECT_EQ(recording.uploads.back().rows.end, lit.rows.end);
    EXPECT_EQ(recording.images.at(lit.object), browser.canvas.pixels) << "the GPU holds the canvas as painted";
}

TEST_F(CanvasTest, UploadedOnlyOnFramesWithAChange) {
    startWithRows(3);
    frame();
    const size_t before = uploads();
    for (int i = 0; i < 5; ++i) frame();
    EXPECT_EQ(uploads(), before);
    motion(300, 300);  // the canvas is repainted, but nothing under the pointer changes
    frame();
    EXPECT_EQ(uploads(), before);
    browser.list.selected = 1;
    motion(300, 301);
    frame();
    EXPECT_EQ(uploads(), before + 1);
    ASSERT_FALSE(recording.uploads.empty());
    EXPECT_EQ(recording.uploads.back().width, 1024);
    EXPECT_EQ(recording.uploads.back().height, 1024);
    EXPECT_TRUE(recording.uploads.back().linear);
}

// An address the transport refuses leaves the list empty without a word
// of its own: the screen says why, between "Delete" and "Join".
TEST_F(CanvasTest, ADirectoryAddressThatCannotBeDialledIsSaidBesideTheButtons) {
    start({"ws://saved.test/vobu"});
    const struct {
        const char* url;
        bool said;
    } cases[] = {
        {"ws://127.0.0.1:99999/vobu", true},
        {"ws://[::1]:8080/vobu", true},
        {"http://directory.test/", true},
        {"ws://directory.test/\n", true},
        {"", false},
        {"ws://127.0.0.1:65535/vobu", false},
    };
    for (const auto& c : cases) {
        browser.directoryUrl = c.url;
        browser.refresh();
        browser.redrawCanvas();
        EXPECT_EQ(browser.directoryStatus, c.said ? "Invalid server address" : "") << c.url;
        bool inked = false;
        for (int y = 624; y < 656; ++y)
            for (int x = 596; x < 812; ++x) inked |= canvas().pixel(x, y) != kBackground;
        EXPECT_EQ(inked, c.said) << c.url;
        if (c.said) {
            EXPECT_TRUE(testing::glyphDrawnAt(canvas(), font.glyph('I'), 600, 632, kRing, kBackground)) << c.url;
            // Beside the saved server's "Delete", not over it.
            ASSERT_TRUE(browser.controls.find("servers.delete")) << c.url;
        }
    }
}

// Why the list was not changed and why the directory cannot be asked share
// the gap between "Delete" and "Join": each wrapped to its 204 pixels, the
// lines centred on the buttons' row, every line shown whole and nothing
// drawn past the gap, over the list or below the window.
TEST_F(CanvasTest, StatusesBesideTheButtonsAreWrappedIntoTheGap) {
    start({"ws://saved.test/vobu"});
    const std::string invalid = "Invalid server address";
    struct Line {
        int y;
        std::string text;
    };
    const struct {
        std::string saved;
        std::string directory;
        std::vector<Line> lines;
    } cases[] = {
        {"", invalid, {{632, invalid}}},
        {kUserFilesBusyText, "", {{624, "Another game window is"}, {640, "using your files."}}},
        {kUserFilesBusyText, invalid, {{616, "Another game window is"}, {632, "using your files."}, {648, invalid}}},
    };
    constexpr int kGapX = 600;
    constexpr int kGapWidth = 204;
    for (const auto& c : cases) {
        browser.savedServersStatus = c.saved;
        browser.directoryStatus = c.directory;
        browser.redrawCanvas();
        ASSERT_TRUE(browser.controls.find("servers.delete"));
        for (const Line& line : c.lines) {
            EXPECT_TRUE(lineDrawnAt(line.text, kGapX, line.y, kGapWidth)) << c.saved << " / " << c.directory;
        }
        const int top = c.lines.front().y;
        const int bottom = c.lines.back().y + 16;
        int stray = 0;
        for (int y = 612; y < UiCanvas::kVisibleHeight; ++y) {
            for (int x = 592; x < 816; ++x) {
                const bool inGap = x >= kGapX && x < kGapX + kGapWidth && y >= top && y < bottom;
                stray += !inGap && canvas().pixel(x, y) != kBackground;
            }
        }
        EXPECT_EQ(stray, 0) << c.saved << " / " << c.directory;
    }
}

TEST_F(CanvasTest, CanvasQuadCoversTheVisiblePartWhereTheLayoutPutsIt) {
    startWithRows(1);
    recording.draws.clear();
    frame(1200, 800);
    ASSERT_FALSE(recording.draws.empty());
    const testing::RecordedDraw& quad = recording.draws[0];
    ASSERT_EQ(quad.vertices.size(), 6u);
    float left = 1, right = -1, top = -1, bottom = 1, uMax = 0, vMax = 0;
    for (const Vertex& v : quad.vertices) {
        left = std::min(left, v.x), right = std::max(right, v.x);
        top = std::max(top, v.y), bottom = std::min(bottom, v.y);
        uMax = std::max(uMax, v.u), vMax = std::max(vMax, v.v);
    }
    EXPECT_FLOAT_EQ(left, 90 * 2.0f / 1200 - 1);
    EXPECT_FLOAT_EQ(right, 1110 * 2.0f / 1200 - 1);
    EXPECT_FLOAT_EQ(top, 1 - 60 * 2.0f / 800);
    EXPECT_FLOAT_EQ(bottom, 1 - 740 * 2.0f / 800);
    EXPECT_FLOAT_EQ(uMax, 1020.0f / 1024);
    EXPECT_FLOAT_EQ(vMax, 680.0f / 1024);
    EXPECT_EQ(quad.state.blend, DrawState::Blend::Alpha);
    EXPECT_FALSE(quad.state.depthTest);
}

}  // namespace
}  // namespace vobu::testing
