// The Scene record: its defaults and how copies share the navigation mesh.

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include "mapkit/map_kit.h"
#include "mapkit/map_writer.h"
#include "world/map_readers.h"
#include "world/navigation.h"
#include "world/scene.h"

namespace vobu {
namespace {

void expectIdleState(const MoveState& s) {
    EXPECT_EQ(s.triangle, -1);
    EXPECT_EQ(s.x, 0.0);
    EXPECT_EQ(s.y, 0.0);
    EXPECT_EQ(s.z, 0.0);
    EXPECT_EQ(s.vx, 0.0);
    EXPECT_EQ(s.vy, 0.0);
    EXPECT_EQ(s.vz, 0.0);
    EXPECT_EQ(s.heading, 0.0);
}

TEST(SceneRecord, DefaultsAreTheStateBetweenGames) {
    const Scene scene;
    EXPECT_EQ(scene.localPlayerId, -1);
    expectIdleState(scene.spawn);
    expectIdleState(scene.swapState);
    EXPECT_FLOAT_EQ(scene.ambient.r, 0.48f);
    EXPECT_FLOAT_EQ(scene.ambient.g, 0.48f);
    EXPECT_FLOAT_EQ(scene.ambient.b, 0.48f);
    EXPECT_EQ(scene.walkMesh.navigation, nullptr);
    EXPECT_TRUE(scene.walkMesh.triangles.empty());
    EXPECT_TRUE(scene.walkMesh.walls.empty());
    EXPECT_TRUE(scene.materials.empty());
    EXPECT_TRUE(scene.textures.empty());
    EXPECT_EQ(scene.meshRevision, 0);
    EXPECT_EQ(scene.entitiesRevision, 0);
    EXPECT_EQ(scene.chatRevision, 0);
    EXPECT_EQ(scene.swapAck, 0u);
    EXPECT_EQ(scene.lastAck, 0u);
    EXPECT_EQ(scene.powDifficulty, 0);
    EXPECT_TRUE(scene.errorCode.empty());

    const MovementParams& m = scene.movement;
    const double expected[12] = {1.28, 16, 9, 1, 2.5, 4, 0.32, 1.0 / 60.0, 8, 18, 0.32, 0.32};
    const double actual[12] = {m.height, m.acceleration, m.friction,  m.stopSpeed, m.airAcceleration, m.speed,
                               m.radius, m.step,         m.jumpSpeed, m.gravity,   m.halfWidth,       m.halfDepth};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(actual[i], expected[i]) << "movement value " << i;
}

TEST(SceneRecord, ASnapshotPlayerIsSixtyFourBytes) { EXPECT_EQ(sizeof(Player), 64u); }

// Every field goes across, none into another's place.
TEST(SceneRecord, APlayerAndItsMovementStateConvertBothWays) {
    Player player;
    player.id = 7;
    player.x = 1.25;
    player.y = -2.5;
    player.z = 3.75;
    player.vz = -4.5;
    player.vx = 5.25;
    player.vy = -6.5;
    player.heading = 0.75f;
    player.triangle = 8;
    const MoveState state = moveStateOf(player);
    EXPECT_EQ(state.x, 1.25);
    EXPECT_EQ(state.y, -2.5);
    EXPECT_EQ(state.z, 3.75);
    EXPECT_EQ(state.vz, -4.5);
    EXPECT_EQ(state.vx, 5.25);
    EXPECT_EQ(state.vy, -6.5);
    EXPECT_EQ(state.heading, 0.75);
    EXPECT_EQ(state.triangle, 8);
    const Player back = playerOf(9, state);
    EXPECT_EQ(back.id, 9);
    EXPECT_EQ(std::tie(back.x, back.y, back.z, back.vz, back.vx, back.vy, back.heading, back.triangle),
              std::tie(player.x, player.y, player.z, player.vz, player.vx, player.vy, player.heading, player.triangle));
}

TEST(SceneRecord, CopiesShareTheNavigationMeshAndOutliveTheOriginal) {
    auto live = std::make_unique<Scene>();
    readWalkMesh(live->walkMesh, mapkit::writeWalkMesh(mapkit::stepUp(0.5)));
    live->chat.push_back(ChatEntry{});
    live->chat.back().text = "hello";

    Scene fade = *live;
    EXPECT_EQ(fade.walkMesh.navigation, live->walkMesh.navigation);
    EXPECT_EQ(fade.walkMesh.walls.size(), live->walkMesh.walls.size());
    fade.chat[0].text = "changed";
    EXPECT_EQ(live->chat[0].text, "hello") << "containers are copied, not shared";

    const std::weak_ptr<rpg::WalkMesh> watch = fade.walkMesh.navigation;
    live.reset();
    ASSERT_FALSE(watch.expired());
    EXPECT_EQ(fade.walkMesh.navigation->triangleCount, 6);
    EXPECT_EQ(fade.walkMesh.navigation.use_count(), 1);
}

TEST(SceneRecord, MoveAssigningAFreshSceneReleasesTheMesh) {
    Scene live;
    readWalkMesh(live.walkMesh, mapkit::writeWalkMesh(mapkit::flatFloor()));
    live.localPlayerId = 7;
    const std::weak_ptr<rpg::WalkMesh> watch = live.walkMesh.navigation;
    live = Scene{};
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(live.localPlayerId, -1);
    EXPECT_TRUE(live.walkMesh.triangles.empty());
}

}  // namespace
}  // namespace vobu
