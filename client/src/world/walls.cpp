#include "world/walls.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include "world/nav_grid.h"
#include "world/navigation.h"
#include "world/scene.h"
#include "world/surface_walk.h"

namespace vobu {
namespace {

struct Point3 {
    double x, y, z;
};

Point3 cornerOf(const WalkTriangle& t, int32_t i) {
    if (i == 0) {
        return {t.x0, t.y0, t.z0};
    }
    if (i == 1) {
        return {t.x1, t.y1, t.z1};
    }
    return {t.x2, t.y2, t.z2};
}

struct GroundBox {
    double minX, maxX, minY, maxY;
};

GroundBox groundBoxOf(const WalkTriangle& t) {
    return {std::min({t.x0, t.x1, t.x2}), std::max({t.x0, t.x1, t.x2}), std::min({t.y0, t.y1, t.y2}),
            std::max({t.y0, t.y1, t.y2})};
}

[[noreturn]] void overBudget() { throw std::runtime_error("ERR_WALKMESH_BUDGET"); }

void addSplit(std::vector<double>& splits, double s) {
    if (s > 1e-6 && s < 0.999999) {
        splits.push_back(s);
    }
}

class WallExtraction {
public:
    explicit WallExtraction(WalkMesh& walkMesh) : walkMesh_(walkMesh), mesh_(walkMesh.navigation.get()) {}

    void run() {
        const int32_t count = std::min<int32_t>(mesh_->triangleCount, static_cast<int32_t>(walkMesh_.triangles.size()));
        boxes_.reserve(static_cast<size_t>(count));
        for (int32_t t = 0; t < count; ++t) {
            boxes_.push_back(groundBoxOf(walkMesh_.triangles[static_cast<size_t>(t)]));
        }
        for (int32_t t = 0; t < count; ++t) {
            if (!rpg::isWalkableTriangle(mesh_, t)) {
                continue;
            }
            for (int32_t k = 0; k < 3; ++k) {
                const int32_t neighbour = mesh_->neighbours[3 * t + k];
                if (neighbour < 0 || !rpg::isWalkableTriangle(mesh_, neighbour)) {
                    extractEdge(t, k);
                }
            }
        }
    }

private:
    void addWork(uint64_t work) {
        work_ += work;
        if (work_ > kMaxWallSearchWork) {
            overBudget();
        }
    }

    void extractEdge(int32_t t, int32_t k) {
        const WalkTriangle& tri = walkMesh_.triangles[static_cast<size_t>(t)];
        const Point3 a = cornerOf(tri, (k + 1) % 3);
        const Point3 b = cornerOf(tri, (k + 2) % 3);
        const double dx = b.x - a.x;
        const double dy = b.y - a.y;
        const double length = std::hypot(dx, dy);
        if (length < 1e-6) {
            return;
        }
        collectSplits(t, a, b, length);
        std::sort(splits_.begin(), splits_.end());
        kept_.clear();
        for (double s : splits_) {
            if (kept_.empty() || !(std::fabs(s - kept_.back()) <= 1e-6)) {
                kept_.push_back(s);
            }
        }
        for (size_t i = 0; i + 1 < kept_.size(); ++i) {
            addWallIfBlocked(t, k, a, b, kept_[i], kept_[i + 1]);
        }
    }

    void collectSplits(int32_t t, const Point3& a, const Point3& b, double length) {
        splits_.assign({0.0, 1.0});
        const double dx = b.x - a.x;
        const double dy = b.y - a.y;
        const double minX = std::min(a.x, b.x) - 1e-6;
        const double maxX = std::max(a.x, b.x) + 1e-6;
        const double minY = std::min(a.y, b.y) - 1e-6;
        const double maxY = std::max(a.y, b.y) + 1e-6;
        // The grid is in the navigation frame, whose z is the world's -y.
        if (!candidates_.collect(mesh_, minX, maxX, -maxY, -minY, kMaxWallSearchWork - work_)) {
            overBudget();
        }
        addWork(candidates_.work());
        for (size_t c = 0; c < candidates_.size(); ++c) {
            const int32_t u = candidates_[c];
            if (u == t || u >= static_cast<int32_t>(boxes_.size()) || !rpg::isWalkableTriangle(mesh_, u)) {
                continue;
            }
            const GroundBox& box = boxes_[static_cast<size_t>(u)];
            if (!(box.maxX >= minX && box.minX <= maxX && box.maxY >= minY && box.minY <= maxY)) {
                continue;
            }
            if (++candidateCount_ > kMaxWallCandidates) {
                overBudget();
            }
            addCandidateSplits(u, a, b, dx, dy, length);
        }
    }

    void addCandidateSplits(int32_t u, const Point3& a, const Point3& b, double dx, double dy, double length) {
        const WalkTriangle& other = walkMesh_.triangles[static_cast<size_t>(u)];
        for (int32_t i = 0; i < 3; ++i) {
            const Point3 p = cornerOf(other, i);
            const Point3 q = cornerOf(other, (i + 1) % 3);
            const double wx = p.x - a.x;
            const double wy = p.y - a.y;
            const double ex = q.x - p.x;
            const double ey = q.y - p.y;
            const double denom = dx * ey - ex * dy;
            if (std::fabs(denom) <= 1e-9) {
                if (std::fabs(wx * dy - dx * wy) < 1e-6 * length) {
                    addSplit(splits_, (wx * dx + wy * dy) / (length * length));
                }
            } else {
                const double s = (ey * wx - ex * wy) / denom;
                const double r = (wx * dy - dx * wy) / denom;
                if (r >= -1e-6 && r <= 1.000001) {
                    addSplit(splits_, s);
                }
            }
        }
        // Where the other triangle's plane passes through the edge, what lies
        // beyond may switch between higher and lower.
        const float* plane = mesh_->planes + 3 * u;
        const double heightA = plane[0] * a.x - plane[1] * a.y + plane[2] - a.z;
        const double heightB = plane[0] * b.x - plane[1] * b.y + plane[2] - b.z;
        if (heightA * heightB < 0) {
            addSplit(splits_, heightA / (heightA - heightB));
        }
    }

    void addWallIfBlocked(int32_t t, int32_t k, const Point3& a, const Point3& b, double s0, double s1) {
        const double mid = (s0 + s1) / 2;
        const double mx = a.x + mid * (b.x - a.x);
        const double my = a.y + mid * (b.y - a.y);
        const double mz = a.z + mid * (b.z - a.z);
        float foundHeight = 0;
        const int32_t beyond = rpg::findCrossTriangle(mesh_, t, k, static_cast<float>(mx), static_cast<float>(-my),
                                                      static_cast<float>(mz), &foundHeight, crossCandidates_, &work_);
        if (work_ > kMaxWallSearchWork) {
            overBudget();
        }
        if (beyond >= 0 && !(foundHeight > mz + 1e-4)) {
            return;  // level or lower beyond: the player may walk or fall over
        }
        if (walkMesh_.walls.size() >= kMaxWalls) {
            overBudget();
        }
        WallSegment wall;
        wall.x0 = a.x + s0 * (b.x - a.x);
        wall.y0 = a.y + s0 * (b.y - a.y);
        wall.x1 = a.x + s1 * (b.x - a.x);
        wall.y1 = a.y + s1 * (b.y - a.y);
        wall.floor0 = a.z + s0 * (b.z - a.z);
        wall.floor1 = a.z + s1 * (b.z - a.z);
        if (beyond < 0) {
            wall.top0 = std::numeric_limits<double>::infinity();
            wall.top1 = std::numeric_limits<double>::infinity();
        } else {
            float top = 0;
            rpg::walkMeshPlaneHeight(mesh_, beyond, static_cast<float>(wall.x0), static_cast<float>(-wall.y0), &top);
            wall.top0 = top;
            rpg::walkMeshPlaneHeight(mesh_, beyond, static_cast<float>(wall.x1), static_cast<float>(-wall.y1), &top);
            wall.top1 = top;
        }
        const WalkTriangle& tri = walkMesh_.triangles[static_cast<size_t>(t)];
        const double cx = (tri.x0 + tri.x1 + tri.x2) / 3;
        const double cy = (tri.y0 + tri.y1 + tri.y2) / 3;
        const double cross = (b.x - a.x) * (cy - a.y) - (b.y - a.y) * (cx - a.x);
        wall.side = cross >= 0 ? 1 : -1;
        walkMesh_.walls.push_back(wall);
    }

    WalkMesh& walkMesh_;
    const rpg::WalkMesh* mesh_;
    std::vector<GroundBox> boxes_;
    std::vector<double> splits_;
    std::vector<double> kept_;
    rpg::TriangleCandidates candidates_;
    rpg::TriangleCandidates crossCandidates_;
    uint64_t candidateCount_ = 0;
    uint64_t work_ = 0;
};

}  // namespace

void extractBoundaryWalls(WalkMesh& walkMesh) {
    walkMesh.walls.clear();
    const rpg::WalkMesh* mesh = walkMesh.navigation.get();
    if (!mesh || mesh->triangleCount <= 0 || !mesh->flags || !mesh->neighbours || !mesh->planes) {
        return;
    }
    try {
        WallExtraction(walkMesh).run();
    } catch (...) {
        walkMesh.walls.clear();
        throw;
    }
}

}  // namespace vobu
