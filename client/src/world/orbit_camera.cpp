#include "world/orbit_camera.h"

#include <algorithm>
#include <cmath>

#include "world/scene.h"

namespace vobu {

namespace {

constexpr float kPivotHeight = 0.9f;
constexpr float kCotHalfFov = 1.7320509f;  // 60 degrees vertically
constexpr size_t kFloatsPerVertex = 11;

using Vec3 = std::array<float, 3>;

Vec3 sub(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
float dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Where along origin + t * dir the ray meets the triangle (both faces), or
// a negative value for no hit.
float rayHit(const Vec3& origin, const Vec3& dir, const Vec3& a, const Vec3& b, const Vec3& c) {
    const Vec3 e1 = sub(b, a), e2 = sub(c, a);
    const Vec3 pv = cross(dir, e2);
    const float det = dot(e1, pv);
    if (std::fabs(det) < 1e-8f) return -1;
    const Vec3 tv = sub(origin, a);
    const float u = dot(tv, pv) / det;
    if (u < 0 || u > 1) return -1;
    const Vec3 qv = cross(tv, e1);
    const float v = dot(dir, qv) / det;
    if (v < 0 || u + v > 1) return -1;
    return dot(e2, qv) / det;
}

bool isOpaque(const Scene& scene, uint32_t number) {
    return number >= scene.textures.size() || !scene.textures[number].hasTransparency;
}

}  // namespace

void OrbitCamera::rotate(float dx, float dy) {
    yaw += dx * 0.005f;
    pitch = std::clamp(pitch + dy * 0.005f, 0.0f, 1.5f);
}

void OrbitCamera::zoom(float steps) { distance = std::clamp(distance * std::exp(-0.12f * steps), 3.0f, 20.0f); }

void OrbitCamera::update(float x, float y, float z, float dt, const Scene* scene) {
    targetX = x;
    targetY = y;
    const float k = dt > 0 ? std::min(1.0f - std::exp(-dt / 0.08f), 1.0f) : 1.0f;
    // A height that is not finite would stay in the eased value for good.
    if (std::isfinite(targetZ)) {
        targetZ += k * (z - targetZ);
    } else {
        targetZ = z;
    }
    effectiveDistance = distance;
    if (scene != nullptr) pullIn(*scene);
}

// Not smoothed: recomputed from the wanted distance every update, so the
// camera springs back as soon as the way is clear.
void OrbitCamera::pullIn(const Scene& scene) {
    const Vec3 origin{targetX, targetY, targetZ + kPivotHeight};
    const Vec3 view = viewDirection();
    const Vec3 dir{-view[0] * distance, -view[1] * distance, -view[2] * distance};
    for (const RenderMaterial& material : scene.materials) {
        if (!isOpaque(scene, material.number)) continue;
        const size_t vertexCount = material.vertices.size() / kFloatsPerVertex;
        auto corner = [&](uint32_t index) {
            float const* p = material.vertices.data() + size_t(index) * kFloatsPerVertex;
            return Vec3{p[0], p[1], p[2]};
        };
        for (size_t i = 0; i + 2 < material.indices.size(); i += 3) {
            const uint32_t i0 = material.indices[i], i1 = material.indices[i + 1], i2 = material.indices[i + 2];
            if (i0 >= vertexCount || i1 >= vertexCount || i2 >= vertexCount) continue;
            const float t = rayHit(origin, dir, corner(i0), corner(i1), corner(i2));
            if (t > 0 && t < 1) effectiveDistance = std::min(effectiveDistance, std::max(t * distance - 0.15f, 0.2f));
        }
    }
}

std::array<float, 3> OrbitCamera::viewDirection() const {
    const float cp = std::cos(pitch);
    return {cp * std::sin(yaw), cp * std::cos(yaw), -std::sin(pitch)};
}

std::array<float, 3> OrbitCamera::eyePosition() const {
    const Vec3 view = viewDirection();
    const float e = effectiveDistance;
    return {targetX - e * view[0], targetY - e * view[1], targetZ + kPivotHeight - e * view[2]};
}

std::array<float, 3> OrbitCamera::right() const { return {std::cos(yaw), -std::sin(yaw), 0.0f}; }

std::array<float, 3> OrbitCamera::up() const {
    const float sp = std::sin(pitch);
    return {sp * std::sin(yaw), sp * std::cos(yaw), std::cos(pitch)};
}

std::pair<double, double> OrbitCamera::moveVector(float ax, float ay) const {
    const double c = std::cos(double(yaw)), s = std::sin(double(yaw));
    const double mx = c * ax + s * ay;
    const double my = -s * ax + c * ay;
    const double l = std::max(std::hypot(mx, my), 1.0);
    return {mx / l, my / l};
}

CameraProjector OrbitCamera::projector(float aspect) const {
    return CameraProjector{eyePosition(), viewDirection(), right(), up(), aspect};
}

Vertex OrbitCamera::project(float x, float y, float z, float r, float g, float b, float aspect) const {
    return projector(aspect)(x, y, z, r, g, b);
}

Vertex CameraProjector::operator()(float x, float y, float z, float r, float g, float b) const {
    const Vec3 d{x - eye[0], y - eye[1], z - eye[2]};
    const float depth = dot(view, d);
    const float across = dot(right, d);
    const float upward = dot(up, d);
    Vertex v;
    v.x = across * kCotHalfFov / aspect;
    v.y = upward * kCotHalfFov;
    v.z = (depth * 100.05f - 10.0f) / 99.95f;
    v.w = depth;
    v.r = r;
    v.g = g;
    v.b = b;
    v.u = 0;
    v.v = 0;
    return v;
}

}  // namespace vobu
