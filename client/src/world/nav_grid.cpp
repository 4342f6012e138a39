#include "world/nav_grid.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace rpg {
namespace {

constexpr int32_t kMaxGridSide = 512;

int32_t cellOf(double value, double minimum, double inverseCell, int32_t cells) {
    // Monotone in value, so a point inside a widened box always maps to a
    // cell between the cells of the box's corners.
    const double t = (value - minimum) * inverseCell;
    if (!(t >= 0)) {
        return 0;
    }
    if (t >= cells) {
        return cells - 1;
    }
    return static_cast<int32_t>(t);
}

struct CellRange {
    int32_t column0, column1, row0, row1;
};

CellRange cellsOfTriangle(const WalkMesh* mesh, int32_t t) {
    const float* box = mesh->bounds + 4 * t;
    const double margin = gridMargin(box);
    return {cellOf(box[0] - margin, mesh->gridMinX, mesh->gridInverseCellX, mesh->gridColumns),
            cellOf(box[1] + margin, mesh->gridMinX, mesh->gridInverseCellX, mesh->gridColumns),
            cellOf(box[2] - margin, mesh->gridMinZ, mesh->gridInverseCellZ, mesh->gridRows),
            cellOf(box[3] + margin, mesh->gridMinZ, mesh->gridInverseCellZ, mesh->gridRows)};
}

uint64_t entryTotal(const WalkMesh* mesh) {
    uint64_t total = 0;
    for (int32_t t = 0; t < mesh->triangleCount; ++t) {
        const CellRange r = cellsOfTriangle(mesh, t);
        total += static_cast<uint64_t>(r.column1 - r.column0 + 1) * static_cast<uint64_t>(r.row1 - r.row0 + 1);
    }
    return total;
}

void setGridSide(WalkMesh* mesh, int32_t side, double minX, double maxX, double minZ, double maxZ) {
    mesh->gridMinX = minX;
    mesh->gridMinZ = minZ;
    mesh->gridColumns = side;
    mesh->gridRows = side;
    mesh->gridInverseCellX = side / std::max(maxX - minX, 1e-6);
    mesh->gridInverseCellZ = side / std::max(maxZ - minZ, 1e-6);
}

}  // namespace

double gridMargin(const float* bounds) {
    const double extent =
        std::max(static_cast<double>(bounds[1]) - bounds[0], static_cast<double>(bounds[3]) - bounds[2]);
    return 1e-3 * extent + 4e-3;
}

void freeTriangleGrid(WalkMesh* mesh) {
    std::free(mesh->gridOffsets);
    std::free(mesh->gridItems);
    mesh->gridOffsets = nullptr;
    mesh->gridItems = nullptr;
    mesh->gridColumns = 0;
    mesh->gridRows = 0;
}

bool buildTriangleGrid(WalkMesh* mesh) {
    freeTriangleGrid(mesh);
    const int32_t count = mesh->triangleCount;
    if (count <= 0 || !mesh->bounds) {
        return true;
    }
    double minX = INFINITY, maxX = -INFINITY, minZ = INFINITY, maxZ = -INFINITY;
    for (int32_t t = 0; t < count; ++t) {
        const float* box = mesh->bounds + 4 * t;
        const double margin = gridMargin(box);
        minX = std::min(minX, box[0] - margin);
        maxX = std::max(maxX, box[1] + margin);
        minZ = std::min(minZ, box[2] - margin);
        maxZ = std::max(maxZ, box[3] + margin);
    }
    if (!std::isfinite(minX) || !std::isfinite(maxX) || !std::isfinite(minZ) || !std::isfinite(maxZ)) {
        return true;  // no usable grid: searches scan everything
    }

    // Counted in 64 bits before anything is allocated.
    const uint64_t budget = 8 * static_cast<uint64_t>(count) + 4096;
    int32_t side = std::clamp(static_cast<int32_t>(std::ceil(std::sqrt(static_cast<double>(count)))), 1, kMaxGridSide);
    setGridSide(mesh, side, minX, maxX, minZ, maxZ);
    uint64_t total = entryTotal(mesh);
    while (total > budget && side > 1) {
        side /= 2;
        setGridSide(mesh, side, minX, maxX, minZ, maxZ);
        total = entryTotal(mesh);
    }

    const size_t cells = static_cast<size_t>(side) * static_cast<size_t>(side);
    mesh->gridOffsets = static_cast<int32_t*>(std::calloc(cells + 1, sizeof(int32_t)));
    mesh->gridItems = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * (total == 0 ? 1 : total)));
    if (!mesh->gridOffsets || !mesh->gridItems) {
        freeTriangleGrid(mesh);
        return false;
    }
    for (int32_t t = 0; t < count; ++t) {
        const CellRange r = cellsOfTriangle(mesh, t);
        for (int32_t row = r.row0; row <= r.row1; ++row) {
            for (int32_t column = r.column0; column <= r.column1; ++column) {
                ++mesh->gridOffsets[static_cast<size_t>(row) * side + column + 1];
            }
        }
    }
    for (size_t c = 0; c < cells; ++c) {
        mesh->gridOffsets[c + 1] += mesh->gridOffsets[c];
    }
    std::vector<int32_t> fill(mesh->gridOffsets, mesh->gridOffsets + cells);
    for (int32_t t = 0; t < count; ++t) {
        const CellRange r = cellsOfTriangle(mesh, t);
        for (int32_t row = r.row0; row <= r.row1; ++row) {
            for (int32_t column = r.column0; column <= r.column1; ++column) {
                mesh->gridItems[fill[static_cast<size_t>(row) * side + column]++] = t;
            }
        }
    }
    return true;
}

bool TriangleCandidates::collect(const WalkMesh* mesh, double minX, double maxX, double minZ, double maxZ,
                                 uint64_t workLimit) {
    all_ = true;
    allCount_ = mesh ? mesh->triangleCount : 0;
    count_ = 0;
    work_ = 0;
    if (!mesh || !mesh->gridOffsets || !mesh->gridItems || mesh->gridColumns <= 0) {
        work_ = static_cast<uint64_t>(allCount_);
        if (work_ > workLimit) {
            all_ = false;
            return false;
        }
        return true;
    }
    const int32_t c0 = cellOf(minX, mesh->gridMinX, mesh->gridInverseCellX, mesh->gridColumns);
    const int32_t c1 = cellOf(maxX, mesh->gridMinX, mesh->gridInverseCellX, mesh->gridColumns);
    const int32_t r0 = cellOf(minZ, mesh->gridMinZ, mesh->gridInverseCellZ, mesh->gridRows);
    const int32_t r1 = cellOf(maxZ, mesh->gridMinZ, mesh->gridInverseCellZ, mesh->gridRows);
    all_ = false;
    if (c0 == c1 && r0 == r1) {
        const size_t cell = static_cast<size_t>(r0) * mesh->gridColumns + c0;
        items_ = mesh->gridItems + mesh->gridOffsets[cell];
        count_ = static_cast<size_t>(mesh->gridOffsets[cell + 1] - mesh->gridOffsets[cell]);
        work_ = 1 + count_;
        if (work_ > workLimit) {
            count_ = 0;
            return false;
        }
        return true;
    }
    // The cost is known from the offsets before anything is copied.
    for (int32_t row = r0; row <= r1; ++row) {
        const size_t first = static_cast<size_t>(row) * mesh->gridColumns;
        work_ += static_cast<uint64_t>(c1 - c0 + 1) +
                 static_cast<uint64_t>(mesh->gridOffsets[first + c1 + 1] - mesh->gridOffsets[first + c0]);
    }
    if (work_ > workLimit) {
        return false;
    }
    merged_.clear();
    for (int32_t row = r0; row <= r1; ++row) {
        const size_t first = static_cast<size_t>(row) * mesh->gridColumns;
        merged_.insert(merged_.end(), mesh->gridItems + mesh->gridOffsets[first + c0],
                       mesh->gridItems + mesh->gridOffsets[first + c1 + 1]);
    }
    std::sort(merged_.begin(), merged_.end());
    merged_.erase(std::unique(merged_.begin(), merged_.end()), merged_.end());
    items_ = merged_.data();
    count_ = merged_.size();
    return true;
}

}  // namespace rpg
