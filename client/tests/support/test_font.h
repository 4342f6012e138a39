#pragma once

// A small glyph table for the toolkit's tests: printable ASCII and a few
// other code points, each glyph with its own recognisable bit pattern.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ui/font.h"
#include "ui/ui_canvas.h"

namespace vobu::testing {

inline Glyph makeGlyph(uint32_t codePoint, int width, uint8_t seed) {
    Glyph glyph;
    glyph.codePoint = codePoint;
    glyph.width = uint8_t(width);
    int bytesPerRow = width / 8;
    for (int row = 0; row < 16; ++row) {
        for (int b = 0; b < bytesPerRow; ++b) {
            // Never all-zero rows, so every glyph leaves ink where expected.
            glyph.bitmap[row * bytesPerRow + b] = uint8_t((seed + row * 37 + b * 91) | 0x81);
        }
    }
    return glyph;
}

inline Glyph blankGlyph(uint32_t codePoint, int width) {
    Glyph glyph;
    glyph.codePoint = codePoint;
    glyph.width = uint8_t(width);
    return glyph;
}

// Code points of the test font besides printable ASCII.
inline constexpr uint32_t kAcute = 0x0301;      // combining mark, 8 wide
inline constexpr uint32_t kEAcute = 0x00E9;     // 8 wide
inline constexpr uint32_t kCjkOne = 0x4E00;     // 16 wide
inline constexpr uint32_t kIdeoSpace = 0x3000;  // wrap space, 16 wide

inline std::vector<Glyph> testGlyphs(bool withReplacement = true) {
    std::vector<Glyph> glyphs;
    glyphs.push_back(blankGlyph(' ', 8));
    for (uint32_t cp = 0x21; cp <= 0x7E; ++cp) glyphs.push_back(makeGlyph(cp, 8, uint8_t(cp)));
    glyphs.push_back(blankGlyph(0xA0, 8));
    glyphs.push_back(makeGlyph(kEAcute, 8, 0x55));
    Glyph acute = blankGlyph(kAcute, 8);
    acute.bitmap[1] = 0x18;  // a small mark above the letter
    acute.bitmap[2] = 0x30;
    glyphs.push_back(acute);
    glyphs.push_back(blankGlyph(kIdeoSpace, 16));
    glyphs.push_back(makeGlyph(kCjkOne, 16, 0x33));
    if (withReplacement) {
        Glyph replacement = blankGlyph(0xFFFD, 8);
        for (int row = 0; row < 16; ++row) replacement.bitmap[row] = 0xFF;
        glyphs.push_back(replacement);
    }
    return glyphs;
}

inline Font testFont() {
    Font font;
    font.load(encodeUnifontGlyphs(testGlyphs()));
    return font;
}

// Every pixel of a glyph cell: the colour where inked, `background` elsewhere.
inline ::testing::AssertionResult glyphDrawnAt(const UiCanvas& canvas, const Glyph& glyph, int x, int y, uint32_t color,
                                               uint32_t background = 0) {
    for (int row = 0; row < 16; ++row) {
        for (int column = 0; column < glyph.width; ++column) {
            uint32_t want = glyph.inked(column, row) ? color : background;
            uint32_t got = canvas.pixel(x + column, y + row);
            if (got != want) {
                char message[128];
                std::snprintf(message, sizeof message, "glyph U+%04X pixel (%d, %d) is 0x%08X, want 0x%08X",
                              unsigned(glyph.codePoint), x + column, y + row, unsigned(got), unsigned(want));
                return ::testing::AssertionFailure() << message;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

inline int countPixels(const UiCanvas& canvas, uint32_t color) {
    int n = 0;
    for (int y = 0; y < UiCanvas::kBufferSize; ++y) {
        for (int x = 0; x < UiCanvas::kBufferSize; ++x) n += canvas.pixel(x, y) == color;
    }
    return n;
}

}  // namespace vobu::testing
