#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_font.h"
#include "ui/text.h"

namespace vobu {
namespace {

using testing::glyphDrawnAt;
using testing::testFont;

const char* const kAcuteBytes = "\xCC\x81";    // U+0301
const char* const kCjkBytes = "\xE4\xB8\x80";  // U+4E00, 16 pixels wide

std::vector<std::string> repeat(const std::string& code, size_t n) { return std::vector<std::string>(n, code); }

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(ColorCodes, ParseTable) {
    struct Case {
        const char* name;
        std::string text;
        std::string plain;
        std::vector<std::string> codes;
    };
    std::vector<Case> cases = {
        {"doubled caret", "a^^b", "a^b", repeat("^r", 3)},
        {"five hex digits stay literal", "^#12345", "^#12345", repeat("^r", 7)},
        {"five hex digits then a letter", "^#12345g", "^#12345g", repeat("^r", 8)},
        {"non-hex letters stay literal", "^#GGGGGGx", "^#GGGGGGx", repeat("^r", 9)},
        {"other letter stays literal", "^x^R", "^x^R", repeat("^r", 4)},
        {"caret at the end", "ab^", "ab^", repeat("^r", 3)},
        {"colour then reset", "^#FF0000abc^rd", "abcd", concat(repeat("^#FF0000", 3), repeat("^r", 1))},
        {"code kept exactly as written", "^#ff00AAx", "x", repeat("^#ff00AA", 1)},
        {"code covers every byte of a character", "^#00ff00\xC3\xA9", "\xC3\xA9", repeat("^#00ff00", 2)},
        {"codes alone give nothing", "^r^#123456^r", "", {}},
        {"doubled caret before a hash", "^^#FF0000", "^#FF0000", repeat("^r", 8)},
        {"later code replaces the earlier", "^#111111^#222222z", "z", repeat("^#222222", 1)},
        {"caret inside coloured text", "^#ABCDEF^^", "^", repeat("^#ABCDEF", 1)},
    };
    for (const Case& c : cases) {
        ColorCodedText parsed = parseColorCodes(c.text);
        EXPECT_EQ(parsed.plain, c.plain) << c.name;
        EXPECT_EQ(parsed.codes, c.codes) << c.name;
    }
}

TEST(ColorCodes, EncodeTable) {
    struct Case {
        std::string text;
        size_t start;
        size_t count;
        std::string coded;
    };
    std::vector<Case> cases = {
        {"ab^^c", 0, 100, "^rab^^c"},
        {"plain", 0, 5, "^rplain"},
        {"^#FF0000ab^rc", 1, 2, "^#FF0000b^rc"},
        {"^#FF0000ab^rc", 2, 1, "^rc"},
        {"^#FF0000ab^rc", 3, 5, ""},
        {"abc", 1, 0, ""},
        {"abc", 0, std::string::npos, "^rabc"},
        {"^#010203x^#010203y", 0, 2, "^#010203xy"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(encodeColorCodes(parseColorCodes(c.text), c.start, c.count), c.coded) << c.text;
    }
}

TEST(ColorCodes, EncodedTextParsesBackToTheSame) {
    for (std::string text :
         {"^#FF0000red^r and ^#00ff00green", "^^^^", "a^b^", "^#12345x", "\xC3\xA9^#abcdef\xE2\x82\xAC"}) {
        ColorCodedText parsed = parseColorCodes(text);
        ColorCodedText again = parseColorCodes(encodeColorCodes(parsed, 0, parsed.plain.size()));
        EXPECT_EQ(again.plain, parsed.plain) << text;
        EXPECT_EQ(again.codes, parsed.codes) << text;
    }
}

TEST(ColorCodes, CanvasColorOfACode) {
    EXPECT_EQ(colorOfCode("^#FF0000", 7), 0xFF0000FFu);
    EXPECT_EQ(colorOfCode("^#123456", 7), 0xFF563412u);
    EXPECT_EQ(colorOfCode("^#abcdef", 7), 0xFFEFCDABu);
    EXPECT_EQ(colorOfCode("^r", 7), 7u);
}

TEST(TextWidth, CombiningMarksAndCodes) {
    Font font = testFont();
    EXPECT_EQ(textWidth(font, "A", false), 8);
    EXPECT_EQ(textWidth(font, std::string("A") + kAcuteBytes, false), 8);
    EXPECT_EQ(font.plainTextWidth(std::string("A") + kAcuteBytes), 16);  // plain width counts it
    EXPECT_EQ(textWidth(font, kCjkBytes, false), 16);
    EXPECT_EQ(textWidth(font, "^#FF0000ab", true), 16);
    EXPECT_EQ(textWidth(font, "^#FF0000ab", false), 80);
    EXPECT_EQ(textWidth(font, "a^^b", true), 24);
    EXPECT_EQ(textWidth(font,
                        "A\x80"
                        "B",
                        false),
              24);
    EXPECT_EQ(textWidth(font, "", true), 0);
}

TEST(FitText, Table) {
    Font font = testFont();
    struct Case {
        const char* name;
        std::string text;
        int maxWidth;
        std::string fitted;
    };
    std::string ten = "abcdefghij";                                                 // 80 pixels
    std::string cjk4 = std::string(kCjkBytes) + kCjkBytes + kCjkBytes + kCjkBytes;  // 64 pixels
    std::vector<Case> cases = {
        {"exactly as wide", ten, 80, ten},
        {"narrower", ten, 200, ten},
        {"one pixel too wide", ten, 79, "abcdef..."},
        {"three glyphs of room", ten, 48, "abc..."},
        {"23 pixels leave only the dots", ten, 23, "..."},
        {"zero width", ten, 0, "..."},
        {"never cuts inside a wide character", cjk4, 50, std::string(kCjkBytes) + "..."},
        {"combining mark stays with its base", std::string("a") + kAcuteBytes + "bcdefghij", 40,
         std::string("a") + kAcuteBytes + "b..."},
        {"combining mark makes the text no wider", std::string("abcde") + kAcuteBytes, 40,
         std::string("abcde") + kAcuteBytes},
    };
    for (const Case& c : cases) {
        std::string fitted = fitText(font, c.text, c.maxWidth);
        EXPECT_EQ(fitted, c.fitted) << c.name;
        if (c.maxWidth > 23) {
            EXPECT_LE(textWidth(font, fitted, false), c.maxWidth) << c.name;
        }
    }
}

TEST(WrapText, PlainTable) {
    Font font = testFont();
    struct Case {
        const char* name;
        std::string text;
        int maxWidth;
        int firstLineWidth;
        std::vector<std::string> lines;
    };
    std::string e = "\xC3\xA9";
    std::string aAcute = std::string("a") + kAcuteBytes;
    std::string bAcute = std::string("b") + kAcuteBytes;
    std::string cAcute = std::string("c") + kAcuteBytes;
    std::vector<Case> cases = {
        {"empty", "", 100, 100, {""}},
        {"only spaces", "  \t ", 100, 100, {""}},
        {"two words that fit keep their spaces", "ab  cd", 100, 100, {"ab  cd"}},
        {"line feed does not break", "ab\ncd", 100, 100, {"ab\ncd"}},
        {"leading spaces dropped", "  abc", 100, 100, {"abc"}},
        {"trailing spaces dropped", "abc   ", 100, 100, {"abc"}},
        {"second word wraps", "abc def", 40, 40, {"abc", "def"}},
        {"spaces before a wrapped word vanish", "abc    def", 40, 40, {"abc", "def"}},
        {"exact fit stays on the line", "abc d", 40, 40, {"abc d"}},
        {"word too wide for the first line starts on the second", "abcdefg", 80, 40, {"", "abcdefg"}},
        {"narrow first line, then full lines", "ab cd ef", 40, 16, {"ab", "cd ef"}},
        {"long word broken at glyph boundaries", "abcdefghij", 32, 32, {"abcd", "efgh", "ij"}},
        {"long word after text starts a new line", "ab abcdefghij", 32, 32, {"ab", "abcd", "efgh", "ij"}},
        {"multi-byte characters never split", e + e + e + e + e, 16, 16, {e + e, e + e, e}},
        {"combining marks stay with their base", aAcute + bAcute + cAcute, 16, 16, {aAcute + bAcute, cAcute}},
        {"glyph wider than the line sits alone", std::string(kCjkBytes) + kCjkBytes, 10, 10, {kCjkBytes, kCjkBytes}},
        {"ideographic space is a wrap space", std::string("ab") + "\xE3\x80\x80" + "cd", 40, 40, {"ab", "cd"}},
        {"no-break space U+00A0 is a wrap space",
         "ab\xC2\xA0"
         "cd",
         32,
         32,
         {"ab", "cd"}},
        {"zero widths still make progress", "ab", 0, 0, {"a", "b"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wrapText(font, c.text, c.maxWidth, c.firstLineWidth, false), c.lines) << c.name;
    }
}

TEST(WrapText, ColorCodedLinesStartWithTheirCode) {
    Font font = testFont();
    struct Case {
        std::string text;
        int maxWidth;
        std::vector<std::string> lines;
    };
    std::vector<Case> cases = {
        {"^#FF0000abc def", 40, {"^#FF0000abc", "^#FF0000def"}},
        {"ab ^#00FF00cd", 16, {"^rab", "^#00FF00cd"}},
        {"a^^b c", 24, {"^ra^^b", "^rc"}},
        {"^#FF0000ab^rcd", 100, {"^#FF0000ab^rcd"}},
        {"^#FF0000", 100, {""}},
        {"ab ab", 16, {"^rab", "^rab"}},  // repeated words are found in order
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wrapText(font, c.text, c.maxWidth, c.maxWidth, true), c.lines) << c.text;
    }
}

TEST(DrawText, ColorRunsAndReset) {
    Font font = testFont();
    UiCanvas canvas;
    const uint32_t callerColor = 0xff9694a8;
    drawText(canvas, font, "^#FF0000abc^rd", 10, 20, callerColor, true);
    const uint32_t red = 0xFF0000FF;
    EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph('a'), 10, 20, red));
    EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph('b'), 18, 20, red));
    EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph('c'), 26, 20, red));
    EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph('d'), 34, 20, callerColor));
    // The bytes in the buffer are R, G, B, A.
    const Glyph& a = font.glyph('a');
    for (int column = 0; column < 8; ++column) {
        if (!a.inked(column, 0)) continue;
        const uint8_t* p = &canvas.pixels[((10 + column) + 20 * 1024) * 4];
        EXPECT_EQ(p[0], 255);
        EXPECT_EQ(p[1], 0);
        EXPECT_EQ(p[2], 0);
        EXPECT_EQ(p[3], 255);
        break;
    }
}

TEST(DrawText, UncodedTextShowsTheCodesLiterally) {
    Font font = testFont();
    UiCanvas canvas;
    drawText(canvas, font, "^r", 0, 0, 0xff112233, false);
    EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph('^'), 0, 0, 0xff112233));
    EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph('r'), 8, 0, 0xff112233));
}

TEST(DrawText, CombiningMarkDrawsOverThePreviousGlyph) {
    Font font = testFont();
    UiCanvas withMark;
    drawText(withMark, font, std::string("e") + kAcuteBytes + "x", 100, 100, 0xffffffff, false);
    UiCanvas expected;
    expected.drawGlyph(font.glyph('e'), 100, 100, 0xffffffff);
    expected.drawGlyph(font.glyph(0x301), 100, 100, 0xffffffff);
    expected.drawGlyph(font.glyph('x'), 108, 100, 0xffffffff);
    EXPECT_TRUE(withMark.pixels == expected.pixels);
}

TEST(DrawText, MalformedBytesDrawTheReplacementGlyph) {
    Font font = testFont();
    UiCanvas canvas;
    drawText(canvas, font,
             "A\x80"
             "B",
             0, 0, 0xffffffff, false);
    EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph('A'), 0, 0, 0xffffffff));
    EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph(0xFFFD), 8, 0, 0xffffffff));
    EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph('B'), 16, 0, 0xffffffff));
}

TEST(DrawText, OnlyTheClipLimitsTheText) {
    Font font = testFont();
    UiCanvas canvas;
    canvas.clip = {0, 0, 12, 680};
    drawText(canvas, font, "ab", 0, 0, 0xffffffff, false);
    const Glyph& b = font.glyph('b');
    for (int row = 0; row < 16; ++row) {
        for (int column = 0; column < 8; ++column) {
            uint32_t want = column < 4 && b.inked(column, row) ? 0xffffffffu : 0u;
            EXPECT_EQ(canvas.pixel(8 + column, row), want);
        }
    }
}

}  // namespace
}  // namespace vobu
