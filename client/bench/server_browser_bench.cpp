// The title screen's costs per frame: a full canvas redraw with 48 rows, a
// frame in which nothing changed (no canvas upload may happen), and, with
// the real transports, the longest frame while 16 saved servers whose names
// do not resolve are asked one after another (each start blocks on its name
// lookup). Uses GNU Unifont when it is installed.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "browser/server_browser.h"
#include "character/user_files.h"
#include "support/fake_transport.h"
#include "support/recording_backend.h"
#include "support/unifont.h"
#include "ui/font.h"
#include "ui/graphics.h"
#include "vobupack/logo.h"

namespace vobu {
namespace {

// A per-user folder of the benchmark's own, so no real list is read.
std::string privateUserFolder() {
    static const std::string root = [] {
        char pattern[] = "/tmp/vobu-browser-bench-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        std::string path = made ? made : "/tmp";
        ::setenv("XDG_DATA_HOME", path.c_str(), 1);
        return path;
    }();
    return root;
}

// A directory reply of 32 servers, the most one holds, with long coloured
// titles and messages; the other 16 rows are saved servers.
std::string fullDirectoryReply() {
    nlohmann::json servers = nlohmann::json::array();
    for (int i = 0; i < 32; ++i) {
        servers.push_back({{"title", "^#ffcc00Server " + std::to_string(i) + "^r with a long and colourful name"},
                           {"motd", "Message of the day number " + std::to_string(i) + ": ^#80ff80welcome^r, " +
                                        std::string(60, 'x')},
                           {"url", "ws://s" + std::to_string(i) + ".example/vobu"}});
    }
    return nlohmann::json{{"servers", servers}, {"type", "directory"}}.dump();
}

struct TitleScreen {
    testing::Recording recording;
    Graphics graphics{std::make_unique<testing::RecordingBackend>(recording)};
    double nowMs = 0;
    testing::FakeNet net;  // lines that stay quiet: the rows come from replies fed in
    ServerBrowser browser{net.factory()};
    std::vector<Character> characters = std::vector<Character>(2);

    TitleScreen() {
        browser.setClock([this] { return nowMs; });
        privateUserFolder();
        browser.initialize(graphics, testing::unifontOrStandIn(), "ws://directory.example/vobu",
                           vobupack::encodeLogo(vobupack::drawLogo(testing::unifontOrStandIn(), "VobuGame")));
        const std::string reply = fullDirectoryReply();
        browser.parseDirectory(reply.data(), unsigned(reply.size()));
        for (int i = 0; i < 16; ++i) browser.savedServers.push_back("ws://saved" + std::to_string(i) + ".example/vobu");
        browser.rebuildRows("");
        browser.controls.focusId = "servers.list";
    }
};

void BM_TitleCanvasRedraw48Rows(benchmark::State& state) {
    TitleScreen screen;
    if (screen.browser.rows.size() != 48) state.SkipWithError("expected 48 rows");
    for (auto _ : state) {
        screen.browser.redrawCanvas();
        benchmark::DoNotOptimize(screen.browser.canvas.pixels.data());
    }
}
BENCHMARK(BM_TitleCanvasRedraw48Rows)->Unit(benchmark::kMicrosecond);

// A whole frame with nothing changed: poll, canvas quad, parade and logo.
void BM_TitleFrameUnchanged(benchmark::State& state) {
    TitleScreen screen;
    screen.browser.update();
    screen.browser.draw(1020, 680, screen.characters, 1);
    screen.recording.uploads.clear();
    const uint32_t canvas = screen.browser.canvasTexture;
    const uint32_t canvasVersion = screen.graphics.textures().at(canvas).version;
    size_t canvasUploads = 0;
    int64_t frames = 0;
    for (auto _ : state) {
        screen.nowMs += 16;
        screen.browser.update();
        screen.browser.draw(1020, 680, screen.characters, 1);
        for (const auto& upload : screen.recording.uploads)
            canvasUploads += upload.width == 1024 && upload.height == 1024;
        screen.recording.uploads.clear();
        screen.recording.draws.clear();
        screen.recording.calls.clear();
        ++frames;
    }
    state.counters["canvas_uploads_per_frame"] = double(canvasUploads) / double(std::max<int64_t>(frames, 1));
    if (canvasUploads != 0 || screen.graphics.textures().at(canvas).version != canvasVersion) {
        state.SkipWithError("the canvas was uploaded on a frame where nothing changed");
    }
}
BENCHMARK(BM_TitleFrameUnchanged)->Unit(benchmark::kMicrosecond);

// The longest frame while 16 saved servers with unresolvable names are
// started at the 150 ms pace with the real transports and the real clock.
void BM_TitleLongestFrameWithUnresolvableServers(benchmark::State& state) {
    privateUserFolder();
    for (auto _ : state) {
        testing::Recording recording;
        Graphics graphics(std::make_unique<testing::RecordingBackend>(recording));
        ServerBrowser browser;
        std::vector<std::string> saved;
        for (int i = 0; i < 16; ++i) saved.push_back("ws://no-such-server-" + std::to_string(i) + ".invalid/vobu");
        writeServersFile(nlohmann::json(saved).dump());
        browser.initialize(graphics, testing::unifontOrStandIn(), "ws://no-such-directory.invalid/vobu", {});
        double longestMs = 0;
        double totalMs = 0;
        int frames = 0;
        const auto begin = std::chrono::steady_clock::now();
        while (browser.failedUrls.size() < 16 && std::chrono::steady_clock::now() - begin < std::chrono::seconds(120)) {
            const auto start = std::chrono::steady_clock::now();
            browser.update();
            browser.draw(1020, 680, {}, 0);
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            longestMs = std::max(longestMs, ms);
            totalMs += ms;
            ++frames;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        state.counters["longest_frame_ms"] = longestMs;
        state.counters["mean_frame_ms"] = totalMs / std::max(frames, 1);
        state.counters["failed_servers"] = double(browser.failedUrls.size());
    }
}
BENCHMARK(BM_TitleLongestFrameWithUnresolvableServers)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vobu
