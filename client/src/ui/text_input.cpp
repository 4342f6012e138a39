#include "ui/text_input.h"

#include <SDL.h>

#include "ui/text_field.h"

namespace vobu {

void startTextInput() { SDL_StartTextInput(); }

void stopTextInput() { SDL_StopTextInput(); }

void setTextInputCaret(int, int) {}

bool compositionText(std::string&, int&, int&) { return false; }

bool compositionActive() { return false; }

bool isShiftHeld() { return (SDL_GetModState() & KMOD_SHIFT) != 0; }

bool copyFieldSelection(const TextField& field) {
    std::string selection = field.selectedText();
    if (selection.empty()) return false;
    return SDL_SetClipboardText(selection.c_str()) == 0;
}

bool cutFieldSelection(TextField& field) {
    if (!copyFieldSelection(field)) return false;
    field.replaceSelection("");
    return true;
}

bool pasteIntoField(TextField& field) {
    char* clipboard = SDL_GetClipboardText();
    if (clipboard == nullptr) return false;
    std::string pasted = clipboard;
    SDL_free(clipboard);
    field.replaceSelection(pasted);
    return true;
}

}  // namespace vobu
