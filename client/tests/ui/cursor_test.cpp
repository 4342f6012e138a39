#include "ui/cursor.h"

#include <gtest/gtest.h>

#include "support/recording_backend.h"

namespace vobu {
namespace {

using testing::Recording;
using testing::RecordingBackend;

uint32_t pixelAt(const std::vector<uint8_t>& image, int x, int y) {
    const uint8_t* p = &image[(size_t(y) * 32 + size_t(x)) * 4];
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

constexpr uint32_t kBlack = 0x000000ff;
constexpr uint32_t kWhite = 0xffffffff;
constexpr uint32_t kClear = 0;

TEST(CursorImage, RowsBecomeBlackWhiteAndClearPixels) {
    const std::vector<uint8_t> image = Cursor::arrowImage();
    ASSERT_EQ(image.size(), 32u * 32u * 4u);
    struct Case {
        int x, y;
        uint32_t rgba;
    } const cases[] = {
        {0, 0, kBlack},  {1, 0, kClear},  {1, 1, kBlack},   {1, 2, kWhite},   {2, 2, kBlack},
        {8, 9, kWhite},  {9, 9, kBlack},  {10, 10, kBlack}, {11, 10, kClear}, {3, 12, kClear},
        {4, 12, kBlack}, {5, 12, kWhite}, {0, 14, kBlack},  {0, 15, kClear},  {7, 18, kBlack},
        {8, 18, kBlack}, {9, 18, kClear}, {7, 17, kWhite},  {31, 0, kClear},  {0, 31, kClear},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pixelAt(image, c.x, c.y), c.rgba) << c.x << "," << c.y;
    }
    for (int y = 19; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            ASSERT_EQ(pixelAt(image, x, y), kClear) << x << "," << y;
        }
    }
}

class CursorTest : public ::testing::Test {
protected:
    Recording rec;
    Graphics graphics{std::make_unique<RecordingBackend>(rec)};
    Cursor cursor;
};

TEST_F(CursorTest, QuadCoversThirtyTwoPixelsFromTheTip) {
    cursor.visible = true;
    cursor.x = 10;
    cursor.y = 20;
    cursor.draw(graphics, 100, 200);
    ASSERT_EQ(rec.draws.size(), 1u);
    const std::vector<Vertex>& v = rec.draws[0].vertices;
    ASSERT_EQ(v.size(), 6u);
    struct Expected {
        float px, py, u, v;
    } const corners[] = {{10, 20, 0, 0}, {10, 52, 0, 1}, {42, 52, 1, 1},
                         {10, 20, 0, 0}, {42, 52, 1, 1}, {42, 20, 1, 0}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_FLOAT_EQ(v[i].x, 2 * corners[i].px / 100 - 1) << i;
        EXPECT_FLOAT_EQ(v[i].y, 1 - 2 * corners[i].py / 200) << i;
        EXPECT_FLOAT_EQ(v[i].z, 0) << i;
        EXPECT_FLOAT_EQ(v[i].w, 1) << i;
        EXPECT_FLOAT_EQ(v[i].u, corners[i].u) << i;
        EXPECT_FLOAT_EQ(v[i].v, corners[i].v) << i;
        EXPECT_FLOAT_EQ(v[i].r * v[i].g * v[i].b, 1) << i;
    }
    const DrawState& s = rec.draws[0].state;
    EXPECT_FALSE(s.depthTest);
    EXPECT_EQ(s.blend, DrawState::Blend::Alpha);
    EXPECT_FALSE(s.cull);
    EXPECT_TRUE(s.textured);
    EXPECT_FLOAT_EQ(rec.draws[0].alpha, 1);
}

TEST_F(CursorTest, DrawsOnlyWhenVisibleAndInsideTheDrawable) {
    struct Case {
        bool visible;
        int x, y, width, height;
        bool drawn;
    } const cases[] = {
        {true, 1019, 679, 1020, 680, true}, {true, 1020, 0, 1020, 680, false}, {true, 0, 680, 1020, 680, false},
        {true, -1, 5, 1020, 680, false},    {true, 5, -1, 1020, 680, false},   {false, 5, 5, 1020, 680, false},
        {true, 0, 0, 0, 680, false},        {true, 0, 0, 1020, -3, false},     {true, 0, 0, 1020, 680, true},
    };
    for (const Case& c : cases) {
        Recording r;
        Graphics g{std::make_unique<RecordingBackend>(r)};
        Cursor k;
        k.visible = c.visible;
        k.x = c.x;
        k.y = c.y;
        k.draw(g, c.width, c.height);
        EXPECT_EQ(r.draws.size(), c.drawn ? 1u : 0u) << c.x << "," << c.y << " in " << c.width << "x" << c.height;
        // Nothing drawn means no texture either.
        EXPECT_EQ(k.texture != 0, c.drawn);
    }
}

TEST_F(CursorTest, OneTextureForTheWholeRunAndOneUpload) {
    cursor.visible = true;
    cursor.draw(graphics, 1020, 680);
    const uint32_t texture = cursor.texture;
    ASSERT_NE(texture, 0u);
    EXPECT_TRUE(graphics.textures().at(texture).linear);
    EXPECT_FALSE(graphics.textures().at(texture).repeat);
    EXPECT_EQ(graphics.textures().at(texture).pixels, Cursor::arrowImage());
    const uint32_t other = graphics.setTexture(1, 1, std::vector<uint8_t>(4), 0, false, false);
    for (int frame = 0; frame < 5; ++frame) {
        graphics.drawTriangles(std::vector<Vertex>(3), other, false, true, false, false, 1, false);
        cursor.draw(graphics, 1020, 680);
    }
    EXPECT_EQ(cursor.texture, texture);
    EXPECT_EQ(graphics.textures().size(), 2u);
    EXPECT_EQ(rec.uploads.size(), 2u);
}

}  // namespace
}  // namespace vobu
