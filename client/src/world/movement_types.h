#pragma once
// The values the movement code passes around: a player's state, one step
// of input and the world's movement rules.

#include <cstdint>

namespace vobu {

// A player's movement state (the server's key names). Heading 0 faces -y;
// the heading of a horizontal velocity (vx, vy) is atan2(vx, -vy).
struct MoveState {
    double x = 0;
    double y = 0;
    double z = 0;
    double vz = 0;
    double heading = 0;
    double vx = 0;
    double vy = 0;
    int32_t triangle = -1;  // walk triangle stood on, -1 while airborne
};

// One fixed step of local input, covering exactly MovementParams::step.
struct MoveCommand {
    uint32_t sequence = 0;
    double moveX = 0;  // time-averaged over the step, length at most 1
    double moveY = 0;
    bool jump = false;
};

// The twelve movement values of the welcome, in the server's order.
struct MovementParams {
    double height = 1.28;
    double acceleration = 16;
    double friction = 9;
    double stopSpeed = 1;
    double airAcceleration = 2.5;
    double speed = 4;
    double radius = 0.32;
    double step = 1.0 / 60.0;
    double jumpSpeed = 8;
    double gravity = 18;
    double halfWidth = 0.32;
    double halfDepth = 0.32;
};

}  // namespace vobu
