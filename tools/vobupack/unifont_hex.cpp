#include "unifont_hex.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace vobupack {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

[[noreturn]] void broken(size_t lineNumber, const std::string& why) {
    throw std::runtime_error("unifont hex line " + std::to_string(lineNumber) + ": " + why);
}

vobu::Glyph parseLine(const std::string& line, size_t lineNumber) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0 || colon > 6) {
        broken(lineNumber, "expected a code point of 1 to 6 hex digits and a colon");
    }
    vobu::Glyph glyph;
    uint32_t codePoint = 0;
    for (size_t i = 0; i < colon; ++i) {
        const int d = hexDigit(line[i]);
        if (d < 0) broken(lineNumber, "code point is not hexadecimal");
        codePoint = codePoint * 16 + uint32_t(d);
    }
    if (codePoint > 0x10FFFF) broken(lineNumber, "code point beyond U+10FFFF");
    glyph.codePoint = codePoint;
    std::string const bits = line.substr(colon + 1);
    if (bits.size() != 32 && bits.size() != 64) broken(lineNumber, "bitmap must have 32 or 64 hex digits");
    glyph.width = bits.size() == 32 ? 8 : 16;
    for (size_t i = 0; i < bits.size(); i += 2) {
        const int high = hexDigit(bits[i]);
        const int low = hexDigit(bits[i + 1]);
        if (high < 0 || low < 0) broken(lineNumber, "bitmap is not hexadecimal");
        glyph.bitmap[i / 2] = uint8_t(high << 4 | low);
    }
    return glyph;
}

}  // namespace

std::vector<vobu::Glyph> readUnifontHex(std::istream& in) {
    std::vector<vobu::Glyph> glyphs;
    std::vector<size_t> lines;
    std::string line;
    size_t lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (glyphs.size() >= vobu::kMaxGlyphCount) broken(lineNumber, "more glyphs than the client reads");
        glyphs.push_back(parseLine(line, lineNumber));
        lines.push_back(lineNumber);
    }
    // The client finds glyphs by binary search, so the order must be strict.
    std::vector<size_t> order(glyphs.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return glyphs[a].codePoint < glyphs[b].codePoint; });
    std::vector<vobu::Glyph> sorted;
    sorted.reserve(glyphs.size());
    for (size_t index : order) {
        if (!sorted.empty() && sorted.back().codePoint == glyphs[index].codePoint) {
            broken(lines[index], "code point appears twice");
        }
        sorted.push_back(glyphs[index]);
    }
    const bool hasReplacement =
        std::any_of(sorted.begin(), sorted.end(), [](const vobu::Glyph& g) { return g.codePoint == 0xFFFD; });
    if (!hasReplacement) {
        throw std::runtime_error("unifont hex has no glyph for U+FFFD, the replacement character");
    }
    return sorted;
}

}  // namespace vobupack
