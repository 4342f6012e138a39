#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_font.h"
#include "ui/list_box.h"
#include "ui/palette.h"

namespace vobu {
namespace {

using testing::glyphDrawnAt;
using testing::testFont;

// The list used by most tests: 300 x 200 at (100, 50), 24-pixel rows,
// so 8 visible rows; the scroll bar strip starts at x 382.
ListBox makeList(int count, int rowHeight = 24) {
    ListBox list;
    list.setLayout(100, 50, 300, 200, count, rowHeight);
    return list;
}

TEST(ListBox, GeometryTable) {
    struct Case {
        const char* name;
        int height, count, rowHeight, first;
        int visible, lastFirst;
        int thumbTop, thumbLength;
    };
    std::vector<Case> cases = {
        {"8 of 30 rows, at the top", 200, 30, 24, 0, 8, 22, 68, 43},
        {"8 of 30 rows, at the end", 200, 30, 24, 22, 8, 22, 189, 43},
        {"8 of 30 rows, in the middle", 200, 30, 24, 11, 8, 22, 128, 43},
        {"rows shorter than 24 are raised to 24", 200, 30, 10, 0, 8, 22, 68, 43},
        {"taller rows", 200, 30, 40, 0, 4, 26, 68, 21},
        {"few items: thumb fills the track", 200, 3, 24, 0, 8, 0, 68, 164},
        {"many items: thumb at least 18", 200, 1000, 24, 992, 8, 992, 214, 18},
        {"too low for a row still shows one", 20, 5, 24, 0, 1, 4, 68, 18},
        {"empty", 200, 0, 24, 0, 8, 0, 68, 164},
    };
    for (const Case& c : cases) {
        ListBox list;
        list.setLayout(100, 50, 300, c.height, c.count, c.rowHeight);
        list.scrollBy(c.first);
        EXPECT_EQ(list.first, c.first) << c.name;
        EXPECT_EQ(list.rowHeight, std::max(c.rowHeight, 24)) << c.name;
        EXPECT_EQ(list.visibleRows(), c.visible) << c.name;
        EXPECT_EQ(list.lastFirstRow(), c.lastFirst) << c.name;
        ClipRect thumb = list.thumbRect();
        EXPECT_EQ(thumb.x, 382) << c.name;
        EXPECT_EQ(thumb.width, 16) << c.name;
        if (c.height >= 36) {
            EXPECT_EQ(thumb.y, c.thumbTop) << c.name;
            EXPECT_EQ(thumb.height, c.thumbLength) << c.name;
        }
    }
    ListBox list = makeList(30);
    ClipRect track = list.trackRect();
    EXPECT_EQ(track.x, 382);
    EXPECT_EQ(track.y, 68);
    EXPECT_EQ(track.width, 16);
    EXPECT_EQ(track.height, 164);
}

TEST(ListBox, RowAtTable) {
    ListBox list = makeList(30);
    list.scrollBy(5);
    struct Case {
        const char* name;
        int px, py, row;
    };
    std::vector<Case> cases = {
        {"first visible row", 110, 52, 5},
        {"second visible row", 110, 76, 6},
        {"last visible row", 381, 243, 12},
        {"bevel top line", 110, 51, -1},
        {"outer top edge", 110, 50, -1},
        {"scroll bar strip", 382, 100, -1},
        {"below the last visible row", 110, 244, -1},
        {"left of the list", 99, 100, -1},
        {"below the list", 110, 250, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(list.rowAt(c.px, c.py), c.row) << c.name;
    ListBox few = makeList(3);
    EXPECT_EQ(few.rowAt(110, 52 + 2 * 24), 2);
    EXPECT_EQ(few.rowAt(110, 52 + 3 * 24), -1);  // past the last item
}

TEST(ListBox, SelectScrollsTheSelectionIntoView) {
    ListBox list = makeList(30);
    list.select(20);
    EXPECT_EQ(list.selected, 20);
    EXPECT_EQ(list.first, 13);
    list.select(15);  // already visible: no scroll
    EXPECT_EQ(list.first, 13);
    list.select(2);
    EXPECT_EQ(list.first, 2);
    list.select(99);  // clamped to the last row
    EXPECT_EQ(list.selected, 29);
    EXPECT_EQ(list.first, 22);
    list.select(-5);
    EXPECT_EQ(list.selected, -1);
    EXPECT_EQ(list.first, 0);
}

TEST(ListBox, SetLayoutClampsScrollAndSelection) {
    ListBox list = makeList(30);
    list.select(25);
    list.setLayout(100, 50, 300, 200, 10, 24);
    EXPECT_EQ(list.first, 2);
    EXPECT_EQ(list.selected, 9);
    list.setLayout(100, 50, 300, 200, 0, 24);
    EXPECT_EQ(list.first, 0);
    EXPECT_EQ(list.selected, -1);
}

TEST(ListBox, MoveSelectionTable) {
    struct Case {
        const char* name;
        int count, selected, delta, expected;
    };
    std::vector<Case> cases = {
        {"down one", 10, 3, 1, 4},
        {"up one", 10, 3, -1, 2},
        {"past the end", 10, 9, 1, 9},
        {"past the start", 10, 0, -1, 0},
        {"page down clamps", 10, 5, 8, 9},
        {"nothing selected, down", 10, -1, 1, 0},
        {"nothing selected, up", 10, -1, -1, 0},
        {"empty list, down", 0, -1, 1, -1},
        {"empty list, up", 0, -1, -1, -1},
        {"empty list, page", 0, -1, 8, -1},
    };
    for (const Case& c : cases) {
        ListBox list = makeList(c.count);
        list.select(c.selected);
        list.moveSelection(c.delta);
        EXPECT_EQ(list.selected, c.expected) << c.name;
    }
}

TEST(ListBox, SelectEdge) {
    ListBox list = makeList(30);
    list.selectEdge(true);
    EXPECT_EQ(list.selected, 29);
    EXPECT_EQ(list.first, 22);
    list.selectEdge(false);
    EXPECT_EQ(list.selected, 0);
    EXPECT_EQ(list.first, 0);
    ListBox empty = makeList(0);
    empty.selectEdge(true);
    EXPECT_EQ(empty.selected, -1);
    empty.selectEdge(false);
    EXPECT_EQ(empty.selected, -1);
}

TEST(ListBox, PressTable) {
    struct Case {
        const char* name;
        int startFirst;
        int px, py;
        int first, selected, pressedArrow;
        bool dragging;
    };
    std::vector<Case> cases = {
        {"row selects", 0, 200, 52 + 24 * 3, 0, 3, 0, false},
        {"row below the items does nothing", 0, 200, 249, 0, -1, 0, false},
        {"up arrow", 5, 390, 67, 4, -1, -1, false},
        {"up arrow at the top", 0, 390, 55, 0, -1, -1, false},
        {"down arrow", 5, 390, 232, 6, -1, 1, false},
        {"track above the thumb pages up", 20, 390, 70, 12, -1, 0, false},
        {"track below the thumb pages down", 0, 390, 200, 8, -1, 0, false},
        {"thumb grabs", 0, 390, 80, 0, -1, 0, true},
        {"outside the list", 0, 401, 100, 0, -1, 0, false},
    };
    for (const Case& c : cases) {
        ListBox list = makeList(30);
        list.scrollBy(c.startFirst);
        list.press(c.px, c.py);
        EXPECT_EQ(list.first, c.first) << c.name;
        EXPECT_EQ(list.selected, c.selected) << c.name;
        EXPECT_EQ(list.pressedArrow, c.pressedArrow) << c.name;
        EXPECT_EQ(list.dragging, c.dragging) << c.name;
    }
}

TEST(ListBox, ThumbDrag) {
    ListBox list = makeList(30);
    list.press(390, 80);  // 12 pixels below the thumb top 68
    ASSERT_TRUE(list.dragging);
    EXPECT_EQ(list.dragOffset, 12);
    list.dragThumb(390, 80 + 121);  // thumb top at the end of the free track
    EXPECT_EQ(list.first, 22);
    list.dragThumb(390, 1000);
    EXPECT_EQ(list.first, 22);
    list.dragThumb(390, 80 + 60);  // half way: 60 * 22 / 121
    EXPECT_EQ(list.first, 10);
    list.dragThumb(390, 0);  // above the track
    EXPECT_EQ(list.first, 0);
    list.dragging = false;  // the owner's release
    list.dragThumb(390, 200);
    EXPECT_EQ(list.first, 0);
}

TEST(ListBox, ThumbCannotBeGrabbedWhenEverythingFits) {
    ListBox list = makeList(3);
    list.press(390, 100);
    EXPECT_FALSE(list.dragging);
    list.dragging = true;  // even if forced, a full-length thumb has no track to move in
    list.dragThumb(390, 150);
    EXPECT_EQ(list.first, 0);
}

TEST(ListBox, DrawRowsSelectionAndScrollBar) {
    Font font = testFont();
    UiCanvas canvas;
    ListBox list = makeList(30);
    list.select(1);
    std::vector<ListItem> items;
    for (int i = 0; i < 30; ++i) items.push_back(ListItem{std::string(1, char('a' + i % 26)), "", false});
    list.draw(canvas, font, items);

    EXPECT_EQ(canvas.pixel(100, 50), palette::kBevelDark);  // sunken frame
    EXPECT_EQ(canvas.pixel(399, 249), palette::kBevelLight);
    EXPECT_EQ(canvas.pixel(300, 60), palette::kListBackground);
    EXPECT_EQ(canvas.pixel(300, 52 + 24 + 1), palette::kSelection);
    EXPECT_EQ(canvas.pixel(379, 52 + 24), palette::kSelection);  // last selected column
    EXPECT_EQ(canvas.pixel(380, 52 + 24), palette::kListBackground);
    // Labels at x + 8 and (rowHeight - 16) / 2 below the row top.
    EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph('a'), 108, 56, palette::kBodyText, palette::kListBackground));
    EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph('b'), 108, 80, palette::kHighlightText, palette::kSelection));
    // Scroll bar: track, arrows and thumb.
    EXPECT_EQ(canvas.pixel(390, 150), palette::kListTrack);
    EXPECT_EQ(canvas.pixel(390, 75), palette::kSelection);   // thumb face
    EXPECT_EQ(canvas.pixel(382, 68), palette::kBevelLight);  // raised thumb
    EXPECT_EQ(canvas.pixel(382, 52), palette::kBevelLight);  // raised up arrow
    // Arrow marks in the enabled colour: the up mark's tip and base.
    EXPECT_EQ(canvas.pixel(389, 57), palette::kHighlightText);
    EXPECT_EQ(canvas.pixel(386, 60), palette::kHighlightText);
    EXPECT_EQ(canvas.pixel(392, 60), palette::kHighlightText);
    EXPECT_EQ(canvas.pixel(386, 237), palette::kHighlightText);  // down mark's base
    EXPECT_EQ(canvas.pixel(389, 240), palette::kHighlightText);  // and tip
    // The clip is open again for whatever the screen draws next.
    EXPECT_EQ(canvas.clip.width, 1020);
    EXPECT_EQ(canvas.clip.height, 680);
}

TEST(ListBox, DrawClipsRowsAndDetailLines) {
    Font font = testFont();
    UiCanvas canvas;
    ListBox list;
    list.setLayout(0, 0, 100, 100, 2, 48);
    std::vector<ListItem> items = {{"abcdefghijklmnop", "xy", false}, {"^#FF0000r", "", true}};
    list.draw(canvas, font, items);
    // Label at 8 below the top with a detail line 22 further down.
    EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph('a'), 8, 2 + 8, palette::kBodyText, palette::kListBackground));
    EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph('x'), 8, 2 + 30, palette::kBodyText, palette::kListBackground));
    // Colour-coded label in its own colour, vertically centred: (48 - 16) / 2.
    EXPECT_TRUE(glyphDrawnAt(canvas, font.glyph('r'), 8, 50 + 16, 0xFF0000FF, palette::kListBackground));
    // Label glyphs stop at the rows area (x + 2 + width - 22 = 80).
    for (int row = 0; row < 100; ++row) {
        uint32_t p = canvas.pixel(80, row);
        EXPECT_NE(p, palette::kBodyText) << row;
    }
}

TEST(ListBox, PressedStatesAndDimmedMarks) {
    Font font = testFont();
    UiCanvas canvas;
    ListBox list = makeList(3);
    list.pressedArrow = -1;
    list.draw(canvas, font, {{"a", "", false}});
    EXPECT_EQ(canvas.pixel(382, 52), palette::kBevelDark);    // up arrow sunken
    EXPECT_EQ(canvas.pixel(382, 232), palette::kBevelLight);  // down arrow raised
    EXPECT_EQ(canvas.pixel(389, 57), palette::kBevelLight);   // marks dimmed
    EXPECT_EQ(canvas.pixel(390, 150), palette::kSelection);   // thumb fills the track

    ListBox scrolled = makeList(30);
    scrolled.press(390, 80);
    scrolled.draw(canvas, font, {});
    EXPECT_EQ(canvas.pixel(382, 68), palette::kBevelDark);  // sunken thumb while dragged
}

TEST(ListBox, DrawStringsIsPlainOneLineItems) {
    Font font = testFont();
    UiCanvas a;
    UiCanvas b;
    ListBox list = makeList(2);
    list.drawStrings(a, font, {"^#FF0000x", "y"});
    list.draw(b, font, {{"^#FF0000x", "", false}, {"y", "", false}});
    EXPECT_TRUE(a.pixels == b.pixels);
}

}  // namespace
}  // namespace vobu
