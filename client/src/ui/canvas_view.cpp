#include "ui/canvas_view.h"

#include "ui/screen_quad.h"

namespace vobu {

std::vector<Vertex> canvasQuad(const UiLayout& layout, int drawableWidth, int drawableHeight) {
    const float uRight = float(UiCanvas::kVisibleWidth) / float(UiCanvas::kBufferSize);
    const float vBottom = float(UiCanvas::kVisibleHeight) / float(UiCanvas::kBufferSize);
    return screenRectQuad(layout.x, layout.y, layout.x + UiCanvas::kVisibleWidth, layout.y + UiCanvas::kVisibleHeight,
                          uRight, vBottom, drawableWidth, drawableHeight);
}

uint32_t uploadCanvas(Graphics& graphics, const UiCanvas& canvas, uint32_t handle) {
    return graphics.setTexture(UiCanvas::kBufferSize, UiCanvas::kBufferSize, canvas.pixels, handle, true, false);
}

void drawCanvas(Graphics& graphics, uint32_t handle, const UiLayout& layout, int drawableWidth, int drawableHeight) {
    if (drawableWidth <= 0 || drawableHeight <= 0) return;
    graphics.drawTriangles(canvasQuad(layout, drawableWidth, drawableHeight), handle, false, true, false, false, 1.0f,
                           false);
}

}  // namespace vobu
