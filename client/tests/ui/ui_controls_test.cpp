#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/press_control.h"
#include "support/test_font.h"
#include "ui/palette.h"
#include "ui/ui_controls.h"

namespace vobu {
namespace {

using testing::testFont;

// A screen with two buttons, a focus-only list and a disabled button, as a
// screen would rebuild it on every repaint. Clicks are recorded by id.
struct Screen {
    Font font = testFont();
    UiCanvas canvas;
    UiControls controls;
    std::vector<std::string> clicks;
    bool okEnabled = true;
    bool showOk = true;

    void repaint() {
        controls.controls.clear();
        canvas.clear();
        if (showOk) button("dialog.ok", 10, 10, 100, 30, okEnabled);
        button("dialog.cancel", 120, 10, 100, 30, true);
        controls.add(canvas, "dialog.list", 10, 50, 210, 100, click("dialog.list"), true);
        button("dialog.help", 230, 10, 60, 30, false);
    }
    void button(const std::string& id, int x, int y, int w, int h, bool enabled) {
        controls.addButton(canvas, font, id, x, y, w, h, id.substr(7), click(id), false, enabled);
    }
    std::function<void()> click(const std::string& id) {
        return [this, id] { clicks.push_back(id); };
    }
    void run(const std::function<void()>& action) {
        if (action) action();
    }
};

TEST(UiControls, ClickRulesTable) {
    struct Case {
        const char* name;
        int pressX, pressY;
        int releaseX, releaseY;
        double releaseAfter;
        std::vector<std::string> clicks;
    };
    std::vector<Case> cases = {
        {"quick release at the press point", 50, 20, 50, 20, 0.30, {"dialog.ok"}},
        {"exactly 0.35 s", 50, 20, 50, 20, 0.35, {"dialog.ok"}},
        {"too slow", 50, 20, 50, 20, 0.40, {}},
        {"4 pixels right", 50, 20, 54, 20, 0.1, {"dialog.ok"}},
        {"5 pixels right", 50, 20, 55, 20, 0.1, {}},
        {"4 pixels up and left", 50, 20, 46, 16, 0.1, {"dialog.ok"}},
        {"5 pixels down", 50, 20, 50, 25, 0.1, {}},
        {"near the point but outside the control", 108, 20, 111, 20, 0.1, {}},
        {"last pixel of the control", 109, 39, 109, 39, 0.1, {"dialog.ok"}},
        {"press on the disabled button", 250, 20, 250, 20, 0.1, {}},
        {"press on a focus-only control", 50, 80, 50, 80, 0.1, {}},
        {"press on nothing", 500, 500, 500, 500, 0.1, {}},
    };
    for (const Case& c : cases) {
        Screen screen;
        screen.repaint();
        double t0 = 100.0;
        screen.controls.press(c.pressX, c.pressY, t0);
        screen.repaint();
        screen.run(screen.controls.release(c.releaseX, c.releaseY, t0 + c.releaseAfter));
        EXPECT_EQ(screen.clicks, c.clicks) << c.name;
        EXPECT_FALSE(screen.controls.down) << c.name;
        EXPECT_TRUE(screen.controls.pressedId.empty()) << c.name;
    }
}

TEST(UiControls, PressReportsAHitAndRecordsIt) {
    Screen screen;
    screen.repaint();
    EXPECT_FALSE(screen.controls.press(250, 20, 1.0));  // disabled
    EXPECT_FALSE(screen.controls.down);
    EXPECT_TRUE(screen.controls.press(130, 15, 2.5));
    EXPECT_EQ(screen.controls.pressedId, "dialog.cancel");
    EXPECT_EQ(screen.controls.pressedRect.x, 120);
    EXPECT_EQ(screen.controls.pressedRect.width, 100);
    EXPECT_EQ(screen.controls.pressX, 130);
    EXPECT_EQ(screen.controls.pressY, 15);
    EXPECT_EQ(screen.controls.pressTime, 2.5);
    EXPECT_TRUE(screen.controls.down);
    EXPECT_FALSE(screen.controls.cancelled);
}

TEST(UiControls, DragOutAndBackThenReleaseDoesNotClick) {
    Screen screen;
    screen.repaint();
    screen.controls.press(50, 20, 1.0);
    screen.controls.pointerMoved(150, 20);  // over the other button
    EXPECT_TRUE(screen.controls.cancelled);
    screen.controls.pointerMoved(50, 20);  // back at the press point
    screen.run(screen.controls.release(50, 20, 1.1));
    EXPECT_TRUE(screen.clicks.empty());
}

TEST(UiControls, WanderingTooFarInsideTheControlCancelsToo) {
    Screen screen;
    screen.repaint();
    screen.controls.press(50, 20, 1.0);
    screen.controls.pointerMoved(53, 21);  // still a click
    EXPECT_FALSE(screen.controls.cancelled);
    screen.controls.pointerMoved(60, 20);  // 10 pixels away, still inside
    EXPECT_TRUE(screen.controls.cancelled);
    screen.run(screen.controls.release(50, 20, 1.1));
    EXPECT_TRUE(screen.clicks.empty());
}

TEST(UiControls, MotionWithoutAPressOnlyMovesTheHoverPoint) {
    Screen screen;
    screen.repaint();
    screen.controls.pointerMoved(30, 25);
    EXPECT_EQ(screen.controls.pointerX, 30);
    EXPECT_EQ(screen.controls.pointerY, 25);
    EXPECT_FALSE(screen.controls.cancelled);
    screen.repaint();
    EXPECT_EQ(screen.canvas.pixel(20, 15), palette::kButtonHover);
    EXPECT_EQ(screen.canvas.pixel(130, 15), palette::kButtonFace);
}

TEST(UiControls, ActionComesFromTheListCurrentAtRelease) {
    Screen vanished;
    vanished.repaint();
    vanished.controls.press(50, 20, 1.0);
    vanished.showOk = false;
    vanished.repaint();
    vanished.run(vanished.controls.release(50, 20, 1.1));
    EXPECT_TRUE(vanished.clicks.empty());

    Screen disabled;
    disabled.repaint();
    disabled.controls.press(50, 20, 1.0);
    disabled.okEnabled = false;
    disabled.repaint();
    disabled.run(disabled.controls.release(50, 20, 1.1));
    EXPECT_TRUE(disabled.clicks.empty());
}

TEST(UiControls, OverlappingControlsTheFirstRegisteredWins) {
    Font font = testFont();
    UiCanvas canvas;
    UiControls controls;
    std::string clicked;
    controls.addButton(
        canvas, font, "a.first", 0, 0, 50, 50, "", [&] { clicked = "first"; }, false, true);
    controls.addButton(
        canvas, font, "a.second", 25, 25, 50, 50, "", [&] { clicked = "second"; }, false, true);
    controls.press(30, 30, 0.0);
    controls.release(30, 30, 0.1)();
    EXPECT_EQ(clicked, "first");
}

TEST(UiControls, ReleaseWithoutAPressLeavesCancelledAlone) {
    UiControls controls;
    controls.cancelled = true;
    controls.pressedId = "stale";
    EXPECT_FALSE(controls.release(0, 0, 0.0));
    EXPECT_TRUE(controls.cancelled);
    EXPECT_TRUE(controls.pressedId.empty());
}

TEST(UiControls, HeldButtonPaintsPressedUntilCancelled) {
    Screen screen;
    screen.repaint();
    screen.controls.press(50, 20, 1.0);
    screen.repaint();
    EXPECT_EQ(screen.canvas.pixel(20, 15), palette::kButtonPressed);
    EXPECT_EQ(screen.canvas.pixel(10, 10), palette::kBevelDark);  // sunken frame
    screen.controls.pointerMoved(300, 300);
    screen.repaint();
    EXPECT_EQ(screen.canvas.pixel(20, 15), palette::kButtonFace);
    EXPECT_EQ(screen.canvas.pixel(10, 10), palette::kBevelLight);
}

TEST(UiControls, FocusRingOnEnabledControlsOnly) {
    Screen screen;
    screen.controls.focusId = "dialog.ok";
    screen.repaint();
    // Ring corners at (x + 2, y + 2) and (x + width - 3, y + height - 3).
    EXPECT_EQ(screen.canvas.pixel(12, 12), palette::kFocusRing);
    EXPECT_EQ(screen.canvas.pixel(107, 37), palette::kFocusRing);
    EXPECT_EQ(screen.canvas.pixel(60, 12), palette::kFocusRing);
    EXPECT_EQ(screen.canvas.pixel(12, 25), palette::kFocusRing);
    EXPECT_EQ(screen.canvas.pixel(13, 13), palette::kButtonFace);

    screen.controls.focusId = "dialog.list";
    screen.repaint();
    EXPECT_EQ(screen.canvas.pixel(12, 52), palette::kFocusRing);
    EXPECT_EQ(screen.canvas.pixel(217, 147), palette::kFocusRing);
    EXPECT_EQ(screen.canvas.pixel(12, 12), palette::kButtonFace);

    screen.controls.focusId = "dialog.help";  // disabled: no ring, dimmed label
    screen.repaint();
    EXPECT_EQ(screen.canvas.pixel(232, 12), palette::kButtonFace);
    EXPECT_GT(testing::countPixels(screen.canvas, palette::kDisabledText), 0);
}

TEST(UiControls, TabMovesOverEnabledControlsInRegistrationOrder) {
    Screen screen;
    screen.repaint();
    std::vector<std::string> forward;
    for (int i = 0; i < 4; ++i) {
        screen.controls.moveFocus(false);
        forward.push_back(screen.controls.focusId);
    }
    EXPECT_EQ(forward, (std::vector<std::string>{"dialog.ok", "dialog.cancel", "dialog.list", "dialog.ok"}));
    screen.controls.focusId.clear();
    std::vector<std::string> backward;
    for (int i = 0; i < 4; ++i) {
        screen.controls.moveFocus(true);
        backward.push_back(screen.controls.focusId);
    }
    EXPECT_EQ(backward, (std::vector<std::string>{"dialog.list", "dialog.cancel", "dialog.ok", "dialog.list"}));
    // Focus on a control that is not enabled (or gone) restarts at the first.
    screen.controls.focusId = "dialog.help";
    screen.controls.moveFocus(false);
    EXPECT_EQ(screen.controls.focusId, "dialog.ok");
}

TEST(UiControls, TabWithNothingEnabledClearsTheFocus) {
    Font font = testFont();
    UiCanvas canvas;
    UiControls controls;
    controls.addButton(
        canvas, font, "x.off", 0, 0, 10, 10, "", [] {}, false, false);
    controls.focusId = "x.off";
    controls.moveFocus(false);
    EXPECT_EQ(controls.focusId, "");
}

TEST(UiControls, ControlsSharingAnIdAreOneFocusStop) {
    Font font = testFont();
    UiCanvas canvas;
    UiControls controls;
    controls.add(
        canvas, "tool.0", 0, 0, 10, 10, [] {}, true);
    controls.add(
        canvas, "tool.0", 20, 0, 10, 10, [] {}, true);
    controls.add(
        canvas, "tool.1", 40, 0, 10, 10, [] {}, true);
    controls.moveFocus(false);
    controls.moveFocus(false);
    EXPECT_EQ(controls.focusId, "tool.1");
    controls.moveFocus(false);
    EXPECT_EQ(controls.focusId, "tool.0");
}

TEST(UiControls, ReturnOrSpaceActivatesTheFocusedControl) {
    Screen screen;
    screen.repaint();
    EXPECT_FALSE(screen.controls.focusedAction());
    screen.controls.focusId = "dialog.list";
    screen.run(screen.controls.focusedAction());
    screen.controls.focusId = "dialog.help";  // disabled
    screen.run(screen.controls.focusedAction());
    EXPECT_EQ(screen.clicks, std::vector<std::string>{"dialog.list"});
}

TEST(UiControls, CancelPressForgetsThePress) {
    Screen screen;
    screen.repaint();
    screen.controls.press(50, 20, 1.0);
    screen.controls.cancelPress();
    screen.run(screen.controls.release(50, 20, 1.1));
    EXPECT_TRUE(screen.clicks.empty());
}

// The tests' helper that presses a control by its id clicks what a user
// would click, and refuses what a user could not.
TEST(UiControls, PressingByIdGoesThroughTheHitTesting) {
    Screen screen;
    screen.repaint();
    EXPECT_TRUE(testing::pressControl(screen.controls, "dialog.cancel"));
    EXPECT_FALSE(testing::pressControl(screen.controls, "dialog.help")) << "disabled";
    EXPECT_FALSE(testing::pressControl(screen.controls, "dialog.list")) << "focus only";
    EXPECT_FALSE(testing::pressControl(screen.controls, "dialog.none"));
    EXPECT_EQ(screen.clicks, std::vector<std::string>{"dialog.cancel"});
}

}  // namespace
}  // namespace vobu
