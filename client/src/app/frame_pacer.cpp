#include "app/frame_pacer.h"

#include <algorithm>

namespace vobu {

namespace {

double periodOf(int refreshHz) {
    const bool plausible = refreshHz >= FramePacer::kLowestHz && refreshHz <= FramePacer::kHighestHz;
    return 1000.0 / (plausible ? double(refreshHz) : FramePacer::kFallbackHz);
}

}  // namespace

FramePacer::FramePacer(bool swapIntervalSet, int refreshHz)
    : periodMs_(periodOf(refreshHz)), pacing_(!swapIntervalSet) {}

void FramePacer::startMeasurement(double nowMs) {
    measureStartMs_ = nowMs;
    measuredSwaps_ = 0;
    waitedMs_ = 0;
}

void FramePacer::swapped(double swapStartMs, double swapEndMs) {
    if (lastSwapMs_ < 0 || swapEndMs < lastSwapMs_) {
        // First swap, or a clock that went back: measure from here.
        startMeasurement(swapEndMs);
        lastSwapMs_ = swapEndMs;
        return;
    }
    lastSwapMs_ = swapEndMs;
    // A swap held far longer than a period (a hidden window, a stall of
    // the system) counts as one period, so one such swap cannot let go.
    waitedMs_ += std::clamp(swapEndMs - swapStartMs, 0.0, periodMs_);
    if (++measuredSwaps_ < kJudgedSwaps) return;
    // A swap that waits for the display cannot come back in less than a
    // period on average; half a period leaves room for a driver that
    // queues a frame or two ahead, and for a paced frame whose swap was
    // called part of the way to the display's refresh.
    const double halfPeriodMs = periodMs_ / 2;
    if (pacing_) {
        if (waitedMs_ / kJudgedSwaps >= halfPeriodMs) {
            pacing_ = false;
            dueMs_ = -1;
        }
    } else {
        pacing_ = (swapEndMs - measureStartMs_) / kJudgedSwaps < halfPeriodMs;
    }
    startMeasurement(swapEndMs);
}

void FramePacer::setRefreshHz(int refreshHz) {
    const double periodMs = periodOf(refreshHz);
    if (periodMs == periodMs_) return;
    periodMs_ = periodMs;
    lastSwapMs_ = -1;
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
