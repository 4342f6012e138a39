// The image clipboard on a real X server (Xvfb), with xclip as the other
// program. Registered only under Xvfb; without a display the cases skip,
// unless VOBU_REQUIRE_DISPLAY is set (the Xvfb run sets it).

// gtest before Xlib, whose macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include <SDL.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "editor/clipboard_fixtures.h"
#include "editor/clipboard_image.h"
#include "editor/dib.h"
#include "support/clipboard_manager_stand_in.h"

extern char** environ;

namespace vobu {
namespace {

using Clock = std::chrono::steady_clock;
using testing::clipboardFixturePath;
using testing::ManagerStandIn;
using testing::readClipboardFixture;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::string python() { return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3"; }

// Runs a shell command line made only of our own fixed words and paths.
std::vector<uint8_t> capture(const std::string& command) {
    std::vector<uint8_t> out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    uint8_t buffer[65536];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.insert(out.end(), buffer, buffer + got);
    pclose(pipe);
    return out;
}

std::string captureText(const std::string& command) {
    std::vector<uint8_t> bytes = capture(command);
    return {bytes.begin(), bytes.end()};
}

// xclip serving the clipboard in the foreground until it loses it or is
// stopped.
class XclipOffer {
public:
    XclipOffer(const std::string& target, const std::string& file) {
        std::vector<std::string> args = {"xclip", "-selection", "clipboard", "-quiet", "-i", file};
        if (!target.empty()) args.insert(args.begin() + 3, {"-t", target});
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid_, "xclip", &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~XclipOffer() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    XclipOffer(const XclipOffer&) = delete;
    XclipOffer& operator=(const XclipOffer&) = delete;

    bool started() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

// clipboard_exit_helper: copies the 3 x 2 fixture, prints the copy's status
// and exits when its standard input closes.
class ExitHelper {
public:
    ExitHelper() {
        int in[2];
        int out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        char program[] = VOBU_CLIPBOARD_EXIT_HELPER;
        char* argv[] = {program, nullptr};
        if (posix_spawn(&pid_, program, &actions, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
    }
    ~ExitHelper() {
        if (stdin_ >= 0) close(stdin_);
        if (stdout_ >= 0) close(stdout_);
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    ExitHelper(const ExitHelper&) = delete;
    ExitHelper& operator=(const ExitHelper&) = delete;

    // The copy's status line (empty when none came within five seconds).
    std::string statusLine() {
        std::string line;
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        char c = 0;
        while (Clock::now() < deadline) {
            pollfd fd = {stdout_, POLLIN, 0};
            if (poll(&fd, 1, 50) <= 0) continue;
            if (read(stdout_, &c, 1) != 1 || c == '\n') break;
            line += c;
        }
        return line;
    }

    // Lets the helper end; the seconds from then until it has exited, or
    // -1 when it had not within ten seconds or failed.
    double exitSeconds() {
        close(stdin_);
        stdin_ = -1;
        const auto start = Clock::now();
        while (secondsSince(start) < 10) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? secondsSince(start) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
};

bool startsLikePng(const std::vector<uint8_t>& bytes) {
    return bytes.size() > 8 && std::string(bytes.begin() + 1, bytes.begin() + 4) == "PNG";
}

class ClipboardXvfb : public ::testing::Test {
protected:
    void SetUp() override {
        probe_ = XOpenDisplay(nullptr);
        if (probe_ == nullptr) {
            if (std::getenv("VOBU_REQUIRE_DISPLAY")) FAIL() << "no X display";
            GTEST_SKIP() << "no X display";
        }
        folder_ = std::filesystem::temp_directory_path() / ("vobu-clipboard-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder_);
        calls_ = systemImageClipboardCalls();
        // A hidden test window never has the keyboard focus; the focus rule
        // has its own case below.
        ImageClipboardCalls focused = calls_;
        focused.ourWindowHasFocus = [] { return true; };
        installImageClipboard(focused);
        drain();
    }
    void TearDown() override {
        if (probe_) XCloseDisplay(probe_);
        installImageClipboard(unavailableImageClipboardCalls());
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    static void drain() {
        RgbaImage image;
        std::string status;
        takeClipboardImage(image, status);
    }

    static std::pair<RgbaImage, std::string> take() {
        RgbaImage image;
        std::string status = "nothing taken";
        EXPECT_TRUE(takeClipboardImage(image, status));
        return {image, status};
    }

    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    Window clipboardOwner() { return XGetSelectionOwner(probe_, XInternAtom(probe_, "CLIPBOARD", False)); }

    // Waits until another owner than `before` offers `target` (xclip needs
    // a moment to take the clipboard).
    bool offered(Window before, const std::string& target) {
        const auto start = Clock::now();
        while (secondsSince(start) < 5) {
            const Window now = clipboardOwner();
            if (now == None || now == before) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                continue;
            }
            std::vector<std::string> targets;
            if (calls_.listTargets(targets) == ClipboardFetch::Ok &&
                std::find(targets.begin(), targets.end(), target) != targets.end()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    static void copyAndExpectCopied(const RgbaImage& image) {
        copyImageToClipboard(image);
        auto [ignored, status] = take();
        ASSERT_EQ(status, "Image copied.");
    }

    Display* probe_ = nullptr;
    std::filesystem::path folder_;
    ImageClipboardCalls calls_;
};

RgbaImage threeByTwo() { return testing::fixtureImage("copy_3x2.rgba", 3, 2); }

RgbaImage pattern(int width, int height) {
    RgbaImage image{width, height, std::vector<uint8_t>(size_t(width) * height * 4)};
    for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = uint8_t(i * 2654435761u >> 13);
    return image;
}

TEST_F(ClipboardXvfb, CopyOffersTargetsAndTheExactBitmapToAnotherProgram) {
    copyAndExpectCopied(threeByTwo());
    const std::string targets = captureText("timeout 5 xclip -selection clipboard -t TARGETS -o");
    EXPECT_NE(targets.find("image/bmp"), std::string::npos) << targets;
    EXPECT_NE(targets.find("image/png"), std::string::npos) << targets;
    EXPECT_NE(targets.find("TIMESTAMP"), std::string::npos) << targets;
    EXPECT_EQ(capture("timeout 5 xclip -selection clipboard -t image/bmp -o"), readClipboardFixture("copy_3x2.bmp"));

    // The PNG form, read by Pillow: RGB without alpha, the same colours.
    const std::string png = path("copied.png");
    ASSERT_EQ(std::system(("timeout 5 xclip -selection clipboard -t image/png -o > " + png).c_str()), 0);
    const std::string seen = captureText(python() +
                                         " -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
                                         "print(im.mode, im.size[0], im.size[1], im.tobytes().hex())\" " +
                                         png);
    const RgbaImage image = threeByTwo();
    std::string rgb;
    char hex[3];
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        if (i % 4 == 3) continue;
        std::snprintf(hex, sizeof hex, "%02x", image.pixels[i]);
        rgb += hex;
    }
    EXPECT_EQ(seen, "RGB 3 2 " + rgb + "\n");
}

TEST_F(ClipboardXvfb, LargeCopyGoesToAnotherProgramInPieces) {
    const RgbaImage image = pattern(700, 500);  // about a megabyte as a bitmap
    copyAndExpectCopied(image);
    EXPECT_EQ(capture("timeout 10 xclip -selection clipboard -t image/bmp -o"), bmpFileFromDib(writeDib(image)));
}

// The requestor asks for a large form, takes the first step of the INCR
// transfer and vanishes: our next write hits a window that is gone, which
// must cost nothing but that transfer.
TEST_F(ClipboardXvfb, RequestorVanishingMidTransferLeavesTheClipboardServed) {
    const RgbaImage image = pattern(700, 500);
    copyAndExpectCopied(image);
    Display* gone = XOpenDisplay(nullptr);
    ASSERT_NE(gone, nullptr);
    Window window = XCreateSimpleWindow(gone, DefaultRootWindow(gone), 0, 0, 1, 1, 0, 0, 0);
    const Atom property = XInternAtom(gone, "VANISHING", False);
    XConvertSelection(gone, XInternAtom(gone, "CLIPBOARD", False), XInternAtom(gone, "image/bmp", False), property,
                      window, CurrentTime);
    XEvent event;
    bool notified = false;
    for (int i = 0; i < 500 && !notified; ++i) {
        XSync(gone, False);
        notified = XCheckTypedWindowEvent(gone, window, SelectionNotify, &event);
        if (!notified) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(notified);
    // Deleting the INCR announcement asks for the first piece; the window is
    // gone before it can land.
    XDeleteProperty(gone, window, property);
    XDestroyWindow(gone, window);
    XCloseDisplay(gone);
    EXPECT_EQ(capture("timeout 10 xclip -selection clipboard -t image/bmp -o"), bmpFileFromDib(writeDib(image)));
}

TEST_F(ClipboardXvfb, PngOfferedByAnotherProgramPastesAsItsCorner) {
    const Window before = clipboardOwner();
    XclipOffer xclip("image/png", clipboardFixturePath("picture_200x100.png"));
    ASSERT_TRUE(xclip.started());
    ASSERT_TRUE(offered(before, "image/png"));
    pasteImageFromClipboard();
    auto [image, status] = take();
    EXPECT_EQ(status, "");
    ASSERT_EQ(image.width, 64);
    ASSERT_EQ(image.height, 64);
    EXPECT_EQ(image.pixels, testing::pictureCorner().pixels);
}

TEST_F(ClipboardXvfb, BitmapOfferedByAnotherProgramPastesAsItsCorner) {
    const Window before = clipboardOwner();
    XclipOffer xclip("image/bmp", clipboardFixturePath("picture_200x100_topdown.bmp"));
    ASSERT_TRUE(offered(before, "image/bmp"));
    pasteImageFromClipboard();
    auto [image, status] = take();
    EXPECT_EQ(status, "");
    EXPECT_EQ(image.pixels, testing::pictureCorner().pixels);
}

TEST_F(ClipboardXvfb, TextOnlyIsNotABitmap) {
    const std::string text = path("text.txt");
    std::ofstream(text) << "just words";
    const Window before = clipboardOwner();
    XclipOffer xclip("", text);
    ASSERT_TRUE(offered(before, "UTF8_STRING") || offered(before, "STRING"));
    pasteImageFromClipboard();
    auto [image, status] = take();
    EXPECT_EQ(status, "Clipboard does not contain a supported bitmap.");
    EXPECT_TRUE(image.pixels.empty());
}

TEST_F(ClipboardXvfb, OfferBeyondTheCapIsRefusedWhileItArrives) {
    const std::string big = path("big.png");
    std::ofstream(big).close();
    std::filesystem::resize_file(big, kMaxClipboardBytes + 1);
    const Window before = clipboardOwner();
    XclipOffer xclip("image/png", big);
    ASSERT_TRUE(offered(before, "image/png"));
    std::vector<uint8_t> bytes;
    EXPECT_EQ(calls_.fetch("image/png", bytes), ClipboardFetch::Missing);
    EXPECT_LE(bytes.size(), kMaxClipboardBytes);
    pasteImageFromClipboard();
    auto [image, status] = take();
    EXPECT_EQ(status, "Clipboard does not contain a supported bitmap.");
}

TEST_F(ClipboardXvfb, OwnerThatNeverAnswersLeavesTheClipboardBusy) {
    Display* silent = XOpenDisplay(nullptr);
    ASSERT_NE(silent, nullptr);
    Window window = XCreateSimpleWindow(silent, DefaultRootWindow(silent), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(silent, XInternAtom(silent, "CLIPBOARD", False), window, CurrentTime);
    XSync(silent, False);
    const auto start = Clock::now();
    pasteImageFromClipboard();
    const double seconds = secondsSince(start);
    auto [image, status] = take();
    EXPECT_EQ(status, "Clipboard is busy.");
    EXPECT_TRUE(image.pixels.empty());
    EXPECT_LT(seconds, 5.0) << "the wait is bounded";
    XCloseDisplay(silent);
}

TEST_F(ClipboardXvfb, OwnCopyPastesBackWithoutStalling) {
    copyAndExpectCopied(threeByTwo());
    const auto start = Clock::now();
    pasteImageFromClipboard();
    const double seconds = secondsSince(start);
    auto [image, status] = take();
    EXPECT_EQ(status, "");
    ASSERT_EQ(image.width, 3);
    EXPECT_EQ(image.pixels[0], 255);
    EXPECT_EQ(image.pixels[3], 255);
    // A stall would be the whole second of the read's wait.
    EXPECT_LT(seconds, 0.5);
}

TEST_F(ClipboardXvfb, LargeScreenshotPastesInPieces) {
    const std::string png = path("noise.png");
    ASSERT_EQ(
        std::system((python() + " " + clipboardFixturePath("make_fixtures.py") + " --noise 3000 3000 " + png).c_str()),
        0);
    const Window before = clipboardOwner();
    XclipOffer xclip("image/png", png);
    ASSERT_TRUE(offered(before, "image/png"));
    const auto start = Clock::now();
    pasteImageFromClipboard();
    const double seconds = secondsSince(start);
    auto [image, status] = take();
    EXPECT_EQ(status, "");
    EXPECT_EQ(image.width, 64);
    EXPECT_EQ(image.height, 64);
    std::printf("3000 x 3000 PNG (%ju bytes) pasted in %.3f s\n", uintmax_t(std::filesystem::file_size(png)), seconds);
    EXPECT_LT(seconds, 10.0) << "the read hung";

    // Every byte arrives, in order.
    std::vector<uint8_t> bytes;
    ASSERT_EQ(calls_.fetch("image/png", bytes), ClipboardFetch::Ok);
    std::ifstream in(png, std::ios::binary);
    EXPECT_TRUE(bytes == std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

// SDL's text paste asks the CLIPBOARD owner and waits for its answer while
// pumping only SDL's own connection. An owner that nobody serves during that
// wait holds SDL's paste for its whole second; ours is served by its own
// thread.
class SdlTextPaste : public ClipboardXvfb {
protected:
    void SetUp() override {
        ClipboardXvfb::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        window_ = SDL_CreateWindow("clipboard", 0, 0, 32, 32, SDL_WINDOW_HIDDEN);
        ASSERT_NE(window_, nullptr) << SDL_GetError();
    }
    void TearDown() override {
        if (window_) SDL_DestroyWindow(window_);
        window_ = nullptr;
        SDL_Quit();
        ClipboardXvfb::TearDown();
    }

    static double timeTextPaste() {
        const auto start = Clock::now();
        char* text = SDL_GetClipboardText();
        const double seconds = secondsSince(start);
        SDL_free(text);
        return seconds;
    }

    SDL_Window* window_ = nullptr;
};

TEST_F(SdlTextPaste, AnOwnerNobodyServesStallsIt) {
    Display* silent = XOpenDisplay(nullptr);
    ASSERT_NE(silent, nullptr);
    Window window = XCreateSimpleWindow(silent, DefaultRootWindow(silent), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(silent, XInternAtom(silent, "CLIPBOARD", False), window, CurrentTime);
    XSync(silent, False);
    EXPECT_GT(timeTextPaste(), 0.8);
    XCloseDisplay(silent);
}

TEST_F(SdlTextPaste, ReturnsAtOnceRightAfterAnImageCopyAndLeavesTheImage) {
    copyAndExpectCopied(threeByTwo());
    EXPECT_LT(timeTextPaste(), 0.5);
    // SDL takes the clipboard itself after a timeout; ours must still hold.
    EXPECT_EQ(capture("timeout 5 xclip -selection clipboard -t image/bmp -o"), readClipboardFixture("copy_3x2.bmp"));
}

TEST_F(SdlTextPaste, CopyNeedsTheKeyboardFocusOnAWindowOfOurs) {
    installImageClipboard(calls_);
    copyImageToClipboard(threeByTwo());
    auto [hiddenImage, hidden] = take();
    EXPECT_EQ(hidden, "Clipboard is busy.");

    SDL_ShowWindow(window_);
    SDL_SetWindowInputFocus(window_);
    const auto start = Clock::now();
    while (SDL_GetKeyboardFocus() != window_ && secondsSince(start) < 5) {
        SDL_PumpEvents();
        SDL_Delay(10);
    }
    ASSERT_EQ(SDL_GetKeyboardFocus(), window_) << "the window never got the focus";
    copyImageToClipboard(threeByTwo());
    auto [focusedImage, focused] = take();
    EXPECT_EQ(focused, "Image copied.");
}

// -- the hand-over to a clipboard manager at exit -----------------------------

TEST_F(ClipboardXvfb, ExitHandsTheCopiedImageToAClipboardManager) {
    for (auto fetch : {ManagerStandIn::Fetch::Multiple, ManagerStandIn::Fetch::OneByOne}) {
        SCOPED_TRACE(fetch == ManagerStandIn::Fetch::Multiple ? "through MULTIPLE" : "one target at a time");
        ManagerStandIn manager(fetch);
        ASSERT_TRUE(manager.owns());
        ExitHelper helper;
        ASSERT_EQ(helper.statusLine(), "Image copied.");
        const double seconds = helper.exitSeconds();
        ASSERT_GE(seconds, 0) << "the helper did not exit cleanly";
        ManagerStandIn::Report report = manager.report(2);
        ASSERT_TRUE(report.asked) << "no SAVE_TARGETS request";
        EXPECT_EQ(report.listed, (std::vector<std::string>{"image/bmp", "image/png"}));
        EXPECT_EQ(report.got["image/bmp"], readClipboardFixture("copy_3x2.bmp"));
        EXPECT_TRUE(startsLikePng(report.got["image/png"]));
        // The manager's answer ends the wait, not its deadline.
        EXPECT_LT(seconds, 0.9);
    }
}

TEST_F(ClipboardXvfb, ExitWithoutAClipboardManagerDoesNotWait) {
    ASSERT_EQ(XGetSelectionOwner(probe_, XInternAtom(probe_, "CLIPBOARD_MANAGER", False)), 0u);
    ExitHelper helper;
    ASSERT_EQ(helper.statusLine(), "Image copied.");
    const double seconds = helper.exitSeconds();
    ASSERT_GE(seconds, 0) << "the helper did not exit cleanly";
    // A wait for a manager would take the whole second.
    EXPECT_LT(seconds, 0.8);
}

TEST_F(ClipboardXvfb, ExitWaitsForAManagerThatNeverAnswersOnlyAboutASecond) {
    ManagerStandIn manager(ManagerStandIn::Fetch::Never);
    ASSERT_TRUE(manager.owns());
    ExitHelper helper;
    ASSERT_EQ(helper.statusLine(), "Image copied.");
    const double seconds = helper.exitSeconds();
    ASSERT_GE(seconds, 0) << "the helper did not exit cleanly";
    EXPECT_TRUE(manager.report(2).asked);
    EXPECT_GT(seconds, 0.5) << "a slow manager gets its time";
    EXPECT_LT(seconds, 3.0);
}

TEST_F(ClipboardXvfb, ExitAfterAnotherProgramTookTheClipboardHandsNothingOver) {
    ManagerStandIn manager(ManagerStandIn::Fetch::OneByOne);
    ASSERT_TRUE(manager.owns());
    ExitHelper helper;
    ASSERT_EQ(helper.statusLine(), "Image copied.");
    const std::string text = path("text.txt");
    std::ofstream(text) << "newer words";
    const Window helperOwner = clipboardOwner();
    XclipOffer xclip("", text);
    ASSERT_TRUE(offered(helperOwner, "UTF8_STRING") || offered(helperOwner, "STRING"));
    ASSERT_GE(helper.exitSeconds(), 0);
    EXPECT_FALSE(manager.report(1.5).asked);
}

}  // namespace
}  // namespace vobu
