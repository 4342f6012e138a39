#include "app/frame_pacer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vobu {
namespace {

// Runs frames that each take `workMs` and end with a swap that waits
// `swapMs`, sleeping what the pacer says; returns the start times.
std::vector<double> run(FramePacer& pacer, int frames, double workMs, double swapMs, double startMs = 1000) {
    std::vector<double> starts;
    double now = startMs;
    for (int i = 0; i < frames; ++i) {
        starts.push_back(now);
        now += workMs + swapMs;
        pacer.swapped(now);
        now += pacer.sleepMs(now);
    }
    return starts;
}

TEST(FramePacer, WorkingVerticalSyncOnlyEverYields) {
    struct Case {
        const char* name;
        int refreshHz;
        double workMs, swapMs;  // the swap waits for the display
    };
    const Case cases[] = {
        {"60 Hz, light frames", 60, 1, 15.7},
        {"60 Hz, frames longer than a period", 60, 30, 3.3},
        {"144 Hz", 144, 2, 4.9},
        {"unknown rate, 75 Hz display", 0, 1, 12.3},
    };
    for (const Case& c : cases) {
        FramePacer pacer(true, c.refreshHz);
        double now = 0;
        for (int i = 0; i < 300; ++i) {
            now += c.workMs + c.swapMs;
            pacer.swapped(now);
            EXPECT_EQ(pacer.sleepMs(now), FramePacer::kYieldMs) << c.name << " frame " << i;
            now += 1;
        }
        EXPECT_FALSE(pacer.pacing()) << c.name;
    }
}

TEST(FramePacer, RefreshRateGivesThePeriodAndImplausibleRatesFallBackTo60) {
    const struct {
        int hz;
        double periodMs;
    } cases[] = {{60, 1000.0 / 60}, {144, 1000.0 / 144}, {20, 50},
                 {500, 2},          {0, 1000.0 / 60},    {-5, 1000.0 / 60},
                 {19, 1000.0 / 60}, {501, 1000.0 / 60},  {100000, 1000.0 / 60}};
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(FramePacer(false, c.hz).periodMs(), c.periodMs) << c.hz;
}

TEST(FramePacer, WithoutSwapIntervalFramesStartOnePeriodApart) {
    for (int hz : {60, 144, 0}) {
        FramePacer pacer(false, hz);
        EXPECT_TRUE(pacer.pacing());
        const double period = pacer.periodMs();
        // Swaps come back at once; frames take 3 ms of work.
        const std::vector<double> starts = run(pacer, 120, 3, 0.05);
        // The first paced sleep is a whole period after the first frame's work.
        for (size_t i = 2; i < starts.size(); ++i) {
            EXPECT_NEAR(starts[i] - starts[i - 1], period, 1e-6) << hz << " Hz, frame " << i;
        }
    }
}

TEST(FramePacer, SwapsMuchFasterThanTheDisplayTurnPacingOn) {
    FramePacer pacer(true, 60);
    // An interval that was accepted but does nothing: 300 frames a second.
    double now = 0;
    int yields = 0;
    while (!pacer.pacing() && yields < 1000) {
        now += 3.3;
        pacer.swapped(now);
        if (pacer.pacing()) break;
        EXPECT_EQ(pacer.sleepMs(now), FramePacer::kYieldMs);
        now += 1;
        ++yields;
    }
    EXPECT_TRUE(pacer.pacing());
    EXPECT_LE(yields, FramePacer::kJudgedSwaps + 1) << "judged after one measurement";
    now += pacer.sleepMs(now);
    const std::vector<double> starts = run(pacer, 60, 3.3, 0, now);
    for (size_t i = 2; i < starts.size(); ++i) EXPECT_NEAR(starts[i] - starts[i - 1], 1000.0 / 60, 1e-6);
}

TEST(FramePacer, SwapsJustUnderAPeriodAreStillVerticalSync) {
    // A driver queueing ahead lets a few swaps return early; on average
    // they still wait for the display.
    FramePacer pacer(true, 60);
    double now = 0;
    for (int i = 0; i < 600; ++i) {
        now += (i % 10 == 0) ? 1.0 : 17.5;
        pacer.swapped(now);
        EXPECT_EQ(pacer.sleepMs(now), FramePacer::kYieldMs);
    }
    EXPECT_FALSE(pacer.pacing());
}

TEST(FramePacer, SleepsWhatIsLeftOfThePeriodAfterTheWork) {
    FramePacer pacer(false, 50);  // 20 ms
    pacer.swapped(100);
    EXPECT_DOUBLE_EQ(pacer.sleepMs(100), 20);  // the first paced frame: one period from now
    pacer.swapped(125);                        // frame started at 120, took 5 ms
    EXPECT_DOUBLE_EQ(pacer.sleepMs(125), 15);
    pacer.swapped(159);  // the frame at 140 took 19 ms
    EXPECT_DOUBLE_EQ(pacer.sleepMs(159), 1);
}

TEST(FramePacer, AFrameThatRunsOverStartsTheNextAtOnceWithoutABurst) {
    FramePacer pacer(false, 50);  // 20 ms
    pacer.swapped(0);
    EXPECT_DOUBLE_EQ(pacer.sleepMs(0), 20);
    pacer.swapped(95);  // the frame due at 20 took 75 ms: three starts missed
    EXPECT_DOUBLE_EQ(pacer.sleepMs(95), 0);
    pacer.swapped(97);
    EXPECT_DOUBLE_EQ(pacer.sleepMs(97), 18) << "on a new schedule from 95, not catching up";
    pacer.swapped(118);
    EXPECT_DOUBLE_EQ(pacer.sleepMs(118), 17);
}

TEST(FramePacer, AClockThatGoesBackNeverSleepsLongerThanAPeriod) {
    FramePacer pacer(false, 50);
    pacer.swapped(10000);
    EXPECT_DOUBLE_EQ(pacer.sleepMs(10000), 20);
    pacer.swapped(500);
    EXPECT_DOUBLE_EQ(pacer.sleepMs(500), 20);
}

}  // namespace
}  // namespace vobu
