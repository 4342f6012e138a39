// One frame of the editor: the 3D view of the working character, the canvas
// rebuilt and uploaded only when something changed, the face overlays, the
// name label and the two pointers.

#include <algorithm>
#include <array>
#include <cmath>

#include "editor/character_editor.h"
#include "ui/canvas_view.h"
#include "ui/cursor.h"
#include "ui/screen_quad.h"
#include "world/character_box.h"

namespace vobu {

namespace {

constexpr int kArrowSide = 32;

// A solid rectangle of drawable pixels as two untextured triangles.
void appendRect(std::vector<Vertex>& out, int left, int top, int right, int bottom, const Color& color, int width,
                int height) {
    for (Vertex vertex : screenRectQuad(left, top, right, bottom, 0, 0, width, height)) {
        vertex.r = color.r;
        vertex.g = color.g;
        vertex.b = color.b;
        out.push_back(vertex);
    }
}

// Where a clip-space vertex lands in drawable pixels.
std::array<float, 2> toScreen(const Vertex& v, int width, int height) {
    return {(v.x / v.w + 1) * float(width) / 2, (1 - v.y / v.w) * float(height) / 2};
}

int roundPixel(float value) { return int(std::lround(value)); }

// The face on screen as the box mesh shows it: its rectangle and the size of
// one texel in drawable pixels.
struct FaceOnScreen {
    float left = 0, top = 0, right = 0, bottom = 0;
    float stepX = 0, stepY = 0;

    int column(int texel) const { return roundPixel(left + float(texel) * stepX); }
    int row(int texel) const { return roundPixel(top + float(texel) * stepY); }
};

}  // namespace

void CharacterEditor::draw(int width, int height) {
    if (width < 1 || height < 1 || graphics == nullptr) return;
    drawableWidth = width;
    drawableHeight = height;
    const UiLayout placed = UiLayout::forDrawable(width, height);
    if (placed.scale != layout.scale || placed.x != layout.x || placed.y != layout.y) {
        layout = placed;
        redraw = true;
    }
    layoutCamera();
    graphics->beginFrame(width, height);
    if (!joinOverlayShown) drawView();
    if (redraw) {
        buildUi();
        canvasTexture = uploadCanvas(*graphics, canvas, canvasTexture);
        redraw = false;
    }
    drawCanvas(*graphics, canvasTexture, layout, width, height);
    drawArrow();
    drawCrosshair();
}

void CharacterEditor::drawView() {
    const IntRect view = viewRect();
    std::vector<Vertex> black;
    appendRect(black, view.x + layout.x, view.y + layout.y, view.x + view.w + layout.x, view.y + view.h + layout.y,
               Color{0, 0, 0}, drawableWidth, drawableHeight);
    graphics->drawTriangles(black, 0, false, true, false, false, 1.0f, false);
    if (libraryShown && selectedIndex < 0) return;

    const uint32_t skin = uploadSkinAtlas();
    const float sy = std::sin(yaw), cy = std::cos(yaw);
    const float sp = std::sin(pitch), cp = std::cos(pitch);
    std::vector<Vertex> box;
    const PlotFunction plot = [this](float x, float y, float z, const Color& color) {
        return projectVertex(x, y, z, color, 0, 0);
    };
    // Lit from the eye, so the face looked at is the brightest.
    const CharacterBoxArgs args{box, character, 0, plot, true, {sy * cp, -cy * cp, sp}, 1, PoseShape{}};
    drawCharacterBox(args);
    graphics->drawTriangles(box, skin, true, false, false, false, 1.0f, false);

    if (faceViewReady() && box.size() == 36) drawFaceOverlays(box);
    if (libraryShown && !character.name.empty()) drawNameLabel();
}

void CharacterEditor::drawFaceOverlays(const std::vector<Vertex>& box) {
    // The corners of the face as drawn (two triangles 0 1 2, 0 2 3).
    const size_t first = size_t(face) * 6;
    const std::array<Vertex, 4> corners{box[first], box[first + 1], box[first + 2], box[first + 5]};
    FaceOnScreen on;
    on.left = on.top = 1e30f;
    on.right = on.bottom = -1e30f;
    for (const Vertex& corner : corners) {
        const auto [x, y] = toScreen(corner, drawableWidth, drawableHeight);
        on.left = std::min(on.left, x);
        on.right = std::max(on.right, x);
        on.top = std::min(on.top, y);
        on.bottom = std::max(on.bottom, y);
    }
    const auto [fw, fh] = character.faceSize(face);
    on.stepX = (on.right - on.left) / float(fw);
    on.stepY = (on.bottom - on.top) / float(fh);

    std::vector<Vertex> quads;
    const int W = drawableWidth, H = drawableHeight;
    const bool pointed = kEditorView.contains(pointerX, pointerY) && faceRect.contains(pointerX, pointerY);
    if (showGrid && on.stepX >= 4 && on.stepY >= 4) {
        const Color grid{0.75f, 0.75f, 0.75f};
        const int top = roundPixel(on.top), bottom = roundPixel(on.bottom);
        const int left = roundPixel(on.left), right = roundPixel(on.right);
        for (int i = 0; i <= fw; ++i) appendRect(quads, on.column(i), top, on.column(i) + 1, bottom, grid, W, H);
        for (int j = 0; j <= fh; ++j) appendRect(quads, left, on.row(j), right, on.row(j) + 1, grid, W, H);
        if (pointed) {
            // Every edge of a covered texel whose neighbour is not covered.
            const bool wide = tool == ToolBrush || tool == ToolErase || tool == ToolLine;
            const int size = wide ? brushSize : 1;
            const auto [tx, ty] = texelAt(pointerX, pointerY);
            auto covers = [&](int dx, int dy) { return brushCovers(dx, dy, size, roundBrush); };
            const Color outline{1, 0, 1};
            const int low = -(size / 2), high = size - size / 2 - 1;
            for (int dy = low; dy <= high; ++dy) {
                for (int dx = low; dx <= high; ++dx) {
                    if (!covers(dx, dy)) continue;
                    const int x0 = on.column(tx + dx), x1 = on.column(tx + dx + 1);
                    const int y0 = on.row(ty + dy), y1 = on.row(ty + dy + 1);
                    if (!covers(dx - 1, dy)) appendRect(quads, x0, y0, x0 + 1, y1, outline, W, H);
                    if (!covers(dx + 1, dy)) appendRect(quads, x1, y0, x1 + 1, y1, outline, W, H);
                    if (!covers(dx, dy - 1)) appendRect(quads, x0, y0, x1, y0 + 1, outline, W, H);
                    if (!covers(dx, dy + 1)) appendRect(quads, x0, y1, x1, y1 + 1, outline, W, H);
                }
            }
        }
    }
    if (!selection.empty()) {
        // Dashes of four pixels with gaps of four along each edge.
        const Color dash{0.95f, 0.95f, 0.95f};
        const int x0 = on.column(selection.x), x1 = on.column(selection.x + selection.w);
        const int y0 = on.row(selection.y), y1 = on.row(selection.y + selection.h);
        for (int o = 0; x0 + o < x1; ++o) {
            if (o & 4) continue;
            appendRect(quads, x0 + o, y0, x0 + o + 1, y0 + 1, dash, W, H);
            appendRect(quads, x0 + o, y1 - 1, x0 + o + 1, y1, dash, W, H);
        }
        for (int o = 0; y0 + o < y1; ++o) {
            if (o & 4) continue;
            appendRect(quads, x0, y0 + o, x0 + 1, y0 + o + 1, dash, W, H);
            appendRect(quads, x1 - 1, y0 + o, x1, y0 + o + 1, dash, W, H);
        }
    }
    if (painting && tool == ToolLine) {
        const Color stroke{float(strokeColor >> 16 & 0xff) / 255, float(strokeColor >> 8 & 0xff) / 255,
                           float(strokeColor & 0xff) / 255};
        for (const auto& [tx, ty] : linePreviewTexels()) {
            const int x0 = on.column(tx), y0 = on.row(ty);
            const int x1 = std::max(on.column(tx + 1), x0 + 1), y1 = std::max(on.row(ty + 1), y0 + 1);
            appendRect(quads, x0, y0, x1, y1, stroke, W, H);
        }
    }
    graphics->drawTriangles(quads, 0, false, true, false, false, 1.0f, false);
}

void CharacterEditor::drawNameLabel() {
    if (nameLabelTexture == 0 || nameLabelText != character.name) {
        nameLabel = renderLabel(font, character.name);
        nameLabelTexture = uploadLabelSprite(*graphics, nameLabel, nameLabelTexture);
        nameLabelText = character.name;
    }
    const float sy = std::sin(yaw), cy = std::cos(yaw);
    const float sp = std::sin(pitch), cp = std::cos(pitch);
    const PlotFunction plot = [this](float x, float y, float z, const Color& color) {
        return projectVertex(x, y, z, color, 0, 0);
    };
    // The quad is 0.14 world units tall; its width follows the label's own
    // aspect, so a short name is not stretched and a long one not squeezed.
    const float aspect = float(nameLabel.contentWidth) / float(std::max(nameLabel.contentHeight, 1));
    const float across = 0.14f * aspect;
    const std::vector<Vertex> quad = emitLabelQuad(nameLabel, {0, 0, float(character.height) * kTexelWorld + 0.24f},
                                                   {cy * across, sy * across, 0}, {-sy * sp, cy * sp, cp}, plot, 0.5f);
    graphics->drawTriangles(quad, nameLabelTexture, false, false, false, true, 1.0f, false);
}

bool CharacterEditor::pointerOverFaceCanvas() const {
    return !joinOverlayShown && faceViewReady() && kEditorView.contains(pointerX, pointerY) &&
           faceRect.contains(pointerX, pointerY);
}

void CharacterEditor::drawArrow() {
    if (pointerX < 0 || pointerY < 0 || pointerOverFaceCanvas()) return;
    // A quad of its own right over the canvas, as if painted into it: the
    // canvas then stays the same while the pointer moves and costs no upload.
    if (arrowTexture == 0) {
        arrowTexture = graphics->setTexture(kArrowSide, kArrowSide, Cursor::arrowImage(), 0, true, false);
    }
    const int left = layout.x + pointerX;
    const int top = layout.y + pointerY;
    // Cut at the canvas's edges, as the canvas's own pixels would be.
    const bool crossesEdge =
        pointerX + kArrowSide > UiCanvas::kVisibleWidth || pointerY + kArrowSide > UiCanvas::kVisibleHeight;
    if (crossesEdge) {
        graphics->setScissor(layout.x, drawableHeight - (layout.y + UiCanvas::kVisibleHeight), UiCanvas::kVisibleWidth,
                             UiCanvas::kVisibleHeight);
    }
    graphics->drawTriangles(
        screenRectQuad(left, top, left + kArrowSide, top + kArrowSide, 1.0f, 1.0f, drawableWidth, drawableHeight),
        arrowTexture, false, true, false, false, 1.0f, false);
    if (crossesEdge) graphics->clearScissor();
}

void CharacterEditor::drawCrosshair() {
    if (!pointerOverFaceCanvas()) return;
    const IntRect view = kEditorView;
    const int x = pointerX, y = pointerY;
    const IntRect arms[3] = {{x - 12, y - 1, 24, 2}, {x - 1, y - 12, 2, 11}, {x - 1, y + 1, 2, 11}};
    std::vector<Vertex> quads;
    for (const IntRect& arm : arms) {
        const int left = std::max(arm.x, view.x), right = std::min(arm.x + arm.w, view.x + view.w);
        const int top = std::max(arm.y, view.y), bottom = std::min(arm.y + arm.h, view.y + view.h);
        if (left >= right || top >= bottom) continue;
        appendRect(quads, left + layout.x, top + layout.y, right + layout.x, bottom + layout.y, Color{1, 1, 1},
                   drawableWidth, drawableHeight);
    }
    graphics->drawTriangles(quads, 0, false, true, true, false, 1.0f, false);
}

}  // namespace vobu
