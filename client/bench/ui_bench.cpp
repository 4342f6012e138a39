// Toolkit costs per screen repaint: a full-canvas clear and fill, a list box
// of 30 rows, a paragraph wrapped and drawn, and a name-tag label render.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "ui/font.h"
#include "ui/label_sprite.h"
#include "ui/list_box.h"
#include "ui/text.h"
#include "ui/ui_canvas.h"

namespace vobu {
namespace {

const Font& benchFont() {
    static const Font font = [] {
        std::vector<Glyph> glyphs;
        for (uint32_t cp = 0x20; cp < 0x7F; ++cp) {
            Glyph g;
            g.codePoint = cp;
            g.width = 8;
            for (size_t i = 0; i < 16; ++i) g.bitmap[i] = uint8_t(cp * 5 + i * 29);
            glyphs.push_back(g);
        }
        Glyph replacement;
        replacement.codePoint = 0xFFFD;
        replacement.bitmap.fill(0xFF);
        glyphs.push_back(replacement);
        Font f;
        f.load(encodeUnifontGlyphs(glyphs));
        return f;
    }();
    return font;
}

void BM_CanvasClearAndFill(benchmark::State& state) {
    UiCanvas canvas;
    for (auto _ : state) {
        canvas.clear();
        canvas.fillRect(0, 0, 1020, 680, 0xff24142e);
        benchmark::DoNotOptimize(canvas.pixels.data());
    }
}
BENCHMARK(BM_CanvasClearAndFill)->Unit(benchmark::kMillisecond);

void BM_ListBoxDraw(benchmark::State& state) {
    UiCanvas canvas;
    ListBox list;
    list.setLayout(24, 188, 954, 424, 30, 48);
    list.select(4);
    std::vector<ListItem> items;
    for (int i = 0; i < 30; ++i) {
        items.push_back({"^#ffcc00Server " + std::to_string(i) + "^r: a title of fair length",
                         "Message of the day, with some words in it", true});
    }
    for (auto _ : state) {
        list.draw(canvas, benchFont(), items);
        benchmark::DoNotOptimize(canvas.pixels.data());
    }
}
BENCHMARK(BM_ListBoxDraw)->Unit(benchmark::kMicrosecond);

void BM_WrapAndDrawChatLine(benchmark::State& state) {
    UiCanvas canvas;
    std::string text;
    for (int i = 0; i < 16; ++i) text += "^#88ff88word^r and another few words ";
    for (auto _ : state) {
        std::vector<std::string> lines = wrapText(benchFont(), text, 360, 280, true);
        for (size_t i = 0; i < lines.size(); ++i) {
            drawText(canvas, benchFont(), lines[i], 16, 300 + 18 * int(i), 0xff9694a8, true);
        }
        benchmark::DoNotOptimize(lines.data());
    }
}
BENCHMARK(BM_WrapAndDrawChatLine)->Unit(benchmark::kMicrosecond);

void BM_RenderNameTag(benchmark::State& state) {
    for (auto _ : state) {
        LabelSprite sprite = renderLabel(benchFont(), "A player name of 24 chars");
        benchmark::DoNotOptimize(sprite.pixels.data());
    }
}
BENCHMARK(BM_RenderNameTag)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vobu
