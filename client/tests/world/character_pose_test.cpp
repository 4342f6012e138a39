// The pose springs: kicks, the teleport reset, publication and the floor.
#include <gtest/gtest.h>

#include <cmath>

#include "character/character.h"
#include "mapkit/map_kit.h"
#include "mapkit/map_writer.h"
#include "world/character_pose.h"
#include "world/map_readers.h"
#include "world/scene.h"

namespace vobu {
namespace {

MoveState at(double x, double y, double z, double vz = 0) {
    MoveState s;
    s.x = x;
    s.y = y;
    s.z = z;
    s.vz = vz;
    return s;
}

bool atRest(const PoseShape& s) {
    return s.leanX == 0 && s.leanY == 0 && s.swayX == 0 && s.swayY == 0 && s.squash == 0 && s.slopeX == 0 &&
           s.slopeY == 0 && s.groundOffset == 0 && s.lift == 0;
}

class PoseTest : public ::testing::Test {
protected:
    void SetUp() override { CharacterPose::reset(pose, at(0, 0, 0)); }
    void step(const MoveState& s, double dt = 1.0 / 60) { CharacterPose::update(pose, s, dt, character, nullptr); }

    Character character;
    CharacterPose pose;
};

TEST_F(PoseTest, ResetKeepsTheStateAndZeroesEverythingElse) {
    pose.leanX = 3;
    pose.squashRate = 2;
    pose.updateCount = 2;
    pose.shape.lift = 1;
    const MoveState s = at(1, 2, 3, -4);
    CharacterPose::reset(pose, s);
    EXPECT_EQ(pose.last.x, 1);
    EXPECT_EQ(pose.last.vz, -4);
    EXPECT_EQ(pose.leanX, 0);
    EXPECT_EQ(pose.squashRate, 0);
    EXPECT_EQ(pose.updateCount, 0);
    EXPECT_TRUE(atRest(pose.shape));
}

TEST_F(PoseTest, NonPositiveTimeChangesNothing) {
    for (double dt : {0.0, -0.1}) {
        step(at(1, 0, 0), dt);
        EXPECT_EQ(pose.last.x, 0);
        EXPECT_EQ(pose.updateCount, 0);
    }
}

TEST_F(PoseTest, TheShapeIsPublishedOnEveryFourthUpdate) {
    double x = 0;
    std::vector<float> leans;
    for (int i = 0; i < 12; ++i) {
        x += 4.0 / 60;
        step(at(x, 0, 0));
        leans.push_back(pose.shape.leanX);
        EXPECT_EQ(pose.updateCount, (i + 1) % 4);
    }
    EXPECT_EQ(leans[0], 0.0f);
    EXPECT_EQ(leans[2], 0.0f);
    EXPECT_NE(leans[3], 0.0f);      // first publication on the fourth update
    EXPECT_EQ(leans[4], leans[3]);  // held in between
    EXPECT_EQ(leans[6], leans[3]);
    EXPECT_NE(leans[7], leans[3]);
    EXPECT_EQ(float(pose.leanX), leans[11]);
}

TEST_F(PoseTest, RunningLeansAgainstTheMotionWithinItsLimits) {
    double x = 0;
    for (int i = 0; i < 240; ++i) {
        x += 4.0 / 60;
        step(at(x, 0, 0));
    }
    const double W = 0.64, H = 1.28;
    const double limX = std::min({0.2 * H, 0.4 * W, H * H / (6 * W)});
    // At a steady 4 units per second the lean settles on its target.
    const double target = -(4 * 0.025) * H / (0.4 * H + W);
    EXPECT_NEAR(pose.velocityX, 4.0, 1e-6);
    EXPECT_NEAR(pose.leanX, target, 1e-4);
    EXPECT_LT(pose.leanX, 0);
    EXPECT_LE(std::fabs(pose.leanX), 1.5 * limX);
    EXPECT_NEAR(pose.leanY, 0, 1e-12);
}

TEST_F(PoseTest, MovingFasterThanTwelveUnitsASecondSnapsToRest) {
    for (int i = 1; i <= 8; ++i) step(at(i * 0.06, 0, 0));
    ASSERT_NE(pose.leanX, 0);
    CharacterPose::update(pose, at(0.48 + 13, 0, 0), 1.0, character, nullptr);
    EXPECT_EQ(pose.leanX, 0);
    EXPECT_EQ(pose.velocityX, 0);
    EXPECT_TRUE(atRest(pose.shape));
    EXPECT_EQ(pose.last.x, 0.48 + 13);
    // 11.9 units in a second is still motion.
    CharacterPose::update(pose, at(0.48 + 13 + 11.9, 0, 0), 1.0, character, nullptr);
    EXPECT_NE(pose.velocityX, 0);
}

TEST_F(PoseTest, APositionThatIsNotANumberSnapsToRestAndWalkingResumes) {
    for (int i = 1; i <= 8; ++i) step(at(i * 0.06, 0, 0));
    step(at(std::nan(""), 0, 0));
    EXPECT_EQ(pose.leanX, 0);
    EXPECT_EQ(pose.velocityX, 0);
    step(at(0.6, 0, 0));
    for (int i = 1; i <= 8; ++i) step(at(0.6 + i * 0.06, 0, 0));
    EXPECT_TRUE(std::isfinite(pose.velocityX));
    EXPECT_GT(pose.velocityX, 0);
    EXPECT_NE(pose.leanX, 0);
}

// The squash rate right after the kick: the sub-steps of one update damp
// it, so the kick is read back from a zero-length spring step.
double kickOf(CharacterPose& pose, const Character& ch, const MoveState& s) {
    const double before = pose.squashRate;
    CharacterPose probe = pose;
    CharacterPose::update(probe, s, 1e-9, ch, nullptr);  // one tiny sub-step: the kick, barely damped
    pose = probe;
    return probe.squashRate - before;
}

TEST_F(PoseTest, TakeOffAndLandingKickTheSquashSpring) {
    struct Case {
        double previousVz, vz, kick;
    } const cases[] = {
        {0.0, 5.0, 6.0},      // take-off
        {0.1, 0.2, 6.0},      // just above the threshold
        {0.5, 5.0, 0.0},      // already rising
        {-5.0, 0.0, -6.9},    // landing from -5
        {-10.0, 0.0, -10.0},  // capped
        {-0.05, 0.0, 0.0},    // too slow to count as a landing
        {-5.0, -0.002, 0.0},  // not yet stopped
    };
    for (const Case& c : cases) {
        CharacterPose::reset(pose, at(0, 0, 0, c.previousVz));
        EXPECT_NEAR(kickOf(pose, character, at(0, 0, 0, c.vz)), c.kick, 1e-6) << c.previousVz << " -> " << c.vz;
    }
}

TEST_F(PoseTest, AJumpKicksOnceAndTheSquashStaysInBounds) {
    step(at(0, 0, 0, 8));
    const double afterKick = pose.squashRate;
    EXPECT_GT(afterKick, 0);
    step(at(0, 0, 0.13, 7.7));  // still rising: no second kick
    EXPECT_LT(pose.squashRate, afterKick);
    CharacterPose::reset(pose, at(0, 0, 0, -40));
    pose.squashRate = -200;
    step(at(0, 0, 0, 0));
    EXPECT_GE(pose.squash, -0.4);
}

TEST(PoseFloor, FollowsTheSlopeOfTheFloorAndLiftsTheTop) {
    WalkMesh mesh;
    readWalkMesh(mesh, mapkit::writeWalkMesh(mapkit::ramp(30, 4)));
    Character ch;
    CharacterPose pose;
    const double slope = std::tan(30 * M_PI / 180);
    MoveState s = at(2, 0, 2 * slope);
    CharacterPose::reset(pose, s);
    for (int i = 0; i < 120; ++i) CharacterPose::update(pose, s, 1.0 / 60, ch, &mesh);
    EXPECT_NEAR(pose.slopeX, slope, 1e-3);
    EXPECT_NEAR(pose.slopeY, 0, 1e-6);
    EXPECT_NEAR(pose.groundOffset, 0, 1e-3);
    EXPECT_NEAR(pose.shape.lift, slope * 0.32, 2e-3);

    // In the air the floor is let go.
    s.vz = 3;
    for (int i = 0; i < 240; ++i) CharacterPose::update(pose, s, 1.0 / 60, ch, &mesh);
    EXPECT_NEAR(pose.slopeX, 0, 1e-3);
}

}  // namespace
}  // namespace vobu
