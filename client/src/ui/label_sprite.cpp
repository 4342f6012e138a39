#include "ui/label_sprite.h"

#include <algorithm>

#include "ui/font.h"
#include "ui/text.h"

namespace vobu {

namespace {

int powerOfTwoAtLeast(int value) {
    int size = 2;
    while (size < value) size *= 2;
    return size;
}

uint32_t canvasColor(LabelRgb rgb) {
    return 0xff000000u | uint32_t(rgb[2]) << 16 | uint32_t(rgb[1]) << 8 | uint32_t(rgb[0]);
}

// Coverage and colour of the glyph pixels before the outline is added.
struct LabelPlanes {
    int width;
    int height;
    std::vector<uint8_t> marked;
    std::vector<uint32_t> color;

    LabelPlanes(int w, int h) : width(w), height(h), marked(size_t(w) * h), color(size_t(w) * h) {}
    bool isMarked(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height && marked[size_t(y) * width + x];
    }
};

void rasteriseLine(LabelPlanes& planes, const Font& font, const std::string& line, int lineIndex, int contentWidth,
                   uint32_t labelColor, bool colorCoded) {
    ColorCodedText parsed;
    if (colorCoded) parsed = parseColorCodes(line);
    const std::string& plain = colorCoded ? parsed.plain : line;
    int pen = (contentWidth - textWidth(font, line, colorCoded)) / 2;
    int previous = pen;
    int top = kLabelLineHeight * lineIndex + 2;
    for (size_t pos = 0; pos < plain.size();) {
        Utf8Unit unit = decodeUtf8At(plain, pos);
        uint32_t color = colorCoded ? colorOfCode(parsed.codes[pos], labelColor) : labelColor;
        pos += unit.length;
        const Glyph& glyph = font.glyph(unit.codePoint);
        int x = pen;
        if (isCombiningMark(unit.codePoint)) {
            x = previous;
        } else {
            previous = pen;
            pen += glyph.width;
        }
        for (int row = 0; row < 16; ++row) {
            for (int column = 0; column < glyph.width; ++column) {
                int px = x + column;
                if (!glyph.inked(column, row) || px <= 0 || px >= contentWidth - 1) continue;
                size_t index = size_t(top + row) * planes.width + px;
                planes.marked[index] = 1;
                planes.color[index] = color;
            }
        }
    }
}

bool hasMarkedNeighbour(const LabelPlanes& planes, int x, int y) {
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            if ((dx != 0 || dy != 0) && planes.isMarked(x + dx, y + dy)) return true;
        }
    }
    return false;
}

}  // namespace

LabelSprite renderLabelLines(const Font& font, const std::vector<std::string>& lines, std::optional<LabelRgb> color,
                             bool colorCoded) {
    LabelSprite sprite;
    int widest = 0;
    for (const std::string& line : lines) widest = std::max(widest, textWidth(font, line, colorCoded));
    sprite.contentWidth = std::max(4, widest + 4);
    sprite.contentHeight = kLabelLineHeight * int(lines.size()) + 2;
    sprite.textureWidth = powerOfTwoAtLeast(sprite.contentWidth);
    sprite.textureHeight = powerOfTwoAtLeast(sprite.contentHeight);
    sprite.uMax = float(sprite.contentWidth) / float(sprite.textureWidth);
    sprite.vMax = float(sprite.contentHeight) / float(sprite.textureHeight);
    sprite.pixels.assign(size_t(sprite.textureWidth) * sprite.textureHeight * 4, 0);

    uint32_t labelColor = color ? canvasColor(*color) : kLabelTextColor;
    LabelPlanes planes(sprite.textureWidth, sprite.textureHeight);
    for (size_t i = 0; i < lines.size(); ++i) {
        rasteriseLine(planes, font, lines[i], int(i), sprite.contentWidth, labelColor, colorCoded);
    }

    for (int y = 1; y <= sprite.contentHeight - 2; ++y) {
        for (int x = 1; x <= sprite.contentWidth - 2; ++x) {
            uint8_t* p = &sprite.pixels[(size_t(y) * sprite.textureWidth + x) * 4];
            if (planes.isMarked(x, y)) {
                uint32_t c = planes.color[size_t(y) * planes.width + x];
                p[0] = uint8_t(c);
                p[1] = uint8_t(c >> 8);
                p[2] = uint8_t(c >> 16);
                p[3] = 255;
            } else if (hasMarkedNeighbour(planes, x, y)) {
                p[3] = 255;
            }
        }
    }
    return sprite;
}

LabelSprite renderLabel(const Font& font, const std::string& text) {
    return renderLabelLines(font, {text}, std::nullopt, false);
}

std::vector<Vertex> emitLabelQuad(const LabelSprite& sprite, const std::array<float, 3>& p,
                                  const std::array<float, 3>& right, const std::array<float, 3>& up,
                                  const PlotFunction& plot, float scale) {
    float s = scale;
    float h = 0.14f * scale;
    auto corner = [&](float sr, float su) {
        return std::array<float, 3>{p[0] + sr * right[0] + su * up[0], p[1] + sr * right[1] + su * up[1],
                                    p[2] + sr * right[2] + su * up[2]};
    };
    std::array<std::array<float, 3>, 4> corners = {corner(-s, -h), corner(s, -h), corner(s, h), corner(-s, h)};
    std::array<std::array<float, 2>, 4> uvs = {
        {{0.0f, sprite.vMax}, {sprite.uMax, sprite.vMax}, {sprite.uMax, 0.0f}, {0.0f, 0.0f}}};
    const Color white{1.0f, 1.0f, 1.0f};
    std::array<Vertex, 4> vertices;
    for (size_t i = 0; i < 4; ++i) {
        vertices[i] = plot(corners[i][0], corners[i][1], corners[i][2], white);
        vertices[i].u = uvs[i][0];
        vertices[i].v = uvs[i][1];
    }
    return {vertices[0], vertices[1], vertices[2], vertices[0], vertices[2], vertices[3]};
}

uint32_t uploadLabelSprite(Graphics& graphics, const LabelSprite& sprite, uint32_t handle) {
    return graphics.setTexture(sprite.textureWidth, sprite.textureHeight, sprite.pixels, handle, true, false);
}

}  // namespace vobu
