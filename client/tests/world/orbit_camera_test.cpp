// The orbit camera: input limits, the pull-in against walls, projection and
// the movement vector.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "presentation_test_support.h"
#include "world/orbit_camera.h"

namespace vobu {
namespace {

using presentation::length;

TEST(OrbitCamera, PitchStopsAtLevelAndAtOnePointFive) {
    OrbitCamera camera;
    camera.rotate(0, 300);
    EXPECT_FLOAT_EQ(camera.pitch, 1.5f);
    camera.rotate(0, -1000);
    EXPECT_FLOAT_EQ(camera.pitch, 0.0f);
    camera.rotate(200, 0);
    EXPECT_FLOAT_EQ(camera.yaw, 1.0f);
    camera.rotate(2000, 0);  // the yaw is unbounded
    EXPECT_FLOAT_EQ(camera.yaw, 11.0f);
}

TEST(OrbitCamera, ZoomStopsAtThreeAndTwenty) {
    OrbitCamera camera;
    for (int i = 0; i < 10; ++i) camera.zoom(1);
    EXPECT_FLOAT_EQ(camera.distance, 3.0f);
    OrbitCamera out;
    for (int i = 0; i < 10; ++i) out.zoom(-1);
    EXPECT_FLOAT_EQ(out.distance, 20.0f);
    OrbitCamera one;
    one.zoom(1);
    EXPECT_NEAR(one.distance, 9.0 * std::exp(-0.12), 1e-5);
    EXPECT_FLOAT_EQ(one.effectiveDistance, 9.0f);  // follows at the next update
    one.update(0, 0, 0, 0, nullptr);
    EXPECT_FLOAT_EQ(one.effectiveDistance, one.distance);
}

TEST(OrbitCamera, HeightEasesWithTimeAndJumpsWithoutIt) {
    OrbitCamera camera;
    camera.update(1, 2, 4, 0, nullptr);
    EXPECT_FLOAT_EQ(camera.targetZ, 4.0f);
    EXPECT_FLOAT_EQ(camera.targetX, 1.0f);
    camera.update(1, 2, 0, 0.08f, nullptr);
    EXPECT_NEAR(camera.targetZ, 4.0 * std::exp(-1.0), 1e-5);
}

TEST(OrbitCamera, AHeightThatIsNotFiniteDoesNotStick) {
    for (float bad : {std::nanf(""), INFINITY}) {
        OrbitCamera camera;
        camera.update(1, 2, bad, 1.0f / 60, nullptr);
        camera.update(1, 2, 3, 1.0f / 60, nullptr);
        EXPECT_EQ(camera.targetZ, 3.0f) << bad;
        camera.update(1, 2, 0, 0.08f, nullptr);
        EXPECT_NEAR(camera.targetZ, 3.0 * std::exp(-1.0), 1e-5);
    }
}

// A camera at yaw 0 (looking toward +y), pitch 0 (level), following the
// origin: the eye lies at (0, -distance, 0.9).
OrbitCamera levelCamera() {
    OrbitCamera camera;
    camera.pitch = 0;
    camera.update(0, 0, 0, 0, nullptr);
    return camera;
}

TEST(OrbitCamera, WallsBetweenPivotAndEyePullTheEyeIn) {
    struct Case {
        const char* what;
        float wallY;  // the wall plane crosses the eye's way at y = wallY
        bool transparent;
        float want;
    } const cases[] = {
        {"wall at 40 %", -3.6f, false, 9 * 0.4f - 0.15f}, {"wall at 1 %", -0.09f, false, 0.2f},
        {"transparent wall", -3.6f, true, 9.0f},          {"wall behind the eye", -9.5f, false, 9.0f},
        {"wall behind the pivot", 1.0f, false, 9.0f},     {"wall exactly at the eye", -9.0f, false, 9.0f},
        {"wall exactly at the pivot", 0.0f, false, 9.0f},
    };
    for (const auto& c : cases) {
        Scene scene;
        scene.materials.push_back(presentation::wallMaterial(0, c.wallY, -2, 2, -1, 3));
        scene.textures.resize(1);
        scene.textures[0].hasTransparency = c.transparent;
        OrbitCamera camera = levelCamera();
        camera.update(0, 0, 0, 0, &scene);
        EXPECT_NEAR(camera.effectiveDistance, c.want, 1e-4) << c.what;
    }
}

TEST(OrbitCamera, PullInSpringsBackOnceTheWayIsClearAndMissesPassBeside) {
    Scene scene;
    scene.materials.push_back(presentation::wallMaterial(0, -3.6f, -2, 2, -1, 3));  // no slot: opaque
    OrbitCamera camera = levelCamera();
    camera.update(0, 0, 0, 0, &scene);
    EXPECT_NEAR(camera.effectiveDistance, 3.45f, 1e-4);
    camera.update(5, 0, 0, 0, &scene);  // the wall no longer spans the way
    EXPECT_FLOAT_EQ(camera.effectiveDistance, 9.0f);
    camera.update(0, 0, 0, 0, nullptr);
    EXPECT_FLOAT_EQ(camera.effectiveDistance, 9.0f);
}

TEST(OrbitCamera, VectorsAndEyeFollowYawAndPitch) {
    OrbitCamera camera;
    camera.yaw = 0.7f;
    camera.pitch = 0.4f;
    camera.update(1, -2, 3, 0, nullptr);
    const auto right = camera.right();
    const auto up = camera.up();
    const auto view = camera.viewDirection();
    EXPECT_NEAR(length(right), 1, 1e-6);
    EXPECT_NEAR(length(up), 1, 1e-6);
    EXPECT_NEAR(right[0] * up[0] + right[1] * up[1] + right[2] * up[2], 0, 1e-6);
    EXPECT_NEAR(view[0] * up[0] + view[1] * up[1] + view[2] * up[2], 0, 1e-6);
    const auto eye = camera.eyePosition();
    // The eye lies 9 units from the pivot along the view direction.
    EXPECT_NEAR(eye[0] + 9 * view[0], 1, 1e-5);
    EXPECT_NEAR(eye[1] + 9 * view[1], -2, 1e-5);
    EXPECT_NEAR(eye[2] + 9 * view[2], 3.9, 1e-5);
    EXPECT_GT(eye[2], 3.9);  // raised above the pivot
}

TEST(OrbitCamera, ProjectionPutsThePivotInTheCentreAtItsDistance) {
    OrbitCamera camera;
    camera.yaw = 2.0f;
    camera.update(4, 5, 1, 0, nullptr);
    const Vertex pivot = camera.project(4, 5, 1.9f, 0.1f, 0.2f, 0.3f, 1.5f);
    EXPECT_NEAR(pivot.x, 0, 1e-5);
    EXPECT_NEAR(pivot.y, 0, 1e-5);
    EXPECT_NEAR(pivot.w, 9, 1e-5);
    EXPECT_NEAR(pivot.z / pivot.w, (9 * 100.05 - 10) / 99.95 / 9, 1e-5);
    EXPECT_FLOAT_EQ(pivot.g, 0.2f);
    // Near and far planes land on -1 and 1 after the divide.
    OrbitCamera level = levelCamera();
    const Vertex nearPoint = level.project(0, -9 + 0.05f, 0.9f, 1, 1, 1, 1);
    const Vertex farPoint = level.project(0, -9 + 100, 0.9f, 1, 1, 1, 1);
    EXPECT_NEAR(nearPoint.z / nearPoint.w, -1, 1e-3);
    EXPECT_NEAR(farPoint.z / farPoint.w, 1, 1e-4);
    // 30 degrees above the axis reaches the top edge; the aspect narrows x.
    const Vertex top = level.project(0, 1, 0.9f + 10 * std::tan(float(M_PI / 6)), 1, 1, 1, 2);
    EXPECT_NEAR(top.y / top.w, 1, 1e-5);
    const Vertex side = level.project(10 * std::tan(float(M_PI / 6)), 1, 0.9f, 1, 1, 1, 2);
    EXPECT_NEAR(side.x / side.w, 0.5, 1e-5);
    // Behind the eye w turns negative; nothing is clipped here.
    EXPECT_LT(level.project(0, -12, 0.9f, 1, 1, 1, 1).w, 0);
}

TEST(OrbitCamera, MoveVectorIsRelativeToTheViewAndNormalisedOnlyWhenLonger) {
    OrbitCamera camera;
    auto [fx, fy] = camera.moveVector(0, 1);
    EXPECT_NEAR(fx, 0, 1e-12);
    EXPECT_NEAR(fy, 1, 1e-12);  // forward goes toward +y at yaw 0
    auto [rx, ry] = camera.moveVector(1, 0);
    EXPECT_NEAR(rx, 1, 1e-12);
    EXPECT_NEAR(ry, 0, 1e-12);
    auto [dx, dy] = camera.moveVector(1, 1);
    EXPECT_NEAR(std::hypot(dx, dy), 1, 1e-12);
    auto [hx, hy] = camera.moveVector(0.5f, 0);
    EXPECT_NEAR(std::hypot(hx, hy), 0.5, 1e-12);
    camera.yaw = float(M_PI / 2);  // looking toward +x
    auto [tx, ty] = camera.moveVector(0, 1);
    EXPECT_NEAR(tx, 1, 1e-6);
    EXPECT_NEAR(ty, 0, 1e-6);
    // Forward always goes the way the camera looks.
    const auto view = camera.viewDirection();
    EXPECT_NEAR(tx * view[0] + ty * view[1], std::hypot(view[0], view[1]), 1e-6);
}

TEST(OrbitCamera, ProjectorMatchesProject) {
    OrbitCamera camera;
    camera.yaw = -1.3f;
    camera.pitch = 1.1f;
    camera.update(3, 1, 2, 0, nullptr);
    const CameraProjector projector = camera.projector(1.5f);
    const Vertex a = camera.project(7, -2, 0.5f, 0.3f, 0.4f, 0.5f, 1.5f);
    const Vertex b = projector(7, -2, 0.5f, 0.3f, 0.4f, 0.5f);
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
}

}  // namespace
}  // namespace vobu
