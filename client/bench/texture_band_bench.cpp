// What a repainted canvas costs on its way to the GPU. Without a display:
// the row-band comparison of an unchanged 1024 x 1024 canvas against the
// stored copy, beside a 64-bit hash and a plain copy of the same 4 MiB (the
// other ways to find or pass on a change). Under Xvfb with llvmpipe: a
// canvas with a band of changed rows through Graphics (compare, copy,
// glTexSubImage2D of the band) beside a bare glTexSubImage2D of the same
// band on a bound texture, in the same run.
#include <GL/gl.h>
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench_gl_window.h"
#include "ui/graphics.h"
#include "ui/row_band.h"

namespace {

constexpr int kSide = 1024;
constexpr size_t kRowBytes = size_t(kSide) * 4;
constexpr size_t kCanvasBytes = kRowBytes * kSide;

std::vector<uint8_t> canvasPattern() {
    std::vector<uint8_t> pixels(kCanvasBytes);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t((i * 2654435761u) >> 24);
    return pixels;
}

void BM_RowCompareUnchangedCanvas(benchmark::State& state) {
    const std::vector<uint8_t> held = canvasPattern();
    const std::vector<uint8_t> incoming = held;
    for (auto _ : state) {
        vobu::RowBand band = vobu::differingRows(held.data(), incoming.data(), kRowBytes, kSide);
        benchmark::DoNotOptimize(band);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kCanvasBytes));
}
BENCHMARK(BM_RowCompareUnchangedCanvas)->Unit(benchmark::kMicrosecond);

// Reference: FNV-1a over 64-bit words, about the cheapest hash worth the name.
void BM_HashCanvasReference(benchmark::State& state) {
    const std::vector<uint8_t> pixels = canvasPattern();
    for (auto _ : state) {
        uint64_t hash = 1469598103934665603ull;
        for (size_t i = 0; i < pixels.size(); i += 8) {
            uint64_t word;
            std::memcpy(&word, pixels.data() + i, 8);
            hash = (hash ^ word) * 1099511628211ull;
        }
        benchmark::DoNotOptimize(hash);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kCanvasBytes));
}
BENCHMARK(BM_HashCanvasReference)->Unit(benchmark::kMicrosecond);

// Reference: the copy every repaint used to make of the whole canvas.
void BM_CopyCanvasReference(benchmark::State& state) {
    const std::vector<uint8_t> source = canvasPattern();
    std::vector<uint8_t> target(kCanvasBytes);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), kCanvasBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kCanvasBytes));
}
BENCHMARK(BM_CopyCanvasReference)->Unit(benchmark::kMicrosecond);

vobu::bench::BenchGlWindow& glWindow() {
    static vobu::bench::BenchGlWindow instance("texture_band_bench", 64, 64);
    return instance;
}

// One pixel's worth of triangle: the draw that makes Graphics upload.
std::vector<vobu::Vertex> speck() {
    std::vector<vobu::Vertex> triangle(3);
    triangle[1].x = 0.01f;
    triangle[2].y = 0.01f;
    return triangle;
}

// Two canvases that differ in rows [first, first + rows): each frame shows
// the other one, so every frame changes exactly that band.
struct BandPair {
    std::vector<uint8_t> a = canvasPattern();
    std::vector<uint8_t> b = a;
    explicit BandPair(int first, int rows) {
        for (size_t i = size_t(first) * kRowBytes; i < size_t(first + rows) * kRowBytes; ++i) b[i] ^= 0x5A;
    }
};

constexpr int kBandFirst = 208;

// range(0): rows in the band (19 a caret, 32 a button, 1024 the canvas).
void BM_CanvasBandThroughGraphics(benchmark::State& state) {
    if (!glWindow().ok()) {
        state.SkipWithError("no OpenGL context (run under Xvfb)");
        return;
    }
    const int rows = int(state.range(0));
    const int first = rows == kSide ? 0 : kBandFirst;
    const BandPair pair(first, rows);
    vobu::Graphics graphics;
    graphics.initialize(vobu::createOpenGlBackend(true));
    const uint32_t canvas = graphics.setTexture(kSide, kSide, pair.a, 0, true, false);
    const std::vector<vobu::Vertex> triangle = speck();
    graphics.drawTriangles(triangle, canvas, false, true, false, false, 1.0f, false);
    glFinish();
    const uint64_t bytesBefore = graphics.uploadCounters().bytes;
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        graphics.setTexture(kSide, kSide, flip ? pair.b : pair.a, canvas, true, false);
        graphics.drawTriangles(triangle, canvas, false, true, false, false, 1.0f, false);
        glFinish();
    }
    state.counters["bytes_per_frame"] =
        double(graphics.uploadCounters().bytes - bytesBefore) / double(state.iterations());
    graphics.shutdown();
}
BENCHMARK(BM_CanvasBandThroughGraphics)->ArgName("rows")->Arg(19)->Arg(32)->Arg(1024)->Unit(benchmark::kMicrosecond);

// Reference: the same band sent straight to a bound texture, no table, no compare.
void BM_BareSubImageReference(benchmark::State& state) {
    if (!glWindow().ok()) {
        state.SkipWithError("no OpenGL context (run under Xvfb)");
        return;
    }
    const int rows = int(state.range(0));
    const int first = rows == kSide ? 0 : kBandFirst;
    const BandPair pair(first, rows);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glEnable(GL_TEXTURE_2D);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kSide, kSide, 0, GL_RGBA, GL_UNSIGNED_BYTE, pair.a.data());
    auto drawSpeck = [] {
        glBegin(GL_TRIANGLES);
        glVertex2f(0, 0);
        glVertex2f(0.01f, 0);
        glVertex2f(0, 0.01f);
        glEnd();
    };
    drawSpeck();
    glFinish();
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        const std::vector<uint8_t>& image = flip ? pair.b : pair.a;
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, first, kSide, rows, GL_RGBA, GL_UNSIGNED_BYTE,
                        image.data() + size_t(first) * kRowBytes);
        drawSpeck();
        glFinish();
    }
    state.counters["bytes_per_frame"] = double(size_t(rows) * kRowBytes);
    glDeleteTextures(1, &texture);
    glDisable(GL_TEXTURE_2D);
}
BENCHMARK(BM_BareSubImageReference)->ArgName("rows")->Arg(19)->Arg(32)->Arg(1024)->Unit(benchmark::kMicrosecond);

}  // namespace
