#include "world/movement_predictor.h"

#include <algorithm>
#include <cmath>

#include "world/movement.h"
#include "world/scene.h"

namespace vobu {

void MovementPredictor::clearOpenStep() {
    jumpLatch = false;
    openTime = 0;
    openMoveX = 0;
    openMoveY = 0;
}

void MovementPredictor::resetFromScene(const Scene& scene) { reset(scene.spawn, 0); }

void MovementPredictor::reset(const MoveState& granted, uint32_t sequence) {
    state = granted;
    lastSentSequence = sequence;
    nextSequence = sequence + 1;
    clearOpenStep();
    pending.clear();
}

void MovementPredictor::advance(double seconds, double moveX, double moveY, const Scene& scene, bool jump) {
    jumpLatch = jumpLatch || jump;
    const double length = std::max(std::hypot(moveX, moveY), 1.0);
    const double mx = moveX / length;
    const double my = moveY / length;
    const double step = scene.movement.step;
    // Written so that NaN seconds count as none.
    double t = seconds > 0 ? std::min(seconds, 0.1) : 0.0;
    if (!(step > 0)) {
        return;  // no step length, no commands
    }
    while (t > 1e-10) {
        if (pending.size() >= kMaxPending) {
            return;
        }
        const double fill = std::min(t, step - openTime);
        openMoveX += mx * fill / step;
        openMoveY += my * fill / step;
        openTime += fill;
        t -= fill;
        if (openTime + 1e-9 >= step) {
            MoveCommand command;
            command.sequence = nextSequence++;
            command.moveX = openMoveX;
            command.moveY = openMoveY;
            command.jump = jumpLatch;
            state = moveStep(state, command, step, scene.walkMesh, scene.movement);
            pending.push_back(command);
            clearOpenStep();
        }
    }
}

void MovementPredictor::reconcile(const MoveState& serverState, uint32_t acknowledged, const Scene& scene) {
    while (!pending.empty() && pending.front().sequence <= acknowledged) {
        pending.pop_front();
    }
    state = serverState;
    for (const MoveCommand& command : pending) {
        state = moveStep(state, command, scene.movement.step, scene.walkMesh, scene.movement);
    }
}

MoveState MovementPredictor::predictedState(const Scene& scene) const {
    if (openTime <= 1e-10) {
        return state;
    }
    MoveCommand partial;
    partial.sequence = 0;
    partial.moveX = openMoveX * scene.movement.step / openTime;
    partial.moveY = openMoveY * scene.movement.step / openTime;
    partial.jump = jumpLatch;
    return moveStep(state, partial, openTime, scene.walkMesh, scene.movement);
}

std::vector<MoveCommand> MovementPredictor::unsentCommands() const {
    std::vector<MoveCommand> unsent;
    for (const MoveCommand& command : pending) {
        if (unsent.size() >= kMaxUnsentBatch) {
            break;
        }
        if (command.sequence > lastSentSequence) {
            unsent.push_back(command);
        }
    }
    return unsent;
}

}  // namespace vobu
