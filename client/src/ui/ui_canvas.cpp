#include "ui/ui_canvas.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "ui/font.h"
#include "ui/palette.h"
#include "ui/text.h"

namespace vobu {

void UiCanvas::clear() { std::fill(pixels.begin(), pixels.end(), uint8_t(0)); }

void UiCanvas::setPixel(int x, int y, uint32_t color) {
    if (x < 0 || x >= kVisibleWidth || y < 0 || y >= kVisibleHeight) return;
    if (x < clip.x || y < clip.y || x >= clip.x + clip.width || y >= clip.y + clip.height) return;
    uint8_t* p = &pixels[(size_t(x) + size_t(y) * kBufferSize) * 4];
    p[0] = uint8_t(color);
    p[1] = uint8_t(color >> 8);
    p[2] = uint8_t(color >> 16);
    p[3] = uint8_t(color >> 24);
}

uint32_t UiCanvas::pixel(int x, int y) const {
    if (x < 0 || x >= kBufferSize || y < 0 || y >= kBufferSize) return 0;
    const uint8_t* p = &pixels[(size_t(x) + size_t(y) * kBufferSize) * 4];
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void UiCanvas::fillRect(int x, int y, int width, int height, uint32_t color) {
    if (width <= 0 || height <= 0) return;
    // Cut to the visible area and the clip once instead of testing every
    // pixel; 64-bit ends so that huge sizes cannot overflow into a negative
    // bound.
    const int64_t left = std::max<int64_t>({x, 0, clip.x});
    const int64_t top = std::max<int64_t>({y, 0, clip.y});
    const int64_t right = std::min<int64_t>({int64_t(x) + width, kVisibleWidth, int64_t(clip.x) + clip.width});
    const int64_t bottom = std::min<int64_t>({int64_t(y) + height, kVisibleHeight, int64_t(clip.y) + clip.height});
    if (left >= right || top >= bottom) return;
    const uint8_t bytes[4] = {uint8_t(color), uint8_t(color >> 8), uint8_t(color >> 16), uint8_t(color >> 24)};
    for (int64_t row = top; row < bottom; ++row) {
        uint8_t* p = &pixels[(size_t(left) + size_t(row) * kBufferSize) * 4];
        for (int64_t column = left; column < right; ++column, p += 4) std::memcpy(p, bytes, 4);
    }
}

void UiCanvas::drawLine(int x0, int y0, int x1, int y1, uint32_t color) {
    int dx = std::abs(x1 - x0);
    int dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1;
    int sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    for (;;) {
        setPixel(x0, y0, color);
        if (x0 == x1 && y0 == y1) break;
        int e2 = 2 * error;
        if (e2 >= dy) {
            error += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}

void UiCanvas::drawBevel(int x, int y, int width, int height, bool sunken) {
    int right = x + width - 1;
    int bottom = y + height - 1;
    uint32_t first = sunken ? palette::kBevelDark : palette::kBevelLight;
    uint32_t second = sunken ? palette::kBevelLight : palette::kBevelDark;
    drawLine(x, y, right, y, first);
    drawLine(x, y, x, bottom, first);
    drawLine(x, bottom, right, bottom, second);
    drawLine(right, y, right, bottom, second);
}

void UiCanvas::drawBevelFrame(int x, int y, int width, int height, bool sunken, int thickness) {
    for (int i = 0; i < thickness; ++i) drawBevel(x + i, y + i, width - 2 * i, height - 2 * i, sunken);
}

void UiCanvas::drawGlyph(const Glyph& glyph, int x, int y, uint32_t color) {
    for (int row = 0; row < 16; ++row) {
        for (int column = 0; column < glyph.width; ++column) {
            if (glyph.inked(column, row)) setPixel(x + column, y + row, color);
        }
    }
}

void UiCanvas::drawPlainText(const Font& font, const std::string& text, int x, int y, uint32_t color, int maxWidth) {
    int pen = x;
    for (size_t pos = 0; pos < text.size();) {
        Utf8Unit unit = decodeUtf8At(text, pos);
        pos += unit.length;
        const Glyph& glyph = font.glyph(unit.codePoint);
        if (int64_t(pen) + glyph.width > int64_t(x) + maxWidth) return;
        drawGlyph(glyph, pen, y, color);
        pen += glyph.width;
    }
}

void UiCanvas::drawButton(const Font& font, int x, int y, int width, int height, const std::string& label, bool pressed,
                          bool enabled, bool hover) {
    uint32_t face = pressed ? palette::kButtonPressed : hover && enabled ? palette::kButtonHover : palette::kButtonFace;
    fillRect(x, y, width, height, face);
    drawBevel(x, y, width, height, pressed);
    drawBevel(x + 1, y + 1, width - 2, height - 2, pressed);
    int labelWidth = font.plainTextWidth(label);
    int textX = width - labelWidth <= 9 ? x + 4 : x + (width - labelWidth) / 2;
    int textY = y + (pressed ? 1 : 0) + (height - 16) / 2;
    drawPlainText(font, label, textX, textY, enabled ? palette::kBodyText : palette::kDisabledText, width - 8);
}

}  // namespace vobu
