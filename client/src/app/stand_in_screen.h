#pragma once

#include <cstdint>
#include <vector>

#include "ui/font.h"
#include "ui/graphics.h"
#include "ui/ui_canvas.h"

namespace vobu {

// What the frame shows until the real screens exist: a canvas with the
// title logo and a few lines of Unifont text (Latin, CJK, a combining mark,
// colour codes) drawn through the toolkit, centred in the drawable.
class StandInScreen {
public:
    // Loads the font and the logo from the asset package; package and glyph
    // table failures throw and end the start-up.
    void initialize();
    void draw(Graphics& graphics, int width, int height);

    Font const& font() const { return font_; }

private:
    void paint();
    void blitLogo();

    Font font_;
    std::vector<uint8_t> logo_;
    UiCanvas canvas_;
    uint32_t texture_ = 0;
    bool dirty_ = true;
};

}  // namespace vobu
