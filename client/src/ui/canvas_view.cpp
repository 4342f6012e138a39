#include "ui/canvas_view.h"

namespace vobu {

std::vector<Vertex> canvasQuad(UiLayout const& layout, int drawableWidth, int drawableHeight) {
    float const uRight = float(UiCanvas::kVisibleWidth) / float(UiCanvas::kBufferSize);
    float const vBottom = float(UiCanvas::kVisibleHeight) / float(UiCanvas::kBufferSize);
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
    int left = layout.x;
    int top = layout.y;
    int right = layout.x + UiCanvas::kVisibleWidth;
    int bottom = layout.y + UiCanvas::kVisibleHeight;
    Vertex topLeft = corner(left, top, 0.0f, 0.0f);
    Vertex bottomLeft = corner(left, bottom, 0.0f, vBottom);
    Vertex bottomRight = corner(right, bottom, uRight, vBottom);
    Vertex topRight = corner(right, top, uRight, 0.0f);
    return {topLeft, bottomLeft, bottomRight, topLeft, bottomRight, topRight};
}

uint32_t uploadCanvas(Graphics& graphics, UiCanvas const& canvas, uint32_t handle) {
    return graphics.setTexture(UiCanvas::kBufferSize, UiCanvas::kBufferSize, canvas.pixels, handle,
                               true, false);
}

void drawCanvas(Graphics& graphics, uint32_t handle, UiLayout const& layout, int drawableWidth,
                int drawableHeight) {
    if (drawableWidth <= 0 || drawableHeight <= 0) return;
    graphics.drawTriangles(canvasQuad(layout, drawableWidth, drawableHeight), handle, false, true,
                           false, false, 1.0f, false);
}

}  // namespace vobu
