#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/test_font.h"
#include "ui/label_sprite.h"
#include "ui/text.h"

namespace vobu {
namespace {

using testing::testFont;

uint32_t spritePixel(const LabelSprite& sprite, int x, int y) {
    const uint8_t* p = &sprite.pixels[(size_t(y) * sprite.textureWidth + x) * 4];
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The label as the canvas text functions would draw it: the glyph pixels of
// each centred line, without the outline. Used as an independent oracle.
UiCanvas glyphOracle(const Font& font, const std::vector<std::string>& lines, int contentWidth, uint32_t color,
                     bool colorCoded) {
    UiCanvas canvas;
    canvas.clip = {1, 0, contentWidth - 2, 1000};  // glyph bits on the outer columns are dropped
    for (size_t i = 0; i < lines.size(); ++i) {
        int pen = (contentWidth - textWidth(font, lines[i], colorCoded)) / 2;
        drawText(canvas, font, lines[i], pen, 18 * int(i) + 2, color, colorCoded);
    }
    return canvas;
}

void expectOutlinedLabel(const LabelSprite& sprite, const UiCanvas& oracle) {
    int inked = 0;
    for (int y = 0; y < sprite.textureHeight; ++y) {
        for (int x = 0; x < sprite.textureWidth; ++x) {
            bool interior = x >= 1 && y >= 1 && x <= sprite.contentWidth - 2 && y <= sprite.contentHeight - 2;
            uint32_t want = 0;
            if (interior) {
                if (oracle.pixel(x, y) != 0) {
                    want = oracle.pixel(x, y);
                    ++inked;
                } else {
                    for (int dy = -1; dy <= 1; ++dy) {
                        for (int dx = -1; dx <= 1; ++dx) {
                            if (x + dx >= 0 && y + dy >= 0 && oracle.pixel(x + dx, y + dy) != 0) {
                                want = 0xff000000u;
                            }
                        }
                    }
                }
            }
            ASSERT_EQ(spritePixel(sprite, x, y), want) << "pixel " << x << ", " << y;
        }
    }
    EXPECT_GT(inked, 0);
}

TEST(LabelSprite, SizesTable) {
    Font font = testFont();
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        int contentWidth, contentHeight, textureWidth, textureHeight;
        float uMax, vMax;
    };
    std::vector<Case> cases = {
        {"96-pixel line", {std::string(12, 'a')}, 100, 20, 128, 32, 100.0f / 128, 0.625f},
        {"124-pixel line fills 128", {std::string(15, 'a') + "\xCC\x81"}, 124, 20, 128, 32, 124.0f / 128, 0.625f},
        {"three lines", {"a", "bb", "c"}, 20, 56, 32, 64, 20.0f / 32, 0.875f},
        {"empty text", {""}, 4, 20, 4, 32, 1.0f, 0.625f},
        {"no lines", {}, 4, 2, 4, 2, 1.0f, 1.0f},
        {"wide glyphs", {"\xE4\xB8\x80\xE4\xB8\x80"}, 36, 20, 64, 32, 36.0f / 64, 0.625f},
    };
    for (const Case& c : cases) {
        LabelSprite sprite = renderLabelLines(font, c.lines, std::nullopt, false);
        EXPECT_EQ(sprite.contentWidth, c.contentWidth) << c.name;
        EXPECT_EQ(sprite.contentHeight, c.contentHeight) << c.name;
        EXPECT_EQ(sprite.textureWidth, c.textureWidth) << c.name;
        EXPECT_EQ(sprite.textureHeight, c.textureHeight) << c.name;
        EXPECT_FLOAT_EQ(sprite.uMax, c.uMax) << c.name;
        EXPECT_FLOAT_EQ(sprite.vMax, c.vMax) << c.name;
        EXPECT_EQ(sprite.pixels.size(), size_t(c.textureWidth) * c.textureHeight * 4) << c.name;
    }
}

TEST(LabelSprite, NeverRenderedKeepsItsInitialValues) {
    LabelSprite sprite;
    EXPECT_EQ(sprite.textureWidth, 1);
    EXPECT_EQ(sprite.textureHeight, 32);
    EXPECT_EQ(sprite.contentWidth, 1);
    EXPECT_EQ(sprite.contentHeight, 20);
    EXPECT_FLOAT_EQ(sprite.vMax, 0.625f);
    EXPECT_TRUE(sprite.pixels.empty());
}

TEST(LabelSprite, EmptyTextIsFullyTransparent) {
    LabelSprite sprite = renderLabel(testFont(), "");
    EXPECT_EQ(sprite.contentWidth, 4);
    EXPECT_EQ(sprite.contentHeight, 20);
    for (uint8_t byte : sprite.pixels) ASSERT_EQ(byte, 0);
}

TEST(LabelSprite, LinesAreCentredAndOutlinedInBlack) {
    Font font = testFont();
    std::vector<std::string> lines = {"ab", "abcd"};
    LabelSprite sprite = renderLabelLines(font, lines, std::nullopt, false);
    ASSERT_EQ(sprite.contentWidth, 36);
    UiCanvas oracle = glyphOracle(font, lines, 36, kLabelTextColor, false);
    // Line 0 (16 pixels) starts at 10, line 1 (32 pixels) at 2.
    EXPECT_NE(oracle.pixel(10, 2), 0u);
    EXPECT_NE(oracle.pixel(2, 20), 0u);
    expectOutlinedLabel(sprite, oracle);
}

TEST(LabelSprite, CallerColorAndCombiningMarks) {
    Font font = testFont();
    std::vector<std::string> lines = {
        "e\xCC\x81"
        "x"};
    LabelSprite sprite = renderLabelLines(font, lines, LabelRgb{220, 142, 210}, false);
    EXPECT_EQ(sprite.contentWidth, 20);
    uint32_t color = 0xff000000u | 210u << 16 | 142u << 8 | 220u;
    expectOutlinedLabel(sprite, glyphOracle(font, lines, 20, color, false));
}

TEST(LabelSprite, ColorCodedRunsKeepTheirColors) {
    Font font = testFont();
    std::vector<std::string> lines = {"^#FF0000ab^rc^#00ff00d"};
    LabelSprite sprite = renderLabelLines(font, lines, std::nullopt, true);
    EXPECT_EQ(sprite.contentWidth, 36);
    UiCanvas oracle = glyphOracle(font, lines, 36, kLabelTextColor, true);
    expectOutlinedLabel(sprite, oracle);
    // The glyph columns 0 of each glyph are inked in the test font.
    EXPECT_EQ(spritePixel(sprite, 2, 2), 0xFF0000FFu);
    EXPECT_EQ(spritePixel(sprite, 18, 2), kLabelTextColor);
    EXPECT_EQ(spritePixel(sprite, 26, 2), 0xFF00FF00u);
    // Without colour codes the codes are text.
    LabelSprite literal = renderLabelLines(font, lines, std::nullopt, false);
    EXPECT_EQ(literal.contentWidth, textWidth(font, lines[0], false) + 4);
}

TEST(LabelSprite, QuadCornersTextureCoordinatesAndColor) {
    LabelSprite sprite = renderLabel(testFont(), "abc");
    std::vector<Color> colors;
    PlotFunction plot = [&](float x, float y, float z, const Color& c) {
        colors.push_back(c);
        Vertex v;
        v.x = x;
        v.y = y;
        v.z = z;
        v.w = 1.0f;
        v.r = c.r;
        v.g = c.g;
        v.b = c.b;
        v.u = 9.0f;  // overwritten by the quad
        return v;
    };
    std::vector<Vertex> quad =
        emitLabelQuad(sprite, {10.0f, 20.0f, 30.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 2.0f}, plot, 0.5f);
    ASSERT_EQ(quad.size(), 6u);
    ASSERT_EQ(colors.size(), 4u);
    for (const Color& c : colors) {
        EXPECT_EQ(c.r, 1.0f);
        EXPECT_EQ(c.g, 1.0f);
        EXPECT_EQ(c.b, 1.0f);
    }
    // h = 0.14 * 0.5 = 0.07 along up (length 2): z offsets of 0.14.
    struct Corner {
        float x, z, u, v;
    };
    const float h = 0.14f * 0.5f * 2.0f;
    Corner c0{9.5f, 30.0f - h, 0.0f, sprite.vMax};
    Corner c1{10.5f, 30.0f - h, sprite.uMax, sprite.vMax};
    Corner c2{10.5f, 30.0f + h, sprite.uMax, 0.0f};
    Corner c3{9.5f, 30.0f + h, 0.0f, 0.0f};
    std::vector<Corner> expected = {c0, c1, c2, c0, c2, c3};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_FLOAT_EQ(quad[i].x, expected[i].x) << i;
        EXPECT_FLOAT_EQ(quad[i].y, 20.0f) << i;
        EXPECT_FLOAT_EQ(quad[i].z, expected[i].z) << i;
        EXPECT_EQ(quad[i].u, expected[i].u) << i;
        EXPECT_EQ(quad[i].v, expected[i].v) << i;
    }
}

TEST(LabelSprite, EmptyPlotCallbackThrows) {
    LabelSprite sprite = renderLabel(testFont(), "a");
    EXPECT_THROW(emitLabelQuad(sprite, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, PlotFunction(), 1.0f), std::bad_function_call);
}

TEST(LabelSprite, UploadGoesThroughGraphics) {
    Graphics graphics;
    LabelSprite sprite = renderLabel(testFont(), "abc");
    uint32_t handle = uploadLabelSprite(graphics, sprite, 0);
    ASSERT_NE(handle, 0u);
    const Texture& texture = graphics.textures().at(handle);
    EXPECT_EQ(texture.width, 32);
    EXPECT_EQ(texture.height, 32);
    EXPECT_TRUE(texture.linear);
    EXPECT_FALSE(texture.repeat);
    EXPECT_EQ(texture.pixels, sprite.pixels);
    uint32_t version = texture.version;
    EXPECT_EQ(uploadLabelSprite(graphics, renderLabel(testFont(), "x"), handle), handle);
    EXPECT_EQ(graphics.textures().at(handle).version, version + 1);
    EXPECT_EQ(graphics.textures().at(handle).width, 16);
}

}  // namespace
}  // namespace vobu
