// Pointer input of the editor's screens and of the join overlay: motion and
// drags, button presses and releases, the wheel and the loss of focus. Keys
// are in character_editor_keys.cpp, the text field in
// character_editor_text_field.cpp.

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "editor/character_editor.h"
#include "ui/text_input.h"

namespace vobu {

void CharacterEditor::handleEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_MOUSEMOTION:
            pointerMotion(event.motion.x, event.motion.y, event.motion.xrel, event.motion.yrel);
            break;
        case SDL_MOUSEBUTTONDOWN:
            buttonPress(event.button.x, event.button.y, event.button.button);
            break;
        case SDL_MOUSEBUTTONUP:
            buttonRelease(event.button.x, event.button.y, event.button.button);
            break;
        case SDL_MOUSEWHEEL: {
            int amount = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
            wheel(amount);
            break;
        }
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) focusLost();
            break;
        case SDL_TEXTINPUT:
            if (textEditing) {
                field.replaceSelection(event.text.text);
                commitField();
            }
            break;
        case SDL_KEYDOWN:
            keyPress(event.key.keysym.sym, event.key.keysym.mod, event.key.repeat != 0);
            break;
        case SDL_KEYUP:
            // Space is the keyboard's button: its release ends the stroke
            // as a mouse button's release does.
            if (event.key.keysym.sym == SDLK_SPACE && keyPainting) endDrag(DragEnd::Commit);
            break;
        default:
            break;
    }
}

uint32_t CharacterEditor::clockTicks() const {
    // Through 64 bits: a double beyond 32 bits would not convert.
    return uint32_t(uint64_t(std::max(0.0, clock_())));
}

std::pair<int, int> CharacterEditor::toCanvas(int x, int y) const { return {layout.canvasX(x), layout.canvasY(y)}; }

void CharacterEditor::updatePointer(int x, int y) {
    auto [cx, cy] = toCanvas(x, y);
    // Only a real mouse movement takes the pointer: the keyboard cursor may
    // have placed it on a texel since, and an unmoved mouse must not pull it
    // back every frame.
    if (cx == mouseCanvasX && cy == mouseCanvasY) return;
    mouseCanvasX = cx;
    mouseCanvasY = cy;
    if (cx == pointerX && cy == pointerY) return;
    pointerX = cx;
    pointerY = cy;
    controls.pointerMoved(cx, cy);
    redraw = true;
}

void CharacterEditor::pointerMotion(int x, int y, int relX, int relY) {
    std::tie(pointerX, pointerY) = toCanvas(x, y);
    mouseCanvasX = pointerX;
    mouseCanvasY = pointerY;
    controls.pointerMoved(pointerX, pointerY);
    redraw = true;
    if (joinOverlayShown) return;
    if (libraryShown) list.dragThumb(pointerX, pointerY);
    if (fieldSelecting) dragFieldSelection();
    float scale = layout.scale > 0.0f ? layout.scale : 1.0f;
    if (panning && !libraryShown && viewMode == 1) {
        panX += float(relX) / scale;
        panY += float(relY) / scale;
    }
    if (pickingColor) pickFromColorWheel(pointerX, pointerY);
    if (orbiting) {
        if (relX != 0 || relY != 0) idleSeconds = 0;
        yaw -= float(relX) * 0.008f / scale;
        pitch = std::clamp(pitch + float(relY) * 0.008f / scale, -1.56f, 1.56f);
    }
    if (painting || selecting || movingSelection) dragPaint(pointerX, pointerY);
    if (resizing) dragResize(pointerX, pointerY);
}

void CharacterEditor::wheel(int amount) {
    if (joinOverlayShown) return;
    if (libraryShown && kListRect.contains(pointerX, pointerY)) {
        list.scrollBy(-amount);
        redraw = true;
        return;
    }
    if (viewRect().contains(pointerX, pointerY)) zoomBy(float(amount));
}

void CharacterEditor::buttonPress(int x, int y, int button) {
    controls.focusId.clear();
    std::tie(pointerX, pointerY) = toCanvas(x, y);
    int px = pointerX;
    int py = pointerY;
    double now = double(clockTicks()) / 1000.0;
    if (joinOverlayShown) {
        if (button == SDL_BUTTON_LEFT) controls.press(px, py, now);
        return;
    }
    bool shift = (SDL_GetModState() & KMOD_SHIFT) != 0;
    if (libraryShown) {
        if (button == SDL_BUTTON_LEFT) {
            if (kListRect.contains(px, py)) {
                list.press(px, py);
                selectLibraryEntry(list.selected);
                redraw = true;
            } else if (controls.press(px, py, now)) {
                stopTextEditing();
                redraw = true;
            } else {
                pressView(px, py);
            }
        } else if (button == SDL_BUTTON_RIGHT && kLibraryView.contains(px, py)) {
            orbiting = true;
            animProgress = 1.0f;
        }
        return;
    }
    bool inView = kEditorView.contains(px, py);
    bool faceReady = faceViewReady();
    if (button == SDL_BUTTON_MIDDLE) {
        if (!inView) return;
        stopTextEditing();
        // Only the face view has a zoom and pan that a middle click resets;
        // the orbit view's zoom is left alone.
        if (viewMode != 1) return;
        middlePending = true;
        panning = faceReady;
        middlePressX = px;
        middlePressY = py;
    } else if (button == SDL_BUTTON_LEFT) {
        if (faceReady && inView && shift) {
            stopTextEditing();
            panning = true;
        } else if (kNameFieldPress.contains(px, py)) {
            pressField(px, shift, 0);
        } else if (faceReady && kHexFieldPress.contains(px, py)) {
            pressField(px, shift, 1);
        } else if (controls.press(px, py, now)) {
            stopTextEditing();
            redraw = true;
        } else {
            pressView(px, py);
        }
    } else if (button == SDL_BUTTON_RIGHT) {
        if (faceReady) {
            if (tool == ToolSelect || !selection.empty()) {
                clearSelection();
            } else if (!pickerPress(px, py, SDL_BUTTON_RIGHT)) {
                pressPaint(px, py, SDL_BUTTON_RIGHT);
            }
        } else if (viewMode == 0 && inView) {
            orbiting = true;
            animProgress = 1.0f;
        }
    }
}

void CharacterEditor::pressView(int x, int y) {
    if (joinOverlayShown) return;
    if (libraryShown) {
        if (kLibraryView.contains(x, y)) {
            orbiting = true;
            animProgress = 1.0f;
        }
        return;
    }
    stopTextEditing();
    if (viewMode == 1 && pickerPress(x, y, SDL_BUTTON_LEFT)) return;
    if (!kEditorView.contains(x, y)) return;
    if (viewMode == 0) {
        orbiting = true;
        animProgress = 1.0f;
        return;
    }
    if (animating()) return;
    int handle = resizeHandleAt(x, y);
    if (handle >= 0) {
        beginResize(handle, x, y);
    } else if (faceRect.contains(x, y)) {
        pressPaint(x, y, SDL_BUTTON_LEFT);
    }
}

void CharacterEditor::buttonRelease(int x, int y, int button) {
    std::tie(pointerX, pointerY) = toCanvas(x, y);
    std::function<void()> action;
    if (button == SDL_BUTTON_LEFT) action = controls.release(pointerX, pointerY, double(clockTicks()) / 1000.0);
    const bool middleClick = button == SDL_BUTTON_MIDDLE && middlePending &&
                             std::hypot(double(pointerX - middlePressX), double(pointerY - middlePressY)) <= 4.0;
    // Every release ends every drag, of whichever button: a drag that
    // outlived the release of another button would run on half-ended.
    endDrag(DragEnd::Commit);
    if (middleClick) resetFaceView();
    if (action) {
        action();
        buildUi();
        redraw = true;
    }
}

void CharacterEditor::focusLost() {
    controls.cancelPress();
    // The button and Space releases go to whichever window has the focus now.
    endDrag(DragEnd::Commit);
}

EditorDrag CharacterEditor::currentDrag() const {
    if (list.dragging) return EditorDrag::ListThumb;
    if (fieldSelecting) return EditorDrag::FieldSelection;
    if (pickingColor) return EditorDrag::Picker;
    if (movingSelection) return EditorDrag::MovingSelection;
    if (selecting) return EditorDrag::Selecting;
    if (painting) return tool == ToolLine ? EditorDrag::Line : EditorDrag::Stroke;
    if (resizing) return EditorDrag::Resize;
    if (orbiting) return EditorDrag::Orbit;
    if (panning) return EditorDrag::Pan;
    if (middlePending) return EditorDrag::MiddleClick;
    return EditorDrag::None;
}

void CharacterEditor::endDrag(DragEnd how) {
    list.dragging = false;
    list.pressedArrow = 0;
    fieldSelecting = false;
    pickingColor = false;
    pickingValue = false;
    // A dropped line is not drawn: the face it was aimed at may not be the
    // one shown any more.
    if (how == DragEnd::Drop) painting = false;
    releasePaint();
    keyPainting = false;
    // Every step of a resize was an edit of its own, so even a dropped one
    // keeps the size it reached, shown at the scale of the drag.
    endResize();
    orbiting = false;
    panning = false;
    middlePending = false;
    redraw = true;
}

}  // namespace vobu
