#include <gtest/gtest.h>

#include <cmath>

#include "movement_test_support.h"
#include "world/surface_walk.h"

namespace vobu {
namespace {

using movetest::prepared;

// A walk in world coordinates on a prepared mesh: start (x, y) at height z,
// displacement (dx, dy) on the ground.
struct Walk {
    float position[3];
    int32_t triangle;
    bool moved;
    double x() const { return position[0]; }
    double y() const { return -static_cast<double>(position[2]); }
    double z() const { return position[1]; }
};

Walk walk(const WalkMesh& mesh, double x, double y, double z, int32_t triangle, double dx, double dy,
          float radius = 0.32f) {
    Walk w{{static_cast<float>(x), static_cast<float>(z), static_cast<float>(-y)}, triangle, false};
    w.moved = rpg::moveAlongSurface(mesh.navigation.get(), w.position, &w.triangle, static_cast<float>(dx), 0.0f,
                                    static_cast<float>(-dy), radius);
    return w;
}

int32_t floorUnder(const WalkMesh& mesh, double x, double y, double z) {
    return findWalkableTriangle(mesh, x, y, z, 0.01, 0.01).triangle;
}

TEST(SurfaceWalk, StepUpOfHalfIsClimbed) {
    const WalkMesh mesh = prepared(mapkit::stepUp(0.5));
    const Walk w = walk(mesh, -0.2, 0, 0, floorUnder(mesh, -0.2, 0, 0), 0.4, 0);
    EXPECT_TRUE(w.moved);
    EXPECT_FLOAT_EQ(w.position[0], 0.2f);
    EXPECT_EQ(w.z(), static_cast<double>(0.5f));
    EXPECT_EQ(w.triangle, floorUnder(mesh, 0.2, 0, 0.5));
    EXPECT_GE(w.triangle, 4) << "on the upper floor";
}

TEST(SurfaceWalk, StepUpOfPointFiveFiveBlocksAndTheWalkSlidesAlongTheEdge) {
    const WalkMesh mesh = prepared(mapkit::stepUp(0.55));
    const int32_t start = floorUnder(mesh, -0.2, 0, 0);
    // Diagonal into the edge at x = 0: half the displacement reaches it, the
    // other half's share along the edge (0.2 in y) is kept.
    const Walk diagonal = walk(mesh, -0.2, 0, 0, start, 0.4, 0.4);
    EXPECT_NEAR(diagonal.x(), 0, 1e-5);
    EXPECT_NEAR(diagonal.y(), 0.4, 1e-5);
    EXPECT_EQ(diagonal.z(), 0);
    EXPECT_EQ(diagonal.triangle, start);

    // Straight in: it stops on the edge and, being on the line, is not pushed.
    const Walk straight = walk(mesh, -0.2, 0, 0, start, 0.4, 0);
    EXPECT_NEAR(straight.x(), 0, 1e-5);
    EXPECT_EQ(straight.y(), 0);
    const Walk again = walk(mesh, straight.x(), straight.y(), straight.z(), straight.triangle, 0.4, 0);
    EXPECT_NEAR(again.x(), 0, 1e-5) << "and stays there";
}

TEST(SurfaceWalk, EndingNearABlockingEdgeIsPushedBackToTheRadius) {
    const WalkMesh mesh = prepared(mapkit::stepUp(0.55));
    const Walk w = walk(mesh, -0.5, 0, 0, floorUnder(mesh, -0.5, 0, 0), 0.4, 0);
    EXPECT_FLOAT_EQ(w.position[0], -0.32f);
    const Walk wider = walk(mesh, -0.9, 0, 0, floorUnder(mesh, -0.9, 0, 0), 0.4, 0, 0.75f);
    EXPECT_FLOAT_EQ(wider.position[0], -0.75f) << "the radius argument decides";
    EXPECT_FLOAT_EQ(mesh.navigation->radius, 0.32f) << "and the mesh is not written";
}

TEST(SurfaceWalk, ZeroDisplacementStillPushesAndSnapsTheHeight) {
    const WalkMesh mesh = prepared(mapkit::stepUp(0.55));
    const Walk w = walk(mesh, -0.1, 0, 0.2, floorUnder(mesh, -0.1, 0, 0), 0, 0);
    EXPECT_FALSE(w.moved);
    EXPECT_FLOAT_EQ(w.position[0], -0.32f);
    EXPECT_EQ(w.z(), 0);
}

TEST(SurfaceWalk, UnknownTriangleIsFoundWithinThreeUnitsOfHeight) {
    const WalkMesh mesh = prepared(mapkit::flatFloor());
    const Walk near = walk(mesh, 1, 1, 2.9, -1, 0, 0);
    EXPECT_GE(near.triangle, 0);
    EXPECT_EQ(near.z(), 0);
    const Walk far = walk(mesh, 1, 1, 3.1, -1, 0.5, 0);
    EXPECT_FALSE(far.moved);
    EXPECT_EQ(far.triangle, -1);
    EXPECT_FLOAT_EQ(far.position[0], 1.0f);
    EXPECT_FLOAT_EQ(far.position[1], 3.1f);
}

TEST(SurfaceWalk, CrossingFollowsTheHeightAndTheStepLimit) {
    // findCrossTriangle from the lower floor's edge at x = 0 toward a
    // separate floor at the given height beyond it.
    const struct {
        double beyond;
        bool crossed;
    } cases[] = {{0.5, true}, {0.53, true}, {0.6, false}, {-0.2, true}, {-40, true}};
    for (const auto& c : cases) {
        std::vector<WalkTriangle> t;
        mapkit::addFloor(t, -1, -1, 0, 1, 0);
        mapkit::addFloor(t, 0, -1, 1, 1, c.beyond);
        mapkit::narrowToFloat(t);
        const WalkMesh mesh = prepared(t);
        const Walk w = walk(mesh, -0.5, 0, 0, floorUnder(mesh, -0.5, 0, 0), 1.0, 0);
        EXPECT_EQ(w.x() > 0.4, c.crossed) << c.beyond;
        if (c.crossed) {
            EXPECT_EQ(w.z(), static_cast<double>(static_cast<float>(c.beyond))) << c.beyond;
        }
    }
    // Nothing beyond: the edge blocks and the walk stops on it.
    const WalkMesh lone = prepared(mapkit::flatFloor());
    const Walk w = walk(lone, 9.5, 0, 0, floorUnder(lone, 9.5, 0, 0), 1.0, 0);
    EXPECT_NEAR(w.x(), 10, 1e-5);
}

TEST(SurfaceWalk, FindCrossTriangleSearchesGeometryAndPrefersTheNearestHeight) {
    // Lower floor with two separate floors stacked beyond its edge x = 0.
    std::vector<WalkTriangle> t;
    mapkit::addFloor(t, -1, -1, 0, 1, 0);
    mapkit::addFloor(t, 0, -1, 1, 1, 0.4);
    mapkit::addFloor(t, 0, -1, 1, 1, -0.3);
    mapkit::narrowToFloat(t);
    const WalkMesh mesh = prepared(t);
    const rpg::WalkMesh* n = mesh.navigation.get();
    // Triangle 0 of the lower floor holds the edge x = 0 as its edge 0.
    const rpg::NavEdge e = rpg::walkMeshEdge(n, 0, 0);
    ASSERT_EQ(e.start.x, 0.0f);
    ASSERT_EQ(e.end.x, 0.0f);
    const struct {
        float height;
        float expectedHeight;
    } cases[] = {{0.0f, -0.3f}, {0.1f, 0.4f}, {0.05f, -0.3f}, {1.0f, 0.4f}};
    for (const auto& c : cases) {
        float found = 99;
        const int32_t beyond = rpg::findCrossTriangle(n, 0, 0, 0.0f, -0.5f, c.height, &found);
        ASSERT_GE(beyond, 2) << c.height;
        EXPECT_FLOAT_EQ(found, c.expectedHeight) << c.height;
    }
    // Across the shared diagonal (edge 1, world (0, 1) to (-1, -1)) lies the
    // welded sibling; across the outer edge y = -1 (edge 2) nothing.
    EXPECT_EQ(rpg::findCrossTriangle(n, 0, 1, -0.5f, 0.0f, 0.0f, nullptr), 1);
    EXPECT_EQ(rpg::findCrossTriangle(n, 0, 2, -0.5f, 1.0f, 0.0f, nullptr), -1);
}

TEST(SurfaceWalk, UnweldedSeamIsCrossed) {
    const WalkMesh mesh = prepared(mapkit::unweldedSeam());
    const Walk w = walk(mesh, -0.5, 0, 0, floorUnder(mesh, -0.5, 0, 0), 1.0, 0);
    EXPECT_FLOAT_EQ(w.position[0], 0.5f);
    EXPECT_GE(w.triangle, 2) << "on the trapezoid";
}

TEST(SurfaceWalk, RampHeightFollowsThePlane) {
    const WalkMesh mesh = prepared(mapkit::ramp(30, 4));
    const Walk w = walk(mesh, -0.5, 0, 0, floorUnder(mesh, -0.5, 0, 0), 2.5, 0);
    EXPECT_FLOAT_EQ(w.position[0], 2.0f);
    EXPECT_NEAR(w.z(), 2.0 * std::tan(30 * M_PI / 180), 1e-5);
}

TEST(SurfaceWalk, PushOutOfEdgeLeavesReachableEdgesAlone) {
    const WalkMesh high = prepared(mapkit::stepUp(0.55));
    const WalkMesh low = prepared(mapkit::stepUp(0.5));
    for (const WalkMesh* mesh : {&high, &low}) {
        const rpg::WalkMesh* n = mesh->navigation.get();
        const int32_t t = floorUnder(*mesh, -0.1, 0, 0);
        ASSERT_EQ(t, 0);
        float p[3] = {-0.1f, 0.0f, 0.0f};
        const bool pushed = rpg::pushOutOfEdge(n, 0, 0, p, 0.0f, 0.32f);
        EXPECT_EQ(pushed, mesh == &high);
        EXPECT_FLOAT_EQ(p[0], mesh == &high ? -0.32f : -0.1f);
        EXPECT_EQ(p[1], 0.0f) << "the height is never changed";
    }
}

}  // namespace
}  // namespace vobu
