// One frame of the game as the Application draws it at 1020 x 680 under
// Mesa's llvmpipe (run under xvfb-run with LIBGL_ALWAYS_SOFTWARE=1): the
// world with 32 players, each with a speech bubble, then the overlay with
// the chat line open over a full log; beside it the same frame without the
// overlay. Reports CPU time per frame (and, with glFinish, wall time) and
// the texture bytes uploaded per frame.
#include <GL/gl.h>
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "bench_gl_window.h"
#include "browser/game_overlay.h"
#include "net/chat_messages.h"
#include "support/test_font.h"
#include "ui/font.h"
#include "ui/graphics.h"
#include "world/renderer.h"
#include "world/scene.h"

namespace {

using namespace vobu;

constexpr int kWidth = 1020;
constexpr int kHeight = 680;
constexpr int kPlayers = 32;

vobu::bench::BenchGlWindow& glWindow() {
    static vobu::bench::BenchGlWindow instance("game_frame_bench", kWidth, kHeight);
    return instance;
}

// A textured floor of 64 x 64 cells and 32 players who each said a line.
Scene gameScene() {
    Scene scene;
    std::mt19937 random(5);
    RenderMaterial floor;
    constexpr int kCells = 64;
    constexpr float kCell = 0.5f;
    for (int row = 0; row <= kCells; ++row) {
        for (int column = 0; column <= kCells; ++column) {
            floor.vertices.insert(floor.vertices.end(), {column * kCell - 16, row * kCell - 16, 0, 0, 0, 1,
                                                         column / 4.0f, row / 4.0f, 0.8f, 0.8f, 0.8f});
        }
    }
    for (int row = 0; row < kCells; ++row) {
        for (int column = 0; column < kCells; ++column) {
            const uint32_t a = uint32_t(row * (kCells + 1) + column);
            floor.indices.insert(floor.indices.end(), {a, a + 1, a + kCells + 2, a, a + kCells + 2, a + kCells + 1});
        }
    }
    scene.materials.push_back(std::move(floor));
    MaterialTexture texture;
    texture.revision = 1;
    texture.width = 256;
    texture.height = 256;
    texture.rgba.resize(256 * 256 * 4);
    for (uint8_t& byte : texture.rgba) byte = uint8_t(random() | 0x80);
    scene.textures.push_back(std::move(texture));
    scene.meshRevision = 1;
    scene.localPlayerId = 1;
    for (int id = 1; id <= kPlayers; ++id) {
        Character character;
        character.name = "Player " + std::to_string(id);
        for (auto& face : character.faces) face.assign(kFaceCanvasTexels, 0x203040u * uint32_t(id));
        scene.characters[id] = character;
        scene.characterRevisions[id] = 1;
        scene.characterGenerations[id] = 1;
        ChatEntry line;
        line.seq = uint32_t(id);
        line.from = id;
        line.name = character.name;
        line.receivedMs = 1000;
        line.text = "A line of chat from player " + std::to_string(id) + " that wraps onto a second line";
        appendChatLine(scene, line);
    }
    return scene;
}

std::vector<Player> gamePlayers() {
    std::vector<Player> players;
    for (int id = 1; id <= kPlayers; ++id) {
        Player p;
        p.id = id;
        p.x = id == 1 ? 0 : float(id % 8) * 1.5f - 6;
        p.y = id == 1 ? -2 : float(id / 8) * 1.5f;
        p.heading = float(id);
        players.push_back(p);
    }
    return players;
}

void gameFrames(benchmark::State& state, bool withOverlay, bool finish) {
    if (!glWindow().ok()) {
        state.SkipWithError("no OpenGL context (run under xvfb-run)");
        return;
    }
    Graphics graphics;
    graphics.initialize(createOpenGlBackend());
    {
        const Font font = vobu::testing::testFont();
        const Scene scene = gameScene();
        const std::vector<Player> players = gamePlayers();
        Renderer renderer;
        renderer.initialize(&graphics, &font);
        double nowMs = 2000;
        renderer.setClock([&nowMs] { return nowMs; });
        GameOverlay overlay;
        overlay.graphics = &graphics;
        overlay.font = &font;
        overlay.setLayout(kWidth - 376, 16, kWidth, kHeight);
        if (withOverlay) {
            overlay.openChat();
            overlay.chatField.replaceSelection("a line being typed");
        }
        auto frame = [&] {
            renderer.draw(scene, players, kWidth, kHeight, 1.0 / 60, kWidth / 2, kHeight / 2, true);
            if (withOverlay) {
                overlay.update(1.0 / 60, scene);
                overlay.draw(scene);
            }
            if (finish) glFinish();
        };
        // Every bubble shown (and uploaded) and every body assembled first.
        for (int i = 0; i < 240; ++i) frame();
        const uint64_t bytesBefore = graphics.uploadCounters().bytes;
        for (auto _ : state) frame();
        state.counters["upload_bytes_per_frame"] =
            double(graphics.uploadCounters().bytes - bytesBefore) / double(state.iterations());
        if (withOverlay) overlay.closeChat();
    }
    graphics.clearTextures();
    graphics.shutdown();
}

void BM_GameFrameLlvmpipe(benchmark::State& state) { gameFrames(state, state.range(0) != 0, false); }
BENCHMARK(BM_GameFrameLlvmpipe)->ArgName("overlay")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_GameFrameLlvmpipeFinished(benchmark::State& state) { gameFrames(state, state.range(0) != 0, true); }
BENCHMARK(BM_GameFrameLlvmpipeFinished)
    ->ArgName("overlay")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
