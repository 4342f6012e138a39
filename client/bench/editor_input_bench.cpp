// The editor's pointer path: motion events of a stroke across a whole face,
// and a frame that shows the preview of a long, wide line.

#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "editor/character_editor.h"
#include "support/recording_backend.h"
#include "support/sdl_events.h"
#include "ui/font.h"

namespace vobu {
namespace {

Font asciiFont() {
    std::vector<Glyph> glyphs;
    for (uint32_t cp = 0x20; cp <= 0x7E; ++cp) {
        Glyph glyph;
        glyph.codePoint = cp;
        for (int row = 0; row < 16; ++row) glyph.bitmap[row] = uint8_t(cp * 7 + row);
        glyphs.push_back(glyph);
    }
    Glyph replacement;
    replacement.codePoint = 0xFFFD;
    glyphs.push_back(replacement);
    Font font;
    font.load(encodeUnifontGlyphs(glyphs));
    return font;
}

// The face view of the Front face of a 64 x 64 x 64 box.
struct EditorAtFace {
    testing::Recording recording;
    Graphics graphics{std::make_unique<testing::RecordingBackend>(recording)};
    CharacterEditor editor;

    EditorAtFace() {
        editor.font = asciiFont();
        editor.graphics = &graphics;
        Character character;
        character.id = "bench";
        character.setSize(64, 64, 64);
        editor.library.characters.push_back(character);
        editor.selectedIndex = 0;
        editor.showLibrary();
        editor.openEditor();
        editor.draw(1020, 680);
    }
    std::pair<int, int> texelCentre(float tx, float ty) const {
        return {int(std::lround((tx + 0.5f) * editor.pixelsPerTexel + editor.faceLeft)),
                int(std::lround((ty + 0.5f) * editor.pixelsPerTexel + editor.faceTop))};
    }
    // The line tool with a 16-texel brush, held from corner to corner.
    void holdLineAcrossTheFace() {
        editor.tool = CharacterEditor::ToolLine;
        editor.brushSize = 16;
        auto [ax, ay] = texelCentre(0, 0);
        auto [bx, by] = texelCentre(63, 63);
        editor.handleEvent(testing::mouseDown(ax, ay));
        editor.handleEvent(testing::mouseMotion(bx, by));
    }
};

// One stroke sweeping the whole face in rows 2 texels apart, about 1000
// motion events per stroke (one second of a fast mouse).
void strokeAcrossTheFace(benchmark::State& state) {
    EditorAtFace setup;
    CharacterEditor& editor = setup.editor;
    editor.tool = int(state.range(0));
    editor.brushSize = int(state.range(1));
    std::vector<SDL_Event> events;
    auto [x0, y0] = setup.texelCentre(0, 0);
    events.push_back(testing::mouseDown(x0, y0));
    int lastX = x0;
    int lastY = y0;
    for (int i = 0; i < 1000; ++i) {
        float row = float(i / 31) * 2.0f;
        float column = float(i % 31) * 63.0f / 30.0f;
        if ((i / 31) % 2 == 1) column = 63.0f - column;
        auto [x, y] = setup.texelCentre(column, row);
        events.push_back(testing::mouseMotion(x, y, x - lastX, y - lastY));
        lastX = x;
        lastY = y;
    }
    events.push_back(testing::mouseUp(lastX, lastY));
    int64_t handled = 0;
    for (auto _ : state) {
        for (const SDL_Event& event : events) editor.handleEvent(event);
        handled += int64_t(events.size());
        state.PauseTiming();
        editor.undoStack.clear();
        state.ResumeTiming();
    }
    int painted = 0;
    for (uint32_t texel : editor.character.faces[0]) painted += texel == editor.primaryColor;
    state.counters["painted_texels"] = double(painted);
    state.SetItemsProcessed(handled);
    state.counters["time_per_event"] =
        benchmark::Counter(double(handled), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(strokeAcrossTheFace)
    ->ArgNames({"tool", "brush"})
    ->Args({CharacterEditor::ToolPen, 1})
    ->Args({CharacterEditor::ToolBrush, 16})
    ->Unit(benchmark::kMillisecond);

// The texels of a 64-texel line with a 16-texel round brush, each once.
void linePreviewTexels(benchmark::State& state) {
    EditorAtFace setup;
    CharacterEditor& editor = setup.editor;
    setup.holdLineAcrossTheFace();
    size_t count = 0;
    for (auto _ : state) {
        std::vector<std::pair<int, int>> texels = editor.linePreviewTexels();
        count = texels.size();
        benchmark::DoNotOptimize(texels.data());
    }
    state.counters["texels"] = double(count);
}
BENCHMARK(linePreviewTexels)->Unit(benchmark::kMicrosecond);

// A whole frame (3D view, overlays with the line preview, canvas quad) while
// the line is held still, so the canvas is not rebuilt.
void frameWithLinePreview(benchmark::State& state) {
    EditorAtFace setup;
    CharacterEditor& editor = setup.editor;
    setup.holdLineAcrossTheFace();
    editor.draw(1020, 680);
    for (auto _ : state) {
        setup.recording.draws.clear();
        setup.recording.calls.clear();
        editor.draw(1020, 680);
    }
    size_t vertices = 0;
    for (const testing::RecordedDraw& draw : setup.recording.draws) vertices += draw.vertices.size();
    state.counters["vertices"] = double(vertices);
}
BENCHMARK(frameWithLinePreview)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vobu
