#include <SDL.h>

#include <cstring>

#include "platform/text_clipboard.h"

namespace vobu {

namespace {

bool putText(const std::string& text) { return SDL_SetClipboardText(text.c_str()) == 0; }

bool takeText(std::string& text) {
    char* held = SDL_GetClipboardText();
    if (held == nullptr) return false;
    // SDL answers an empty string, not null, when there is no text.
    const uint64_t length = strnlen(held, kMaxPastedTextBytes);
    text.assign(held, size_t(length));
    SDL_free(held);
    return !text.empty();
}

}  // namespace

TextClipboardCalls systemTextClipboard() { return TextClipboardCalls{&putText, &takeText}; }

}  // namespace vobu
