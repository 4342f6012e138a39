#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "movement_test_support.h"
#include "world/navigation.h"

namespace vobu {
namespace {

using movetest::prepared;
using movetest::triangle;

const rpg::WalkMesh& nav(const WalkMesh& mesh) { return *mesh.navigation; }

TEST(NavigationBuild, WeldsEqualCornersAndStoresTheYUpFrame) {
    // Two triangles sharing the edge (1,0,2)-(0,1,3); -0 and 0 weld together.
    const WalkMesh mesh = prepared({triangle(-0.0, 0, 1, 1, 0, 2, 0, 1, 3), triangle(1, 0, 2, 1, 1, 4, 0, 1, 3)});
    const rpg::WalkMesh& n = nav(mesh);
    ASSERT_EQ(n.triangleCount, 2);
    EXPECT_EQ(n.vertexCount, 4);
    EXPECT_FLOAT_EQ(n.radius, 0.32f);
    // Vertex 1 is world (1, 0, 2): stored as (x, z, -y).
    const rpg::NavTriangle t = rpg::walkMeshTriangle(&n, 0);
    EXPECT_EQ(t.p1.x, 1.0f);
    EXPECT_EQ(t.p1.height, 2.0f);
    EXPECT_EQ(t.p1.z, -0.0f);
    EXPECT_EQ(t.p2.z, -1.0f);
    EXPECT_EQ(n.triangles[3 + 0], n.triangles[1]);
    EXPECT_EQ(n.triangles[3 + 2], n.triangles[2]);
}

TEST(NavigationBuild, NeighboursIgnoreWindingAndAThirdTriangleStaysUnlinked) {
    // Triangle 0 counter-clockwise, triangle 1 clockwise on the same edge
    // (1,0)-(0,1); triangle 2 is a third one on that edge.
    const WalkMesh mesh = prepared({triangle(0, 0, 0, 1, 0, 0, 0, 1, 0), triangle(1, 0, 0, 0, 1, 0, 1, 1, 0),
                                    triangle(0, 1, 0, 1, 0, 0, 1, -1, 1)});
    const rpg::WalkMesh& n = nav(mesh);
    // Edge 0 of triangle 0 runs from vertex 1 (1,0) to vertex 2 (0,1).
    EXPECT_EQ(n.neighbours[0], 1);
    EXPECT_EQ(n.neighbours[1], -1);
    EXPECT_EQ(n.neighbours[2], -1);
    // Triangle 1's edge 2 runs from its vertex 0 (1,0) to vertex 1 (0,1).
    EXPECT_EQ(n.neighbours[3 + 2], 0);
    for (int e = 0; e < 3; ++e) {
        EXPECT_EQ(n.neighbours[6 + e], -1) << "edge " << e;
    }
}

TEST(NavigationBuild, FlagsNormalsPlanesAndWeights) {
    const WalkMesh mesh = prepared({
        triangle(0, 0, 0, 2, 0, 0, 0, 2, 0),        // flat floor, counter-clockwise
        triangle(0, 0, 0, 0, 2, 0, 2, 0, 0),        // the same, clockwise: faces down
        triangle(5, 0, 1.5, 6, 0, 1.5, 6, 0, 2.5),  // vertical
        triangle(9, 9, 1, 9, 9, 1, 9, 9, 1),        // zero area
        triangle(0, 0, 0, 1, 0, 1, 0, 1, 0),        // rises 1 per 1 along x: 45 degrees
    });
    const rpg::WalkMesh& n = nav(mesh);
    EXPECT_TRUE(rpg::isWalkableTriangle(&n, 0));
    EXPECT_FALSE(rpg::isWalkableTriangle(&n, 1));
    EXPECT_FALSE(rpg::isWalkableTriangle(&n, 2));
    EXPECT_TRUE(rpg::isWalkableTriangle(&n, 3));
    EXPECT_TRUE(rpg::isWalkableTriangle(&n, 4));
    EXPECT_FALSE(rpg::isWalkableTriangle(&n, 5));
    EXPECT_FALSE(rpg::isWalkableTriangle(&n, -1));

    EXPECT_EQ(n.normals[1], 1.0f);
    EXPECT_EQ(n.normals[4], -1.0f);
    // Vertical: plane (0, 0, height of its first vertex).
    EXPECT_EQ(n.planes[6], 0.0f);
    EXPECT_EQ(n.planes[7], 0.0f);
    EXPECT_EQ(n.planes[8], 1.5f);
    // Zero area: normal straight up, every point weighs (0, 0, 1).
    EXPECT_EQ(n.normals[9], 0.0f);
    EXPECT_EQ(n.normals[10], 1.0f);
    const rpg::NavWeights w = rpg::walkMeshBarycentric(&n, 3, 123.0f, -7.0f);
    EXPECT_EQ(w.w0, 0.0f);
    EXPECT_EQ(w.w1, 0.0f);
    EXPECT_EQ(w.w2, 1.0f);
    // 45 degrees: normal height component 1/sqrt(2), height = x.
    EXPECT_NEAR(n.normals[13], std::sqrt(0.5f), 1e-6);
    float h = 0;
    ASSERT_TRUE(rpg::walkMeshPlaneHeight(&n, 4, 0.25f, -0.5f, &h));
    EXPECT_FLOAT_EQ(h, 0.25f);
    EXPECT_FALSE(rpg::walkMeshPlaneHeight(&n, 7, 0, 0, &h));

    // Barycentric weights of the floor: world (0.5, 0.5) is nav (0.5, -0.5).
    const rpg::NavWeights floor = rpg::walkMeshBarycentric(&n, 0, 0.5f, -0.5f);
    EXPECT_FLOAT_EQ(floor.w0, 0.5f);
    EXPECT_FLOAT_EQ(floor.w1, 0.25f);
    EXPECT_FLOAT_EQ(floor.w2, 0.25f);
    // Bounds: min x, max x, min z, max z.
    EXPECT_EQ(n.bounds[0], 0.0f);
    EXPECT_EQ(n.bounds[1], 2.0f);
    EXPECT_EQ(n.bounds[2], -2.0f);
    EXPECT_EQ(n.bounds[3], 0.0f);
}

TEST(NavigationBuild, EdgesRunOppositeTheirVertex) {
    const WalkMesh mesh = prepared({triangle(0, 0, 0, 1, 0, 0, 0, 1, 0)});
    const rpg::WalkMesh& n = nav(mesh);
    const struct {
        int edge;
        float startX, startZ, endX, endZ;
    } cases[] = {{0, 1, 0, 0, -1}, {1, 0, -1, 0, 0}, {2, 0, 0, 1, 0}};
    for (const auto& c : cases) {
        const rpg::NavEdge e = rpg::walkMeshEdge(&n, 0, c.edge);
        EXPECT_EQ(e.start.x, c.startX) << c.edge;
        EXPECT_EQ(e.start.z, c.startZ) << c.edge;
        EXPECT_EQ(e.end.x, c.endX) << c.edge;
        EXPECT_EQ(e.end.z, c.endZ) << c.edge;
    }
}

TEST(NavigationBuild, FanNearListHoldsExactlySixteen) {
    const WalkMesh mesh = prepared(mapkit::triangleFan(24));
    const rpg::WalkMesh& n = nav(mesh);
    ASSERT_EQ(n.triangleCount, 24);
    for (int t = 0; t < n.triangleCount; ++t) {
        ASSERT_EQ(n.nearOffsets[t + 1] - n.nearOffsets[t], 16) << t;
        EXPECT_EQ(n.nearTriangles[n.nearOffsets[t]], t) << "the list starts with the triangle itself";
        std::set<int> unique(n.nearTriangles + n.nearOffsets[t], n.nearTriangles + n.nearOffsets[t + 1]);
        EXPECT_EQ(unique.size(), 16u);
    }
    EXPECT_EQ(n.nearOffsets[n.triangleCount], n.nearCount);
    // Triangle 0 is (centre, rim 0, rim 1): after itself come the other
    // users of the centre in ascending order.
    for (int k = 1; k < 16; ++k) {
        EXPECT_EQ(n.nearTriangles[k], k);
    }
}

TEST(NavigationBuild, BlockingEdgesListEachOpenVertexPairOnce) {
    // Two welded floor triangles: the four outer edges block, the shared
    // diagonal does not; both triangles see all four.
    const WalkMesh mesh = prepared(mapkit::flatFloor());
    const rpg::WalkMesh& n = nav(mesh);
    ASSERT_EQ(n.triangleCount, 2);
    EXPECT_EQ(n.edgeOffsets[1] - n.edgeOffsets[0], 4);
    EXPECT_EQ(n.edgeOffsets[2] - n.edgeOffsets[1], 4);
    EXPECT_EQ(n.blockingEdgeCount, 8);
    for (int k = 0; k < n.blockingEdgeCount; ++k) {
        const int t = n.blockingEdges[2 * k];
        const int e = n.blockingEdges[2 * k + 1];
        EXPECT_EQ(n.neighbours[3 * t + e], -1);
    }
}

TEST(NavigationBuild, EdgeToASteepNeighbourBlocks) {
    const WalkMesh mesh = prepared(mapkit::ramp(75, 2));
    const rpg::WalkMesh& n = nav(mesh);
    // Triangles 2 and 3 are the steep slope; the floor's edge at x = 0 is
    // linked to it and still listed as blocking.
    bool listed = false;
    for (int k = n.edgeOffsets[0]; k < n.edgeOffsets[1]; ++k) {
        const int t = n.blockingEdges[2 * k];
        const int e = n.blockingEdges[2 * k + 1];
        const int other = n.neighbours[3 * t + e];
        listed = listed || (other >= 0 && !rpg::isWalkableTriangle(&n, other));
    }
    EXPECT_TRUE(listed);
}

TEST(NavigationQuery, FindNavTriangleTakesTheNearestHeightWithinTheLimit) {
    // Two stacked floors at 0 and 2 over the same ground.
    std::vector<WalkTriangle> t;
    mapkit::addFloor(t, 0, 0, 4, 4, 0);
    mapkit::addFloor(t, 0, 0, 4, 4, 2);
    const WalkMesh mesh = prepared(t);
    const rpg::WalkMesh* n = mesh.navigation.get();
    // World (1, 3) lies in the second triangle of each floor: nav (1, -3).
    // Equal differences go to the later triangle.
    const struct {
        float height, maxDiff;
        int expected;
    } cases[] = {{0.4f, 3.0f, 1},   {1.6f, 3.0f, 3},  {1.0f, 3.0f, 3}, {5.1f, 3.0f, -1},
                 {-3.1f, 3.0f, -1}, {0.5f, 0.4f, -1}, {0.5f, 0.5f, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(rpg::findNavTriangle(n, 1.0f, -3.0f, c.height, c.maxDiff), c.expected)
            << c.height << " within " << c.maxDiff;
    }
    EXPECT_EQ(rpg::findNavTriangle(n, 9.0f, -3.0f, 0.0f, 3.0f), -1) << "outside the floors";
}

TEST(NavigationBuild, PrepareReplacesTheMeshAndCopiesShareIt) {
    WalkMesh mesh = prepared(mapkit::flatFloor());
    EXPECT_EQ(mesh.walls.size(), 4u);
    const WalkMesh copy = mesh;
    EXPECT_EQ(copy.navigation.get(), mesh.navigation.get());
    mesh.triangles = mapkit::stepUp(0.5);
    prepareNavigation(mesh);
    EXPECT_NE(copy.navigation.get(), mesh.navigation.get());
    EXPECT_EQ(copy.navigation->triangleCount, 2) << "the copy keeps the mesh it shared";
    EXPECT_EQ(mesh.navigation->triangleCount, 6);
}

TEST(NavigationBuild, EmptyTriangleListGivesAnEmptyMeshWithoutWalls) {
    WalkMesh mesh;
    mesh.walls.push_back({});
    prepareNavigation(mesh);
    ASSERT_TRUE(mesh.navigation);
    EXPECT_EQ(mesh.navigation->triangleCount, 0);
    EXPECT_TRUE(mesh.walls.empty());
    EXPECT_EQ(rpg::findNavTriangle(mesh.navigation.get(), 0, 0, 0, 3), -1);
}

TEST(NavigationBuild, FreeZeroesArraysButKeepsTheRadius) {
    WalkMesh mesh = prepared(mapkit::flatFloor());
    rpg::WalkMesh* n = mesh.navigation.get();
    n->radius = 0.5f;
    rpg::freeWalkMeshDerived(n);
    EXPECT_EQ(n->flags, nullptr);
    EXPECT_EQ(n->blockingEdges, nullptr);
    EXPECT_EQ(n->gridItems, nullptr);
    EXPECT_NE(n->vertices, nullptr);
    rpg::buildWalkMesh(n);
    EXPECT_NE(n->flags, nullptr) << "the derived arrays can be built again";
    rpg::freeWalkMesh(n);
    EXPECT_EQ(n->vertices, nullptr);
    EXPECT_EQ(n->triangleCount, 0);
    EXPECT_EQ(n->radius, 0.5f);
}

// The grid only narrows the search: on random terrain with overlapping
// layers and slivers every query must give what a full scan gives.
TEST(NavigationGrid, SearchesMatchAFullScan) {
    movetest::Lcg random(7);
    std::vector<WalkTriangle> soup = mapkit::grid(24, 24, 0.5, 0.3, 3);
    for (int i = 0; i < 300; ++i) {
        const double x = random.uniform(-6, 6), y = random.uniform(-6, 6), z = random.uniform(-1, 2);
        const double size = random.uniform(0.01, 3);
        soup.push_back(triangle(x, y, z, x + size, y + random.uniform(-0.1, 0.1), z + random.uniform(-1, 1),
                                x + random.uniform(-size, size), y + size * random.uniform(0.001, 1), z));
    }
    mapkit::narrowToFloat(soup);
    const WalkMesh indexed = movetest::prepared(soup);
    const WalkMesh scanned = movetest::preparedWithoutGrid(soup);
    ASSERT_NE(indexed.navigation->gridItems, nullptr);
    ASSERT_EQ(scanned.navigation->gridItems, nullptr);
    for (int i = 0; i < 4000; ++i) {
        const float x = static_cast<float>(random.uniform(-7, 7));
        const float z = static_cast<float>(random.uniform(-7, 7));
        const float h = static_cast<float>(random.uniform(-1.5, 2.5));
        ASSERT_EQ(rpg::findNavTriangle(indexed.navigation.get(), x, z, h, 3.0f),
                  rpg::findNavTriangle(scanned.navigation.get(), x, z, h, 3.0f));
        const FloorProbe a = findWalkableTriangle(indexed, x, -z, h, 0.6, 0.6);
        const FloorProbe b = findWalkableTriangle(scanned, x, -z, h, 0.6, 0.6);
        ASSERT_EQ(a.triangle, b.triangle);
        ASSERT_TRUE(movetest::sameBits(a.height, b.height));
    }
}

}  // namespace
}  // namespace vobu
