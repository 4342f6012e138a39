#pragma once
// Entry point shared by the navigation fuzz target and the regression test
// that replays its corpus in the ordinary build. The input becomes a list of
// walk triangles within the walk-mesh reader's limits; prepareNavigation must
// either fail with its budget code, leaving nothing half built, or give a
// consistent mesh whose grid searches and walls equal those of a full scan,
// on which a few movement steps stay finite. Returns false when something
// broke.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "world/movement.h"
#include "world/nav_grid.h"
#include "world/navigation.h"
#include "world/scene.h"
#include "world/walls.h"

namespace vobu::fuzz {

// Inputs: the first byte picks the coding of the rest. Even: each coordinate
// is an int16 divided by 16 (coarse, so corners weld often); odd: each is a
// float32, and the input is skipped when one is not finite or beyond 4096.
// At most this many triangles, so one run stays quick.
constexpr size_t kMaxFuzzTriangles = 1024;

inline bool triangleListFrom(const uint8_t* data, size_t size, std::vector<WalkTriangle>& out) {
    if (size < 1) return false;
    const bool floats = (data[0] & 1) != 0;
    const size_t width = floats ? 4 : 2;
    const size_t count = std::min((size - 1) / (9 * width), kMaxFuzzTriangles);
    const uint8_t* p = data + 1;
    for (size_t t = 0; t < count; ++t) {
        double c[9];
        for (double& value : c) {
            if (floats) {
                float f;
                std::memcpy(&f, p, 4);
                if (!std::isfinite(f) || std::fabs(f) > 4096.0f) return false;
                value = f;
            } else {
                int16_t i;
                std::memcpy(&i, p, 2);
                value = i / 16.0;
            }
            p += width;
        }
        out.push_back({c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8]});
    }
    return true;
}

inline bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

inline bool sameWalls(const std::vector<WallSegment>& a, const std::vector<WallSegment>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const double* x = &a[i].x0;
        const double* y = &b[i].x0;
        for (int k = 0; k < 9; ++k)
            if (!sameBits(x[k], y[k])) return false;
    }
    return true;
}

inline bool meshIsConsistent(const WalkMesh& mesh) {
    const rpg::WalkMesh* n = mesh.navigation.get();
    if (!n || n->triangleCount != int32_t(mesh.triangles.size())) return false;
    if (n->vertexCount < 0 || n->vertexCount > 3 * n->triangleCount) return false;
    for (int32_t t = 0; t < n->triangleCount; ++t) {
        for (int e = 0; e < 3; ++e) {
            const int32_t v = n->triangles[3 * t + e];
            if (v < 0 || v >= n->vertexCount) return false;
            const int32_t u = n->neighbours[3 * t + e];
            if (u < -1 || u >= n->triangleCount) return false;
            if (u >= 0 && n->neighbours[3 * u] != t && n->neighbours[3 * u + 1] != t && n->neighbours[3 * u + 2] != t)
                return false;  // links go both ways
        }
        const int32_t nearSize = n->nearOffsets[t + 1] - n->nearOffsets[t];
        if (nearSize < 1 || nearSize > rpg::kMaxNearTriangles || n->nearTriangles[n->nearOffsets[t]] != t) return false;
        for (int32_t k = n->edgeOffsets[t]; k < n->edgeOffsets[t + 1]; ++k) {
            const int32_t bt = n->blockingEdges[2 * k], be = n->blockingEdges[2 * k + 1];
            if (bt < 0 || bt >= n->triangleCount || be < 0 || be > 2) return false;
        }
    }
    if (n->nearOffsets[n->triangleCount] != n->nearCount) return false;
    if (n->edgeOffsets[n->triangleCount] != n->blockingEdgeCount) return false;
    if (mesh.walls.size() > kMaxWalls) return false;
    for (const WallSegment& w : mesh.walls) {
        if (!std::isfinite(w.x0) || !std::isfinite(w.y0) || !std::isfinite(w.x1) || !std::isfinite(w.y1)) return false;
        if (!std::isfinite(w.floor0) || !std::isfinite(w.floor1) || std::isnan(w.top0) || std::isnan(w.top1))
            return false;
        if (w.side != 1 && w.side != -1) return false;
    }
    return true;
}

inline bool stateIsFinite(const MoveState& s) {
    return std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.z) && std::isfinite(s.vx) &&
           std::isfinite(s.vy) && std::isfinite(s.vz) && std::isfinite(s.heading);
}

inline bool prepareNavigationHolds(const uint8_t* data, size_t size) {
    std::vector<WalkTriangle> triangles;
    if (!triangleListFrom(data, size, triangles)) return true;

    WalkMesh indexed;
    indexed.triangles = triangles;
    try {
        prepareNavigation(indexed);
    } catch (const std::runtime_error& e) {
        return std::string(e.what()) == "ERR_WALKMESH_BUDGET" && !indexed.navigation && indexed.walls.empty();
    } catch (const std::bad_alloc&) {
        return !indexed.navigation;
    }
    if (triangles.empty()) {
        return indexed.navigation && indexed.navigation->triangleCount == 0 && indexed.walls.empty();
    }
    if (!meshIsConsistent(indexed)) return false;

    // The same mesh searched without its grid must give the same walls and
    // the same answers.
    WalkMesh scanned;
    scanned.triangles = triangles;
    prepareNavigation(scanned);
    rpg::freeTriangleGrid(scanned.navigation.get());
    extractBoundaryWalls(scanned);
    if (!sameWalls(indexed.walls, scanned.walls)) return false;

    const MovementParams params;
    for (size_t t = 0; t < triangles.size() && t < 8; ++t) {
        const WalkTriangle& w = triangles[t];
        const double cx = (w.x0 + w.x1 + w.x2) / 3, cy = (w.y0 + w.y1 + w.y2) / 3, cz = (w.z0 + w.z1 + w.z2) / 3;
        if (rpg::findNavTriangle(indexed.navigation.get(), float(cx), float(-cy), float(cz), 3.0f) !=
            rpg::findNavTriangle(scanned.navigation.get(), float(cx), float(-cy), float(cz), 3.0f))
            return false;
        MoveState a;
        a.x = cx;
        a.y = cy;
        a.z = cz + 0.001 * double(t);
        a.vx = 3 - double(t);
        a.vy = double(t % 3);
        MoveState b = a;
        MoveCommand command;
        command.moveX = 1;
        command.jump = t % 2 == 1;
        for (int i = 0; i < 4; ++i) {
            a = moveStep(a, command, params.step, indexed, params);
            b = moveStep(b, command, params.step, scanned, params);
            if (!stateIsFinite(a)) return false;
            const double* x = &a.x;
            const double* y = &b.x;
            for (int k = 0; k < 7; ++k)
                if (!sameBits(x[k], y[k])) return false;
            if (a.triangle != b.triangle) return false;
        }
    }
    return true;
}

}  // namespace vobu::fuzz
