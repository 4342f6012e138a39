#include "ui/text.h"

#include <algorithm>

#include "ui/font.h"
#include "ui/ui_canvas.h"

namespace vobu {

namespace {

const char* const kDefaultCode = "^r";

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

bool isColorCodeAt(const std::string& text, size_t caret) {
    if (caret + 8 > text.size()) return false;
    for (size_t i = caret + 2; i < caret + 8; ++i) {
        if (!isHexDigit(text[i])) return false;
    }
    return true;
}

// Width a code point adds to a measured line: combining marks add nothing.
int advanceOf(const Font& font, uint32_t cp) { return isCombiningMark(cp) ? 0 : font.glyph(cp).width; }

// The unit starting at pos ends where the next wrap space or the text ends.
size_t wordEnd(const std::string& text, size_t pos) {
    while (pos < text.size()) {
        Utf8Unit unit = decodeUtf8At(text, pos);
        if (isWrapSpace(unit.codePoint)) break;
        pos += unit.length;
    }
    return pos;
}

struct WrapState {
    const Font& font;
    std::vector<std::string> lines{std::string()};
    int avail;
    int full;
    int used = 0;

    void newLine() {
        lines.emplace_back();
        used = 0;
        avail = full;
    }

    // Breaks a word too wide for any line at glyph boundaries; combining
    // marks stay with their base. A new line is only started when it gives
    // more room, so a glyph wider than a whole line sits alone on one line.
    void breakWord(const std::string& word) {
        used = 0;
        for (size_t pos = 0; pos < word.size();) {
            Utf8Unit unit = decodeUtf8At(word, pos);
            if (!isCombiningMark(unit.codePoint)) {
                int g = font.glyph(unit.codePoint).width;
                bool newLineHelps = used > 0 || avail < full;
                if (g > 0 && used + g > avail && newLineHelps) newLine();
                used += g;
            }
            lines.back().append(word, pos, unit.length);
            pos += unit.length;
        }
    }
};

std::vector<std::string> wrapPlain(const Font& font, const std::string& text, int maxWidth, int firstLineWidth) {
    WrapState state{font, {std::string()}, std::max(firstLineWidth, 1), std::max(maxWidth, 1)};
    std::string pending;
    for (size_t pos = 0; pos < text.size();) {
        Utf8Unit unit = decodeUtf8At(text, pos);
        if (isWrapSpace(unit.codePoint)) {
            pending.append(text, pos, unit.length);
            pos += unit.length;
            continue;
        }
        size_t end = wordEnd(text, pos);
        std::string word = text.substr(pos, end - pos);
        int w = textWidth(font, word, false);
        // Spaces before the first word of a line are dropped.
        const bool lineStarted = state.used > 0;
        int p = lineStarted ? textWidth(font, pending, false) : 0;
        if (p + state.used + w <= state.avail) {
            if (lineStarted) state.lines.back() += pending;
            state.lines.back() += word;
            state.used += p + w;
        } else if (w <= maxWidth) {
            state.newLine();
            state.lines.back() = word;
            state.used = w;
        } else {
            if (lineStarted) state.newLine();
            state.breakWord(word);
        }
        pending.clear();
        pos = end;
    }
    return state.lines;
}

}  // namespace

ColorCodedText parseColorCodes(const std::string& text) {
    ColorCodedText out;
    out.plain.reserve(text.size());
    out.codes.reserve(text.size());
    std::string current = kDefaultCode;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '^' && i + 1 < text.size()) {
            char next = text[i + 1];
            if (next == '^') {
                out.plain.push_back('^');
                out.codes.push_back(current);
                i += 2;
                continue;
            }
            if (next == 'r') {
                current = kDefaultCode;
                i += 2;
                continue;
            }
            if (next == '#' && isColorCodeAt(text, i)) {
                current = text.substr(i, 8);
                i += 8;
                continue;
            }
        }
        out.plain.push_back(text[i]);
        out.codes.push_back(current);
        ++i;
    }
    return out;
}

std::string encodeColorCodes(const ColorCodedText& text, size_t start, size_t count) {
    std::string out;
    const std::string* last = nullptr;
    size_t end = std::min(text.plain.size(), start + std::min(count, text.plain.size()));
    for (size_t i = start; i < end; ++i) {
        const std::string& code = text.codes[i];
        if (last == nullptr || *last != code) {
            out += code;
            last = &code;
        }
        if (text.plain[i] == '^') out.push_back('^');
        out.push_back(text.plain[i]);
    }
    return out;
}

uint32_t colorOfCode(const std::string& code, uint32_t fallback) {
    if (code.size() != 8 || code[0] != '^' || code[1] != '#') return fallback;
    auto byteAt = [&](size_t i) { return uint32_t(hexValue(code[i]) * 16 + hexValue(code[i + 1])); };
    return 0xFF000000u | byteAt(6) << 16 | byteAt(4) << 8 | byteAt(2);
}

int textWidth(const Font& font, const std::string& text, bool colorCoded) {
    std::string const plain = colorCoded ? parseColorCodes(text).plain : text;
    int width = 0;
    for (size_t pos = 0; pos < plain.size();) {
        Utf8Unit unit = decodeUtf8At(plain, pos);
        width += advanceOf(font, unit.codePoint);
        pos += unit.length;
    }
    return width;
}

std::string fitText(const Font& font, const std::string& text, int maxWidth) {
    if (textWidth(font, text, false) <= maxWidth) return text;
    int sum = 0;
    for (size_t pos = 0; pos < text.size();) {
        Utf8Unit unit = decodeUtf8At(text, pos);
        sum += advanceOf(font, unit.codePoint);
        if (sum >= maxWidth - 23) return text.substr(0, pos) + "...";
        pos += unit.length;
    }
    return text + "...";  // unreachable: the whole text is wider than maxWidth
}

void drawText(UiCanvas& canvas, const Font& font, const std::string& text, int x, int y, uint32_t color,
              bool colorCoded) {
    ColorCodedText parsed;
    if (colorCoded) parsed = parseColorCodes(text);
    const std::string& plain = colorCoded ? parsed.plain : text;
    int pen = x;
    int previous = x;
    for (size_t pos = 0; pos < plain.size();) {
        Utf8Unit unit = decodeUtf8At(plain, pos);
        uint32_t drawColor = colorCoded ? colorOfCode(parsed.codes[pos], color) : color;
        const Glyph& glyph = font.glyph(unit.codePoint);
        if (isCombiningMark(unit.codePoint)) {
            canvas.drawGlyph(glyph, previous, y, drawColor);
        } else {
            canvas.drawGlyph(glyph, pen, y, drawColor);
            previous = pen;
            pen += glyph.width;
        }
        pos += unit.length;
    }
}

std::vector<std::string> wrapText(const Font& font, const std::string& text, int maxWidth, int firstLineWidth,
                                  bool colorCoded) {
    if (!colorCoded) return wrapPlain(font, text, maxWidth, firstLineWidth);
    ColorCodedText parsed = parseColorCodes(text);
    std::vector<std::string> lines = wrapPlain(font, parsed.plain, maxWidth, firstLineWidth);
    size_t from = 0;
    for (std::string& line : lines) {
        size_t at = parsed.plain.find(line, from);
        if (at == std::string::npos) at = from;
        size_t length = line.size();
        line = encodeColorCodes(parsed, at, length);
        from = std::min(parsed.plain.size(), at + length);
    }
    return lines;
}

}  // namespace vobu
