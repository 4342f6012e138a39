#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/graphics.h"

namespace vobu {

class Font;

// The picture of the size loop: black, with the client size ("1280 x 720")
// in white in its middle. The text texture is re-rendered only when the size
// differs from the last one drawn.
struct ResizeBadge {
    static constexpr int kImageWidth = 512;
    static constexpr int kImageHeight = 32;

    uint32_t texture = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t textWidth = 0;

    void draw(Graphics& graphics, const Font& font, int width, int height);

    // The 512 x 32 RGBA image of the text: glyphs in the top 16 rows.
    static std::vector<uint8_t> renderText(const Font& font, const std::string& text);
    // The two triangles of the centred text in clip space.
    static std::vector<Vertex> quad(int width, int height, int textWidth);
};

}  // namespace vobu
