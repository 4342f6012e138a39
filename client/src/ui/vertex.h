#pragma once
// The geometry every drawing part builds, with no drawing attached: the
// character model and the world use these without the whole Graphics.

namespace vobu {

// A colour of three channels, each 0..1.
struct Color {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
};

// The only geometry Graphics draws: a clip-space position, a colour and a
// texture coordinate (0..1 across the whole image). Lists always hold whole
// triangles; the alpha of a draw is given to the draw, not to the vertex.
struct Vertex {
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;
    float r = 1.0f, g = 1.0f, b = 1.0f;
    float u = 0.0f, v = 0.0f;
};
static_assert(sizeof(Vertex) == 9 * sizeof(float), "Vertex is fed to OpenGL as nine packed floats");

}  // namespace vobu
