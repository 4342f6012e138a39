#include "app/frame_pacer.h"

namespace vobu {

namespace {

double periodOf(int refreshHz) {
    const bool plausible = refreshHz >= FramePacer::kLowestHz && refreshHz <= FramePacer::kHighestHz;
    return 1000.0 / (plausible ? double(refreshHz) : FramePacer::kFallbackHz);
}

}  // namespace

FramePacer::FramePacer(bool swapIntervalSet, int refreshHz)
    : periodMs_(periodOf(refreshHz)), pacing_(!swapIntervalSet) {}

void FramePacer::swapped(double nowMs) {
    if (pacing_) return;
    if (lastSwapMs_ < 0 || nowMs < lastSwapMs_) {
        // First swap, or a clock that went back: measure from here.
        measureStartMs_ = nowMs;
        measuredSwaps_ = 0;
    } else if (++measuredSwaps_ == kJudgedSwaps) {
        // A swap that waits for the display cannot come back in less than
        // a period on average; half a period leaves room for a driver that
        // queues a frame or two ahead.
        const double meanMs = (nowMs - measureStartMs_) / kJudgedSwaps;
        pacing_ = meanMs < periodMs_ / 2;
        measureStartMs_ = nowMs;
        measuredSwaps_ = 0;
    }
    lastSwapMs_ = nowMs;
}

double FramePacer::sleepMs(double nowMs) {
    if (!pacing_) return kYieldMs;
    double nextMs = dueMs_ + periodMs_;
    if (dueMs_ < 0 || nextMs > nowMs + periodMs_) {
        // The first paced frame, or a clock that went back.
        nextMs = nowMs + periodMs_;
    }
    if (nextMs < nowMs) {
        // The frame ran past the next one's start: that one starts at once,
        // and the frames missed are dropped rather than caught up in a burst.
        nextMs = nowMs;
    }
    dueMs_ = nextMs;
    return nextMs - nowMs;
}

}  // namespace vobu
