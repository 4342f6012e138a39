// The title screen's input: the list and buttons, the hidden key sequence
// and the add-server dialog's field.

#include <SDL.h>

#include <array>

#include "browser/server_browser.h"

namespace vobu {

namespace {

// Opens the add-server dialog; the keys keep their ordinary effects.
constexpr std::array<SDL_Keycode, 8> kHiddenSequence = {SDLK_LEFT, SDLK_UP,    SDLK_RIGHT, SDLK_DOWN,
                                                        SDLK_DOWN, SDLK_RIGHT, SDLK_UP,    SDLK_LEFT};

bool isReturn(SDL_Keycode key) { return key == SDLK_RETURN || key == SDLK_KP_ENTER; }

bool insideList(int x, int y) { return x >= 24 && x < 24 + 972 && y >= 188 && y < 188 + 424; }

}  // namespace

void ServerBrowser::handleEvent(const SDL_Event& event) {
    dirty = true;
    // Actions run once the event has been handled.
    std::function<void()> action;
    if (dialogOpen) {
        handleDialogEvent(event, action);
    } else {
        handleBrowserEvent(event, action);
    }
    if (action) action();
}

void ServerBrowser::handleDialogEvent(const SDL_Event& event, std::function<void()>& action) {
    switch (event.type) {
        case SDL_KEYDOWN:
            handleDialogKey(event.key.keysym, action);
            break;
        case SDL_TEXTINPUT:
            addressField.replaceSelection(event.text.text);
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (event.button.button != SDL_BUTTON_LEFT) break;
            controls.focusId.clear();
            controls.press(layout.canvasX(event.button.x), layout.canvasY(event.button.y), clock_() / 1000.0);
            break;
        case SDL_MOUSEBUTTONUP:
            if (event.button.button != SDL_BUTTON_LEFT) break;
            action =
                controls.release(layout.canvasX(event.button.x), layout.canvasY(event.button.y), clock_() / 1000.0);
            break;
        default:
            break;
    }
}

void ServerBrowser::handleDialogKey(const SDL_Keysym& key, std::function<void()>& action) {
    if (key.sym == SDLK_ESCAPE) {
        closeDialog();
        return;
    }
    if (isReturn(key.sym)) {
        addServer();
        return;
    }
    addressController.editKey(addressField, key.sym, key.mod);
}

void ServerBrowser::stepHiddenSequence(SDL_Keycode key) {
    if (key == kHiddenSequence[size_t(sequenceProgress)]) {
        ++sequenceProgress;
        if (sequenceProgress == int(kHiddenSequence.size())) openDialog();
        return;
    }
    sequenceProgress = key == kHiddenSequence[0] ? 1 : 0;
}

void ServerBrowser::handleBrowserEvent(const SDL_Event& event, std::function<void()>& action) {
    switch (event.type) {
        case SDL_MOUSEMOTION:
            mouseX = layout.canvasX(event.motion.x);
            mouseY = layout.canvasY(event.motion.y);
            controls.pointerMoved(mouseX, mouseY);
            list.dragThumb(mouseX, mouseY);
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event != SDL_WINDOWEVENT_FOCUS_LOST) break;
            controls.cancelPress();
            list.dragging = false;
            list.pressedArrow = 0;
            lastClickUrl.clear();
            break;
        case SDL_MOUSEWHEEL:
            if (!insideList(mouseX, mouseY)) break;
            list.scrollBy(event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? event.wheel.y : -event.wheel.y);
            break;
        case SDL_KEYDOWN:
            handleBrowserKey(event.key, action);
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (event.button.button != SDL_BUTTON_LEFT) break;
            mouseX = layout.canvasX(event.button.x);
            mouseY = layout.canvasY(event.button.y);
            controls.focusId.clear();
            if (insideList(mouseX, mouseY)) {
                pressInList(mouseX, mouseY);
            } else {
                controls.press(mouseX, mouseY, clock_() / 1000.0);
            }
            break;
        case SDL_MOUSEBUTTONUP:
            if (event.button.button != SDL_BUTTON_LEFT) break;
            list.dragging = false;
            list.pressedArrow = 0;
            action =
                controls.release(layout.canvasX(event.button.x), layout.canvasY(event.button.y), clock_() / 1000.0);
            break;
        default:
            break;
    }
}

void ServerBrowser::pressInList(int x, int y) {
    const int row = list.rowAt(x, y);
    list.press(x, y);
    if (row >= 0) wantedUrl.reset();  // the player's own choice from now on
    if (row < 0 || size_t(row) >= rows.size()) {
        lastClickUrl.clear();
        lastClickMs = 0;
        return;
    }
    const std::string& url = rows[size_t(row)].url;
    if (url.empty()) {
        lastClickUrl.clear();
        lastClickMs = 0;
        return;
    }
    const double now = clock_();
    if (url == lastClickUrl && now - lastClickMs <= kDoubleClickMs) join();
    lastClickUrl = url;
    lastClickMs = now;
}

void ServerBrowser::handleBrowserKey(const SDL_KeyboardEvent& key, std::function<void()>& action) {
    const SDL_Keycode sym = key.keysym.sym;
    const bool repeat = key.repeat != 0;
    if (!repeat) stepHiddenSequence(sym);
    if (dialogOpen) return;  // the sequence just opened it
    const std::string& focus = controls.focusId;
    const UiControl* focused = focus.empty() ? nullptr : controls.find(focus);
    switch (sym) {
        case SDLK_TAB:
            controls.moveFocus((key.keysym.mod & KMOD_SHIFT) != 0);
            break;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            if (repeat || focus.empty() || focus == "servers.list") {
                join();
            } else if (focused && focused->enabled) {
                action = focused->onClick;
            }
            break;
        case SDLK_SPACE:
            if (!repeat && focused && focus != "servers.list" && focused->enabled) action = focused->onClick;
            break;
        case SDLK_HOME:
        case SDLK_END:
            wantedUrl.reset();
            list.selectEdge(sym == SDLK_END);
            break;
        case SDLK_PAGEUP:
        case SDLK_PAGEDOWN:
            wantedUrl.reset();
            list.moveSelection(sym == SDLK_PAGEUP ? -7 : +7);
            break;
        case SDLK_UP:
        case SDLK_DOWN:
            wantedUrl.reset();
            list.moveSelection(sym == SDLK_UP ? -1 : +1);
            break;
        default:
            break;
    }
}

}  // namespace vobu
