// The in-game overlay's costs per frame: looking around with the mouse (the
// pointer moves every frame; nothing shown changes, so nothing should be
// repainted or uploaded), the pointer sweeping over the buttons, a full
// repaint, and the chat log with 200 lines of 2048 bytes in the Scene: the
// rebuild after a new line, the first frames of a log met from nothing, and
// the whole log wrapped at once, and the frame of a thumb drag. Uses GNU Unifont when it is installed, so that
// glyph lookups search a table of the real size.

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

#include "browser/game_overlay.h"
#include "net/chat_messages.h"
#include "support/recording_backend.h"
#include "support/sdl_events.h"
#include "support/unifont.h"
#include "ui/font.h"
#include "ui/graphics.h"

namespace vobu {
namespace {

// Words of 2..11 letters, now and then a coloured or non-Latin one.
std::string chatText(std::mt19937& random, size_t bytes, bool formatted) {
    std::string text;
    while (text.size() < bytes) {
        if (!text.empty()) text += ' ';
        const int letters = 2 + int(random() % 10);
        if (formatted && random() % 8 == 0) text += "^#ffcc00";
        if (random() % 16 == 0) {
            text += "\xe4\xb8\x96\xe7\x95\x8c";  // two CJK ideographs
        } else {
            for (int i = 0; i < letters; ++i) text += char('a' + random() % 26);
        }
    }
    text.resize(bytes);
    // Never end inside a multi-byte character.
    while (!text.empty() && (uint8_t(text.back()) & 0xC0) == 0x80) text.pop_back();
    while (!text.empty() && uint8_t(text.back()) >= 0xC0) text.pop_back();
    return text;
}

ChatEntry benchLine(std::mt19937& random, uint32_t seq, size_t bytes) {
    ChatEntry entry;
    entry.seq = seq;
    entry.system = seq % 10 == 0;
    entry.formatted = entry.system;
    entry.from = entry.system ? 0 : int32_t(2 + seq % 5);
    entry.to = seq % 7 == 0 ? 1 : 0;
    entry.name = "Player " + std::to_string(entry.from);
    entry.toName = "Me";
    entry.text = chatText(random, bytes, entry.formatted);
    return entry;
}

struct OverlayBench {
    testing::Recording recording;
    Graphics graphics{std::make_unique<testing::RecordingBackend>(recording)};
    Scene scene;
    GameOverlay overlay;
    std::mt19937 random{7};
    uint32_t seq = 1;

    // With firstFrame false the log is left for the caller's first frame.
    explicit OverlayBench(size_t lines, size_t bytes, bool firstFrame = true) {
        overlay.graphics = &graphics;
        overlay.font = &testing::unifontOrStandIn();
        overlay.setLayout(644, 16, 1020, 680);
        scene.localPlayerId = 1;
        scene.characters[1].name = "Me";
        for (size_t i = 0; i < lines; ++i) appendChatLine(scene, benchLine(random, seq++, bytes));
        if (firstFrame) frame();
    }

    void frame() {
        overlay.update(1.0 / 60.0, scene);
        overlay.draw(scene);
    }

    void motion(int x, int y, int xrel, int yrel) {
        overlay.handleEvent(testing::mouseMotion(x, y, xrel, yrel), scene);
    }
};

void reportUploads(benchmark::State& state, const Graphics& graphics, uint64_t bytesBefore, uint64_t uploadsBefore) {
    const double frames = double(state.iterations());
    state.counters["upload_bytes_per_frame"] = double(graphics.uploadCounters().bytes - bytesBefore) / frames;
    state.counters["uploads_per_frame"] = double(graphics.uploadCounters().uploads - uploadsBefore) / frames;
}

// Mouse look over the world with the chat closed: two motion events a frame.
void BM_OverlayLookAround(benchmark::State& state) {
    OverlayBench bench(200, 120);
    const uint64_t bytes = bench.graphics.uploadCounters().bytes;
    const uint64_t uploads = bench.graphics.uploadCounters().uploads;
    int i = 0;
    for (auto _ : state) {
        bench.motion(510 + i % 40, 400 + i % 30, 3, -2);
        bench.motion(510 + (i + 7) % 40, 400 + (i + 3) % 30, -1, 2);
        bench.frame();
        ++i;
    }
    reportUploads(state, bench.graphics, bytes, uploads);
}
BENCHMARK(BM_OverlayLookAround)->Unit(benchmark::kMicrosecond);

// The pointer sweeping across the whole window, over the log and the buttons.
void BM_OverlayPointerSweep(benchmark::State& state) {
    OverlayBench bench(200, 120);
    const uint64_t bytes = bench.graphics.uploadCounters().bytes;
    const uint64_t uploads = bench.graphics.uploadCounters().uploads;
    int i = 0;
    for (auto _ : state) {
        bench.motion((i * 13) % 1020, (i * 7) % 120, 13, 7);
        bench.frame();
        ++i;
    }
    reportUploads(state, bench.graphics, bytes, uploads);
}
BENCHMARK(BM_OverlayPointerSweep)->Unit(benchmark::kMicrosecond);

// What every pointer motion used to cost: a repaint of both areas (uploads
// happen only where the pixels differ).
void BM_OverlayRepaint(benchmark::State& state) {
    OverlayBench bench(200, 120);
    bench.overlay.openChat();
    for (auto _ : state) {
        bench.overlay.dirty = true;
        bench.frame();
    }
}
BENCHMARK(BM_OverlayRepaint)->Unit(benchmark::kMicrosecond);

// A full log of 200 lines of 2048 bytes; each iteration appends one line
// (the oldest drops out) and rebuilds the log.
void BM_ChatLogRebuildAfterNewLine(benchmark::State& state) {
    OverlayBench bench(200, 2048);
    std::vector<ChatEntry> incoming;
    for (int i = 0; i < 64; ++i) incoming.push_back(benchLine(bench.random, 0, 2048));
    size_t next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ChatEntry entry = incoming[next++ % incoming.size()];
        entry.seq = bench.seq++;
        appendChatLine(bench.scene, std::move(entry));
        state.ResumeTiming();
        bench.overlay.rebuildChatLog(bench.scene);
    }
    state.counters["log_lines"] = double(bench.overlay.logLines.size());
}
BENCHMARK(BM_ChatLogRebuildAfterNewLine)->Unit(benchmark::kMillisecond);

// A log of that many lines of 2048 bytes met from nothing (a game that starts
// with a history, a replaced Scene) by an overlay that has wrapped none of
// its texts before: the first frame wraps the newest entries the view needs
// and a first batch of older ones.
void BM_ChatLogFirstFrameFromScratch(benchmark::State& state) {
    std::unique_ptr<OverlayBench> bench;
    for (auto _ : state) {
        state.PauseTiming();
        bench = std::make_unique<OverlayBench>(size_t(state.range(0)), 2048, false);
        state.ResumeTiming();
        bench->overlay.update(1.0 / 60.0, bench->scene);
    }
    state.counters["log_lines"] = double(bench->overlay.logLines.size());
}
BENCHMARK(BM_ChatLogFirstFrameFromScratch)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);

// The frames after that, while the older entries are wrapped a batch a frame.
void BM_ChatLogCatchUpFrame(benchmark::State& state) {
    auto bench = std::make_unique<OverlayBench>(200, 2048);
    size_t frames = 0;
    size_t runs = 0;
    for (auto _ : state) {
        if (bench->overlay.unwrappedEntries() == 0) {
            state.PauseTiming();
            bench = std::make_unique<OverlayBench>(200, 2048);
            ++runs;
            state.ResumeTiming();
        }
        bench->overlay.update(1.0 / 60.0, bench->scene);
        ++frames;
    }
    state.counters["frames_to_complete"] = runs == 0 ? 0.0 : double(frames) / double(runs) + 1.0;
}
BENCHMARK(BM_ChatLogCatchUpFrame)->Unit(benchmark::kMillisecond);

// Everything at once, as dragging the thumb asks for of an overlay that has
// wrapped none of the log's texts before: the whole cost.
void BM_ChatLogWrapWhole(benchmark::State& state) {
    std::unique_ptr<OverlayBench> bench;
    SDL_Event drag{};
    drag.type = SDL_MOUSEBUTTONDOWN;
    drag.button.button = SDL_BUTTON_LEFT;
    drag.button.x = 16 + 355;
    drag.button.y = 12 + 100;
    SDL_Event release = drag;
    release.type = SDL_MOUSEBUTTONUP;
    for (auto _ : state) {
        state.PauseTiming();
        bench = std::make_unique<OverlayBench>(200, 2048);
        state.ResumeTiming();
        bench->overlay.handleEvent(drag, bench->scene);
        bench->overlay.handleEvent(release, bench->scene);
    }
    state.counters["log_lines"] = double(bench->overlay.logLines.size());
}
BENCHMARK(BM_ChatLogWrapWhole)->Iterations(40)->Unit(benchmark::kMillisecond);

// The frame in which the thumb is taken and dragged: the press (which needs
// every line of the log), a motion over the track and the repaint. The log
// has just been rebuilt from nothing, as at the start of the next game on
// the same server (range 0), or has never been shown to this overlay
// (range 1: nothing of it was wrapped before).
void BM_ChatLogThumbDragFrame(benchmark::State& state) {
    const bool neverShown = state.range(0) == 1;
    auto bench = std::make_unique<OverlayBench>(200, 2048);
    SDL_Event press{};
    press.type = SDL_MOUSEBUTTONDOWN;
    press.button.button = SDL_BUTTON_LEFT;
    press.button.x = 16 + 355;
    press.button.y = 12 + 100;
    SDL_Event release = press;
    release.type = SDL_MOUSEBUTTONUP;
    // The log shown whole once, as a game that has run a while.
    bench->overlay.handleEvent(press, bench->scene);
    uint64_t wrappedBytes = 0;
    int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        bench->overlay.handleEvent(release, bench->scene);
        if (neverShown) bench = std::make_unique<OverlayBench>(200, 2048);
        bench->overlay.reset();
        bench->frame();
        const uint64_t before = bench->overlay.wrappedTextBytes();
        state.ResumeTiming();
        bench->overlay.handleEvent(press, bench->scene);
        bench->motion(16 + 355, 12 + 8 + (i++ * 37) % 180, 0, 5);
        bench->frame();
        wrappedBytes += bench->overlay.wrappedTextBytes() - before;
    }
    state.counters["wrapped_bytes_per_drag"] = double(wrappedBytes) / double(state.iterations());
    state.counters["log_lines"] = double(bench->overlay.logLines.size());
}
// A set number of drags: the set-up of each, outside the timing, outweighs
// a drag that wraps nothing.
BENCHMARK(BM_ChatLogThumbDragFrame)->Arg(0)->Arg(1)->Iterations(60)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vobu
