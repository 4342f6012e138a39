#pragma once
// Builders of the SDL events that tests feed to the frame and the screens,
// filled the way SDL fills them (no SDL call, no window).

#include <SDL.h>

#include <cstdint>
#include <string>

namespace vobu::testing {

inline SDL_Event keyDown(SDL_Scancode code, bool repeat = false) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.scancode = code;
    e.key.keysym.sym = SDL_GetKeyFromScancode(code);
    return e;
}

// A key by its key code, with the scancode only where the code under test
// reads it.
inline SDL_Event keyEvent(bool down, SDL_Keycode sym, SDL_Scancode code = SDL_SCANCODE_UNKNOWN, uint16_t mod = 0,
                          bool repeat = false) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.scancode = code;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    return e;
}

inline SDL_Event keyUp(SDL_Scancode code) {
    SDL_Event e{};
    e.type = SDL_KEYUP;
    e.key.state = SDL_RELEASED;
    e.key.keysym.scancode = code;
    e.key.keysym.sym = SDL_GetKeyFromScancode(code);
    return e;
}

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
