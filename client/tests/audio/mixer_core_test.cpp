#include "audio/mixer_core.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace vobu {
namespace {

constexpr double kNow = 50000.0;

std::vector<int16_t> constant(size_t count, int16_t value) { return std::vector<int16_t>(count, value); }

// Samples that tell their own index, so a test sees which part of a segment
// landed on a frame.
std::vector<int16_t> ramp(size_t count) {
    std::vector<int16_t> out(count);
    for (size_t i = 0; i < count; ++i) out[i] = int16_t(i % 30000);
    return out;
}

struct Buffer {
    std::vector<int16_t> samples;
    int16_t left(size_t frame) const { return samples[2 * frame]; }
    int16_t right(size_t frame) const { return samples[2 * frame + 1]; }
};

Buffer mixOnce(MixerCore& core, double now, int rate, int frames) {
    Buffer buffer{std::vector<int16_t>(size_t(frames) * 2, int16_t(123))};  // dirty: mix must zero it
    core.mix(now, rate, buffer.samples.data(), frames);
    return buffer;
}

// Source 1, generation 1, full volume, hard right: the right channel then
// carries the samples unscaled.
MixerCore coreWithRightSource() {
    MixerCore core;
    core.setSource(1, 1, 1.0f, 1.0f);
    return core;
}

struct PlacementCase {
    int rate;
    double startOffsetMs;  // segment start minus buffer start
    int64_t firstFrame;    // where its first sample must land (may be negative)
};

class SegmentPlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(SegmentPlacement, FirstSampleLandsOnTheNearestFrame) {
    const PlacementCase c = GetParam();
    MixerCore core = coreWithRightSource();
    const int frames = 4096;
    ASSERT_TRUE(core.queueSegment(c.rate, 1, 1, kNow + c.startOffsetMs, ramp(size_t(c.rate))));
    const Buffer out = mixOnce(core, kNow, c.rate, frames);

    if (c.firstFrame > 0) {
        EXPECT_EQ(out.right(size_t(c.firstFrame) - 1), 0) << "sound before the start";
        EXPECT_EQ(out.right(size_t(c.firstFrame)), 0) << "first sample (value 0) at its frame";
        EXPECT_EQ(out.right(size_t(c.firstFrame) + 1), 1);
        EXPECT_EQ(out.right(size_t(c.firstFrame) + 100), 100);
    } else {
        // Began in an earlier buffer: frame 0 carries sample -firstFrame.
        EXPECT_EQ(out.right(0), int16_t(-c.firstFrame));
        EXPECT_EQ(out.right(1000), int16_t(1000 - c.firstFrame));
    }
    EXPECT_EQ(out.left(size_t(std::max<int64_t>(c.firstFrame, 0)) + 5), 0) << "hard right leaves the left silent";
}

INSTANTIATE_TEST_SUITE_P(Rates, SegmentPlacement,
                         ::testing::Values(PlacementCase{48000, 50.0, 2400}, PlacementCase{44100, 50.0, 2205},
                                           PlacementCase{48000, 10.0, 480}, PlacementCase{44100, 10.0, 441},
                                           // 1.5 frames rounds away from zero
                                           PlacementCase{48000, 0.03125, 2}, PlacementCase{48000, -20.0, -960},
                                           PlacementCase{44100, -20.0, -882}, PlacementCase{48000, 0.0, 0}));

TEST(MixerCore, SegmentContinuesSeamlesslyAcrossBuffers) {
    for (int rate : {44100, 48000}) {
        MixerCore core = coreWithRightSource();
        ASSERT_TRUE(core.queueSegment(rate, 1, 1, kNow + 5.3, ramp(3000)));
        const int frames = 1024;
        std::vector<int16_t> right;
        double now = kNow;
        for (int b = 0; b < 4; ++b) {
            const Buffer out = mixOnce(core, now, rate, frames);
            for (int i = 0; i < frames; ++i) right.push_back(out.right(size_t(i)));
            now += frames * 1000.0 / rate;
        }
        const size_t first = size_t(std::lround(rate * 5.3 / 1000.0));
        for (size_t i = 0; i < 3000; ++i) ASSERT_EQ(right[first + i], int16_t(i)) << "rate " << rate << " sample " << i;
        EXPECT_EQ(right[first + 3000], 0);
    }
}

TEST(MixerCore, PlayedOutSegmentIsFreedInTheBufferAfterItsLastSample) {
    MixerCore core = coreWithRightSource();
    // Exactly one buffer long, starting with the first buffer.
    ASSERT_TRUE(core.queueSegment(48000, 1, 1, kNow, constant(1024, 1000)));
    mixOnce(core, kNow, 48000, 1024);
    EXPECT_EQ(core.sources().at(1).queue.size(), 1u);
    const Buffer next = mixOnce(core, core.clock(), 48000, 1024);
    EXPECT_TRUE(core.sources().at(1).queue.empty());
    EXPECT_EQ(next.right(0), 0);
}

TEST(MixerCore, EverySegmentOfAQueueIsMixedWhateverItsOrder) {
    MixerCore core = coreWithRightSource();
    ASSERT_TRUE(core.queueSegment(48000, 1, 1, kNow + 10.0, constant(10, 1000)));
    ASSERT_TRUE(core.queueSegment(48000, 1, 1, kNow + 1.0, constant(10, 2000)));
    const Buffer out = mixOnce(core, kNow, 48000, 1024);
    EXPECT_EQ(out.right(48), 2000);
    EXPECT_EQ(out.right(480), 1000);
}

struct QueueCase {
    const char* name;
    int generation;
    int sourceId;
    size_t samples;
    int alreadyQueued;
    bool accepted;
};

class QueueRules : public ::testing::TestWithParam<QueueCase> {};

TEST_P(QueueRules, AcceptsOnlyWhatTheRulesAllow) {
    const QueueCase c = GetParam();
    const int rate = 44100;
    MixerCore core;
    core.setSource(1, 3, 1.0f, 0.0f);
    for (int i = 0; i < c.alreadyQueued; ++i) ASSERT_TRUE(core.queueSegment(rate, 1, 3, kNow, constant(100, 1)));
    std::vector<int16_t> samples = constant(c.samples, 7);
    EXPECT_EQ(core.queueSegment(rate, c.sourceId, c.generation, kNow, std::move(samples)), c.accepted) << c.name;
    if (c.accepted) {
        EXPECT_EQ(core.sources().at(1).queue.size(), size_t(c.alreadyQueued) + 1);
    } else {
        EXPECT_EQ(samples.size(), c.samples) << "a refused segment stays with the caller";
        EXPECT_EQ(core.sources().at(1).queue.size(), size_t(c.alreadyQueued));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QueueRules,
    ::testing::Values(QueueCase{"plain", 3, 1, 100, 0, true}, QueueCase{"fourth", 3, 1, 100, 3, true},
                      QueueCase{"fifth", 3, 1, 100, 4, false}, QueueCase{"stale generation", 2, 1, 100, 0, false},
                      QueueCase{"unknown source", 3, 2, 100, 0, false}, QueueCase{"empty", 3, 1, 0, 0, false},
                      QueueCase{"exactly ten seconds", 3, 1, 441000, 0, true},
                      QueueCase{"one sample over ten seconds", 3, 1, 441001, 0, false}));

TEST(MixerCore, StartsThatAreNotFiniteAreRefused) {
    MixerCore core = coreWithRightSource();
    EXPECT_FALSE(core.queueSegment(48000, 1, 1, std::numeric_limits<double>::quiet_NaN(), constant(10, 1)));
    EXPECT_FALSE(core.queueSegment(48000, 1, 1, std::numeric_limits<double>::infinity(), constant(10, 1)));
}

TEST(MixerCore, FarFutureSegmentWaitsWithoutSound) {
    MixerCore core = coreWithRightSource();
    ASSERT_TRUE(core.queueSegment(48000, 1, 1, 1e300, constant(10, 1000)));
    const Buffer out = mixOnce(core, kNow, 48000, 1024);
    for (size_t i = 0; i < 1024; ++i) ASSERT_EQ(out.right(i), 0);
    EXPECT_EQ(core.sources().at(1).queue.size(), 1u);
}

TEST(MixerCore, NewGenerationClearsTheQueueAtOnce) {
    MixerCore core;
    core.setSource(1, 1, 1.0f, 0.0f);
    ASSERT_TRUE(core.queueSegment(48000, 1, 1, kNow, constant(10, 1)));
    core.setSource(1, 1, 0.5f, 0.0f);
    EXPECT_EQ(core.sources().at(1).queue.size(), 1u) << "same generation keeps the queue";
    core.setSource(1, 2, 0.5f, 0.0f);
    EXPECT_TRUE(core.sources().at(1).queue.empty());
    EXPECT_FALSE(core.queueSegment(48000, 1, 1, kNow, constant(10, 1)));
    EXPECT_TRUE(core.queueSegment(48000, 1, 2, kNow, constant(10, 1)));
}

TEST(MixerCore, NewSourceTakesAnyGenerationButZeroClearsNothing) {
    MixerCore core;
    core.setSource(4, 0, 1.0f, 0.0f);
    EXPECT_EQ(core.sources().at(4).generation, 0);
    core.setSource(5, 9, 1.0f, 0.0f);
    EXPECT_EQ(core.sources().at(5).generation, 9);
}

TEST(MixerCore, RemovedSourceTakesItsQueueAlong) {
    MixerCore core = coreWithRightSource();
    ASSERT_TRUE(core.queueSegment(48000, 1, 1, kNow, constant(500, 1000)));
    core.removeSource(1);
    EXPECT_TRUE(core.sources().empty());
    const Buffer out = mixOnce(core, kNow, 48000, 256);
    EXPECT_EQ(out.right(10), 0);
}

TEST(MixerCore, TwoFullScaleSourcesSaturate) {
    for (int16_t full : {int16_t(32767), int16_t(-32768)}) {
        MixerCore core;
        core.setSource(1, 1, 1.0f, 0.0f);
        core.setSource(2, 1, 1.0f, 0.0f);
        ASSERT_TRUE(core.queueSegment(48000, 1, 1, kNow, constant(100, full)));
        ASSERT_TRUE(core.queueSegment(48000, 2, 1, kNow, constant(100, full)));
        const Buffer out = mixOnce(core, kNow, 48000, 64);
        EXPECT_EQ(out.left(0), full > 0 ? 32767 : -32768);
        EXPECT_EQ(out.right(0), full > 0 ? 32767 : -32768);
    }
    // One of them alone is 0.7071 of full scale, its fraction dropped.
    MixerCore single;
    single.setSource(1, 1, 1.0f, 0.0f);
    ASSERT_TRUE(single.queueSegment(48000, 1, 1, kNow, constant(100, 32767)));
    const Buffer out = mixOnce(single, kNow, 48000, 64);
    EXPECT_EQ(out.left(0), int16_t(0.70710677f * 32767.0f));
    EXPECT_EQ(out.left(0), 23169);
}

TEST(MixerCore, SaturatesAfterEveryAddition) {
    // +32767, +32767, -32768 in id order: clipped after the second addition
    // the sum is -1; without that it would be 32766.
    MixerCore core;
    const int16_t values[] = {32767, 32767, -32768};
    for (int id = 1; id <= 3; ++id) {
        core.setSource(id, 1, 1.0f, 1.0f);
        ASSERT_TRUE(core.queueSegment(48000, id, 1, kNow, constant(10, values[id - 1])));
    }
    const Buffer out = mixOnce(core, kNow, 48000, 16);
    EXPECT_EQ(out.right(0), -1);
}

TEST(MixerCore, ClockRunsOnByBuffersAndResyncsAfterAGap) {
    struct Case {
        double gapMs;  // between the starts of two callbacks
        bool resync;
    };
    for (const Case c : {Case{150.0, true}, Case{80.0, false}, Case{21.3, false}, Case{-60.0, false}}) {
        MixerCore core;
        EXPECT_EQ(core.clock(), 0.0);
        const double bufferMs = 1024 * 1000.0 / 48000;
        mixOnce(core, kNow, 48000, 1024);
        EXPECT_DOUBLE_EQ(core.clock(), kNow + bufferMs) << "the first buffer starts now";
        const double second = kNow + c.gapMs;
        mixOnce(core, second, 48000, 1024);
        const double expected = c.resync ? second + bufferMs : kNow + 2 * bufferMs;
        EXPECT_DOUBLE_EQ(core.clock(), expected) << "gap " << c.gapMs;
    }
}

TEST(MixerCore, ResyncPlacesSegmentsOnTheCounterAgain) {
    MixerCore core = coreWithRightSource();
    mixOnce(core, kNow, 48000, 1024);
    // After a 500 ms stall the next buffer starts at the counter, so a
    // segment due 10 ms later lands 480 frames in.
    const double later = kNow + 500.0;
    ASSERT_TRUE(core.queueSegment(48000, 1, 1, later + 10.0, ramp(2000)));
    const Buffer out = mixOnce(core, later, 48000, 1024);
    EXPECT_EQ(out.right(481), 1);
    EXPECT_EQ(out.right(479), 0);
}

TEST(MixerCore, ClearForgetsSourcesAndClock) {
    MixerCore core = coreWithRightSource();
    mixOnce(core, kNow, 48000, 64);
    core.clear();
    EXPECT_TRUE(core.sources().empty());
    EXPECT_EQ(core.clock(), 0.0);
}

TEST(MixerCore, NoRateGivesSilence) {
    MixerCore core = coreWithRightSource();
    const Buffer out = mixOnce(core, kNow, 0, 64);
    EXPECT_EQ(out.left(3), 0);
    EXPECT_EQ(core.clock(), 0.0);
}

struct PanCase {
    float volume;
    float pan;
    float left;
    float right;
};

class PanLaw : public ::testing::TestWithParam<PanCase> {};

TEST_P(PanLaw, EqualPowerGains) {
    const PanCase c = GetParam();
    const StereoGains gains = equalPowerGains(c.volume, c.pan);
    EXPECT_NEAR(gains.left, c.left, 1e-6);
    EXPECT_NEAR(gains.right, c.right, 1e-6);
    if (!std::isnan(c.volume) && c.volume >= 0 && c.volume <= 1) {
        EXPECT_NEAR(gains.left * gains.left + gains.right * gains.right, c.volume * c.volume, 1e-5)
            << "power stays constant across the field";
    }
}

const float kNan = std::numeric_limits<float>::quiet_NaN();
INSTANTIATE_TEST_SUITE_P(
    Cases, PanLaw,
    ::testing::Values(PanCase{1.0f, 0.0f, 0.70710678f, 0.70710678f}, PanCase{0.5f, 0.0f, 0.35355339f, 0.35355339f},
                      PanCase{1.0f, 1.0f, 0.0f, 1.0f}, PanCase{1.0f, -1.0f, 1.0f, 0.0f},
                      PanCase{0.8f, 1.0f, 0.0f, 0.8f}, PanCase{1.0f, 0.5f, 0.5f, 0.8660254f},
                      PanCase{2.0f, 0.0f, 0.70710678f, 0.70710678f}, PanCase{-1.0f, 0.3f, 0.0f, 0.0f},
                      PanCase{1.0f, 3.0f, 0.0f, 1.0f}, PanCase{1.0f, -3.0f, 1.0f, 0.0f},
                      // not a number counts as 1 for both
                      PanCase{kNan, 0.0f, 0.70710678f, 0.70710678f}, PanCase{1.0f, kNan, 0.0f, 1.0f}));

TEST(MixerCore, SetSourceAppliesThePanToTheMix) {
    MixerCore core;
    core.setSource(1, 1, 1.0f, -0.5f);
    ASSERT_TRUE(core.queueSegment(48000, 1, 1, kNow, constant(10, 10000)));
    const Buffer out = mixOnce(core, kNow, 48000, 16);
    EXPECT_EQ(out.left(0), 8660);
    EXPECT_EQ(out.right(0), 5000);
    EXPECT_EQ(out.left(12), 0);
}

}  // namespace
}  // namespace vobu
