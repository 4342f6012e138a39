#include "ui/canvas_view.h"

#include "ui/screen_quad.h"

namespace vobu {

std::vector<Vertex> canvasQuad(UiLayout const& layout, int drawableWidth, int drawableHeight) {
    float const uRight = float(UiCanvas::kVisibleWidth) / float(UiCanvas::kBufferSize);
    float const vBottom = float(UiCanvas::kVisibleHeight) / float(UiCanvas::kBufferSize);
    return screenRectQuad(layout.x, layout.y, layout.x + UiCanvas::kVisibleWidth, layout.y + UiCanvas::kVisibleHeight,
                          uRight, vBottom, drawableWidth, drawableHeight);
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
