#pragma once
// The system clipboard for text, through SDL (which carries only text on
// X11 and needs its video subsystem for it). The two calls sit in a table
// so that tests of the text fields can stand in for the window system.

#include <cstdint>
#include <functional>
#include <string>

namespace vobu {

// The most bytes of clipboard text a paste takes: far beyond what any
// field keeps, so a real paste is never cut short here, yet a program
// offering hundreds of megabytes does not make us copy them all.
constexpr uint64_t kMaxPastedTextBytes = 1ull << 20;

struct TextClipboardCalls {
    // Puts the text on the clipboard; false when there is no clipboard.
    std::function<bool(const std::string& text)> put;
    // The clipboard's text, at most kMaxPastedTextBytes of it; false when
    // the clipboard holds no text or there is no clipboard.
    std::function<bool(std::string& text)> take;
};

// SDL's clipboard text (SDL_SetClipboardText, SDL_GetClipboardText).
TextClipboardCalls systemTextClipboard();

}  // namespace vobu
