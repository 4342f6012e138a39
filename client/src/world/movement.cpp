#include "world/movement.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "world/nav_grid.h"
#include "world/navigation.h"
#include "world/scene.h"
#include "world/surface_walk.h"

namespace vobu {
namespace {

constexpr double kInsideSlack = -1e-4;

// The triangles worth testing for a ground box (world x, y): a grid search
// when the navigation mesh matches the triangles, else all of them.
void collectWorldCandidates(rpg::TriangleCandidates& candidates, const WalkMesh& walkMesh, double minX, double maxX,
                            double minY, double maxY) {
    const rpg::WalkMesh* mesh = walkMesh.navigation.get();
    if (mesh && mesh->triangleCount == static_cast<int32_t>(walkMesh.triangles.size())) {
        candidates.collect(mesh, minX, maxX, -maxY, -minY);
    } else {
        // Without a matching grid every triangle is a candidate.
        rpg::WalkMesh all;
        all.triangleCount = static_cast<int32_t>(walkMesh.triangles.size());
        candidates.collect(&all, 0, 0, 0, 0);
    }
}

// Plane data of a walk triangle in the ground plane; valid when det is at
// least 1e-8 (counter-clockwise seen from above).
struct GroundPlane {
    double det = 0;
    double slopeX = 0;
    double slopeY = 0;
};

double groundDet(const WalkTriangle& t) { return (t.x1 - t.x0) * (t.y2 - t.y0) - (t.y1 - t.y0) * (t.x2 - t.x0); }

GroundPlane groundPlaneOf(const WalkTriangle& t, double det) {
    GroundPlane p;
    p.det = det;
    p.slopeX = ((t.y2 - t.y0) * (t.z1 - t.z0) - (t.y1 - t.y0) * (t.z2 - t.z0)) / det;
    p.slopeY = ((t.x1 - t.x0) * (t.z2 - t.z0) - (t.x2 - t.x0) * (t.z1 - t.z0)) / det;
    return p;
}

struct GroundWeights {
    double w0 = 0;
    double w1 = 0;
    bool inside = false;
};

GroundWeights groundWeights(const WalkTriangle& t, double det, double x, double y) {
    GroundWeights w;
    w.w0 = ((x - t.x2) * (t.y1 - t.y2) + (y - t.y2) * (t.x2 - t.x1)) / det;
    w.w1 = ((y - t.y2) * (t.x0 - t.x2) + (t.y2 - t.y0) * (x - t.x2)) / det;
    w.inside = w.w0 >= kInsideSlack && w.w1 >= kInsideSlack && w.w0 + w.w1 <= 1.0001;
    return w;
}

double interpolatedHeight(const WalkTriangle& t, const GroundWeights& w) {
    return w.w0 * t.z0 + w.w1 * t.z1 + (1 - w.w0 - w.w1) * t.z2;
}

bool flaggedWalkable(const WalkMesh& walkMesh, int32_t t) {
    const rpg::WalkMesh* mesh = walkMesh.navigation.get();
    return !mesh || rpg::isWalkableTriangle(mesh, t);
}

void applyFriction(double& vx, double& vy, double dt, const MovementParams& params) {
    const double s = std::hypot(vx, vy);
    if (s > 0) {
        const double s2 = s - std::max(s, params.stopSpeed) * params.friction * dt;
        const double factor = std::max(s2, 0.0) / s;
        vx *= factor;
        vy *= factor;
    }
}

void accelerate(double& vx, double& vy, const MoveCommand& command, double dt, bool grounded,
                const MovementParams& params) {
    const double m = std::hypot(command.moveX, command.moveY);
    if (!(m > 1e-7)) {
        return;
    }
    const double wishSpeed = std::min(m, 1.0) * params.speed;
    const double ux = command.moveX / m;
    const double uy = command.moveY / m;
    const double add = wishSpeed - (vx * ux + vy * uy);
    const double limit = wishSpeed * (grounded ? params.acceleration : params.airAcceleration) * dt;
    const double gain = std::min(std::max(add, 0.0), limit);
    vx += ux * gain;
    vy += uy * gain;
}

void capSpeedAndTurn(MoveState& s, const MovementParams& params) {
    const double speed = std::hypot(s.vx, s.vy);
    if (speed > params.speed) {
        const double factor = params.speed / speed;
        s.vx *= factor;
        s.vy *= factor;
    }
    const double capped = std::hypot(s.vx, s.vy);
    if (capped < 0.005) {
        s.vx = 0;
        s.vy = 0;
    } else if (capped > 0.02) {
        s.heading = std::atan2(s.vx, -s.vy);
    }
}

MoveState stayInPlace(const MoveState& start, int32_t triangle) {
    MoveState s = start;
    s.x = static_cast<float>(start.x);
    s.y = static_cast<float>(start.y);
    s.z = static_cast<float>(start.z);
    s.vx = 0;
    s.vy = 0;
    s.triangle = triangle;
    return s;
}

MoveState walkOnGround(const MoveState& start, double dt, int32_t floorTriangle, const WalkMesh& walkMesh,
                       const MovementParams& params) {
    float position[3] = {static_cast<float>(start.x), static_cast<float>(start.z), static_cast<float>(-start.y)};
    int32_t triangle = floorTriangle;
    rpg::moveAlongSurface(walkMesh.navigation.get(), position, &triangle, static_cast<float>(start.vx * dt), 0.0f,
                          static_cast<float>(-start.vy * dt), static_cast<float>(params.radius));

    if (start.z - position[1] > kMaxStepDown) {
        // A drop: the walk is discarded and the whole step becomes a flight.
        MoveState flight = start;
        flight.triangle = floorTriangle;
        return moveAirborne(flight, dt, walkMesh, params);
    }

    double mx = static_cast<double>(position[0]) - start.x;
    double my = -static_cast<double>(position[2]) - start.y;
    const double dist = std::hypot(mx, my);
    const double expected = dt * std::hypot(start.vx, start.vy);
    const double progress = mx * start.vx + my * start.vy;

    MoveState s;
    if (dist > expected + 1e-6) {
        // The walk or the wall push carried the player further than its
        // velocity: keep only the velocity's share of the displacement.
        s = stayInPlace(start, triangle);
        if (expected >= 1e-8 && progress > 0) {
            mx *= expected / dist;
            my *= expected / dist;
            const FloorProbe probe =
                findWalkableTriangle(walkMesh, start.x + mx, start.y + my, start.z, kMaxStepDown, kMaxStepDown);
            if (probe.triangle >= 0) {
                s = start;
                s.x = static_cast<float>(start.x + mx);
                s.y = static_cast<float>(start.y + my);
                s.z = static_cast<float>(probe.height);
                s.triangle = probe.triangle;
            }
        }
    } else if (progress >= -1e-8) {
        s = start;
        s.x = position[0];
        s.y = -static_cast<double>(position[2]);
        s.z = position[1];
        s.triangle = triangle;
    } else {
        s = stayInPlace(start, triangle);
    }

    // An axis the walk could not follow loses the velocity it did not use.
    const double expectedX = s.vx * dt;
    const double expectedY = s.vy * dt;
    const double actualX = s.x - start.x;
    const double actualY = s.y - start.y;
    if (std::fabs(actualX) < std::fabs(expectedX) * 0.5) {
        s.vx = actualX / dt;
    }
    if (std::fabs(actualY) < std::fabs(expectedY) * 0.5) {
        s.vy = actualY / dt;
    }
    s.vz = 0;
    return s;
}

// Feet height and segment parameter of a sweep at a fraction of the sub-step.
struct SweepAt {
    const MoveState& state;
    double subStepTime;
    double gravity;
    const WallSegment& wall;
    double ex, ey, lengthSquared;

    double feet(double tau) const {
        const double time = subStepTime * tau;
        return state.z + subStepTime * state.vz * tau - gravity * (time * time) / 2;
    }
    double along(double tau) const {
        const double px = state.x + subStepTime * state.vx * tau - wall.x0;
        const double py = state.y + subStepTime * state.vy * tau - wall.y0;
        return (px * ex + py * ey) / lengthSquared;
    }
    double top(double sigma) const { return wall.top0 + std::clamp(sigma, 0.0, 1.0) * (wall.top1 - wall.top0); }
};

void weighWallContacts(WallHit& hit, const MoveState& s, double remaining, const WallSegment& wall,
                       const MovementParams& params) {
    const double r = params.radius;
    const double dx = remaining * s.vx;
    const double dy = remaining * s.vy;
    const bool overlapsX = std::min(s.x, s.x + dx) - r <= std::max(wall.x0, wall.x1) &&
                           std::max(s.x, s.x + dx) + r >= std::min(wall.x0, wall.x1);
    const bool overlapsY = std::min(s.y, s.y + dy) - r <= std::max(wall.y0, wall.y1) &&
                           std::max(s.y, s.y + dy) + r >= std::min(wall.y0, wall.y1);
    if (!overlapsX || !overlapsY) {
        return;
    }
    const double ex = wall.x1 - wall.x0;
    const double ey = wall.y1 - wall.y0;
    const double length = std::hypot(ex, ey);
    if (length < 1e-8) {
        return;
    }
    const double nx = -ey / length;
    const double ny = ex / length;
    const double dist = (s.x - wall.x0) * nx + (s.y - wall.y0) * ny;
    if (std::isfinite(wall.top0) && !(dist * wall.side >= -1e-6)) {
        return;  // a step-up wall seen from its higher side
    }

    const double sgn = dist >= 0 ? 1 : -1;
    const double ad = dx * nx + dy * ny;
    if (std::fabs(ad) > 1e-12) {
        const double t = std::fabs(dist) <= r ? 0 : (r * sgn - dist) / ad;
        const double sigma = ((s.x + dx * t - wall.x0) * ex + (s.y + dy * t - wall.y0) * ey) / (length * length);
        if (sigma >= 0 && sigma <= 1) {
            findWallHit(hit, t, nx * sgn, ny * sgn, s, remaining, wall, params);
        }
    }

    const double dd = dx * dx + dy * dy;
    if (dd >= 1e-14) {
        const double ends[2][2] = {{wall.x0, wall.y0}, {wall.x1, wall.y1}};
        for (const auto& end : ends) {
            const double ox = s.x - end[0];
            const double oy = s.y - end[1];
            const double b = 2 * (dx * ox + dy * oy);
            const double c = ox * ox + oy * oy - r * r;
            const double disc = b * b - 4 * dd * c;
            if (disc >= 0) {
                const double t = c <= 0 ? 0 : (-b - std::sqrt(disc)) / (2 * dd);
                const double hx = ox + dx * t;
                const double hy = oy + dy * t;
                const double h = std::hypot(hx, hy);
                if (h > 1e-8) {
                    findWallHit(hit, t, hx / h, hy / h, s, remaining, wall, params);
                }
            }
        }
    }
}

}  // namespace

FloorProbe findWalkableTriangle(const WalkMesh& walkMesh, double x, double y, double z, double below, double above) {
    FloorProbe probe;
    double bestDistance = std::numeric_limits<double>::infinity();
    rpg::TriangleCandidates candidates;
    collectWorldCandidates(candidates, walkMesh, x, x, y, y);
    for (size_t k = 0; k < candidates.size(); ++k) {
        const int32_t i = candidates[k];
        const WalkTriangle& t = walkMesh.triangles[static_cast<size_t>(i)];
        if (!flaggedWalkable(walkMesh, i)) {
            continue;
        }
        const double det = groundDet(t);
        if (!(det >= 1e-8)) {
            continue;
        }
        const GroundWeights w = groundWeights(t, det, x, y);
        if (!w.inside) {
            continue;
        }
        const double h = interpolatedHeight(t, w);
        if (!(h >= z - below && h <= z + above)) {
            continue;
        }
        const double distance = std::fabs(h - z);
        if (distance < bestDistance) {
            bestDistance = distance;
            const GroundPlane plane = groundPlaneOf(t, det);
            probe.triangle = i;
            probe.height = h;
            probe.slopeX = plane.slopeX;
            probe.slopeY = plane.slopeY;
        }
    }
    return probe;
}

bool fallStep(MoveState& s, const WalkMesh& walkMesh, double dt, double gravity) {
    double bestTime = dt + 1;
    int32_t landing = -1;
    double landingHeight = 0;
    double landingTime = 0;

    const double reach = dt + 1e-8;
    const double endX = s.x + s.vx * reach;
    const double endY = s.y + s.vy * reach;
    rpg::TriangleCandidates candidates;
    collectWorldCandidates(candidates, walkMesh, std::min(s.x, endX) - 1e-6, std::max(s.x, endX) + 1e-6,
                           std::min(s.y, endY) - 1e-6, std::max(s.y, endY) + 1e-6);
    for (size_t k = 0; k < candidates.size(); ++k) {
        const int32_t i = candidates[k];
        const WalkTriangle& t = walkMesh.triangles[static_cast<size_t>(i)];
        const double det = groundDet(t);
        if (!(det >= 1e-8)) {
            continue;
        }
        const GroundPlane plane = groundPlaneOf(t, det);
        if (1 / std::sqrt(plane.slopeX * plane.slopeX + 1 + plane.slopeY * plane.slopeY) < 0.35) {
            continue;  // too steep to stand on
        }
        const double c = t.z0 + plane.slopeX * (s.x - t.x0) + plane.slopeY * (s.y - t.y0);
        const double h = s.z - c;
        if (h < -1e-6) {
            continue;  // the feet are already under this plane
        }
        const double m = s.vz - plane.slopeX * s.vx - plane.slopeY * s.vy;
        if (dt > 0 && std::fabs(h) <= 1e-6 && std::fabs(m) <= 1e-8 &&
            groundWeights(t, det, s.x + s.vx * dt, s.y + s.vy * dt).inside) {
            landing = i;  // resting on it already
            landingHeight = c;
            landingTime = 0;
            break;
        }
        const double tau = (m + std::sqrt(2 * gravity * std::max(h, 0.0) + m * m)) / gravity;
        if (tau < 0 || tau > dt + 1e-8 || !(tau < bestTime) || m - gravity * tau >= -1e-8) {
            continue;
        }
        const GroundWeights w = groundWeights(t, det, s.x + s.vx * tau, s.y + s.vy * tau);
        if (!w.inside) {
            continue;
        }
        landing = i;
        landingHeight = interpolatedHeight(t, w);
        landingTime = std::max(tau, 0.0);
        bestTime = landingTime;
    }

    if (landing >= 0) {
        s.x += s.vx * landingTime;
        s.y += s.vy * landingTime;
        s.z = landingHeight;
        s.vz = 0;
        s.triangle = landing;
        return true;
    }
    s.z += dt * s.vz - gravity * dt * dt / 2;
    s.vz -= gravity * dt;
    s.x += s.vx * dt;
    s.y += s.vy * dt;
    return false;
}

void findWallHit(WallHit& hit, double t, double normalX, double normalY, const MoveState& s, double subStepTime,
                 const WallSegment& wall, const MovementParams& params) {
    if (t < 0 || t > 1 || !(t < hit.fraction)) {
        return;
    }
    const double ex = wall.x1 - wall.x0;
    const double ey = wall.y1 - wall.y0;
    const SweepAt sweep{s, subStepTime, params.gravity, wall, ex, ey, ex * ex + ey * ey};
    const bool finiteTop = std::isfinite(wall.top0);
    double time = t;
    double feet = sweep.feet(t);
    if (finiteTop && feet - sweep.top(sweep.along(t)) >= -1e-6) {
        if (sweep.feet(1) - sweep.top(sweep.along(1)) >= -1e-6) {
            return;  // the player passes over the wall
        }
        // The first time the feet are below the top.
        double low = t;
        double high = 1;
        for (int i = 0; i < 28; ++i) {
            const double mid = (low + high) / 2;
            if (sweep.feet(mid) < sweep.top(sweep.along(mid))) {
                high = mid;
            } else {
                low = mid;
            }
        }
        time = high;
        const double sigma = std::clamp(sweep.along(time), 0.0, 1.0);
        const double cx = s.x + subStepTime * s.vx * time - (wall.x0 + ex * sigma);
        const double cy = s.y + subStepTime * s.vy * time - (wall.y0 + ey * sigma);
        const double r = params.radius;
        if (cx * cx + cy * cy > r * r + 1e-8) {
            return;
        }
        feet = sweep.feet(time);
    }
    const double sigma = std::clamp(sweep.along(time), 0.0, 1.0);
    const double floor = wall.floor0 + sigma * (wall.floor1 - wall.floor0) + 1e-6;
    const double top = sweep.top(sigma);
    if (finiteTop && floor >= top) {
        return;  // a wall without height
    }
    if (finiteTop && top + 1e-6 < feet) {
        return;  // the feet are above it
    }
    if (floor >= params.height + feet) {
        return;  // it starts above the head
    }
    if (!(time < hit.fraction) || normalX * s.vx + normalY * s.vy >= -1e-8) {
        return;
    }
    hit.fraction = time;
    hit.normalX = normalX;
    hit.normalY = normalY;
}

MoveState moveAirborne(MoveState s, double dt, const WalkMesh& walkMesh, const MovementParams& params) {
    double remaining = dt;
    double vx = s.vx;
    double vy = s.vy;
    int subSteps = 0;
    bool finished = false;
    while (subSteps < 5 && remaining > 1e-8) {
        ++subSteps;
        s.vx = vx;
        s.vy = vy;
        if (walkMesh.walls.empty()) {
            fallStep(s, walkMesh, remaining, params.gravity);
            finished = true;
            break;
        }
        WallHit hit;
        for (const WallSegment& wall : walkMesh.walls) {
            weighWallContacts(hit, s, remaining, wall, params);
        }
        if (hit.fraction > 1) {
            fallStep(s, walkMesh, remaining, params.gravity);
            finished = true;
            break;
        }
        const double f2 = std::max(hit.fraction - 1e-6, 0.0);
        if (fallStep(s, walkMesh, remaining * f2, params.gravity)) {
            finished = true;
            break;
        }
        const double vn = std::min(vx * hit.normalX + vy * hit.normalY, 0.0);
        vx -= hit.normalX * vn;
        vy -= hit.normalY * vn;
        remaining *= 1 - f2;
    }
    if (!finished && remaining > 1e-8) {
        // Blocked at every sub-step: what is left is a straight drop.
        s.vx = 0;
        s.vy = 0;
        fallStep(s, walkMesh, remaining, params.gravity);
    }
    s.vx = vx;
    s.vy = vy;
    return s;
}

MoveState moveStep(MoveState state, const MoveCommand& command, double dt, const WalkMesh& walkMesh,
                   const MovementParams& params) {
    if (!walkMesh.navigation || !(dt > 0)) {
        return state;
    }
    // The collision radius travels as an argument (params.radius) rather
    // than being stored in the shared navigation mesh, so the mesh stays
    // const here and the results are the same.
    const FloorProbe probe = findWalkableTriangle(walkMesh, state.x, state.y, state.z, 0.002, 0.002);
    const bool grounded = std::fabs(state.vz) < 1e-6 && probe.triangle >= 0;

    if (grounded) {
        applyFriction(state.vx, state.vy, dt, params);
    }
    accelerate(state.vx, state.vy, command, dt, grounded, params);
    capSpeedAndTurn(state, params);

    if (grounded && !command.jump) {
        return walkOnGround(state, dt, probe.triangle, walkMesh, params);
    }
    if (grounded) {
        state.vz = params.jumpSpeed;
        state.triangle = probe.triangle;
    }
    return moveAirborne(state, dt, walkMesh, params);
}

}  // namespace vobu
