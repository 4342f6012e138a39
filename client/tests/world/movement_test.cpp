#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "movement_test_support.h"
#include "world/movement.h"

namespace vobu {
namespace {

using movetest::command;
using movetest::grounded;
using movetest::prepared;
using movetest::standingAt;

const MovementParams kParams;
const double kDt = 1.0 / 60.0;

MoveState stepTimes(MoveState s, const MoveCommand& c, int steps, const WalkMesh& mesh) {
    for (int i = 0; i < steps; ++i) {
        s = moveStep(s, c, kDt, mesh, kParams);
    }
    return s;
}

TEST(MovementGround, WalkingForwardReachesTopSpeedFacingTheInput) {
    const WalkMesh mesh = prepared(mapkit::flatFloor());
    MoveState s = standingAt(mesh, 0, 0, 0);
    // Friction keeps 85 % of a speed of at least 1 per step, acceleration adds
    // at most 16 / 60 of the wished 4; the sixth step reaches the cap.
    const double speeds[] = {16.0 / 15.0, 1.9733333333333, 2.744, 3.3990666666667, 3.9558733333333, 4.0};
    double travelled = 0;
    for (double expected : speeds) {
        s = moveStep(s, command(0, -1), kDt, mesh, kParams);
        travelled += expected * kDt;
        EXPECT_NEAR(-s.vy, expected, 1e-9);
        EXPECT_EQ(s.vx, 0);
        EXPECT_EQ(s.heading, 0) << "heading 0 faces -y";
        EXPECT_NEAR(s.y, -travelled, 2e-6);
        EXPECT_TRUE(grounded(s));
    }
    s = stepTimes(s, command(0, -1), 30, mesh);
    EXPECT_NEAR(std::hypot(s.vx, s.vy), 4.0, 1e-12);
    s = stepTimes(s, command(1, 0), 60, mesh);
    EXPECT_NEAR(s.heading, M_PI / 2, 1e-3) << "+x is a quarter turn (a trace of -y speed is left)";
    EXPECT_NEAR(s.vx, 4.0, 1e-6);
}

TEST(MovementGround, ReleasedInputStopsByFriction) {
    const WalkMesh mesh = prepared(mapkit::flatFloor());
    MoveState s = standingAt(mesh, 0, 0, 0);
    s.vx = 4;
    s.heading = M_PI / 2;
    // Above the stop speed 1 the speed keeps 85 % a step, below it loses
    // 0.15. The last one, 0.0265, would move 0.00044 in the step: the walk
    // ignores displacements under 0.001, and the axis that did not move
    // drops its speed.
    const double speeds[] = {3.4,          2.89,         2.4565,       2.088025,     1.77482125,
                             1.5085980625, 1.2823083531, 1.0899621002, 0.9264677852, 0.7764677852,
                             0.6264677852, 0.4764677852, 0.3264677852, 0.1764677852, 0.0};
    for (double expected : speeds) {
        s = moveStep(s, command(0, 0), kDt, mesh, kParams);
        EXPECT_NEAR(s.vx, expected, 1e-9);
        EXPECT_EQ(s.heading, M_PI / 2) << "the heading keeps its last value";
    }
    EXPECT_EQ(s.vx, 0.0) << "exactly zero";
    const MoveState rest = moveStep(s, command(0, 0), kDt, mesh, kParams);
    EXPECT_TRUE(movetest::sameState(rest, s));
}

TEST(MovementGround, InputLengthIsCappedAndTinyInputIgnored) {
    const WalkMesh mesh = prepared(mapkit::flatFloor());
    const MoveState start = standingAt(mesh, 0, 0, 0);
    const double d = 1.4 / std::sqrt(2.0);
    const MoveState diagonal = moveStep(start, command(d, d), kDt, mesh, kParams);
    const MoveState unit = moveStep(start, command(std::sqrt(0.5), std::sqrt(0.5)), kDt, mesh, kParams);
    EXPECT_NEAR(diagonal.vx, 16.0 / 15.0 * std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(diagonal.vx, unit.vx, 1e-12);
    EXPECT_NEAR(diagonal.vy, unit.vy, 1e-12);
    const MoveState half = moveStep(start, command(0.5, 0), kDt, mesh, kParams);
    EXPECT_NEAR(half.vx, 2.0 * 16 / 60, 1e-12) << "a half input wishes half the speed";

    const MoveState tiny = moveStep(start, command(1e-8, 0), kDt, mesh, kParams);
    EXPECT_EQ(tiny.vx, 0);
    EXPECT_EQ(tiny.x, start.x);
}

TEST(MovementAir, HeadingFollowsOnlyNoticeableSpeeds) {
    const WalkMesh mesh = prepared(mapkit::flatFloor());
    const struct {
        double speed;
        bool zeroed;
        bool turned;
    } cases[] = {{0.004, true, false}, {0.01, false, false}, {0.019, false, false}, {0.021, false, true}};
    for (const auto& c : cases) {
        MoveState s;
        s.z = 5;  // airborne: no friction
        s.heading = 1.0;
        s.vx = -c.speed;
        const MoveState next = moveStep(s, command(0, 0), kDt, mesh, kParams);
        EXPECT_EQ(next.vx == 0, c.zeroed) << c.speed;
        if (!c.zeroed) {
            EXPECT_EQ(next.vx, -c.speed) << c.speed;
        }
        EXPECT_EQ(next.heading, c.turned ? std::atan2(-c.speed, -0.0) : 1.0) << c.speed;
    }
}

TEST(MovementAir, JumpApexAndAirTime) {
    const WalkMesh mesh = prepared(mapkit::flatFloor());
    const MoveState start = standingAt(mesh, 0, 0, 0);
    MoveState s = moveStep(start, command(0, 0, true), kDt, mesh, kParams);
    // Leaves the floor in the same step: z = 8 dt - 9 dt^2.
    EXPECT_NEAR(s.z, 8 * kDt - 9 * kDt * kDt, 1e-12);
    EXPECT_NEAR(s.vz, 8 - 18 * kDt, 1e-12);
    EXPECT_EQ(s.triangle, start.triangle) << "the take-off triangle is kept in flight";

    double apex = s.z;
    int apexStep = 1;
    int steps = 1;
    while (!grounded(s) && steps < 200) {
        // Jumping again in the air changes nothing.
        const MoveState jumped = moveStep(s, command(0, 0, true), kDt, mesh, kParams);
        s = moveStep(s, command(0, 0), kDt, mesh, kParams);
        ASSERT_TRUE(movetest::sameState(jumped, s));
        ++steps;
        if (s.z > apex) {
            apex = s.z;
            apexStep = steps;
        }
    }
    // z(t) = 8 t - 9 t^2: highest sample at t = 27/60, back at t = 8/9 s,
    // which falls inside step 54.
    EXPECT_EQ(apexStep, 27);
    EXPECT_NEAR(apex, 1.7775, 1e-9);
    EXPECT_EQ(steps, 54);
    EXPECT_EQ(s.z, 0);
    EXPECT_EQ(s.vz, 0);
}

TEST(MovementAir, FallFromHeightLandsOnTheFloor) {
    const WalkMesh mesh = prepared(mapkit::flatFloor());
    MoveState s;
    s.x = 1;
    s.y = 2;
    s.z = 5;
    s = stepTimes(s, command(0, 0), 44, mesh);
    EXPECT_NEAR(s.z, 5 - 9 * (44 * kDt) * (44 * kDt), 1e-9);
    EXPECT_NEAR(s.vz, -18 * 44 * kDt, 1e-9);
    EXPECT_FALSE(grounded(s));
    s = moveStep(s, command(0, 0), kDt, mesh, kParams);
    EXPECT_EQ(s.z, 0) << "lands at 0.0120 s into step 45; the rest of the step is not used";
    EXPECT_EQ(s.vz, 0);
    EXPECT_EQ(s.triangle, findWalkableTriangle(mesh, 1, 2, 0, 0.01, 0.01).triangle);
    EXPECT_EQ(s.x, 1);
}

TEST(MovementAir, FallLandsOnTheFirstPlaneReached) {
    std::vector<WalkTriangle> t;
    mapkit::addFloor(t, -2, -2, 2, 2, 0);
    mapkit::addFloor(t, -2, -2, 2, 2, 2);
    const WalkMesh mesh = prepared(t);
    MoveState s;
    s.z = 2.05;
    s.vz = -10;
    ASSERT_TRUE(fallStep(s, mesh, 0.1, kParams.gravity));
    EXPECT_EQ(s.z, 2);
    EXPECT_GE(s.triangle, 2);

    // Resting on a plane: lands at once without moving.
    MoveState resting;
    resting.z = 2;
    resting.vx = 1;
    ASSERT_TRUE(fallStep(resting, mesh, kDt, kParams.gravity));
    EXPECT_EQ(resting.x, 0);
    EXPECT_EQ(resting.z, 2);
}

TEST(MovementGround, HalfStepIsClimbedButPointFiveFiveBlocksAtTheRadius) {
    const WalkMesh low = prepared(mapkit::stepUp(0.5));
    MoveState s = standingAt(low, -1, 0, 0);
    for (int i = 0; i < 60; ++i) {
        s = moveStep(s, command(1, 0), kDt, low, kParams);
        ASSERT_TRUE(grounded(s));
        EXPECT_EQ(s.z, s.x > 0 ? static_cast<double>(0.5f) : 0.0) << "x " << s.x;
    }
    EXPECT_GT(s.x, 1);

    const WalkMesh high = prepared(mapkit::stepUp(0.55));
    MoveState b = stepTimes(standingAt(high, -1, 0, 0), command(1, 0), 60, high);
    EXPECT_NEAR(b.x, -0.32, 1e-6);
    EXPECT_EQ(b.z, 0);
    EXPECT_LT(std::fabs(b.vx), 1e-3) << "the blocked axis loses its speed";
}

// The collision radius comes from the parameters of each call; the shared
// navigation mesh (held const by every caller) keeps its own value.
TEST(MovementGround, CollisionRadiusComesFromTheParameters) {
    const WalkMesh mesh = prepared(mapkit::stepUp(0.55));
    MovementParams wide;
    wide.radius = 0.5;
    MoveState s = standingAt(mesh, -1.5, 0, 0);
    for (int i = 0; i < 60; ++i) {
        s = moveStep(s, command(1, 0), kDt, mesh, wide);
    }
    EXPECT_NEAR(s.x, -0.5, 1e-6);
    EXPECT_EQ(mesh.navigation->radius, 0.32f);
    const MoveState narrow = stepTimes(standingAt(mesh, -1.5, 0, 0), command(1, 0), 60, mesh);
    EXPECT_NEAR(narrow.x, -0.32, 1e-6) << "a later call with another radius is not affected";
}

TEST(MovementGround, HalfLedgeIsWalkedDownAndPointSixIsFlown) {
    const WalkMesh walked = prepared(mapkit::ledgeDown(0.5));
    MoveState s = standingAt(walked, -0.5, 0, 0);
    s.vx = 4;
    for (int i = 0; i < 20; ++i) {
        s = moveStep(s, command(1, 0), kDt, walked, kParams);
        ASSERT_TRUE(grounded(s));
        EXPECT_EQ(s.z, s.x > 0 ? static_cast<double>(-0.5f) : 0.0);
    }

    const WalkMesh flown = prepared(mapkit::ledgeDown(0.6));
    MoveState f = standingAt(flown, -0.05, 0, 0);
    f.vx = 4;
    const int32_t upper = f.triangle;
    f = moveStep(f, command(1, 0), kDt, flown, kParams);
    // The walk would drop 0.6: the step is redone as a flight from the start.
    EXPECT_NEAR(f.vx, 4, 1e-12);
    EXPECT_EQ(f.x, -0.05 + f.vx * kDt);
    EXPECT_NEAR(f.z, -9 * kDt * kDt, 1e-15);
    EXPECT_NEAR(f.vz, -18 * kDt, 1e-12);
    EXPECT_EQ(f.triangle, upper);
    int steps = 1;
    while (!grounded(f) && steps < 100) {
        f = moveStep(f, command(1, 0), kDt, flown, kParams);
        ++steps;
    }
    // Drop time sqrt(1.2 / 18) = 0.258 s: within step 16.
    EXPECT_EQ(steps, 16);
    EXPECT_EQ(f.z, static_cast<double>(-0.6f));
}

TEST(MovementGround, SlidesAlongAWallKeepingTheSpeedAlongIt) {
    const WalkMesh mesh = prepared(mapkit::walledRoom());
    MoveState s = standingAt(mesh, 4.68, 1, 0);
    s.vx = 2;
    s.vy = 2;
    s = moveStep(s, command(0, 0), kDt, mesh, kParams);
    EXPECT_NEAR(s.x, 4.68, 1e-6) << "held at the radius from the wall x = 5";
    EXPECT_NEAR(s.y, 1 + 1.7 * kDt, 1e-6);
    EXPECT_NEAR(s.vy, 1.7, 1e-12) << "friction alone acts along the wall";
    EXPECT_LT(std::fabs(s.vx), 1e-3);
    for (int i = 0; i < 30; ++i) {
        s = moveStep(s, command(1, 1), kDt, mesh, kParams);
        ASSERT_NEAR(s.x, 4.68, 1e-5);
    }
    EXPECT_GT(s.vy, 3) << "pressing diagonally into the wall still runs along it";
}

TEST(MovementAir, FlightSlidesAlongAnUnboundedWall) {
    const WalkMesh mesh = prepared(mapkit::walledRoom());
    MoveState s;
    s.x = 4.65;
    s.y = 1;
    s.z = 1;
    s.vx = 3;
    s.vy = 1;
    s = moveStep(s, command(0, 0), kDt, mesh, kParams);
    // Contact after 0.6 of the step (0.03 of the 0.05 toward the wall), then
    // the normal part of the velocity is gone.
    EXPECT_NEAR(s.x, 4.65 + 3 * kDt * (0.6 - 1e-6), 1e-9);
    EXPECT_EQ(s.vx, 0);
    EXPECT_EQ(s.vy, 1);
    EXPECT_NEAR(s.y, 1 + kDt, 1e-12);
    EXPECT_NEAR(s.z, 1 - 9 * kDt * kDt, 1e-12);
}

TEST(MovementAir, JumpPassesOverTheLowWall) {
    const WalkMesh mesh = prepared(mapkit::lowWall());
    MoveState s = standingAt(mesh, -1.5, 0, 0);
    s.vx = 4;
    s = moveStep(s, command(1, 0, true), kDt, mesh, kParams);
    int steps = 1;
    while (!grounded(s) && steps < 100) {
        s = moveStep(s, command(1, 0), kDt, mesh, kParams);
        ++steps;
        if (!grounded(s)) {
            ASSERT_NEAR(s.vx, 4, 1e-9) << "never blocked, step " << steps;
        }
    }
    EXPECT_EQ(steps, 54);
    EXPECT_EQ(s.z, 0);
    EXPECT_NEAR(s.x, -1.5 + 4 * 8.0 / 9.0, 1e-6);
}

TEST(MovementAir, FlightIntoTheLowWallBelowItsTopIsBlocked) {
    const WalkMesh mesh = prepared(mapkit::lowWall());
    // Falling slowly beside the block, feet below its top 0.3.
    MoveState s;
    s.x = -0.35;
    s.z = 0.2;
    s.vz = 1;
    s.vx = 4;
    s = moveStep(s, command(0, 0), kDt, mesh, kParams);
    EXPECT_LT(s.x, -0.3199);
    EXPECT_EQ(s.vx, 0);
}

// Pressed into the apex of a narrow wedge of two unbounded walls, every
// sub-step touches a wall at once and only turns the velocity; after five the
// rest of the step is a straight drop, yet the slid velocity is returned.
TEST(MovementAir, FiveBlockedSubStepsEndInAStraightDrop) {
    std::vector<WalkTriangle> far;
    mapkit::addFloor(far, -50, -50, 50, 50, -100);
    WalkMesh mesh = prepared(far);
    WallSegment upper;  // y = 0.1 x, walkable side below
    upper.x0 = 0;
    upper.y0 = 0;
    upper.x1 = 10;
    upper.y1 = 1;
    WallSegment lower;  // y = -0.1 x, walkable side above
    lower.x0 = 10;
    lower.y0 = -1;
    lower.x1 = 0;
    lower.y1 = 0;
    for (WallSegment* w : {&upper, &lower}) {
        w->floor0 = w->floor1 = -100;
        w->top0 = w->top1 = std::numeric_limits<double>::infinity();
        w->side = -1;
    }
    mesh.walls = {upper, lower};
    MoveState s;
    s.x = 2;
    s.z = 5;
    s.vx = -3;
    const MoveState end = moveAirborne(s, kDt, mesh, kParams);
    EXPECT_EQ(end.x, 2);
    EXPECT_EQ(end.y, 0);
    EXPECT_NEAR(end.z, 5 - 9 * kDt * kDt, 1e-12);
    EXPECT_NEAR(end.vz, -18 * kDt, 1e-12);
    const double speed = std::hypot(end.vx, end.vy);
    EXPECT_LT(end.vx, 0) << "still heading into the wedge";
    EXPECT_GT(speed, 1.0);
    EXPECT_LT(speed, 3.0) << "each slide keeps only the part along the wall";
}

TEST(MovementGround, SteepSlopeIsRefused) {
    const WalkMesh mesh = prepared(mapkit::ramp(75, 2));
    const MoveState s = stepTimes(standingAt(mesh, -1, 0, 0), command(1, 0), 60, mesh);
    EXPECT_NEAR(s.x, -0.32, 1e-6);
    EXPECT_EQ(s.z, 0);
    const WalkMesh gentle = prepared(mapkit::ramp(30, 4));
    const MoveState up = stepTimes(standingAt(gentle, -1, 0, 0), command(1, 0), 60, gentle);
    EXPECT_GT(up.x, 2);
    EXPECT_NEAR(up.z, up.x * std::tan(30 * M_PI / 180), 1e-4);
}

TEST(MovementGround, UnweldedSeamIsCrossed) {
    const WalkMesh mesh = prepared(mapkit::unweldedSeam());
    const MoveState s = stepTimes(standingAt(mesh, -1, 0, 0), command(1, 0), 40, mesh);
    EXPECT_GT(s.x, 1);
    EXPECT_EQ(s.z, 0);
    EXPECT_GE(s.triangle, 2);
}

TEST(MovementStep, NothingHappensWithoutMeshOrTime) {
    const WalkMesh mesh = prepared(mapkit::flatFloor());
    MoveState s = standingAt(mesh, 1, 1, 0);
    s.vx = 2;
    for (double dt : {0.0, -0.1, std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_TRUE(movetest::sameState(moveStep(s, command(1, 0, true), dt, mesh, kParams), s)) << dt;
    }
    WalkMesh bare;
    bare.triangles = mesh.triangles;
    EXPECT_TRUE(movetest::sameState(moveStep(s, command(1, 0), kDt, bare, kParams), s));
}

TEST(MovementStep, RandomStepsInTheRoomStayFiniteAndOnTheFloor) {
    const WalkMesh mesh = prepared(mapkit::walledRoom());
    movetest::Lcg random(2024);
    MoveState s = standingAt(mesh, 0, 0, 0);
    for (int i = 0; i < 10000; ++i) {
        const MoveCommand c = command(random.uniform(-1.3, 1.3), random.uniform(-1.3, 1.3), random.next() % 20 == 0);
        s = moveStep(s, c, kDt, mesh, kParams);
        ASSERT_TRUE(std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.z) && std::isfinite(s.vx) &&
                    std::isfinite(s.vy) && std::isfinite(s.vz) && std::isfinite(s.heading))
            << "step " << i;
        ASSERT_LE(std::fabs(s.x), 5.0) << "step " << i;
        ASSERT_LE(std::fabs(s.y), 5.0) << "step " << i;
        ASSERT_GE(s.z, -1e-9) << "step " << i;
        ASSERT_LE(s.z, 2.0) << "step " << i;
        if (grounded(s)) {
            ASSERT_EQ(findWalkableTriangle(mesh, s.x, s.y, s.z, 1e-3, 1e-3).triangle >= 0, true) << "step " << i;
        }
    }
}

// A server state may carry any double: positions and speeds that are not
// numbers, infinite or far outside the map. Steps from it end at once, and
// a sane state afterwards walks as always.
TEST(MovementStep, StatesFarAwayOrNotFiniteEndEveryStepAndLeaveNothingBehind) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> values = {nan, inf, -inf, 1e300, -1e300, 1e18, 4097};
    for (const auto& triangles : {mapkit::walledRoom(), mapkit::largeGrid()}) {
        const WalkMesh mesh = prepared(triangles);
        const MoveState sane = standingAt(mesh, 0.25, 0.25, 0);
        MoveState reference = sane;
        for (int i = 0; i < 30; ++i) reference = moveStep(reference, command(1, 0), kDt, mesh, kParams);
        for (int field = 0; field < 6; ++field) {
            for (double value : values) {
                MoveState s = sane;
                double* const fields[] = {&s.x, &s.y, &s.z, &s.vx, &s.vy, &s.vz};
                *fields[field] = value;
                for (int triangle : {-1, 0}) {
                    s.triangle = triangle;
                    MoveState t = s;
                    for (int i = 0; i < 30; ++i) t = moveStep(t, command(1, 0, i == 3), kDt, mesh, kParams);
                }
                MoveState again = sane;
                for (int i = 0; i < 30; ++i) again = moveStep(again, command(1, 0), kDt, mesh, kParams);
                ASSERT_TRUE(movetest::sameState(again, reference)) << field << " " << value;
            }
        }
    }
}

// The same commands from the same state give the same bits, whether the
// searches go through the grid or scan every triangle.
TEST(MovementStep, RepeatableAndIndependentOfTheSearchGrid) {
    for (const auto& triangles : {mapkit::largeGrid(), mapkit::walledRoom(), mapkit::unweldedSoup(16, 16, 0.5, 1e-5)}) {
        const WalkMesh indexed = prepared(triangles);
        const WalkMesh scanned = movetest::preparedWithoutGrid(triangles);
        movetest::Lcg random(5);
        MoveState a = standingAt(indexed, 0.1, 0.2, 0.5);
        a.z = 1;  // start by falling onto the floor
        a.triangle = -1;
        MoveState b = a;
        MoveState c = a;
        for (int i = 0; i < 1500; ++i) {
            const MoveCommand cmd = command(random.uniform(-1, 1), random.uniform(-1, 1), random.next() % 30 == 0);
            a = moveStep(a, cmd, kDt, indexed, kParams);
            b = moveStep(b, cmd, kDt, scanned, kParams);
            c = moveStep(c, cmd, kDt, indexed, kParams);
            ASSERT_TRUE(movetest::sameState(a, b)) << "step " << i;
            ASSERT_TRUE(movetest::sameState(a, c)) << "step " << i;
        }
    }
}

TEST(WallContact, FindWallHitKeepsOnlyBlockingEarlierContacts) {
    // A wall along x = 1 from y = -1 to 1, walkable side at x < 1 (left of
    // the downward direction), 0.5 high above a floor at 0.
    WallSegment wall;
    wall.x0 = 1;
    wall.y0 = 1;
    wall.x1 = 1;
    wall.y1 = -1;
    wall.floor0 = wall.floor1 = 0;
    wall.top0 = wall.top1 = 0.5;
    wall.side = 1;
    MovementParams params;
    params.gravity = 0;  // level flight keeps the feet height constant
    const struct {
        const char* name;
        double z, vx, t;
        double recorded;
        bool hit;
    } cases[] = {
        {"feet below the top", 0.2, 3, 0.5, 2.0, true},
        {"feet above the top", 0.6, 3, 0.5, 2.0, false},
        {"moving away", 0.2, -3, 0.5, 2.0, false},
        {"later than the recorded one", 0.2, 3, 0.5, 0.4, false},
        {"fraction beyond the sub-step", 0.2, 3, 1.5, 2.0, false},
        {"wall above the head", -2.0, 3, 0.5, 2.0, false},
    };
    for (const auto& c : cases) {
        MoveState s;
        s.x = 0.5;
        s.z = c.z;
        s.vx = c.vx;
        WallHit hit;
        hit.fraction = c.recorded;
        findWallHit(hit, c.t, -1, 0, s, 0.1, wall, params);
        EXPECT_EQ(hit.fraction == c.t, c.hit) << c.name;
        if (c.hit) {
            EXPECT_EQ(hit.normalX, -1) << c.name;
        }
    }

    // Rising past the top is not blocked; sinking below it during the sweep
    // is, at the first time the feet are below the top.
    params.gravity = 18;
    MoveState sinking;
    sinking.x = 0.7;
    sinking.z = 0.52;
    sinking.vz = -1;
    sinking.vx = 3;
    WallHit hit;
    findWallHit(hit, 0.0, -1, 0, sinking, 0.1, wall, params);
    ASSERT_LT(hit.fraction, 1);
    const double t = hit.fraction * 0.1;
    EXPECT_NEAR(0.52 - t - 9 * t * t, 0.5, 1e-6);
}

}  // namespace
}  // namespace vobu
