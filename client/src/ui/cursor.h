#pragma once

#include <cstdint>
#include <vector>

#include "ui/graphics.h"

namespace vobu {

// The software arrow pointer. The system cursor stays hidden for the whole
// run, so the pointer is part of every OpenGL picture and is drawn last.
struct Cursor {
    int32_t x = 0;  // the arrow's tip, window pixels
    int32_t y = 0;
    bool visible = false;  // the pointer is inside the window
    uint32_t texture = 0;  // Graphics handle of the arrow, made on first draw

    // Draws the 32 x 32 arrow with its top-left corner at (x, y) of a drawable
    // of this size; nothing when hidden or outside the drawable.
    void draw(Graphics& graphics, int width, int height);

    // The arrow as 32 x 32 RGBA pixels: opaque black outline, white inside.
    static std::vector<uint8_t> arrowImage();
};

}  // namespace vobu
