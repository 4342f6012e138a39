#include "ui/text_field_controller.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ui/font.h"
#include "ui/text.h"
#include "ui/ui_canvas.h"

namespace vobu {

std::vector<int> caretOffsets(const Font& font, const std::string& text) {
    const std::vector<size_t> bytes = utf8CharOffsets(text);
    std::vector<int> offsets;
    offsets.reserve(bytes.size());
    // One pass: the field's text is clean, so a head is as wide as the sum
    // of its code points (a drag measures the line on every motion).
    int width = 0;
    offsets.push_back(width);
    for (size_t i = 0; i + 1 < bytes.size(); ++i) {
        width += textWidth(font, text.substr(bytes[i], bytes[i + 1] - bytes[i]), false);
        offsets.push_back(width);
    }
    return offsets;
}

bool TextFieldController::editKey(TextField& field, SDL_Keycode key, uint16_t mods) {
    const bool shift = (mods & KMOD_SHIFT) != 0;
    const bool command = (mods & (KMOD_CTRL | KMOD_GUI)) != 0;
    switch (key) {
        case SDLK_LEFT:
        case SDLK_RIGHT:
            field.moveCursor(key == SDLK_LEFT ? -1 : +1, shift, command);
            return true;
        case SDLK_HOME:
        case SDLK_END:
            field.moveToEdge(key == SDLK_END, shift);
            return true;
        case SDLK_BACKSPACE:
        case SDLK_DELETE:
            field.deleteChar(key == SDLK_BACKSPACE, command);
            return true;
        default:
            break;
    }
    if (!command) return false;
    switch (key) {
        case SDLK_a:
            field.selectAll();
            return true;
        case SDLK_c:
            copy(field);
            return true;
        case SDLK_x:
            cut(field);
            return true;
        case SDLK_v:
            paste(field);
            return true;
        case SDLK_z:
            if (shift) {
                field.redo();
            } else {
                field.undo();
            }
            return true;
        case SDLK_y:
            field.redo();
            return true;
        default:
            return false;
    }
}

bool TextFieldController::copy(const TextField& field) {
    const std::string selection = field.selectedText();
    return !selection.empty() && clipboard.put && clipboard.put(selection);
}

bool TextFieldController::cut(TextField& field) {
    // Without a clipboard to hold it the text stays where it is.
    if (!copy(field)) return false;
    field.replaceSelection("");
    return true;
}

bool TextFieldController::paste(TextField& field) {
    std::string pasted;
    if (!clipboard.take || !clipboard.take(pasted)) return false;
    field.replaceSelection(pasted);
    return true;
}

int TextFieldController::countClick(int x, uint32_t nowMs, bool extend) {
    const bool again = !extend && !clickMoved && std::abs(int64_t(x) - clickX) <= kMultiClickSlop &&
                       nowMs - clickTicks <= kMultiClickMs;
    clickCount = again ? clickCount + 1 : 1;
    clickTicks = nowMs;
    return clickCount;
}

void TextFieldController::press(TextField& field, const Font& font, int x, int clicks, bool extend) {
    clickX = x;
    clickMoved = false;
    const int index = indexAt(field, font, x);
    if (clicks >= 3) {
        field.selectAll();
    } else if (clicks == 2) {
        field.selectWordAt(index);
    } else {
        field.setCursor(index, extend);
    }
    selecting = true;
    dragAnchor = field.anchor;
}

bool TextFieldController::drag(TextField& field, const Font& font, int x) {
    if (!selecting) return false;
    if (std::abs(int64_t(x) - clickX) > kDragSlop) {
        clickMoved = true;
        clickCount = 0;
    }
    if (!clickMoved) return false;
    field.setCursor(dragAnchor, false);
    field.setCursor(indexAt(field, font, x), true);
    return true;
}

bool TextFieldController::autoScroll(TextField& field, const Font& font, int pointerX, double dt) {
    if (!selecting) return false;
    int direction = 0;
    if (pointerX < textX) direction = -1;
    if (pointerX >= textX + visibleWidth + kAutoScrollRightMargin) direction = +1;
    if (direction == 0) return false;
    const int step = std::max(int(dt * kAutoScrollPixelsPerSecond), 1);
    const int widest = std::max(textWidth(font, field.text, false) - visibleWidth, 0);
    scroll = std::clamp(scroll + direction * step, 0, widest);
    field.setCursor(dragAnchor, false);
    field.setCursor(indexAt(field, font, pointerX), true);
    return true;
}

int TextFieldController::indexAt(const TextField& field, const Font& font, int x) const {
    const std::vector<int> offsets = caretOffsets(font, field.text);
    const int64_t local = int64_t(x) - textX + scroll;
    // The caret goes before the code point whose middle lies past the point.
    for (size_t i = 0; i + 1 < offsets.size(); ++i) {
        if (local < (offsets[i] + offsets[i + 1]) / 2) return int(i);
    }
    return int(offsets.size()) - 1;
}

bool TextFieldController::scrollToCaret(const TextField& field, const Font& font) {
    const int caret = textWidth(font, utf8Prefix(field.text, field.cursor), false);
    const int before = scroll;
    if (caret < scroll) scroll = caret;
    if (caret - scroll > visibleWidth) scroll = caret - visibleWidth;
    scroll = std::max(scroll, 0);
    return scroll != before;
}

bool TextFieldController::stepBlink(double dt) {
    const bool before = caretShown();
    caretTime += std::max(dt, 0.0);
    return caretShown() != before;
}

bool TextFieldController::caretShown() const { return int64_t(std::floor(caretTime * 2.0)) % 2 == 0; }

void TextFieldController::paint(UiCanvas& canvas, const Font& font, const TextField& field, const TextFieldLook& look,
                                bool caret) const {
    const std::vector<int> offsets = caretOffsets(font, field.text);
    const int last = int(offsets.size()) - 1;
    auto offsetAt = [&](int index) { return offsets[size_t(std::clamp(index, 0, last))]; };
    const int origin = look.textX - scroll;
    if (field.hasSelection()) {
        const int from = offsetAt(std::min(field.cursor, field.anchor));
        const int to = offsetAt(std::max(field.cursor, field.anchor));
        canvas.fillRect(origin + from, look.selectionY, std::max(look.minSelectionWidth, to - from),
                        look.selectionHeight, look.selectionColor);
    }
    drawText(canvas, font, field.text, origin, look.textY, look.textColor, false);
    if (caret) {
        const int x = origin + offsetAt(field.cursor);
        canvas.drawLine(x, look.caretTop, x, look.caretBottom, look.caretColor);
    }
}

}  // namespace vobu
