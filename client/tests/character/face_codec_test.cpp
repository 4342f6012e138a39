#include <random>
#include <stdexcept>

#include <gtest/gtest.h>

#include "character/face_codec.h"

namespace vobu {
namespace {

std::string errorOf(const std::function<void()>& run) {
    try {
        run();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no error)";
}

std::string run(uint32_t length, uint32_t color) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04x%06x", length, color);
    return buffer;
}

TEST(HexDigits, ValuesAndFailures) {
    EXPECT_EQ(parseHexDigits("00ff", 2, 2), 0xFFu);
    EXPECT_EQ(parseHexDigits("a1b2c3", 0, 6), 0xA1B2C3u);
    EXPECT_EQ(parseHexDigits("x1234", 1, 4), 0x1234u);
    EXPECT_EQ(errorOf([] { parseHexDigits("abc", 2, 2); }), "Truncated color data");
    EXPECT_EQ(errorOf([] { parseHexDigits("abc", 4, 2); }), "Truncated color data");
    EXPECT_EQ(errorOf([] { parseHexDigits("aB", 0, 2); }), "Invalid color data");
    EXPECT_EQ(errorOf([] { parseHexDigits("0g", 0, 2); }), "Invalid color data");
    EXPECT_EQ(errorOf([] { parseHexDigits("-1", 0, 2); }), "Invalid color data");
}

TEST(ColorHelpers, PackExpandAndFormat) {
    EXPECT_EQ(packRgb(300, -5, 128), 0xFF0080u);
    EXPECT_EQ(expandRgb332(0xFF), 0xFFFFFFu);
    EXPECT_EQ(expandRgb332(0x24), packRgb(36, 36, 0));
    EXPECT_EQ(expandRgb332(0x00), 0u);
    const int levels[8] = {0, 36, 73, 109, 146, 182, 219, 255};
    for (int level = 0; level < 8; ++level) {
        EXPECT_EQ(expandRgb332(uint8_t(level << 5)), packRgb(levels[level], 0, 0));
        EXPECT_EQ(expandRgb332(uint8_t(level << 2)), packRgb(0, levels[level], 0));
    }
    for (int level = 0; level < 4; ++level) {
        EXPECT_EQ(expandRgb332(uint8_t(level)), packRgb(0, 0, level * 85));
    }
    EXPECT_EQ(hexColor(0xFF0A0B0Cu), "0a0b0c");
    Color c = colorFromRgb(0xFF8000);
    EXPECT_FLOAT_EQ(c.r, 1.0f);
    EXPECT_FLOAT_EQ(c.g, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(c.b, 0.0f);
}

TEST(ColorHelpers, ParseHexColorSyntax) {
    struct Case {
        const char* text;
        bool ok;
        uint32_t value;
    };
    const Case cases[] = {
        {"a1B2c3", true, 0xA1B2C3},
        {"#A1b2C3", true, 0xA1B2C3},
        {"#ffffff", true, 0xFFFFFF},
        {"000000", true, 0},
        {"a1b2c", false, 0},
        {"a1b2c3d", false, 0},
        {"##a1b2c3", false, 0},
        {"a1b2cg", false, 0},
        {"", false, 0},
        {"#", false, 0},
        {" a1b2c3", false, 0},
        {"a1b2c3#", false, 0},
    };
    for (const Case& k : cases) {
        uint32_t out = 0xDEAD;
        EXPECT_EQ(parseHexColor(k.text, out), k.ok) << k.text;
        EXPECT_EQ(out, k.ok ? k.value : 0xDEADu) << k.text;
    }
}

TEST(FacePlain, RoundTripAndLegacy) {
    std::vector<uint32_t> texels = {0x000000, 0xFFFFFF, 0x123456, 0xFF00FF00};
    std::string text = encodeFacePlain(texels);
    EXPECT_EQ(text, "000000ffffff12345600ff00");
    texels[3] = 0x00FF00;
    EXPECT_EQ(decodeFacePlain(text, 4, false), texels);
    EXPECT_EQ(decodeFacePlain("ff24", 2, true), (std::vector<uint32_t>{0xFFFFFF, packRgb(36, 36, 0)}));
    EXPECT_TRUE(decodeFacePlain("", 0, false).empty());
}

TEST(FacePlain, Failures) {
    EXPECT_EQ(errorOf([] { decodeFacePlain("00000", 1, false); }), "Invalid face dimensions");
    EXPECT_EQ(errorOf([] { decodeFacePlain("000000", 1, true); }), "Invalid face dimensions");
    EXPECT_EQ(errorOf([] { decodeFacePlain("0000G0", 1, false); }), "Invalid color data");
    // The count is checked before the length is compared.
    EXPECT_EQ(errorOf([] { decodeFacePlain(std::string(16385 * 2, '0'), 16385, true); }), "Invalid face dimensions");
    EXPECT_EQ(decodeFacePlain(std::string(16384 * 2, '0'), 16384, true).size(), 16384u);
}

TEST(FaceText, RunFormOnlyWhenStrictlyShorter) {
    EXPECT_EQ(encodeFace(std::vector<uint32_t>(4096, 0xFFDBAA)), "r" + run(0x1000, 0xFFDBAA));
    EXPECT_EQ(encodeFace(std::vector<uint32_t>(4096, 0xFFDBAA)).size(), 11u);
    EXPECT_EQ(encodeFace(std::vector<uint32_t>(65536, 7)), "r" + run(0xFFFF, 7) + run(1, 7));
    EXPECT_EQ(encodeFace({}), "p");
    // One texel: run form 11 characters, plain 7.
    EXPECT_EQ(encodeFace({0xABCDEF}), "pabcdef");
    // Two equal texels: run form 11 characters against plain 13.
    EXPECT_EQ(encodeFace({5, 5}), "r" + run(2, 5));
    // All different: n runs take 10n + 1 characters against 6n + 1.
    EXPECT_EQ(encodeFace({1, 2, 3}), "p000001000002000003");
    // A tie: three runs (31 characters) against five texels (31 characters).
    std::vector<uint32_t> tie = {1, 1, 2, 2, 3};
    EXPECT_EQ(encodeFace(tie), "p" + encodeFacePlain(tie));
    // The top byte is not part of a colour, so it neither splits runs nor shows.
    EXPECT_EQ(encodeFace({0x01000005, 0x02000005}), "r" + run(2, 5));
}

TEST(FaceText, RandomRoundTrips) {
    std::mt19937 random(20261210);
    for (int round = 0; round < 300; ++round) {
        uint32_t count = round == 0 ? 0 : round == 1 ? 16384 : random() % 16385;
        int palette = 1 + int(random() % 6);  // few colours give long runs, many give noise
        std::vector<uint32_t> texels(count);
        uint32_t color = 0;
        for (uint32_t& texel : texels) {
            if (random() % 8 == 0) {
                color = (random() % palette) * 0x2F1D3Bu & 0xFFFFFF;
            }
            texel = color;
        }
        std::string text = encodeFace(texels);
        ASSERT_TRUE(text[0] == 'p' || text[0] == 'r');
        ASSERT_LE(text.size(), size_t(count) * 6 + 1);
        ASSERT_EQ(decodeFace(text, count), texels) << "count " << count;
    }
}

TEST(FaceText, DecodeFailures) {
    struct Case {
        std::string text;
        uint32_t count;
        const char* error;
    };
    const Case cases[] = {
        {"", 0, "Invalid face encoding"},
        {"p", 16385, "Invalid face encoding"},
        {"x000000", 1, "Invalid face encoding"},
        {"P000000", 1, "Invalid face encoding"},
        {"r" + run(3, 0) + "0", 3, "Invalid face encoding"},  // 12 characters
        {"r0", 3, "Invalid face encoding"},
        {"r" + run(0, 0xABCDEF), 3, "Invalid color run"},
        {"r" + run(2, 0xABCDEF), 3, "Truncated face"},
        {"r" + run(4, 0xABCDEF), 3, "Invalid color run"},
        {"r" + run(2, 1) + run(2, 1), 3, "Invalid color run"},
        {"r000A000000", 10, "Invalid color data"},  // uppercase length digit
        {"r0001ABCDEF", 1, "Invalid color data"},
        {"p" + std::string(23, '0'), 4, "Invalid face dimensions"},
        {"p00000g", 1, "Invalid color data"},
        {"r", 1, "Truncated face"},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(errorOf([&] { decodeFace(k.text, k.count); }), k.error) << k.text;
    }
    EXPECT_TRUE(decodeFace("r", 0).empty());
    EXPECT_TRUE(decodeFace("p", 0).empty());
}

}  // namespace
}  // namespace vobu
