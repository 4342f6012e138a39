#pragma once

#include <cstdint>
#include <vector>

#include "ui/graphics.h"
#include "ui/ui_canvas.h"
#include "ui/ui_layout.h"

namespace vobu {

// How a screen shows its canvas: the 1024 x 1024 buffer goes to Graphics
// whenever the canvas was repainted (which sends only the rows that differ
// from the last upload), and every frame the visible 1020 x 680 part is
// drawn as one quad where the layout puts it.

// Two triangles with white vertices covering the drawable pixels from
// (layout x, layout y) to (layout x + 1020, layout y + 680) in clip space.
std::vector<Vertex> canvasQuad(const UiLayout& layout, int drawableWidth, int drawableHeight);

// Uploads the canvas into `handle` (0: a new one), linear and clamped.
uint32_t uploadCanvas(Graphics& graphics, const UiCanvas& canvas, uint32_t handle);

// Draws the uploaded canvas with the 2D overlay switches.
void drawCanvas(Graphics& graphics, uint32_t handle, const UiLayout& layout, int drawableWidth, int drawableHeight);

}  // namespace vobu
