#pragma once
// Client-side prediction of the local player: continuous input becomes
// fixed-length commands, each run at once through moveStep, kept until the
// server acknowledges it and replayed on top of every server state.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "world/movement_types.h"

namespace vobu {

struct Scene;

class MovementPredictor {
public:
    // At most this many commands wait for an acknowledgement (4 s at the
    // default step); input beyond it is dropped.
    static constexpr size_t kMaxPending = 240;
    // At most this many commands go into one "input" message.
    static constexpr size_t kMaxUnsentBatch = 24;

    void resetFromScene(const Scene& scene);
    void reset(const MoveState& state, uint32_t sequence);
    // Collects `seconds` of input (clamped to 0..0.1) and runs every step it
    // completes.
    void advance(double seconds, double moveX, double moveY, const Scene& scene, bool jump);
    // Drops the commands up to `acknowledged` and replays the rest on the
    // server's state.
    void reconcile(const MoveState& serverState, uint32_t acknowledged, const Scene& scene);
    // The last full step advanced by the input of the step still open.
    MoveState predictedState(const Scene& scene) const;
    // The first pending commands above lastSentSequence, at most 24.
    std::vector<MoveCommand> unsentCommands() const;

    const MoveState& state() const { return state_; }
    const std::deque<MoveCommand>& pending() const { return pending_; }
    uint32_t nextSequence() const { return nextSequence_; }
    uint32_t lastSentSequence() const { return lastSentSequence_; }
    // The Network records here the sequence of the last command it sent.
    void setLastSentSequence(uint32_t sequence) { lastSentSequence_ = sequence; }
    double openTime() const { return openTime_; }

private:
    void clearOpenStep();

    bool jumpLatch_ = false;
    MoveState state_;
    double openTime_ = 0;
    double openMoveX_ = 0;
    double openMoveY_ = 0;
    uint32_t nextSequence_ = 1;
    uint32_t lastSentSequence_ = 0;
    std::deque<MoveCommand> pending_;
};

} // namespace vobu
