#pragma once
// The third-person camera of the game screen: it circles a pivot 0.9 units
// above the local player, turns with the mouse, zooms with the wheel, pulls
// in when opaque map geometry lies between pivot and eye, and projects
// world points (Z up) into the clip space Graphics draws.

#include <array>
#include <utility>

#include "ui/graphics.h"

namespace vobu {

struct Scene;

// The camera's frame frozen for one frame of drawing: projecting through it
// gives the same vertices as OrbitCamera::project without recomputing the
// eye and the axes for every point.
struct CameraProjector {
    std::array<float, 3> eye{};
    std::array<float, 3> view{};
    std::array<float, 3> right{};
    std::array<float, 3> up{};
    float aspect = 1;

    Vertex operator()(float x, float y, float z, float r, float g, float b) const;
};

class OrbitCamera {
public:
    float targetX = 0, targetY = 0, targetZ = 0;
    float yaw = 0;        // the view looks along (sin yaw, cos yaw)
    float pitch = 0.85f;  // 0..1.5; 0 is level with the pivot
    float distance = 9.0f;
    float effectiveDistance = 9.0f;
    bool initialised = false;

    // Relative mouse motion in pixels.
    void rotate(float dx, float dy);
    // Wheel steps; positive zooms in.
    void zoom(float steps);
    // Follows the player's feet at (x, y, z); `scene` (may be null) gives the
    // render mesh the eye is kept in front of.
    void update(float x, float y, float z, float dt, const Scene* scene);

    std::array<float, 3> eyePosition() const;
    std::array<float, 3> right() const;
    std::array<float, 3> up() const;
    // The eye-to-pivot direction.
    std::array<float, 3> viewDirection() const;
    // Keyboard axes (right minus left, forward minus back) as a world
    // movement; diagonals are normalised to length 1.
    std::pair<double, double> moveVector(float ax, float ay) const;
    // The clip-space vertex of a world point; nothing is clipped here.
    Vertex project(float x, float y, float z, float r, float g, float b, float aspect) const;
    CameraProjector projector(float aspect) const;

private:
    void pullIn(const Scene& scene);
};

}  // namespace vobu
