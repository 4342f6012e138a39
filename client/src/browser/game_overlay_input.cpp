// The overlay's event handling: keys of the chat line, the focus cycle, the
// two buttons and the pointer over the log and the line.

#include <algorithm>
#include <cstdlib>

#include "browser/game_overlay.h"
#include "ui/text_input.h"

namespace vobu {

namespace {

constexpr int kCharactersWidth = 172;
constexpr int kDisconnectOffset = 180;
constexpr int kDisconnectWidth = 180;
constexpr int kButtonHeight = 26;

bool inside(int x, int y, int w, int h, int px, int py) { return px >= x && px < x + w && py >= y && py < y + h; }

bool inLogArea(int px, int py) { return px >= 0 && px <= 359 && py >= 0 && py <= 195; }

bool inLineBox(int px, int py) { return px >= 0 && px <= 359 && py >= 204 && py <= 229; }

bool nearPress(const ButtonPress& press, int px, int py) {
    return std::abs(px - press.pressX) <= UiControls::kClickSlop &&
           std::abs(py - press.pressY) <= UiControls::kClickSlop;
}

}  // namespace

int GameOverlay::buttonPanelX(int index) const { return buttonsX - chatX + (index == 0 ? 0 : kDisconnectOffset); }

bool GameOverlay::buttonHovered(int index) const {
    const int x = buttonPanelX(index);
    const int w = index == 0 ? kCharactersWidth : kDisconnectWidth;
    return mouseY >= 0 && mouseY <= kButtonHeight - 1 && mouseX >= x && mouseX < x + w;
}

bool GameOverlay::pointerInLog() const { return inLogArea(mouseX, mouseY); }

bool GameOverlay::thumbShown() const { return int(logLines.size()) > kVisibleLines && (chatOpen || pointerInLog()); }

GameOverlay::PointerView GameOverlay::pointerView() const {
    PointerView view;
    for (int i = 0; i < 2; ++i) {
        view.hover[i] = buttonHovered(i);
        view.held[i] = buttonPresses[i].pressed && !buttonPresses[i].cancelled;
    }
    view.thumb = thumbShown();
    view.scroll = scroll;
    view.cursor = chatField.cursor;
    view.anchor = chatField.anchor;
    return view;
}

bool GameOverlay::handleEvent(const SDL_Event& event, const Scene& scene) {
    switch (event.type) {
        case SDL_KEYDOWN:
            return handleKeyDown(event.key);
        case SDL_KEYUP: {
            heldKeys.erase(int(event.key.keysym.scancode));
            return typing;
        }
        case SDL_TEXTINPUT:
            return handleTextInput(event.text);
        case SDL_MOUSEMOTION:
            return handleMotion(event.motion);
        case SDL_MOUSEWHEEL:
            return handleWheel(event.wheel, scene);
        case SDL_MOUSEBUTTONDOWN: {
            if (event.button.button != SDL_BUTTON_LEFT) return false;
            const PointerView before = pointerView();
            const int focusBefore = focus;
            const bool consumed = handleLeftDown(event.button, scene);
            if (consumed || focus != focusBefore || !(pointerView() == before)) dirty = true;
            return consumed;
        }
        case SDL_MOUSEBUTTONUP:
            return event.button.button == SDL_BUTTON_LEFT && handleLeftUp(event.button);
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) handleFocusLost();
            return false;
        default:
            return false;
    }
}

bool GameOverlay::handleKeyDown(const SDL_KeyboardEvent& key) {
    const SDL_Keycode sym = key.keysym.sym;
    const bool shift = (key.keysym.mod & KMOD_SHIFT) != 0;
    const bool repeat = key.repeat != 0;
    if (typing) {
        // A key that opened the line, or was down then, types nothing.
        if (heldKeys.count(int(key.keysym.scancode)) != 0) return true;
        if (sym == SDLK_TAB && !repeat) {
            stopTextInput();
            chatOpen = false;
            typing = false;
            // A line opened by Return or "/" leaves the focus where it was:
            // from none it goes on as from the line itself.
            if (focus < 0) focus = 0;
            moveFocus(shift);
            return true;
        }
        handleChatKey(key);
        return true;
    }
    if (sym == SDLK_TAB && !repeat) {
        moveFocus(shift);
        return true;
    }
    const bool activate = sym == SDLK_RETURN || sym == SDLK_KP_ENTER || sym == SDLK_SPACE;
    if (activate && !repeat && (focus == 1 || focus == 2)) {
        if (focus == 1) charactersRequested = true;
        if (focus == 2) disconnectRequested = true;
        focus = -1;
        dirty = true;
        return true;
    }
    if (sym == SDLK_ESCAPE && focus >= 0) {
        focus = -1;
        dirty = true;
        return true;
    }
    if (sym == SDLK_RETURN || sym == SDLK_SLASH) {
        openChat();
        // The opening key counts as held until its key up arrives, also when
        // its press and release came in one batch of events and the keyboard
        // state already shows it released: its text follows the press.
        heldKeys.insert(int(key.keysym.scancode));
        return true;
    }
    return false;
}

void GameOverlay::moveFocus(bool backward) {
    if (focus < 0) {
        focus = backward ? 2 : 0;
    } else {
        focus = (focus + (backward ? 2 : 1)) % 3;
    }
    if (focus == 0) openChat();
    dirty = true;
}

void GameOverlay::handleChatKey(const SDL_KeyboardEvent& key) {
    const SDL_Keycode sym = key.keysym.sym;
    dirty = true;
    switch (sym) {
        case SDLK_BACKSPACE:
            // At the very start Backspace takes back the whisper instead.
            if (whisperTarget == 0 || chatField.cursor != 0 || chatField.anchor != 0) break;
            whisperTarget = 0;
            whisperName.clear();
            chatController.scroll = 0;
            return;
        case SDLK_ESCAPE:
            closeChat();
            return;
        case SDLK_RETURN:
            if (key.repeat == 0 && !chatField.text.empty()) sendLine();
            return;
        case SDLK_UP:
            browseHistory(-1);
            return;
        case SDLK_DOWN:
            browseHistory(+1);
            return;
        default:
            break;
    }
    chatController.editKey(chatField, sym, key.keysym.mod);
}

bool GameOverlay::handleTextInput(const SDL_TextInputEvent& text) {
    if (!typing) return false;
    // Text of a key that was down when the line opened (the "/" that opened
    // it, a held Shift) is not meant for the line.
    if (!heldKeys.empty()) return true;
    chatField.replaceSelection(text.text);
    dirty = true;
    return true;
}

bool GameOverlay::handleMotion(const SDL_MouseMotionEvent& motion) {
    const PointerView before = pointerView();
    mouseX = motion.x - chatX;
    mouseY = motion.y - kPanelTop;
    for (ButtonPress& press : buttonPresses) {
        if (!press.pressed || press.cancelled) continue;
        if (!nearPress(press, mouseX, mouseY) || !inside(press.x, press.y, press.w, press.h, mouseX, mouseY)) {
            press.cancelled = true;
        }
    }
    if (chatController.selecting && font != nullptr) {
        aimChatLine();
        chatController.drag(chatField, *font, mouseX);
    }
    if (scrollDragging) {
        const int m = maxScroll();
        const double fraction = 1.0 - double(mouseY - 8) / 180.0;
        scroll = int(std::clamp(fraction * m, 0.0, double(m)));
    }
    // Mouse look moves the pointer every frame; repaint only what shows it.
    if (!(pointerView() == before)) dirty = true;
    return chatController.selecting || scrollDragging;
}

bool GameOverlay::handleWheel(const SDL_MouseWheelEvent& wheel, const Scene& scene) {
    if (!pointerInLog()) return false;
    const int64_t wanted = int64_t(scroll) + 3 * int64_t(wheel.y);
    wrapForScroll(scene, wanted);
    const int before = scroll;
    scroll = int(std::clamp<int64_t>(wanted, 0, maxScroll()));
    if (scroll != before) dirty = true;
    return true;
}

bool GameOverlay::handleLeftDown(const SDL_MouseButtonEvent& button, const Scene& scene) {
    const int px = button.x - chatX;
    const int py = button.y - kPanelTop;
    focus = -1;
    mouseX = px;
    mouseY = py;
    for (int i = 0; i < 2; ++i) {
        if (!buttonHovered(i)) continue;
        ButtonPress& press = buttonPresses[i];
        press = ButtonPress{buttonPanelX(i), 0,    i == 0 ? kCharactersWidth : kDisconnectWidth,
                            kButtonHeight,   px,   py,
                            clockSeconds(),  true, false};
        return true;
    }
    if (inLogArea(px, py)) {
        if (int(logLines.size()) > kVisibleLines && px > 351) {
            // The thumb stands for the whole log.
            wrapAll(scene);
            scrollDragging = true;
            return true;
        }
        for (const NameRegion& region : nameRegions) {
            if (inside(region.x, region.y, region.w, region.h, px, py)) {
                clickName(region, scene);
                return true;
            }
        }
        openChat();
        return true;
    }
    if (inLineBox(px, py)) {
        if (!typing) openChat();
        if (font == nullptr) return true;
        // SDL counts the clicks of a run, with the system's timing.
        aimChatLine();
        chatController.press(chatField, *font, px, button.clicks, isShiftHeld());
        return true;
    }
    // A click into the world ends typing and goes on to the game.
    if (typing) closeChat();
    return false;
}

void GameOverlay::clickName(const NameRegion& region, const Scene& scene) {
    // One's own name means everyone.
    const int32_t id = region.playerId == scene.localPlayerId ? 0 : region.playerId;
    if (id == 0 || id == whisperTarget) {
        whisperTarget = 0;
        whisperName.clear();
    } else {
        whisperTarget = id;
        whisperName = region.name;
    }
    openChat();
}

bool GameOverlay::handleLeftUp(const SDL_MouseButtonEvent& button) {
    const int px = button.x - chatX;
    const int py = button.y - kPanelTop;
    const bool dragEnded = chatController.selecting || scrollDragging;
    chatController.endDrag();
    scrollDragging = false;
    bool hadPress = false;
    const double now = clockSeconds();
    for (int i = 0; i < 2; ++i) {
        ButtonPress& press = buttonPresses[i];
        if (!press.pressed) continue;
        hadPress = true;
        const bool click = nearPress(press, px, py) && inside(press.x, press.y, press.w, press.h, px, py) &&
                           !press.cancelled && now - press.pressTime <= UiControls::kClickSeconds;
        if (click && i == 0) charactersRequested = true;
        if (click && i == 1) disconnectRequested = true;
        press.pressed = false;
    }
    if (dragEnded || hadPress) dirty = true;
    return dragEnded || hadPress;
}

void GameOverlay::handleFocusLost() { closeChat(); }

}  // namespace vobu
