#include "ui/ui_controls.h"

#include <cstdlib>

#include "ui/palette.h"

namespace vobu {

namespace {

bool contains(int x, int y, int width, int height, int px, int py) {
    return px >= x && px < x + width && py >= y && py < y + height;
}

}  // namespace

void UiControls::drawFocusRing(UiCanvas& canvas, int x, int y, int width, int height) const {
    int right = x + width - 3;
    int bottom = y + height - 3;
    canvas.drawLine(x + 2, y + 2, right, y + 2, palette::kFocusRing);
    canvas.drawLine(x + 2, bottom, right, bottom, palette::kFocusRing);
    canvas.drawLine(x + 2, y + 2, x + 2, bottom, palette::kFocusRing);
    canvas.drawLine(right, y + 2, right, bottom, palette::kFocusRing);
}

void UiControls::addButton(UiCanvas& canvas, const Font& font, const std::string& id, int x, int y, int width,
                           int height, const std::string& label, std::function<void()> onClick, bool pressed,
                           bool enabled) {
    controls.push_back(UiControl{id, x, y, width, height, std::move(onClick), enabled, true});
    bool held = pressedId == id && down && !cancelled && pressedRect.width > 0;
    bool hover = pointerX >= x && pointerX <= x + width - 1 && pointerY >= y && pointerY <= y + height - 1;
    canvas.drawButton(font, x, y, width, height, label, pressed || held, enabled, hover);
    if (enabled && focusId == id) drawFocusRing(canvas, x, y, width, height);
}

void UiControls::add(UiCanvas& canvas, const std::string& id, int x, int y, int width, int height,
                     std::function<void()> onClick, bool enabled) {
    controls.push_back(UiControl{id, x, y, width, height, std::move(onClick), enabled, false});
    if (enabled && focusId == id) drawFocusRing(canvas, x, y, width, height);
}

bool UiControls::press(int x, int y, double nowSeconds) {
    for (const UiControl& control : controls) {
        if (!control.enabled || !control.visible) continue;
        if (!contains(control.x, control.y, control.width, control.height, x, y)) continue;
        pressedId = control.id;
        pressedRect = ClipRect{control.x, control.y, control.width, control.height};
        pressX = x;
        pressY = y;
        pressTime = nowSeconds;
        down = true;
        cancelled = false;
        return true;
    }
    return false;
}

void UiControls::pointerMoved(int x, int y) {
    pointerX = x;
    pointerY = y;
    if (!down || cancelled) return;
    bool tooFar = std::abs(x - pressX) > kClickSlop || std::abs(y - pressY) > kClickSlop;
    bool outside = !contains(pressedRect.x, pressedRect.y, pressedRect.width, pressedRect.height, x, y);
    if (tooFar || outside) cancelled = true;
}

std::function<void()> UiControls::release(int x, int y, double nowSeconds) {
    if (!down) {
        pressedId.clear();
        return {};
    }
    bool tooFar = std::abs(x - pressX) > kClickSlop || std::abs(y - pressY) > kClickSlop;
    bool outside = !contains(pressedRect.x, pressedRect.y, pressedRect.width, pressedRect.height, x, y);
    down = false;
    std::string id = std::move(pressedId);
    pressedId.clear();
    if (tooFar || outside) {
        cancelled = true;
        return {};
    }
    if (cancelled) return {};
    if (nowSeconds - pressTime > kClickSeconds) return {};
    for (const UiControl& control : controls) {
        if (control.id == id && control.enabled) return control.onClick;
    }
    return {};
}

void UiControls::cancelPress() {
    down = false;
    cancelled = false;
    pressedId.clear();
    pressedRect = ClipRect{};
}

void UiControls::moveFocus(bool backward) {
    std::vector<const std::string*> ids;
    for (const UiControl& control : controls) {
        if (!control.enabled) continue;
        bool seen = false;
        for (const std::string* id : ids) seen = seen || *id == control.id;
        if (!seen) ids.push_back(&control.id);
    }
    if (ids.empty()) {
        focusId.clear();
        return;
    }
    int count = int(ids.size());
    int current = -1;
    for (int i = 0; i < count; ++i) {
        if (*ids[i] == focusId) current = i;
    }
    int next;
    if (current < 0) {
        next = backward ? count - 1 : 0;
    } else {
        next = (current + (backward ? count - 1 : 1)) % count;
    }
    focusId = *ids[next];
}

std::function<void()> UiControls::focusedAction() const {
    if (focusId.empty()) return {};
    for (const UiControl& control : controls) {
        if (control.id == focusId && control.enabled) return control.onClick;
    }
    return {};
}

const UiControl* UiControls::find(const std::string& id) const {
    for (const UiControl& control : controls) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

}  // namespace vobu
