// One Renderer::draw at 1020 x 680 with the largest map the readers allow
// (16 materials, 65,536 vertices, 196,608 indices, 16 textures of 256 x 256),
// 32 players each with a speech bubble, 32 signs and the hover pick. Under
// Mesa's llvmpipe (run under xvfb-run with LIBGL_ALWAYS_SOFTWARE=1) it
// reports the CPU time of a frame and the texture uploads per frame; the
// "NoBackend" variants measure the renderer's own work without OpenGL.
#include <GL/gl.h>
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "bench_gl_window.h"
#include "support/test_font.h"
#include "ui/font.h"
#include "ui/graphics.h"
#include "world/renderer.h"
#include "world/scene.h"

namespace {

using namespace vobu;

constexpr int kWidth = 1020;
constexpr int kHeight = 680;
constexpr int kMaterials = 16;
constexpr int kVerticesPerMaterial = 65536 / kMaterials;
constexpr int kCellColumns = 64;
constexpr int kCellRows = 32;  // 2048 cells, 4096 triangles, 12288 indices a material
constexpr float kCell = 0.25f;

vobu::bench::BenchGlWindow& glWindow() {
    static vobu::bench::BenchGlWindow instance("presentation_bench", kWidth, kHeight);
    return instance;
}

// A 4 x 4 patchwork of gently rolling tiles, 16 x 8 units each, one
// material and one texture a tile, the player standing in the middle.
Scene largestScene() {
    Scene scene;
    std::mt19937 random(11);
    std::uniform_real_distribution<float> bump(-0.05f, 0.05f);
    for (int m = 0; m < kMaterials; ++m) {
        RenderMaterial material;
        material.number = uint32_t(m);
        const float x0 = float(m % 4) * 16 - 32;
        const float y0 = float(m / 4) * 8 - 16;
        int vertices = 0;
        for (int row = 0; row <= kCellRows; ++row) {
            for (int column = 0; column <= kCellColumns; ++column) {
                material.vertices.insert(material.vertices.end(),
                                         {x0 + column * kCell, y0 + row * kCell, bump(random), 0, 0, 1, column / 8.0f,
                                          row / 8.0f, 0.8f, 0.8f, 0.8f});
                ++vertices;
            }
        }
        for (; vertices < kVerticesPerMaterial; ++vertices) {  // the rest of the budget, unused
            material.vertices.insert(material.vertices.end(), {x0, y0, 0, 0, 0, 1, 0, 0, 1, 1, 1});
        }
        for (int row = 0; row < kCellRows; ++row) {
            for (int column = 0; column < kCellColumns; ++column) {
                const uint32_t a = uint32_t(row * (kCellColumns + 1) + column);
                const uint32_t b = a + 1, c = a + kCellColumns + 2, d = a + kCellColumns + 1;
                material.indices.insert(material.indices.end(), {a, b, c, a, c, d});
            }
        }
        scene.materials.push_back(std::move(material));

        MaterialTexture texture;
        texture.revision = 1;
        texture.width = 256;
        texture.height = 256;
        texture.hasTransparency = m % 8 == 7;
        texture.rgba.resize(256 * 256 * 4);
        for (uint8_t& byte : texture.rgba) byte = uint8_t(random());
        if (!texture.hasTransparency) {
            for (size_t i = 3; i < texture.rgba.size(); i += 4) texture.rgba[i] = 255;
        }
        scene.textures.push_back(std::move(texture));
    }
    scene.meshRevision = 1;
    scene.localPlayerId = 1;

    for (int id = 1; id <= 32; ++id) {
        Character character;
        character.name = "Player " + std::to_string(id);
        character.setSize(16 + id % 48, 32 + id % 32, 16 + (id * 7) % 48);
        for (auto& face : character.faces) face.assign(kFaceCanvasTexels, 0x102030u * uint32_t(id));
        scene.characters[id] = character;
        scene.characterRevisions[id] = 1;
        scene.characterGenerations[id] = 1;

        ChatEntry line;
        line.seq = uint32_t(id);
        line.from = id;
        line.receivedMs = 1000;
        line.text = "A line of chat from player " + std::to_string(id) + " that wraps onto a second line";
        scene.chat.push_back(line);

        SceneEntity sign;
        sign.id = id;
        sign.type = "text";
        sign.text = "Sign " + std::to_string(id) + "\n^#ffcc00with a coloured second line";
        sign.x = float(id % 8) * 2 - 8;
        sign.y = float(id / 8) * 2 + 2;
        sign.z = 1.5f;
        scene.entities.push_back(sign);
    }
    return scene;
}

std::vector<Player> largestPlayers() {
    std::vector<Player> players;
    for (int id = 1; id <= 32; ++id) {
        Player p;
        p.id = id;
        p.x = id == 1 ? 0 : float(id % 8) * 1.5 - 6;
        p.y = id == 1 ? -2 : float(id / 8) * 1.5;
        p.heading = float(id);
        players.push_back(p);
    }
    return players;
}

void drawFrames(benchmark::State& state, Graphics& graphics, bool finish) {
    const Font font = vobu::testing::testFont();
    const Scene scene = largestScene();
    std::vector<Player> players = largestPlayers();
    Renderer renderer;
    renderer.initialize(&graphics, &font);
    double nowMs = 2000;
    renderer.setClock([&nowMs] { return nowMs; });
    // Long enough for every bubble to show (and so be uploaded) and the bodies to assemble.
    for (int i = 0; i < 240; ++i)
        renderer.draw(scene, players, kWidth, kHeight, 1.0 / 60, kWidth / 2, kHeight / 2, true);
    const uint64_t uploadsBefore = graphics.uploadCounters().uploads;
    for (auto _ : state) {
        renderer.draw(scene, players, kWidth, kHeight, 1.0 / 60, kWidth / 2, kHeight / 2, true);
        if (finish) glFinish();
    }
    state.counters["uploads_per_frame"] =
        benchmark::Counter(double(graphics.uploadCounters().uploads - uploadsBefore) / double(state.iterations()));
    state.counters["occluder_triangles"] = double(renderer.occluders().size() / 3);
    graphics.clearTextures();
}

void BM_DrawLargestSceneLlvmpipe(benchmark::State& state) {
    if (!glWindow().ok()) {
        state.SkipWithError("no OpenGL context (run under xvfb-run)");
        return;
    }
    Graphics graphics;
    graphics.initialize(createOpenGlBackend());
    drawFrames(state, graphics, false);
    graphics.shutdown();
}
BENCHMARK(BM_DrawLargestSceneLlvmpipe)->Unit(benchmark::kMillisecond);

void BM_DrawLargestSceneLlvmpipeFinished(benchmark::State& state) {
    if (!glWindow().ok()) {
        state.SkipWithError("no OpenGL context (run under xvfb-run)");
        return;
    }
    Graphics graphics;
    graphics.initialize(createOpenGlBackend());
    drawFrames(state, graphics, true);
    graphics.shutdown();
}
BENCHMARK(BM_DrawLargestSceneLlvmpipeFinished)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DrawLargestSceneNoBackend(benchmark::State& state) {
    Graphics graphics;
    drawFrames(state, graphics, false);
}
BENCHMARK(BM_DrawLargestSceneNoBackend)->Unit(benchmark::kMillisecond);

void BM_PickLargestScene(benchmark::State& state) {
    Graphics graphics;
    const Font font = vobu::testing::testFont();
    const Scene scene = largestScene();
    const std::vector<Player> players = largestPlayers();
    Renderer renderer;
    renderer.initialize(&graphics, &font);
    renderer.setClock([] { return 2000.0; });
    renderer.draw(scene, players, kWidth, kHeight, 1.0 / 60, 0, 0, false);
    int x = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(renderer.pick(kWidth / 2 + x, kHeight / 2));
        x = (x + 37) % 200;
    }
}
BENCHMARK(BM_PickLargestScene)->Unit(benchmark::kMicrosecond);

}  // namespace
