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
    void reset(const MoveState& granted, uint32_t sequence);
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

    // The state, in declaration order. The Network reads them and writes
    // lastSentSequence after each "input" message.
    bool jumpLatch = false;  // a jump requested since the last full step
    MoveState state;         // after the last full step (or reset, reconcile)
    double openTime = 0;     // seconds collected for the open step, below step
    double openMoveX = 0;    // the open step's input, weighted by time / step
    double openMoveY = 0;
    uint32_t nextSequence = 1;        // the sequence of the next command
    uint32_t lastSentSequence = 0;    // the highest sequence already sent
    std::deque<MoveCommand> pending;  // not yet acknowledged, oldest first

private:
    void clearOpenStep();
};

}  // namespace vobu
