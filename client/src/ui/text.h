#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/utf8.h"

namespace vobu {

class Font;
class UiCanvas;

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
