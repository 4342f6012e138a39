#include "world/character_pose.h"

#include <algorithm>
#include <cmath>

#include "character/character.h"
#include "world/movement.h"
#include "world/scene.h"

namespace vobu {

namespace {

constexpr double kTexel = 0.02;
constexpr double kTeleportSpeed = 12.0;

// One damped spring on one axis: the rate first, then the position from the
// new rate (semi-implicit Euler, stable at the sub-step sizes used here).
void springStep(double& position, double& rate, double target, double stiffness, double damping, double dh) {
    rate += dh * ((target - position) * stiffness - damping * rate);
    position += dh * rate;
}

}  // namespace

std::array<float, 3> CharacterPose::deform(const PoseShape& s, float x, float y, float z, float height) {
    // The box keeps its volume while it squashes.
    const float e = s.squash + 1.0f;
    const float k = 1.0f / std::sqrt(std::max(e, 0.25f));
    const float x1 = k * x, y1 = k * y, z1 = e * z;
    if (!(height > 0.0f)) return {x1, y1, z1};

    // The bottom follows the floor plane, the top is raised by the lift.
    const float b = std::max(1.0f - z / height, 0.0f);
    const float base = s.lift + b * b * (x1 * s.slopeX + y1 * s.slopeY + s.groundOffset - s.lift);
    if (!(z1 > 0.0f)) return {x1, y1, z1 + base};

    // Each horizontal slice moves onto the bend curve and turns to stay
    // across it; the top sinks a little as the box bends.
    const float c = std::min(z1 / height, 1.0f);
    const float c2 = c * c, c3 = c2 * c;
    const float ox = s.leanX * c2 + s.swayX * (c2 - c3);
    const float oy = s.leanY * c2 + s.swayY * (c2 - c3);
    const float gx = (s.leanX * 2.0f * c + s.swayX * (2.0f * c - 3.0f * c2)) / height;
    const float gy = (s.leanY * 2.0f * c + s.swayY * (2.0f * c - 3.0f * c2)) / height;
    const float g = 1.0f / std::sqrt(gx * gx + 1.0f + gy * gy);
    const float tx = gx * g, ty = gy * g;
    const float j = x1 * tx + y1 * ty;
    const float q = 1.0f / (g + 1.0f);
    return {ox + x1 - j * tx * q, oy + y1 - j * ty * q, base + z1 - j - (ox * ox + oy * oy) * 0.08f / height};
}

void CharacterPose::reset(CharacterPose& pose, const MoveState& state) {
    pose = CharacterPose{};
    pose.last = state;
}

void CharacterPose::update(CharacterPose& pose, const MoveState& s, double dt, const Character& character,
                           const WalkMesh* walkMesh) {
    if (!(dt > 0)) return;
    const double W = character.width * kTexel;
    const double H = character.height * kTexel;
    const double D = character.depth * kTexel;

    const double previousVz = pose.last.vz;
    const double measuredX = (s.x - pose.last.x) / dt;
    const double measuredY = (s.y - pose.last.y) / dt;
    pose.last = s;
    // A speed that is not a number (a position that is not one) resets too:
    // otherwise it would stay in the springs for good.
    if (!(std::hypot(measuredX, measuredY) <= kTeleportSpeed)) {
        reset(pose, s);
        return;
    }

    // Stretch on take-off, squash on landing (harder the faster the fall).
    if (s.vz > 0.1 && previousVz <= 0.1) {
        pose.squashRate += 6.0;
    } else if (std::fabs(s.vz) < 0.001 && previousVz < -0.1) {
        pose.squashRate -= std::min(std::fabs(previousVz) * 0.9 + 2.4, 10.0);
    }

    const double h = std::min(dt, 0.1);
    const double a = 1.0 - std::exp(-h / 0.06);
    const double oldVx = pose.velocityX, oldVy = pose.velocityY;
    pose.velocityX += a * (measuredX - pose.velocityX);
    pose.velocityY += a * (measuredY - pose.velocityY);
    const double accelX = std::clamp((pose.velocityX - oldVx) / h, -30.0, 30.0);
    const double accelY = std::clamp((pose.velocityY - oldVy) / h, -30.0, 30.0);

    // Stubby boxes wobble fast, tall thin ones slowly.
    const double omega = std::clamp(11.0 / std::sqrt(H / std::max(std::sqrt(W * D), 0.16)), 5.0, 18.0);
    const double leanStiffness = omega * omega, leanDamping = 0.6 * omega;
    const double omega2 = 1.5 * omega;
    const double swayStiffness = omega2 * omega2, swayDamping = 0.6 * omega2;

    const double tall = H * H / (6.0 * std::max(W, D));
    const double limX = std::min({0.2 * H, 0.4 * W, tall});
    const double limY = std::min({0.2 * H, 0.4 * D, tall});
    const double targetX = std::clamp(-(pose.velocityX * 0.025 + accelX * 0.006) * H / (0.4 * H + W), -limX, limX);
    const double targetY = std::clamp(-(pose.velocityY * 0.025 + accelY * 0.006) * H / (0.4 * H + D), -limY, limY);

    const int steps = std::max(1, int(std::ceil(h * 120.0)));
    const double dh = h / steps;
    for (int i = 0; i < steps; ++i) {
        springStep(pose.leanX, pose.leanRateX, targetX, leanStiffness, leanDamping, dh);
        springStep(pose.leanY, pose.leanRateY, targetY, leanStiffness, leanDamping, dh);
        springStep(pose.swayX, pose.swayRateX, -0.055 * pose.leanRateX, swayStiffness, swayDamping, dh);
        springStep(pose.swayY, pose.swayRateY, -0.055 * pose.leanRateY, swayStiffness, swayDamping, dh);
        springStep(pose.squash, pose.squashRate, 0.0, 576.0, 14.4, dh);
        pose.leanX = std::clamp(pose.leanX, -1.5 * limX, 1.5 * limX);
        pose.leanY = std::clamp(pose.leanY, -1.5 * limY, 1.5 * limY);
        pose.swayX = std::clamp(pose.swayX, -limX, limX);
        pose.swayY = std::clamp(pose.swayY, -limY, limY);
        pose.squash = std::clamp(pose.squash, -0.4, 0.4);
    }

    double slopeTargetX = 0, slopeTargetY = 0, groundTarget = 0;
    if (walkMesh != nullptr && std::fabs(s.vz) < 0.1) {
        const FloorProbe floor = findWalkableTriangle(*walkMesh, s.x, s.y, s.z, 0.55, 0.55);
        if (floor.triangle >= 0) {
            slopeTargetX = floor.slopeX;
            slopeTargetY = floor.slopeY;
            groundTarget = floor.height - s.z;
        }
    }
    const double b = 1.0 - std::exp(-h / 0.07);
    pose.slopeX += b * (slopeTargetX - pose.slopeX);
    pose.slopeY += b * (slopeTargetY - pose.slopeY);
    pose.groundOffset += b * (groundTarget - pose.groundOffset);

    // Publishing at a quarter of the update rate keeps the drawn shape calm.
    if (pose.updateCount + 1 > 3) {
        pose.updateCount = 0;
        PoseShape& out = pose.shape;
        out.leanX = float(pose.leanX);
        out.leanY = float(pose.leanY);
        out.swayX = float(pose.swayX);
        out.swayY = float(pose.swayY);
        out.squash = float(pose.squash);
        out.slopeX = float(pose.slopeX);
        out.slopeY = float(pose.slopeY);
        out.groundOffset = float(pose.groundOffset);
        const double lift =
            (std::fabs(pose.slopeX) * W / 2 + std::fabs(pose.slopeY) * D / 2) / std::sqrt(pose.squash + 1) +
            pose.groundOffset;
        out.lift = float(std::max(0.0, lift));
    } else {
        ++pose.updateCount;
    }
}

int poseDetailLevel(float pixels) {
    if (pixels >= 80.0f) return 3;
    if (pixels >= 28.0f) return 2;
    return 1;
}

}  // namespace vobu
