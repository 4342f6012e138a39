#pragma once
// Builders of the SDL events that tests feed to the frame and the screens,
// filled the way SDL fills them (no SDL call, no window).

#include <SDL.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "support/us_keymap.h"

namespace vobu::testing {

// A key by its key code and scancode, both as SDL fills them with the US
// layout. Either may be left out: the other one is looked up in the table,
// and a key the table does not know fails the test instead of quietly
// carrying a zero.
inline SDL_Event keyEvent(bool down, SDL_Keycode sym, SDL_Scancode code = SDL_SCANCODE_UNKNOWN, uint16_t mod = 0,
                          bool repeat = false) {
    if (code == SDL_SCANCODE_UNKNOWN) code = usScancodeForKey(sym);
    if (sym == SDLK_UNKNOWN) sym = usKeyForScancode(code);
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.scancode = code;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    return e;
}

inline SDL_Event keyDown(SDL_Scancode code, bool repeat = false) {
    return keyEvent(true, usKeyForScancode(code), code, 0, repeat);
}

inline SDL_Event keyUp(SDL_Scancode code) { return keyEvent(false, usKeyForScancode(code), code); }

inline SDL_Event mouseMotion(int x, int y, int xrel = 0, int yrel = 0) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    e.motion.xrel = xrel;
    e.motion.yrel = yrel;
    return e;
}

inline SDL_Event mouseButton(bool down, int x, int y, Uint8 button = SDL_BUTTON_LEFT, Uint8 clicks = 1) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = button;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = clicks;
    e.button.x = x;
    e.button.y = y;
    return e;
}

inline SDL_Event mouseDown(int x, int y, Uint8 button = SDL_BUTTON_LEFT) { return mouseButton(true, x, y, button); }
inline SDL_Event mouseUp(int x, int y, Uint8 button = SDL_BUTTON_LEFT) { return mouseButton(false, x, y, button); }

inline SDL_Event mouseWheel(int y, bool flipped = false) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = y;
    e.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
    return e;
}

inline SDL_Event windowEvent(Uint8 what) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = what;
    return e;
}

// Typed text of at most 31 bytes, as one text-input event.
inline SDL_Event textInput(const std::string& text) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    text.copy(e.text.text, sizeof e.text.text - 1);
    return e;
}

inline SDL_Event quitEvent() {
    SDL_Event e{};
    e.type = SDL_QUIT;
    return e;
}

}  // namespace vobu::testing
