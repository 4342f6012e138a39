// Key presses of the editor's screens and of the join overlay, in their
// order of precedence: Tab, the overlay, the focused control, the library
// list, the preview and its keyboard painting, the picker, Escape, the text
// field, the shortcuts and the tool keys.

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "editor/character_editor.h"
#include "editor/clipboard_image.h"

namespace vobu {
namespace {

bool isActivationKey(int key) { return key == SDLK_RETURN || key == SDLK_KP_ENTER || key == SDLK_SPACE; }

bool isArrowKey(int key) { return key == SDLK_LEFT || key == SDLK_RIGHT || key == SDLK_UP || key == SDLK_DOWN; }

// (dx, dy) of an arrow key: Right +x, Left -x, Down +y, Up -y.
std::pair<int, int> arrowStep(int key) {
    switch (key) {
        case SDLK_RIGHT:
            return {1, 0};
        case SDLK_LEFT:
            return {-1, 0};
        case SDLK_DOWN:
            return {0, 1};
        case SDLK_UP:
            return {0, -1};
        default:
            return {0, 0};
    }
}

}  // namespace

void CharacterEditor::keyPress(int key, int mods, bool repeat) {
    bool shift = (mods & KMOD_SHIFT) != 0;
    bool command = (mods & (KMOD_CTRL | KMOD_GUI)) != 0;
    if (key == SDLK_TAB) {
        tabFocus(shift);
        return;
    }
    if (joinOverlayShown) {
        if (!repeat && (isActivationKey(key) || key == SDLK_ESCAPE)) mainMenuRequested = true;
        return;
    }
    if (!textEditing && !repeat && isActivationKey(key) && activateFocus()) return;
    if (libraryShown) {
        libraryKey(key);
        return;
    }
    if (!textEditing && controls.focusId == "editor.preview" && previewKey(key, shift, repeat)) return;
    // The picker's controls exist only in the face view; a focus left over
    // from there must not change the colour unseen.
    bool pickerShown = viewMode == 1;
    if (pickerShown && isArrowKey(key) && controls.focusId == "paint.wheel") {
        auto [dx, dy] = arrowStep(key);
        double angle = 2.0 * std::numbers::pi * double(hue);
        int wx = kWheelX + int(std::lround(saturation * std::cos(angle) * kWheelRadius));
        int wy = kWheelY + int(std::lround(saturation * std::sin(angle) * kWheelRadius));
        pickFromColorWheel(wx + 4 * dx, wy + 4 * dy);
        return;
    }
    if (pickerShown && isArrowKey(key) && controls.focusId == "paint.value") {
        int step = key == SDLK_UP || key == SDLK_RIGHT ? 8 : -8;
        pickingValue = true;
        pickFromColorWheel(kValueBarX + int(value * 241.0f) + step, kValueBarY);
        pickingValue = false;
        return;
    }
    if (key == SDLK_RETURN || key == SDLK_KP_ENTER || key == SDLK_ESCAPE) clearSelection();
    if (textEditing) {
        fieldKey(key, command, shift);
        return;
    }
    if (command) {
        shortcutKey(key);
        return;
    }
    if (viewMode == 1) toolKey(key);
}

void CharacterEditor::tabFocus(bool backward) {
    if (keyPainting) endDrag(DragEnd::Commit);
    stopTextEditing();
    controls.moveFocus(backward);
    redraw = true;
    int target = controls.focusId == "editor.name" ? 0 : controls.focusId == "editor.hex" ? 1 : -1;
    if (target < 0) return;
    // The caret goes under the field's right end: the end of a text that
    // fits, the character there of one that does not.
    // A Tab is no click: two quick Tabs into the fields must not count as a
    // double click and select a word, nor make the next click one.
    fieldClickMoved = true;
    pressField(986, false, target);
    fieldClickMoved = true;
    fieldSelecting = false;
}

bool CharacterEditor::activateFocus() {
    const std::string& focus = controls.focusId;
    if (libraryShown && (focus.empty() || focus == "library.list") && selectedIndex >= 0) {
        if (choosingCharacter) {
            characterChosen = true;
        } else {
            openEditor();
        }
        redraw = true;
        return true;
    }
    std::function<void()> action = controls.focusedAction();
    if (!action) return false;
    action();
    buildUi();
    redraw = true;
    return true;
}

void CharacterEditor::libraryKey(int key) {
    switch (key) {
        case SDLK_HOME:
            list.selectEdge(false);
            break;
        case SDLK_END:
            list.selectEdge(true);
            break;
        case SDLK_PAGEUP:
            list.moveSelection(-6);
            break;
        case SDLK_PAGEDOWN:
            list.moveSelection(6);
            break;
        case SDLK_UP:
            list.moveSelection(-1);
            break;
        case SDLK_DOWN:
            list.moveSelection(1);
            break;
        default:
            break;
    }
    selectLibraryEntry(list.selected);
    redraw = true;
}

void CharacterEditor::placePointerOnKeyCursor() {
    pointerX = int(std::lround((keyCursorX + 0.5f) * pixelsPerTexel + faceLeft));
    pointerY = int(std::lround((keyCursorY + 0.5f) * pixelsPerTexel + faceTop));
    redraw = true;
}

bool CharacterEditor::previewKey(int key, bool shift, bool repeat) {
    if (key == SDLK_EQUALS || key == SDLK_KP_PLUS || key == SDLK_MINUS || key == SDLK_KP_MINUS) {
        zoomBy(key == SDLK_EQUALS || key == SDLK_KP_PLUS ? 1.0f : -1.0f);
        redraw = true;
        return true;
    }
    if (viewMode == 0) {
        if (!isArrowKey(key)) return false;
        auto [dx, dy] = arrowStep(key);
        yaw += 0.12f * float(dx);
        pitch = std::clamp(pitch - 0.12f * float(dy), -1.56f, 1.56f);
        idleSeconds = 0;
        redraw = true;
        return true;
    }
    if (isArrowKey(key) && shift && !keyPainting) {
        auto [dx, dy] = arrowStep(key);
        panX += 16.0f * float(dx);
        panY += 16.0f * float(dy);
        redraw = true;
        return true;
    }
    if (animating()) return false;
    if (isArrowKey(key)) {
        auto [dx, dy] = arrowStep(key);
        auto [fw, fh] = character.faceSize(face);
        keyCursorX = std::clamp(keyCursorX + dx, 0, fw - 1);
        keyCursorY = std::clamp(keyCursorY + dy, 0, fh - 1);
        placePointerOnKeyCursor();
        if (keyPainting) dragPaint(pointerX, pointerY);
        return true;
    }
    if (!isActivationKey(key)) return false;
    auto [fw, fh] = character.faceSize(face);
    keyCursorX = std::clamp(keyCursorX, 0, fw - 1);
    keyCursorY = std::clamp(keyCursorY, 0, fh - 1);
    placePointerOnKeyCursor();
    if (repeat) return true;
    pressPaint(pointerX, pointerY, shift ? SDL_BUTTON_RIGHT : SDL_BUTTON_LEFT);
    if (key == SDLK_SPACE) {
        keyPainting = true;
    } else {
        releasePaint();
    }
    return true;
}

void CharacterEditor::shortcutKey(int key) {
    if (key == SDLK_z) {
        endDrag(DragEnd::Commit);
        undo();
        return;
    }
    if (key == SDLK_s) {
        saveCharacter();
        return;
    }
    if (!faceViewReady()) return;
    switch (key) {
        case SDLK_c:
            copySelection(false);
            break;
        case SDLK_x:
            endDrag(DragEnd::Commit);
            copySelection(true);
            break;
        case SDLK_v:
            endDrag(DragEnd::Commit);
            pasteImageFromClipboard();
            break;
        case SDLK_a: {
            auto [fw, fh] = character.faceSize(face);
            selection = {0, 0, fw, fh};
            redraw = true;
            break;
        }
        case SDLK_d:
            clearSelection();
            break;
        default:
            break;
    }
}

void CharacterEditor::toolKey(int key) {
    switch (key) {
        case SDLK_LEFTBRACKET:
            brushSize = std::max(brushSize - 1, 1);
            break;
        case SDLK_RIGHTBRACKET:
            brushSize = std::min(brushSize + 1, 16);
            break;
        case SDLK_p:
            tool = ToolPen;
            break;
        case SDLK_b:
            tool = ToolBrush;
            break;
        case SDLK_e:
            tool = ToolErase;
            break;
        case SDLK_f:
            tool = ToolFill;
            break;
        case SDLK_m:
            tool = ToolSelect;
            break;
        case SDLK_i:
            tool = ToolPick;
            break;
        case SDLK_l:
            tool = ToolLine;
            break;
        case SDLK_g:
            showGrid = !showGrid;
            break;
        case SDLK_x:
            std::swap(primaryColor, secondaryColor);
            syncPicker();
            break;
        default:
            break;
    }
    redraw = true;
}

}  // namespace vobu
