// game_overlay_snapshot <folder>: paints the in-game overlay in a few states
// with GNU Unifont and writes each as a PNG of a 1020 x 680 window, the two
// textures blended over a plain background where the frame would draw them.
// For looking at the overlay without a game.

#include <cstdio>
#include <memory>
#include <string>

#include "browser/game_overlay.h"
#include "net/chat_messages.h"
#include "support/recording_backend.h"
#include "support/sdl_events.h"
#include "support/snapshot_png.h"
#include "support/unifont.h"
#include "ui/font.h"
#include "ui/graphics.h"

namespace {

using vobu::ChatEntry;
using vobu::GameOverlay;

constexpr int kWidth = 1020;
constexpr int kHeight = 680;

const uint8_t* noKeysHeld(int* count) {
    static const uint8_t none[SDL_NUM_SCANCODES] = {};
    *count = SDL_NUM_SCANCODES;
    return none;
}

ChatEntry line(int32_t from, int32_t to, const std::string& name, const std::string& toName, const std::string& text,
               bool system = false) {
    ChatEntry entry;
    entry.from = from;
    entry.to = to;
    entry.name = name;
    entry.toName = toName;
    entry.text = text;
    entry.system = system;
    entry.formatted = system;
    return entry;
}

void fillScene(vobu::Scene& scene) {
    scene.localPlayerId = 1;
    scene.characters[1].name = "Ada";
    scene.characters[2].name = "Bot Bob";
    scene.characters[3].name = "Cyrille";
    const ChatEntry lines[] = {
        line(0, 0, "", "", "Welcome to the ^#ffcc00demo server^r. Be kind.", true),
        line(2, 0, "Bot Bob", "", "hello, I answer whispers"),
        line(3, 0, "Cyrille", "", "anyone up for a race around the fountain? first one back wins"),
        line(1, 0, "Ada", "", "sure"),
        line(1, 2, "Ada", "Bot Bob", "what time is it?"),
        line(2, 1, "Bot Bob", "Ada", "It is always time to play."),
        line(3, 0, "Cyrille", "",
             "\xe4\xbd\xa0\xe5\xa5\xbd, caf\xc3\xa9, na\xc3\xafve, \xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82"),
        line(0, 0, "", "", "ERR_SWAP_PENDING", true),
        line(
            2, 0, "Bot Bob", "",
            "a long line that goes on and on so that it has to wrap behind the name at three hundred and forty pixels"),
        line(3, 0, "Cyrille", "", "ok"),
        line(3, 0, "Cyrille", "", "see you there"),
        line(1, 0, "Ada", "", "on my way"),
    };
    for (const ChatEntry& entry : lines) vobu::appendChatLine(scene, entry);
}

void blend(std::vector<uint8_t>& window, const vobu::Texture& texture, int left, int top) {
    for (int y = 0; y < texture.height; ++y) {
        for (int x = 0; x < texture.width; ++x) {
            const int wx = left + x;
            const int wy = top + y;
            if (wx < 0 || wy < 0 || wx >= kWidth || wy >= kHeight) continue;
            const uint8_t* src = &texture.pixels[(size_t(y) * size_t(texture.width) + size_t(x)) * 4];
            uint8_t* dst = &window[(size_t(wy) * kWidth + size_t(wx)) * 3];
            const int a = src[3];
            for (int c = 0; c < 3; ++c) dst[c] = uint8_t((src[c] * a + dst[c] * (255 - a)) / 255);
        }
    }
}

bool writeShot(GameOverlay& overlay, const vobu::Scene& scene, vobu::Graphics& graphics, const std::string& path) {
    overlay.update(0.0, scene);
    overlay.draw(scene);
    std::vector<uint8_t> window(size_t(kWidth) * kHeight * 3);
    for (size_t i = 0; i < window.size(); i += 3) {
        // A sky-and-ground stand-in for the 3D view.
        const size_t row = i / 3 / kWidth;
        window[i] = row < 400 ? 96 : 70;
        window[i + 1] = row < 400 ? 128 : 92;
        window[i + 2] = row < 400 ? 168 : 60;
    }
    blend(window, graphics.textures().at(overlay.chatTexture), overlay.chatX, GameOverlay::kPanelTop);
    blend(window, graphics.textures().at(overlay.stripTexture), overlay.buttonsX, GameOverlay::kPanelTop);
    return vobu::testing::writeWindowPng(path, window, kWidth, kHeight);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: game_overlay_snapshot <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    vobu::Font font;
    if (!vobu::testing::loadUnifont(font)) {
        std::fprintf(stderr, "game_overlay_snapshot: cannot read %s (Debian package \"unifont\")\n", VOBU_UNIFONT_HEX);
        return 1;
    }

    vobu::testing::Recording recording;
    vobu::Graphics graphics(std::make_unique<vobu::testing::RecordingBackend>(recording));
    vobu::Scene scene;
    fillScene(scene);
    GameOverlay overlay;
    overlay.graphics = &graphics;
    overlay.font = &font;
    overlay.keyboardState = &noKeysHeld;
    overlay.setLayout(644, 16, kWidth, kHeight);

    bool ok = writeShot(overlay, scene, graphics, folder + "/overlay_closed.png");

    // Open, whispering, a selection in the line, the pointer over "Characters".
    overlay.toggleWhisper(2, "Bot Bob");
    for (const char* typed : {"hello ", "there, ", "bot"}) overlay.handleEvent(vobu::testing::textInput(typed), scene);
    overlay.chatField.setCursor(6, false);
    overlay.chatField.setCursor(12, true);
    overlay.handleEvent(vobu::testing::mouseMotion(644 + 60, 12 + 10), scene);
    ok = writeShot(overlay, scene, graphics, folder + "/overlay_whisper.png") && ok;

    // Scrolled back over the log with the thumb shown; "Disconnect" focused.
    overlay.closeChat();
    overlay.handleEvent(vobu::testing::mouseMotion(16 + 100, 12 + 60), scene);
    overlay.handleEvent(vobu::testing::mouseWheel(2), scene);
    overlay.focus = 2;
    ok = writeShot(overlay, scene, graphics, folder + "/overlay_scrolled.png") && ok;
    return ok ? 0 : 1;
}
