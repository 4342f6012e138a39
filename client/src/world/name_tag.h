#pragma once
// A one-line text billboard kept with its texture and re-rendered only when
// its text changes: the name over a hovered player, and the label of a sign.

#include <array>
#include <cstdint>
#include <string>

#include "ui/label_sprite.h"
#include "ui/plot.h"

namespace vobu {

class Font;
class Graphics;

struct NameTag {
    uint32_t texture = 0;  // 0: none yet
    std::string text;      // the text the texture was rendered from
    LabelSprite sprite;

    // Draws `text` centred on (x, y, z) facing the camera; empty text draws
    // nothing.
    void draw(Graphics& graphics, const Font& font, const std::string& newText, float x, float y, float z,
              const std::array<float, 3>& right, const std::array<float, 3>& up, const PlotFunction& plot, float scale);
    // Deletes the texture (if any) and forgets the text.
    void release(Graphics& graphics);
};

}  // namespace vobu
