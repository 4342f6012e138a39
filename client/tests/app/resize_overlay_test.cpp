#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/resize_overlay.h"
#include "support/recording_backend.h"
#include "support/test_font.h"
#include "ui/resize_badge.h"

namespace vobu {
namespace {

// Records every repaint the overlay asks for.
struct Recorder {
    std::vector<std::pair<int, int>> repaints;
    ResizeOverlay::Callback callback() {
        return [this](int w, int h) { repaints.emplace_back(w, h); };
    }
};

using Sizes = std::vector<std::pair<int, int>>;

TEST(ResizeOverlay, DetachedOverlayHandlesNothing) {
    ResizeOverlay overlay;
    EXPECT_FALSE(overlay.attached());
    EXPECT_FALSE(overlay.enterSizeMove(100, 100));
    EXPECT_FALSE(overlay.timer(100, 100));
    EXPECT_FALSE(overlay.eraseBackground());
    EXPECT_FALSE(overlay.size(200, 100));
    EXPECT_FALSE(overlay.exitSizeMove());
    EXPECT_FALSE(overlay.destroyed());
}

TEST(ResizeOverlay, BorderPressWithoutASizeChangeNeverRepaints) {
    Recorder recorder;
    ResizeOverlay overlay;
    overlay.attachState(recorder.callback());
    overlay.enterSizeMove(1020, 680);
    EXPECT_TRUE(overlay.state()->timerRunning);
    EXPECT_TRUE(overlay.timer(1020, 680));  // the timer is ours, but nothing changed
    overlay.size(1020, 680);
    EXPECT_FALSE(overlay.eraseBackground());  // the previous handling erases
    overlay.exitSizeMove();
    EXPECT_FALSE(overlay.state()->timerRunning);
    EXPECT_TRUE(recorder.repaints.empty());
}

TEST(ResizeOverlay, DragRepaintsOnSizeAndTimerUntilRelease) {
    Recorder recorder;
    ResizeOverlay overlay;
    overlay.attachState(recorder.callback());
    overlay.enterSizeMove(1020, 680);
    overlay.size(1100, 680);
    EXPECT_TRUE(overlay.state()->changed);
    EXPECT_TRUE(overlay.eraseBackground());  // no flash of the old background
    overlay.timer(1100, 680);
    overlay.size(1020, 680);  // back to the start size: still changed
    overlay.timer(1280, 720);
    overlay.exitSizeMove();
    EXPECT_FALSE(overlay.state()->changed);
    EXPECT_FALSE(overlay.eraseBackground());
    EXPECT_FALSE(overlay.timer(1280, 720));  // timer killed
    overlay.size(1300, 700);                 // outside a size loop
    EXPECT_EQ(recorder.repaints, (Sizes{{1100, 680}, {1100, 680}, {1020, 680}, {1280, 720}}));

    // A new size loop starts unchanged again.
    overlay.enterSizeMove(1280, 720);
    overlay.timer(1280, 720);
    EXPECT_EQ(recorder.repaints.size(), 4u);
}

TEST(ResizeOverlay, ZeroSizeIsSkipped) {
    Recorder recorder;
    ResizeOverlay overlay;
    overlay.attachState(recorder.callback());
    overlay.enterSizeMove(800, 600);
    overlay.size(800, 0);  // minimised while sizing
    overlay.timer(800, 0);
    overlay.timer(0, 600);
    EXPECT_TRUE(recorder.repaints.empty());
    EXPECT_TRUE(overlay.state()->changed);
    overlay.timer(640, 480);
    EXPECT_EQ(recorder.repaints, (Sizes{{640, 480}}));
}

TEST(ResizeOverlay, FailingRepaintIsLoggedAndTheLoopGoesOn) {
    std::vector<std::string> logs;
    SDL_LogOutputFunction previous = nullptr;
    void* previousData = nullptr;
    SDL_LogGetOutputFunction(&previous, &previousData);
    SDL_LogSetOutputFunction(
        [](void* data, int, SDL_LogPriority, const char* message) {
            static_cast<std::vector<std::string>*>(data)->push_back(message);
        },
        &logs);

    int calls = 0;
    ResizeOverlay overlay;
    overlay.attachState([&](int, int) {
        ++calls;
        if (calls == 1) throw std::runtime_error("no context");
        throw 42;  // not even a std::exception
    });
    overlay.enterSizeMove(100, 100);
    overlay.size(120, 100);
    EXPECT_FALSE(overlay.state()->drawing);
    overlay.timer(130, 100);
    EXPECT_FALSE(overlay.state()->drawing);
    SDL_LogSetOutputFunction(previous, previousData);

    EXPECT_EQ(calls, 2);
    EXPECT_EQ(logs, (std::vector<std::string>{"Resize overlay rendering failed", "Resize overlay rendering failed"}));
}

TEST(ResizeOverlay, RepaintDoesNotReenterItself) {
    ResizeOverlay overlay;
    Sizes repaints;
    overlay.attachState([&](int w, int h) {
        repaints.emplace_back(w, h);
        EXPECT_TRUE(overlay.state()->drawing);
        overlay.size(w + 1, h);  // a size message sent during the repaint
        overlay.timer(w + 2, h);
    });
    overlay.enterSizeMove(100, 100);
    overlay.size(200, 100);
    EXPECT_EQ(repaints, (Sizes{{200, 100}}));
}

TEST(ResizeOverlay, DestroyedWindowStopsRepaintsAndDetachStillFrees) {
    Recorder recorder;
    ResizeOverlay overlay;
    overlay.attachState(recorder.callback());
    overlay.enterSizeMove(100, 100);
    overlay.size(150, 100);
    overlay.destroyed();
    EXPECT_FALSE(overlay.state()->timerRunning);
    overlay.size(160, 100);
    EXPECT_FALSE(overlay.timer(170, 100));
    EXPECT_EQ(recorder.repaints, (Sizes{{150, 100}}));
    overlay.detach();
    EXPECT_FALSE(overlay.attached());
}

TEST(ResizeOverlay, AttachFailsWithoutNativeWindowInformation) {
    Recorder recorder;
    ResizeOverlay overlay;
    EXPECT_FALSE(overlay.attach(nullptr, recorder.callback()));
    EXPECT_FALSE(overlay.attached());

    // A window of SDL's dummy video driver has no native window behind it.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("dummy", 0, 0, 64, 64, 0);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    overlay.attachState(recorder.callback());  // an earlier attach is replaced
    EXPECT_FALSE(overlay.attach(window, recorder.callback()));
    EXPECT_FALSE(overlay.attached());
    SDL_DestroyWindow(window);
    SDL_Quit();
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
}

// Needs a display: run by ctest under Xvfb with VOBU_REQUIRE_DISPLAY set.
TEST(ResizeOverlayX11, AttachSucceedsForARealWindow) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        if (std::getenv("VOBU_REQUIRE_DISPLAY") != nullptr) FAIL() << SDL_GetError();
        GTEST_SKIP() << "no display: " << SDL_GetError();
    }
    std::string driver = SDL_GetCurrentVideoDriver();
    if (driver != "x11" && driver != "wayland") {
        SDL_Quit();
        if (std::getenv("VOBU_REQUIRE_DISPLAY") != nullptr) FAIL() << "video driver " << driver;
        GTEST_SKIP() << "no window system, video driver " << driver;
    }
    SDL_Window* window = SDL_CreateWindow("resize", 0, 0, 64, 64, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    Recorder recorder;
    {
        ResizeOverlay overlay;
        EXPECT_TRUE(overlay.attach(window, recorder.callback()));
        EXPECT_TRUE(overlay.attached());
        // SDL's own resizing sends none of the size-loop events here.
        SDL_SetWindowSize(window, 200, 100);
        SDL_PumpEvents();
        EXPECT_TRUE(recorder.repaints.empty());
    }
    SDL_DestroyWindow(window);
    SDL_Quit();
}

// ---- ResizeBadge --------------------------------------------------------

TEST(ResizeBadge, DrawsTheCentredSizeAndRendersOnlyOnChange) {
    Font font = testing::testFont();
    testing::Recording rec;
    Graphics graphics(std::make_unique<testing::RecordingBackend>(rec));
    ResizeBadge badge;

    badge.draw(graphics, font, 1280, 720);
    ASSERT_NE(badge.texture, 0u);
    EXPECT_EQ(badge.width, 1280);
    EXPECT_EQ(badge.height, 720);
    EXPECT_EQ(badge.textWidth, 10 * 8);  // "1280 x 720"
    const Texture& texture = graphics.textures().at(badge.texture);
    EXPECT_EQ(texture.width, 512);
    EXPECT_EQ(texture.height, 32);
    EXPECT_TRUE(texture.linear);
    EXPECT_FALSE(texture.repeat);
    uint32_t version = texture.version;

    badge.draw(graphics, font, 1280, 720);  // same size: no new texture
    EXPECT_EQ(graphics.textures().at(badge.texture).version, version);
    badge.draw(graphics, font, 1281, 720);
    EXPECT_EQ(graphics.textures().at(badge.texture).version, version + 1);
    EXPECT_EQ(graphics.textures().size(), 1u);  // the same handle is reused

    EXPECT_EQ(rec.frames, (Sizes{{1280, 720}, {1280, 720}, {1281, 720}}));
    ASSERT_EQ(rec.draws.size(), 3u);
    EXPECT_EQ(rec.uploads.size(), 2u);
    const DrawState& state = rec.draws[0].state;
    EXPECT_FALSE(state.depthTest);
    EXPECT_EQ(state.blend, DrawState::Blend::Alpha);
    EXPECT_FALSE(state.cull);
}

TEST(ResizeBadge, NothingForANonPositiveSize) {
    Font font = testing::testFont();
    testing::Recording rec;
    Graphics graphics(std::make_unique<testing::RecordingBackend>(rec));
    ResizeBadge badge;
    badge.draw(graphics, font, 0, 720);
    badge.draw(graphics, font, 640, -1);
    EXPECT_TRUE(rec.frames.empty());
    EXPECT_EQ(badge.texture, 0u);
}

TEST(ResizeBadge, QuadGeometry) {
    // "640 x 480" is 72 pixels: left 284, right 356, top 232, bottom 248.
    std::vector<Vertex> quad = ResizeBadge::quad(640, 480, 72);
    ASSERT_EQ(quad.size(), 6u);
    auto clipX = [](int px) { return 2.0f * float(px) / 640.0f - 1.0f; };
    auto clipY = [](int py) { return 1.0f - 2.0f * float(py) / 480.0f; };
    float u = 72.0f / 512.0f;
    struct Corner {
        float x, y, u, v;
    };
    std::vector<Corner> expected = {
        {clipX(284), clipY(232), 0, 0}, {clipX(284), clipY(248), 0, 0.5f}, {clipX(356), clipY(248), u, 0.5f},
        {clipX(284), clipY(232), 0, 0}, {clipX(356), clipY(248), u, 0.5f}, {clipX(356), clipY(232), u, 0},
    };
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(quad[i].x, expected[i].x) << i;
        EXPECT_EQ(quad[i].y, expected[i].y) << i;
        EXPECT_EQ(quad[i].u, expected[i].u) << i;
        EXPECT_EQ(quad[i].v, expected[i].v) << i;
        EXPECT_EQ(quad[i].w, 1.0f);
        EXPECT_EQ(quad[i].r, 1.0f);
        EXPECT_EQ(quad[i].g, 1.0f);
        EXPECT_EQ(quad[i].b, 1.0f);
    }
    // Odd sizes halve toward zero.
    std::vector<Vertex> odd = ResizeBadge::quad(101, 17, 40);
    EXPECT_EQ(odd[0].x, 2.0f * 30.0f / 101.0f - 1.0f);
    EXPECT_EQ(odd[0].y, 1.0f);  // top = (17 - 16) / 2 = 0
}

TEST(ResizeBadge, TextImageIsOpaqueWhiteGlyphsInTheTopRows) {
    Font font = testing::testFont();
    std::vector<uint8_t> image = ResizeBadge::renderText(font, "7 x");
    ASSERT_EQ(image.size(), 512u * 32u * 4u);
    auto pixel = [&](int x, int y) {
        uint8_t const* p = &image[(size_t(y) * 512 + x) * 4];
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    };
    std::string text = "7 x";
    for (size_t i = 0; i < text.size(); ++i) {
        const Glyph& glyph = font.glyph(uint32_t(text[i]));
        for (int row = 0; row < 32; ++row) {
            for (int column = 0; column < 8; ++column) {
                bool inked = row < 16 && glyph.inked(column, row);
                ASSERT_EQ(pixel(int(i) * 8 + column, row), inked ? 0xffffffffu : 0u);
            }
        }
    }
    for (int x = 24; x < 512; ++x) ASSERT_EQ(pixel(x, 3), 0u);
}

}  // namespace
}  // namespace vobu
