#include "ui/screen_quad.h"

namespace vobu {

std::vector<Vertex> screenRectQuad(int left, int top, int right, int bottom, float uRight, float vBottom,
                                   int drawableWidth, int drawableHeight) {
    auto corner = [&](int px, int py, float u, float v) {
        Vertex vertex;
        vertex.x = 2.0f * float(px) / float(drawableWidth) - 1.0f;
        vertex.y = 1.0f - 2.0f * float(py) / float(drawableHeight);
        vertex.z = 0.0f;
        vertex.w = 1.0f;
        vertex.u = u;
        vertex.v = v;
        return vertex;
    };
    const Vertex topLeft = corner(left, top, 0.0f, 0.0f);
    const Vertex bottomLeft = corner(left, bottom, 0.0f, vBottom);
    const Vertex bottomRight = corner(right, bottom, uRight, vBottom);
    const Vertex topRight = corner(right, top, uRight, 0.0f);
    return {topLeft, bottomLeft, bottomRight, topLeft, bottomRight, topRight};
}

}  // namespace vobu
