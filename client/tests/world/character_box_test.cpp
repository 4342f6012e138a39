// The character box: its geometry, atlas coordinates, shading and bending.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "character/character.h"
#include "world/character_box.h"

namespace vobu {
namespace {

// A plot callback that keeps model coordinates (w = 1) and the colour.
Vertex modelPoint(float x, float y, float z, const Color& c) { return Vertex{x, y, z, 1, c.r, c.g, c.b, 0, 0}; }

std::vector<Vertex> box(const Character& ch, int level, float yaw = 0, bool shaded = false,
                        std::array<float, 3> light = {0, 0, 0}, PoseShape shape = {}) {
    std::vector<Vertex> out;
    drawCharacterBox(CharacterBoxArgs{out, ch, yaw, modelPoint, shaded, light, level, shape});
    return out;
}

// Triangles per face in face order, counted from a box drawn at `level`.
std::vector<size_t> trianglesPerFace(int level) {
    std::vector<size_t> counts;
    for (int f = 0; f < kFaceCount; ++f) counts.push_back(f < FaceTop ? size_t(std::clamp(level, 1, 16)) * 2 : 2);
    return counts;
}

TEST(CharacterBox, TriangleCountsFollowTheDetailLevel) {
    Character ch;
    struct Case {
        int level;
        size_t triangles;
    } const cases[] = {{1, 12}, {2, 20}, {3, 28}, {0, 12}, {-5, 12}, {16, 132}, {40, 132}};
    for (const Case& c : cases) {
        const std::vector<Vertex> v = box(ch, c.level);
        EXPECT_EQ(v.size(), c.triangles * 3) << "level " << c.level;
    }
}

TEST(CharacterBox, DefaultBoxSpansItsTexelSizeAroundTheBottomCentre) {
    Character ch;  // 32 x 64 x 32 texels
    const std::vector<Vertex> v = box(ch, 3);
    auto [minX, maxX] = std::minmax_element(v.begin(), v.end(), [](auto& a, auto& b) { return a.x < b.x; });
    auto [minY, maxY] = std::minmax_element(v.begin(), v.end(), [](auto& a, auto& b) { return a.y < b.y; });
    auto [minZ, maxZ] = std::minmax_element(v.begin(), v.end(), [](auto& a, auto& b) { return a.z < b.z; });
    EXPECT_FLOAT_EQ(minX->x, -0.32f);
    EXPECT_FLOAT_EQ(maxX->x, 0.32f);
    EXPECT_FLOAT_EQ(minY->y, -0.32f);
    EXPECT_FLOAT_EQ(maxY->y, 0.32f);
    EXPECT_FLOAT_EQ(minZ->z, 0.0f);
    EXPECT_FLOAT_EQ(maxZ->z, 1.28f);
}

TEST(CharacterBox, FrontFaceLooksDownMinusYAndTheYawTurnsItCounterClockwise) {
    Character ch;
    ch.setSize(20, 40, 30);
    // The first two triangles are the front face's bottom strip.
    const std::vector<Vertex> front = box(ch, 1);
    for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(front[i].y, -0.3f);
    // A quarter turn counter-clockwise sends -y to +x.
    const std::vector<Vertex> turned = box(ch, 1, float(M_PI / 2));
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(turned[i].x, 0.3f, 1e-6);
    // The front is counter-clockwise seen from outside (from -y, x to the right).
    const Vertex& a = front[0];
    const Vertex& b = front[1];
    const Vertex& c = front[2];
    EXPECT_GT((b.x - a.x) * (c.z - a.z) - (b.z - a.z) * (c.x - a.x), 0.0f);
}

TEST(CharacterBox, AtlasCoordinatesOfEveryFaceAtEveryScale) {
    for (int scale : {1, 2, 4, 8}) {
        Character ch;
        ch.setSize(24, 48, 16);
        ch.faceScale = scale;
        const std::vector<Vertex> v = box(ch, 1);
        const float atlas = float(ch.skinAtlasSize());
        const int cell = ch.skinAtlasCellSize();
        for (int f = 0; f < kFaceCount; ++f) {
            auto [gw, gh] = ch.scaledFaceSize(f);
            const float uLeft = float((f % 3) * cell + 1) / atlas;
            const float vTop = float((f / 3) * cell + 1) / atlas;
            const Vertex* q = &v[size_t(f) * 6];  // V0 V1 V2 V0 V2 V3
            SCOPED_TRACE(::testing::Message() << "scale " << scale << " face " << f);
            EXPECT_FLOAT_EQ(q[0].u, uLeft);
            EXPECT_FLOAT_EQ(q[0].v, vTop + float(gh) / atlas);
            EXPECT_FLOAT_EQ(q[1].u, uLeft + float(gw) / atlas);
            EXPECT_FLOAT_EQ(q[1].v, vTop + float(gh) / atlas);
            EXPECT_FLOAT_EQ(q[2].u, uLeft + float(gw) / atlas);
            EXPECT_FLOAT_EQ(q[2].v, vTop);
            EXPECT_FLOAT_EQ(q[5].u, uLeft);
            EXPECT_FLOAT_EQ(q[5].v, vTop);
        }
    }
}

TEST(CharacterBox, StripsCutTheSideFacesEvenlyInHeightAndTexture) {
    Character ch;
    const std::vector<Vertex> v = box(ch, 4);
    const float atlas = float(ch.skinAtlasSize());
    const float vTop = 1.0f / atlas;
    const float span = float(ch.scaledFaceSize(FaceFront).second) / atlas;
    for (int k = 0; k < 4; ++k) {
        const Vertex& bottomLeft = v[size_t(k) * 6];
        const Vertex& topLeft = v[size_t(k) * 6 + 5];
        EXPECT_NEAR(bottomLeft.z, 1.28f * float(k) / 4, 1e-6);
        EXPECT_NEAR(topLeft.z, 1.28f * float(k + 1) / 4, 1e-6);
        EXPECT_NEAR(bottomLeft.v, vTop + span * (1 - float(k) / 4), 1e-6);
        EXPECT_NEAR(topLeft.v, vTop + span * (1 - float(k + 1) / 4), 1e-6);
    }
}

// The colour of the first vertex of each face.
std::vector<float> faceBrightness(const std::vector<Vertex>& v, int level) {
    std::vector<float> out;
    size_t at = 0;
    for (size_t n : trianglesPerFace(level)) {
        out.push_back(v[at].r);
        at += n * 3;
    }
    return out;
}

TEST(CharacterBox, ShadingByFaceOrByLight) {
    Character ch;
    const std::vector<float> white = faceBrightness(box(ch, 2, 0, false, {0, 1, 0}), 2);
    for (float b : white) EXPECT_FLOAT_EQ(b, 1.0f);

    const std::vector<float> shades = faceBrightness(box(ch, 2, 0, true), 2);
    const std::vector<float> want = {0.8f, 0.85f, 0.72f, 0.9f, 1.0f, 0.65f};
    for (size_t f = 0; f < want.size(); ++f) EXPECT_FLOAT_EQ(shades[f], want[f]) << "face " << f;

    // A light straight along the front normal: front 1.0, back 0.25, sides 0.25.
    const std::vector<float> lit = faceBrightness(box(ch, 2, 0, true, {0, -1, 0}), 2);
    EXPECT_FLOAT_EQ(lit[FaceFront], 1.0f);
    EXPECT_FLOAT_EQ(lit[FaceBack], 0.25f);
    EXPECT_FLOAT_EQ(lit[FaceLeft], 0.25f);
    // The normals turn with the yaw: a quarter turn brings the front to +x.
    const std::vector<float> turned = faceBrightness(box(ch, 2, float(M_PI / 2), true, {1, 0, 0}), 2);
    EXPECT_NEAR(turned[FaceFront], 1.0f, 1e-6);
    EXPECT_NEAR(turned[FaceBack], 0.25f, 1e-6);
}

TEST(CharacterBox, RestShapeLeavesPointsUnchanged) {
    const PoseShape rest;
    for (auto p : {std::array<float, 3>{0.3f, -0.2f, 0.0f}, {-0.1f, 0.25f, 0.7f}, {0.32f, 0.32f, 1.28f}}) {
        const std::array<float, 3> q = CharacterPose::deform(rest, p[0], p[1], p[2], 1.28f);
        EXPECT_EQ(q, p);
    }
}

TEST(CharacterBox, SquashKeepsTheVolume) {
    PoseShape shape;
    shape.squash = -0.4f;
    const std::array<float, 3> top = CharacterPose::deform(shape, 0.32f, -0.32f, 1.28f, 1.28f);
    EXPECT_NEAR(top[2], 1.28f * 0.6f, 1e-6);
    EXPECT_NEAR(top[0], 0.32f / std::sqrt(0.6f), 1e-6);
    EXPECT_NEAR(top[1], -0.32f / std::sqrt(0.6f), 1e-6);
    // A height of 0 only squashes.
    const std::array<float, 3> flat = CharacterPose::deform(shape, 0.1f, 0.0f, 0.5f, 0.0f);
    EXPECT_NEAR(flat[2], 0.3f, 1e-6);
}

TEST(CharacterBox, LeanMovesTheTopAndSlopeTiltsTheBottom) {
    PoseShape shape;
    shape.leanX = 0.1f;
    const std::array<float, 3> bottom = CharacterPose::deform(shape, 0, 0, 0, 1.28f);
    const std::array<float, 3> top = CharacterPose::deform(shape, 0, 0, 1.28f, 1.28f);
    EXPECT_FLOAT_EQ(bottom[0], 0.0f);
    EXPECT_NEAR(top[0], 0.1f, 1e-6);
    EXPECT_NEAR(top[2], 1.28f - 0.01f * 0.08f / 1.28f, 1e-6);  // the top sinks a little

    PoseShape slope;
    slope.slopeX = 0.5f;
    slope.lift = 0.16f;
    const std::array<float, 3> downhill = CharacterPose::deform(slope, -0.32f, 0, 0, 1.28f);
    const std::array<float, 3> uphill = CharacterPose::deform(slope, 0.32f, 0, 0, 1.28f);
    const std::array<float, 3> head = CharacterPose::deform(slope, 0.32f, 0, 1.28f, 1.28f);
    EXPECT_NEAR(downhill[2], -0.16f, 1e-6);
    EXPECT_NEAR(uphill[2], 0.16f, 1e-6);
    EXPECT_NEAR(head[2], 1.28f + 0.16f, 1e-6);
}

TEST(CharacterBox, DetailLevelThresholds) {
    struct Case {
        float pixels;
        int level;
    } const cases[] = {{0, 1}, {27.9f, 1}, {28, 2}, {79.9f, 2}, {80, 3}, {1000, 3}};
    for (const Case& c : cases) EXPECT_EQ(poseDetailLevel(c.pixels), c.level) << c.pixels;
}

}  // namespace
}  // namespace vobu
