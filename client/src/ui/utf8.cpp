#include "ui/utf8.h"

#include <algorithm>

namespace vobu {

namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

bool isControl(uint32_t cp) { return cp < 32 || cp == 127 || (cp >= 0x80 && cp <= 0x9F); }

}  // namespace

Utf8Unit decodeUtf8At(std::string_view text, size_t pos) {
    unsigned char lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) return {lead, 1, true};
    if (lead < 0xC2 || lead > 0xF4) return {kReplacement, 1, false};

    int continuations = lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    uint32_t value = lead & (continuations == 1 ? 0x1F : continuations == 2 ? 0x0F : 0x07);
    for (int i = 1; i <= continuations; ++i) {
        if (pos + i >= text.size()) return {kReplacement, text.size() - pos, false};
        unsigned char byte = static_cast<unsigned char>(text[pos + i]);
        if (!isContinuation(byte)) return {kReplacement, size_t(i), false};
        value = value << 6 | (byte & 0x3F);
    }

    size_t length = size_t(continuations) + 1;
    static constexpr uint32_t kSmallest[] = {0x80, 0x800, 0x10000};
    bool overlong = value < kSmallest[continuations - 1];
    bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (overlong || surrogate || value > 0x10FFFF) return {kReplacement, length, false};
    return {value, length, true};
}

std::vector<uint32_t> decodeUtf8(std::string_view text) {
    std::vector<uint32_t> out;
    for (size_t pos = 0; pos < text.size();) {
        Utf8Unit unit = decodeUtf8At(text, pos);
        out.push_back(unit.codePoint);
        pos += unit.length;
    }
    return out;
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | cp >> 6));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | cp >> 12));
        out.push_back(char(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | cp >> 18));
        out.push_back(char(0x80 | (cp >> 12 & 0x3F)));
        out.push_back(char(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

std::string sanitizeUtf8(const std::string& text, int maxCodePoints) {
    std::string out;
    int kept = 0;
    for (size_t pos = 0; pos < text.size() && kept < maxCodePoints;) {
        Utf8Unit unit = decodeUtf8At(text, pos);
        if (unit.valid && !isControl(unit.codePoint) && unit.codePoint != kReplacement) {
            out.append(text, pos, unit.length);
            ++kept;
        }
        pos += unit.length;
    }
    return out;
}

bool hasControlByte(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return (unsigned char)c < 0x20 || c == 0x7F; });
}

bool isCombiningMark(uint32_t cp) {
    return (cp >= 0x0300 && cp <= 0x036F) || (cp >= 0x1AB0 && cp <= 0x1AFF) || (cp >= 0x1DC0 && cp <= 0x1DFF) ||
           (cp >= 0x20D0 && cp <= 0x20FF) || cp == 0x3099 || cp == 0x309A || (cp >= 0xFE20 && cp <= 0xFE2F);
}

bool isWrapSpace(uint32_t cp) {
    return cp == '\t' || cp == '\n' || cp == '\r' || cp == ' ' || cp == 0x00A0 || (cp >= 0x2000 && cp <= 0x200A) ||
           cp == 0x3000;
}

}  // namespace vobu
