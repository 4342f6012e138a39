#include "ui/list_box.h"

#include <algorithm>

#include "ui/palette.h"
#include "ui/text.h"

namespace vobu {

namespace {

constexpr int kDetailOffset = 22;
constexpr int kTextInset = 8;

}  // namespace

int ListBox::visibleRows() const { return std::max(1, (height - 4) / rowHeight); }

int ListBox::lastFirstRow() const { return std::max(0, count - visibleRows()); }

ClipRect ListBox::trackRect() const { return {x + width - 18, y + 18, 16, height - 36}; }

ClipRect ListBox::upArrowRect() const { return {x + width - 18, y + 2, 16, 16}; }

ClipRect ListBox::downArrowRect() const { return {x + width - 18, y + height - 18, 16, 16}; }

ClipRect ListBox::thumbRect() const {
    int visible = visibleRows();
    int track = height - 36;
    int length = std::max(kMinThumbLength, track * visible / std::max(count, visible));
    int top = y + 18;
    if (count > visible) top += ((track - length) * first) / (count - visible);
    return {x + width - 18, top, 16, length};
}

void ListBox::setLayout(int newX, int newY, int newWidth, int newHeight, int newCount, int newRowHeight) {
    x = newX;
    y = newY;
    width = newWidth;
    height = newHeight;
    count = std::max(0, newCount);
    rowHeight = std::max(newRowHeight, kMinRowHeight);
    first = std::min(first, lastFirstRow());
    if (selected >= count) selected = count - 1;
}

void ListBox::select(int index) {
    index = std::min(index, count - 1);
    if (index < 0) index = -1;
    if (index == selected) return;
    selected = index;
    if (first > index) first = std::max(index, 0);
    if (index >= first + visibleRows()) first = index - visibleRows() + 1;
}

void ListBox::scrollBy(int rows) { first = std::clamp(first + rows, 0, lastFirstRow()); }

void ListBox::moveSelection(int delta) {
    // An empty list has no row to move to: the selection stays "none".
    if (count <= 0) {
        select(-1);
        return;
    }
    select(std::clamp(selected + delta, 0, count - 1));
}

void ListBox::selectEdge(bool last) { select(count <= 0 ? -1 : last ? count - 1 : 0); }

int ListBox::rowAt(int px, int py) const {
    if (px < x || px >= x + width || py < y || py >= y + height) return -1;
    if (px >= x + width - kScrollBarStrip || py <= y + 1) return -1;
    int row = (py - y - 2) / rowHeight;
    if (row >= visibleRows()) return -1;
    int index = first + row;
    return index < count ? index : -1;
}

void ListBox::press(int px, int py) {
    if (px < x || px >= x + width || py < y || py >= y + height) return;
    if (px < x + width - kScrollBarStrip) {
        int row = rowAt(px, py);
        if (row >= 0) select(row);
        return;
    }
    if (py <= y + 17) {
        pressedArrow = -1;
        scrollBy(-1);
    } else if (py >= y + height - 18) {
        pressedArrow = +1;
        scrollBy(+1);
    } else {
        ClipRect thumb = thumbRect();
        if (py < thumb.y) {
            scrollBy(-visibleRows());
        } else if (py < thumb.y + thumb.height) {
            dragging = visibleRows() < count;
            dragOffset = py - thumb.y;
        } else {
            scrollBy(+visibleRows());
        }
    }
}

void ListBox::dragThumb(int px, int py) {
    if (!dragging) return;
    int freeTrack = height - 36 - thumbRect().height;
    if (freeTrack <= 0) return;
    int64_t travel = int64_t(py - dragOffset - y - 18) * lastFirstRow();
    first = int(std::clamp<int64_t>(travel / freeTrack, 0, lastFirstRow()));
}

void ListBox::draw(UiCanvas& canvas, const Font& font, const std::vector<ListItem>& items) {
    canvas.fillRect(x, y, width, height, palette::kListBackground);
    canvas.drawBevelFrame(x, y, width, height, true, 2);

    canvas.clip = ClipRect{x + 2, y + 2, width - 22, height - 4};
    int visible = visibleRows();
    for (int i = 0; i < visible && first + i < int(items.size()); ++i) {
        const ListItem& item = items[size_t(first + i)];
        int top = y + 2 + i * rowHeight;
        int offset = item.detail.empty() ? (rowHeight - 16) / 2 : kTextInset;
        bool isSelected = first + i == selected;
        if (isSelected) canvas.fillRect(x + 2, top, width - 22, rowHeight, palette::kSelection);
        uint32_t labelColor = isSelected ? palette::kHighlightText : palette::kBodyText;
        drawText(canvas, font, item.label, x + kTextInset, top + offset, labelColor, item.colorCoded);
        if (!item.detail.empty()) {
            drawText(canvas, font, item.detail, x + kTextInset, top + offset + kDetailOffset, palette::kBodyText,
                     item.colorCoded);
        }
    }
    canvas.resetClip();

    int right = x + width;
    ClipRect track = trackRect();
    canvas.fillRect(track.x, track.y, track.width, track.height, palette::kListTrack);
    for (ClipRect arrow : {upArrowRect(), downArrowRect()}) {
        bool held = (arrow.y == y + 2) ? pressedArrow == -1 : pressedArrow == +1;
        canvas.fillRect(arrow.x, arrow.y, arrow.width, arrow.height, palette::kSelection);
        canvas.drawBevelFrame(arrow.x, arrow.y, arrow.width, arrow.height, held, 2);
    }
    uint32_t mark = canScroll() ? palette::kHighlightText : palette::kBevelLight;
    for (int j = 0; j < 4; ++j) {
        canvas.drawLine(right - 11 - j, y + 7 + j, right - 11 + j, y + 7 + j, mark);
        canvas.drawLine(right - 14 + j, y + height - 13 + j, right - 8 - j, y + height - 13 + j, mark);
    }

    ClipRect thumb = thumbRect();
    canvas.fillRect(thumb.x, thumb.y, thumb.width, thumb.height, palette::kSelection);
    canvas.drawBevelFrame(thumb.x, thumb.y, thumb.width, thumb.height, dragging, 2);
}

void ListBox::drawStrings(UiCanvas& canvas, const Font& font, const std::vector<std::string>& labels) {
    std::vector<ListItem> items;
    items.reserve(labels.size());
    for (const std::string& label : labels) items.push_back(ListItem{label, "", false});
    draw(canvas, font, items);
}

}  // namespace vobu
