#pragma once

// Drives a CharacterEditor with synthesised SDL events, as the frame would,
// over the recording Graphics backend: no window, no OpenGL, no files.

#include <gtest/gtest.h>

#include <SDL.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "editor/character_editor.h"
#include "editor/clipboard_image.h"
#include "support/fake_image_clipboard.h"
#include "support/recording_backend.h"
#include "support/sdl_events.h"
#include "support/test_font.h"

namespace vobu::testing {

// A character whose texels all differ, so that moved or lost texels show.
inline Character patternedCharacter() {
    Character character;
    character.id = "0123456789abcdef0123456789abcdef";
    character.name = "Patty";
    for (int f = 0; f < kFaceCount; ++f) {
        for (int i = 0; i < kFaceCanvasTexels; ++i) character.faces[f][i] = uint32_t(f << 20 | i);
    }
    return character;
}

// The editor on its editor screen in the face view of the Front face of a
// 32 x 64 x 32 character, laid out by one frame at 1020 x 680.
class EditorScript : public ::testing::Test {
protected:
    void SetUp() override {
        RgbaImage image;
        std::string status;
        while (takeClipboardImage(image, status)) {}
        installImageClipboard(clipboard.calls());
        editor.font = testFont();
        editor.graphics = &graphics;
        editor.setClock([this] { return double(ticks); });
        editor.library.characters.push_back(patternedCharacter());
        editor.selectedIndex = 0;
        editor.character = editor.library.characters[0];
        editor.showLibrary();
        editor.setChoosingForJoin(false);
        frame();
    }
    void TearDown() override { installImageClipboard(unavailableImageClipboardCalls()); }

    // Fills the library up to 16 entries ("Entry 1" to "Entry 15" after the
    // first), enough for its list to have a scroll thumb.
    void fillLibrary() {
        for (int i = 1; i < 16; ++i) {
            Character c = patternedCharacter();
            c.id = std::string(31, '0') + char('a' + i);
            c.name = "Entry " + std::to_string(i);
            editor.library.characters.push_back(c);
        }
    }

    void openFaceView() {
        editor.openEditor();
        frame();
    }

    void frame(double dt = 0.016) {
        editor.update(dt);
        editor.draw(1020, 680);
    }

    void send(const SDL_Event& event) { editor.handleEvent(event); }
    void move(int x, int y, int relX = 0, int relY = 0) { send(mouseMotion(x, y, relX, relY)); }
    void press(int x, int y, int button = SDL_BUTTON_LEFT) { send(mouseButton(true, x, y, Uint8(button))); }
    void release(int x, int y, int button = SDL_BUTTON_LEFT) { send(mouseButton(false, x, y, Uint8(button))); }
    void click(int x, int y, int button = SDL_BUTTON_LEFT) {
        press(x, y, button);
        release(x, y, button);
    }
    void key(SDL_Keycode k, uint16_t mods = 0, bool repeat = false) {
        send(keyEvent(true, k, SDL_SCANCODE_UNKNOWN, mods, repeat));
    }
    void keyUp(SDL_Keycode k) { send(keyEvent(false, k)); }
    void tap(SDL_Keycode k, uint16_t mods = 0) {
        key(k, mods);
        keyUp(k);
    }

    // The canvas pixel at the centre of a texel of the current face.
    std::pair<int, int> texel(int tx, int ty) const {
        return {int(std::lround((tx + 0.5f) * editor.pixelsPerTexel + editor.faceLeft)),
                int(std::lround((ty + 0.5f) * editor.pixelsPerTexel + editor.faceTop))};
    }
    // A drag on the face from texel to texel, one motion event per texel.
    void strokeTexels(const std::vector<std::pair<int, int>>& texels, int button = SDL_BUTTON_LEFT) {
        auto [x, y] = texel(texels.front().first, texels.front().second);
        press(x, y, button);
        for (auto [tx, ty] : texels) {
            auto [px, py] = texel(tx, ty);
            move(px, py, px - x, py - y);
            x = px;
            y = py;
        }
        release(x, y, button);
    }
    uint32_t texelColor(int tx, int ty, int f = 0) const {
        return editor.character.faces[f][size_t(ty) * kFaceCanvasSide + tx];
    }

    Recording recording;
    Graphics graphics{std::make_unique<RecordingBackend>(recording)};
    CharacterEditor editor;
    FakeImageClipboard clipboard;
    uint32_t ticks = 100000;
};

}  // namespace vobu::testing
