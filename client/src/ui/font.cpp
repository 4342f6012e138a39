#include "ui/font.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "ui/text.h"

namespace vobu {

namespace {

bool readUint32(std::istream& in, uint32_t& value) {
    unsigned char bytes[4];
    if (!in.read(reinterpret_cast<char*>(bytes), 4)) return false;
    value = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    return true;
}

void appendUint32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(value >> shift));
}

std::vector<Glyph>::const_iterator findExact(const std::vector<Glyph>& glyphs, uint32_t codePoint) {
    auto it = std::lower_bound(glyphs.begin(), glyphs.end(), codePoint,
                               [](const Glyph& g, uint32_t cp) { return g.codePoint < cp; });
    if (it != glyphs.end() && it->codePoint == codePoint) return it;
    return glyphs.end();
}

}  // namespace

void loadUnifontGlyphs(std::istream& in, Font& font) {
    char magic[4] = {};
    uint32_t count = 0;
    bool headerRead = bool(in.read(magic, 4)) && readUint32(in, count);
    if (!headerRead || std::string_view(magic, 4) != "UFNT" || count > kMaxGlyphCount) {
        throw std::runtime_error("Unifont asset is missing or invalid");
    }
    font.glyphs.reserve(font.glyphs.size() + count);
    for (uint32_t i = 0; i < count; ++i) {
        Glyph glyph;
        char width = 0;
        bool ok = readUint32(in, glyph.codePoint) && in.get(width) &&
                  in.read(reinterpret_cast<char*>(glyph.bitmap.data()), 32);
        glyph.width = uint8_t(width);
        if (!ok || (glyph.width != 8 && glyph.width != 16)) {
            throw std::runtime_error("Invalid Unifont glyph");
        }
        font.glyphs.push_back(glyph);
    }
}

void Font::load(const std::vector<uint8_t>& bytes) {
    std::istringstream in(std::string(bytes.begin(), bytes.end()), std::ios::binary);
    loadUnifontGlyphs(in, *this);
}

const Glyph& Font::glyph(uint32_t codePoint) const {
    auto it = findExact(glyphs, codePoint);
    if (it == glyphs.end()) it = findExact(glyphs, kReplacement);
    if (it == glyphs.end()) throw std::runtime_error("Unifont replacement glyph is unavailable");
    return *it;
}

int Font::plainTextWidth(const std::string& text) const {
    int width = 0;
    for (size_t pos = 0; pos < text.size();) {
        Utf8Unit unit = decodeUtf8At(text, pos);
        width += glyph(unit.codePoint).width;
        pos += unit.length;
    }
    return width;
}

std::vector<uint8_t> encodeUnifontGlyphs(const std::vector<Glyph>& glyphs) {
    std::vector<uint8_t> out = {'U', 'F', 'N', 'T'};
    appendUint32(out, uint32_t(glyphs.size()));
    for (const Glyph& g : glyphs) {
        appendUint32(out, g.codePoint);
        out.push_back(g.width);
        out.insert(out.end(), g.bitmap.begin(), g.bitmap.end());
    }
    return out;
}

}  // namespace vobu
