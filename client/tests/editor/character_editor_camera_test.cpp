// The editor's camera: fitting, the projection against the face placement,
// zooming with its limits and view switches, the face picked from the line
// of sight, the three-phase animation, the idle spin and the resize drag.

#include <algorithm>
#include <cmath>
#include <vector>

#include "editor_fixture.h"
#include "world/character_box.h"

namespace vobu::testing {
namespace {

constexpr float kPi = 3.14159265358979f;

class Camera : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        start();
    }

    void openFaceView() {
        editor.openEditor();
        frame();
    }

    // The box as draw() builds it, in drawable pixels.
    std::vector<std::array<float, 2>> projectedFace(int face) {
        std::vector<Vertex> box;
        const PlotFunction plot = [this](float x, float y, float z, const Color& color) {
            return editor.projectVertex(x, y, z, color, 0, 0);
        };
        drawCharacterBox(CharacterBoxArgs{box, editor.character, 0, plot, false, {0, 0, 0}, 1, PoseShape{}});
        std::vector<std::array<float, 2>> corners;
        for (size_t i : {0u, 1u, 2u, 5u}) {
            const Vertex& v = box[size_t(face) * 6 + i];
            corners.push_back({(v.x / v.w + 1) * float(editor.drawableWidth) / 2,
                               (1 - v.y / v.w) * float(editor.drawableHeight) / 2});
        }
        return corners;
    }

    // Expects the projected face to cover exactly the face placement.
    void expectFaceMatchesPlacement(int face) {
        const auto corners = projectedFace(face);
        float left = 1e9f, right = -1e9f, top = 1e9f, bottom = -1e9f;
        for (const auto& c : corners) {
            left = std::min(left, c[0]);
            right = std::max(right, c[0]);
            top = std::min(top, c[1]);
            bottom = std::max(bottom, c[1]);
        }
        const auto [fw, fh] = editor.character.faceSize(face);
        const float ox = float(editor.layout.x), oy = float(editor.layout.y);
        EXPECT_NEAR(left - ox, editor.faceLeft, 0.5f);
        EXPECT_NEAR(top - oy, editor.faceTop, 0.5f);
        EXPECT_NEAR(right - ox, editor.faceLeft + float(fw) * editor.pixelsPerTexel, 0.5f);
        EXPECT_NEAR(bottom - oy, editor.faceTop + float(fh) * editor.pixelsPerTexel, 0.5f);
    }

    // The continuous texel coordinate under a canvas point.
    std::array<float, 2> texelUnder(int x, int y) const {
        return {(float(x) - editor.faceLeft) / editor.pixelsPerTexel,
                (float(y) - editor.faceTop) / editor.pixelsPerTexel};
    }

    // The steps that turn the current distance into `wanted`.
    static float stepsFor(float current, float wanted) { return -std::log(wanted / current) / 0.14f; }

    void settle() {
        for (int i = 0; i < 200 && editor.animating(); ++i) editor.stepCameraAnimation(0.01);
        editor.layoutCamera();
    }
};

TEST_F(Camera, FitDistanceOfTheDefaultBox) {
    editor.openEditor();
    EXPECT_NEAR(editor.fitDistance(), 103.86f, 0.05f);
    editor.showLibrary();
    EXPECT_NEAR(editor.fitDistance(), 103.86f, 0.05f);  // both views are wider than high
}

TEST_F(Camera, FrontFaceLandsOnItsPlacement) {
    openFaceView();
    EXPECT_FLOAT_EQ(editor.pixelsPerTexel, 412.0f / 64);
    expectFaceMatchesPlacement(FaceFront);

    editor.zoom = 2.7f;
    editor.panX = -41.5f;
    editor.panY = 23.25f;
    editor.draw(1280, 800);  // the canvas centred, 130 and 60 pixels in
    expectFaceMatchesPlacement(FaceFront);
}

TEST_F(Camera, EveryFaceLandsOnItsPlacementOnceTurnedTo) {
    openFaceView();
    editor.character.setSize(20, 50, 40);
    for (int face = 0; face < kFaceCount; ++face) {
        editor.focusFace(face);
        settle();
        SCOPED_TRACE(face);
        expectFaceMatchesPlacement(face);
    }
}

TEST_F(Camera, ProjectionPlacesAPointFocalTimesOffsetOverDistance) {
    openFaceView();
    // A point 10 texels right of the box centre, on the Front face plane.
    const Vertex v = editor.projectVertex(10 * 0.02f, -16 * 0.02f, 32 * 0.02f, Color{1, 1, 1}, 0, 0);
    const float x = (v.x / v.w + 1) * 1020 / 2;
    EXPECT_NEAR(x - (24 + 348), editor.focalLength * 10 / v.w, 1e-3f);
    EXPECT_NEAR(editor.focalLength, 231 / 0.46630767f, 1e-3f);
    EXPECT_GT(v.z / v.w, -1.0f);
    EXPECT_LT(v.z / v.w, 1.0f);
}

TEST_F(Camera, FaceZoomKeepsTheTexelUnderThePointer) {
    openFaceView();
    editor.pointerX = 301;
    editor.pointerY = 203;
    for (float steps : {1.0f, 3.0f, -2.0f, 0.5f}) {
        const auto before = texelUnder(301, 203);
        editor.zoomBy(steps);
        editor.layoutCamera();
        ASSERT_EQ(editor.viewMode, 1);
        const auto after = texelUnder(301, 203);
        EXPECT_NEAR(after[0], before[0], 1e-3f) << steps;
        EXPECT_NEAR(after[1], before[1], 1e-3f) << steps;
    }
}

TEST_F(Camera, OrbitViewSwitchesToTheFaceBelow98PercentOfTheFit) {
    openFaceView();
    editor.viewMode = 0;
    editor.zoom = 1.0f;
    editor.layoutCamera();
    const float fit = editor.fitDistance();
    editor.zoomBy(stepsFor(fit, 0.981f * fit));
    EXPECT_EQ(editor.viewMode, 0);
    EXPECT_NEAR(editor.zoom, 1 / 0.981f, 1e-4f);

    editor.zoom = 1.0f;
    editor.layoutCamera();
    editor.zoomBy(stepsFor(fit, 0.979f * fit));
    EXPECT_EQ(editor.viewMode, 1);
    EXPECT_EQ(editor.face, FaceFront);  // yaw 0, pitch 0 looks at the front
    EXPECT_TRUE(editor.animating());
    // The face view starts at the scale the orbit view showed it at.
    const float shown = editor.focalLength / (0.979f * fit - 16);
    EXPECT_NEAR(editor.zoom * editor.faceBaseScale(), shown, 1e-3f);
}

TEST_F(Camera, FaceViewSwitchesToTheOrbitAbove102PercentOfTheFit) {
    openFaceView();
    const float fit = editor.fitDistance();
    editor.zoomBy(stepsFor(editor.faceViewDistance(), 1.019f * fit));
    EXPECT_EQ(editor.viewMode, 1);
    EXPECT_NEAR(editor.faceViewDistance(), 1.019f * fit, 1e-2f);

    editor.zoomBy(stepsFor(editor.faceViewDistance(), 1.021f * fit));
    EXPECT_EQ(editor.viewMode, 0);
    EXPECT_NEAR(editor.zoom, 1 / 1.021f, 1e-3f);
    settle();
    EXPECT_NEAR(editor.yaw, 0.35f, 1e-5f);
    EXPECT_NEAR(editor.pitch, 0.3f, 1e-5f);
    EXPECT_NEAR(editor.distance, 1.021f * fit, 1e-2f);
}

TEST_F(Camera, ZoomLimits) {
    editor.layoutCamera();
    for (int i = 0; i < 40; ++i) editor.zoomBy(1);
    EXPECT_NEAR(editor.zoom, 2.5f, 1e-4f);
    for (int i = 0; i < 40; ++i) editor.zoomBy(-1);
    EXPECT_NEAR(editor.zoom, 0.4f, 1e-4f);

    openFaceView();
    editor.pointerX = 372;
    editor.pointerY = 325;
    for (int i = 0; i < 60; ++i) editor.zoomBy(1);
    EXPECT_NEAR(editor.zoom, 16.0f, 1e-2f);
    editor.layoutCamera();
    // However close, the eye stays outside the box.
    EXPECT_GT(editor.distance, 16.5f);
}

struct PickCase {
    float yaw, pitch;
    int width, depth;
    int face;
};

TEST_F(Camera, PickFaceFollowsTheLineOfSight) {
    const PickCase cases[] = {
        {0, 0, 32, 32, FaceFront},        {kPi, 0, 32, 32, FaceBack},      {kPi / 2, 0, 32, 32, FaceRight},
        {-kPi / 2, 0, 32, 32, FaceLeft},  {0.3f, 1.2f, 32, 32, FaceTop},   {0.3f, -1.2f, 32, 32, FaceBottom},
        {0.35f, 0.3f, 32, 32, FaceFront}, {0.6f, 0, 64, 16, FaceFront},    {0.6f, 0, 16, 64, FaceRight},
        {-2.8f, 0.1f, 32, 32, FaceBack},  {2 * kPi, 0, 32, 32, FaceFront}, {-0.6f, 0, 16, 64, FaceLeft},
    };
    for (const PickCase& c : cases) {
        openFaceView();
        editor.character.setSize(c.width, 64, c.depth);
        editor.viewMode = 0;
        editor.yaw = c.yaw;
        editor.pitch = c.pitch;
        editor.layoutCamera();
        editor.pickFace(editor.fitDistance() * 0.9f);
        EXPECT_EQ(editor.face, c.face) << c.yaw << " " << c.pitch << " " << c.width << "x" << c.depth;
        EXPECT_EQ(editor.viewMode, 1);
    }
}

TEST_F(Camera, AnimationRunsInThreePhasesEveryFourthUpdate) {
    openFaceView();
    const float fromDistance = editor.distance;
    editor.focusFace(FaceRight);
    const EditorCameraPose to = editor.animTo;
    const float peak = editor.animPeak;
    EXPECT_FLOAT_EQ(to.yaw, kPi / 2);
    EXPECT_FLOAT_EQ(peak, std::max(editor.fitDistance(), fromDistance));
    auto s = [](double t) { return t * t * (3 - 2 * t); };

    // Advances the animation to elapsed time `e` in four calls.
    double elapsed = 0;
    auto advanceTo = [&](double e) {
        const double dt = (e - elapsed) / 4;
        for (int i = 0; i < 3; ++i) editor.stepCameraAnimation(dt);
        EXPECT_NEAR(editor.animElapsed, elapsed, 1e-12);  // nothing moves before the fourth call
        editor.stepCameraAnimation(dt);
        elapsed = e;
    };
    // Backing out to the peak; the turn has not begun.
    for (double t : {0.25, 0.5, 0.75}) {
        advanceTo(0.2 * t);
        EXPECT_NEAR(editor.distance, fromDistance + float(s(t)) * (peak - fromDistance), 1e-3f) << t;
        EXPECT_NEAR(editor.yaw, 0.0f, 1e-6f);
    }
    // The turn, out at the peak.
    for (double t : {0.25, 0.5, 0.75}) {
        advanceTo(0.2 + 0.3 * t);
        EXPECT_NEAR(editor.yaw, float(s(t)) * kPi / 2, 1e-4f) << t;
        EXPECT_NEAR(editor.distance, peak, 1e-3f);
    }
    // Moving in to the target.
    for (double t : {0.25, 0.5, 0.75}) {
        advanceTo(0.5 + 0.22 * t);
        EXPECT_NEAR(editor.distance, peak + float(s(t)) * (to.distance - peak), 1e-3f) << t;
        EXPECT_NEAR(editor.yaw, kPi / 2, 1e-5f);
        EXPECT_NEAR(editor.animProgress, (0.5 + 0.22 * t) / 0.72, 1e-5f);
    }
    advanceTo(5.0);  // capped at 0.72 s
    EXPECT_DOUBLE_EQ(editor.animElapsed, 0.72);
    EXPECT_FALSE(editor.animating());
    EXPECT_NEAR(editor.distance, to.distance, 1e-4f);
}

TEST_F(Camera, FocusTakesTheShortWayRound) {
    openFaceView();
    editor.yaw = 3 * kPi + 0.1f;
    editor.focusFace(FaceFront);
    EXPECT_NEAR(editor.animTo.yaw, 4 * kPi, 1e-4f);
    EXPECT_FLOAT_EQ(editor.animTo.pitch, 0);
    editor.focusFace(FaceBottom);
    EXPECT_FLOAT_EQ(editor.animTo.pitch, -kPi / 2);
}

TEST_F(Camera, IdleSpinTurnsTheLibraryPreviewEveryFourthFrame) {
    const float start = editor.yaw;
    for (int i = 0; i < 3; ++i) editor.update(0.05);
    EXPECT_FLOAT_EQ(editor.yaw, start);
    editor.update(0.05);
    EXPECT_NEAR(editor.yaw, start + 0.18f * 0.2f, 1e-6f);
    for (int i = 0; i < 40; ++i) editor.update(0.05);
    EXPECT_NEAR(editor.yaw, start + 0.18f * 2.2f, 1e-5f);

    // An orbit drag holds it; after it the preview waits three seconds.
    editor.orbiting = true;
    const float held = editor.yaw;
    for (int i = 0; i < 8; ++i) editor.update(0.05);
    EXPECT_FLOAT_EQ(editor.yaw, held);
    editor.orbiting = false;
    editor.idleSeconds = 0;
    for (int i = 0; i < 56; ++i) editor.update(0.05);  // 2.8 s
    EXPECT_FLOAT_EQ(editor.yaw, held);
    for (int i = 0; i < 8; ++i) editor.update(0.05);
    EXPECT_GT(editor.yaw, held);
}

TEST_F(Camera, NoSpinInTheFaceView) {
    openFaceView();
    for (int i = 0; i < 20; ++i) editor.update(0.05);
    EXPECT_FLOAT_EQ(editor.yaw, 0);
}

class Resize : public Camera {
protected:
    // The face view of a face at exactly two pixels per texel.
    void openAtTwoPixels(int face) {
        openFaceView();
        editor.focusFace(face);
        settle();
        editor.zoom = 2.0f / editor.faceBaseScale();
        editor.layoutCamera();
        ASSERT_FLOAT_EQ(editor.pixelsPerTexel, 2.0f);
        ASSERT_FALSE(editor.animating());
    }

    std::array<int, 2> handleCentre(int handle) const {
        const IntRect r = editor.resizeHandleRect(handle);
        return {r.x + 5, r.y + 5};
    }
};

TEST_F(Resize, HandlesSitBesideTheFace) {
    openFaceView();
    const IntRect f = editor.faceRect;
    EXPECT_EQ(editor.resizeHandleRect(0), (IntRect{f.x + f.w + 3, f.y + f.h / 2 - 5, 10, 10}));
    EXPECT_EQ(editor.resizeHandleRect(1), (IntRect{f.x + f.w / 2 - 5, f.y + f.h + 3, 10, 10}));
    EXPECT_EQ(editor.resizeHandleRect(2), (IntRect{f.x + f.w + 3, f.y + f.h + 3, 10, 10}));
    const auto [x, y] = handleCentre(1);
    EXPECT_EQ(editor.resizeHandleAt(x, y), 1);
    EXPECT_EQ(editor.resizeHandleAt(f.x + 5, f.y + 5), -1);
    editor.focusFace(FaceBack);
    EXPECT_EQ(editor.resizeHandleAt(x, y), -1);  // not while the camera moves
}

TEST_F(Resize, HalfTexelsRoundAwayFromZero) {
    openAtTwoPixels(FaceFront);
    const auto [x, y] = handleCentre(0);
    const float left = editor.faceLeft;
    editor.beginResize(0, x, y);
    editor.dragResize(x + 7, y);  // 3.5 texels
    EXPECT_EQ(editor.character.width, 36);
    editor.layoutCamera();
    EXPECT_NEAR(editor.faceLeft, left, 1e-4f);  // the left edge stays put
    editor.dragResize(x + 6, y);
    EXPECT_EQ(editor.character.width, 35);
    editor.dragResize(x - 7, y);
    EXPECT_EQ(editor.character.width, 28);
    editor.dragResize(x + 1000, y + 1000);
    EXPECT_EQ(editor.character.width, 64);
    EXPECT_EQ(editor.character.height, 64);  // handle 0 leaves the other axis
    editor.dragResize(x - 1000, y);
    EXPECT_EQ(editor.character.width, 16);
    editor.dragResize(x + 7, y);
    editor.endResize();
    EXPECT_FALSE(editor.resizing);
    editor.layoutCamera();
    EXPECT_NEAR(editor.pixelsPerTexel, 2.0f, 1e-4f);  // the scale of the drag is kept
    EXPECT_NEAR(editor.faceLeft, left, 1e-4f);
    EXPECT_TRUE(editor.unsaved);
    ASSERT_EQ(editor.undoStack.size(), 1u);  // one drag, one undo step
    editor.undo();
    EXPECT_EQ(editor.character.width, 32);
}

TEST_F(Resize, SideAndTopFacesResizeTheirOwnAxes) {
    openAtTwoPixels(FaceLeft);
    const auto corner = handleCentre(2);
    editor.beginResize(2, corner[0], corner[1]);
    editor.dragResize(corner[0] + 8, corner[1] - 8);
    editor.endResize();
    EXPECT_EQ(editor.character.depth, 36);
    EXPECT_EQ(editor.character.height, 60);
    EXPECT_EQ(editor.character.width, 32);

    openAtTwoPixels(FaceTop);
    const auto bottom = handleCentre(1);
    editor.beginResize(1, bottom[0], bottom[1]);
    editor.dragResize(bottom[0] + 40, bottom[1] + 10);
    EXPECT_EQ(editor.character.depth, 41);
    EXPECT_EQ(editor.character.width, 32);
}

}  // namespace
}  // namespace vobu::testing
