#include "ui/text_field_controller.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/test_font.h"
#include "ui/palette.h"
#include "ui/ui_canvas.h"

namespace vobu {
namespace {

using testing::testFont;

// In the test font every ASCII glyph is 8 pixels wide, U+4E00 16 and the
// combining acute 8 in the table but 0 in a measured line.
const std::string kAcute = "\xCC\x81";
const std::string kWide = "\xE4\xB8\x80";

constexpr int kTextX = 100;

TextField fieldWith(const std::string& text, int cursor, int anchor, int maxLength = 64) {
    TextField field(maxLength);
    field.setText(text);
    field.setCursor(anchor, false);
    field.setCursor(cursor, true);
    return field;
}

// The system's clipboard as a test holds it.
struct FakeClipboard {
    std::optional<std::string> held;
    bool present = true;
    int puts = 0;

    TextClipboardCalls calls() {
        return TextClipboardCalls{[this](const std::string& text) {
                                      if (!present) return false;
                                      ++puts;
                                      held = text;
                                      return true;
                                  },
                                  [this](std::string& text) {
                                      if (!present || !held) return false;
                                      text = *held;
                                      return !text.empty();
                                  }};
    }
};

class FieldController : public ::testing::Test {
protected:
    FieldController() {
        controller.textX = kTextX;
        controller.visibleWidth = 80;
        controller.clipboard = clipboard.calls();
    }
    // The column of the caret the field paints at the controller's place,
    // -1 when none is drawn.
    int paintedCaretX(const TextField& field) const {
        constexpr uint32_t kCaret = 0xff00ff00;
        TextFieldLook look;
        look.textX = controller.textX;
        look.caretTop = 18;  // below the text
        look.caretBottom = 22;
        look.caretColor = kCaret;
        UiCanvas canvas;
        controller.paint(canvas, font, field, look, true);
        for (int x = 0; x < UiCanvas::kBufferSize; ++x) {
            if (canvas.pixel(x, 20) == kCaret) return x;
        }
        return -1;
    }

    Font font = testFont();
    FakeClipboard clipboard;
    TextFieldController controller;
};

struct Key {
    SDL_Keycode key;
    uint16_t mods = 0;
};

TEST_F(FieldController, EditingKeys) {
    struct Case {
        const char* what;
        std::string text;
        int cursor, anchor;
        std::vector<Key> keys;
        std::string wantText;
        int wantCursor, wantAnchor;
    };
    const Case cases[] = {
        {"left and right step one code point",
         "a" + kWide + "b",
         3,
         3,
         {{SDLK_LEFT}, {SDLK_LEFT}},
         "a" + kWide + "b",
         1,
         1},
        {"right stops at the end", "ab", 1, 1, {{SDLK_RIGHT}, {SDLK_RIGHT}}, "ab", 2, 2},
        {"shift extends", "hello", 5, 5, {{SDLK_LEFT, KMOD_LSHIFT}, {SDLK_LEFT, KMOD_RSHIFT}}, "hello", 3, 5},
        {"ctrl steps by word", "foo bar baz", 11, 11, {{SDLK_LEFT, KMOD_LCTRL}}, "foo bar baz", 8, 8},
        {"the GUI key steps by word too", "foo bar baz", 0, 0, {{SDLK_RIGHT, KMOD_LGUI}}, "foo bar baz", 4, 4},
        {"ctrl and shift select words", "foo bar", 0, 0, {{SDLK_RIGHT, KMOD_LCTRL | KMOD_LSHIFT}}, "foo bar", 4, 0},
        {"left collapses a selection", "hello", 4, 1, {{SDLK_LEFT}}, "hello", 1, 1},
        {"home and end", "hello", 2, 2, {{SDLK_END}, {SDLK_HOME}}, "hello", 0, 0},
        {"shift end selects to the end", "hello", 2, 2, {{SDLK_END, KMOD_LSHIFT}}, "hello", 5, 2},
        {"backspace and delete", "abcd", 2, 2, {{SDLK_BACKSPACE}, {SDLK_DELETE}}, "ad", 1, 1},
        {"backspace takes the selection", "abcd", 1, 3, {{SDLK_BACKSPACE}}, "ad", 1, 1},
        {"ctrl backspace takes a word", "foo bar", 7, 7, {{SDLK_BACKSPACE, KMOD_LCTRL}}, "foo ", 4, 4},
        {"ctrl delete takes a word and its spaces", "foo bar", 0, 0, {{SDLK_DELETE, KMOD_RCTRL}}, "bar", 0, 0},
        {"ctrl a selects all", "hello", 2, 2, {{SDLK_a, KMOD_LCTRL}}, "hello", 5, 0},
        {"ctrl z undoes, ctrl shift z redoes",
         "abc",
         3,
         3,
         {{SDLK_BACKSPACE},
          {SDLK_BACKSPACE},
          {SDLK_z, KMOD_LCTRL},
          {SDLK_z, KMOD_LCTRL},
          {SDLK_z, KMOD_LCTRL | KMOD_LSHIFT}},
         "ab",
         2,
         2},
        {"ctrl y redoes", "abc", 3, 3, {{SDLK_BACKSPACE}, {SDLK_z, KMOD_LGUI}, {SDLK_y, KMOD_LCTRL}}, "ab", 2, 2},
    };
    for (const Case& c : cases) {
        TextField field = fieldWith(c.text, c.cursor, c.anchor);
        for (const Key& key : c.keys) EXPECT_TRUE(controller.editKey(field, key.key, key.mods)) << c.what;
        EXPECT_EQ(field.text, c.wantText) << c.what;
        EXPECT_EQ(field.cursor, c.wantCursor) << c.what;
        EXPECT_EQ(field.anchor, c.wantAnchor) << c.what;
    }
}

TEST_F(FieldController, KeysOfTheScreensAndPlainLettersAreLeftAlone) {
    const Key keys[] = {{SDLK_UP},
                        {SDLK_DOWN},
                        {SDLK_TAB},
                        {SDLK_RETURN},
                        {SDLK_KP_ENTER},
                        {SDLK_ESCAPE},
                        {SDLK_PAGEUP},
                        {SDLK_a},
                        {SDLK_z, KMOD_LSHIFT},
                        {SDLK_s, KMOD_LCTRL},
                        {SDLK_q, KMOD_LCTRL},
                        {SDLK_UP, KMOD_LCTRL}};
    for (const Key& key : keys) {
        TextField field = fieldWith("foo bar", 4, 2);
        field.replaceSelection("o ");  // an undo step that a stray undo would take back
        EXPECT_FALSE(controller.editKey(field, key.key, key.mods)) << SDL_GetKeyName(key.key) << " " << key.mods;
        EXPECT_EQ(field.text, "foo bar");
        EXPECT_EQ(field.cursor, 4);
        EXPECT_EQ(field.anchor, 4);
        EXPECT_EQ(field.undoStack.size(), 1u);
    }
    EXPECT_EQ(clipboard.puts, 0);
}

TEST_F(FieldController, ClipboardKeys) {
    struct Case {
        const char* what;
        std::string text;
        int cursor, anchor, maxLength;
        std::optional<std::string> held;
        bool present;
        SDL_Keycode key;
        std::string wantText;
        std::optional<std::string> wantHeld;
        int wantCursor;
    };
    const Case cases[] = {
        {"copy puts the selection", "hello world", 11, 6, 64, "old", true, SDLK_c, "hello world", "world", 11},
        {"copy of nothing keeps the clipboard", "hello", 2, 2, 64, "old", true, SDLK_c, "hello", "old", 2},
        {"cut puts and removes", "hello world", 5, 0, 64, std::nullopt, true, SDLK_x, " world", "hello", 0},
        {"cut without a clipboard keeps the text", "hello world", 5, 0, 64, std::nullopt, false, SDLK_x, "hello world",
         std::nullopt, 5},
        {"paste replaces the selection", "hello world", 11, 6, 64, "there", true, SDLK_v, "hello there", "there", 11},
        {"pasted line breaks and tabs vanish", "> ", 2, 2, 64, "one\r\ntwo\tthree", true, SDLK_v, "> onetwothree",
         "one\r\ntwo\tthree", 13},
        {"paste is cut to the room left", "1234567890123456789x", 20, 20, 24, "abcdefghij", true, SDLK_v,
         "1234567890123456789xabcd", "abcdefghij", 24},
        {"an empty clipboard pastes nothing", "abc", 1, 1, 64, std::nullopt, true, SDLK_v, "abc", std::nullopt, 1},
    };
    for (const Case& c : cases) {
        clipboard = FakeClipboard{c.held, c.present, 0};
        TextField field = fieldWith(c.text, c.cursor, c.anchor, c.maxLength);
        EXPECT_TRUE(controller.editKey(field, c.key, KMOD_LCTRL)) << c.what;
        EXPECT_EQ(field.text, c.wantText) << c.what;
        EXPECT_EQ(clipboard.held, c.wantHeld) << c.what;
        EXPECT_EQ(field.cursor, c.wantCursor) << c.what;
        EXPECT_EQ(field.undoStack.size(), c.wantText == c.text ? 0u : 1u) << c.what;
    }
}

TEST_F(FieldController, CaretPositionUnderThePointer) {
    struct Case {
        const char* what;
        std::string text;
        int scroll;
        int x;
        int want;
    };
    const Case cases[] = {
        {"left of the text", "abc", 0, kTextX - 20, 0},
        {"before the middle of the first glyph", "abc", 0, kTextX + 3, 0},
        {"from the middle on, after it", "abc", 0, kTextX + 4, 1},
        {"past the end", "abc", 0, kTextX + 500, 3},
        {"a wide glyph has its middle at 8", "a" + kWide, 0, kTextX + 8 + 7, 1},
        {"a wide glyph, from its middle on", "a" + kWide, 0, kTextX + 8 + 8, 2},
        {"a combining mark takes no room", "e" + kAcute + "x", 0, kTextX + 12, 3},
        {"scrolled text", "abcdefghijkl", 40, kTextX + 4, 6},
    };
    for (const Case& c : cases) {
        controller.scroll = c.scroll;
        TextField field = fieldWith(c.text, 0, 0);
        EXPECT_EQ(controller.indexAt(field, font, c.x), c.want) << c.what;
    }
    EXPECT_EQ(caretOffsets(font, "e" + kAcute + kWide), (std::vector<int>{0, 8, 8, 24}));
}

TEST_F(FieldController, ClicksPlaceSelectAWordOrTheWholeLine) {
    struct Case {
        const char* what;
        int x;
        int clicks;
        bool extend;
        int wantCursor, wantAnchor;
    };
    // "alpha beta": beta spans 6..10.
    const Case cases[] = {
        {"one click places the caret", kTextX + 8 * 7, 1, false, 7, 7},
        {"shift extends from the anchor", kTextX + 8 * 7, 1, true, 7, 2},
        {"two select the word", kTextX + 8 * 7, 2, false, 10, 6},
        {"two on the space select the space", kTextX + 8 * 5 + 1, 2, false, 6, 5},
        {"three select all", kTextX + 8 * 7, 3, false, 10, 0},
        {"more than three still select all", kTextX, 5, false, 10, 0},
    };
    for (const Case& c : cases) {
        TextField field = fieldWith("alpha beta", 2, 2);
        controller.press(field, font, c.x, c.clicks, c.extend);
        EXPECT_EQ(field.cursor, c.wantCursor) << c.what;
        EXPECT_EQ(field.anchor, c.wantAnchor) << c.what;
        EXPECT_TRUE(controller.selecting) << c.what;
        EXPECT_EQ(controller.dragAnchor, c.wantAnchor) << c.what;
    }
}

TEST_F(FieldController, ClickRuns) {
    struct Press {
        int x;
        uint32_t ms;
        bool extend;
        int want;
    };
    struct Case {
        const char* what;
        std::vector<Press> presses;
    };
    const Case cases[] = {
        {"quick presses on the spot count up", {{200, 1000, false, 1}, {203, 1350, false, 2}, {200, 1700, false, 3}}},
        {"a run goes on past three",
         {{200, 1000, false, 1}, {200, 1100, false, 2}, {200, 1200, false, 3}, {200, 1300, false, 4}}},
        {"351 ms apart start again", {{200, 1000, false, 1}, {200, 1351, false, 1}}},
        {"4 pixels apart start again", {{200, 1000, false, 1}, {196, 1100, false, 1}}},
        {"an extending press starts again", {{200, 1000, false, 1}, {200, 1100, true, 1}, {200, 1200, false, 2}}},
    };
    for (const Case& c : cases) {
        controller = TextFieldController{};
        TextField field = fieldWith("alpha", 0, 0);
        for (const Press& p : c.presses) {
            EXPECT_EQ(controller.countClick(p.x, p.ms, p.extend), p.want) << c.what << " at " << p.ms;
            controller.press(field, font, p.x, p.want, p.extend);
            controller.endDrag();
        }
    }
    // After a drag the next press starts a run, however quick.
    TextField field = fieldWith("alpha beta", 0, 0);
    controller.countClick(kTextX, 1000, false);
    controller.press(field, font, kTextX, 1, false);
    controller.drag(field, font, kTextX + 20);
    controller.endDrag();
    EXPECT_EQ(controller.clickCount, 0);
    EXPECT_EQ(controller.countClick(kTextX, 1050, false), 1);
}

TEST_F(FieldController, DraggingSelectsOnceThePointerLeavesTheSlop) {
    // "alpha beta gamma"; a double click selected beta (6..10).
    TextField field = fieldWith("alpha beta gamma", 0, 0);
    controller.press(field, font, kTextX + 8 * 7, 2, false);
    ASSERT_EQ(field.selectedText(), "beta");
    struct Step {
        int x;
        bool follows;
        std::string want;
    };
    const Step steps[] = {
        {kTextX + 8 * 7 + 3, false, "beta"},  // a shaking hand keeps the word
        {kTextX + 8 * 7 - 3, false, "beta"},  //
        {kTextX + 8 * 12, true, "beta g"},    // a real drag goes from the anchor
        {kTextX + 8 * 7 + 2, true, "b"},      // and, once moving, follows even near the press
        {kTextX + 8 * 2, true, "pha "},       // leftwards of the anchor too
    };
    for (const Step& step : steps) {
        EXPECT_EQ(controller.drag(field, font, step.x), step.follows) << step.x;
        EXPECT_EQ(field.selectedText(), step.want) << step.x;
    }
    controller.endDrag();
    EXPECT_FALSE(controller.drag(field, font, kTextX)) << "no drag after the release";
    EXPECT_EQ(field.selectedText(), "pha ");
}

TEST_F(FieldController, AutoScrollWhileThePointerIsHeldPastAnEnd) {
    // 20 wide glyphs: 320 pixels in an 80-pixel view from x 100.
    std::string text;
    for (int i = 0; i < 20; ++i) text += kWide;
    TextField field = fieldWith(text, 0, 0);
    controller.press(field, font, kTextX, 1, false);
    struct Step {
        int x;
        double dt;
        bool scrolls;
        int wantScroll;
        int wantCursor;
    };
    const Step steps[] = {
        {kTextX + 80 + 2, 0.1, false, 0, 0},    // inside the margin right of the view
        {kTextX + 80 + 3, 0.1, true, 22, 7},    // 220 pixels a second; the caret under the pointer
        {kTextX + 80 + 3, 0.001, true, 23, 7},  // at least a pixel a frame
        {kTextX + 80 + 3, 5.0, true, 240, 20},  // no further than the end
        {kTextX, 0.1, false, 240, 20},          // the first column of the text is no end
        {kTextX - 1, 0.1, true, 218, 14},       // left of the text it goes back
        {kTextX - 1, 5.0, true, 0, 0},          // to the start at most
    };
    for (const Step& step : steps) {
        EXPECT_EQ(controller.autoScroll(field, font, step.x, step.dt), step.scrolls) << step.x << " " << step.dt;
        EXPECT_EQ(controller.scroll, step.wantScroll) << step.x << " " << step.dt;
        EXPECT_EQ(field.cursor, step.wantCursor) << step.x << " " << step.dt;
        EXPECT_EQ(field.anchor, 0);
    }
    controller.endDrag();
    EXPECT_FALSE(controller.autoScroll(field, font, kTextX - 1, 0.1)) << "only while a drag holds the pointer";
    EXPECT_EQ(controller.scroll, 0);
}

TEST_F(FieldController, ScrollFollowsTheCaretAsLittleAsItCan) {
    struct Case {
        const char* what;
        int cursor;
        int scrollBefore;
        int wantScroll;
    };
    // 20 ASCII glyphs, 160 pixels, in an 80-pixel view.
    const Case cases[] = {
        {"caret in view: no change", 5, 0, 0},
        {"caret at the right edge: no change", 10, 0, 0},
        {"caret past the right edge: just enough", 15, 0, 40},
        {"caret left of the view: to the caret", 2, 40, 16},
        {"caret in a scrolled view: no change", 12, 40, 40},
        {"a stale scroll beyond the caret comes back", 0, 30, 0},
    };
    TextField field = fieldWith("abcdefghijklmnopqrst", 0, 0);
    for (const Case& c : cases) {
        field.setCursor(c.cursor, false);
        controller.scroll = c.scrollBefore;
        EXPECT_EQ(controller.scrollToCaret(field, font), c.wantScroll != c.scrollBefore) << c.what;
        EXPECT_EQ(controller.scroll, c.wantScroll) << c.what;
        EXPECT_EQ(paintedCaretX(field), kTextX + 8 * c.cursor - c.wantScroll) << c.what;
    }
}

TEST_F(FieldController, TheCaretBlinksInHalfSeconds) {
    struct Step {
        double dt;
        bool changes;
        bool shown;
    };
    const Step steps[] = {
        {0.3, false, true},  {0.3, true, false},
        {0.5, true, true},   {1.0, false, true},  // a whole second later it shows again: no repaint needed
        {-0.4, false, true},                      // time never runs back
        {0.5, true, false},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(controller.stepBlink(step.dt), step.changes) << controller.caretTime;
        EXPECT_EQ(controller.caretShown(), step.shown) << controller.caretTime;
    }
    controller.restartBlink();
    EXPECT_TRUE(controller.caretShown());
}

TEST_F(FieldController, PaintsSelectionTextAndCaret) {
    constexpr uint32_t kText = 0xff101010;
    constexpr uint32_t kSelection = 0xff202020;
    constexpr uint32_t kCaret = 0xff303030;
    TextFieldLook look;
    look.textX = 50;
    look.textY = 20;
    look.selectionY = 18;
    look.selectionHeight = 20;
    look.caretTop = 19;
    look.caretBottom = 36;
    look.textColor = kText;
    look.selectionColor = kSelection;
    look.caretColor = kCaret;
    struct Case {
        const char* what;
        std::string text;
        int cursor, anchor, scroll, minSelection;
        bool caret;
        int selectionFrom, selectionTo;  // canvas columns, to exclusive; equal for none
        int caretAt;                     // -1 for none
        bool plainFirstGlyph;            // no mark drawn over the first glyph
    };
    const Case cases[] = {
        {"selection between the glyphs and the caret after it", "abcd", 3, 1, 0, 0, true, 58, 74, 74, true},
        {"everything moves with the scroll", "abcd", 3, 1, 8, 0, true, 50, 66, 66, true},
        {"no caret when it is off", "abcd", 1, 3, 0, 0, false, 58, 74, -1, true},
        {"a selected mark alone is as wide as asked", "e" + kAcute + "x", 2, 1, 0, 1, true, 58, 59, 58, false},
        {"or not shown at all", "e" + kAcute + "x", 2, 1, 0, 0, false, 58, 58, -1, false},
    };
    for (const Case& c : cases) {
        UiCanvas canvas;
        TextField field = fieldWith(c.text, c.cursor, c.anchor);
        controller.scroll = c.scroll;
        look.minSelectionWidth = c.minSelection;
        controller.paint(canvas, font, field, look, c.caret);
        // Row 18 lies above the glyphs: only the selection and nothing else.
        for (int x = 40; x < 90; ++x) {
            const bool selected = x >= c.selectionFrom && x < c.selectionTo;
            EXPECT_EQ(canvas.pixel(x, 18), selected ? kSelection : 0u) << c.what << " column " << x;
            EXPECT_EQ(canvas.pixel(x, 37), selected ? kSelection : 0u) << c.what << " column " << x;
            EXPECT_EQ(canvas.pixel(x, 38), 0u) << c.what << " column " << x;
        }
        for (int y = 17; y <= 37; ++y) {
            const bool caret = c.caretAt >= 0 && y >= 19 && y <= 36;
            if (caret) {
                EXPECT_EQ(canvas.pixel(c.caretAt, y), kCaret) << c.what << " row " << y;
            }
        }
        if (c.caretAt < 0) {
            EXPECT_EQ(testing::countPixels(canvas, kCaret), 0) << c.what;
        }
        const int first = 50 - c.scroll;
        if (!c.plainFirstGlyph) continue;
        EXPECT_TRUE(testing::glyphDrawnAt(canvas, font.glyph(uint32_t(c.text[0])), first, 20, kText,
                                          first >= c.selectionFrom && first < c.selectionTo ? kSelection : 0u))
            << c.what;
    }
}

}  // namespace
}  // namespace vobu
