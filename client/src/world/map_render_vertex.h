#pragma once
// The render-mesh vertex as the reader stores it, and where a point falls in
// a triangle of them seen from above. The colour query and anything that
// must agree with it to the bit (an index built to answer it faster) share
// this one definition.

#include <cstddef>

namespace vobu {

// The layout of a render-mesh vertex: position xyz, normal xyz, texture uv,
// colour rgb.
inline constexpr size_t kRenderVertexFloats = 11;
inline constexpr size_t kRenderVertexColor = 8;

struct GroundWeights {
    float w0, w1, w2;
};

// Barycentric weights of (x, y) in the ground projection of the triangle
// p0 p1 p2 (vertices of kRenderVertexFloats floats); false for degenerate and
// clockwise triangles and for points outside.
inline bool mapGroundWeights(const float* p0, const float* p1, const float* p2, float x, float y, GroundWeights& w) {
    const float d = (p1[1] - p2[1]) * (p0[0] - p2[0]) + (p2[0] - p1[0]) * (p0[1] - p2[1]);
    if (d < 1e-7f) return false;
    w.w0 = ((p1[1] - p2[1]) * (x - p2[0]) + (p2[0] - p1[0]) * (y - p2[1])) / d;
    w.w1 = ((p2[1] - p0[1]) * (x - p2[0]) + (p0[0] - p2[0]) * (y - p2[1])) / d;
    w.w2 = 1.0f - w.w0 - w.w1;
    return w.w0 >= -1e-4f && w.w1 >= -1e-4f && w.w0 + w.w1 <= 1.0001f;
}

// One triangle's turn in the colour query: when (x, y) lies inside it and
// its height there is at most `reach` and above `bestHeight`, it becomes the
// answer so far: `bestHeight` takes that height and `rgb` the colour
// interpolated there. False (nothing changed) otherwise.
inline bool takeGroundColor(const float* p0, const float* p1, const float* p2, float x, float y, float reach,
                            float& bestHeight, float (&rgb)[3]) {
    GroundWeights w;
    if (!mapGroundWeights(p0, p1, p2, x, y, w)) return false;
    const float h = w.w0 * p0[2] + w.w1 * p1[2] + w.w2 * p2[2];
    if (!(h <= reach && h > bestHeight)) return false;
    const float* c0 = p0 + kRenderVertexColor;
    const float* c1 = p1 + kRenderVertexColor;
    const float* c2 = p2 + kRenderVertexColor;
    for (int k = 0; k < 3; ++k) rgb[k] = w.w0 * c0[k] + w.w1 * c1[k] + w.w2 * c2[k];
    bestHeight = h;
    return true;
}

}  // namespace vobu
