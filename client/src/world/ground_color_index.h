#pragma once
// The render mesh's colour under a point, as colorAt gives it, found through
// a grid over the ground plane instead of a walk over every map triangle:
// the renderer asks it once per player and frame.

#include <cstdint>
#include <vector>

#include "ui/graphics.h"

namespace vobu {

struct Scene;

class GroundColorIndex {
public:
    // Brings the grid up to date with the Scene's render mesh (rebuilt only
    // when the world or its mesh revision changed).
    void update(const Scene& scene);
    // Exactly colorAt(scene, x, y, z, found) for the Scene last updated from.
    Color colorAt(const Scene& scene, float x, float y, float z, bool* found) const;

private:
    struct Candidate {
        uint32_t material;
        uint32_t index;  // of the triangle's first index
    };
    void build(const Scene& scene);
    void cellRange(float x0, float y0, float x1, float y1, int& c0, int& r0, int& c1, int& r1) const;

    uint64_t identity_ = 0;
    int32_t revision_ = 0;
    bool built_ = false;
    float minX_ = 0, minY_ = 0, cellSize_ = 1;
    int columns_ = 0, rows_ = 0;
    std::vector<uint32_t> cellStart_;  // per cell, into cellCandidates_; one more at the end
    std::vector<Candidate> cellCandidates_;
    std::vector<Candidate> wide_;  // triangles over too many cells, checked everywhere
};

}  // namespace vobu
