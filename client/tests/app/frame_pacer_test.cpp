#include "app/frame_pacer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "app/application.h"
#include "support/sdl_events.h"

namespace vobu {
namespace {

// Runs frames that each take `workMs` and end with a swap that waits
// `swapMs`, sleeping what the pacer says; returns the start times.
std::vector<double> run(FramePacer& pacer, int frames, double workMs, double swapMs, double startMs = 1000) {
    std::vector<double> starts;
    double now = startMs;
    for (int i = 0; i < frames; ++i) {
        starts.push_back(now);
        now += workMs;
        pacer.swapped(now, now + swapMs);
        now += swapMs;
        now += pacer.sleepMs(now);
    }
    return starts;
}

// A display refreshing every `periodMs`. While `waits` a swap holds until
// the first refresh after its call, as vertical sync does; otherwise it
// returns `swapMs` after the call, as on a driver without vertical sync or
// for a hidden window.
struct Display {
    double periodMs;
    bool waits = true;
    double swapMs = 0.1;

    static Display at(double hz) { return Display{1000.0 / hz}; }
    double swapEnd(double startMs) const {
        return waits ? (std::floor(startMs / periodMs) + 1) * periodMs : startMs + swapMs;
    }
};

// The frame loop on a clock the test moves: work, the display's swap, then
// the pacer's sleep in whole milliseconds, as the loop sleeps.
struct Loop {
    FramePacer& pacer;
    double nowMs = 1000.25;  // off the display's refresh times
    int pacingChanges = 0;

    struct Frame {
        bool pacing;  // after the frame's swap was judged
        double sleepMs;
    };
    // `swapMs` (optional) gives a swap that does not wait its own duration
    // by frame number.
    std::vector<Frame> run(const Display& display, int frames, double workMs,
                           const std::function<double(int)>& swapMs = nullptr) {
        std::vector<Frame> out;
        for (int i = 0; i < frames; ++i) {
            const bool wasPacing = pacer.pacing();
            const double swapStart = nowMs + workMs;
            const double swapEnd = swapMs && !display.waits ? swapStart + swapMs(i) : display.swapEnd(swapStart);
            pacer.swapped(swapStart, swapEnd);
            pacingChanges += pacer.pacing() != wasPacing;
            const double sleep = pacer.sleepMs(swapEnd);
            out.push_back({pacer.pacing(), sleep});
            nowMs = swapEnd + std::floor(sleep);
        }
        return out;
    }
};

// The first frame from which on every frame is unpaced and only yields; -1
// when there is none.
int unpacedFrom(const std::vector<Loop::Frame>& frames) {
    int from = -1;
    for (int i = 0; i < int(frames.size()); ++i) {
        const bool unpaced = !frames[i].pacing && frames[i].sleepMs == FramePacer::kYieldMs;
        if (!unpaced) {
            from = -1;
        } else if (from < 0) {
            from = i;
        }
    }
    return from;
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
            pacer.swapped(now - c.swapMs, now);
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
        pacer.swapped(now - 0.1, now);
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
        const double swapMs = (i % 10 == 0) ? 1.0 : 17.5;
        now += swapMs;
        pacer.swapped(now - swapMs, now);
        EXPECT_EQ(pacer.sleepMs(now), FramePacer::kYieldMs);
    }
    EXPECT_FALSE(pacer.pacing());
}

TEST(FramePacer, SleepsWhatIsLeftOfThePeriodAfterTheWork) {
    FramePacer pacer(false, 50);  // 20 ms
    pacer.swapped(100, 100);
    EXPECT_DOUBLE_EQ(pacer.sleepMs(100), 20);  // the first paced frame: one period from now
    pacer.swapped(125, 125);                   // frame started at 120, took 5 ms
    EXPECT_DOUBLE_EQ(pacer.sleepMs(125), 15);
    pacer.swapped(159, 159);  // the frame at 140 took 19 ms
    EXPECT_DOUBLE_EQ(pacer.sleepMs(159), 1);
}

TEST(FramePacer, AFrameThatRunsOverStartsTheNextAtOnceWithoutABurst) {
    FramePacer pacer(false, 50);  // 20 ms
    pacer.swapped(0, 0);
    EXPECT_DOUBLE_EQ(pacer.sleepMs(0), 20);
    pacer.swapped(95, 95);  // the frame due at 20 took 75 ms: three starts missed
    EXPECT_DOUBLE_EQ(pacer.sleepMs(95), 0);
    pacer.swapped(97, 97);
    EXPECT_DOUBLE_EQ(pacer.sleepMs(97), 18) << "on a new schedule from 95, not catching up";
    pacer.swapped(118, 118);
    EXPECT_DOUBLE_EQ(pacer.sleepMs(118), 17);
}

TEST(FramePacer, AClockThatGoesBackNeverSleepsLongerThanAPeriod) {
    FramePacer pacer(false, 50);
    pacer.swapped(10000, 10000);
    EXPECT_DOUBLE_EQ(pacer.sleepMs(10000), 20);
    pacer.swapped(500, 500);
    EXPECT_DOUBLE_EQ(pacer.sleepMs(500), 20);
}

TEST(FramePacer, PacingLetsGoOnceTheSwapsWaitForTheDisplayAgain) {
    // A hidden window's swaps return at once and turn pacing on; shown
    // again, its swaps wait for the display. Paced frames call the swap at
    // some point of the display's period, so the swaps wait for part of it;
    // a display's clock never quite matches ours, so that point drifts
    // until the swaps are seen to wait. (Were the two exactly equal, the
    // frames would keep meeting every refresh, with no more delay than
    // unpaced.)
    struct Case {
        const char* name;
        int reportedHz;
        double displayHz;
        double workMs;
    };
    const Case cases[] = {
        {"59.94 Hz display reported as 60", 60, 59.94, 2},
        {"59.94 Hz display reported as 59", 59, 59.94, 2},
        {"60.02 Hz display reported as 60", 60, 60.02, 2},
        {"light frames", 60, 59.97, 0.2},
        {"frames of a third of a period", 60, 59.95, 5.5},
        {"unknown rate, 50 Hz display", 0, 50, 1},
        {"144 Hz", 144, 143.98, 1},
        {"240 Hz", 240, 239.76, 0.5},
    };
    for (const Case& c : cases) {
        FramePacer pacer(true, c.reportedHz);
        Loop loop{pacer};
        Display display = Display::at(c.displayHz);
        display.waits = false;
        loop.run(display, 2 * FramePacer::kJudgedSwaps, c.workMs);
        ASSERT_TRUE(pacer.pacing()) << c.name;
        display.waits = true;
        const int seconds = 60;
        const std::vector<Loop::Frame> frames = loop.run(display, int(c.displayHz) * seconds, c.workMs);
        const int from = unpacedFrom(frames);
        ASSERT_GE(from, 0) << c.name << ": still paced after " << seconds << " s";
        EXPECT_LT(from, int(c.displayHz) * seconds / 2) << c.name << ": let go only after " << from << " frames";
        EXPECT_EQ(loop.pacingChanges, 2) << c.name << ": on once, off once";
    }
}

TEST(FramePacer, VerticalSyncFailingFromTheStartStaysPacedForALongRun) {
    // Swaps that return in less than half a period, whatever the frames'
    // work, now and then one held long (a stall of the system); ten
    // minutes of frames.
    struct Case {
        const char* name;
        bool swapIntervalSet;
        int hz;
        double workMs;
        double swapFraction;  // of a period
    };
    const Case cases[] = {
        {"no swap interval, still screen", false, 60, 0.5, 0.01},
        {"no swap interval, slow copy to the screen", false, 60, 0.5, 0.45},
        {"no swap interval, heavy frames", false, 60, 12, 0.2},
        {"no swap interval, frames longer than a period", false, 60, 25, 0.3},
        {"no swap interval, 144 Hz", false, 144, 1, 0.4},
        {"interval set but ignored", true, 60, 0.5, 0.05},
        {"interval set but ignored, slower swaps", true, 60, 2, 0.2},
        {"interval set but ignored, 144 Hz", true, 144, 0.3, 0.1},
    };
    for (const Case& c : cases) {
        FramePacer pacer(c.swapIntervalSet, c.hz);
        Loop loop{pacer};
        Display display = Display::at(c.hz);
        display.waits = false;
        const double swapMs = c.swapFraction * pacer.periodMs();
        const int frames = c.hz * 600;
        const std::vector<Loop::Frame> run =
            loop.run(display, frames, c.workMs, [&](int i) { return i % 997 == 996 ? 400.0 : swapMs; });
        const int judged = c.swapIntervalSet ? FramePacer::kJudgedSwaps : 0;
        for (int i = judged; i < frames; ++i) {
            ASSERT_TRUE(run[i].pacing) << c.name << ": let go at frame " << i;
        }
        EXPECT_EQ(loop.pacingChanges, c.swapIntervalSet ? 1 : 0) << c.name;
    }
}

TEST(FramePacer, WithoutVerticalSyncPacingChangesAtMostOnce) {
    // Swaps that do not wait but take up to about half a period, in a
    // repeating pattern of durations on either side of it: whichever way
    // the first judgement goes, the next one, unpaced or paced, agrees.
    struct Case {
        std::vector<double> swapFractions;  // of a period, repeated
        double workMs;
    };
    const Case cases[] = {
        {{0.2, 0.85}, 0},         {{0.45, 0.6}, 0}, {{0.55}, 0},       {{0.3, 0.75}, 0.1},
        {{0.35, 0.62}, 0.3},      {{0.1, 0.95}, 0}, {{0.02, 0.52}, 0}, {{0.02, 0.52, 0.52}, 0},
        {{0.01, 0.01, 0.9}, 0.2}, {{0.49}, 0},      {{0.5}, 0},
    };
    for (bool swapIntervalSet : {false, true}) {
        for (const Case& c : cases) {
            FramePacer pacer(swapIntervalSet, 60);
            Loop loop{pacer};
            Display display = Display::at(60);
            display.waits = false;
            const double period = pacer.periodMs();
            const size_t n = c.swapFractions.size();
            loop.run(display, 6000, c.workMs, [&](int i) { return c.swapFractions[size_t(i) % n] * period; });
            EXPECT_LE(loop.pacingChanges, 1) << "interval set " << swapIntervalSet << ", swaps of "
                                             << ::testing::PrintToString(c.swapFractions) << " periods";
        }
    }
}

TEST(FramePacer, ADisplayOfAnotherRateGivesTheNewPeriod) {
    // The window moves from one display to another after two seconds.
    struct Case {
        const char* name;
        int fromHz, toHz;
        bool waits;  // vertical sync works on both displays
    };
    const Case cases[] = {
        {"60 to 144 Hz, vertical sync", 60, 144, true}, {"60 to 120 Hz, vertical sync", 60, 120, true},
        {"144 to 60 Hz, vertical sync", 144, 60, true}, {"60 to 144 Hz, paced", 60, 144, false},
        {"144 to 60 Hz, paced", 144, 60, false},
    };
    for (const Case& c : cases) {
        FramePacer pacer(c.waits, c.fromHz);
        Loop loop{pacer};
        Display display = Display::at(c.fromHz);
        display.waits = c.waits;
        loop.run(display, 2 * c.fromHz, 1);
        display = Display::at(c.toHz);
        display.waits = c.waits;
        pacer.setRefreshHz(c.toHz);
        EXPECT_DOUBLE_EQ(pacer.periodMs(), 1000.0 / c.toHz) << c.name;
        const double movedMs = loop.nowMs;
        const std::vector<Loop::Frame> frames = loop.run(display, 10 * c.toHz, 1);
        if (c.waits) {
            EXPECT_EQ(unpacedFrom(frames), 0) << c.name << ": a working vertical sync taken for a failed one";
        } else {
            // Ten seconds at the new rate, give or take the frame of the move.
            EXPECT_NEAR(loop.nowMs - movedMs, 10000, 1000.0 / c.fromHz + 1000.0 / c.toHz) << c.name;
        }
    }
}

TEST(FramePacer, ADisplayOfAnotherRateStartsANewJudgement) {
    // Swaps timed on the old display do not count on the new one.
    FramePacer pacer(true, 60);
    double now = 0;
    auto swap = [&] {
        now += 3;
        pacer.swapped(now - 0.1, now);
    };
    for (int i = 0; i < FramePacer::kJudgedSwaps; ++i) swap();  // the first swap starts the measurement
    pacer.setRefreshHz(144);
    for (int i = 0; i < FramePacer::kJudgedSwaps; ++i) {
        swap();
        ASSERT_FALSE(pacer.pacing()) << "judged " << i + 1 << " swaps after the move";
    }
    swap();
    EXPECT_TRUE(pacer.pacing());
    // The same rate again is no new display.
    pacer.setRefreshHz(144);
    EXPECT_TRUE(pacer.pacing());
}

TEST(ApplicationPacing, MovingToAnotherDisplayReadsItsRefreshRate) {
    Application app;
    std::vector<int> asked;
    app.refreshRateOf = [&](int display) {
        asked.push_back(display);
        return display == 1 ? 144 : 0;
    };
    app.pacer = FramePacer(true, 60);
    SDL_Event moved = testing::windowEvent(SDL_WINDOWEVENT_DISPLAY_CHANGED);
    moved.window.data1 = 1;
    app.noteEvent(moved);
    EXPECT_DOUBLE_EQ(app.pacer.periodMs(), 1000.0 / 144);
    moved.window.data1 = 0;  // a display whose rate SDL does not know
    app.noteEvent(moved);
    EXPECT_DOUBLE_EQ(app.pacer.periodMs(), 1000.0 / FramePacer::kFallbackHz);
    app.noteEvent(testing::windowEvent(SDL_WINDOWEVENT_MOVED));
    EXPECT_EQ(asked, (std::vector<int>{1, 0}));
}

}  // namespace
}  // namespace vobu
