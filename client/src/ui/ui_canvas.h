#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vobu {

class Font;
struct Glyph;

struct ClipRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// A software RGBA surface: 1020 x 680 visible pixels in a 1024 x 1024
// buffer (a power-of-two texture), origin top-left. Colours are 0xAABBGGRR
// and stored as the bytes R, G, B, A. Writes never blend.
class UiCanvas {
public:
    static constexpr int kVisibleWidth = 1020;
    static constexpr int kVisibleHeight = 680;
    static constexpr int kBufferSize = 1024;

    std::vector<uint8_t> pixels = std::vector<uint8_t>(kBufferSize * kBufferSize * 4, 0);
    ClipRect clip{0, 0, kVisibleWidth, kVisibleHeight};

    void clear();
    void setPixel(int x, int y, uint32_t color);
    void fillRect(int x, int y, int width, int height, uint32_t color);
    void drawLine(int x0, int y0, int x1, int y1, uint32_t color);
    void drawBevel(int x, int y, int width, int height, bool sunken);
    void drawBevelFrame(int x, int y, int width, int height, bool sunken, int thickness);
    void drawPlainText(const Font& font, const std::string& text, int x, int y, uint32_t color, int maxWidth);
    void drawButton(const Font& font, int x, int y, int width, int height, const std::string& label, bool pressed,
                    bool enabled, bool hover);

    // Draws one glyph with its top-left at (x, y); used by the text functions.
    void drawGlyph(const Glyph& glyph, int x, int y, uint32_t color);

    // The stored colour of a pixel (0 outside the buffer), for tests and tools.
    uint32_t pixel(int x, int y) const;
    void resetClip() { clip = ClipRect{0, 0, kVisibleWidth, kVisibleHeight}; }
};

}  // namespace vobu
