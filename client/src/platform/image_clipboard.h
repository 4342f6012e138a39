#pragma once
// The system clipboard for images, as byte blocks named by their MIME
// target ("image/bmp", "image/png"). On X11 the client holds the CLIPBOARD
// selection through a connection of its own, because SDL only carries text.
//
// The calls are gathered in one table so that tests can replace single
// entries (no focus, a lost selection, a program that offers only text).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vobu {

// One form of the copied image.
struct ClipboardFormat {
    std::string target;
    std::vector<uint8_t> bytes;
};

enum class ClipboardFetch {
    Ok,
    // The clipboard holds nothing in that form (or nothing at all).
    Missing,
    // No clipboard service: no display, or the owner never answered.
    Busy,
};

enum class ClipboardOffer {
    Taken,
    // No clipboard service (no display).
    Busy,
    // The window system kept the clipboard with another owner.
    Refused,
};

// The most bytes one pasted form may have; larger offers are refused while
// they arrive (a screenshot of a large screen stays well below it).
constexpr uint64_t kMaxClipboardBytes = 128ull << 20;

struct ImageClipboardCalls {
    // A window of ours has the keyboard focus (the only time a copy may
    // take the clipboard).
    std::function<bool()> ourWindowHasFocus;
    // Takes the clipboard with these forms; Taken only once it is ours.
    std::function<ClipboardOffer(std::vector<ClipboardFormat> formats)> offer;
    // The targets the clipboard offers now. Busy when there is no service.
    std::function<ClipboardFetch(std::vector<std::string>& targets)> listTargets;
    // The bytes of one target, at most kMaxClipboardBytes. Each answer of
    // the owner is awaited for about a second, a whole transfer in pieces
    // for at most five. Our own forms come straight back while the
    // clipboard is ours.
    std::function<ClipboardFetch(const std::string& target, std::vector<uint8_t>& bytes)> fetch;
};

// No clipboard service: no focus, every fetch busy. The default until the
// program installs the real one.
ImageClipboardCalls unavailableImageClipboardCalls();

// The X11 CLIPBOARD selection on the display named by DISPLAY (the one SDL
// opens), served from a thread of its own: other programs (and SDL's own
// text paste, which waits for the owner's answer) are answered even while
// the frame loop is blocked. When the process ends holding the clipboard,
// a running clipboard manager is given our forms to keep (about a second at
// most); without one the exit does not wait. Defined in vobu_platform_x11,
// which links libX11.
ImageClipboardCalls systemImageClipboardCalls();

}  // namespace vobu
