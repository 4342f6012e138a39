#include "world/player_picking.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "world/renderer.h"

namespace vobu {

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr size_t kMaxClipped = 16;  // a triangle gains at most one vertex per plane

using Polygon = std::array<Vertex, kMaxClipped>;

// Signed distance of a clip-space vertex to one of the seven planes.
float planeDistance(const Vertex& v, int plane) {
    switch (plane) {
        case 0:
            return v.w - 0.00001f;
        case 1:
            return v.w + v.x;
        case 2:
            return v.w - v.x;
        case 3:
            return v.w + v.y;
        case 4:
            return v.w - v.y;
        case 5:
            return v.w + v.z;
        default:
            return v.w - v.z;
    }
}

// Sutherland-Hodgman against one plane, from `in` (n vertices) into `out`.
size_t clipAgainst(const Polygon& in, size_t n, int plane, Polygon& out) {
    size_t m = 0;
    for (size_t i = 0; i < n; ++i) {
        const Vertex& p = in[i];
        const Vertex& q = in[(i + 1) % n];
        const float d0 = planeDistance(p, plane);
        const float d1 = planeDistance(q, plane);
        if (d0 >= 0 && m < kMaxClipped) out[m++] = p;
        if ((d0 >= 0) != (d1 >= 0) && m < kMaxClipped) {
            const float t = d0 / (d0 - d1);
            Vertex x;
            x.x = p.x + (q.x - p.x) * t;
            x.y = p.y + (q.y - p.y) * t;
            x.z = p.z + (q.z - p.z) * t;
            x.w = p.w + (q.w - p.w) * t;
            out[m++] = x;
        }
    }
    return m;
}

float cross2(float ux, float uy, float vx, float vy) { return ux * vy - uy * vx; }

// The nearest covering depth over the fan of a convex polygon.
template <typename Polygon>
float fanDepth(const Polygon& polygon, size_t n, float px, float py, bool cullBack) {
    float best = kInfinity;
    const Vertex& f = polygon[0];
    const float ax = f.x / f.w, ay = f.y / f.w, az = f.z / f.w;
    for (size_t k = 1; k + 1 < n; ++k) {
        const Vertex& vb = polygon[k];
        const Vertex& vc = polygon[k + 1];
        const float bx = vb.x / vb.w, by = vb.y / vb.w;
        const float cx = vc.x / vc.w, cy = vc.y / vc.w;
        const float s = cross2(bx - ax, by - ay, cx - ax, cy - ay);
        if (!(std::fabs(s) >= 1e-10f)) continue;
        if (cullBack && !(s > 0)) continue;
        const float wa = cross2(bx - px, by - py, cx - px, cy - py) / s;
        const float wb = cross2(cx - px, cy - py, ax - px, ay - py) / s;
        const float wc = 1 - wa - wb;
        if (wa < -0.000001f || wb < -0.000001f || wc < -0.000001f) continue;
        const float depth = wa * az + wb * (vb.z / vb.w) + wc * (vc.z / vc.w);
        if (depth < best) best = depth;
    }
    return best;
}

// True when the point lies outside the screen box of a triangle wholly in
// front of the eye; clipping only cuts such a triangle down, so it cannot
// cover the point either. The margin keeps points on an edge.
bool outsideScreenBox(const Vertex& a, const Vertex& b, const Vertex& c, float px, float py) {
    const float ax = a.x / a.w, ay = a.y / a.w;
    const float bx = b.x / b.w, by = b.y / b.w;
    const float cx = c.x / c.w, cy = c.y / c.w;
    const float margin = 1e-4f;
    return px < std::min({ax, bx, cx}) - margin || px > std::max({ax, bx, cx}) + margin ||
           py < std::min({ay, by, cy}) - margin || py > std::max({ay, by, cy}) + margin;
}

// True when all three vertices lie in front of the eye and on the same far
// side of one edge of the point's screen box: compared in clip space
// (x < px w), so most triangles of a frame are turned away without a divide.
bool clearlyBeside(const Vertex& a, const Vertex& b, const Vertex& c, float px, float py) {
    constexpr float kEye = 0.00001f;
    if (!(a.w >= kEye && b.w >= kEye && c.w >= kEye)) return false;
    const float margin = 1e-4f;
    const float left = px - margin, right = px + margin, bottom = py - margin, top = py + margin;
    return (a.x < left * a.w && b.x < left * b.w && c.x < left * c.w) ||
           (a.x > right * a.w && b.x > right * b.w && c.x > right * c.w) ||
           (a.y < bottom * a.w && b.y < bottom * b.w && c.y < bottom * c.w) ||
           (a.y > top * a.w && b.y > top * b.w && c.y > top * c.w);
}

}  // namespace

float clipTriangle(const Vertex& a, const Vertex& b, const Vertex& c, float px, float py, bool cullBack) {
    if (clearlyBeside(a, b, c, px, py)) return kInfinity;
    const std::array<Vertex, 3> triangle{a, b, c};
    bool allInside = true;
    bool anyBehind = false;
    for (int plane = 0; plane < 7; ++plane) {
        int outside = 0;
        for (const Vertex& v : triangle) outside += planeDistance(v, plane) < 0 ? 1 : 0;
        if (outside == 3) return kInfinity;  // wholly beyond one plane: nothing remains
        if (outside > 0) {
            allInside = false;
            if (plane == 0) anyBehind = true;
        }
    }
    if (!anyBehind && outsideScreenBox(a, b, c, px, py)) return kInfinity;
    if (allInside) return fanDepth(triangle, 3, px, py, cullBack);

    Polygon polygon{a, b, c};
    size_t n = 3;
    Polygon scratch;
    for (int plane = 0; plane < 7 && n >= 3; ++plane) {
        bool inside = true;
        for (size_t i = 0; i < n && inside; ++i) inside = planeDistance(polygon[i], plane) >= 0;
        if (inside) continue;
        n = clipAgainst(polygon, n, plane, scratch);
        polygon = scratch;
    }
    if (n < 3) return kInfinity;
    return fanDepth(polygon, n, px, py, cullBack);
}

float nearestCoverDepth(const std::vector<Vertex>& triangles, float px, float py, bool cullBack) {
    float best = kInfinity;
    for (size_t i = 0; i + 2 < triangles.size(); i += 3) {
        const float d = clipTriangle(triangles[i], triangles[i + 1], triangles[i + 2], px, py, cullBack);
        if (d < best) best = d;
    }
    return best;
}

// The last frame's picture, nearest body first; the map and the fading
// bodies hide what lies behind them. A frame of size 0 is never stored, so
// a pick after one still answers from the last picture drawn.
int Renderer::pick(int x, int y) const {
    if (frameWidth_ < 1 || frameHeight_ < 1) return -1;
    const float px = 2.0f * float(x) / float(frameWidth_) - 1.0f;
    const float py = 1.0f - 2.0f * float(y) / float(frameHeight_);
    float nearest = nearestCoverDepth(occluders_, px, py, false);
    int result = -1;
    for (int id : drawnIds_) {
        auto it = visuals_.find(id);
        if (it == visuals_.end()) continue;
        const PlayerVisual& visual = it->second;
        const float m = nearestCoverDepth(visual.clipMesh, px, py, visual.spawnTimer == 0);
        if (std::isfinite(m) && m <= nearest) {
            nearest = m;
            result = id;
        }
    }
    return result;
}

}  // namespace vobu
