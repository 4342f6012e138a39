#pragma once

#include <vector>

#include "ui/graphics.h"

namespace vobu {

// Two triangles with white vertices covering the drawable pixels from
// (left, top) to (right, bottom), in clip space for a drawable of
// drawableWidth x drawableHeight pixels. The texture runs from (0, 0) at the
// top-left corner to (uRight, vBottom) at the bottom-right one. The order is
// top-left, bottom-left, bottom-right, then top-left, bottom-right, top-right.
std::vector<Vertex> screenRectQuad(int left, int top, int right, int bottom, float uRight, float vBottom,
                                   int drawableWidth, int drawableHeight);

}  // namespace vobu
