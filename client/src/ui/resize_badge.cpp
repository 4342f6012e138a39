#include "ui/resize_badge.h"

#include <string>

#include "ui/font.h"
#include "ui/screen_quad.h"

namespace vobu {

std::vector<uint8_t> ResizeBadge::renderText(const Font& font, const std::string& text) {
    std::vector<uint8_t> image(size_t(kImageWidth) * kImageHeight * 4, 0);
    int pen = 0;
    for (unsigned char byte : text) {
        const Glyph& glyph = font.glyph(byte);
        for (int row = 0; row < 16; ++row) {
            for (int column = 0; column < glyph.width; ++column) {
                int x = pen + column;
                if (!glyph.inked(column, row) || x >= kImageWidth) continue;
                uint8_t* p = &image[(size_t(row) * kImageWidth + x) * 4];
                p[0] = p[1] = p[2] = p[3] = 255;
            }
        }
        pen += glyph.width;
    }
    return image;
}

std::vector<Vertex> ResizeBadge::quad(int width, int height, int textWidth) {
    const int left = (width - textWidth) / 2;
    const int top = (height - 16) / 2;
    const float uRight = float(textWidth) / float(kImageWidth);
    return screenRectQuad(left, top, left + textWidth, top + 16, uRight, 0.5f, width, height);
}

void ResizeBadge::draw(Graphics& graphics, const Font& font, int newWidth, int newHeight) {
    if (newWidth <= 0 || newHeight <= 0) return;
    graphics.beginFrame(newWidth, newHeight);
    if (texture == 0 || newWidth != width || newHeight != height) {
        width = newWidth;
        height = newHeight;
        std::string text = std::to_string(width) + " x " + std::to_string(height);
        textWidth = font.plainTextWidth(text);
        texture = graphics.setTexture(kImageWidth, kImageHeight, renderText(font, text), texture, true, false);
    }
    graphics.drawTriangles(quad(width, height, textWidth), texture, false, true, false, false, 1.0f, false);
}

}  // namespace vobu
