#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>

#include "movement_test_support.h"
#include "world/walls.h"

namespace vobu {
namespace {

using movetest::prepared;
using movetest::triangle;

std::string budgetErrorOf(std::vector<WalkTriangle> triangles) {
    WalkMesh mesh;
    mesh.triangles = std::move(triangles);
    try {
        prepareNavigation(mesh);
    } catch (const std::runtime_error& e) {
        EXPECT_FALSE(mesh.navigation) << "a failed build leaves no half-built mesh";
        EXPECT_TRUE(mesh.walls.empty());
        return e.what();
    }
    return "no error";
}

bool onSegment(const WallSegment& w, double ax, double ay, double bx, double by) {
    return ((w.x0 == ax && w.y0 == ay && w.x1 == bx && w.y1 == by));
}

TEST(BoundaryWalls, LoneTriangleGivesThreeUnboundedWallsAlongItsEdges) {
    const WalkMesh mesh = prepared({triangle(0, 0, 0.5, 1, 0, 0.5, 0, 1, 1.5)});
    ASSERT_EQ(mesh.walls.size(), 3u);
    // Edge k runs from vertex k + 1 to vertex k + 2.
    EXPECT_TRUE(onSegment(mesh.walls[0], 1, 0, 0, 1));
    EXPECT_TRUE(onSegment(mesh.walls[1], 0, 1, 0, 0));
    EXPECT_TRUE(onSegment(mesh.walls[2], 0, 0, 1, 0));
    for (const WallSegment& w : mesh.walls) {
        EXPECT_TRUE(std::isinf(w.top0) && w.top0 > 0);
        EXPECT_TRUE(std::isinf(w.top1) && w.top1 > 0);
        EXPECT_EQ(w.side, 1) << "a counter-clockwise triangle lies to the left of its edges";
    }
    EXPECT_EQ(mesh.walls[0].floor0, 0.5);
    EXPECT_EQ(mesh.walls[0].floor1, 1.5);
}

TEST(BoundaryWalls, SideFollowsTheTriangleNotTheEdgeDirection) {
    // The edge (0, 0)-(1, 0) of the triangle (0, 0), (1, 0), (0, 1) is its
    // edge 2; the same edge seen from the clockwise-listed copy is reversed.
    const WalkMesh mesh = prepared({triangle(0, 0, 0, 1, 0, 0, 0, 1, 0)});
    ASSERT_EQ(mesh.walls.size(), 3u);
    EXPECT_TRUE(onSegment(mesh.walls[2], 0, 0, 1, 0));
    EXPECT_EQ(mesh.walls[2].side, 1);
}

TEST(BoundaryWalls, WeldedNeighboursShareNoWall) {
    const WalkMesh mesh = prepared(mapkit::flatFloor());
    ASSERT_EQ(mesh.walls.size(), 4u) << "only the four outer edges";
    for (const WallSegment& w : mesh.walls) {
        const bool outer = (w.x0 == w.x1 && std::fabs(w.x0) == 10) || (w.y0 == w.y1 && std::fabs(w.y0) == 10);
        EXPECT_TRUE(outer) << w.x0 << "," << w.y0 << " " << w.x1 << "," << w.y1;
    }
}

// A floor x in [-1, 0] at 0 beside a separate floor x in [0, 1] at `height`.
std::vector<WalkTriangle> besideFloor(double height) {
    std::vector<WalkTriangle> t;
    mapkit::addFloor(t, -1, -1, 0, 1, 0);
    mapkit::addFloor(t, 0, -1, 1, 1, height);
    mapkit::narrowToFloat(t);
    return t;
}

int wallsOnLine(const WalkMesh& mesh, double x, bool finite) {
    int count = 0;
    for (const WallSegment& w : mesh.walls) {
        if (w.x0 == x && w.x1 == x && std::isfinite(w.top0) == finite) {
            ++count;
        }
    }
    return count;
}

TEST(BoundaryWalls, HigherSurfaceBeyondGivesAWallUpToIt) {
    const WalkMesh higher = prepared(besideFloor(0.3));
    ASSERT_EQ(wallsOnLine(higher, 0, true), 1);
    ASSERT_EQ(wallsOnLine(higher, 0, false), 0);
    for (const WallSegment& w : higher.walls) {
        if (w.x0 == 0 && w.x1 == 0) {
            EXPECT_EQ(w.top0, static_cast<double>(0.3f));
            EXPECT_EQ(w.top1, static_cast<double>(0.3f));
            EXPECT_EQ(w.floor0, 0);
            EXPECT_EQ(w.floor1, 0);
            EXPECT_EQ(w.side, w.y1 > w.y0 ? 1 : -1) << "the walkable side is the lower floor, at x < 0";
        }
    }
    EXPECT_EQ(higher.walls.size(), 7u) << "three outer edges each, one rising edge";

    const WalkMesh lower = prepared(besideFloor(-0.3));
    EXPECT_EQ(wallsOnLine(lower, 0, true), 1) << "the rise is now seen from the other floor";
    EXPECT_EQ(lower.walls.size(), 7u);
    const WalkMesh level = prepared(besideFloor(0.0));
    EXPECT_EQ(wallsOnLine(level, 0, true) + wallsOnLine(level, 0, false), 0) << "welded: no open edge";
}

TEST(BoundaryWalls, HalfBorderedEdgeSplitsWhereTheOtherEdgeCrosses) {
    const WalkMesh mesh = prepared(mapkit::halfBorderedEdge());
    std::vector<WallSegment> onEdge;
    for (const WallSegment& w : mesh.walls) {
        if (w.x0 == 0 && w.x1 == 0 && w.floor0 == 0) {
            onEdge.push_back(w);
        }
    }
    ASSERT_EQ(onEdge.size(), 2u);
    const WallSegment& open = std::isfinite(onEdge[0].top0) ? onEdge[1] : onEdge[0];
    const WallSegment& bordered = std::isfinite(onEdge[0].top0) ? onEdge[0] : onEdge[1];
    EXPECT_TRUE(std::isinf(open.top0));
    EXPECT_TRUE(std::isinf(open.top1));
    EXPECT_EQ(bordered.top0, static_cast<double>(0.3f));
    EXPECT_EQ(bordered.top1, static_cast<double>(0.3f));
    EXPECT_NEAR(std::min(open.y0, open.y1), -2, 1e-9);
    EXPECT_NEAR(std::max(open.y0, open.y1), 0, 1e-9);
    EXPECT_NEAR(std::min(bordered.y0, bordered.y1), 0, 1e-9);
    EXPECT_NEAR(std::max(bordered.y0, bordered.y1), 2, 1e-9);
}

TEST(BoundaryWalls, SteepNeighbourGivesAnUnboundedWall) {
    const WalkMesh mesh = prepared(mapkit::ramp(75, 2));
    EXPECT_EQ(wallsOnLine(mesh, 0, false), 1) << "the floor's edge against the slope";
    const WalkMesh gentle = prepared(mapkit::ramp(30, 4));
    EXPECT_EQ(wallsOnLine(gentle, 0, false) + wallsOnLine(gentle, 0, true), 0) << "a walkable ramp is welded on";
}

TEST(BoundaryWalls, UnweldedSeamBetweenLevelFloorsHasNoWall) {
    const WalkMesh mesh = prepared(mapkit::unweldedSeam());
    EXPECT_EQ(wallsOnLine(mesh, 0, false) + wallsOnLine(mesh, 0, true), 2)
        << "only the trapezoid's overhanging ends at |y| > 5 stand open";
    for (const WallSegment& w : mesh.walls) {
        if (w.x0 == 0 && w.x1 == 0) {
            EXPECT_GE(std::min(std::fabs(w.y0), std::fabs(w.y1)), 5 - 1e-9);
        }
    }
}

// Random terraces: cells of side 1 at one of four heights. Equal neighbours
// weld; a border to a higher cell must carry exactly one wall up to it, a
// border to a lower cell none, and the outer border unbounded walls.
TEST(BoundaryWalls, RandomTerracesGetWallsExactlyWhereTheFloorRises) {
    const double levels[] = {0, 0.25, 0.6, 1.0};
    for (uint32_t seed : {1u, 2u, 3u, 4u}) {
        movetest::Lcg random(seed);
        const int n = 8;
        double height[n][n];
        std::vector<WalkTriangle> t;
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                height[i][j] = levels[random.next() % 4];
                mapkit::addFloor(t, i, j, i + 1, j + 1, height[i][j]);
            }
        }
        mapkit::narrowToFloat(t);
        const WalkMesh mesh = prepared(t);

        size_t expected = 4 * n;
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                const int di[] = {1, -1, 0, 0}, dj[] = {0, 0, 1, -1};
                for (int k = 0; k < 4; ++k) {
                    const int a = i + di[k], b = j + dj[k];
                    if (a >= 0 && a < n && b >= 0 && b < n && height[a][b] > height[i][j]) {
                        ++expected;
                    }
                }
            }
        }
        ASSERT_EQ(mesh.walls.size(), expected) << "seed " << seed;
        for (const WallSegment& w : mesh.walls) {
            // The cell on the walkable side of the wall's midpoint and the one beyond.
            const double mx = (w.x0 + w.x1) / 2, my = (w.y0 + w.y1) / 2;
            const double ex = w.x1 - w.x0, ey = w.y1 - w.y0;
            const double len = std::hypot(ex, ey);
            const double lx = -ey / len * w.side, ly = ex / len * w.side;  // toward the walkable side
            const int ci = int(std::floor(mx + 0.5 * lx)), cj = int(std::floor(my + 0.5 * ly));
            const int oi = int(std::floor(mx - 0.5 * lx)), oj = int(std::floor(my - 0.5 * ly));
            ASSERT_TRUE(ci >= 0 && ci < n && cj >= 0 && cj < n);
            EXPECT_EQ(w.floor0, static_cast<double>(static_cast<float>(height[ci][cj])));
            const bool outside = oi < 0 || oi >= n || oj < 0 || oj >= n;
            if (outside) {
                EXPECT_TRUE(std::isinf(w.top0));
            } else {
                EXPECT_GT(height[oi][oj], height[ci][cj]) << "nothing lower or level lies beyond a wall";
                EXPECT_EQ(w.top0, static_cast<double>(static_cast<float>(height[oi][oj])));
                EXPECT_EQ(w.top1, w.top0);
            }
        }
    }
}

// Heights of the walkable triangles containing a ground point (a full scan
// in world coordinates).
std::vector<double> walkableHeightsAt(const std::vector<WalkTriangle>& triangles, double x, double y) {
    std::vector<double> heights;
    for (const WalkTriangle& t : triangles) {
        const double det = (t.x1 - t.x0) * (t.y2 - t.y0) - (t.y1 - t.y0) * (t.x2 - t.x0);
        if (det < 1e-8) continue;
        const double w0 = ((x - t.x2) * (t.y1 - t.y2) + (y - t.y2) * (t.x2 - t.x1)) / det;
        const double w1 = ((y - t.y2) * (t.x0 - t.x2) + (t.y2 - t.y0) * (x - t.x2)) / det;
        if (w0 < -1e-9 || w1 < -1e-9 || w0 + w1 > 1 + 1e-9) continue;
        heights.push_back(w0 * t.z0 + w1 * t.z1 + (1 - w0 - w1) * t.z2);
    }
    return heights;
}

// Rolling random terrain cut into cells lifted by 0, 0.3 or 0.8: equal
// neighbours weld, unequal ones leave a cliff. Just beyond every wall's
// midpoint the only walkable ground lies higher than the wall's floor, at
// the wall's top, or there is none and the top is unbounded; and every
// cliff seen from below carries a wall.
TEST(BoundaryWalls, RollingTerrainWithCliffsHasNothingWalkableBeyondAWallBelowItsTop) {
    const double lifts[] = {0, 0.3, 0.8};
    for (uint32_t seed : {7u, 8u, 9u}) {
        movetest::Lcg random(seed);
        const int n = 10;
        double noise[n + 1][n + 1];
        double lift[n][n];
        for (auto& row : noise)
            for (double& v : row) v = random.uniform(-0.25, 0.25);
        for (auto& row : lift)
            for (double& v : row) v = lifts[random.next() % 3];
        std::vector<WalkTriangle> t;
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                const double l = lift[i][j];
                mapkit::addQuad(t, {double(i), double(j), noise[i][j] + l}, {i + 1.0, double(j), noise[i + 1][j] + l},
                                {i + 1.0, j + 1.0, noise[i + 1][j + 1] + l}, {double(i), j + 1.0, noise[i][j + 1] + l});
            }
        }
        mapkit::narrowToFloat(t);
        const WalkMesh mesh = prepared(t);
        for (const WallSegment& w : mesh.walls) {
            const double ex = w.x1 - w.x0, ey = w.y1 - w.y0, len = std::hypot(ex, ey);
            const double ox = ey / len * w.side, oy = -ex / len * w.side;  // away from the walkable side
            const double mx = (w.x0 + w.x1) / 2 + 1e-3 * ox, my = (w.y0 + w.y1) / 2 + 1e-3 * oy;
            const double floorMid = (w.floor0 + w.floor1) / 2;
            // Pieces a few millionths long at a cell corner (cut off where a
            // neighbour's plane crosses the edge) look across at the
            // diagonal cell too; the probe here is too coarse for them.
            const double cornerX = std::round(mx), cornerY = std::round(my);
            if (std::hypot(mx - cornerX, my - cornerY) < 2e-3) continue;
            const std::vector<double> beyond = walkableHeightsAt(t, mx, my);
            if (std::isinf(w.top0)) {
                EXPECT_TRUE(beyond.empty()) << "seed " << seed << " unbounded wall with floor beyond";
                continue;
            }
            ASSERT_FALSE(beyond.empty()) << "seed " << seed;
            for (double h : beyond) {
                EXPECT_GT(h, floorMid + 0.25) << "seed " << seed << ": walkable ground beyond at or below the floor";
                EXPECT_NEAR(h, (w.top0 + w.top1) / 2, 0.01) << "seed " << seed << " at " << mx << "," << my;
            }
        }
        // Every cliff seen from below carries a wall at its middle.
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                for (int k = 0; k < 2; ++k) {
                    const int ni = k == 0 ? i + 1 : i, nj = k == 0 ? j : j + 1;  // the +x or +y neighbour
                    if (ni >= n || nj >= n || lift[i][j] == lift[ni][nj]) continue;
                    const double cx = k == 0 ? i + 1.0 : i + 0.5, cy = k == 0 ? j + 0.5 : j + 1.0;
                    bool covered = false;
                    for (const WallSegment& w : mesh.walls) {
                        const bool onLine = k == 0 ? (w.x0 == cx && w.x1 == cx) : (w.y0 == cy && w.y1 == cy);
                        const double lo = k == 0 ? std::min(w.y0, w.y1) : std::min(w.x0, w.x1);
                        const double hi = k == 0 ? std::max(w.y0, w.y1) : std::max(w.x0, w.x1);
                        const double at = k == 0 ? cy : cx;
                        covered = covered || (onLine && std::isfinite(w.top0) && lo <= at && at <= hi);
                    }
                    EXPECT_TRUE(covered) << "seed " << seed << " cliff at " << cx << "," << cy;
                }
            }
        }
    }
}

TEST(BoundaryWalls, GridSearchGivesTheWallsOfAFullScan) {
    movetest::Lcg random(11);
    std::vector<WalkTriangle> soup = mapkit::grid(16, 16, 0.5, 0.4, 5);
    for (int i = 0; i < 200; ++i) {
        const double x = random.uniform(-4, 4), y = random.uniform(-4, 4), z = random.uniform(-0.5, 1);
        const double size = random.uniform(0.05, 2);
        soup.push_back(triangle(x, y, z, x + size, y, z + random.uniform(-0.5, 0.5), x, y + size, z));
    }
    mapkit::narrowToFloat(soup);
    const WalkMesh indexed = prepared(soup);
    const WalkMesh scanned = movetest::preparedWithoutGrid(soup);
    ASSERT_GT(indexed.walls.size(), 100u);
    ASSERT_EQ(indexed.walls.size(), scanned.walls.size());
    for (size_t i = 0; i < indexed.walls.size(); ++i) {
        const WallSegment& a = indexed.walls[i];
        const WallSegment& b = scanned.walls[i];
        const bool same = movetest::sameBits(a.x0, b.x0) && movetest::sameBits(a.y0, b.y0) &&
                          movetest::sameBits(a.x1, b.x1) && movetest::sameBits(a.y1, b.y1) &&
                          movetest::sameBits(a.floor0, b.floor0) && movetest::sameBits(a.floor1, b.floor1) &&
                          movetest::sameBits(a.top0, b.top0) && movetest::sameBits(a.top1, b.top1) && a.side == b.side;
        ASSERT_TRUE(same) << "wall " << i;
    }
}

TEST(BoundaryWalls, TooManyWallsFailWithTheBudgetCode) {
    // 16,384 separate small triangles would need 49,152 walls.
    EXPECT_EQ(budgetErrorOf(mapkit::unweldedSoup(128, 64, 0.5, 0.5)), "ERR_WALKMESH_BUDGET");
}

TEST(BoundaryWalls, LargeLegitimateMeshesStayWithinTheBudgets) {
    const WalkMesh grid = prepared(mapkit::largeGrid());
    // Rolling terrain: neighbouring planes cut the boundary edges into more
    // pieces than edges, but every wall stands on the outer border.
    EXPECT_GE(grid.walls.size(), 2u * (128 + 64));
    for (const WallSegment& w : grid.walls) {
        const bool outer = (w.x0 == w.x1 && std::fabs(w.x0) == 32) || (w.y0 == w.y1 && std::fabs(w.y0) == 16);
        ASSERT_TRUE(outer) << w.x0 << "," << w.y0 << " " << w.x1 << "," << w.y1;
        ASSERT_TRUE(std::isinf(w.top0));
    }
    // Seams narrower than the crossing probe: every edge is open, but level
    // floor lies beyond nearly all of them.
    const WalkMesh soup = prepared(mapkit::unweldedSoup(96, 64, 0.5, 1e-5));
    EXPECT_LT(soup.walls.size(), kMaxWalls);
}

// Thousands of large overlapping triangles at different heights: every open
// edge is split at thousands of points, each with thousands of triangles
// beyond. Within the candidate budget, this once meant minutes of work; it
// must now end promptly with the budget code.
TEST(BoundaryWalls, HostileOverlapFailsFastWithTheBudgetCode) {
    movetest::Lcg random(99);
    std::vector<WalkTriangle> hostile;
    for (int i = 0; i < 1600; ++i) {
        const double z = random.uniform(0, 1);
        hostile.push_back(triangle(random.uniform(-10, -8), random.uniform(-10, -8), z, random.uniform(8, 10),
                                   random.uniform(-10, 10), z + 0.01, random.uniform(-10, -8), random.uniform(8, 10),
                                   z + 0.02));
    }
    mapkit::narrowToFloat(hostile);
    EXPECT_EQ(budgetErrorOf(hostile), "ERR_WALKMESH_BUDGET");
}

}  // namespace
}  // namespace vobu
