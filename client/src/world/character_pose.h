#pragma once
// The procedural animation of a drawn character: damped springs driven by
// its motion (lean against acceleration, a secondary sway, squash on landing
// and stretch on take-off) and the floor under its feet, published at a
// reduced rate as the nine numbers that bend the box.

#include <array>
#include <cstdint>

#include "world/movement_types.h"

namespace vobu {

class Character;
struct WalkMesh;

// The bend of a box, as drawn. All zero is the rest shape.
struct PoseShape {
    float leanX = 0;  // offset of the box's top, world units
    float leanY = 0;
    float swayX = 0;  // secondary offset
    float swayY = 0;
    float squash = 0;        // relative height change, -0.4..0.4
    float slopeX = 0;        // floor slope dz/dx under the character
    float slopeY = 0;        // floor slope dz/dy
    float groundOffset = 0;  // floor height minus the character's z
    float lift = 0;          // how far the top is raised to clear a sloped floor
};

struct CharacterPose {
    MoveState last;
    double velocityX = 0, velocityY = 0;
    double squash = 0, squashRate = 0;
    double leanX = 0, leanY = 0, leanRateX = 0, leanRateY = 0;
    double swayX = 0, swayY = 0, swayRateX = 0, swayRateY = 0;
    double slopeX = 0, slopeY = 0, groundOffset = 0;
    int32_t updateCount = 0;
    PoseShape shape;

    // The point (already turned by the yaw) bent by the shape of a box of
    // height `height`; a function of the shape alone.
    static std::array<float, 3> deform(const PoseShape& shape, float x, float y, float z, float height);
    // Rest: `last` is the state, everything else zero.
    static void reset(CharacterPose& pose, const MoveState& state);
    // Advances the springs by dt seconds toward the new state. `walkMesh`
    // may be null (no floor following).
    static void update(CharacterPose& pose, const MoveState& state, double dt, const Character& character,
                       const WalkMesh* walkMesh);
};

// Strip count for a box `pixels` high on screen: 3, 2 or 1.
int poseDetailLevel(float pixels);

}  // namespace vobu
