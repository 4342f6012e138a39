#pragma once

#include <cstdint>

namespace vobu {

// Where the 1020 x 680 canvas sits in the drawable: centred when the
// drawable is larger, at the top-left (and cut off) when it is smaller.
// The canvas is never scaled.
struct UiLayout {
    float scale = 1.0f;
    int32_t x = 0;
    int32_t y = 0;

    static UiLayout forDrawable(int drawableWidth, int drawableHeight);

    int canvasX(int windowX) const;
    int canvasY(int windowY) const;
};

}  // namespace vobu
