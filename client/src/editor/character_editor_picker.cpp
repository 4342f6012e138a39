// The colour slots and the HSV picker: the wheel (hue and saturation), the
// value bar and the two swatches of the paint panel.

#include <SDL.h>

#include <algorithm>
#include <cmath>

#include "character/face_codec.h"
#include "editor/character_editor.h"

namespace vobu {
namespace {

constexpr float kTwoPi = 6.2831853f;

int channelByte(float channel) { return int(std::lround(channel * 255.0f)); }

uint32_t packColor(const Color& color) {
    return packRgb(channelByte(color.r), channelByte(color.g), channelByte(color.b));
}

float fractional(float v) { return v - std::floor(v); }

// Swatch press areas; the drawn secondary swatch sits 2 pixels further right.
constexpr IntRect kPrimarySwatchPress{754, 118, 40, 26};
constexpr IntRect kSecondarySwatchPress{804, 118, 40, 26};

}  // namespace

void CharacterEditor::syncPicker() {
    uint32_t color = activeColor();
    float r = float((color >> 16) & 0xFF) / 255.0f;
    float g = float((color >> 8) & 0xFF) / 255.0f;
    float b = float(color & 0xFF) / 255.0f;
    float high = std::max({r, g, b});
    float low = std::min({r, g, b});
    float spread = high - low;
    value = high;
    saturation = high > 0.0f ? spread / high : 0.0f;
    if (spread <= 0.0f) return;  // a grey keeps the hue it had
    float h;
    if (high == r) {
        h = (g - b) / spread;
    } else if (high == g) {
        h = (b - r) / spread + 2.0f;
    } else {
        h = (r - g) / spread + 4.0f;
    }
    hue = fractional(h / 6.0f);
}

void CharacterEditor::syncPickerIfChanged() {
    if (packColor(hsvToRgb(hue, saturation, value)) == activeColor()) return;
    syncPicker();
}

void CharacterEditor::pickFromColorWheel(int x, int y) {
    if (pickingValue) {
        value = std::clamp(float(x - kValueBarX) / 243.0f, 0.0f, 1.0f);
    } else {
        float dx = float(x - kWheelX);
        float dy = float(y - kWheelY);
        hue = fractional(std::atan2(dy, dx) / kTwoPi);
        saturation = std::min(std::hypot(dx, dy) / float(kWheelRadius), 1.0f);
        // Picking a hue from black would otherwise show nothing.
        if (value == 0.0f) value = 1.0f;
    }
    activeColor() = packColor(hsvToRgb(hue, saturation, value));
    redraw = true;
}

bool CharacterEditor::pickerPress(int x, int y, int button) {
    if (libraryShown || viewMode != 1) return false;
    syncPickerIfChanged();
    bool primarySwatch = x >= kPrimarySwatchPress.x && x < kPrimarySwatchPress.x + kPrimarySwatchPress.w &&
                         y >= kPrimarySwatchPress.y && y < kPrimarySwatchPress.y + kPrimarySwatchPress.h;
    bool secondarySwatch = x >= kSecondarySwatchPress.x && x < kSecondarySwatchPress.x + kSecondarySwatchPress.w &&
                           y >= kSecondarySwatchPress.y && y < kSecondarySwatchPress.y + kSecondarySwatchPress.h;
    if (primarySwatch || secondarySwatch) {
        stopTextEditing();
        secondaryActive = secondarySwatch;
        syncPicker();
        redraw = true;
        return true;
    }
    bool onWheel = std::hypot(float(x - kWheelX), float(y - kWheelY)) <= float(kWheelRadius);
    // The bar's press area reaches 2 pixels past its drawn right end.
    bool onValueBar = x >= kValueBarX && x <= 997 && y >= kValueBarY && y <= kValueBarY + kValueBarHeight - 1;
    if (!onWheel && !onValueBar) return false;
    stopTextEditing();
    if (button == SDL_BUTTON_RIGHT && !secondaryActive) {
        // The picker shows the slot it edits, so a drag on the value bar
        // keeps that slot's own hue.
        secondaryActive = true;
        syncPicker();
    }
    pickingColor = true;
    pickingValue = y >= kValueBarY;
    pickFromColorWheel(x, y);
    return true;
}

}  // namespace vobu
