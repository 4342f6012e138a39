#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ui/graphics.h"
#include "ui/plot.h"

namespace vobu {

class Font;

// Lines of text rendered once into a power-of-two RGBA image with a black
// one-pixel outline around every glyph, to be drawn as a camera-facing quad.
// Only the top-left contentWidth x contentHeight pixels carry the label.
struct LabelSprite {
    int32_t textureWidth = 1;
    int32_t textureHeight = 32;
    int32_t contentWidth = 1;
    int32_t contentHeight = 20;
    float uMax = 1.0f;
    float vMax = 0.625f;
    std::vector<uint8_t> pixels;  // R, G, B, A, rows from the top
};

inline constexpr uint32_t kLabelTextColor = 0xffa9bdce;  // canvas notation 0xAABBGGRR
inline constexpr int kLabelLineHeight = 18;

using LabelRgb = std::array<uint8_t, 3>;  // R, G, B

LabelSprite renderLabelLines(const Font& font, const std::vector<std::string>& lines, std::optional<LabelRgb> color,
                             bool colorCoded);
LabelSprite renderLabel(const Font& font, const std::string& text);

// Six vertices (two triangles) of the quad centred on p, spanning scale * right
// to each side and 0.14 * scale * up above and below. Throws
// std::bad_function_call for an empty plot callback.
std::vector<Vertex> emitLabelQuad(const LabelSprite& sprite, const std::array<float, 3>& p,
                                  const std::array<float, 3>& right, const std::array<float, 3>& up,
                                  const PlotFunction& plot, float scale);

// Uploads the sprite into `handle` (0: a new one) with linear filtering and
// clamping; returns the handle.
uint32_t uploadLabelSprite(Graphics& graphics, const LabelSprite& sprite, uint32_t handle);

}  // namespace vobu
