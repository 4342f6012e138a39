#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace vobu {

// One Unifont glyph: 16 rows from the top, each row width / 8 bytes, the
// most significant bit the leftmost pixel. An 8-pixel glyph uses the first
// 16 bytes of the bitmap.
struct Glyph {
    uint32_t codePoint = 0;
    uint8_t width = 8;
    std::array<uint8_t, 32> bitmap{};

    // True when the pixel at column (0..width-1) and row (0..15) is inked.
    bool inked(int column, int row) const {
        int bytesPerRow = width / 8;
        uint8_t byte = bitmap[row * bytesPerRow + column / 8];
        return (byte >> (7 - column % 8)) & 1;
    }
};

inline constexpr uint32_t kMaxGlyphCount = 200000;

// The bitmap glyph table, sorted by code point (the lookup is a binary
// search; the file's order is trusted, not checked).
class Font {
public:
    std::vector<Glyph> glyphs;

    // Parses the glyph table "unifont.bin" from the package entry's bytes.
    // Throws std::runtime_error on a bad table.
    void load(const std::vector<uint8_t>& bytes);

    // The glyph of the code point, else the replacement glyph U+FFFD.
    // Throws std::runtime_error when neither exists.
    const Glyph& glyph(uint32_t codePoint) const;

    // Sum of the glyph widths of the decoded code points of a UTF-8 text.
    int plainTextWidth(const std::string& text) const;
};

// Reads a glyph table from a byte stream and appends its glyphs to the font.
void loadUnifontGlyphs(std::istream& in, Font& font);

// Serialises glyphs into the "unifont.bin" layout (for tools and tests).
std::vector<uint8_t> encodeUnifontGlyphs(const std::vector<Glyph>& glyphs);

}  // namespace vobu
