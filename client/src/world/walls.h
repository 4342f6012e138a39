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
// extraction. A real map needs a few million at most; a crafted one that
// packs every split point under thousands of overlapping triangles fails
// here instead of stalling the client for minutes.
constexpr uint64_t kMaxWallSearchWork = 268435456;

// Empties walkMesh.walls and refills it from the triangles and the installed
// navigation mesh. Throws std::runtime_error("ERR_WALKMESH_BUDGET") when one
// of the budgets above is exceeded (the walls are then left empty).
void extractBoundaryWalls(WalkMesh& walkMesh);

} // namespace vobu
