// Picking the player under a window point from the last frame's triangles.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "renderer_fixture.h"
#include "world/player_picking.h"

namespace vobu {
namespace {

Vertex clip(float x, float y, float z, float w) { return Vertex{x, y, z, w, 1, 1, 1, 0, 0}; }
// A point given in device coordinates at depth z (w = 1 unless given).
Vertex ndc(float x, float y, float z, float w = 1) { return clip(x * w, y * w, z * w, w); }

constexpr float kNone = std::numeric_limits<float>::infinity();

TEST(ClipTriangle, CoverageDepthAndWinding) {
    const Vertex a = ndc(-0.5f, -0.5f, 0.2f), b = ndc(0.5f, -0.5f, 0.4f), c = ndc(0, 0.5f, 0.6f);  // counter-clockwise
    struct Case {
        const char* what;
        float px, py;
        bool cull;
        bool clockwise;
        float depth;
    } const cases[] = {
        {"centre", 0, -0.1f, false, false, 0.2f * 0.3f + 0.4f * 0.3f + 0.6f * 0.4f},
        {"corner", -0.5f, -0.5f, false, false, 0.2f},
        {"outside", 0.6f, 0.4f, false, false, kNone},
        {"front face culled mode", 0, -0.1f, true, false, 0.2f * 0.3f + 0.4f * 0.3f + 0.6f * 0.4f},
        {"back face culled", 0, -0.1f, true, true, kNone},
        {"back face two-sided", 0, -0.1f, false, true, 0.2f * 0.3f + 0.4f * 0.3f + 0.6f * 0.4f},
        {"on an edge", 0, -0.5f, false, false, 0.3f},
    };
    for (const auto& t : cases) {
        const float d =
            t.clockwise ? clipTriangle(a, c, b, t.px, t.py, t.cull) : clipTriangle(a, b, c, t.px, t.py, t.cull);
        if (std::isinf(t.depth)) {
            EXPECT_TRUE(std::isinf(d)) << t.what;
        } else {
            EXPECT_NEAR(d, t.depth, 1e-5) << t.what;
        }
    }
}

TEST(ClipTriangle, APointOnTheSharedEdgeOfTwoTrianglesIsCovered) {
    // A square split along its diagonal; points on the diagonal.
    const Vertex p0 = ndc(-0.3f, -0.3f, 0), p1 = ndc(0.7f, -0.3f, 0), p2 = ndc(0.7f, 0.7f, 0), p3 = ndc(-0.3f, 0.7f, 0);
    for (float t : {0.1f, 0.37f, 0.5f, 0.93f}) {
        const float x = -0.3f + t, y = -0.3f + t;
        const bool first = std::isfinite(clipTriangle(p0, p1, p2, x, y, true));
        const bool second = std::isfinite(clipTriangle(p0, p2, p3, x, y, true));
        EXPECT_TRUE(first || second) << t;
    }
}

TEST(ClipTriangle, PartsBehindTheEyeAndOutsideTheViewAreClippedAway) {
    // One corner behind the eye (w < 0): only the part in front counts.
    const Vertex front1 = clip(-0.5f, 0, 0.5f, 1), front2 = clip(0.5f, 0, 0.5f, 1);
    const Vertex behind = clip(0, 2, -3, -1);
    // Straight in front of the two front corners the polygon is covered...
    EXPECT_TRUE(std::isfinite(clipTriangle(front1, front2, behind, 0, 0.3f, false)));
    // ...and the projection of the behind corner (0, -2) is not part of it.
    EXPECT_TRUE(std::isinf(clipTriangle(front1, front2, behind, 0, -0.9f, false)));
    // Wholly behind the eye, wholly beyond the far plane, or off to the side: nothing.
    EXPECT_TRUE(std::isinf(clipTriangle(clip(0, 0, -1, -1), clip(1, 0, -1, -1), clip(0, 1, -1, -1), 0, 0, false)));
    EXPECT_TRUE(std::isinf(clipTriangle(ndc(-1, -1, 1.5f), ndc(1, -1, 1.5f), ndc(0, 1, 1.5f), 0, 0, false)));
    EXPECT_TRUE(std::isinf(clipTriangle(ndc(2, -1, 0), ndc(3, -1, 0), ndc(2.5f, 1, 0), 2.5f, 0, false)));
    // A triangle crossing the near plane is clipped to it: the depth there is -1.
    const float d = clipTriangle(ndc(-1, -1, -1.5f), ndc(1, -1, -1.5f), ndc(0, 1, 0.5f), 0, 0.9f, false);
    EXPECT_NEAR(d, 0.5f - 0.1f * 2.0f / 2.0f * 1.0f, 0.2f);
    EXPECT_GE(d, -1.0f - 1e-5f);
    // Degenerate: no area.
    EXPECT_TRUE(std::isinf(clipTriangle(ndc(0, 0, 0), ndc(1, 1, 0), ndc(2, 2, 0), 1, 1, false)));
}

class PickTest : public presentation::RendererFixture {
protected:
    void SetUp() override {
        scene.materials.push_back(presentation::quadMaterial(0, -10, -10, 10, 10, 0));
        scene.meshRevision = 1;
        players = {testing::playerAt(kLocal, 0, 0, 0)};
        frame(0.0);
        frame(1.0);  // past the local player's spawn
    }
};

TEST_F(PickTest, BeforeAnyFrameNothingIsPicked) {
    Renderer fresh;
    fresh.initialize(&rg.graphics, &font);
    EXPECT_EQ(fresh.pick(510, 340), -1);
}

TEST_F(PickTest, TheNearestBodyWinsAndEqualDepthGoesToTheLaterPlayer) {
    addCharacter(2, "Near");
    addCharacter(3, "Far");
    players.push_back(testing::playerAt(2, 0, 2, 0));
    players.push_back(testing::playerAt(3, 0, 5, 0));
    frame();
    auto [x, y] = bodyOf(players[1]);
    EXPECT_EQ(renderer.pick(x, y), 2);
    auto [fx, fy] = screenOf(0, 5, 1.2f);  // the far head shows above the near one
    EXPECT_EQ(renderer.pick(fx, fy), 3);

    addCharacter(4, "Twin");
    players.push_back(testing::playerAt(4, 0, 2, 0));
    frame();
    EXPECT_EQ(renderer.pick(x, y), 4);
    EXPECT_EQ(renderer.pick(5, 5), -1);  // sky
}

TEST_F(PickTest, AnOpaquePillarHidesAPlayerAnAlphaTestedOneDoesNot) {
    addCharacter(2, "Hidden");
    players.push_back(testing::playerAt(2, 0, 6, 0));
    scene.materials.push_back(presentation::wallMaterial(1, 3, -1, 1, 0, 3));
    scene.meshRevision = 2;
    frame();
    auto [x, y] = bodyOf(players[1]);
    EXPECT_EQ(renderer.pick(x, y), -1);

    scene.textures.resize(2);
    scene.textures[1].hasTransparency = true;
    frame();
    EXPECT_EQ(renderer.pick(x, y), 2);
}

TEST_F(PickTest, APlayerWithoutCharacterIsNeitherDrawnNorPicked) {
    players.push_back(testing::playerAt(9, 0, 3, 0));
    frame();
    auto [x, y] = bodyOf(players[1]);
    EXPECT_EQ(renderer.pick(x, y), -1);
    EXPECT_EQ(renderer.drawnIds(), std::vector<int32_t>{kLocal});
}

TEST_F(PickTest, AFadingBodyHidesWhatLiesBehindIt) {
    addCharacter(2, "Leaving");
    addCharacter(3, "Behind");
    players.push_back(testing::playerAt(2, 0, 2, 0));
    players.push_back(testing::playerAt(3, 0, 2.7, 0));  // right behind, before the ray meets the floor
    frame();
    auto [x, y] = bodyOf(players[1]);
    EXPECT_EQ(renderer.pick(x, y), 2);
    scene.characters.erase(2);
    players.erase(players.begin() + 1);
    frame(0.001);  // the pieces have hardly moved yet
    ASSERT_EQ(renderer.fadingMeshes().size(), 1u);
    EXPECT_EQ(renderer.pick(x, y), -1);
    // Away from the shattering body the player behind is picked.
    frame(0.7);
    EXPECT_TRUE(renderer.fadingMeshes().empty());
    EXPECT_EQ(renderer.pick(x, y), 3);
}

TEST_F(PickTest, ABodyPartlyBehindTheEyeIsPickedWhereItShows) {
    // A body just beside the eye (the camera looks along +y and down): its
    // face toward the eye, x = eye + 0.18, reaches behind the eye at the top.
    const auto eye = renderer.camera.eyePosition();
    addCharacter(2, "Close");
    players.push_back(testing::playerAt(2, eye[0] + 0.5, eye[1] + 0.3, eye[2] - 0.64));
    frame();
    const float faceX = eye[0] + 0.18f;
    const Vertex top = renderer.camera.project(faceX, eye[1] - 0.02f, eye[2] + 0.64f, 1, 1, 1, 1.5f);
    ASSERT_LT(top.w, 0);  // a corner of the face lies behind the eye
    auto [x, y] = screenOf(faceX, eye[1] + 0.4f, eye[2] - 0.3f);
    ASSERT_GT(x, 0);
    ASSERT_LT(x, kWidth);
    ASSERT_GT(y, 0);
    ASSERT_LT(y, kHeight);
    EXPECT_EQ(renderer.pick(x, y), 2);
}

TEST_F(PickTest, AFrameOfSizeZeroChangesNothingNotEvenPicking) {
    addCharacter(2, "Other");
    players.push_back(testing::playerAt(2, 0, 3, 0));
    frame();
    auto [x, y] = bodyOf(players[1]);
    ASSERT_EQ(renderer.pick(x, y), 2);
    const float yaw = renderer.camera.yaw;
    const size_t draws = rg.recording.draws.size();
    const auto visuals = renderer.visuals().size();
    players[1].x = 5;
    for (auto [w, h] : {std::pair{0, 680}, std::pair{1020, 0}, std::pair{0, 0}}) {
        renderer.draw(scene, players, w, h, 0.1, 0, 0, true);
        EXPECT_EQ(renderer.pick(x, y), 2) << w << " x " << h;
    }
    EXPECT_EQ(rg.recording.draws.size(), draws);
    EXPECT_EQ(renderer.camera.yaw, yaw);
    EXPECT_EQ(renderer.visuals().size(), visuals);
    EXPECT_EQ(rg.recording.calls.back(), "draw");  // no beginFrame either
}

TEST_F(PickTest, ASpawningBodyIsPickedFromBehindItsFacesAnAssembledOneIsNot) {
    // The camera inside the box of a player: only back faces face the eye.
    const auto eye = renderer.camera.eyePosition();
    addCharacter(2, "Around");
    scene.characters[2].setSize(64, 64, 64);
    scene.joinedPlayers.insert(2);
    players.push_back(testing::playerAt(2, eye[0], eye[1], eye[2] - 0.6));
    frame(0.0);
    frame(0.64);  // nearly assembled, still spawning: drawn and picked two-sided
    ASSERT_GT(renderer.visuals().at(2).spawnTimer, 0);
    EXPECT_EQ(renderer.pick(kWidth / 2, kHeight / 2), 2);
    frame(0.1);
    ASSERT_EQ(renderer.visuals().at(2).spawnTimer, 0);
    EXPECT_NE(renderer.pick(kWidth / 2, kHeight / 2), 2);
}

}  // namespace
}  // namespace vobu
