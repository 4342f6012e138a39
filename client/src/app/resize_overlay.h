#pragma once

#include <cstdint>
#include <functional>
#include <memory>

struct SDL_Window;

namespace vobu {

// Repaints a size badge while the user drags the window border on systems
// whose window manager runs a modal size loop (the frame loop stops then).
// The native layer turns its size-loop messages into the events below; the
// logic is a plain state machine so that it behaves the same everywhere and
// tests can drive it directly.
//
// On Linux (X11, Wayland) SDL has no modal loop: the frame loop keeps running
// and sees the new drawable size, so nothing feeds the events and the badge
// is never drawn from inside SDL's event pump (that would add buffer swaps
// and flash the badge between real frames). Attaching still needs the
// window's native information, so an impossible attach fails at start-up.
class ResizeOverlay {
public:
    using Callback = std::function<void(int width, int height)>;
    static constexpr int kTimerMs = 16;

    // The one state that exists while attached.
    struct State {
        bool windowAlive = true;  // cleared when the native window is destroyed
        Callback callback;
        bool sizing = false;
        bool changed = false;
        bool drawing = false;
        int32_t startWidth = 0;
        int32_t startHeight = 0;
        bool timerRunning = false;
    };

    ResizeOverlay() = default;
    ResizeOverlay(const ResizeOverlay&) = delete;
    ResizeOverlay& operator=(const ResizeOverlay&) = delete;
    ~ResizeOverlay() { detach(); }

    // Installs the overlay for the window: false (nothing installed) when SDL
    // cannot give the window's native information.
    bool attach(SDL_Window* window, Callback callback);
    // Installs the overlay without a native window (tests, other platforms).
    void attachState(Callback callback);
    void detach();
    bool attached() const { return state_ != nullptr; }
    const State* state() const { return state_.get(); }

    // The size-loop events. Each returns true when the overlay handled the
    // event itself (the window's previous handling is skipped).
    bool enterSizeMove(int clientWidth, int clientHeight);
    bool timer(int clientWidth, int clientHeight);
    bool eraseBackground();
    bool exitSizeMove();
    bool size(int clientWidth, int clientHeight);
    bool destroyed();

private:
    void repaint(int width, int height);

    std::unique_ptr<State> state_;
};

}  // namespace vobu
