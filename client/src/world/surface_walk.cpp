#include "world/surface_walk.h"

#include <cfloat>
#include <cmath>

#include "world/nav_grid.h"

namespace rpg {
namespace {

constexpr float kInsideSlack = -1e-4f;

bool validTriangle(const WalkMesh* mesh, int32_t triangle) {
    return mesh && triangle >= 0 && triangle < mesh->triangleCount;
}

bool containsPoint(const WalkMesh* mesh, int32_t triangle, float x, float z) {
    const NavWeights w = walkMeshBarycentric(mesh, triangle, x, z);
    return w.w0 >= kInsideSlack && w.w1 >= kInsideSlack && w.w2 >= kInsideSlack;
}

float weightOf(const NavWeights& w, int32_t i) { return i == 0 ? w.w0 : (i == 1 ? w.w1 : w.w2); }

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

Vec3 add(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 scale(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// The walk along the mesh before any wall push.
struct WalkResult {
    Vec3 position;
    int32_t triangle = -1;
    bool moved = false;
};

// Moves to the end of the displacement inside the current triangle.
void finishInside(const WalkMesh* mesh, WalkResult& walk, Vec3 end, float targetHeight) {
    walk.position = end;
    float h = 0;
    walk.position.y = walkMeshPlaneHeight(mesh, walk.triangle, end.x, end.z, &h) ? h : targetHeight;
    walk.moved = true;
}

// The edge through which the walk leaves the triangle, with the fraction of
// the displacement at which it does; -1 when it does not leave.
int32_t exitEdge(const NavWeights& start, const NavWeights& end, float* fraction) {
    int32_t edge = -1;
    float best = 1.0f;
    for (int32_t i = 0; i < 3; ++i) {
        const float ws = weightOf(start, i);
        const float we = weightOf(end, i);
        if (we < kInsideSlack && std::fabs(ws - we) > 1e-6f) {
            const float s = ws / (ws - we);
            if (s < best) {
                best = s;
                edge = i;
            }
        }
    }
    *fraction = best;
    return edge;
}

void walkSurface(const WalkMesh* mesh, WalkResult& walk, Vec3 target, TriangleCandidates& candidates) {
    for (int iteration = 0; iteration < 8; ++iteration) {
        const Vec3 d = sub(target, walk.position);
        if (dot(d, d) < 1e-6f) {
            return;
        }
        const Vec3 end = add(walk.position, d);
        const NavWeights startWeights = walkMeshBarycentric(mesh, walk.triangle, walk.position.x, walk.position.z);
        const NavWeights endWeights = walkMeshBarycentric(mesh, walk.triangle, end.x, end.z);
        const bool endInside =
            endWeights.w0 >= kInsideSlack && endWeights.w1 >= kInsideSlack && endWeights.w2 >= kInsideSlack;
        float s = 1.0f;
        const int32_t edge = endInside ? -1 : exitEdge(startWeights, endWeights, &s);
        if (edge < 0) {
            finishInside(mesh, walk, end, target.y);
            return;
        }

        s = std::fmin(std::fmax(s, 0.0f), 1.0f);
        Vec3 crossing = add(walk.position, scale(d, s));
        float planeHeight = 0;
        if (walkMeshPlaneHeight(mesh, walk.triangle, crossing.x, crossing.z, &planeHeight)) {
            crossing.y = planeHeight;
        }

        float beyondHeight = 0;
        const int32_t beyond = findCrossTriangle(mesh, walk.triangle, edge, crossing.x, crossing.z, crossing.y,
                                                 &beyondHeight, candidates, nullptr);
        if (beyond >= 0 && beyondHeight <= crossing.y + kStepUpLimit) {
            walk.triangle = beyond;
            walk.position = {crossing.x, beyondHeight, crossing.z};
            walk.moved = true;
            continue;
        }

        // The edge blocks: slide along it with what is left of the displacement.
        const NavEdge e = walkMeshEdge(mesh, walk.triangle, edge);
        Vec3 u = {e.end.x - e.start.x, e.end.height - e.start.height, e.end.z - e.start.z};
        const float lengthSquared = dot(u, u);
        walk.position = crossing;
        walk.moved = true;
        if (lengthSquared <= 1e-6f) {
            return;
        }
        u = scale(u, 1.0f / std::sqrt(lengthSquared));
        const float slide = dot(d, u) * (1.0f - s);
        const float slidX = crossing.x + u.x * slide;
        const float slidZ = crossing.z + u.z * slide;
        if (!containsPoint(mesh, walk.triangle, slidX, slidZ)) {
            return;
        }
        target = {slidX, crossing.y + u.y * slide, slidZ};
    }
}

// Up to three passes over the current triangle's blocking edges; true when
// any pass moved the point.
bool pushOutOfBlockingEdges(const WalkMesh* mesh, int32_t triangle, float* position, float radius) {
    if (!mesh->edgeOffsets || !mesh->blockingEdges) {
        return false;
    }
    const int32_t first = mesh->edgeOffsets[triangle];
    const int32_t last = mesh->edgeOffsets[triangle + 1];
    bool pushedAny = false;
    for (int pass = 0; pass < 3; ++pass) {
        bool pushed = false;
        for (int32_t k = first; k < last; ++k) {
            if (pushOutOfEdge(mesh, mesh->blockingEdges[2 * k], mesh->blockingEdges[2 * k + 1], position, position[1],
                              radius)) {
                pushed = true;
            }
        }
        pushedAny = pushedAny || pushed;
        if (!pushed) {
            break;
        }
    }
    return pushedAny;
}

// After a push the point may have left its triangle: find where it stands.
void settleAfterPush(const WalkMesh* mesh, float* position, int32_t* triangle) {
    const float x = position[0];
    const float z = position[2];
    float h = 0;
    if (isWalkableTriangle(mesh, *triangle) && containsPoint(mesh, *triangle, x, z) &&
        walkMeshPlaneHeight(mesh, *triangle, x, z, &h)) {
        position[1] = h;
        return;
    }
    int32_t best = -1;
    float bestHeight = 0;
    float bestDiff = 3.0f;
    if (mesh->nearOffsets && mesh->nearTriangles) {
        for (int32_t k = mesh->nearOffsets[*triangle]; k < mesh->nearOffsets[*triangle + 1]; ++k) {
            const int32_t candidate = mesh->nearTriangles[k];
            if (!isWalkableTriangle(mesh, candidate) || !containsPoint(mesh, candidate, x, z) ||
                !walkMeshPlaneHeight(mesh, candidate, x, z, &h)) {
                continue;
            }
            const float diff = std::fabs(h - position[1]);
            if (diff < bestDiff) {
                best = candidate;
                bestDiff = diff;
                bestHeight = h;
            }
        }
    }
    if (best < 0) {
        best = findNavTriangle(mesh, x, z, position[1], 3.0f);
        if (best < 0 || !walkMeshPlaneHeight(mesh, best, x, z, &bestHeight)) {
            return;
        }
    }
    *triangle = best;
    position[1] = bestHeight;
}

}  // namespace

int32_t findCrossTriangle(const WalkMesh* mesh, int32_t triangle, int32_t edge, float x, float z, float height,
                          float* foundHeight, TriangleCandidates& candidates, uint64_t* work) {
    if (!validTriangle(mesh, triangle) || edge < 0 || edge > 2 || !mesh->flags || !mesh->bounds) {
        return -1;
    }
    const NavEdge e = walkMeshEdge(mesh, triangle, edge);
    const float dx = e.end.x - e.start.x;
    const float dz = e.end.z - e.start.z;
    const float length = std::sqrt(dx * dx + dz * dz);
    if (length < 1e-7f) {
        return -1;
    }
    float nx = -dz / length;
    float nz = dx / length;
    const NavTriangle t = walkMeshTriangle(mesh, triangle);
    const float cx = (t.p0.x + t.p1.x + t.p2.x) / 3.0f;
    const float cz = (t.p0.z + t.p1.z + t.p2.z) / 3.0f;
    if (nx * (cx - e.start.x) + nz * (cz - e.start.z) > 0) {
        nx = -nx;  // point away from the triangle's own side
        nz = -nz;
    }
    const float probeX = x + nx * 3e-4f;
    const float probeZ = z + nz * 3e-4f;

    int32_t best = -1;
    float bestDiff = FLT_MAX;
    float bestHeight = FLT_MAX;
    candidates.collectPoint(mesh, probeX, probeZ);
    if (work) {
        *work += candidates.work();
    }
    for (size_t k = 0; k < candidates.size(); ++k) {
        const int32_t u = candidates[k];
        if (u == triangle || !(mesh->flags[u] & kWalkableFlag)) {
            continue;
        }
        const float* box = mesh->bounds + 4 * u;
        const bool inBounds = probeX >= box[0] - 1e-5f && probeX <= box[1] + 1e-5f && probeZ >= box[2] - 1e-5f &&
                              probeZ <= box[3] + 1e-5f;
        if (!inBounds) {
            continue;
        }
        const NavWeights w = walkMeshBarycentric(mesh, u, probeX, probeZ);
        float h = 0;
        if (!(w.w0 >= -1e-5f && w.w1 >= -1e-5f && w.w2 >= -1e-5f) || !walkMeshPlaneHeight(mesh, u, x, z, &h)) {
            continue;
        }
        const float diff = std::fabs(h - height);
        if (diff < bestDiff - 1e-5f || (std::fabs(diff - bestDiff) <= 1e-5f && h < bestHeight)) {
            best = u;
            bestDiff = diff;
            bestHeight = h;
        }
    }
    if (best >= 0 && foundHeight) {
        *foundHeight = bestHeight;
    }
    return best;
}

int32_t findCrossTriangle(const WalkMesh* mesh, int32_t triangle, int32_t edge, float x, float z, float height,
                          float* foundHeight) {
    TriangleCandidates candidates;
    return findCrossTriangle(mesh, triangle, edge, x, z, height, foundHeight, candidates, nullptr);
}

bool pushOutOfEdge(const WalkMesh* mesh, int32_t triangle, int32_t edge, float* position, float height, float radius) {
    if (!validTriangle(mesh, triangle) || edge < 0 || edge > 2 || !position) {
        return false;
    }
    const NavEdge e = walkMeshEdge(mesh, triangle, edge);
    const float dx = e.end.x - e.start.x;
    const float dz = e.end.z - e.start.z;
    const float lengthSquared = dx * dx + dz * dz;
    if (lengthSquared < 1e-6f) {
        return false;
    }
    float along = ((position[0] - e.start.x) * dx + (position[2] - e.start.z) * dz) / lengthSquared;
    along = std::fmin(std::fmax(along, 0.0f), 1.0f);
    const float cx = e.start.x + along * dx;
    const float cz = e.start.z + along * dz;
    const float qx = position[0] - cx;
    const float qz = position[2] - cz;
    const float d2 = qx * qx + qz * qz;
    // A point (almost) on the edge line has no direction to be pushed in.
    if (!(d2 < radius * radius && d2 > 1e-8f)) {
        return false;
    }
    float closestHeight = height;
    walkMeshPlaneHeight(mesh, triangle, cx, cz, &closestHeight);
    float beyondHeight = 0;
    if (findCrossTriangle(mesh, triangle, edge, cx, cz, closestHeight, &beyondHeight) >= 0 &&
        beyondHeight <= closestHeight + kStepUpLimit) {
        return false;  // reachable beyond: the edge does not block here
    }
    const float length = std::sqrt(d2);
    const float push = radius - length;
    position[0] += qx / length * push;
    position[2] += qz / length * push;
    return true;
}

bool pushOutOfEdge(const WalkMesh* mesh, int32_t triangle, int32_t edge, float* position, float height) {
    return mesh && pushOutOfEdge(mesh, triangle, edge, position, height, mesh->radius);
}

bool moveAlongSurface(const WalkMesh* mesh, float* position, int32_t* triangle, float dx, float dy, float dz,
                      float radius) {
    if (!mesh || !position || !triangle || mesh->triangleCount <= 0 || !mesh->flags) {
        return false;
    }
    WalkResult walk;
    walk.position = {position[0], position[1], position[2]};
    walk.triangle = *triangle;
    if (!validTriangle(mesh, walk.triangle)) {
        walk.triangle = findNavTriangle(mesh, walk.position.x, walk.position.z, walk.position.y, 3.0f);
        if (walk.triangle < 0) {
            return false;
        }
        float h = 0;
        if (walkMeshPlaneHeight(mesh, walk.triangle, walk.position.x, walk.position.z, &h)) {
            walk.position.y = h;
        }
    }

    TriangleCandidates candidates;
    const Vec3 target = {walk.position.x + dx, walk.position.y + dy, walk.position.z + dz};
    walkSurface(mesh, walk, target, candidates);

    float result[3] = {walk.position.x, walk.position.y, walk.position.z};
    if (pushOutOfBlockingEdges(mesh, walk.triangle, result, radius)) {
        settleAfterPush(mesh, result, &walk.triangle);
    } else {
        float h = 0;
        if (isWalkableTriangle(mesh, walk.triangle) &&
            walkMeshPlaneHeight(mesh, walk.triangle, result[0], result[2], &h)) {
            result[1] = h;
        }
    }
    position[0] = result[0];
    position[1] = result[1];
    position[2] = result[2];
    *triangle = walk.triangle;
    return walk.moved;
}

bool moveAlongSurface(const WalkMesh* mesh, float* position, int32_t* triangle, float dx, float dy, float dz) {
    return mesh && moveAlongSurface(mesh, position, triangle, dx, dy, dz, mesh->radius);
}

}  // namespace rpg
