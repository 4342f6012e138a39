#pragma once
// Presses a screen's control by its dotted id ("servers.join", "tool.3"),
// the way a user does: a left press and release at the middle of the
// control, so the test goes through the screen's own hit testing.

#include <gtest/gtest.h>

#include <SDL.h>

#include <functional>
#include <string>

#include "support/sdl_events.h"
#include "ui/ui_controls.h"
#include "ui/ui_layout.h"

namespace vobu::testing {

// The window point at the middle of the control, with the canvas placed by
// `layout`; fails when there is no such control, or it could not be clicked
// (disabled, or focus-only).
inline ::testing::AssertionResult controlCentre(const UiControls& controls, const std::string& id,
                                                const UiLayout& layout, int& x, int& y) {
    const UiControl* control = controls.find(id);
    if (!control) return ::testing::AssertionFailure() << "no control \"" << id << "\"";
    if (!control->enabled || !control->visible)
        return ::testing::AssertionFailure() << "control \"" << id << "\" takes no pointer press";
    x = layout.x + int(float(control->x + control->width / 2) * layout.scale);
    y = layout.y + int(float(control->y + control->height / 2) * layout.scale);
    return ::testing::AssertionSuccess();
}

// Sends the press and the release to the screen's event handler.
inline ::testing::AssertionResult pressControl(const UiControls& controls, const std::string& id,
                                               const std::function<void(const SDL_Event&)>& send,
                                               const UiLayout& layout = {}) {
    int x = 0;
    int y = 0;
    ::testing::AssertionResult found = controlCentre(controls, id, layout, x, y);
    if (!found) return found;
    send(mouseMotion(x, y));
    send(mouseDown(x, y));
    send(mouseUp(x, y));
    return ::testing::AssertionSuccess();
}

// The same straight on the controls, at a given click time in seconds:
// runs the action the release gives.
inline ::testing::AssertionResult pressControl(UiControls& controls, const std::string& id, double nowSeconds = 1.0) {
    int x = 0;
    int y = 0;
    ::testing::AssertionResult found = controlCentre(controls, id, UiLayout{}, x, y);
    if (!found) return found;
    controls.press(x, y, nowSeconds);
    const std::function<void()> action = controls.release(x, y, nowSeconds);
    if (!action) return ::testing::AssertionFailure() << "pressing \"" << id << "\" gave no click";
    action();
    return ::testing::AssertionSuccess();
}

}  // namespace vobu::testing
