#include "world/name_tag.h"

#include "ui/font.h"
#include "ui/graphics.h"

namespace vobu {

void NameTag::draw(Graphics& graphics, const Font& font, const std::string& newText, float x, float y, float z,
                   const std::array<float, 3>& right, const std::array<float, 3>& up, const PlotFunction& plot,
                   float scale) {
    if (newText.empty()) return;
    if (texture == 0 || text != newText) {
        sprite = renderLabel(font, newText);
        texture = graphics.setTexture(sprite.textureWidth, sprite.textureHeight, sprite.pixels, texture, true, false);
        text = newText;
    }
    const std::vector<Vertex> quad = emitLabelQuad(sprite, {x, y, z}, right, up, plot, scale);
    graphics.drawTriangles(quad, texture, false, false, false, true, 1.0f, false);
}

void NameTag::release(Graphics& graphics) {
    if (texture != 0) graphics.deleteTexture(texture);
    texture = 0;
    text.clear();
}

}  // namespace vobu
