#pragma once

namespace vobu {

// Decides how long the loop sleeps after a frame. Where vertical sync
// works the swap itself waits for the display and the loop only yields
// (1 ms). Where it does not (the swap interval could not be set, or the
// swaps come back much faster than the display refreshes, as on many
// virtual machines and remote desktops) the pacer sleeps until the next
// frame is due at the display's refresh rate, so a still screen does not
// draw hundreds of frames a second.
//
// The swaps are judged for the whole run, in measurements of
// kJudgedSwaps swaps. Unpaced, swaps that come back less than half a
// period apart turn pacing on. Paced, the intervals show only our own
// sleep, so the swap call's own duration is judged instead: swaps that
// wait half a period or more on average keep to the display by
// themselves, and pacing lets go. A swap that does not wait lasts as long
// unpaced as paced, so letting go by its duration cannot be undone by the
// next unpaced measurement on a display without vertical sync.
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

    // After every buffer swap, with the performance-counter times just
    // before the swap call and at its return.
    void swapped(double swapStartMs, double swapEndMs);
    // How long to sleep now, after the swap, in milliseconds.
    double sleepMs(double nowMs);
    // The window is on a display of another rate (0 when unknown). A new
    // period starts a new measurement: swaps timed on the old display say
    // nothing about the new one.
    void setRefreshHz(int refreshHz);

    bool pacing() const { return pacing_; }
    double periodMs() const { return periodMs_; }

private:
    void startMeasurement(double nowMs);

    double periodMs_;
    bool pacing_;
    int measuredSwaps_ = 0;  // swaps since the measurement started
    double measureStartMs_ = 0;
    double waitedMs_ = 0;     // the measured swaps' own durations, each at most a period
    double lastSwapMs_ = -1;  // negative before the first swap of a measurement
    double dueMs_ = -1;       // when the coming frame is due; negative before the first paced one
};

}  // namespace vobu
