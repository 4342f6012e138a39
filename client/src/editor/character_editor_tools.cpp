// The paint tools of the face view: presses, drags and releases on the face
// canvas, the selection and its lifted move, copy, cut and paste, size steps
// and the skin-sheet import and export.

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "editor/character_editor.h"
#include "editor/clipboard_image.h"
#include "editor/png_files.h"
#include "editor/skin_sheet.h"

namespace vobu {
namespace {

void fillFaceArea(Character& character, int face, const IntRect& area, uint32_t color) {
    auto [fw, fh] = character.faceSize(face);
    int x0 = std::max(area.x, 0);
    int y0 = std::max(area.y, 0);
    int x1 = std::min(area.x + area.w, fw);
    int y1 = std::min(area.y + area.h, fh);
    std::vector<uint32_t>& texels = character.faces[face];
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) texels[size_t(y) * kFaceCanvasSide + x] = color;
    }
}

}  // namespace

std::pair<int, int> CharacterEditor::texelAt(int x, int y) const {
    auto [fw, fh] = character.faceSize(face);
    if (!(pixelsPerTexel > 0.0f)) return {0, 0};
    double tx = std::floor((x + 0.5 - faceLeft) / pixelsPerTexel);
    double ty = std::floor((y + 0.5 - faceTop) / pixelsPerTexel);
    return {int(std::clamp(tx, 0.0, double(fw - 1))), int(std::clamp(ty, 0.0, double(fh - 1)))};
}

FaceRect CharacterEditor::selectionOrFace() const {
    if (!selection.empty()) return {selection.x, selection.y, selection.w, selection.h};
    auto [fw, fh] = character.faceSize(face);
    return {0, 0, fw, fh};
}

bool CharacterEditor::pointOnFace(int x, int y) const { return kEditorView.contains(x, y) && faceRect.contains(x, y); }

void CharacterEditor::pressPaint(int x, int y, int button) {
    if (!faceViewReady() || joinOverlayShown || !pointOnFace(x, y)) return;
    stopTextEditing();
    auto [tx, ty] = texelAt(x, y);
    bool secondary = button == SDL_BUTTON_RIGHT;
    strokeColor = secondary ? secondaryColor : primaryColor;

    if (button == SDL_BUTTON_LEFT && !selection.empty() && selection.contains(tx, ty)) {
        anchorX = tx;
        anchorY = ty;
        liftRect = selection;
        liftBackup = character.faces[face];
        liftImage = copyFaceRegion(character, face, selection.x, selection.y, selection.w, selection.h);
        liftHoleColor = secondaryColor;
        movingSelection = true;
        liftUndoPushed = false;
        return;
    }
    if (tool == ToolPick) {
        (secondary ? secondaryColor : primaryColor) = character.faces[face][size_t(ty) * kFaceCanvasSide + tx];
        secondaryActive = secondary;
        syncPicker();
        redraw = true;
        return;
    }
    lastStrokeX = -1;
    lastStrokeY = -1;
    anchorX = tx;
    anchorY = ty;
    if (tool == ToolSelect) {
        selecting = true;
        selection = {tx, ty, 1, 1};
        redraw = true;
        return;
    }
    if (tool == ToolFill) {
        // A fill that would change nothing (the same colour, or a start
        // outside the selection) leaves no undo step that undoes nothing.
        FaceRect area = selectionOrFace();
        bool inArea = tx >= area.sx && tx < area.sx + area.sw && ty >= area.sy && ty < area.sy + area.sh;
        if (!inArea || character.faces[face][size_t(ty) * kFaceCanvasSide + tx] == strokeColor) return;
        pushUndo();
        floodFill(character, face, tx, ty, strokeColor, area);
        markEdited(true);
        return;
    }
    pushUndo();
    painting = true;
    if (tool == ToolLine) {
        lastStrokeX = tx;
        lastStrokeY = ty;
        redraw = true;
        return;
    }
    dragPaint(x, y);
}

void CharacterEditor::moveLiftedSelection(int tx, int ty) {
    auto [fw, fh] = character.faceSize(face);
    int nx = std::max(std::min(tx + liftRect.x - anchorX, fw - liftRect.w), 0);
    int ny = std::max(std::min(ty + liftRect.y - anchorY, fh - liftRect.h), 0);
    if (nx == selection.x && ny == selection.y) return;
    if (!liftUndoPushed) {
        pushUndo();
        liftUndoPushed = true;
    }
    character.faces[face] = liftBackup;
    fillFaceArea(character, face, liftRect, liftHoleColor);
    blendImageOntoFace(character, face, nx, ny, liftImage);
    selection = {nx, ny, liftRect.w, liftRect.h};
    markEdited(true);
}

void CharacterEditor::dragPaint(int x, int y) {
    auto [tx, ty] = texelAt(x, y);
    if (movingSelection) {
        moveLiftedSelection(tx, ty);
        return;
    }
    if (selecting) {
        selection = {std::min(anchorX, tx), std::min(anchorY, ty), std::abs(tx - anchorX) + 1,
                     std::abs(ty - anchorY) + 1};
        redraw = true;
        return;
    }
    if (!painting) return;
    if (tool == ToolLine) {
        lastStrokeX = tx;
        lastStrokeY = ty;
        redraw = true;
        return;
    }
    if (!pointOnFace(x, y)) {
        // Leaving the face ends the segment: coming back starts a new one
        // instead of joining the two points across the outside.
        lastStrokeX = -1;
        lastStrokeY = -1;
        return;
    }
    int fromX = lastStrokeX >= 0 ? lastStrokeX : tx;
    int fromY = lastStrokeY >= 0 ? lastStrokeY : ty;
    int size = tool == ToolPen ? 1 : brushSize;
    uint32_t color = tool == ToolErase ? secondaryColor : strokeColor;
    paintStroke(character, face, fromX, fromY, tx, ty, size, roundBrush, color, selectionOrFace());
    lastStrokeX = tx;
    lastStrokeY = ty;
    markEdited(true);
}

std::vector<std::pair<int, int>> CharacterEditor::linePreviewTexels() const {
    std::vector<std::pair<int, int>> texels;
    if (!painting || tool != ToolLine) return texels;
    auto [fw, fh] = character.faceSize(face);
    FaceRect area = selectionOrFace();
    int x0 = std::max(area.sx, 0);
    int y0 = std::max(area.sy, 0);
    int x1 = std::min(area.sx + area.sw, fw);
    int y1 = std::min(area.sy + area.sh, fh);
    // One flag per texel of the canvas: a wide brush along a line covers
    // most texels many times, and each is drawn once.
    std::vector<uint8_t> covered(kFaceCanvasTexels, 0);
    int low = -(brushSize / 2);
    int high = brushSize - brushSize / 2 - 1;
    auto [ex, ey] = texelAt(pointerX, pointerY);
    for (auto [px, py] : lineTexels(anchorX, anchorY, ex, ey)) {
        for (int dy = low; dy <= high; ++dy) {
            int y = py + dy;
            if (y < y0 || y >= y1) continue;
            for (int dx = low; dx <= high; ++dx) {
                int x = px + dx;
                if (x < x0 || x >= x1 || !brushCovers(dx, dy, brushSize, roundBrush)) continue;
                uint8_t& seen = covered[size_t(y) * kFaceCanvasSide + x];
                if (seen) continue;
                seen = 1;
                texels.emplace_back(x, y);
            }
        }
    }
    return texels;
}

void CharacterEditor::releasePaint() {
    if (painting && tool == ToolLine) {
        auto [ex, ey] = texelAt(pointerX, pointerY);
        paintStroke(character, face, anchorX, anchorY, ex, ey, brushSize, roundBrush, strokeColor, selectionOrFace());
        markEdited(true);
    }
    movingSelection = false;
    selecting = false;
    painting = false;
    liftBackup.clear();
    liftImage = RgbaImage{};
    lastStrokeX = -1;
    lastStrokeY = -1;
}

void CharacterEditor::clearSelection() {
    releasePaint();
    redraw = true;
    selection = IntRect{};
}

void CharacterEditor::copySelection(bool cut) {
    FaceRect area = selectionOrFace();
    copyImageToClipboard(copyFaceRegion(character, face, area.sx, area.sy, area.sw, area.sh));
    // The copy reports through the slot at once; its report is taken here
    // (the frame would drop it anyway) because a cut whose copy did not
    // reach the clipboard would only erase the picture.
    RgbaImage none;
    std::string status;
    bool copied = takeClipboardImage(none, status) && status == kClipboardImageCopied;
    if (!cut || !copied) return;
    pushUndo();
    fillFaceArea(character, face, {area.sx, area.sy, area.sw, area.sh}, secondaryColor);
    markEdited(true);
}

void CharacterEditor::pasteImage(const RgbaImage& image) {
    if (!isValidImage(image) || !faceViewReady() || joinOverlayShown || textEditing) return;
    endDrag(DragEnd::Commit);
    auto [fw, fh] = character.faceSize(face);
    bool pointed = pointOnFace(pointerX, pointerY);
    auto [px, py] = texelAt(pointerX, pointerY);
    int x = selection.w != 0 ? selection.x : (pointed ? px : 0);
    int y = selection.h != 0 ? selection.y : (pointed ? py : 0);
    pushUndo();
    blendImageOntoFace(character, face, x, y, image);
    selection = {x, y, std::min(image.width, fw - x), std::min(image.height, fh - y)};
    markEdited(true);
}

void CharacterEditor::stepSize(int axis, int delta) {
    if (axis < 0 || axis > 2) return;
    int sides[3] = {character.width, character.height, character.depth};
    int wanted = std::clamp(sides[axis] + delta, kMinCharacterSide, kMaxCharacterSide);
    if (wanted == sides[axis]) return;
    sides[axis] = wanted;
    endDrag(DragEnd::Commit);
    pushUndo();
    character.setSize(sides[0], sides[1], sides[2]);
    selection = IntRect{};
    markEdited(true);
}

void CharacterEditor::exportSheet() {
    stopTextEditing();
    savePngFile(makeSkinSheet(character), character.name);
}

void CharacterEditor::requestImport() {
    // The dialog is modal; the image arrives through the slot next frame.
    stopTextEditing();
    loadPngFile();
}

void CharacterEditor::importSheet(const RgbaImage& image) {
    Character imported = character;
    std::string message;
    if (isValidImage(image) && importSkinSheet(image, imported, message)) {
        stopTextEditing();
        endDrag(DragEnd::Commit);
        pushUndo();
        character.id = imported.id;
        character.name = imported.name;
        character.setSize(imported.width, imported.height, imported.depth);
        character.faces = imported.faces;
        selection = IntRect{};
        markEdited(true);
    }
    redraw = true;
}

void CharacterEditor::takePendingImages() {
    bool faceView = !libraryShown && viewMode == 1 && !joinOverlayShown;
    updateClipboardSupport(faceView && !animating() && !textEditing);
    RgbaImage image;
    std::string status;
    if (takeClipboardImage(image, status) && isValidImage(image)) pasteImage(image);
    updateImageSupport(faceView);
    RgbaImage loaded;
    if (takeLoadedPng(loaded, status) && isValidImage(loaded)) importSheet(loaded);
}

}  // namespace vobu
