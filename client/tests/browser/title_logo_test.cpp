// The title logo: its entry's header and data, and the slices recorded at
// a known time.

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "browser/title_logo.h"
#include "support/recording_backend.h"

namespace vobu::testing {
namespace {

std::vector<uint8_t> logoEntry(uint32_t width, uint32_t height, size_t pixelBytes) {
    std::vector<uint8_t> bytes;
    for (uint32_t word : {width, height})
        for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(word >> (8 * i)));
    for (size_t i = 0; i < pixelBytes; ++i) bytes.push_back(uint8_t(i * 7));
    return bytes;
}

std::vector<uint8_t> logoEntry(uint32_t width, uint32_t height) {
    return logoEntry(width, height, size_t(width) * height * 4);
}

class LogoTest : public ::testing::Test {
protected:
    LogoTest() : graphics(std::make_unique<testing::RecordingBackend>(recording)) {}

    // Canvas coordinates of a recorded vertex on a 1020 x 680 drawable.
    static double canvasX(const Vertex& v) { return (v.x + 1) * 1020 / 2; }
    static double canvasY(const Vertex& v) { return (1 - v.y) * 680 / 2; }

    const std::vector<Vertex>& drawAt(double t) {
        recording.draws.clear();
        logo.drawWavingLogo(graphics, layout, 1020, 680, t);
        EXPECT_EQ(recording.draws.size(), 1u);
        return recording.draws.at(0).vertices;
    }

    testing::Recording recording;
    Graphics graphics;
    TitleLogo logo;
    UiLayout layout;
};

TEST_F(LogoTest, HeaderLimitsAndShortData) {
    struct Case {
        uint32_t width, height;
        size_t pixelBytes;
        bool loads;
    };
    const std::vector<Case> cases = {
        {2048, 1, 2048 * 4, true}, {2049, 1, 2049 * 4, false}, {1, 1024, 1024 * 4, true}, {1, 1025, 1025 * 4, false},
        {0, 10, 0, false},         {10, 0, 0, false},          {4, 4, 63, false},         {4, 4, 64 + 9, true},
    };
    for (const Case& c : cases) {
        TitleLogo fresh;
        fresh.loadLogoRgba(graphics, logoEntry(c.width, c.height, c.pixelBytes));
        EXPECT_EQ(fresh.texture != 0, c.loads) << c.width << " x " << c.height << ", " << c.pixelBytes;
        EXPECT_EQ(fresh.imageWidth, int32_t(c.width));
    }
    TitleLogo header;
    header.loadLogoRgba(graphics, {1, 0, 0, 0, 1, 0, 0});
    EXPECT_EQ(header.texture, 0u);
    header.drawWavingLogo(graphics, layout, 1020, 680, 0);
    EXPECT_TRUE(recording.draws.empty());
}

TEST_F(LogoTest, ImageRowsLandInAPowerOfTwoTexture) {
    logo.loadLogoRgba(graphics, logoEntry(3, 2));
    ASSERT_NE(logo.texture, 0u);
    EXPECT_EQ(logo.textureWidth, 4);
    EXPECT_EQ(logo.textureHeight, 2);
    const Texture& texture = graphics.textures().at(logo.texture);
    ASSERT_EQ(texture.pixels.size(), 4u * 2 * 4);
    std::vector<uint8_t> entry = logoEntry(3, 2);
    for (int row = 0; row < 2; ++row) {
        for (int b = 0; b < 12; ++b) EXPECT_EQ(texture.pixels[size_t(row * 16 + b)], entry[size_t(8 + row * 12 + b)]);
        for (int b = 12; b < 16; ++b) EXPECT_EQ(texture.pixels[size_t(row * 16 + b)], 0);
    }
    EXPECT_TRUE(texture.linear);
    EXPECT_FALSE(texture.repeat);
}

TEST_F(LogoTest, SixHundredPixelLogoAtTimeZero) {
    logo.loadLogoRgba(graphics, logoEntry(600, 100));
    const std::vector<Vertex>& v = drawAt(0);
    ASSERT_EQ(v.size(), 48u * 3);
    const testing::RecordedDraw& draw = recording.draws[0];
    EXPECT_FALSE(draw.state.cull);
    EXPECT_FALSE(draw.state.depthTest);
    EXPECT_EQ(draw.state.blend, DrawState::Blend::Alpha);
    EXPECT_FLOAT_EQ(draw.alpha, 1.0f);
    for (int i = 0; i < 24; ++i) {
        const Vertex* quad =
            &v[size_t(i) * 6];  // top-left, bottom-left, bottom-right, top-left, bottom-right, top-right
        double top = std::floor(24 + 9 * std::sin(0.35 * i));
        double clippedTop = std::max(top, 16.0);
        EXPECT_NEAR(canvasX(quad[0]), 210 + 25 * i, 1e-3) << i;
        EXPECT_NEAR(canvasX(quad[5]), 235 + 25 * i, 1e-3) << i;
        EXPECT_NEAR(canvasY(quad[0]), clippedTop, 1e-3) << i;
        EXPECT_NEAR(canvasY(quad[1]), top + 100, 1e-3) << i;
        EXPECT_NEAR(quad[0].u, 25.0 * i / 1024, 1e-6);
        EXPECT_NEAR(quad[5].u, 25.0 * (i + 1) / 1024, 1e-6);
        EXPECT_NEAR(quad[0].v, (clippedTop - top) / 128, 1e-6);
        EXPECT_NEAR(quad[1].v, 100.0 / 128, 1e-6);
        for (int k = 0; k < 6; ++k)
            EXPECT_EQ((std::vector<float>{quad[k].z, quad[k].w, quad[k].r}), (std::vector<float>{0, 1, 1}));
    }
    EXPECT_NEAR(canvasY(v[0]), 24, 1e-3);  // slice 0 exactly at 24
}

TEST_F(LogoTest, WideAndTallLogoIsCutToTheBand) {
    logo.loadLogoRgba(graphics, logoEntry(1100, 300));
    const std::vector<Vertex>& v = drawAt(0);
    // slice 0 (x -40 .. 5) and slice 23 (x 1014 ..) lie wholly outside
    ASSERT_EQ(v.size(), 22u * 6);
    double left = 1e9, right = -1e9, top = 1e9, bottom = -1e9;
    for (const Vertex& vertex : v) {
        left = std::min(left, canvasX(vertex)), right = std::max(right, canvasX(vertex));
        top = std::min(top, canvasY(vertex)), bottom = std::max(bottom, canvasY(vertex));
    }
    EXPECT_NEAR(left, 24, 1e-3);
    EXPECT_NEAR(right, 996, 1e-3);
    EXPECT_NEAR(top, 16, 1e-3);
    EXPECT_NEAR(bottom, 174, 1e-3);
    // slice 1 runs from x 5 to 51; cut at 24, its u moves 19 of 46 pixels in
    const double u0 = 45.0 / 2048, u1 = 91.0 / 2048;
    EXPECT_NEAR(canvasX(v[0]), 24, 1e-3);
    EXPECT_NEAR(v[0].u, u0 + (u1 - u0) * 19 / 46, 1e-6);
    EXPECT_NEAR(v[5].u, u1, 1e-6);
}

TEST_F(LogoTest, OffsetsOfALargerDrawable) {
    logo.loadLogoRgba(graphics, logoEntry(600, 100));
    layout = UiLayout::forDrawable(1200, 800);
    recording.draws.clear();
    logo.drawWavingLogo(graphics, layout, 1200, 800, 0);
    const Vertex& first = recording.draws.at(0).vertices.at(0);
    EXPECT_NEAR(first.x, (210 + 90) * 2.0 / 1200 - 1, 1e-6);
    EXPECT_NEAR(first.y, 1 - (24 + 60) * 2.0 / 800, 1e-6);
}

}  // namespace
}  // namespace vobu::testing
