// Pasting through the X11 clipboard from another program (xclip) on a real
// X server: a 4 MB PNG, and a 3000 x 3000 screenshot-sized one (both noise,
// so they are as large as their pixels). Needs a display; run it under
// client/tests/e2e/run_under_xvfb.py. Each iteration is one whole paste:
// TARGETS, the transfer in INCR pieces and the decode of the corner.

// benchmark before Xlib, whose macros would break its headers.
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "editor/clipboard_image.h"

extern char** environ;

namespace vobu {
namespace {

std::string python() { return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3"; }

// A noise PNG made by Pillow, offered by xclip until the benchmark ends.
class OfferedNoise {
public:
    OfferedNoise(int width, int height) {
        path_ = (std::filesystem::temp_directory_path() /
                 ("vobu-clipboard-bench-" + std::to_string(getpid()) + "-" + std::to_string(width) + ".png"))
                    .string();
        const std::string make = python() + " " + VOBU_SOURCE_DIR +
                                 "/client/tests/editor/fixtures/clipboard/make_fixtures.py --noise " +
                                 std::to_string(width) + " " + std::to_string(height) + " " + path_;
        if (std::system(make.c_str()) != 0) return;
        bytes_ = std::filesystem::file_size(path_);
        std::string args[] = {"xclip", "-selection", "clipboard", "-t", "image/png", "-quiet", "-i", path_};
        char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(), args[4].data(),
                        args[5].data(), args[6].data(), args[7].data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 01, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 01, 0);
        if (posix_spawnp(&pid_, "xclip", &actions, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~OfferedNoise() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }

    // True once xclip holds the clipboard with the PNG.
    bool ready(ImageClipboardCalls& calls) {
        if (pid_ <= 0) return false;
        for (int i = 0; i < 250; ++i) {
            std::vector<std::string> targets;
            if (calls.listTargets(targets) == ClipboardFetch::Ok && targets.size() == 2 && targets[1] == "image/png") {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    uintmax_t bytes() const { return bytes_; }

private:
    std::string path_;
    uintmax_t bytes_ = 0;
    pid_t pid_ = -1;
};

void BM_PastePngFromAnotherProgram(benchmark::State& state) {
    Display* probe = XOpenDisplay(nullptr);
    if (probe == nullptr) {
        state.SkipWithError("no X display: run under run_under_xvfb.py");
        return;
    }
    XCloseDisplay(probe);
    ImageClipboardCalls calls = systemImageClipboardCalls();
    installImageClipboard(calls);
    OfferedNoise offer(int(state.range(0)), int(state.range(1)));
    if (!offer.ready(calls)) {
        state.SkipWithError("xclip did not take the clipboard");
        return;
    }
    RgbaImage image;
    std::string status;
    for (auto _ : state) {
        pasteImageFromClipboard();
        takeClipboardImage(image, status);
        if (!status.empty() || image.width != 64) {
            state.SkipWithError(("paste failed: " + status).c_str());
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(offer.bytes()));
    state.SetLabel(std::to_string(offer.bytes() / 1000) + " kB PNG");
    installImageClipboard(unavailableImageClipboardCalls());
}
// 1180 x 1180 noise is about 4 MB as a PNG; 3000 x 3000 about 27 MB.
BENCHMARK(BM_PastePngFromAnotherProgram)
    ->Args({1180, 1180})
    ->Args({3000, 3000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace vobu
