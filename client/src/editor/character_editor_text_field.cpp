// The one text field of the editor screen, shared by the character's name
// and the active colour as hex text: which text it starts from, the keys
// that end editing, and what every change does to the character. The
// editing itself is the field's controller.

#include <SDL.h>

#include "character/face_codec.h"
#include "editor/character_editor.h"
#include "ui/text_input.h"

namespace vobu {

void CharacterEditor::aimField(int target) {
    fieldTarget = uint8_t(target);
    fieldController.textX = target == 0 ? kNameTextX : kHexTextX;
    fieldController.visibleWidth = target == 0 ? kNameVisibleWidth : kHexVisibleWidth;
}

void CharacterEditor::pressField(int x, bool extend, int target) {
    if (textEditing && fieldTarget != target) stopTextEditing();
    aimField(target);
    const int clicks = fieldController.countClick(x, clockTicks(), extend);
    if (!textEditing) {
        field.setText(target == 0 ? character.name : "#" + hexColor(activeColor()));
        fieldController.scroll = 0;
        textEditing = true;
        startTextInput();
    }
    fieldController.press(field, font, x, clicks, extend);
    ensureCaretVisible();
}

int CharacterEditor::caretIndexAt(int x) const { return fieldController.indexAt(field, font, x); }

void CharacterEditor::ensureCaretVisible() {
    fieldController.scrollToCaret(field, font);
    fieldController.restartBlink();
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
    // A single line has no lines above or below: Up and Down go to its ends.
    if (key == SDLK_UP) key = SDLK_HOME;
    if (key == SDLK_DOWN) key = SDLK_END;
    const uint16_t mods = uint16_t((ctrl ? KMOD_CTRL : 0) | (shift ? KMOD_SHIFT : 0));
    fieldController.editKey(field, key, mods);
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
    aimField(0);
    fieldController.endDrag();
    fieldController.scroll = 0;
    redraw = true;
}

void CharacterEditor::updateTextField(double dt) {
    if (fieldController.stepBlink(dt) && textEditing) redraw = true;
    if (textEditing && fieldController.autoScroll(field, font, pointerX, dt)) redraw = true;
}

}  // namespace vobu
