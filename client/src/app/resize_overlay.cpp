#include "app/resize_overlay.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <string>

namespace vobu {

bool ResizeOverlay::attach(SDL_Window* window, Callback callback) {
    detach();
    if (window == nullptr) return false;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE) return false;
    attachState(std::move(callback));
    return true;
}

void ResizeOverlay::attachState(Callback callback) {
    detach();
    state_ = std::make_unique<State>();
    state_->callback = std::move(callback);
}

void ResizeOverlay::detach() { state_.reset(); }

bool ResizeOverlay::enterSizeMove(int clientWidth, int clientHeight) {
    if (!state_) return false;
    state_->sizing = true;
    state_->changed = false;
    state_->startWidth = clientWidth;
    state_->startHeight = clientHeight;
    state_->timerRunning = state_->windowAlive;
    return false;
}

bool ResizeOverlay::timer(int clientWidth, int clientHeight) {
    if (!state_ || !state_->timerRunning) return false;
    if (state_->changed && !state_->drawing && state_->windowAlive && clientWidth > 0 && clientHeight > 0) {
        repaint(clientWidth, clientHeight);
    }
    return true;
}

bool ResizeOverlay::eraseBackground() { return state_ && state_->changed; }

bool ResizeOverlay::exitSizeMove() {
    if (!state_) return false;
    state_->sizing = false;
    state_->changed = false;
    state_->timerRunning = false;
    return false;
}

bool ResizeOverlay::size(int clientWidth, int clientHeight) {
    if (!state_ || !state_->sizing) return false;
    if (clientWidth != state_->startWidth || clientHeight != state_->startHeight) {
        state_->changed = true;
    }
    if (state_->changed && !state_->drawing && state_->windowAlive && clientWidth > 0 && clientHeight > 0) {
        repaint(clientWidth, clientHeight);
    }
    return false;
}

bool ResizeOverlay::destroyed() {
    if (!state_) return false;
    state_->timerRunning = false;
    state_->windowAlive = false;
    return false;
}

void ResizeOverlay::repaint(int width, int height) {
    state_->drawing = true;
    try {
        if (state_->callback) state_->callback(width, height);
    } catch (...) {
        SDL_Log("Resize overlay rendering failed");
    }
    // The callback may have detached the overlay.
    if (state_) state_->drawing = false;
}

}  // namespace vobu
