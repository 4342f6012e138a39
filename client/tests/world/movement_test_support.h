#pragma once
// Helpers of the navigation, wall and movement tests: prepared walk meshes,
// bitwise comparisons, and runs of movement steps.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "mapkit/map_kit.h"
#include "world/movement.h"
#include "world/nav_grid.h"
#include "world/navigation.h"
#include "world/scene.h"
#include "world/walls.h"

namespace vobu::movetest {

inline WalkMesh prepared(std::vector<WalkTriangle> triangles) {
    WalkMesh mesh;
    mesh.triangles = std::move(triangles);
    prepareNavigation(mesh);
    return mesh;
}

// The same mesh with its search grid removed, so every search scans every
// triangle: the reference the grid searches must match bit for bit.
inline WalkMesh preparedWithoutGrid(std::vector<WalkTriangle> triangles) {
    WalkMesh mesh;
    mesh.triangles = std::move(triangles);
    prepareNavigation(mesh);
    rpg::freeTriangleGrid(mesh.navigation.get());
    extractBoundaryWalls(mesh);
    return mesh;
}

inline WalkTriangle triangle(double x0, double y0, double z0, double x1, double y1, double z1, double x2, double y2,
                             double z2) {
    return {x0, y0, z0, x1, y1, z1, x2, y2, z2};
}

inline bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

inline bool sameState(const MoveState& a, const MoveState& b) {
    return sameBits(a.x, b.x) && sameBits(a.y, b.y) && sameBits(a.z, b.z) && sameBits(a.vz, b.vz) &&
           sameBits(a.heading, b.heading) && sameBits(a.vx, b.vx) && sameBits(a.vy, b.vy) && a.triangle == b.triangle;
}

inline bool samePosition(const MoveState& a, const MoveState& b) {
    return sameBits(a.x, b.x) && sameBits(a.y, b.y) && sameBits(a.z, b.z) && sameBits(a.vz, b.vz) &&
           sameBits(a.vx, b.vx) && sameBits(a.vy, b.vy) && a.triangle == b.triangle;
}

inline MoveCommand command(double moveX, double moveY, bool jump = false) {
    MoveCommand c;
    c.moveX = moveX;
    c.moveY = moveY;
    c.jump = jump;
    return c;
}

inline MoveState standingAt(const WalkMesh& mesh, double x, double y, double z) {
    MoveState s;
    s.x = x;
    s.y = y;
    s.z = z;
    s.triangle = findWalkableTriangle(mesh, x, y, z, 0.002, 0.002).triangle;
    return s;
}

inline bool grounded(const MoveState& s) { return s.vz == 0 && s.triangle >= 0; }

// A small deterministic generator, so the random scenarios repeat exactly.
class Lcg {
public:
    explicit Lcg(uint32_t seed) : state_(seed) {}
    uint32_t next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_;
    }
    // Uniform in [lo, hi].
    double uniform(double lo, double hi) { return lo + (hi - lo) * (next() >> 8) / double(1u << 24); }

private:
    uint32_t state_;
};

}  // namespace vobu::movetest
