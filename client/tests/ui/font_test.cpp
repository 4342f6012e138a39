#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/test_font.h"
#include "ui/font.h"

namespace vobu {
namespace {

using testing::makeGlyph;

std::vector<uint8_t> header(const char* magic, uint32_t count) {
    std::vector<uint8_t> bytes(magic, magic + 4);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(uint8_t(count >> shift));
    return bytes;
}

std::string loadError(const std::vector<uint8_t>& bytes) {
    Font font;
    try {
        font.load(bytes);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

TEST(FontLoad, RejectsBadTables) {
    std::vector<uint8_t> good = encodeUnifontGlyphs({makeGlyph('A', 8, 1), makeGlyph(0xFFFD, 16, 2)});

    std::vector<uint8_t> badWidth = good;
    badWidth[8 + 4] = 12;  // width byte of the first record

    std::vector<uint8_t> cutRecord(good.begin(), good.end() - 1);

    std::vector<uint8_t> countTooLarge = header("UFNT", 200001);

    std::vector<uint8_t> countAtLimitButShort = header("UFNT", 200000);

    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* error;
    };
    std::vector<Case> cases = {
        {"empty", {}, "Unifont asset is missing or invalid"},
        {"header cut short", {'U', 'F', 'N', 'T', 1, 0}, "Unifont asset is missing or invalid"},
        {"wrong magic", header("UFNX", 0), "Unifont asset is missing or invalid"},
        {"more than 200000 glyphs", countTooLarge, "Unifont asset is missing or invalid"},
        {"200000 glyphs announced, none present", countAtLimitButShort, "Invalid Unifont glyph"},
        {"count exceeds the records", header("UFNT", 1), "Invalid Unifont glyph"},
        {"record cut short", cutRecord, "Invalid Unifont glyph"},
        {"width other than 8 or 16", badWidth, "Invalid Unifont glyph"},
        {"good table", good, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(loadError(c.bytes), c.error) << c.name;
}

TEST(FontLoad, ReadsRecordsAndIgnoresTrailingBytes) {
    Glyph wide = makeGlyph(0x4E00, 16, 9);
    std::vector<uint8_t> bytes = encodeUnifontGlyphs({makeGlyph('A', 8, 1), wide});
    bytes.push_back(0xEE);
    bytes.push_back(0xEE);
    Font font;
    font.load(bytes);
    ASSERT_EQ(font.glyphs.size(), 2u);
    EXPECT_EQ(font.glyphs[1].codePoint, 0x4E00u);
    EXPECT_EQ(font.glyphs[1].width, 16);
    EXPECT_EQ(font.glyphs[1].bitmap, wide.bitmap);
}

TEST(FontLoad, StreamParserAppendsToTheFont) {
    Font font;
    font.glyphs.push_back(makeGlyph('A', 8, 1));
    std::vector<uint8_t> bytes = encodeUnifontGlyphs({makeGlyph('B', 8, 2)});
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    loadUnifontGlyphs(in, font);
    ASSERT_EQ(font.glyphs.size(), 2u);
    EXPECT_EQ(font.glyphs[0].codePoint, uint32_t('A'));
    EXPECT_EQ(font.glyphs[1].codePoint, uint32_t('B'));
}

TEST(FontLookup, ExactGlyphElseReplacement) {
    Font font = testing::testFont();
    EXPECT_EQ(font.glyph('q').codePoint, uint32_t('q'));
    EXPECT_EQ(font.glyph(0x4E00).width, 16);
    EXPECT_EQ(font.glyph(0x1F600).codePoint, 0xFFFDu);
    EXPECT_EQ(font.glyph(0).codePoint, 0xFFFDu);
    EXPECT_EQ(font.glyph(0xFFFFFFFF).codePoint, 0xFFFDu);
}

TEST(FontLookup, EmptyTableLoadsButCannotDraw) {
    Font font;
    font.load(header("UFNT", 0));
    EXPECT_TRUE(font.glyphs.empty());
    try {
        font.glyph('a');
        FAIL() << "lookup in an empty font succeeded";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Unifont replacement glyph is unavailable");
    }
    UiCanvas canvas;
    EXPECT_THROW(canvas.drawPlainText(font, "a", 0, 0, 0xffffffff, 100), std::runtime_error);
}

TEST(FontLookup, MissingGlyphWithoutReplacementThrows) {
    Font font;
    font.load(encodeUnifontGlyphs(testing::testGlyphs(false)));
    EXPECT_EQ(font.glyph('a').codePoint, uint32_t('a'));
    EXPECT_THROW(font.glyph(0x1F600), std::runtime_error);
}

TEST(FontWidth, PlainWidthCountsEveryCodePoint) {
    Font font = testing::testFont();
    struct Case {
        std::string text;
        int width;
    };
    std::vector<Case> cases = {
        {"", 0},
        {"abc", 24},
        {"\xE4\xB8\x80"
         "a",
         24},
        {"e\xCC\x81", 16},    // combining marks advance in plain width
        {"\xC0\x80", 16},     // two replacement glyphs
        {"\xED\xA0\x80", 8},  // one replacement glyph
    };
    for (const Case& c : cases) EXPECT_EQ(font.plainTextWidth(c.text), c.width) << c.text;
}

TEST(GlyphBits, MostSignificantBitIsLeftmost) {
    Glyph narrow;
    narrow.width = 8;
    narrow.bitmap[3] = 0x80;
    EXPECT_TRUE(narrow.inked(0, 3));
    EXPECT_FALSE(narrow.inked(7, 3));
    Glyph wide;
    wide.width = 16;
    wide.bitmap[2 * 5 + 1] = 0x01;  // row 5, second byte, last bit
    EXPECT_TRUE(wide.inked(15, 5));
    EXPECT_FALSE(wide.inked(7, 5));
    EXPECT_FALSE(wide.inked(15, 4));
}

}  // namespace
}  // namespace vobu
