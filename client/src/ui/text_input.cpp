#include "ui/text_input.h"

#include <SDL.h>

namespace vobu {

void startTextInput() { SDL_StartTextInput(); }

void stopTextInput() { SDL_StopTextInput(); }

void setTextInputCaret(int, int) {}

bool compositionText(std::string&, int&, int&) { return false; }

bool compositionActive() { return false; }

bool isShiftHeld() { return (SDL_GetModState() & KMOD_SHIFT) != 0; }

}  // namespace vobu
