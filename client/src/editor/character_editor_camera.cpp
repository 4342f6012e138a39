// The editor's own camera: the projection of the box, fitting the box and a
// face to the view, zooming with the switches between orbit and face view,
// the animated moves, the idle spin and the resize handles.

#include <algorithm>
#include <cmath>

#include "editor/character_editor.h"

namespace vobu {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 6.28318530717959f;
constexpr float kMaxOrbitZoom = 2.5f;
constexpr float kMaxFaceMagnification = 16.0f;
constexpr int kStepFrames = 4;  // the camera moves on every fourth update
constexpr float kSpinRadiansPerSecond = 0.18f;

// A target angle moved by whole turns to lie within half a turn of `from`,
// so that the camera takes the short way round.
float nearestTurn(float target, float from) {
    while (target - from > kPi) target -= kTwoPi;
    while (from - target > kPi) target += kTwoPi;
    return target;
}

// The smooth step 0..1 of the animation phases.
double smoothStep(double t) {
    if (t <= 0) return 0;
    if (t >= 1) return 1;
    return t * t * (3 - 2 * t);
}

}  // namespace

Vertex CharacterEditor::projectVertex(float x, float y, float z, const Color& color, float u, float v) const {
    const float X = x / kTexelWorld;
    const float Y = y / kTexelWorld;
    const float Z = z / kTexelWorld - float(character.height) / 2;
    const float sy = std::sin(yaw), cy = std::cos(yaw);
    const float sp = std::sin(pitch), cp = std::cos(pitch);
    const float right = X * cy + Y * sy;
    const float up = -X * sy * sp + Y * cy * sp + Z * cp;
    const float d = distance - (X * sy * cp - Y * cy * cp + Z * sp);

    const IntRect view = viewRect();
    const float centreX = float(view.x) + float(view.w) / 2 + panX;
    const float centreY = float(view.y) + float(view.h) / 2 + panY;
    const float s = layout.scale;
    const float W = float(drawableWidth);
    const float H = float(drawableHeight);

    Vertex out;
    out.x = ((s * centreX + float(layout.x)) * 2 / W - 1) * d + s * focalLength * right * 2 / W;
    out.y = (1 - (s * centreY + float(layout.y)) * 2 / H) * d + s * focalLength * up * 2 / H;
    out.z = (2048.1f * d - 409.6f) / 2047.9f;
    out.w = d;
    out.r = color.r;
    out.g = color.g;
    out.b = color.b;
    out.u = u;
    out.v = v;
    return out;
}

float CharacterEditor::fitDistance() const {
    const float w = float(character.width), h = float(character.height), d = float(character.depth);
    const float halfDiagonal = std::sqrt(w * w + h * h + d * d) / 2;
    const IntRect view = viewRect();
    const float aspect = std::min(float(view.w) / float(view.h), 1.0f);
    const float angle = std::atan(aspect * kTanHalfFov);
    return halfDiagonal / std::sin(angle) * 1.12f;
}

float CharacterEditor::faceBaseScale() const {
    const IntRect view = viewRect();
    const auto [fw, fh] = character.faceSize(face);
    return std::min(float(view.w - 70) / float(fw), float(view.h - 50) / float(fh));
}

float CharacterEditor::faceScale() const { return resizing ? resizeScale : faceBaseScale() * zoom; }

float CharacterEditor::faceDepthExtent() const {
    switch (face) {
        case FaceLeft:
        case FaceRight:
            return float(character.width);
        case FaceTop:
        case FaceBottom:
            return float(character.height);
        default:
            return float(character.depth);
    }
}

float CharacterEditor::faceViewDistance() const { return focalLength / faceScale() + faceDepthExtent() / 2; }

void CharacterEditor::layoutCamera() {
    const IntRect view = viewRect();
    focalLength = (float(view.h) / 2) / kTanHalfFov;
    const bool faceView = !libraryShown && viewMode == 1;
    if (!animating()) distance = faceView ? faceViewDistance() : fitDistance() / std::min(zoom, kMaxOrbitZoom);
    if (!faceView) return;

    pixelsPerTexel = faceScale();
    const float sy = std::sin(yaw), cy = std::cos(yaw);
    const float sp = std::sin(pitch), cp = std::cos(pitch);
    // The eye never enters the box, whatever the magnification.
    const float clear = (std::fabs(cp * sy) * float(character.width) + std::fabs(cp * cy) * float(character.depth) +
                         std::fabs(sp) * float(character.height)) /
                            2 +
                        0.5f;
    distance = std::max(distance, clear);

    const auto [fw, fh] = character.faceSize(face);
    faceLeft = float(view.x) + float(view.w) / 2 + panX - float(fw) * pixelsPerTexel / 2;
    faceTop = float(view.y) + float(view.h) / 2 + panY - float(fh) * pixelsPerTexel / 2;
    const int left = int(std::floor(faceLeft));
    const int top = int(std::floor(faceTop));
    faceRect = IntRect{left, top, int(std::ceil(faceLeft + float(fw) * pixelsPerTexel)) - left,
                       int(std::ceil(faceTop + float(fh) * pixelsPerTexel)) - top};
}

void CharacterEditor::zoomBy(float steps) {
    if (!libraryShown) stopTextEditing();
    const float fit = fitDistance();
    const bool faceView = !libraryShown && viewMode == 1;
    const float halfExtent = faceDepthExtent() / 2;
    const float current = faceView ? faceViewDistance() : fit / zoom;

    float wanted = std::min(kMaxOrbitZoom * fit, current * std::exp(-0.14f * steps));
    const float nearest =
        libraryShown ? fit / kMaxOrbitZoom : focalLength / (faceBaseScale() * kMaxFaceMagnification) + halfExtent;
    wanted = std::max(wanted, nearest);

    if (libraryShown) {
        zoom = fit / wanted;
        panX = panY = 0;
    } else if (faceView) {
        if (wanted > 1.02f * fit) {
            showWholeCharacter(wanted);
            return;
        }
        zoom = focalLength / (wanted - halfExtent) / faceBaseScale();
        // The point under the pointer stays where it is.
        const IntRect view = viewRect();
        const float k = (current - halfExtent) / (wanted - halfExtent);
        const float px = float(pointerX) - (float(view.x) + float(view.w) / 2);
        const float py = float(pointerY) - (float(view.y) + float(view.h) / 2);
        panX = px - k * (px - panX);
        panY = py - k * (py - panY);
    } else {
        if (0.98f * fit > wanted) {
            pickFace(wanted);
            return;
        }
        zoom = fit / wanted;
        panX = panY = 0;
    }
    if (animating()) animTo.distance = wanted;
    redraw = true;
}

void CharacterEditor::pickFace(float currentDistance) {
    endDrag(DragEnd::Drop);
    const float sy = std::sin(yaw), cy = std::cos(yaw);
    const float sp = std::sin(pitch), cp = std::cos(pitch);
    // The face through which the line from the box centre toward the eye
    // leaves the box.
    const float ax = std::fabs(cp * sy / float(character.width));
    const float ay = std::fabs(sp) / float(character.height);
    const float az = std::fabs(cp * cy / float(character.depth));
    int picked;
    if (ay > ax && ay > az) {
        picked = sp > 0 ? FaceTop : FaceBottom;
    } else if (ax > az) {
        picked = cp * sy > 0 ? FaceRight : FaceLeft;
    } else {
        picked = -cp * cy > 0 ? FaceBack : FaceFront;
    }
    viewMode = 1;
    face = picked;
    // The face view starts at the scale the orbit view showed it at.
    zoom = (focalLength / std::max(currentDistance - faceDepthExtent() / 2, 0.5f)) / faceBaseScale();
    focusFace(picked);
}

void CharacterEditor::focusFace(int newFace) {
    // Before the target is taken: a resize ends at the scale it froze, and
    // no drag goes on onto another face.
    endDrag(DragEnd::Drop);
    selection = IntRect{};
    face = std::clamp(newFace, 0, kFaceCount - 1);
    idleSeconds = kIdleSpinSeconds;
    EditorCameraPose target;
    switch (face) {
        case FaceBack:
            target.yaw = kPi;
            break;
        case FaceLeft:
            target.yaw = -kPi / 2;
            break;
        case FaceRight:
            target.yaw = kPi / 2;
            break;
        default:
            target.yaw = 0;
            break;
    }
    target.pitch = face == FaceTop ? kPi / 2 : face == FaceBottom ? -kPi / 2 : 0;
    target.yaw = nearestTurn(target.yaw, yaw);
    target.distance = viewMode == 1 ? faceViewDistance() : fitDistance() / std::min(zoom, kMaxOrbitZoom);
    startCameraAnimation(target);
}

void CharacterEditor::showWholeCharacter(float currentDistance) {
    endDrag(DragEnd::Drop);
    viewMode = 0;
    zoom = fitDistance() / currentDistance;
    selection = IntRect{};
    EditorCameraPose target;
    target.yaw = nearestTurn(0.35f, yaw);
    target.pitch = 0.3f;
    target.distance = currentDistance;
    startCameraAnimation(target);
    idleSeconds = kIdleSpinSeconds;
}

void CharacterEditor::resetFaceView() {
    zoom = 1.0f;
    panX = panY = 0;
    redraw = true;
}

// Its callers end the drags before they take the target, so that no stroke
// goes on across the move.
void CharacterEditor::startCameraAnimation(const EditorCameraPose& target) {
    animFrom = EditorCameraPose{yaw, pitch, distance, panX, panY};
    animTo = target;
    animPeak = std::max({target.distance, distance, fitDistance()});
    animElapsed = animPending = 0;
    animFrames = 0;
    animProgress = 0;
    redraw = true;
}

void CharacterEditor::stepCameraAnimation(double dt) {
    if (!animating()) return;
    animPending += std::max(dt, 0.0);
    if (++animFrames < kStepFrames) return;
    animFrames = 0;
    animElapsed = std::min(animElapsed + animPending, kAnimSeconds);
    animPending = 0;

    const double e = animElapsed;
    const float p1 = float(smoothStep(e / 0.2));           // backing out, and the pan
    const float p2 = float(smoothStep((e - 0.2) / 0.3));   // the turn
    const float p3 = float(smoothStep((e - 0.5) / 0.22));  // moving in
    yaw = animFrom.yaw + p2 * (animTo.yaw - animFrom.yaw);
    pitch = animFrom.pitch + p2 * (animTo.pitch - animFrom.pitch);
    const float backedOut = animFrom.distance + p1 * (animPeak - animFrom.distance);
    distance = backedOut + p3 * (animTo.distance - backedOut);
    panX = animFrom.panX + p1 * (animTo.panX - animFrom.panX);
    panY = animFrom.panY + p1 * (animTo.panY - animFrom.panY);
    animProgress = float(e / kAnimSeconds);
    redraw = true;
}

void CharacterEditor::stepIdleSpin(double dt) {
    const bool spinning = !joinOverlayShown && (libraryShown || viewMode == 0) && !orbiting && !animating();
    if (!spinning) {
        spinFrames = 0;
        spinTime = 0;
        return;
    }
    ++spinFrames;
    idleSeconds += dt;
    spinTime += dt;
    if (spinFrames < kStepFrames) return;
    if (idleSeconds > kIdleSpinSeconds) yaw += kSpinRadiansPerSecond * float(spinTime);
    spinFrames = 0;
    spinTime = 0;
}

IntRect CharacterEditor::resizeHandleRect(int handle) const {
    const IntRect& f = faceRect;
    switch (handle) {
        case 0:
            return IntRect{f.x + f.w + 3, f.y + f.h / 2 - 5, 10, 10};
        case 1:
            return IntRect{f.x + f.w / 2 - 5, f.y + f.h + 3, 10, 10};
        default:
            return IntRect{f.x + f.w + 3, f.y + f.h + 3, 10, 10};
    }
}

int CharacterEditor::resizeHandleAt(int x, int y) const {
    if (!faceViewReady()) return -1;
    for (int handle = 0; handle < 3; ++handle) {
        if (resizeHandleRect(handle).contains(x, y)) return handle;
    }
    return -1;
}

void CharacterEditor::beginResize(int handle, int x, int y) {
    pushUndo();
    resizeHandle = handle;
    resizing = true;
    resizeScale = pixelsPerTexel;
    resizePressX = x;
    resizePressY = y;
    resizeStartWidth = character.width;
    resizeStartHeight = character.height;
    resizeStartDepth = character.depth;
    resizeStartPanX = panX;
    resizeStartPanY = panY;
}

void CharacterEditor::dragResize(int x, int y) {
    if (!resizing || resizeScale <= 0) return;
    // The face's horizontal axis is the width but for the side faces; its
    // vertical axis the height but for the top and bottom.
    const bool side = face == FaceLeft || face == FaceRight;
    const bool cap = face == FaceTop || face == FaceBottom;
    const int startH = side ? resizeStartDepth : resizeStartWidth;
    const int startV = cap ? resizeStartDepth : resizeStartHeight;
    int newH = startH;
    int newV = startV;
    auto stepped = [&](int start, int moved) {
        return std::clamp(start + int(std::round(float(moved) / resizeScale)), kMinCharacterSide, kMaxCharacterSide);
    };
    if (resizeHandle == 0 || resizeHandle == 2) newH = stepped(startH, x - resizePressX);
    if (resizeHandle == 1 || resizeHandle == 2) newV = stepped(startV, y - resizePressY);

    int width = resizeStartWidth, height = resizeStartHeight, depth = resizeStartDepth;
    (side ? depth : width) = newH;
    (cap ? depth : height) = newV;
    if (width == character.width && height == character.height && depth == character.depth) return;
    character.setSize(width, height, depth);
    selection = IntRect{};
    // The face's top-left corner stays put while it grows to the right and down.
    panX = resizeScale * float(newH - startH) / 2 + resizeStartPanX;
    panY = resizeScale * float(newV - startV) / 2 + resizeStartPanY;
    markEdited(true);
}

void CharacterEditor::endResize() {
    if (!resizing) return;
    resizing = false;
    redraw = true;
    zoom = std::clamp(resizeScale / faceBaseScale(), 0.125f, kMaxFaceMagnification);
}

}  // namespace vobu
