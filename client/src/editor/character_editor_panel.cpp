// The paint panel of the face view: colour swatches, the hex field, the
// colour wheel and value bar, the tools, brush and selection rows, the size
// steppers, Import and Export, and the resize handles.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "editor/character_editor.h"
#include "editor/clipboard_image.h"
#include "ui/palette.h"

namespace vobu {

namespace {

constexpr uint32_t kHandle = 0xff4a375f;
constexpr int kRimRadius = 95;
constexpr int kWheelSide = 2 * kRimRadius + 1;
constexpr float kTwoPi = 6.2831853f;

const char* const kToolLabels[CharacterEditor::kToolCount] = {"Pen",    "Brush", "Erase", "Fill",
                                                              "Select", "Pick",  "Line"};
const char* const kAxisNames[3] = {"Width", "Height", "Depth"};

uint8_t channel(float unit) { return uint8_t(std::lround(std::clamp(unit, 0.0f, 1.0f) * 255.0f)); }

// 0x00RRGGBB as a canvas colour 0xAABBGGRR, opaque.
uint32_t canvasColor(uint32_t rgb) { return 0xff000000u | (rgb & 0xff) << 16 | (rgb & 0xff00) | (rgb >> 16 & 0xff); }

uint32_t canvasColor(const Color& color) {
    return 0xff000000u | uint32_t(channel(color.b)) << 16 | uint32_t(channel(color.g)) << 8 | channel(color.r);
}

std::string hexOf(uint32_t rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", unsigned(rgb & 0xffffff));
    return text;
}

}  // namespace

void CharacterEditor::drawPaintUi() {
    syncPickerIfChanged();

    canvas.fillRect(754, 118, 40, 28, canvasColor(primaryColor));
    canvas.drawBevel(754, 118, 40, 28, !secondaryActive);
    canvas.fillRect(806, 118, 40, 28, canvasColor(secondaryColor));
    canvas.drawBevel(806, 118, 40, 28, secondaryActive);
    auto chooseSlot = [this](bool secondary) {
        return [this, secondary] {
            secondaryActive = secondary;
            syncPicker();
            redraw = true;
        };
    };
    controls.add(canvas, "paint.primary", 754, 118, 40, 28, chooseSlot(false), true);
    controls.add(canvas, "paint.secondary", 806, 118, 40, 28, chooseSlot(true), true);

    drawTextField(858, 118, 138, 28, hexOf(activeColor()), textEditing && fieldTarget == 1);
    controls.add(canvas, "editor.hex", 858, 118, 138, 28, nullptr, true);

    drawColorWheel();
    drawValueBar();
    controls.add(canvas, "paint.wheel", 781, 151, 190, 190, nullptr, true);
    controls.add(canvas, "paint.value", 754, 350, 242, 18, nullptr, true);

    for (int i = 0; i < kToolCount; ++i) {
        addButton(
            754 + 62 * (i % 4), 390 + 32 * (i / 4), 56, 28, "tool." + std::to_string(i), kToolLabels[i],
            [this, i] {
                tool = i;
                redraw = true;
            },
            tool == i, true);
    }
    addButton(
        940, 422, 56, 28, "paint.undo", "Undo", [this] { undo(); }, false, !undoStack.empty());

    if (tool == ToolBrush) {
        addButton(
            754, 458, 24, 24, "brush.smaller", "-",
            [this] {
                brushSize = std::max(brushSize - 1, 1);
                redraw = true;
            },
            false, true);
        canvas.drawPlainText(font, std::to_string(brushSize), 791, 462, palette::kBodyText, UiCanvas::kVisibleWidth);
        addButton(
            828, 458, 24, 24, "brush.larger", "+",
            [this] {
                brushSize = std::min(brushSize + 1, 16);
                redraw = true;
            },
            false, true);
        addButton(
            858, 458, 138, 24, "brush.shape", roundBrush ? "Round" : "Square",
            [this] {
                roundBrush = !roundBrush;
                redraw = true;
            },
            false, true);
    } else if (tool == ToolSelect) {
        addButton(
            754, 458, 76, 24, "paint.copy", "Copy", [this] { copySelection(false); }, false, true);
        addButton(
            836, 458, 76, 24, "paint.paste", "Paste", [] { pasteImageFromClipboard(); }, false, true);
        addButton(
            918, 458, 78, 24, "paint.deselect", "Deselect", [this] { clearSelection(); }, false, true);
    }

    canvas.drawPlainText(font, "Size", 754, 495, palette::kBodyText, UiCanvas::kVisibleWidth);
    const int sizes[3] = {character.width, character.height, character.depth};
    for (int axis = 0; axis < 3; ++axis) {
        const int y = 524 + 28 * axis;
        const std::string name = kAxisNames[axis];
        canvas.drawPlainText(font, name, 754, y, palette::kBodyText, UiCanvas::kVisibleWidth);
        addButton(
            878, y - 4, 24, 24, "size.minus." + name, "-", [this, axis] { stepSize(axis, -1); }, false, true);
        canvas.drawPlainText(font, std::to_string(sizes[axis]), 919, y, palette::kBodyText, UiCanvas::kVisibleWidth);
        addButton(
            972, y - 4, 24, 24, "size.plus." + name, "+", [this, axis] { stepSize(axis, 1); }, false, true);
    }

    addButton(
        754, 610, 118, 24, "paint.import", "Import", [this] { requestImport(); }, false, true);
    addButton(
        878, 610, 118, 24, "paint.export", "Export", [this] { exportSheet(); }, false, true);

    if (!animating()) {
        const IntRect view = kEditorView;
        canvas.clip = ClipRect{view.x, view.y, view.w, view.h};
        for (int handle = 0; handle < 3; ++handle) {
            const IntRect r = resizeHandleRect(handle);
            canvas.fillRect(r.x, r.y, r.w, r.h, kHandle);
            canvas.drawBevel(r.x, r.y, r.w, r.h, false);
        }
        canvas.resetClip();
    }
}

void CharacterEditor::drawColorWheel() {
    // The disc is always drawn at full value, so its pixels never change:
    // they are worked out once and copied on every rebuild.
    if (wheelPixels.empty()) {
        wheelPixels.assign(size_t(kWheelSide) * kWheelSide, 0);
        for (int dy = -kRimRadius; dy <= kRimRadius; ++dy) {
            for (int dx = -kRimRadius; dx <= kRimRadius; ++dx) {
                const float reach = std::sqrt(float(dx * dx + dy * dy));
                uint32_t color = 0;
                if (reach > float(kWheelRadius) && reach <= float(kRimRadius)) {
                    color = dx + dy < 0 ? palette::kBevelDark : palette::kBevelLight;
                } else if (reach <= float(kWheelRadius)) {
                    const float hueHere = std::atan2(float(dy), float(dx)) / kTwoPi;
                    color = canvasColor(hsvToRgb(hueHere, reach / float(kWheelRadius), 1.0f));
                }
                wheelPixels[size_t(dy + kRimRadius) * kWheelSide + size_t(dx + kRimRadius)] = color;
            }
        }
    }
    for (int row = 0; row < kWheelSide; ++row) {
        const uint32_t* source = &wheelPixels[size_t(row) * kWheelSide];
        for (int column = 0; column < kWheelSide; ++column) {
            if (source[column] != 0) {
                canvas.setPixel(kWheelX - kRimRadius + column, kWheelY - kRimRadius + row, source[column]);
            }
        }
    }
    const float angle = kTwoPi * hue;
    const int markerX = 873 + int(std::lround(saturation * std::cos(angle) * kWheelRadius));
    const int markerY = 243 + int(std::lround(saturation * std::sin(angle) * kWheelRadius));
    canvas.drawBevel(markerX, markerY, 7, 7, false);
}

void CharacterEditor::drawValueBar() {
    for (int i = 0; i < kValueBarWidth; ++i) {
        const uint32_t color = canvasColor(hsvToRgb(hue, saturation, float(i) / 241.0f));
        canvas.fillRect(kValueBarX + i, kValueBarY, 1, kValueBarHeight, color);
    }
    canvas.drawBevel(kValueBarX, kValueBarY, kValueBarWidth, kValueBarHeight, true);
    const int markerX = kValueBarX + int(std::lround(241.0f * value));
    canvas.drawLine(markerX, 349, markerX, 369, palette::kHighlightText);
}

}  // namespace vobu
