#include "world/ground_color_index.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "world/map_render_vertex.h"
#include "world/scene.h"

namespace vobu {

namespace {

constexpr size_t kFloatsPerVertex = kRenderVertexFloats;
constexpr int kMaxCellsPerSide = 256;
constexpr int kMaxCellsPerTriangle = 64;

// The three corners of a triangle, or false when an index is out of range.
bool corners(const RenderMaterial& m, uint32_t at, const float*& p0, const float*& p1, const float*& p2) {
    const size_t count = m.vertices.size() / kFloatsPerVertex;
    const uint32_t i0 = m.indices[at], i1 = m.indices[at + 1], i2 = m.indices[at + 2];
    if (i0 >= count || i1 >= count || i2 >= count) return false;
    p0 = m.vertices.data() + i0 * kFloatsPerVertex;
    p1 = m.vertices.data() + i1 * kFloatsPerVertex;
    p2 = m.vertices.data() + i2 * kFloatsPerVertex;
    return true;
}

bool before(uint32_t m0, uint32_t i0, uint32_t m1, uint32_t i1) { return m0 < m1 || (m0 == m1 && i0 < i1); }

}  // namespace

void GroundColorIndex::update(const Scene& scene) {
    if (built_ && identity_ == scene.identity && revision_ == scene.meshRevision) return;
    build(scene);
    identity_ = scene.identity;
    revision_ = scene.meshRevision;
    built_ = true;
}

void GroundColorIndex::cellRange(float x0, float y0, float x1, float y1, int& c0, int& r0, int& c1, int& r1) const {
    c0 = std::clamp(int(std::floor((x0 - minX_) / cellSize_)), 0, columns_ - 1);
    c1 = std::clamp(int(std::floor((x1 - minX_) / cellSize_)), 0, columns_ - 1);
    r0 = std::clamp(int(std::floor((y0 - minY_) / cellSize_)), 0, rows_ - 1);
    r1 = std::clamp(int(std::floor((y1 - minY_) / cellSize_)), 0, rows_ - 1);
}

void GroundColorIndex::build(const Scene& scene) {
    cellStart_.clear();
    cellCandidates_.clear();
    wide_.clear();
    columns_ = rows_ = 0;

    // Each triangle's ground box, a little wider than the triangle: points
    // just outside its edges still count as inside it.
    struct Box {
        Candidate candidate;
        float x0, y0, x1, y1;
    };
    std::vector<Box> boxes;
    float minX = std::numeric_limits<float>::infinity(), minY = minX, maxX = -minX, maxY = -minX;
    for (uint32_t m = 0; m < scene.materials.size(); ++m) {
        const RenderMaterial& material = scene.materials[m];
        for (uint32_t i = 0; i + 2 < material.indices.size(); i += 3) {
            const float *p0, *p1, *p2;
            if (!corners(material, i, p0, p1, p2)) continue;
            float x0 = std::min({p0[0], p1[0], p2[0]}), x1 = std::max({p0[0], p1[0], p2[0]});
            float y0 = std::min({p0[1], p1[1], p2[1]}), y1 = std::max({p0[1], p1[1], p2[1]});
            const float margin = 1e-3f * std::max(x1 - x0, y1 - y0) + 1e-3f;
            x0 -= margin;
            y0 -= margin;
            x1 += margin;
            y1 += margin;
            boxes.push_back({{m, i}, x0, y0, x1, y1});
            minX = std::min(minX, x0);
            minY = std::min(minY, y0);
            maxX = std::max(maxX, x1);
            maxY = std::max(maxY, y1);
        }
    }
    if (boxes.empty()) return;
    const float extent = std::max(maxX - minX, maxY - minY);
    cellSize_ = std::max(extent / float(kMaxCellsPerSide), 0.25f);
    minX_ = minX;
    minY_ = minY;
    columns_ = std::clamp(int(std::ceil((maxX - minX) / cellSize_)), 1, kMaxCellsPerSide);
    rows_ = std::clamp(int(std::ceil((maxY - minY) / cellSize_)), 1, kMaxCellsPerSide);

    // Two passes: count per cell, then fill in triangle order.
    std::vector<uint32_t> counts(size_t(columns_) * rows_ + 1, 0);
    auto forCells = [&](const Box& b, auto&& visit) {
        int c0, r0, c1, r1;
        cellRange(b.x0, b.y0, b.x1, b.y1, c0, r0, c1, r1);
        if ((c1 - c0 + 1) * (r1 - r0 + 1) > kMaxCellsPerTriangle) return false;
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) visit(size_t(r) * columns_ + c);
        return true;
    };
    for (const Box& b : boxes) {
        if (!forCells(b, [&](size_t cell) { ++counts[cell]; })) wide_.push_back(b.candidate);
    }
    cellStart_.assign(counts.size(), 0);
    for (size_t i = 1; i < counts.size(); ++i) cellStart_[i] = cellStart_[i - 1] + counts[i - 1];
    cellCandidates_.resize(cellStart_.back());
    std::vector<uint32_t> fill(cellStart_.begin(), cellStart_.end() - 1);
    for (const Box& b : boxes) forCells(b, [&](size_t cell) { cellCandidates_[fill[cell]++] = b.candidate; });
}

Color GroundColorIndex::colorAt(const Scene& scene, float x, float y, float z, bool* found) const {
    Color result{scene.ambient.r, scene.ambient.g, scene.ambient.b};
    bool hit = false;
    float bestHeight = -std::numeric_limits<float>::infinity();
    const float reach = z + 0.05f;
    auto consider = [&](const Candidate& c) {
        const float *p0, *p1, *p2;
        if (!corners(scene.materials[c.material], c.index, p0, p1, p2)) return;
        // The colour query's own step, so the answers agree to the bit.
        float rgb[3];
        if (!takeGroundColor(p0, p1, p2, x, y, reach, bestHeight, rgb)) return;
        result.r = rgb[0];
        result.g = rgb[1];
        result.b = rgb[2];
        hit = true;
    };

    // The cell's triangles and the wide ones, merged in mesh order so that
    // equal heights resolve as the full walk resolves them.
    const Candidate* cell = nullptr;
    const Candidate* cellEnd = nullptr;
    if (columns_ > 0 && x >= minX_ && y >= minY_ && x <= minX_ + cellSize_ * columns_ &&
        y <= minY_ + cellSize_ * rows_) {
        int c0, r0, c1, r1;
        cellRange(x, y, x, y, c0, r0, c1, r1);
        const size_t index = size_t(r0) * columns_ + c0;
        cell = cellCandidates_.data() + cellStart_[index];
        cellEnd = cellCandidates_.data() + cellStart_[index + 1];
    }
    const Candidate* wide = wide_.data();
    const Candidate* wideEnd = wide_.data() + wide_.size();
    while (cell != cellEnd || wide != wideEnd) {
        const bool takeCell =
            wide == wideEnd || (cell != cellEnd && before(cell->material, cell->index, wide->material, wide->index));
        consider(takeCell ? *cell++ : *wide++);
    }
    if (found) *found = hit;
    return result;
}

}  // namespace vobu
