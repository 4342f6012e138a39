#pragma once
// Which player's body lies under a point of the window, answered in
// software on the clip-space triangles kept from the last drawn frame.

#include "ui/graphics.h"

namespace vobu {

// The nearest normalised device depth at which triangle (a, b, c), clipped
// to the view volume, covers the device point (px, py); +infinity when it
// does not. With cullBack only counter-clockwise (front) faces count.
float clipTriangle(const Vertex& a, const Vertex& b, const Vertex& c, float px, float py, bool cullBack);

// The nearest depth over a whole triangle list (three vertices each).
float nearestCoverDepth(const std::vector<Vertex>& triangles, float px, float py, bool cullBack);

}  // namespace vobu
