#include "audio/scene_audio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "audio/audio_test_support.h"

namespace vobu {
namespace {

using testing::audioEntity;
using testing::OfflineMixer;
using testing::readFixture;
using testing::SteppingClock;

AudioSegment segment(int stream, int generation, uint32_t seq, double startMs, double duration,
                     const char* fixture = "segment_2000ms.ogg") {
    AudioSegment s;
    s.streamId = stream;
    s.generation = generation;
    s.seq = seq;
    s.startMs = startMs;
    s.duration = duration;
    s.data = readFixture(fixture);
    return s;
}

struct Rig {
    explicit Rig(int rate = 48000, bool device = true) : mixer(rate, device), audio(mixer) {
        audio.setClock(std::ref(clock));
        audio.initialize();
    }
    void frame(bool enabled = true, double budgetMs = 2.0) { audio.update(scene, listener, right, enabled, budgetMs); }
    // One audible stream 1 (generation 1) with its emitter at the listener.
    void oneStream(int generation = 1) { scene.entities = {audioEntity(1, 1, generation, 0, 0, 0.5f, 100)}; }
    // Runs frames until the segment queue and the segment in hand are done.
    int runUntilIdle(int limit = 2000) {
        int frames = 0;
        do {
            frame();
            ++frames;
        } while ((!scene.audioSegments.empty() || audio.decoding() || audio.resampling()) && frames < limit);
        return frames;
    }
    const OfflineMixer::SourceCall& lastCallOf(int id) const {
        for (auto it = mixer.sourceCalls.rbegin(); it != mixer.sourceCalls.rend(); ++it)
            if (it->id == id) return *it;
        throw std::runtime_error("no call for that source");
    }
    size_t acceptedQueues() const {
        size_t n = 0;
        for (const auto& call : mixer.queueCalls) n += call.accepted;
        return n;
    }

    OfflineMixer mixer;
    SteppingClock clock;  // frozen: a budget never runs out
    SceneAudio audio;
    Scene scene;
    MoveState listener;
    std::array<float, 3> right{1.0f, 0.0f, 0.0f};
};

TEST(SceneAudio, InitializeTakesTheDeviceRate) {
    for (int rate : {44100, 48000}) {
        Rig rig(rate);
        EXPECT_EQ(rig.audio.outputRate(), rate);
        EXPECT_EQ(rig.audio.resampler().outputRate(), rate);
    }
    Rig silent(44100, false);
    EXPECT_EQ(silent.audio.outputRate(), 48000) << "no device: the rate stays 48000";
}

TEST(SceneAudio, PlaysTheFirstFourStreamIdsOnly) {
    Rig rig;
    int id = 1;
    for (int stream : {5, 3, 9, 1, 7}) rig.scene.entities.push_back(audioEntity(id++, stream, 1, 0, 0, 0, 0));
    // A text entity with a stream id of its own does not count.
    SceneEntity sign = audioEntity(id++, 11, 1, 0, 0, 0, 0);
    sign.type = "text";
    rig.scene.entities.insert(rig.scene.entities.begin(), sign);
    rig.frame();

    std::set<int> streams;
    for (const auto& entry : rig.audio.streams()) streams.insert(entry.first);
    EXPECT_EQ(streams, (std::set<int>{1, 3, 5, 9}));
    std::set<int> sources;
    for (const auto& call : rig.mixer.sourceCalls) sources.insert(call.id);
    EXPECT_EQ(sources, (std::set<int>{1, 3, 5, 9}));
    // Calls go in id order.
    ASSERT_EQ(rig.mixer.sourceCalls.size(), 4u);
    EXPECT_EQ(rig.mixer.sourceCalls[0].id, 1);
    EXPECT_EQ(rig.mixer.sourceCalls[3].id, 9);
}

TEST(SceneAudio, GenerationComesFromTheLastEntityOfAStream) {
    Rig rig;
    rig.scene.entities = {audioEntity(1, 4, 2, 0, 0, 0, 0), audioEntity(2, 4, 7, 0, 0, 0, 0)};
    rig.frame();
    EXPECT_EQ(rig.audio.streams().at(4).generation, 7);
    EXPECT_EQ(rig.lastCallOf(4).generation, 7);
}

TEST(SceneAudio, StreamsThatLeaveLoseTheirSource) {
    Rig rig;
    rig.scene.entities = {audioEntity(1, 4, 1, 0, 0, 0, 0), audioEntity(2, 6, 1, 0, 0, 0, 0)};
    rig.frame();
    rig.scene.entities.pop_back();
    rig.frame();
    EXPECT_EQ(rig.mixer.removed, (std::vector<int>{6}));
    EXPECT_EQ(rig.audio.streams().count(6), 0u);
    EXPECT_EQ(rig.mixer.core.sources().count(6), 0u);
}

struct GainCase {
    const char* name;
    std::vector<SceneEntity> emitters;  // all of stream 1; listener at the origin
    std::array<float, 3> right;
    float gain;
    float pan;
};

class EmitterGain : public ::testing::TestWithParam<GainCase> {};

TEST_P(EmitterGain, LoudestEmitterSetsGainAndPan) {
    const GainCase& c = GetParam();
    Rig rig;
    rig.scene.entities = c.emitters;
    rig.right = c.right;
    rig.frame();
    const auto& call = rig.lastCallOf(1);
    EXPECT_NEAR(call.volume, c.gain, 1e-5) << c.name;
    EXPECT_NEAR(call.pan, c.pan, 1e-5) << c.name;
    EXPECT_NEAR(rig.audio.streams().at(1).gain, c.gain, 1e-5);
    EXPECT_NEAR(rig.audio.streams().at(1).pan, c.pan, 1e-5);
}

const std::array<float, 3> kRightX{1, 0, 0};
// The camera turned a quarter: yaw pi/2 gives right = (0, -1, 0).
const std::array<float, 3> kRightMinusY{0, -1, 0};

INSTANTIATE_TEST_SUITE_P(
    Cases, EmitterGain,
    ::testing::Values(
        // the ear is 0.5 above the feet
        GainCase{"near and far",
                 {audioEntity(1, 1, 1, 0, 0, 0, 10), audioEntity(2, 1, 1, 20, 0, 0, 100)},
                 kRightX,
                 0.65f * 0.95f * 0.95f,
                 0.0f},
        GainCase{"far one louder",
                 {audioEntity(1, 1, 1, 0, 0, 0, 1), audioEntity(2, 1, 1, 20, 0, 0.5f, 200)},
                 kRightX,
                 0.65f * 0.9f * 0.9f,
                 1.0f},
        GainCase{"exactly at the radius", {audioEntity(1, 1, 1, 10, 0, 0.5f, 10)}, kRightX, 0.0f, 0.0f},
        GainCase{"beyond the radius", {audioEntity(1, 1, 1, 30, 0, 0.5f, 10)}, kRightX, 0.0f, 0.0f},
        GainCase{"radius 0 anywhere", {audioEntity(1, 1, 1, 3000, 0, 0, 0)}, kRightX, 0.65f, 0.0f},
        GainCase{"radius 0 beats a quieter one",
                 {audioEntity(1, 1, 1, 4, 0, 0.5f, 8), audioEntity(2, 1, 1, 900, 0, 0, 0)},
                 kRightX,
                 0.65f,
                 0.0f},
        GainCase{"4 right", {audioEntity(1, 1, 1, 4, 0, 0.5f, 100)}, kRightX, 0.65f * 0.96f * 0.96f, 0.5f},
        GainCase{"40 right", {audioEntity(1, 1, 1, 40, 0, 0.5f, 100)}, kRightX, 0.65f * 0.6f * 0.6f, 1.0f},
        GainCase{"4 left", {audioEntity(1, 1, 1, -4, 0, 0.5f, 100)}, kRightX, 0.65f * 0.96f * 0.96f, -0.5f},
        GainCase{"ahead", {audioEntity(1, 1, 1, 0, 40, 0.5f, 100)}, kRightX, 0.65f * 0.6f * 0.6f, 0.0f},
        GainCase{"40 away at 45 degrees",
                 {audioEntity(1, 1, 1, 28.284271f, 28.284271f, 0.5f, 100)},
                 kRightX,
                 0.65f * 0.6f * 0.6f,
                 0.70710678f},
        GainCase{"turned camera", {audioEntity(1, 1, 1, 0, -4, 0.5f, 100)}, kRightMinusY, 0.65f * 0.96f * 0.96f, 0.5f},
        GainCase{"height is not pan", {audioEntity(1, 1, 1, 0, 0, 6.5f, 12)}, kRightX, 0.65f * 0.5f * 0.5f, 0.0f}));

TEST(SceneAudio, SmallChangesAreNotSentToTheMixer) {
    Rig rig;
    rig.scene.entities = {audioEntity(1, 1, 1, 4, 0, 0.5f, 100)};
    rig.frame();
    ASSERT_EQ(rig.mixer.sourceCalls.size(), 1u);
    rig.listener.x = 0.01;  // gain moves by about 0.00013, pan by 0.0013
    rig.frame();
    EXPECT_EQ(rig.mixer.sourceCalls.size(), 1u);
    rig.listener.x = 0.1;  // pan moves by 0.0125 from the value sent
    rig.frame();
    EXPECT_EQ(rig.mixer.sourceCalls.size(), 2u);
    // Silence is always sent, however small the step to it.
    rig.scene.entities = {audioEntity(1, 1, 1, 0.5f, 0, 0.5f, 1)};
    rig.listener.x = 0.0;
    rig.frame();
    const float small = rig.audio.streams().at(1).gain;
    ASSERT_GT(small, 0.0f);
    ASSERT_LT(small, 0.005f * 40);
    rig.scene.entities = {audioEntity(1, 1, 1, 0.5f, 0, 0.5f, 0.5f)};
    rig.frame();
    EXPECT_EQ(rig.lastCallOf(1).volume, 0.0f);
    EXPECT_EQ(rig.audio.streams().at(1).gain, 0.0f);
}

TEST(SceneAudio, AStreamAtAVeryLowGainStillGetsItsSilence) {
    Rig rig;
    rig.scene.entities = {audioEntity(1, 1, 1, 0, 0, 0.5f + 0.95f, 1)};  // 0.65 x 0.05^2 = 0.0016
    rig.frame();
    ASSERT_NEAR(rig.audio.streams().at(1).gain, 0.001625f, 1e-5);
    const size_t calls = rig.mixer.sourceCalls.size();
    rig.scene.entities = {audioEntity(1, 1, 1, 0, 0, 0.5f + 1.0f, 1)};
    rig.frame();
    ASSERT_EQ(rig.mixer.sourceCalls.size(), calls + 1);
    EXPECT_EQ(rig.mixer.sourceCalls.back().volume, 0.0f);
}

struct LengthCase {
    const char* fixture;
    double duration;
    int rate;
    size_t samples;
};

class SegmentLength : public ::testing::TestWithParam<LengthCase> {};

TEST_P(SegmentLength, AnnouncedDurationWinsOverSmallDifferences) {
    const LengthCase c = GetParam();
    Rig rig(c.rate);
    rig.oneStream();
    rig.frame();
    const double start = rig.clock.now + 300.0;
    rig.scene.audioSegments.push_back(segment(1, 1, 0, start, c.duration, c.fixture));
    rig.runUntilIdle();
    ASSERT_EQ(rig.acceptedQueues(), 1u) << c.fixture;
    const MixerSegment& queued = rig.mixer.queueOf(1).front();
    EXPECT_EQ(queued.samples.size(), c.samples) << c.fixture << " announced " << c.duration;
    EXPECT_EQ(queued.startMs, start);
    EXPECT_EQ(rig.mixer.queueCalls.front().generation, 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, SegmentLength,
                         ::testing::Values(LengthCase{"segment_2000ms.ogg", 2.0, 48000, 96000},
                                           LengthCase{"segment_2000ms.ogg", 2.0, 44100, 88200},
                                           LengthCase{"segment_1950ms.ogg", 2.0, 48000, 96000},
                                           LengthCase{"segment_1950ms.ogg", 2.0, 44100, 88200},
                                           // 250 ms off: the decoded length stays (42998 x 48000 / 22050)
                                           LengthCase{"segment_1950ms.ogg", 2.2, 48000, 93601},
                                           // exactly 100 ms off still snaps
                                           LengthCase{"segment_2000ms.ogg", 2.1, 48000, 100800},
                                           LengthCase{"segment_3000ms.ogg", 3.0, 48000, 144000},
                                           LengthCase{"segment_2000ms.ogg", 2.0, 22050, 44100},
                                           // durations no server should send fall back to the decoded length
                                           LengthCase{"segment_2000ms.ogg", 1e12, 48000, 96000},
                                           LengthCase{"segment_2000ms.ogg", std::numeric_limits<double>::infinity(),
                                                      48000, 96000}));

TEST(SceneAudio, DecodedSegmentKeepsItsTone) {
    Rig rig(44100);
    rig.oneStream();
    rig.frame();
    rig.scene.audioSegments.push_back(segment(1, 1, 0, rig.clock.now + 100, 1.0, "segment_tone_1s.ogg"));
    rig.runUntilIdle();
    ASSERT_EQ(rig.acceptedQueues(), 1u);
    const std::vector<int16_t>& out = rig.mixer.queueOf(1).front().samples;
    ASSERT_EQ(out.size(), 44100u);
    // -3 dB: 0.708 of full scale
    EXPECT_NEAR(testing::toneAmplitude(out, 1000, 44100, 2000, 42000), 23197, 1200);
}

TEST(SceneAudio, RefusesSegmentsItCannotPlay) {
    struct Case {
        const char* name;
        const char* fixture;
        double duration;
    };
    for (const Case c : {Case{"over 66150 frames", "segment_over_3s.ogg", 3.0},
                         Case{"stereo", "segment_stereo.ogg", 1.0}, Case{"44100 Hz", "segment_44100.ogg", 1.0},
                         Case{"truncated", "truncated.ogg", 1.0}, Case{"sound clip rate", "rate_8000.ogg", 0.25}}) {
        Rig rig;
        rig.oneStream();
        rig.frame();
        const double start = rig.clock.now + 100;
        rig.scene.audioSegments.push_back(segment(1, 1, 0, start, c.duration, c.fixture));
        // The next good one is taken in the same frame.
        rig.scene.audioSegments.push_back(segment(1, 1, 1, start, 2.0));
        rig.frame();
        EXPECT_TRUE(rig.scene.audioSegments.empty()) << c.name;
        ASSERT_EQ(rig.mixer.queueCalls.size(), 1u) << c.name;
        EXPECT_EQ(rig.mixer.queueCalls[0].samples, 96000u) << c.name;
        EXPECT_EQ(rig.audio.streams().at(1).lastSeq, 1);
    }
}

TEST(SceneAudio, FirstSegmentOfAStreamIsAcceptedWhateverItsSeq) {
    // The stream's "none yet" of -1 must compare below every unsigned seq,
    // 0 included.
    for (uint32_t seq : {0u, 1u, 1000u, 2147483648u, 4294967295u}) {
        Rig rig;
        rig.oneStream();
        rig.frame();
        rig.scene.audioSegments.push_back(segment(1, 1, seq, rig.clock.now + 100, 2.0));
        rig.frame();
        EXPECT_EQ(rig.acceptedQueues(), 1u) << seq;
        EXPECT_EQ(rig.audio.streams().at(1).lastSeq, int64_t(seq));
    }
}

TEST(SceneAudio, SeqMustRiseWithinAGeneration) {
    Rig rig;
    rig.oneStream();
    rig.frame();
    const double start = rig.clock.now + 500;
    // seq 5, then 5 again, 3 (both old), 6, then an old generation.
    for (uint32_t seq : {5u, 5u, 3u, 6u}) rig.scene.audioSegments.push_back(segment(1, 1, seq, start, 2.0));
    rig.scene.audioSegments.push_back(segment(1, 0, 7, start, 2.0));
    rig.runUntilIdle();
    ASSERT_EQ(rig.mixer.queueCalls.size(), 2u);
    EXPECT_EQ(rig.audio.streams().at(1).lastSeq, 6);

    // A new generation starts the numbering over and refuses the old one.
    rig.oneStream(2);
    rig.scene.audioSegments.push_back(segment(1, 1, 8, start, 2.0));
    rig.scene.audioSegments.push_back(segment(1, 2, 0, start, 2.0));
    rig.runUntilIdle();
    ASSERT_EQ(rig.mixer.queueCalls.size(), 3u);
    EXPECT_EQ(rig.mixer.queueCalls[2].generation, 2);
    EXPECT_TRUE(rig.mixer.queueCalls[2].accepted);
    EXPECT_EQ(rig.audio.streams().at(1).lastSeq, 0);
}

TEST(SceneAudio, DiscardsSegmentsOfStreamsThatAreSilentOrNotChosen) {
    Rig rig;
    rig.scene.entities = {audioEntity(1, 1, 1, 50, 0, 0, 10)};  // out of reach: gain 0
    rig.frame();
    const double start = rig.clock.now + 100;
    rig.scene.audioSegments.push_back(segment(1, 1, 0, start, 2.0));
    rig.scene.audioSegments.push_back(segment(2, 1, 0, start, 2.0));  // no such stream
    rig.frame();
    EXPECT_TRUE(rig.scene.audioSegments.empty());
    EXPECT_FALSE(rig.audio.decoding() || rig.audio.resampling());
    EXPECT_TRUE(rig.mixer.queueCalls.empty());
    EXPECT_EQ(rig.audio.streams().at(1).lastSeq, -1) << "a discarded segment does not use up its seq";
}

TEST(SceneAudio, SegmentThatIsAlreadyOverIsDiscardedUndecoded) {
    Rig rig;
    rig.oneStream();
    rig.frame();
    // Ends exactly now: over.
    AudioSegment late = segment(1, 1, 0, rig.clock.now - 2000.0, 2.0);
    late.data = {1, 2, 3};  // would fail if it were opened
    rig.scene.audioSegments.push_back(late);
    rig.frame();
    EXPECT_TRUE(rig.scene.audioSegments.empty());
    EXPECT_EQ(rig.audio.streams().at(1).lastSeq, -1);
    // A segment that started 1.5 s ago but still runs is taken.
    rig.scene.audioSegments.push_back(segment(1, 1, 0, rig.clock.now - 1500.0, 2.0));
    rig.frame();
    EXPECT_EQ(rig.acceptedQueues(), 1u);
}

TEST(SceneAudio, AtMostOneSegmentReachesTheMixerPerFrame) {
    Rig rig;
    rig.oneStream();
    rig.frame();
    for (uint32_t seq = 0; seq < 3; ++seq)
        rig.scene.audioSegments.push_back(segment(1, 1, seq, rig.clock.now + 2000.0 * seq + 100, 2.0));
    for (size_t frame = 1; frame <= 3; ++frame) {
        rig.frame(true, 8.0);
        EXPECT_EQ(rig.mixer.queueCalls.size(), frame);
    }
    EXPECT_TRUE(rig.scene.audioSegments.empty());
}

TEST(SceneAudio, WorkIsSpreadOverFramesWithinTheBudget) {
    struct Case {
        double budgetMs;
        double msPerStep;  // the clock is read once per step
        size_t maxStepsPerFrame;
    };
    for (const Case c : {Case{2.0, 0.5, 5}, Case{0.0, 0.5, 2}, Case{100.0, 0.5, 17}, Case{2.0, 50.0, 1}}) {
        Rig rig;
        rig.oneStream();
        rig.frame();
        rig.scene.audioSegments.push_back(segment(1, 1, 0, rig.clock.now + 60000.0, 2.0));
        rig.clock.step = c.msPerStep;
        size_t lastDecoded = 0, lastPosition = 0;
        bool wasResampling = false;
        int frames = 0;
        while (rig.mixer.queueCalls.empty() && frames < 1000) {
            rig.frame(true, c.budgetMs);
            ++frames;
            // Each step decodes 1024 samples or resamples 1024 (a step that
            // ends decoding may start resampling at once).
            const size_t decodedSteps = (rig.audio.decodedCount() - lastDecoded + 1023) / 1024;
            const size_t resampledSteps = (rig.audio.resamplePosition() - lastPosition + 1023) / 1024;
            const size_t endOfStreamStep = rig.audio.resampling() && !wasResampling ? 1 : 0;
            wasResampling = rig.audio.resampling();
            if (rig.mixer.queueCalls.empty()) {
                ASSERT_GE(decodedSteps + resampledSteps + endOfStreamStep, 1u) << "at least one step per frame";
                ASSERT_LE(decodedSteps + resampledSteps + endOfStreamStep, c.maxStepsPerFrame + 1)
                    << "budget " << c.budgetMs;
            }
            lastDecoded = rig.audio.decodedCount();
            lastPosition = rig.audio.resamplePosition();
        }
        ASSERT_EQ(rig.mixer.queueCalls.size(), 1u);
        EXPECT_EQ(rig.mixer.queueCalls[0].samples, 96000u);
        // 44 decode steps, the end of the stream and 94 resampling steps.
        const int steps = 44 + 1 + 94;
        EXPECT_GE(frames, steps / int(c.maxStepsPerFrame + 1)) << "budget " << c.budgetMs;
    }
}

TEST(SceneAudio, SegmentInHandIsAbandonedWhenItsStreamGoesOrChanges) {
    struct Case {
        const char* name;
        std::vector<SceneEntity> entities;
        double clockJumpMs;
    };
    const Case cases[] = {
        {"stream gone", {audioEntity(1, 2, 1, 0, 0, 0, 0)}, 0},
        {"new generation", {audioEntity(1, 1, 2, 0, 0, 0, 0)}, 0},
        {"too late to play", {audioEntity(1, 1, 1, 0, 0, 0, 0)}, 3000},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.oneStream();
        rig.frame();
        rig.scene.audioSegments.push_back(segment(1, 1, 0, rig.clock.now + 500, 2.0));
        rig.clock.step = 0.5;
        rig.frame();  // a few steps of decoding, then the budget runs out
        ASSERT_TRUE(rig.audio.decoding()) << c.name;
        rig.clock.step = 0;
        rig.clock.now += c.clockJumpMs;
        rig.scene.entities = c.entities;
        rig.frame();
        EXPECT_FALSE(rig.audio.decoding() || rig.audio.resampling()) << c.name;
        EXPECT_EQ(rig.audio.decodedCount(), 0u) << c.name;
        EXPECT_TRUE(rig.mixer.queueCalls.empty()) << c.name;
    }
}

TEST(SceneAudio, DisabledStopsEverythingAndThrowsQueuedSegmentsAway) {
    Rig rig;
    rig.scene.entities = {audioEntity(1, 1, 1, 0, 0, 0, 0), audioEntity(2, 3, 1, 0, 0, 0, 0)};
    rig.frame();
    rig.scene.audioSegments.push_back(segment(1, 1, 0, rig.clock.now + 500, 2.0));
    rig.scene.audioSegments.push_back(segment(3, 1, 0, rig.clock.now + 500, 2.0));
    rig.clock.step = 0.5;
    rig.frame();
    ASSERT_TRUE(rig.audio.decoding());
    rig.frame(false);
    EXPECT_FALSE(rig.audio.decoding() || rig.audio.resampling());
    EXPECT_TRUE(rig.scene.audioSegments.empty());
    EXPECT_TRUE(rig.audio.streams().empty());
    EXPECT_TRUE(rig.mixer.core.sources().empty());
    EXPECT_EQ(std::set<int>(rig.mixer.removed.begin(), rig.mixer.removed.end()), (std::set<int>{1, 3}));

    // Every disabled frame empties the queue again.
    rig.scene.audioSegments.push_back(segment(1, 1, 1, rig.clock.now + 500, 2.0));
    rig.frame(false);
    EXPECT_TRUE(rig.scene.audioSegments.empty());
    EXPECT_TRUE(rig.mixer.queueCalls.empty());
}

TEST(SceneAudio, ShutdownClosesTheMixer) {
    Rig rig;
    rig.oneStream();
    rig.frame();
    rig.audio.shutdown();
    EXPECT_TRUE(rig.audio.streams().empty());
    EXPECT_EQ(rig.mixer.deviceRate(), 0);
}

TEST(SceneAudio, WithoutADeviceTheWorkStillRuns) {
    Rig rig(44100, false);
    rig.oneStream();
    rig.scene.audioSegments.push_back(segment(1, 1, 0, rig.clock.now + 500, 2.0));
    rig.runUntilIdle();
    // Decoded and resampled at 48000 all the same; the closed mixer drops it.
    EXPECT_TRUE(rig.scene.audioSegments.empty());
    EXPECT_EQ(rig.audio.streams().at(1).lastSeq, 0);
    EXPECT_FALSE(rig.audio.decoding() || rig.audio.resampling());
    EXPECT_TRUE(rig.mixer.queueCalls.empty());
}

}  // namespace
}  // namespace vobu
