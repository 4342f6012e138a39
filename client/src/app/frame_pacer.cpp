#include "app/frame_pacer.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vobu {

namespace {

// Swaps that wait for the display hold a steady run to whole periods; a
// driver that queues a frame or two ahead shortens a measurement by little
// more than this leaves. Unpaced swaps that come back sooner, though not
// half a period apart, may be slow swaps without vertical sync drawing
// frames faster than the display shows them.
constexpr double kSteadyShare = 0.98;

// The loop sleeps in whole milliseconds: a light frame woken up to one
// early may end before it was due. Taken for a clock that went back, that
// would start each schedule afresh at the swap's return, which on a display
// that waits keeps the swaps just short of its refresh.
constexpr double kSleepGrainMs = 1;

double periodOf(int refreshHz) {
    const bool plausible = refreshHz >= FramePacer::kLowestHz && refreshHz <= FramePacer::kHighestHz;
    return 1000.0 / (plausible ? double(refreshHz) : FramePacer::kFallbackHz);
}

}  // namespace

FramePacer::FramePacer(bool swapIntervalSet, int refreshHz)
    : periodMs_(periodOf(refreshHz)), swapIntervalSet_(swapIntervalSet), pacing_(!swapIntervalSet) {}

void FramePacer::startMeasurement(double nowMs) {
    measureStartMs_ = nowMs;
    measuredSwaps_ = 0;
}

void FramePacer::swapped(double swapStartMs, double swapEndMs) {
    const bool delayed = std::exchange(delayingSwap_, false);
    if (lastSwapMs_ < 0 || swapEndMs < lastSwapMs_) {
        // First swap, or a clock that went back: measure from here, and
        // wait at most one back-off for the next probe.
        noProbeBeforeMs_ = std::min(noProbeBeforeMs_, swapEndMs + backOffMs_);
        startMeasurement(swapEndMs);
        lastSwapMs_ = swapEndMs;
        return;
    }
    lastSwapMs_ = swapEndMs;
    // A swap held far longer than a period (a hidden window, a stall of
    // the system) counts as one period, so one such swap cannot let go.
    swaps_[size_t(measuredSwaps_)] = {std::clamp(swapEndMs - swapStartMs, 0.0, periodMs_), delayed};
    if (++measuredSwaps_ < kJudgedSwaps) return;
    judge(swapEndMs);
    startMeasurement(swapEndMs);
}

void FramePacer::judge(double nowMs) {
    if (probing_) {
        settleProbe(nowMs);
        return;
    }
    // A swap that waits for the display cannot come back in less than a
    // period on average; half a period leaves room for a driver that
    // queues a frame or two ahead, and for a paced frame whose swap was
    // called part of the way to the display's refresh.
    const double halfPeriodMs = periodMs_ / 2;
    bool suspect = false;
    if (pacing_) {
        double waitedMs = 0;
        for (const Swap& swap : swaps_) waitedMs += swap.ms;
        suspect = waitedMs / kJudgedSwaps >= halfPeriodMs;
    } else {
        const double intervalMs = (nowMs - measureStartMs_) / kJudgedSwaps;
        if (intervalMs < halfPeriodMs) {
            pacing_ = true;
            return;
        }
        suspect = !swapsWait_ && intervalMs < kSteadyShare * periodMs_;
    }
    probing_ = suspect && nowMs >= noProbeBeforeMs_;
}

void FramePacer::settleProbe(double nowMs) {
    probing_ = false;
    if (probedSwapsWait()) {
        swapsWait_ = true;
        backOffMs_ = kFirstBackOffMs;
        pacing_ = false;
        dueMs_ = -1;
        return;
    }
    pacing_ = true;
    noProbeBeforeMs_ = nowMs + backOffMs_;
    backOffMs_ = std::min(2 * backOffMs_, kLongestBackOffMs);
}

bool FramePacer::probedSwapsWait() const {
    std::array<double, kJudgedSwaps> usual{};
    size_t usualSwaps = 0;
    for (const Swap& swap : swaps_) {
        if (!swap.delayed) usual[usualSwaps++] = swap.ms;
    }
    if (usualSwaps == 0) return false;
    // The median: one swap held by the system cannot move it.
    const auto middle = usual.begin() + std::ptrdiff_t(usualSwaps / 2);
    std::nth_element(usual.begin(), middle, usual.begin() + std::ptrdiff_t(usualSwaps));
    int delayed = 0;
    int moved = 0;
    for (const Swap& swap : swaps_) {
        if (!swap.delayed) continue;
        ++delayed;
        moved += std::fabs(swap.ms - *middle) >= periodMs_ / 4;
    }
    // A majority, so that one noisy swap cannot decide.
    return 2 * moved > delayed;
}

bool FramePacer::delays(int n) {
    constexpr int kSpacing = kJudgedSwaps / kProbedSwaps;
    return n % kSpacing == kSpacing / 2 && n / kSpacing < kProbedSwaps;
}

void FramePacer::setRefreshHz(int refreshHz) {
    const double periodMs = periodOf(refreshHz);
    if (periodMs == periodMs_) return;
    periodMs_ = periodMs;
    lastSwapMs_ = -1;
    // What the probes found was of the old display. Paced where vertical
    // sync was asked for, the new display's swaps are probed at once: our
    // schedule may call the swap just before its refresh on every frame,
    // where a swap that waits does not wait long enough to be suspected.
    probing_ = pacing_ && swapIntervalSet_;
    delayingSwap_ = false;
    swapsWait_ = false;
    noProbeBeforeMs_ = -std::numeric_limits<double>::infinity();
    backOffMs_ = kFirstBackOffMs;
}

double FramePacer::sleepMs(double nowMs) {
    delayingSwap_ = probing_ && delays(measuredSwaps_);
    const double delayMs = delayingSwap_ ? periodMs_ / 2 : 0;
    if (!pacing_) return kYieldMs + delayMs;
    double nextMs = dueMs_ + periodMs_;
    if (dueMs_ < 0 || nextMs > nowMs + periodMs_ + kSleepGrainMs) {
        // The first paced frame, or a clock that went back.
        nextMs = nowMs + periodMs_;
    }
    if (nextMs < nowMs) {
        // The frame ran past the next one's start: that one starts at once,
        // and the frames missed are dropped rather than caught up in a burst.
        nextMs = nowMs;
    }
    dueMs_ = nextMs;
    return nextMs - nowMs + delayMs;
}

}  // namespace vobu
