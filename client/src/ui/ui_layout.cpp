#include "ui/ui_layout.h"

#include <algorithm>

#include "ui/ui_canvas.h"

namespace vobu {

UiLayout UiLayout::forDrawable(int drawableWidth, int drawableHeight) {
    UiLayout layout;
    layout.x = std::max(0, (drawableWidth - UiCanvas::kVisibleWidth) / 2);
    layout.y = std::max(0, (drawableHeight - UiCanvas::kVisibleHeight) / 2);
    return layout;
}

int UiLayout::canvasX(int windowX) const { return int((windowX - x) / scale); }
int UiLayout::canvasY(int windowY) const { return int((windowY - y) / scale); }

}  // namespace vobu
