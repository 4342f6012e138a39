#include "world/movement_predictor.h"

#include <algorithm>
#include <cmath>

#include "world/movement.h"
#include "world/scene.h"

namespace vobu {

void MovementPredictor::clearOpenStep() {
    jumpLatch_ = false;
    openTime_ = 0;
    openMoveX_ = 0;
    openMoveY_ = 0;
}

void MovementPredictor::resetFromScene(const Scene& scene) {
    reset(scene.spawn, 0);
}

void MovementPredictor::reset(const MoveState& state, uint32_t sequence) {
    state_ = state;
    lastSentSequence_ = sequence;
    nextSequence_ = sequence + 1;
    clearOpenStep();
    pending_.clear();
}

void MovementPredictor::advance(double seconds, double moveX, double moveY, const Scene& scene, bool jump) {
    jumpLatch_ = jumpLatch_ || jump;
    const double length = std::max(std::hypot(moveX, moveY), 1.0);
    const double mx = moveX / length;
    const double my = moveY / length;
    const double step = scene.movement.step;
    // Written so that NaN seconds count as none.
    double t = seconds > 0 ? std::min(seconds, 0.1) : 0.0;
    if (!(step > 0)) {
        return; // no step length, no commands
    }
    while (t > 1e-10) {
        if (pending_.size() >= kMaxPending) {
            return;
        }
        const double fill = std::min(t, step - openTime_);
        openMoveX_ += mx * fill / step;
        openMoveY_ += my * fill / step;
        openTime_ += fill;
        t -= fill;
        if (openTime_ + 1e-9 >= step) {
            MoveCommand command;
            command.sequence = nextSequence_++;
            command.moveX = openMoveX_;
            command.moveY = openMoveY_;
            command.jump = jumpLatch_;
            state_ = moveStep(state_, command, step, scene.walkMesh, scene.movement);
            pending_.push_back(command);
            clearOpenStep();
        }
    }
}

void MovementPredictor::reconcile(const MoveState& serverState, uint32_t acknowledged, const Scene& scene) {
    while (!pending_.empty() && pending_.front().sequence <= acknowledged) {
        pending_.pop_front();
    }
    state_ = serverState;
    for (const MoveCommand& command : pending_) {
        state_ = moveStep(state_, command, scene.movement.step, scene.walkMesh, scene.movement);
    }
}

MoveState MovementPredictor::predictedState(const Scene& scene) const {
    if (openTime_ <= 1e-10) {
        return state_;
    }
    MoveCommand partial;
    partial.sequence = 0;
    partial.moveX = openMoveX_ * scene.movement.step / openTime_;
    partial.moveY = openMoveY_ * scene.movement.step / openTime_;
    partial.jump = jumpLatch_;
    return moveStep(state_, partial, openTime_, scene.walkMesh, scene.movement);
}

std::vector<MoveCommand> MovementPredictor::unsentCommands() const {
    std::vector<MoveCommand> unsent;
    for (const MoveCommand& command : pending_) {
        if (unsent.size() >= kMaxUnsentBatch) {
            break;
        }
        if (command.sequence > lastSentSequence_) {
            unsent.push_back(command);
        }
    }
    return unsent;
}

} // namespace vobu
