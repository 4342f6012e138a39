// The PNG codec on its own: what it writes is what it reads, with straight
// alpha (or without alpha in the RGB form), the side limit holds, and a
// decode of the top rows gives the image's first rows. Files from an independent encoder are
// read in the editor's image-file tests.

#include "platform/png_codec.h"

#include <random>

#include <gtest/gtest.h>

namespace vobu {
namespace {

std::vector<uint8_t> randomPixels(uint32_t width, uint32_t height, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> rgba(size_t(width) * height * 4);
    for (auto& byte : rgba) byte = uint8_t(random());
    // Colour under zero alpha must survive: a premultiplying codec loses it.
    for (size_t i = 3; i < rgba.size(); i += 64) rgba[i] = 0;
    return rgba;
}

TEST(PngCodec, RoundTripKeepsStraightAlpha) {
    for (auto [w, h] : {std::pair{1u, 1u}, {7u, 3u}, {128u, 128u}, {300u, 2u}}) {
        const auto rgba = randomPixels(w, h, w * 31 + h);
        std::vector<uint8_t> png;
        ASSERT_TRUE(encodePng(rgba.data(), w, h, png));
        ASSERT_GT(png.size(), 33u);
        EXPECT_EQ(png[24], 8);  // bit depth
        EXPECT_EQ(png[25], 6);  // colour type: RGBA
        PngPixels back;
        ASSERT_TRUE(decodePng(png.data(), png.size(), 4096, back));
        EXPECT_EQ(back.width, w);
        EXPECT_EQ(back.height, h);
        EXPECT_EQ(back.rgba, rgba);
    }
}

TEST(PngCodec, SideLimitIsCheckedOnBothSides) {
    const auto rgba = randomPixels(100, 50, 1);
    std::vector<uint8_t> png;
    ASSERT_TRUE(encodePng(rgba.data(), 100, 50, png));
    PngPixels out;
    EXPECT_TRUE(decodePng(png.data(), png.size(), 100, out));
    EXPECT_FALSE(decodePng(png.data(), png.size(), 99, out));
    EXPECT_TRUE(out.rgba.empty());
    EXPECT_EQ(out.width, 0u);

    const auto tall = randomPixels(50, 100, 2);
    ASSERT_TRUE(encodePng(tall.data(), 50, 100, png));
    EXPECT_FALSE(decodePng(png.data(), png.size(), 99, out));
}

TEST(PngCodec, RefusesNothingAndDamage) {
    PngPixels out;
    EXPECT_FALSE(decodePng(nullptr, 0, 4096, out));
    const uint8_t signatureOnly[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    EXPECT_FALSE(decodePng(signatureOnly, sizeof signatureOnly, 4096, out));
    EXPECT_FALSE(decodePngFile("/nonexistent/vobu/skin.png", 4096, out));

    const auto rgba = randomPixels(16, 16, 3);
    std::vector<uint8_t> png;
    ASSERT_TRUE(encodePng(rgba.data(), 16, 16, png));
    // Cuts inside the image data (a file short of only its IEND still holds every pixel).
    for (size_t cut : {size_t(20), png.size() / 2, png.size() - 40}) {
        EXPECT_FALSE(decodePng(png.data(), cut, 4096, out)) << cut;
    }
    std::vector<uint8_t> flipped = png;
    flipped[png.size() / 2] ^= 0x40;  // inside the image data: its CRC no longer matches
    EXPECT_FALSE(decodePng(flipped.data(), flipped.size(), 4096, out));

    EXPECT_FALSE(encodePng(rgba.data(), 0, 16, png));
    EXPECT_FALSE(encodePng(nullptr, 16, 16, png));
}

TEST(PngCodec, RgbFormDropsTheAlpha) {
    const auto rgba = randomPixels(9, 4, 4);
    std::vector<uint8_t> png;
    ASSERT_TRUE(encodePngRgb(rgba.data(), 9, 4, png));
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png[24], 8);  // bit depth
    EXPECT_EQ(png[25], 2);  // colour type: RGB
    PngPixels back;
    ASSERT_TRUE(decodePng(png.data(), png.size(), 4096, back));
    std::vector<uint8_t> opaque = rgba;
    for (size_t i = 3; i < opaque.size(); i += 4) opaque[i] = 255;
    EXPECT_EQ(back.rgba, opaque);
    EXPECT_FALSE(encodePngRgb(rgba.data(), 9, 0, png));
    EXPECT_FALSE(encodePngRgb(nullptr, 9, 4, png));
}

TEST(PngCodec, TopRowsAreTheImagesFirstRows) {
    const auto rgba = randomPixels(70, 40, 5);
    std::vector<uint8_t> png;
    ASSERT_TRUE(encodePng(rgba.data(), 70, 40, png));
    struct Case {
        uint32_t maxRows;
        uint32_t rows;
    } const cases[] = {{1, 1}, {39, 39}, {40, 40}, {64, 40}, {UINT32_MAX, 40}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maxRows);
        PngPixels top;
        ASSERT_TRUE(decodePngTop(png.data(), png.size(), 4096, c.maxRows, 0, top));
        EXPECT_EQ(top.width, 70u);
        EXPECT_EQ(top.height, c.rows);
        EXPECT_EQ(top.rgba, std::vector<uint8_t>(rgba.begin(), rgba.begin() + 70 * 4 * c.rows));
    }
    PngPixels out;
    EXPECT_FALSE(decodePngTop(png.data(), png.size(), 4096, 0, 0, out));
    // The header's sides are checked as for a whole decode, however few rows are wanted.
    EXPECT_FALSE(decodePngTop(png.data(), png.size(), 69, 1, 0, out));
    EXPECT_TRUE(out.rgba.empty());
    // Rows the data does not hold fail even when they are not wanted whole.
    EXPECT_FALSE(decodePngTop(png.data(), 60, 4096, 40, 0, out));
}

}  // namespace
}  // namespace vobu
