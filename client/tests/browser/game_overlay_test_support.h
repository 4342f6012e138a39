#pragma once

// Drives the in-game overlay as the frame does: synthesised SDL events, a
// hand-filled Scene, a recording graphics backend and the toolkit's test
// font (every ASCII glyph 8 pixels wide).

#include <gtest/gtest.h>

#include <SDL.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "browser/game_overlay.h"
#include "net/chat_messages.h"
#include "support/recording_backend.h"
#include "support/sdl_events.h"
#include "support/test_font.h"
#include "ui/graphics.h"
#include "world/scene.h"

namespace vobu::testing {

// The keyboard as SDL would report it when the chat line opens, and the
// click clock; the overlay reads both through its seams.
inline std::array<uint8_t, SDL_NUM_SCANCODES> fakeKeyboard{};
inline double fakeSeconds = 100.0;

inline const uint8_t* fakeKeyboardState(int* count) {
    if (count != nullptr) *count = int(fakeKeyboard.size());
    return fakeKeyboard.data();
}

inline ChatEntry chatLine(int32_t from, int32_t to, const std::string& name, const std::string& toName,
                          const std::string& text, bool system = false) {
    ChatEntry entry;
    entry.from = from;
    entry.to = to;
    entry.name = name;
    entry.toName = toName;
    entry.text = text;
    entry.system = system;
    return entry;
}

// A texel of a texture as a canvas colour 0xAABBGGRR (0 outside it).
inline uint32_t texel(const Texture& texture, int x, int y) {
    if (x < 0 || y < 0 || x >= texture.width || y >= texture.height) return 0;
    const size_t at = (size_t(y) * size_t(texture.width) + size_t(x)) * 4;
    return uint32_t(texture.pixels[at]) | uint32_t(texture.pixels[at + 1]) << 8 |
           uint32_t(texture.pixels[at + 2]) << 16 | uint32_t(texture.pixels[at + 3]) << 24;
}

// Every inked pixel of the glyph cell at (x, y) has the colour.
inline bool glyphInTexture(const Texture& texture, const Glyph& glyph, int x, int y, uint32_t color) {
    for (int row = 0; row < 16; ++row) {
        for (int column = 0; column < glyph.width; ++column) {
            if (glyph.inked(column, row) && texel(texture, x + column, y + row) != color) return false;
        }
    }
    return true;
}

// The overlay with the frame's layout for a 1020 x 680 drawable, the local
// player 1 ("Me") and another player 2 ("Bob") in the Scene.
class OverlayTest : public ::testing::Test {
protected:
    static constexpr int kLocal = 1;
    static constexpr int kBob = 2;
    // Window position of a panel point.
    static constexpr int kPanelX = 16;
    static constexpr int kPanelY = 12;

    void SetUp() override {
        fakeKeyboard.fill(0);
        fakeSeconds = 100.0;
        SDL_SetModState(KMOD_NONE);
        overlay.graphics = &graphics;
        overlay.font = &font;
        overlay.keyboardState = &fakeKeyboardState;
        overlay.setClock([] { return fakeSeconds * 1000; });
        overlay.setLayout(644, 16, 1020, 680);
        scene.localPlayerId = kLocal;
        scene.characters[kLocal].name = "Me";
        scene.characters[kBob].name = "Bob";
    }

    bool send(const SDL_Event& event) { return overlay.handleEvent(event, scene); }

    // A key pressed and released, as SDL delivers it (key down, its text, key up).
    void tap(SDL_Keycode sym, SDL_Scancode scancode, uint16_t mod = 0) {
        send(keyEvent(true, sym, scancode, mod));
        send(keyEvent(false, sym, scancode));
    }

    void type(const std::string& text) {
        for (char c : text) send(textInput(std::string(1, c)));
    }

    void pressReturn() { tap(SDLK_RETURN, SDL_SCANCODE_RETURN); }

    // Opens the line with Return (no key held) and sends each line.
    void sendLines(const std::vector<std::string>& lines) {
        if (!overlay.typing) pressReturn();
        for (const std::string& line : lines) {
            type(line);
            pressReturn();
        }
    }

    void frame(double dt = 0.016) {
        overlay.update(dt, scene);
        overlay.draw(scene);
    }

    void addLines(int count, const std::string& stem = "line ") {
        for (int i = 0; i < count; ++i) {
            ChatEntry entry = chatLine(kBob, 0, "Bob", "", stem + std::to_string(nextSeq_));
            entry.seq = uint32_t(nextSeq_++);
            appendChatLine(scene, entry);
        }
    }

    void click(int panelX, int panelY, uint8_t clicks = 1) {
        send(mouseButton(true, panelX + kPanelX, panelY + kPanelY, SDL_BUTTON_LEFT, clicks));
        send(mouseButton(false, panelX + kPanelX, panelY + kPanelY));
    }

    // The texts of the log lines drawn now, top to bottom.
    std::vector<std::string> shownLines() const {
        std::vector<std::string> shown;
        for (size_t i = overlay.visibleBegin(); i < overlay.visibleEnd(); ++i) {
            shown.push_back(overlay.logLines[i].text);
        }
        return shown;
    }

    std::vector<OutgoingChat> drainSends() {
        std::vector<OutgoingChat> sent;
        OutgoingChat line;
        while (overlay.takeSendRequest(line.text, line.target)) sent.push_back(line);
        return sent;
    }

    size_t uploadCount() const { return recording.uploads.size(); }

    Recording recording;
    Graphics graphics{std::make_unique<RecordingBackend>(recording)};
    Font font = testFont();
    Scene scene;
    GameOverlay overlay;
    int nextSeq_ = 1;
};

}  // namespace vobu::testing
