#include "ui/cursor.h"

#include <array>
#include <string_view>

#include "ui/screen_quad.h"

namespace vobu {

namespace {

constexpr int kArrowSize = 32;

// "B" opaque black, "W" opaque white, anything else transparent; the rows
// below the last one given are empty.
constexpr std::array<std::string_view, 19> kArrowRows = {
    "B",         "BB",        "BWB",        "BWWB",        "BWWWB",     "BWWWWB",   "BWWWWWB",
    "BWWWWWWB",  "BWWWWWWWB", "BWWWWWWWWB", "BWWWWWBBBBB", "BWWBWWB",   "BWB.BWWB", "BB..BWWB",
    "B....BWWB", ".....BWWB", "......BWWB", "......BWWB",  ".......BB",
};

}  // namespace

std::vector<uint8_t> Cursor::arrowImage() {
    std::vector<uint8_t> image(kArrowSize * kArrowSize * 4, 0);
    for (size_t row = 0; row < kArrowRows.size(); ++row) {
        std::string_view const text = kArrowRows[row];
        for (size_t column = 0; column < text.size(); ++column) {
            uint8_t* pixel = &image[(row * kArrowSize + column) * 4];
            if (text[column] == 'B') {
                pixel[3] = 255;
            } else if (text[column] == 'W') {
                pixel[0] = pixel[1] = pixel[2] = pixel[3] = 255;
            }
        }
    }
    return image;
}

void Cursor::draw(Graphics& graphics, int width, int height) {
    if (!visible || width <= 0 || height <= 0 || x < 0 || x >= width || y < 0 || y >= height) {
        return;
    }
    if (texture == 0) {
        texture = graphics.setTexture(kArrowSize, kArrowSize, arrowImage(), 0, true, false);
    }
    const std::vector<Vertex> quad = screenRectQuad(x, y, x + kArrowSize, y + kArrowSize, 1.0f, 1.0f, width, height);
    graphics.drawTriangles(quad, texture, false, true, false, false, 1.0f, false);
}

}  // namespace vobu
