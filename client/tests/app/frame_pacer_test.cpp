#include "app/frame_pacer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
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

// A display refreshing every `periodMs`. While `waits` a swap waits for
// the refresh that shows its frame, as vertical sync does: the first after
// its call and after the frame before it. A driver that queues `queued`
// frames ahead lets the call return as soon as no more than that many wait
// to be shown. Otherwise the swap returns `swapMs` after the call, as on a
// driver without vertical sync or for a hidden window; waiting, it takes
// `swapMs` of its own after the wait.
struct Display {
    double periodMs;
    bool waits = true;
    double swapMs = 0.1;
    int queued = 0;
    double shownMs = 0;  // when the last frame swapped is shown

    static Display at(double hz) { return Display{1000.0 / hz}; }
    double swapEnd(double startMs) {
        if (!waits) return startMs + swapMs;
        const double refreshMs = (std::floor(startMs / periodMs) + 1) * periodMs;
        shownMs = std::max(refreshMs, shownMs + periodMs);
        return std::max(startMs, shownMs - queued * periodMs) + swapMs;
    }
};

// The frame loop on a clock the test moves: work, the display's swap, then
// the pacer's sleep in whole milliseconds, as the loop sleeps, woken a
// little late.
struct Loop {
    static constexpr double kOversleepMs = 0.05;

    FramePacer& pacer;
    double nowMs = 1000.25;  // off the display's refresh times
    int pacingChanges = 0;
    double lastChangeMs = 0;
    int framesRun = 0;
    std::vector<double> probesMs{};  // when each probe began

    struct Frame {
        bool pacing;  // after the frame's swap was judged
        double sleepMs;
    };
    // `swapMs` (optional) gives a swap that does not wait its own duration
    // by the number of the frame in the whole run.
    std::vector<Frame> run(Display& display, int frames, double workMs,
                           const std::function<double(int)>& swapMs = nullptr) {
        std::vector<Frame> out;
        for (int i = 0; i < frames; ++i, ++framesRun) {
            const bool wasPacing = pacer.pacing();
            const bool wasProbing = pacer.probing();
            const double swapStart = nowMs + workMs;
            const double swapEnd =
                swapMs && !display.waits ? swapStart + swapMs(framesRun) : display.swapEnd(swapStart);
            pacer.swapped(swapStart, swapEnd);
            if (pacer.pacing() != wasPacing) {
                ++pacingChanges;
                lastChangeMs = swapEnd;
            }
            if (pacer.probing() && !wasProbing) probesMs.push_back(swapEnd);
            const double sleep = pacer.sleepMs(swapEnd);
            out.push_back({pacer.pacing(), sleep});
            nowMs = swapEnd + std::floor(sleep) + kOversleepMs;
        }
        return out;
    }
    // Frames for `seconds` of the clock; returns the frames run.
    int runFor(Display& display, double seconds, double workMs, const std::function<double(int)>& swapMs = nullptr) {
        const double endMs = nowMs + seconds * 1000;
        int frames = 0;
        for (; nowMs < endMs; ++frames) run(display, 1, workMs, swapMs);
        return frames;
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

// Sleeps lengthened by a probe in `frames`, unpaced.
int delayedYields(const std::vector<Loop::Frame>& frames) {
    int delayed = 0;
    for (const Loop::Frame& frame : frames) delayed += !frame.pacing && frame.sleepMs > FramePacer::kYieldMs;
    return delayed;
}

TEST(FramePacer, WorkingVerticalSyncIsNeverPaced) {
    // A display faster than the rate the pacer knows is probed once: its
    // swaps come back sooner than the period, as a slow swap's would.
    struct Case {
        const char* name;
        int reportedHz;
        double displayHz;
        double workMs;
        int probes;
    };
    const Case cases[] = {
        {"60 Hz, light frames", 60, 60, 1, 0},
        {"60 Hz, frames longer than a period", 60, 60, 30, 0},
        {"59.94 Hz display reported as 60", 60, 59.94, 1, 0},
        {"60.02 Hz display reported as 60", 60, 60.02, 1, 0},
        {"144 Hz", 144, 144, 2, 0},
        {"unknown rate, 75 Hz display", 0, 75, 1, 1},
        {"75 Hz display reported as 60", 60, 75, 4, 1},
    };
    for (const Case& c : cases) {
        FramePacer pacer(true, c.reportedHz);
        Loop loop{pacer};
        Display display = Display::at(c.displayHz);
        const std::vector<Loop::Frame> frames = loop.run(display, int(c.displayHz) * 60, c.workMs);
        EXPECT_EQ(loop.pacingChanges, 0) << c.name;
        EXPECT_EQ(delayedYields(frames), c.probes * FramePacer::kProbedSwaps) << c.name;
    }
}

TEST(FramePacer, ADriverThatQueuesAheadIsStillVerticalSync) {
    // The first swaps return at once while the queue fills, which may take
    // one probe to tell from a slow swap; the frames are never paced.
    struct Case {
        int hz;
        int queued;
        double workMs;
    };
    const Case cases[] = {{60, 1, 1}, {60, 2, 1}, {60, 2, 6}, {60, 3, 0.3}, {144, 2, 1}, {144, 1, 4}};
    for (const Case& c : cases) {
        FramePacer pacer(true, c.hz);
        Loop loop{pacer};
        Display display = Display::at(c.hz);
        display.queued = c.queued;
        const std::vector<Loop::Frame> frames = loop.run(display, c.hz * 60, c.workMs);
        const std::string name = std::to_string(c.hz) + " Hz, " + std::to_string(c.queued) + " queued";
        EXPECT_EQ(loop.pacingChanges, 0) << name;
        EXPECT_LE(delayedYields(frames), FramePacer::kProbedSwaps) << name;
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
        {"light frames, 60.02 Hz display", 60, 60.02, 0.2},
        {"light frames, 144.02 Hz display", 144, 144.02, 0.3},
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

// A swap without vertical sync of `costMs`, up to `jitterMs` more or less
// by frame (a fixed pseudo-random sequence).
std::function<double(int)> slowSwap(double costMs, double jitterMs) {
    return [costMs, jitterMs](int frame) {
        const unsigned hashed = (unsigned(frame) * 2654435761u) >> 16;
        return costMs + jitterMs * (double(hashed % 2001) / 1000 - 1);
    };
}

TEST(FramePacer, WithoutVerticalSyncFramesKeepToTheDisplayWhateverTheSwapCosts) {
    // The swap copies the frame to the screen and returns, however long
    // that takes; 2 ms of work. Swaps of most of a period are easily taken
    // for swaps that wait for the display.
    struct Case {
        int hz;
        double swapMs, jitterMs;
    };
    const Case cases[] = {
        {60, 0.1, 0}, {60, 3, 0.5}, {60, 6, 0},  {60, 9, 0},  {60, 11, 0},     {60, 13, 0},
        {60, 9, 1.5}, {60, 12, 2},  {144, 1, 0}, {144, 3, 0}, {144, 3.5, 0.3},
    };
    for (bool swapIntervalSet : {true, false}) {
        for (const Case& c : cases) {
            const std::string name = std::to_string(c.hz) + " Hz, swaps of " + std::to_string(c.swapMs) + " ms, " +
                                     (swapIntervalSet ? "interval ignored" : "no interval");
            FramePacer pacer(swapIntervalSet, c.hz);
            Loop loop{pacer};
            Display display = Display::at(c.hz);
            display.waits = false;
            loop.runFor(display, 1, 2, slowSwap(c.swapMs, c.jitterMs));
            ASSERT_TRUE(pacer.pacing()) << name << ": unpaced after a second";
            const int frames = loop.runFor(display, 30, 2, slowSwap(c.swapMs, c.jitterMs));
            EXPECT_NEAR(frames / 30.0, c.hz, c.hz * 0.02) << name;
            EXPECT_TRUE(pacer.pacing()) << name;
            EXPECT_EQ(loop.pacingChanges, swapIntervalSet ? 1 : 0) << name;
        }
    }
}

TEST(FramePacer, VerticalSyncLetsPacingGoAfterOneProbe) {
    // Paced from the start, as where the swap interval was refused, yet
    // the driver waits for the display; 2 ms of work. One measurement
    // raises the suspicion, a second one probes.
    for (const double displayHz : {60.0, 59.94, 60.02, 144.0, 143.98}) {
        FramePacer pacer(false, int(std::lround(displayHz)));
        Loop loop{pacer};
        Display display = Display::at(displayHz);
        const double startMs = loop.nowMs;
        loop.runFor(display, 60, 2);
        EXPECT_FALSE(pacer.pacing()) << displayHz << " Hz";
        EXPECT_EQ(loop.pacingChanges, 1) << displayHz << " Hz";
        EXPECT_LT(loop.lastChangeMs - startMs, 2 * FramePacer::kJudgedSwaps * pacer.periodMs() + 100)
            << displayHz << " Hz";
    }
}

TEST(FramePacer, MovedToAFasterDisplayPacingLetsGo) {
    // The window goes from a 60 Hz display to a 144 Hz one, both with
    // vertical sync, and the move is told some frames late: by then 144 Hz
    // swaps judged against 60 Hz have turned pacing on. Our schedule may
    // meet the new display's refresh at any point of its period, by the
    // frames' work.
    for (double displayHz : {144.0, 143.98}) {
        for (double workMs : {0.3, 1.0, 2.0, 3.0}) {
            for (int lateFrames : {40, 75, 200}) {
                const std::string name = std::to_string(displayHz) + " Hz, work " + std::to_string(workMs) +
                                         " ms, told " + std::to_string(lateFrames) + " frames late";
                FramePacer pacer(true, 60);
                Loop loop{pacer};
                Display display = Display::at(60);
                loop.runFor(display, 2, workMs);
                display = Display::at(displayHz);
                loop.run(display, lateFrames, workMs);
                ASSERT_TRUE(pacer.pacing()) << name;
                pacer.setRefreshHz(144);
                const double movedMs = loop.nowMs;
                loop.runFor(display, 30, workMs);
                EXPECT_FALSE(pacer.pacing()) << name;
                EXPECT_LT(loop.lastChangeMs - movedMs, 1000) << name;
                EXPECT_EQ(loop.pacingChanges, 2) << name;
            }
        }
    }
}

// The gaps between the probes' starts, in milliseconds.
std::vector<double> gapsBetween(const std::vector<double>& probesMs) {
    std::vector<double> gaps;
    for (size_t i = 1; i < probesMs.size(); ++i) gaps.push_back(probesMs[i] - probesMs[i - 1]);
    return gaps;
}

// Without vertical sync, each probe delays frames: the waits between them
// double, from the first back-off to the longest; a probe begins with the
// first measurement after the wait.
void expectBackingOff(const std::vector<double>& gapsMs, double periodMs, const std::string& name) {
    const double measurementMs = FramePacer::kJudgedSwaps * periodMs;
    double backOffMs = FramePacer::kFirstBackOffMs;
    for (size_t i = 0; i < gapsMs.size(); ++i) {
        EXPECT_GE(gapsMs[i], backOffMs) << name << ", probe " << i + 1;
        EXPECT_LE(gapsMs[i], backOffMs + 3 * measurementMs) << name << ", probe " << i + 1;
        backOffMs = std::min(2 * backOffMs, FramePacer::kLongestBackOffMs);
    }
}

TEST(FramePacer, ASlowSwapIsProbedLessAndLessOftenYetSwapsThatWaitStillLetGo) {
    // Ten minutes of swaps without vertical sync, then swaps that wait
    // for the display.
    for (double swapMs : {9.0, 13.0}) {
        const std::string name = "swaps of " + std::to_string(swapMs) + " ms";
        FramePacer pacer(false, 60);
        Loop loop{pacer};
        Display display = Display::at(59.94);
        display.waits = false;
        display.swapMs = swapMs;
        loop.runFor(display, 600, 2);
        EXPECT_EQ(loop.pacingChanges, 0) << name;
        const std::vector<double> gaps = gapsBetween(loop.probesMs);
        ASSERT_GE(gaps.size(), 10u) << name;
        expectBackingOff(gaps, pacer.periodMs(), name);
        const double lastProbeMs = loop.probesMs.back();
        display.waits = true;
        display.swapMs = 0.2;
        loop.runFor(display, 120, 2);
        EXPECT_FALSE(pacer.pacing()) << name;
        EXPECT_LT(loop.lastChangeMs - lastProbeMs, FramePacer::kLongestBackOffMs + 2000) << name;
    }
}

TEST(FramePacer, SwapsFoundToWaitStartTheBackOffOver) {
    // Five minutes of slow swaps without vertical sync grow the back-off
    // to the longest; then the swaps wait for the display and a probe lets
    // pacing go. Later on the same display the window is hidden (its swaps
    // return at once and turn pacing on), and shown again its swaps no
    // longer wait but copy the frame slowly: the new suspicion is probed
    // after the first back-off, not after the long one grown before.
    FramePacer pacer(false, 60);
    Loop loop{pacer};
    Display display = Display::at(59.94);
    display.waits = false;
    display.swapMs = 11;
    loop.runFor(display, 300, 2);
    const std::vector<double> slowGaps = gapsBetween(loop.probesMs);
    ASSERT_FALSE(slowGaps.empty());
    ASSERT_GE(slowGaps.back(), FramePacer::kLongestBackOffMs) << "the back-off has grown to the longest";

    display.waits = true;
    display.swapMs = 0.2;
    loop.runFor(display, 120, 2);
    ASSERT_FALSE(pacer.pacing()) << "the swaps wait for the display";

    display.waits = false;
    display.swapMs = 0.1;
    loop.runFor(display, 2, 2);
    ASSERT_TRUE(pacer.pacing()) << "a hidden window is paced";

    const size_t probes = loop.probesMs.size();
    display.swapMs = 11;
    loop.runFor(display, 80, 2);
    const std::vector<double> gaps = gapsBetween({loop.probesMs.begin() + std::ptrdiff_t(probes), loop.probesMs.end()});
    const std::string name = "slow swaps after vertical sync was found";
    ASSERT_FALSE(gaps.empty()) << name;
    expectBackingOff(gaps, pacer.periodMs(), name);
    // Waits of 2, 4, 8, 16 and 32 s fit in 80 s.
    EXPECT_GE(gaps.size(), 5u) << name;
    EXPECT_TRUE(pacer.pacing()) << name;
    EXPECT_EQ(loop.pacingChanges, 2) << name << ": off once the swaps wait, on again while hidden";
}

TEST(FramePacer, ADisplayOfAnotherRateOrAClockThatGoesBackDoesNotPutOffTheNextProbe) {
    // Five minutes of slow swaps without vertical sync put the next probe
    // off by the longest back-off.
    struct Case {
        const char* name;
        int movedToHz;       // 0: stays
        double clockBackMs;  // the clock goes back this much
        double nextProbeWithinMs;
    };
    const Case cases[] = {
        {"moved to a 75 Hz display", 75, 0, 1000},
        {"moved to a 50 Hz display", 50, 0, 1500},
        {"the clock goes back an hour", 0, 3600e3, FramePacer::kLongestBackOffMs + 1000},
    };
    for (const Case& c : cases) {
        FramePacer pacer(false, 60);
        Loop loop{pacer};
        loop.nowMs = 4e6;  // more than an hour after the clock's start
        Display display = Display::at(60);
        display.waits = false;
        display.swapMs = 11;
        loop.runFor(display, 300, 2);
        const size_t probes = loop.probesMs.size();
        if (c.movedToHz != 0) {
            display = Display::at(c.movedToHz);
            display.waits = false;
            display.swapMs = 0.6 * display.periodMs;
            pacer.setRefreshHz(c.movedToHz);
        }
        loop.nowMs -= c.clockBackMs;
        const double fromMs = loop.nowMs;
        loop.runFor(display, 120, 2);
        ASSERT_GT(loop.probesMs.size(), probes) << c.name;
        EXPECT_LT(loop.probesMs[probes] - fromMs, c.nextProbeWithinMs) << c.name;
        if (c.movedToHz != 0) {
            // The back-off starts over.
            expectBackingOff(gapsBetween({loop.probesMs.begin() + std::ptrdiff_t(probes), loop.probesMs.end()}),
                             pacer.periodMs(), c.name);
        }
        EXPECT_TRUE(pacer.pacing()) << c.name;
        EXPECT_EQ(loop.pacingChanges, 0) << c.name;
    }
}

TEST(FramePacer, OneSwapHeldLongerCannotDecideAProbe) {
    // Swaps without vertical sync, every 13th held longer (another process
    // had the processor), so that now and then one of a probe's delayed
    // swaps seems to have moved with the display.
    for (double swapMs : {9.0, 11.0}) {
        FramePacer pacer(false, 60);
        Loop loop{pacer};
        Display display = Display::at(60);
        display.waits = false;
        loop.runFor(display, 600, 2, [&](int frame) { return frame % 13 == 0 ? swapMs + 8 : swapMs; });
        EXPECT_GE(loop.probesMs.size(), 10u) << swapMs;
        EXPECT_EQ(loop.pacingChanges, 0) << "swaps of " << swapMs << " ms";
    }
}

TEST(FramePacer, WhatAProbeFoundHoldsForItsDisplayOnly) {
    // A probe finds vertical sync on a 75 Hz display the pacer knows no
    // rate of; then the window moves to a 50 Hz display without vertical
    // sync, whose swaps take most of its period.
    FramePacer pacer(true, 0);
    Loop loop{pacer};
    Display display = Display::at(75);
    loop.runFor(display, 5, 1);
    ASSERT_EQ(loop.probesMs.size(), 1u);
    ASSERT_FALSE(pacer.pacing());
    display = Display::at(50);
    display.waits = false;
    display.swapMs = 13;
    pacer.setRefreshHz(50);
    const double movedMs = loop.nowMs;
    loop.runFor(display, 10, 1);
    EXPECT_TRUE(pacer.pacing());
    EXPECT_LT(loop.lastChangeMs - movedMs, 2000);
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
