#pragma once

namespace vobu {

// Decides how long the loop sleeps after a frame. Where vertical sync
// works the swap itself waits for the display and the loop only yields
// (1 ms). Where it does not (the swap interval could not be set, or the
// swaps come back much faster than the display refreshes, as on many
// virtual machines and remote desktops) the pacer sleeps until the next
// frame is due at the display's refresh rate, so a still screen does not
// draw hundreds of frames a second.
class FramePacer {
public:
    static constexpr double kFallbackHz = 60;
    // Rates outside this range are taken for a driver's mistake.
    static constexpr int kLowestHz = 20;
    static constexpr int kHighestHz = 500;
    // Swaps measured before vertical sync is judged.
    static constexpr int kJudgedSwaps = 30;
    static constexpr double kYieldMs = 1;

    // `swapIntervalSet`: SDL accepted swap interval 1. `refreshHz`: the
    // display mode's rate, 0 when unknown.
    FramePacer(bool swapIntervalSet, int refreshHz);

    // After every buffer swap, with the performance-counter time.
    void swapped(double nowMs);
    // How long to sleep now, after the swap, in milliseconds.
    double sleepMs(double nowMs);

    bool pacing() const { return pacing_; }
    double periodMs() const { return periodMs_; }

private:
    double periodMs_;
    bool pacing_;
    int measuredSwaps_ = 0;  // intervals since the measurement started
    double measureStartMs_ = 0;
    double lastSwapMs_ = -1;  // negative before the first swap
    double dueMs_ = -1;       // when the coming frame is due; negative before the first paced one
};

}  // namespace vobu
