#pragma once
// The movement rules: one fixed step of a player's state on the walk mesh.
// Everything is in world coordinates (Z up) and doubles; positions that went
// through the surface walk come back narrowed to float precision.

#include <cstdint>

#include "world/movement_types.h"

namespace vobu {

struct WalkMesh;
struct WallSegment;

// The walkable floor under a point.
struct FloorProbe {
    int32_t triangle = -1;
    double height = 0;
    double slopeX = 0;  // dz/dx of the triangle's plane
    double slopeY = 0;  // dz/dy
};

// The earliest wall contact of one airborne sub-step.
struct WallHit {
    double fraction = 2.0;  // of the sub-step; above 1 means none
    double normalX = 0;     // from the wall toward the player
    double normalY = 0;
};

// Drops deeper than this end the surface walk and become a flight.
constexpr double kMaxStepDown = 0.53125;

// Advances a state by one command over dt seconds. Returns the input
// unchanged without a navigation mesh or when dt is not above 0.
MoveState moveStep(MoveState state, const MoveCommand& command, double dt, const WalkMesh& walkMesh,
                   const MovementParams& params);

// The walkable walk triangle under (x, y) whose height there lies within
// z - below .. z + above, nearest to z (ties keep the earlier triangle).
FloorProbe findWalkableTriangle(const WalkMesh& walkMesh, double x, double y, double z, double below, double above);

// Flight with collision against the boundary walls, in up to 5 sub-steps.
MoveState moveAirborne(MoveState state, double dt, const WalkMesh& walkMesh, const MovementParams& params);

// A ballistic arc over dt; true when it landed on walkable floor (the rest
// of dt after the contact is not used).
bool fallStep(MoveState& state, const WalkMesh& walkMesh, double dt, double gravity);

// Records a contact at fraction t with the given normal when it blocks the
// sweep and is earlier than the recorded one.
void findWallHit(WallHit& hit, double t, double normalX, double normalY, const MoveState& state, double subStepTime,
                 const WallSegment& wall, const MovementParams& params);

}  // namespace vobu
