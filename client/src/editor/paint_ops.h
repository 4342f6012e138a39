#pragma once
// The only operations through which the paint editor changes a face, plus
// the brush shape, the line rasteriser and the colour-wheel conversion that
// the tools and their previews share. Coordinates are texels of one face:
// x to the right, y down, (0, 0) the face's top-left texel.

#include <cstdint>
#include <utility>
#include <vector>

#include "character/character.h"
#include "editor/rgba_image.h"
#include "ui/graphics.h"

namespace vobu {

// The part of a face that painting may touch: the selection, or the whole
// face when nothing is selected.
struct FaceRect {
    int sx = 0;
    int sy = 0;
    int sw = 0;
    int sh = 0;
};

// Hue wraps into 0..1; saturation and value are 0..1.
Color hsvToRgb(float hue, float saturation, float value);

// Whether a brush of `size` covers the offset (dx, dy) from its centre texel.
// The offsets run from -(size / 2) to size - size / 2 - 1 on each axis.
bool brushCovers(int dx, int dy, int size, bool round);

// Bresenham's line, both ends included, 8-connected.
std::vector<std::pair<int, int>> lineTexels(int x0, int y0, int x1, int y1);

// Stamps the brush at every texel of the line; only texels inside the face
// and the rectangle change. A size of 0 or less paints nothing.
void paintStroke(Character& character, int face, int x0, int y0, int x1, int y1, int size, bool round, uint32_t color,
                 const FaceRect& rect);

// Fills the 4-connected region of texels exactly equal to the one at (x, y),
// staying inside the face and the rectangle.
void floodFill(Character& character, int face, int x, int y, uint32_t color, const FaceRect& rect);

// Blends the image over the face with its top-left pixel at texel (x, y),
// by each pixel's alpha; pixels beyond the face are skipped.
void blendImageOntoFace(Character& character, int face, int x, int y, const RgbaImage& image);

// The face's texels in the rectangle (x, y, w, h), cut to the face, as an
// opaque image; the empty image when nothing of it lies on the face.
RgbaImage copyFaceRegion(const Character& character, int face, int x, int y, int w, int h);

}  // namespace vobu
