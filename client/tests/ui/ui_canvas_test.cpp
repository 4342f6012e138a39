#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/test_font.h"
#include "ui/canvas_view.h"
#include "ui/palette.h"
#include "ui/ui_canvas.h"
#include "ui/ui_layout.h"

namespace vobu {
namespace {

using testing::countPixels;
using testing::glyphDrawnAt;
using testing::testFont;

constexpr uint32_t kLight = palette::kBevelLight;
constexpr uint32_t kDark = palette::kBevelDark;

std::set<std::pair<int, int>> pixelsOf(const UiCanvas& canvas, uint32_t color) {
    std::set<std::pair<int, int>> out;
    for (int y = 0; y < 1024; ++y) {
        for (int x = 0; x < 1024; ++x) {
            if (canvas.pixel(x, y) == color) out.insert({x, y});
        }
    }
    return out;
}

TEST(UiCanvas, StartsTransparentWithTheVisibleClip) {
    UiCanvas canvas;
    EXPECT_EQ(canvas.pixels.size(), 1024u * 1024u * 4u);
    EXPECT_EQ(countPixels(canvas, 0), 1024 * 1024);
    EXPECT_EQ(canvas.clip.x, 0);
    EXPECT_EQ(canvas.clip.y, 0);
    EXPECT_EQ(canvas.clip.width, 1020);
    EXPECT_EQ(canvas.clip.height, 680);
}

TEST(UiCanvas, SetPixelWritesRgbaBytesOnlyInsideTheVisibleAreaAndClip) {
    UiCanvas canvas;
    canvas.setPixel(3, 2, 0x44332211);
    const uint8_t* p = &canvas.pixels[(3 + 2 * 1024) * 4];
    EXPECT_EQ(p[0], 0x11);
    EXPECT_EQ(p[1], 0x22);
    EXPECT_EQ(p[2], 0x33);
    EXPECT_EQ(p[3], 0x44);

    canvas.setPixel(1019, 679, 0xffffffff);
    EXPECT_EQ(canvas.pixel(1019, 679), 0xffffffffu);
    for (auto [x, y] : std::vector<std::pair<int, int>>{{1020, 0}, {0, 680}, {-1, 0}, {0, -1}, {1023, 1023}}) {
        canvas.setPixel(x, y, 0xff0000ff);
    }
    EXPECT_EQ(countPixels(canvas, 0xff0000ff), 0);

    canvas.clip = {10, 20, 5, 6};
    canvas.setPixel(9, 20, 0xff00ff00);
    canvas.setPixel(10, 19, 0xff00ff00);
    canvas.setPixel(15, 20, 0xff00ff00);
    canvas.setPixel(10, 26, 0xff00ff00);
    EXPECT_EQ(countPixels(canvas, 0xff00ff00), 0);
    canvas.setPixel(14, 25, 0xff00ff00);
    EXPECT_EQ(canvas.pixel(14, 25), 0xff00ff00u);
}

TEST(UiCanvas, WritesReplaceWithoutBlending) {
    UiCanvas canvas;
    canvas.setPixel(0, 0, 0xffffffff);
    canvas.setPixel(0, 0, 0x00000000);
    EXPECT_EQ(canvas.pixel(0, 0), 0u);
    canvas.setPixel(1, 1, 0x80102030);
    EXPECT_EQ(canvas.pixel(1, 1), 0x80102030u);
}

TEST(UiCanvas, ClearZeroesEveryByte) {
    UiCanvas canvas;
    canvas.fillRect(0, 0, 1020, 680, 0xffffffff);
    canvas.clear();
    EXPECT_EQ(countPixels(canvas, 0), 1024 * 1024);
}

TEST(UiCanvas, FillRectTable) {
    struct Case {
        const char* name;
        int x, y, w, h;
        ClipRect clip;
        int expected;
    };
    ClipRect all{0, 0, 1020, 680};
    std::vector<Case> cases = {
        {"inside", 10, 10, 4, 3, all, 12},
        {"zero width", 10, 10, 0, 3, all, 0},
        {"negative height", 10, 10, 4, -3, all, 0},
        {"past the top-left corner", -2, -3, 4, 5, all, 4},
        {"past the visible bottom-right", 1018, 678, 10, 10, all, 4},
        {"clipped", 0, 0, 100, 100, ClipRect{5, 5, 10, 2}, 20},
        {"huge sizes do not overflow", 1000, 600, 0x7fffffff, 0x7fffffff, all, 20 * 80},
        {"whole canvas", -100, -100, 5000, 5000, all, 1020 * 680},
    };
    for (const Case& c : cases) {
        UiCanvas canvas;
        canvas.clip = c.clip;
        canvas.fillRect(c.x, c.y, c.w, c.h, 0xff123456);
        EXPECT_EQ(countPixels(canvas, 0xff123456), c.expected) << c.name;
    }
}

TEST(UiCanvas, DrawLineFollowsBresenhamWithBothEnds) {
    struct Case {
        int x0, y0, x1, y1;
        std::set<std::pair<int, int>> pixels;
    };
    std::vector<Case> cases = {
        {0, 0, 5, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}}},
        {5, 2, 0, 0, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}}},
        {2, 2, 2, 2, {{2, 2}}},
        {3, 1, 3, 4, {{3, 1}, {3, 2}, {3, 3}, {3, 4}}},
        {4, 7, 1, 7, {{1, 7}, {2, 7}, {3, 7}, {4, 7}}},
        {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        {1, 0, 2, 5, {{1, 0}, {1, 1}, {1, 2}, {2, 3}, {2, 4}, {2, 5}}},
    };
    for (const Case& c : cases) {
        UiCanvas canvas;
        canvas.drawLine(c.x0, c.y0, c.x1, c.y1, 0xffffffff);
        EXPECT_EQ(pixelsOf(canvas, 0xffffffff), c.pixels) << c.x0 << "," << c.y0 << " - " << c.x1 << "," << c.y1;
    }
}

TEST(UiCanvas, DrawLineOffCanvasIsDroppedPixelByPixel) {
    UiCanvas canvas;
    canvas.drawLine(-5, 0, 2, 0, 0xffffffff);
    EXPECT_EQ(pixelsOf(canvas, 0xffffffff), (std::set<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 0}}));
}

TEST(UiCanvas, RaisedBevelLightTopLeftDarkBottomRight) {
    UiCanvas canvas;
    canvas.drawBevel(0, 0, 10, 5, false);
    for (int x = 0; x < 9; ++x) EXPECT_EQ(canvas.pixel(x, 0), kLight) << x;
    for (int y = 0; y < 4; ++y) EXPECT_EQ(canvas.pixel(0, y), kLight) << y;
    for (int x = 0; x < 10; ++x) EXPECT_EQ(canvas.pixel(x, 4), kDark) << x;
    for (int y = 0; y < 5; ++y) EXPECT_EQ(canvas.pixel(9, y), kDark) << y;
    EXPECT_EQ(canvas.pixel(5, 2), 0u);  // only an outline
    EXPECT_EQ(countPixels(canvas, kLight) + countPixels(canvas, kDark), 2 * 10 + 2 * 3);
}

TEST(UiCanvas, SunkenBevelSwapsTheColors) {
    UiCanvas canvas;
    canvas.drawBevel(2, 3, 6, 4, true);
    EXPECT_EQ(canvas.pixel(2, 3), kDark);
    EXPECT_EQ(canvas.pixel(6, 3), kDark);
    EXPECT_EQ(canvas.pixel(7, 3), kLight);  // right edge drawn last
    EXPECT_EQ(canvas.pixel(2, 6), kLight);
    EXPECT_EQ(canvas.pixel(7, 6), kLight);
}

TEST(UiCanvas, BevelFrameNestsOneBevelPerPixel) {
    UiCanvas canvas;
    canvas.drawBevelFrame(10, 10, 8, 8, false, 2);
    EXPECT_EQ(canvas.pixel(10, 10), kLight);
    EXPECT_EQ(canvas.pixel(11, 11), kLight);
    EXPECT_EQ(canvas.pixel(17, 17), kDark);
    EXPECT_EQ(canvas.pixel(16, 16), kDark);
    EXPECT_EQ(canvas.pixel(12, 12), 0u);
    EXPECT_EQ(canvas.pixel(16, 11), kDark);  // inner right edge
}

TEST(UiCanvas, PlainTextDrawsWholeGlyphsOnly) {
    Font font = testFont();
    UiCanvas canvas;
    canvas.drawPlainText(font, "abc", 5, 7, 0xffabcdef, 20);
    EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph('a'), 5, 7, 0xffabcdef));
    EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph('b'), 13, 7, 0xffabcdef));
    EXPECT_TRUE(glyphDrawnAt(canvas, testing::blankGlyph('c', 8), 21, 7, 0));  // would end at 29
}

TEST(UiCanvas, PlainTextDecodesMalformedBytes) {
    Font font = testFont();
    struct Case {
        std::string text;
        std::vector<uint32_t> glyphs;
    };
    std::vector<Case> cases = {
        {"A\x80"
         "B",
         {'A', 0xFFFD, 'B'}},
        {"ab\xC3", {'a', 'b', 0xFFFD}},
        {"\xC0\x80", {0xFFFD, 0xFFFD}},
        {"\xED\xA0\x80"
         "c",
         {0xFFFD, 'c'}},
        {"\xE4\xB8\x80"
         "d",
         {0x4E00, 'd'}},
    };
    for (const Case& c : cases) {
        UiCanvas canvas;
        canvas.drawPlainText(font, c.text, 0, 0, 0xffffffff, 1020);
        int x = 0;
        for (uint32_t cp : c.glyphs) {
            EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph(cp), x, 0, 0xffffffff)) << c.text;
            x += font.glyph(cp).width;
        }
        for (int column = x; column < x + 16; ++column) {
            for (int row = 0; row < 16; ++row) EXPECT_EQ(canvas.pixel(column, row), 0u);
        }
    }
}

struct ButtonCase {
    const char* name;
    bool pressed, enabled, hover;
    uint32_t face;
    uint32_t label;
};

TEST(UiCanvas, ButtonFaceBevelAndLabelColors) {
    std::vector<ButtonCase> cases = {
        {"idle", false, true, false, palette::kButtonFace, palette::kBodyText},
        {"hover", false, true, true, palette::kButtonHover, palette::kBodyText},
        {"hover while disabled", false, false, true, palette::kButtonFace, palette::kDisabledText},
        {"pressed", true, true, false, palette::kButtonPressed, palette::kBodyText},
        {"pressed under the pointer", true, true, true, palette::kButtonPressed, palette::kBodyText},
        {"disabled", false, false, false, palette::kButtonFace, palette::kDisabledText},
    };
    Font font = testFont();
    for (const ButtonCase& c : cases) {
        UiCanvas canvas;
        canvas.drawButton(font, 10, 10, 100, 30, "ab", c.pressed, c.enabled, c.hover);
        EXPECT_EQ(canvas.pixel(12, 12), c.face) << c.name;
        EXPECT_EQ(canvas.pixel(107, 37), c.face) << c.name;
        uint32_t topLeft = c.pressed ? kDark : kLight;
        uint32_t bottomRight = c.pressed ? kLight : kDark;
        EXPECT_EQ(canvas.pixel(10, 10), topLeft) << c.name;
        EXPECT_EQ(canvas.pixel(11, 11), topLeft) << c.name;
        EXPECT_EQ(canvas.pixel(109, 39), bottomRight) << c.name;
        EXPECT_EQ(canvas.pixel(108, 38), bottomRight) << c.name;
        // Label centred: x = 10 + (100 - 16) / 2, y = 10 + (30 - 16) / 2, one lower pressed.
        int textY = 17 + (c.pressed ? 1 : 0);
        EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph('a'), 52, textY, c.label, c.face)) << c.name;
        EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph('b'), 60, textY, c.label, c.face)) << c.name;
    }
}

TEST(UiCanvas, ButtonWithANearlyFullLabelStartsAtFourAndStopsBeforeTheEdge) {
    Font font = testFont();
    UiCanvas canvas;
    std::string label = "abcdefghijkl";  // 96 pixels in a 100-pixel button
    canvas.drawButton(font, 0, 0, 100, 24, label, false, true, false);
    for (int i = 0; i < 11; ++i) {
        EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph(label[i]), 4 + 8 * i, 4, palette::kBodyText, palette::kButtonFace))
            << i;
    }
    // The twelfth glyph would end at 100, past x + 96: only the face is there.
    for (int column = 92; column < 98; ++column) {
        EXPECT_EQ(canvas.pixel(column, 10), palette::kButtonFace) << column;
    }
}

TEST(UiCanvas, ButtonLowerThanAGlyphTruncatesTheOffsetTowardZero) {
    Font font = testFont();
    UiCanvas canvas;
    canvas.drawButton(font, 0, 100, 100, 10, "a", false, true, false);
    // y = 100 + (10 - 16) / 2 = 97 (truncated, not floored to 96); the glyph's
    // rows above the button are drawn too, the canvas clip is the only limit.
    UiCanvas expected;
    expected.fillRect(0, 100, 100, 10, palette::kButtonFace);
    expected.drawBevel(0, 100, 100, 10, false);
    expected.drawBevel(1, 101, 98, 8, false);
    expected.drawGlyph(font.glyph('a'), 46, 97, palette::kBodyText);
    EXPECT_TRUE(canvas.pixels == expected.pixels);
    EXPECT_NE(canvas.pixel(46 + 0, 97), 0u);  // the glyph's top row pokes out above
}

TEST(UiLayout, CentresTheCanvasInLargerDrawables) {
    struct Case {
        int w, h, x, y;
    };
    std::vector<Case> cases = {
        {1020, 680, 0, 0}, {1280, 720, 130, 20}, {1021, 681, 0, 0},
        {1023, 683, 1, 1}, {800, 600, 0, 0},     {1920, 400, 450, 0},
    };
    for (const Case& c : cases) {
        UiLayout layout = UiLayout::forDrawable(c.w, c.h);
        EXPECT_EQ(layout.x, c.x) << c.w << "x" << c.h;
        EXPECT_EQ(layout.y, c.y) << c.w << "x" << c.h;
        EXPECT_EQ(layout.scale, 1.0f);
    }
    UiLayout layout = UiLayout::forDrawable(1280, 720);
    EXPECT_EQ(layout.canvasX(130), 0);
    EXPECT_EQ(layout.canvasY(719), 699);
    EXPECT_EQ(layout.canvasX(100), -30);
}

}  // namespace
}  // namespace vobu

namespace vobu {
namespace {

TEST(CanvasView, QuadCoversTheCanvasWhereTheLayoutPutsIt) {
    UiLayout layout = UiLayout::forDrawable(1280, 720);  // offsets 130, 20
    std::vector<Vertex> quad = canvasQuad(layout, 1280, 720);
    ASSERT_EQ(quad.size(), 6u);
    float left = 2.0f * 130.0f / 1280.0f - 1.0f;
    float right = 2.0f * 1150.0f / 1280.0f - 1.0f;
    float top = 1.0f - 2.0f * 20.0f / 720.0f;
    float bottom = 1.0f - 2.0f * 700.0f / 720.0f;
    float u = 1020.0f / 1024.0f;
    float v = 680.0f / 1024.0f;
    struct Corner {
        float x, y, u, v;
    };
    std::vector<Corner> expected = {{left, top, 0, 0}, {left, bottom, 0, v},  {right, bottom, u, v},
                                    {left, top, 0, 0}, {right, bottom, u, v}, {right, top, u, 0}};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(quad[i].x, expected[i].x) << i;
        EXPECT_EQ(quad[i].y, expected[i].y) << i;
        EXPECT_EQ(quad[i].u, expected[i].u) << i;
        EXPECT_EQ(quad[i].v, expected[i].v) << i;
        EXPECT_EQ(quad[i].r + quad[i].g + quad[i].b, 3.0f) << i;
    }
    // The exact window: clip space from -1 to 1.
    std::vector<Vertex> exact = canvasQuad(UiLayout::forDrawable(1020, 680), 1020, 680);
    EXPECT_EQ(exact[0].x, -1.0f);
    EXPECT_EQ(exact[0].y, 1.0f);
    EXPECT_EQ(exact[2].x, 1.0f);
    EXPECT_EQ(exact[2].y, -1.0f);
}

TEST(CanvasView, UploadKeepsOneHandlePerCanvas) {
    Graphics graphics;
    UiCanvas canvas;
    canvas.setPixel(0, 0, 0xff0000ff);
    uint32_t handle = uploadCanvas(graphics, canvas, 0);
    const Texture& texture = graphics.textures().at(handle);
    EXPECT_EQ(texture.width, 1024);
    EXPECT_EQ(texture.height, 1024);
    EXPECT_TRUE(texture.linear);
    EXPECT_FALSE(texture.repeat);
    EXPECT_EQ(texture.pixels[0], 0xff);
    EXPECT_EQ(uploadCanvas(graphics, canvas, handle), handle);
    EXPECT_EQ(graphics.textures().size(), 1u);
}

}  // namespace
}  // namespace vobu
