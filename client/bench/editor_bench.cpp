// The editor's screen: rebuilding the canvas of the face view with its
// paint panel, rebuilding the skin atlas after one stroke, and whole frames
// through OpenGL with the pointer moving (each motion redraws the canvas)
// and with nothing happening.

#include <GL/gl.h>
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <memory>

#include "bench_gl_window.h"
#include "editor/character_editor.h"
#include "editor/paint_ops.h"
#include "support/test_font.h"

namespace vobu {
namespace {

// The settled face view of the Front face of the default character.
void openFaceView(CharacterEditor& editor, Graphics& graphics) {
    editor.font = testing::testFont();
    editor.graphics = &graphics;
    editor.character.id = "bench";
    editor.library.characters.push_back(editor.character);
    editor.selectedIndex = 0;
    editor.openEditor();
    editor.pointerX = 900;
    editor.pointerY = 300;
    editor.draw(1020, 680);
}

void BM_EditorBuildUiFaceView(benchmark::State& state) {
    Graphics graphics;
    CharacterEditor editor;
    openFaceView(editor, graphics);
    editor.tool = int(state.range(0));
    for (auto _ : state) {
        editor.buildUi();
        benchmark::DoNotOptimize(editor.canvas.pixels.data());
    }
    state.SetLabel(state.range(0) == CharacterEditor::ToolBrush ? "brush rows" : "pen");
}
BENCHMARK(BM_EditorBuildUiFaceView)
    ->Arg(CharacterEditor::ToolPen)
    ->Arg(CharacterEditor::ToolBrush)
    ->Unit(benchmark::kMillisecond);

// The same rebuild when the wheel's pixels have to be worked out again, as
// on the first rebuild of a run.
void BM_EditorBuildUiFaceViewFirstWheel(benchmark::State& state) {
    Graphics graphics;
    CharacterEditor editor;
    openFaceView(editor, graphics);
    for (auto _ : state) {
        editor.wheelPixels.clear();
        editor.buildUi();
        benchmark::DoNotOptimize(editor.canvas.pixels.data());
    }
}
BENCHMARK(BM_EditorBuildUiFaceViewFirstWheel)->Unit(benchmark::kMillisecond);

// One brush stroke across the face, then the atlas the next frame rebuilds
// and hands to Graphics.
void BM_EditorSkinAtlasAfterStroke(benchmark::State& state) {
    Graphics graphics;
    CharacterEditor editor;
    openFaceView(editor, graphics);
    uint32_t color = 0;
    for (auto _ : state) {
        paintStroke(editor.character, FaceFront, 0, 10, 31, 40, 4, true, ++color & 0xFFFFFF, FaceRect{0, 0, 32, 64});
        editor.markEdited(true);
        benchmark::DoNotOptimize(editor.uploadSkinAtlas());
    }
}
BENCHMARK(BM_EditorSkinAtlasAfterStroke)->Unit(benchmark::kMicrosecond);

// Whole frames through OpenGL (llvmpipe under Xvfb) at 1020 x 680, each
// finished before the next. Moving: the pointer moves every frame over the
// 3D view, outside the face, so every frame rebuilds the canvas (the same
// pixels: the arrow is a quad of its own, and nothing is sent).
void editorFrames(benchmark::State& state, bool moving) {
    static bench::BenchGlWindow window("editor bench", 1020, 680);
    if (!window.ok()) {
        state.SkipWithError("no OpenGL window");
        return;
    }
    Graphics graphics;
    graphics.initialize(createOpenGlBackend());
    CharacterEditor editor;
    openFaceView(editor, graphics);
    // The first frame's uploads (canvas, skin, arrow) are not counted.
    editor.updatePointer(99, 300);
    editor.draw(1020, 680);
    glFinish();
    const UploadCounters before = graphics.uploadCounters();
    int step = 0;
    for (auto _ : state) {
        if (moving) editor.updatePointer(100 + (step++ % 80), 300);
        editor.update(1.0 / 60);
        editor.draw(1020, 680);
        glFinish();
    }
    state.counters["uploads/frame"] = benchmark::Counter(double(graphics.uploadCounters().uploads - before.uploads),
                                                         benchmark::Counter::kAvgIterations);
    state.counters["bytes/frame"] =
        benchmark::Counter(double(graphics.uploadCounters().bytes - before.bytes), benchmark::Counter::kAvgIterations);
    graphics.clearTextures();
    graphics.shutdown();
}

void BM_EditorFramePointerMoving(benchmark::State& state) { editorFrames(state, true); }
void BM_EditorFrameIdle(benchmark::State& state) { editorFrames(state, false); }
// The CPU column is the main thread's time; the process_time runs add
// llvmpipe's rasterising threads.
BENCHMARK(BM_EditorFramePointerMoving)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EditorFramePointerMoving)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_EditorFrameIdle)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EditorFrameIdle)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
}  // namespace vobu
