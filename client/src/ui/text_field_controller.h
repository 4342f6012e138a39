#pragma once
// What every typed line of the client shares on top of its TextField: the
// editing keys, presses that place the caret or select a word or the whole
// line, drag selection with auto-scroll, the text clipboard, the horizontal
// scroll that keeps the caret in view, the caret blink, and the painting of
// text, selection and caret on a canvas.
//
// The screen owns the TextField and passes it in; one controller can serve
// one field at a time (the editor's name and hex fields share one). Keys
// that end or leave the editing (Tab, Return, Escape) and Up and Down stay
// with the screen, which means different things by them.

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/text_clipboard.h"
#include "ui/text_field.h"

namespace vobu {

class Font;
class UiCanvas;

// Where and in which colours one screen paints its field. The text is
// painted from `textX` (which may lie off the controller's `textX`, where
// presses are measured from) shifted by the scroll. Clipping is the screen's.
struct TextFieldLook {
    int textX = 0;
    int textY = 0;
    int selectionY = 0;
    int selectionHeight = 0;
    // A selection is filled at least this wide (0: exactly its text).
    int minSelectionWidth = 0;
    int caretTop = 0;
    int caretBottom = 0;
    uint32_t textColor = 0;
    uint32_t selectionColor = 0;
    uint32_t caretColor = 0;
};

// The x offset of each caret position 0..length of a line from its start,
// with the widths of `textWidth` (combining marks take no room).
std::vector<int> caretOffsets(const Font& font, const std::string& text);

class TextFieldController {
public:
    // Presses that follow within this time and distance add to a click run.
    static constexpr int kMultiClickSlop = 3;
    static constexpr uint32_t kMultiClickMs = 350;
    // A press turns into a drag once the pointer leaves the slop; before
    // that a shaking hand keeps the word or line a multi-click selected.
    static constexpr int kDragSlop = 3;
    static constexpr double kAutoScrollPixelsPerSecond = 220.0;
    // Auto-scroll to the right starts this far past the visible text.
    static constexpr int kAutoScrollRightMargin = 3;

    // Canvas x at which the unscrolled text starts, and how much of it shows.
    int textX = 0;
    int visibleWidth = 0;
    int scroll = 0;

    // The pointer: the drag selection and the run of quick clicks.
    bool selecting = false;
    int32_t dragAnchor = 0;
    int32_t clickCount = 0;
    int32_t clickX = 0;
    uint32_t clickTicks = 0;
    bool clickMoved = false;

    // Seconds since the caret last came back; it shows in even half seconds.
    double caretTime = 0;

    TextClipboardCalls clipboard = systemTextClipboard();

    // Left, Right (by word with Ctrl or GUI), Home, End (Shift extends),
    // Backspace, Delete (by word with Ctrl or GUI), and with Ctrl or GUI
    // A select all, C copy, X cut, V paste, Z undo (redo with Shift), Y redo.
    // False for any other key, which the field leaves to the screen.
    bool editKey(TextField& field, SDL_Keycode key, uint16_t mods);

    // The clipboard steps; each reports whether it did anything.
    bool copy(const TextField& field);
    bool cut(TextField& field);
    bool paste(TextField& field);

    // The length of the click run a press at x starts or continues, counted
    // on the screen's millisecond clock; an extending press starts a new run.
    int countClick(int x, uint32_t nowMs, bool extend);
    // A press at x: three or more clicks select all, two the word there, one
    // places the caret (extending the selection when asked); a drag starts.
    void press(TextField& field, const Font& font, int x, int clicks, bool extend);
    // Pointer motion during the drag; true when the selection followed it.
    bool drag(TextField& field, const Font& font, int x);
    void endDrag() { selecting = false; }
    // One frame of the drag while the pointer is held past either end of the
    // text: the text scrolls toward it and the selection follows. True when
    // it did.
    bool autoScroll(TextField& field, const Font& font, int pointerX, double dt);

    // The caret position nearest to canvas x.
    int indexAt(const TextField& field, const Font& font, int x) const;
    // Scrolls as little as needed to bring the caret into the visible width;
    // true when the scroll changed.
    bool scrollToCaret(const TextField& field, const Font& font);

    // Advances the blink; true when the caret appeared or vanished.
    bool stepBlink(double dt);
    bool caretShown() const;
    void restartBlink() { caretTime = 0; }

    // Selection, text and (when `caret`) the caret, scrolled.
    void paint(UiCanvas& canvas, const Font& font, const TextField& field, const TextFieldLook& look, bool caret) const;
};

}  // namespace vobu
