#include "logo.h"

#include <algorithm>
#include <stdexcept>

#include "ui/text.h"

namespace vobupack {

namespace {

constexpr int kOutline = 4;  // dark rim around the letters, pixels
constexpr int kShadow = 4;   // offset of the shadow to the lower right
constexpr int kMargin = kOutline + kShadow;

struct Mask {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> on;
    bool at(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height && on[size_t(y) * width + x]; }
};

// The text's glyph ink at scale 1, cropped to the inked rows and columns.
Mask inkOf(const vobu::Font& font, const std::string& text) {
    std::vector<const vobu::Glyph*> glyphs;
    int width = 0;
    for (uint32_t codePoint : vobu::decodeUtf8(text)) {
        glyphs.push_back(&font.glyph(codePoint));
        width += glyphs.back()->width;
    }
    Mask full{width, 16, std::vector<uint8_t>(size_t(width) * 16, 0)};
    int pen = 0;
    for (const vobu::Glyph* glyph : glyphs) {
        for (int row = 0; row < 16; ++row) {
            for (int column = 0; column < glyph->width; ++column) {
                if (glyph->inked(column, row)) full.on[size_t(row) * width + pen + column] = 1;
            }
        }
        pen += glyph->width;
    }
    int left = width, right = -1, top = 16, bottom = -1;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < width; ++x) {
            if (full.at(x, y)) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0) throw std::runtime_error("logo text has no ink");
    Mask cropped{right - left + 1, bottom - top + 1, {}};
    cropped.on.resize(size_t(cropped.width) * cropped.height);
    for (int y = 0; y < cropped.height; ++y) {
        for (int x = 0; x < cropped.width; ++x) cropped.on[size_t(y) * cropped.width + x] = full.at(left + x, top + y);
    }
    return cropped;
}

Mask scaled(const Mask& ink, int scale, int margin) {
    Mask out{ink.width * scale + 2 * margin, ink.height * scale + 2 * margin, {}};
    out.on.assign(size_t(out.width) * out.height, 0);
    for (int y = margin; y < out.height - margin; ++y) {
        for (int x = margin; x < out.width - margin; ++x) {
            out.on[size_t(y) * out.width + x] = ink.at((x - margin) / scale, (y - margin) / scale);
        }
    }
    return out;
}

// Every pixel within `radius` (a disc) of a set pixel.
Mask dilated(const Mask& mask, int radius) {
    Mask out{mask.width, mask.height, std::vector<uint8_t>(mask.on.size(), 0)};
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            if (!mask.at(x, y)) continue;
            for (int dy = -radius; dy <= radius; ++dy) {
                for (int dx = -radius; dx <= radius; ++dx) {
                    const int px = x + dx, py = y + dy;
                    if (dx * dx + dy * dy <= radius * radius && px >= 0 && py >= 0 && px < mask.width &&
                        py < mask.height) {
                        out.on[size_t(py) * mask.width + px] = 1;
                    }
                }
            }
        }
    }
    return out;
}

uint8_t mix(int from, int to, double t) { return uint8_t(from + (to - from) * t + 0.5); }

}  // namespace

LogoImage drawLogo(const vobu::Font& font, const std::string& text) {
    const Mask ink = inkOf(font, text);
    const int scale = std::min((kLogoMaxWidth - 2 * kMargin) / ink.width, (kLogoMaxHeight - 2 * kMargin) / ink.height);
    if (scale < 1) throw std::runtime_error("logo text is too wide for the title band");
    const Mask letters = scaled(ink, scale, kMargin);
    const Mask rim = dilated(letters, kOutline);
    LogoImage logo{letters.width, letters.height, std::vector<uint8_t>(size_t(letters.width) * letters.height * 4, 0)};
    const int top = kMargin;
    const int bottom = letters.height - kMargin;
    for (int y = 0; y < logo.height; ++y) {
        for (int x = 0; x < logo.width; ++x) {
            uint8_t* p = &logo.pixels[(size_t(y) * logo.width + x) * 4];
            if (letters.at(x, y)) {
                // Pale gold at the top to deep orange at the bottom, with a
                // light line along the top of each glyph pixel row.
                const double t = std::clamp(double(y - top) / double(bottom - top), 0.0, 1.0);
                const bool highlight = (y - top) % scale == 0 && !letters.at(x, y - 1);
                p[0] = highlight ? 255 : mix(255, 226, t);
                p[1] = highlight ? 248 : mix(226, 92, t);
                p[2] = highlight ? 200 : mix(130, 34, t);
                p[3] = 255;
            } else if (rim.at(x, y)) {
                p[0] = 36;
                p[1] = 16;
                p[2] = 52;
                p[3] = 255;
            } else if (rim.at(x - kShadow, y - kShadow)) {
                p[3] = 110;  // black shadow, half transparent
            }
        }
    }
    return logo;
}

std::vector<uint8_t> encodeLogo(const LogoImage& logo) {
    std::vector<uint8_t> out;
    out.reserve(8 + logo.pixels.size());
    for (uint32_t value : {uint32_t(logo.width), uint32_t(logo.height)}) {
        for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(value >> shift));
    }
    out.insert(out.end(), logo.pixels.begin(), logo.pixels.end());
    return out;
}

}  // namespace vobupack
