#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/ui_canvas.h"

namespace vobu {

class Font;

// One row of a list: a label and an optional second line 22 pixels lower.
struct ListItem {
    std::string label;
    std::string detail;
    bool colorCoded = false;
};

// A scrolling list on a canvas. It keeps geometry, selection and scroll
// state; the items come with each draw. The owner forwards presses, thumb
// drags and list keys, and clears `dragging` and `pressedArrow` on release.
class ListBox {
public:
    static constexpr int kMinRowHeight = 24;
    static constexpr int kScrollBarStrip = 18;
    static constexpr int kMinThumbLength = 18;

    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t rowHeight = kMinRowHeight;
    int32_t count = 0;
    int32_t selected = -1;
    int32_t first = 0;
    int32_t dragOffset = 0;
    int32_t pressedArrow = 0;
    bool dragging = false;

    void setLayout(int x, int y, int width, int height, int count, int rowHeight);
    void select(int index);
    void scrollBy(int rows);
    void moveSelection(int delta);
    void selectEdge(bool last);
    int rowAt(int px, int py) const;
    void press(int px, int py);
    void dragThumb(int px, int py);
    void draw(UiCanvas& canvas, const Font& font, const std::vector<ListItem>& items);
    void drawStrings(UiCanvas& canvas, const Font& font, const std::vector<std::string>& labels);

    int visibleRows() const;
    int lastFirstRow() const;
    ClipRect trackRect() const;
    ClipRect thumbRect() const;
    ClipRect upArrowRect() const;
    ClipRect downArrowRect() const;
    bool canScroll() const { return count > visibleRows(); }
};

}  // namespace vobu
