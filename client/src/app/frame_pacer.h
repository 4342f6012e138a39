#pragma once

#include <array>
#include <limits>

namespace vobu {

// Decides how long the loop sleeps after a frame. Where vertical sync
// works the swap itself waits for the display and the loop only yields
// (1 ms). Where it does not (the swap interval could not be set, or the
// swaps come back faster than the display refreshes, as on many virtual
// machines and remote desktops) the pacer sleeps until the next frame is
// due at the display's refresh rate, so a still screen does not draw
// hundreds of frames a second.
//
// The swaps are judged for the whole run, in measurements of
// kJudgedSwaps swaps. Unpaced, swaps that come back less than half a
// period apart turn pacing on. Other signs are only suspicions, because a
// swap without vertical sync can be slow (it copies the frame) and look
// like one that waits: unpaced, swaps that come back faster than the
// display refreshes; paced, swap calls that last half a period or more on
// average. A suspicion is settled by a probe: over the next measurement a
// few swap calls are delayed by half a period. A swap that waits for the
// display absorbs the delay and returns on the display's refresh as
// before, so it lasts half a period more or less; a slow one lasts as long
// as ever. The swaps wait: pacing lets go, or stays off, and unpaced
// intervals short of a period are no longer suspected on this display.
// They do not: pacing starts or holds, and the next probe waits for a
// back-off that doubles, so a display without vertical sync is not made to
// stutter every few seconds.
class FramePacer {
public:
    static constexpr double kFallbackHz = 60;
    // Rates outside this range are taken for a driver's mistake.
    static constexpr int kLowestHz = 20;
    static constexpr int kHighestHz = 500;
    // Swaps measured before vertical sync is judged.
    static constexpr int kJudgedSwaps = 30;
    static constexpr double kYieldMs = 1;
    // Swap calls a probe delays, spread over its measurement.
    static constexpr int kProbedSwaps = 4;
    // The wait after a probe that found no vertical sync, doubled after
    // each such probe up to the longest.
    static constexpr double kFirstBackOffMs = 2000;
    static constexpr double kLongestBackOffMs = 64000;

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
    // A probe is measuring the swaps.
    bool probing() const { return probing_; }

private:
    struct Swap {
        double ms;  // the call's duration, at most a period
        bool delayed;
    };

    void startMeasurement(double nowMs);
    void judge(double nowMs);
    void settleProbe(double nowMs);
    // The delayed swaps moved on the display's refresh like swaps that wait for it.
    bool probedSwapsWait() const;
    // The swap number `n` of a probe's measurement is to be delayed.
    static bool delays(int n);

    double periodMs_;
    bool swapIntervalSet_;
    bool pacing_;
    int measuredSwaps_ = 0;  // swaps since the measurement started
    double measureStartMs_ = 0;
    std::array<Swap, kJudgedSwaps> swaps_{};  // of the measurement
    double lastSwapMs_ = -1;                  // negative before the first swap of a measurement
    double dueMs_ = -1;                       // when the coming frame is due; negative before the first paced one
    bool probing_ = false;
    bool delayingSwap_ = false;  // a probe lengthened the sleep before the coming swap
    // A probe found swaps that wait for this display: shorter intervals
    // unpaced are a driver queueing ahead, not a slow swap.
    bool swapsWait_ = false;
    double noProbeBeforeMs_ = -std::numeric_limits<double>::infinity();
    double backOffMs_ = kFirstBackOffMs;
};

}  // namespace vobu
