#include "audio/sound_clip.h"

#include <gtest/gtest.h>

#include <cmath>

#include "audio/audio_test_support.h"

namespace vobu {
namespace {

using testing::OfflineMixer;
using testing::readFixture;
using testing::SteppingClock;

std::vector<int16_t> clipSamples(const SoundClip& clip) {
    const std::vector<uint8_t>& bytes = clip.samples();
    std::vector<int16_t> out(bytes.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) out[i] = int16_t(uint16_t(bytes[2 * i]) | uint16_t(bytes[2 * i + 1]) << 8);
    return out;
}

struct ClipRig {
    explicit ClipRig(int rate, bool device = true) : mixer(rate, device), clip(mixer) {
        clip.setClock(std::ref(clock));
        clip.init();
    }
    OfflineMixer mixer;
    SteppingClock clock;
    SoundClip clip;
};

TEST(SoundClip, InitOpensTheMixerAndCentresSourceZero) {
    ClipRig rig(48000);
    EXPECT_EQ(rig.mixer.openCalls, 1);
    EXPECT_EQ(rig.clip.format().freq, 48000);
    EXPECT_EQ(rig.clip.format().channels, 1);
    EXPECT_EQ(rig.clip.format().format, AUDIO_S16LSB);
    const MixerSource& source = rig.mixer.core.sources().at(0);
    EXPECT_EQ(source.generation, 1);
    EXPECT_NEAR(source.leftGain, 0.7071, 1e-4);
    EXPECT_NEAR(source.rightGain, 0.7071, 1e-4);
}

struct LoadCase {
    const char* fixture;
    int deviceRate;
    bool loads;
    size_t samples;  // mono samples at the device rate when it loads
};

class ClipLoading : public ::testing::TestWithParam<LoadCase> {};

TEST_P(ClipLoading, DecodesToMonoAtTheDeviceRateWithinTheLimits) {
    const LoadCase c = GetParam();
    ClipRig rig(c.deviceRate);
    const std::vector<uint8_t> bytes = readFixture(c.fixture);
    ASSERT_FALSE(bytes.empty()) << c.fixture;
    EXPECT_EQ(rig.clip.load(bytes, "hash-1"), c.loads) << c.fixture;
    if (c.loads) {
        EXPECT_EQ(rig.clip.key(), "hash-1");
        EXPECT_EQ(rig.clip.samples().size(), c.samples * 2) << c.fixture;
    } else {
        EXPECT_EQ(rig.clip.key(), "");
        EXPECT_TRUE(rig.clip.samples().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ClipLoading,
    ::testing::Values(
        LoadCase{"clip_mono_22050_1s.ogg", 48000, true, 48000}, LoadCase{"clip_mono_22050_1s.ogg", 44100, true, 44100},
        LoadCase{"clip_stereo_22050_1s.ogg", 48000, true, 48000},
        LoadCase{"clip_stereo_22050_1s.ogg", 44100, true, 44100}, LoadCase{"join_stereo_48000.ogg", 48000, true, 24000},
        LoadCase{"join_stereo_48000.ogg", 44100, true, 22050}, LoadCase{"rate_8000.ogg", 48000, true, 12000},
        LoadCase{"rate_96000.ogg", 48000, true, 12000}, LoadCase{"rate_7999.ogg", 48000, false, 0},
        LoadCase{"rate_96001.ogg", 48000, false, 0}, LoadCase{"three_channels.ogg", 48000, false, 0},
        LoadCase{"truncated.ogg", 48000, false, 0}, LoadCase{"ten_seconds_8000.ogg", 44100, true, 441000},
        LoadCase{"ten_seconds_plus_one.ogg", 44100, false, 0}));

TEST(SoundClip, GarbageAndEmptyBytesAreRefused) {
    ClipRig rig(48000);
    EXPECT_FALSE(rig.clip.load({}, "a"));
    EXPECT_FALSE(rig.clip.load(std::vector<uint8_t>(4000, 0x4f), "b"));
    EXPECT_TRUE(rig.clip.samples().empty());
}

TEST(SoundClip, DecodedSoundKeepsItsToneAndLevel) {
    // The stereo fixture carries the same 440 Hz sine at -6 dB in both
    // channels; the mono mix keeps it.
    for (const char* fixture : {"clip_mono_22050_1s.ogg", "clip_stereo_22050_1s.ogg"}) {
        ClipRig rig(48000);
        ASSERT_TRUE(rig.clip.load(readFixture(fixture), "k"));
        const std::vector<int16_t> samples = clipSamples(rig.clip);
        EXPECT_NEAR(testing::toneAmplitude(samples, 440, 48000, 4800, 43200), 16423, 800) << fixture;
    }
}

TEST(SoundClip, SameKeyDecodesOnceAndANewKeyReplaces) {
    ClipRig rig(48000);
    ASSERT_TRUE(rig.clip.load(readFixture("clip_mono_22050_1s.ogg"), "first"));
    const std::vector<uint8_t> first = rig.clip.samples();
    // The same key is taken as loaded without looking at the bytes.
    EXPECT_TRUE(rig.clip.load(std::vector<uint8_t>(10, 0), "first"));
    EXPECT_EQ(rig.clip.samples(), first);
    ASSERT_TRUE(rig.clip.load(readFixture("join_stereo_48000.ogg"), "second"));
    EXPECT_EQ(rig.clip.key(), "second");
    EXPECT_EQ(rig.clip.samples().size(), 48000u);
}

TEST(SoundClip, WithoutADeviceLoadingSucceedsAndPlayingIsSilent) {
    ClipRig rig(48000, false);
    EXPECT_EQ(rig.clip.format().freq, 0);
    EXPECT_TRUE(rig.clip.load(readFixture("clip_mono_22050_1s.ogg"), "k"));
    EXPECT_EQ(rig.clip.key(), "k");
    EXPECT_TRUE(rig.clip.samples().empty());
    rig.clip.play();
    EXPECT_TRUE(rig.mixer.queueCalls.empty());
    // Still checked: a broken sound fails even without a device.
    EXPECT_FALSE(rig.clip.load(readFixture("rate_7999.ogg"), "other"));
}

TEST(SoundClip, PlayQueuesACopyNowAndFiveQuickPlaysSoundFourTimes) {
    ClipRig rig(48000);
    ASSERT_TRUE(rig.clip.load(readFixture("clip_mono_22050_1s.ogg"), "k"));
    rig.clock.now = 7777.0;
    for (int i = 0; i < 5; ++i) rig.clip.play();
    ASSERT_EQ(rig.mixer.queueCalls.size(), 5u);
    EXPECT_EQ(rig.mixer.queueOf(0).size(), 4u);
    EXPECT_FALSE(rig.mixer.queueCalls[4].accepted);
    const MixerSegment& segment = rig.mixer.queueOf(0).front();
    EXPECT_EQ(segment.startMs, 7777.0);
    EXPECT_EQ(segment.samples, clipSamples(rig.clip));
    EXPECT_EQ(rig.clip.samples().size(), 96000u) << "the clip keeps its own samples";
}

TEST(SoundClip, StopRemovesTheSourceAndLaterPlaysAreDropped) {
    ClipRig rig(48000);
    ASSERT_TRUE(rig.clip.load(readFixture("clip_mono_22050_1s.ogg"), "k"));
    rig.clip.stop();
    EXPECT_TRUE(rig.mixer.core.sources().empty());
    EXPECT_EQ(rig.clip.key(), "");
    EXPECT_TRUE(rig.clip.samples().empty());
    rig.clip.play();
    EXPECT_TRUE(rig.mixer.queueCalls.empty());
}

TEST(SoundClip, DestructionRemovesSourceZero) {
    OfflineMixer mixer(48000);
    {
        SoundClip clip(mixer);
        clip.init();
        mixer.setSource(5, 1, 1.0f, 0.0f);
    }
    EXPECT_EQ(mixer.core.sources().count(0), 0u);
    EXPECT_EQ(mixer.core.sources().count(5), 1u);
}

}  // namespace
}  // namespace vobu
