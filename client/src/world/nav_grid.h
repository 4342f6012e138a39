#pragma once
// Searches through the navigation mesh's triangle grid. A search gives the
// triangles whose widened ground bounds may overlap a box, in ascending
// index order and each once, so a loop over them that applies the exact
// tests of a full scan finds exactly what the full scan finds.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "world/navigation.h"

namespace rpg {

// How far the grid widens each triangle's bounds: wider than every point
// tolerance of the searches (barycentric slack, float narrowing of world
// coordinates up to 4096, the bounds slack of the navigation queries).
double gridMargin(const float* bounds);

// Builds the grid from the triangles' bounds; false when memory ran out.
// The cell count shrinks until the total of cell entries stays within a
// budget that grows linearly with the triangle count, so a hostile mesh of
// huge overlapping triangles cannot make the grid large.
bool buildTriangleGrid(WalkMesh* mesh);
void freeTriangleGrid(WalkMesh* mesh);

class TriangleCandidates {
public:
    // The box is in the navigation ground frame (x, z). When the search
    // would look at more than `workLimit` cells and entries it collects
    // nothing (and allocates nothing) and returns false; work() then tells
    // what it would have cost.
    bool collect(const WalkMesh* mesh, double minX, double maxX, double minZ, double maxZ,
                 uint64_t workLimit = UINT64_MAX);
    void collectPoint(const WalkMesh* mesh, double x, double z) { collect(mesh, x, x, z, z); }

    size_t size() const { return all_ ? static_cast<size_t>(allCount_) : count_; }
    int32_t operator[](size_t i) const { return all_ ? static_cast<int32_t>(i) : items_[i]; }
    // Cells and entries looked at by the last collect: the search's cost.
    uint64_t work() const { return work_; }

private:
    bool all_ = true;
    int32_t allCount_ = 0;
    const int32_t* items_ = nullptr;
    size_t count_ = 0;
    uint64_t work_ = 0;
    std::vector<int32_t> merged_;
};

}  // namespace rpg
