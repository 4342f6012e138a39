#include "app/resize_overlay.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <string>

#include "ui/font.h"
#include "ui/screen_quad.h"

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

std::vector<uint8_t> ResizeBadge::renderText(const Font& font, const std::string& text) {
    std::vector<uint8_t> image(size_t(kImageWidth) * kImageHeight * 4, 0);
    int pen = 0;
    for (unsigned char byte : text) {
        const Glyph& glyph = font.glyph(byte);
        for (int row = 0; row < 16; ++row) {
            for (int column = 0; column < glyph.width; ++column) {
                int x = pen + column;
                if (!glyph.inked(column, row) || x >= kImageWidth) continue;
                uint8_t* p = &image[(size_t(row) * kImageWidth + x) * 4];
                p[0] = p[1] = p[2] = p[3] = 255;
            }
        }
        pen += glyph.width;
    }
    return image;
}

std::vector<Vertex> ResizeBadge::quad(int width, int height, int textWidth) {
    const int left = (width - textWidth) / 2;
    const int top = (height - 16) / 2;
    const float uRight = float(textWidth) / float(kImageWidth);
    return screenRectQuad(left, top, left + textWidth, top + 16, uRight, 0.5f, width, height);
}

void ResizeBadge::draw(Graphics& graphics, const Font& font, int newWidth, int newHeight) {
    if (newWidth <= 0 || newHeight <= 0) return;
    graphics.beginFrame(newWidth, newHeight);
    if (texture == 0 || newWidth != width || newHeight != height) {
        width = newWidth;
        height = newHeight;
        std::string text = std::to_string(width) + " x " + std::to_string(height);
        textWidth = font.plainTextWidth(text);
        texture = graphics.setTexture(kImageWidth, kImageHeight, renderText(font, text), texture, true, false);
    }
    graphics.drawTriangles(quad(width, height, textWidth), texture, false, true, false, false, 1.0f, false);
}

}  // namespace vobu
