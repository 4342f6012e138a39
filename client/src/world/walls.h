#pragma once
// Boundary walls of the walkable floor, for the airborne movement: vertical
// bands standing on every open edge where the surface beyond rises or where
// nothing walkable lies beyond.

#include <cstddef>
#include <cstdint>

namespace vobu {

struct WalkMesh;

constexpr size_t kMaxWalls = 32768;
// Triangles whose bounds meet an open edge, over the whole extraction.
constexpr uint64_t kMaxWallCandidates = 8000000;
// Grid cells and triangle entries looked at by the searches of one
// extraction. The kit's 16,384-triangle grid needs about 20 thousand, an
// unwelded soup of as many triangles (every edge open) about 4 million; a
// crafted mesh that packs every split point under thousands of overlapping
// triangles would need tens of billions (minutes) and fails here instead,
// in a fraction of a second.
constexpr uint64_t kMaxWallSearchWork = 134217728;

// Empties walkMesh.walls and refills it from the triangles and the installed
// navigation mesh. Throws std::runtime_error("ERR_WALKMESH_BUDGET") when one
// of the budgets above is exceeded (the walls are then left empty).
void extractBoundaryWalls(WalkMesh& walkMesh);

}  // namespace vobu
