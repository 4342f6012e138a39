// Graphics under Mesa's llvmpipe: a 65,536-triangle textured batch, a frame
// with many texture switches, and a full-screen canvas, each as milliseconds
// per frame and bytes uploaded per frame. Needs an X display (run it under
// xvfb-run with LIBGL_ALWAYS_SOFTWARE=1); without one it reports an error
// per benchmark and draws nothing.
#include <GL/gl.h>
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "bench_gl_window.h"
#include "ui/graphics.h"

namespace {

constexpr int kWidth = 1020;
constexpr int kHeight = 680;

vobu::bench::BenchGlWindow& glWindow() {
    static vobu::bench::BenchGlWindow instance("graphics_bench", kWidth, kHeight);
    return instance;
}

std::vector<uint8_t> noise(int width, int height, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> pixels(size_t(width) * height * 4);
    for (uint8_t& byte : pixels) byte = uint8_t(random());
    return pixels;
}

// Small triangles spread over the whole clip space.
std::vector<vobu::Vertex> scatteredTriangles(size_t count) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> position(-1.0f, 0.95f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<vobu::Vertex> vertices;
    vertices.reserve(count * 3);
    for (size_t i = 0; i < count; ++i) {
        const float x = position(random);
        const float y = position(random);
        const float z = unit(random) * 2 - 1;
        const float corners[3][2] = {{0, 0}, {0.04f, 0}, {0, 0.05f}};
        for (const auto& c : corners) {
            vobu::Vertex v;
            v.x = x + c[0];
            v.y = y + c[1];
            v.z = z;
            v.r = unit(random);
            v.g = unit(random);
            v.b = unit(random);
            v.u = unit(random);
            v.v = unit(random);
            vertices.push_back(v);
        }
    }
    return vertices;
}

std::vector<vobu::Vertex> quad(float left, float top, float size) {
    auto at = [](float x, float y, float u, float v) {
        vobu::Vertex vertex;
        vertex.x = x;
        vertex.y = y;
        vertex.u = u;
        vertex.v = v;
        return vertex;
    };
    return {at(left, top, 0, 0), at(left, top - size, 0, 1),        at(left + size, top - size, 1, 1),
            at(left, top, 0, 0), at(left + size, top - size, 1, 1), at(left + size, top, 1, 0)};
}

void finishFrame() {
    glFinish();
    SDL_GL_SwapWindow(glWindow().window);
}

void reportUploads(benchmark::State& state, const vobu::Graphics& graphics, const vobu::UploadCounters& before) {
    const double frames = double(state.iterations());
    state.counters["uploads_per_frame"] = double(graphics.uploadCounters().uploads - before.uploads) / frames;
    state.counters["bytes_uploaded_per_frame"] = double(graphics.uploadCounters().bytes - before.bytes) / frames;
}

// range(0): 1 feeds vertex arrays, 0 immediate-mode calls per vertex.
void BM_TexturedBatch65536(benchmark::State& state) {
    if (!glWindow().ok()) {
        state.SkipWithError("no OpenGL context (run under Xvfb)");
        return;
    }
    vobu::Graphics graphics;
    graphics.initialize(vobu::createOpenGlBackend(state.range(0) != 0));
    const uint32_t texture = graphics.setTexture(256, 256, noise(256, 256, 1), 0, true, true);
    const std::vector<vobu::Vertex> batch = scatteredTriangles(65536);
    auto frame = [&] {
        graphics.beginFrame(kWidth, kHeight);
        graphics.drawTriangles(batch, texture, true, false, false, false, 1.0f, false);
        finishFrame();
    };
    frame();  // the first frame uploads the texture
    vobu::UploadCounters const before = graphics.uploadCounters();
    for (auto _ : state) frame();
    reportUploads(state, graphics, before);
    state.SetItemsProcessed(state.iterations() * 65536);
    graphics.shutdown();
}
BENCHMARK(BM_TexturedBatch65536)->ArgName("vertexArrays")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// 64 textures of 128 x 128 drawn in turn, 2048 quads per frame. With one
// texture object per handle nothing is uploaded after the first frame; the
// single-image rule would upload a texture at every switch, which the
// counter "single_image_bytes_per_frame" shows for comparison.
void BM_ManyTextureSwitches(benchmark::State& state) {
    if (!glWindow().ok()) {
        state.SkipWithError("no OpenGL context (run under Xvfb)");
        return;
    }
    vobu::Graphics graphics;
    graphics.initialize(vobu::createOpenGlBackend(true));
    std::vector<uint32_t> textures;
    for (int i = 0; i < 64; ++i) textures.push_back(graphics.setTexture(128, 128, noise(128, 128, i), 0, false, false));
    std::vector<std::vector<vobu::Vertex>> quads;
    for (int i = 0; i < 2048; ++i)
        quads.push_back(quad(-1.0f + float(i % 64) / 32.0f, 1.0f - float(i / 64) / 16.0f, 0.05f));
    auto frame = [&] {
        graphics.beginFrame(kWidth, kHeight);
        for (size_t i = 0; i < quads.size(); ++i) {
            graphics.drawTriangles(quads[i], textures[i % textures.size()], false, true, false, false, 1.0f, false);
        }
        finishFrame();
    };
    frame();
    vobu::UploadCounters const before = graphics.uploadCounters();
    for (auto _ : state) frame();
    reportUploads(state, graphics, before);
    state.counters["single_image_bytes_per_frame"] = double(quads.size()) * 128 * 128 * 4;
    graphics.shutdown();
}
BENCHMARK(BM_ManyTextureSwitches)->Unit(benchmark::kMillisecond)->UseRealTime();

// A full 1024 x 1024 canvas quad; range(0): 1 when every pixel of the
// canvas changes every frame (one 4 MiB upload), 0 when the canvas is
// repainted the same (compared, nothing uploaded).
void BM_CanvasFrame(benchmark::State& state) {
    if (!glWindow().ok()) {
        state.SkipWithError("no OpenGL context (run under Xvfb)");
        return;
    }
    vobu::Graphics graphics;
    graphics.initialize(vobu::createOpenGlBackend(true));
    const std::vector<uint8_t> pixels = noise(1024, 1024, 3);
    const std::vector<uint8_t> other = noise(1024, 1024, 4);
    const uint32_t canvas = graphics.setTexture(1024, 1024, pixels, 0, true, false);
    bool flip = false;
    const std::vector<vobu::Vertex> screen = quad(-1.0f, 1.0f, 2.0f);
    const bool changing = state.range(0) != 0;
    auto frame = [&] {
        flip = !flip;
        graphics.setTexture(1024, 1024, changing && flip ? other : pixels, canvas, true, false);
        graphics.beginFrame(kWidth, kHeight);
        graphics.drawTriangles(screen, canvas, false, true, false, false, 1.0f, false);
        finishFrame();
    };
    frame();
    vobu::UploadCounters const before = graphics.uploadCounters();
    for (auto _ : state) frame();
    reportUploads(state, graphics, before);
    graphics.shutdown();
}
BENCHMARK(BM_CanvasFrame)->ArgName("changing")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
