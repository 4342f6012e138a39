#pragma once
// Walking a grounded point across the navigation mesh (Y-up frame: a point
// is x, height, z). Crossings search the geometry rather than the neighbour
// links, so seams between unwelded triangles are crossed too.

#include <cstdint>

#include "world/navigation.h"

namespace rpg {

class TriangleCandidates;

// A triangle beyond an edge is reachable when it rises at most this much
// above the crossing point; lower triangles are always reachable.
constexpr float kStepUpLimit = 0.53125f;

// The walkable triangle just across edge `edge` of `triangle` at (x, z),
// nearest in height to `height` (ties within 1e-5 go to the lower one); -1
// when none. `foundHeight` (may be null) receives its plane height at (x, z).
int32_t findCrossTriangle(const WalkMesh* mesh, int32_t triangle, int32_t edge, float x, float z, float height,
                          float* foundHeight);
// The same search over a caller-owned candidate buffer; `work` (may be null)
// is increased by the grid cells and entries looked at.
int32_t findCrossTriangle(const WalkMesh* mesh, int32_t triangle, int32_t edge, float x, float z, float height,
                          float* foundHeight, TriangleCandidates& candidates, uint64_t* work);

// Pushes position (x, height, z) out of `radius` around a blocking edge;
// true when it moved. The height is never changed.
bool pushOutOfEdge(const WalkMesh* mesh, int32_t triangle, int32_t edge, float* position, float height, float radius);
bool pushOutOfEdge(const WalkMesh* mesh, int32_t triangle, int32_t edge, float* position, float height);

// Walks position (x, height, z) on `*triangle` by (dx, dy, dz), then pushes it
// out of nearby blocking edges and settles it on the right triangle and
// height. Both position and triangle are read and written; true when a
// displacement was applied. The radius overload leaves the mesh untouched,
// which is what lets the movement code hold the mesh const.
bool moveAlongSurface(const WalkMesh* mesh, float* position, int32_t* triangle, float dx, float dy, float dz,
                      float radius);
bool moveAlongSurface(const WalkMesh* mesh, float* position, int32_t* triangle, float dx, float dy, float dz);

}  // namespace rpg
