// The one text field of the editor screen, shared by the character's name
// and the active colour as hex text: presses with word and line selection
// by multiple clicks, drag selection with auto-scroll, keys, the text
// clipboard and the caret.

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "character/face_codec.h"
#include "editor/character_editor.h"
#include "ui/text_input.h"

namespace vobu {
namespace {

constexpr int kMultiClickSlop = 3;
constexpr uint32_t kMultiClickMs = 350;
constexpr int kAutoScrollRight = 991;
constexpr double kAutoScrollPixelsPerSecond = 220.0;

}  // namespace

int CharacterEditor::fieldTextX() const { return fieldTarget == 0 ? kNameTextX : kHexTextX; }

int CharacterEditor::fieldVisibleWidth() const { return fieldTarget == 0 ? kNameVisibleWidth : kHexVisibleWidth; }

void CharacterEditor::pressField(int x, bool extend, int target) {
    if (textEditing && fieldTarget != target) stopTextEditing();
    fieldTarget = uint8_t(target);
    uint32_t now = clockTicks();
    bool again = !fieldClickMoved && std::abs(x - fieldClickX) <= kMultiClickSlop &&
                 now - fieldClickTicks <= kMultiClickMs && !extend;
    fieldClickCount = again ? fieldClickCount + 1 : 1;
    fieldClickX = x;
    fieldClickTicks = now;
    fieldClickMoved = false;
    if (!textEditing) {
        field.setText(target == 0 ? character.name : "#" + hexColor(activeColor()));
        fieldScroll = 0;
        textEditing = true;
        startTextInput();
    }
    int index = caretIndexAt(x);
    if (fieldClickCount >= 3) {
        field.selectAll();
    } else if (fieldClickCount == 2) {
        field.selectWordAt(index);
    } else {
        field.setCursor(index, extend);
    }
    fieldSelecting = true;
    fieldDragAnchor = field.anchor;
    ensureCaretVisible();
}

void CharacterEditor::dragFieldSelection() {
    if (std::abs(pointerX - fieldClickX) > kMultiClickSlop) {
        fieldClickMoved = true;
        fieldClickCount = 0;
    }
    // A hand that shakes by a pixel or two must not undo the word or line
    // that a double or triple click selected.
    if (!fieldClickMoved) return;
    field.setCursor(fieldDragAnchor, false);
    field.setCursor(caretIndexAt(pointerX), true);
    ensureCaretVisible();
}

int CharacterEditor::caretIndexAt(int x) const {
    int lx = x - fieldTextX() + fieldScroll;
    int length = field.length();
    int before = 0;
    for (int i = 0; i < length; ++i) {
        int after = font.plainTextWidth(utf8Prefix(field.text, i + 1));
        if (lx < (before + after) / 2) return i;
        before = after;
    }
    return length;
}

void CharacterEditor::ensureCaretVisible() {
    int caret = font.plainTextWidth(utf8Prefix(field.text, field.cursor));
    int visible = fieldVisibleWidth();
    if (caret < fieldScroll) fieldScroll = caret;
    if (caret - fieldScroll > visible) fieldScroll = caret - visible;
    fieldScroll = std::max(fieldScroll, 0);
    caretVisible = true;
    caretTime = 0;
    redraw = true;
}

void CharacterEditor::fieldKey(int key, bool ctrl, bool shift) {
    if (key == SDLK_TAB || key == SDLK_RETURN || key == SDLK_KP_ENTER || key == SDLK_ESCAPE) {
        stopTextEditing();
        return;
    }
    if (ctrl && key == SDLK_s) {
        saveCharacter();
        return;
    }
    if (ctrl) {
        switch (key) {
            case SDLK_a:
                field.selectAll();
                break;
            case SDLK_c:
                copyFieldSelection(field);
                break;
            case SDLK_x:
                cutFieldSelection(field);
                break;
            case SDLK_v:
                pasteIntoField(field);
                break;
            case SDLK_z:
                if (shift) {
                    field.redo();
                } else {
                    field.undo();
                }
                break;
            case SDLK_y:
                field.redo();
                break;
            default:
                break;
        }
    }
    switch (key) {
        case SDLK_BACKSPACE:
            field.deleteChar(true, ctrl);
            break;
        case SDLK_DELETE:
            field.deleteChar(false, ctrl);
            break;
        case SDLK_HOME:
        case SDLK_UP:
            field.moveToEdge(false, shift);
            break;
        case SDLK_END:
        case SDLK_DOWN:
            field.moveToEdge(true, shift);
            break;
        case SDLK_LEFT:
            field.moveCursor(-1, shift, ctrl);
            break;
        case SDLK_RIGHT:
            field.moveCursor(1, shift, ctrl);
            break;
        default:
            break;
    }
    commitField();
}

void CharacterEditor::commitField() {
    if (fieldTarget == 0) {
        if (field.text != character.name) {
            character.name = field.text;
            markEdited(false);
        }
    } else {
        uint32_t color = 0;
        if (parseHexColor(field.text, color)) {
            activeColor() = color;
            syncPicker();
            redraw = true;
        }
    }
    setTextInputCaret(field.cursor, field.anchor);
    ensureCaretVisible();
}

void CharacterEditor::stopTextEditing() {
    if (!textEditing) return;
    stopTextInput();
    commitField();
    textEditing = false;
    fieldTarget = 0;
    fieldSelecting = false;
    fieldScroll = 0;
    redraw = true;
}

void CharacterEditor::updateTextField(double dt) {
    caretTime += std::max(dt, 0.0);
    bool visible = int64_t(std::floor(caretTime / 0.5)) % 2 == 0;
    if (visible != caretVisible) {
        caretVisible = visible;
        if (textEditing) redraw = true;
    }
    if (!fieldSelecting || !textEditing) return;
    int direction = 0;
    if (pointerX <= fieldTextX() - 1) direction = -1;
    if (pointerX >= kAutoScrollRight) direction = 1;
    if (direction == 0) return;
    int step = std::max(int(dt * kAutoScrollPixelsPerSecond), 1);
    int widest = std::max(font.plainTextWidth(field.text) - fieldVisibleWidth(), 0);
    fieldScroll = std::clamp(fieldScroll + direction * step, 0, widest);
    field.setCursor(fieldDragAnchor, false);
    field.setCursor(caretIndexAt(pointerX), true);
    redraw = true;
}

}  // namespace vobu
