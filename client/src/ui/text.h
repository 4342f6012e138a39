#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vobu {

class Font;
class UiCanvas;

inline constexpr uint32_t kReplacement = 0xFFFD;

// ---- UTF-8 decoding for display -------------------------------------------
// Every malformed unit becomes exactly one U+FFFD: a stray byte alone; a
// sequence cut short by a non-continuation byte up to (not including) that
// byte; a sequence cut short by the end of the text as a whole; an overlong
// form, a surrogate or a value above U+10FFFF as the whole sequence.

struct Utf8Unit {
    uint32_t codePoint = 0;  // U+FFFD when malformed
    size_t length = 0;       // bytes consumed, at least 1 unless at the end
    bool valid = false;      // false when the unit was malformed
};

// Decodes the unit that starts at byte `pos` (pos < text.size()).
Utf8Unit decodeUtf8At(std::string_view text, size_t pos);

// All code points of a text, malformed units as U+FFFD.
std::vector<uint32_t> decodeUtf8(std::string_view text);

// Appends the UTF-8 form of a code point (no checks: callers pass valid ones).
void appendUtf8(std::string& out, uint32_t codePoint);

// Cleans untrusted text: keeps at most maxCodePoints valid code points and
// drops control bytes, DEL, C1 controls, U+FFFD and every malformed unit.
std::string sanitizeUtf8(const std::string& text, int maxCodePoints);

// Drawn over the previous glyph with no width of their own.
bool isCombiningMark(uint32_t codePoint);

// Spaces at which word wrapping may break (line feeds do not force a break).
bool isWrapSpace(uint32_t codePoint);

// ---- Colour codes --------------------------------------------------------
// "^^" a caret, "^r" the caller's colour, "^#RRGGBB" a colour; any other
// caret is literal.

struct ColorCodedText {
    std::string plain;               // the text without codes
    std::vector<std::string> codes;  // per byte of plain: "^r" or "^#RRGGBB"
};

ColorCodedText parseColorCodes(const std::string& text);

// Bytes start .. start + count - 1 of plain written back in coded form.
std::string encodeColorCodes(const ColorCodedText& text, size_t start, size_t count);

// Canvas colour of a code: "^#RRGGBB" gives 0xFFBBGGRR, "^r" the fallback.
uint32_t colorOfCode(const std::string& code, uint32_t fallback);

// ---- Measuring and drawing ----------------------------------------------

int textWidth(const Font& font, const std::string& text, bool colorCoded);
std::string fitText(const Font& font, const std::string& text, int maxWidth);
void drawText(UiCanvas& canvas, const Font& font, const std::string& text, int x, int y, uint32_t color,
              bool colorCoded);
std::vector<std::string> wrapText(const Font& font, const std::string& text, int maxWidth, int firstLineWidth,
                                  bool colorCoded);

}  // namespace vobu
