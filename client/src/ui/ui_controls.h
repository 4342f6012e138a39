#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/ui_canvas.h"

namespace vobu {

class Font;

// One clickable or focusable area of a screen. Controls that share an id act
// as one.
struct UiControl {
    std::string id;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::function<void()> onClick;
    bool enabled = true;
    // Buttons are visible and take pointer presses; controls added with
    // UiControls::add (lists, views, fields) are keyboard-focus targets only.
    bool visible = false;
};

// The controls of one screen, rebuilt with every repaint, plus the pointer
// press in progress and the keyboard focus. A press becomes a click only when
// released quickly, near the press point and inside the control; the action
// comes from the list current at the release.
class UiControls {
public:
    static constexpr double kClickSeconds = 0.35;
    static constexpr int kClickSlop = 4;

    std::vector<UiControl> controls;
    ClipRect pressedRect{};
    int32_t pressX = 0;
    int32_t pressY = 0;
    double pressTime = 0.0;
    bool down = false;
    bool cancelled = false;
    std::string pressedId;
    std::string focusId;
    int32_t pointerX = -1;
    int32_t pointerY = -1;

    // Appends a button and paints it (pressed while its press is live).
    void addButton(UiCanvas& canvas, const Font& font, const std::string& id, int x, int y, int width, int height,
                   const std::string& label, std::function<void()> onClick, bool pressed, bool enabled);
    // Appends a focus-only control; paints only its focus ring.
    void add(UiCanvas& canvas, const std::string& id, int x, int y, int width, int height,
             std::function<void()> onClick, bool enabled);

    // Pointer press: the first enabled visible control under the point is
    // pressed. Returns whether one was hit.
    bool press(int x, int y, double nowSeconds);
    // Pointer motion: updates the hover point and cancels a live press that
    // left its control or its click distance, so that coming back and
    // releasing does not click.
    void pointerMoved(int x, int y);
    // Pointer release: the action to run (empty when this is no click).
    std::function<void()> release(int x, int y, double nowSeconds);
    // Forgets any press in progress (for example on focus loss).
    void cancelPress();

    // Tab: the next (or previous) enabled control in registration order,
    // wrapping; from no focus the first (or last); none enabled clears it.
    void moveFocus(bool backward);
    // Return or Space: the action of the focused control, empty when the
    // focus is on nothing enabled.
    std::function<void()> focusedAction() const;

    const UiControl* find(const std::string& id) const;

private:
    void drawFocusRing(UiCanvas& canvas, int x, int y, int width, int height) const;
};

}  // namespace vobu
