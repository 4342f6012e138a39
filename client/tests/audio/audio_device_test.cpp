// The mixer on real SDL audio drivers: "dummy" (no output), a driver that
// does not exist (open fails) and "disk", which writes the stream to a raw
// file in real time; sox measures the file.

#include "audio/audio_mixer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>

#include "audio/audio_test_support.h"
#include "audio/scene_audio.h"
#include "platform/performance_clock.h"

namespace vobu {
namespace {

// Leaves SDL's audio subsystem fully shut, so the next test picks its driver.
void shutSdlAudio() {
    while (SDL_WasInit(SDL_INIT_AUDIO) != 0) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

class AudioDriver : public ::testing::Test {
protected:
    void useDriver(const char* driver) {
        shutSdlAudio();
        setenv("SDL_AUDIODRIVER", driver, 1);
    }
    void TearDown() override {
        mixer.close();
        shutSdlAudio();
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
    }
    AudioMixer mixer;
};

TEST_F(AudioDriver, ClosedMixerIgnoresEveryCall) {
    EXPECT_EQ(mixer.deviceRate(), 0);
    mixer.setSource(1, 1, 1.0f, 0.0f);
    EXPECT_FALSE(mixer.queueSegment(1, 1, performanceMs(), std::vector<int16_t>(100, 1)));
    mixer.removeSource(1);
    mixer.close();
    EXPECT_EQ(mixer.deviceRate(), 0);
}

TEST_F(AudioDriver, FailedOpenLeavesTheMixerClosedAndSilent) {
    useDriver("no-such-driver");
    mixer.open();
    EXPECT_EQ(mixer.deviceRate(), 0);
    mixer.setSource(1, 1, 1.0f, 0.0f);
    EXPECT_FALSE(mixer.queueSegment(1, 1, performanceMs(), std::vector<int16_t>(100, 1)));
}

TEST_F(AudioDriver, DummyDeviceOpensOnceAndCloseForgetsTheSources) {
    useDriver("dummy");
    mixer.open();
    ASSERT_EQ(mixer.deviceRate(), 48000);
    EXPECT_EQ(mixer.deviceFormat().format, AUDIO_S16LSB);
    EXPECT_EQ(mixer.deviceFormat().channels, 2);
    mixer.open();  // already open: nothing happens
    mixer.setSource(1, 1, 1.0f, 0.0f);
    EXPECT_TRUE(mixer.queueSegment(1, 1, performanceMs() + 5000, std::vector<int16_t>(100, 1)));
    EXPECT_FALSE(mixer.queueSegment(2, 1, performanceMs(), std::vector<int16_t>(100, 1)));
    mixer.close();
    EXPECT_EQ(mixer.deviceRate(), 0);
    // Open again: the old source is gone.
    mixer.open();
    ASSERT_EQ(mixer.deviceRate(), 48000);
    EXPECT_FALSE(mixer.queueSegment(1, 1, performanceMs(), std::vector<int16_t>(100, 1)));
}

// Runs a shell command and returns what it printed (stdout and stderr).
std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return out;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
    pclose(pipe);
    return out;
}

// The number after `key` in sox's output ("Samples read: 123").
double numberAfter(const std::string& text, const std::string& key, int column = 0) {
    const size_t at = text.find(key);
    if (at == std::string::npos) return NAN;
    std::istringstream in(text.substr(at + key.size()));
    double value = NAN;
    for (int i = 0; i <= column; ++i) in >> value;
    return value;
}

class DiskOutput : public AudioDriver {
protected:
    void SetUp() override {
        ASSERT_FALSE(run("command -v sox").empty()) << "sox is needed to measure the output";
        file = std::filesystem::temp_directory_path() /
               ("vobu_audio_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".raw");
    }
    void TearDown() override {
        AudioDriver::TearDown();
        std::filesystem::remove(file);
    }
    void openDisk() {
        useDriver("disk");
        setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
        mixer.open();
    }
    std::string soxInput() const { return "sox -t raw -r 48000 -e signed-integer -b 16 -c 2 '" + file.string() + "'"; }
    // Sample frames in the file before the first one louder than 0.5 % of
    // full scale, from `fromFrame` on.
    double onsetFrame(double fromFrame) const {
        const std::string out =
            run(soxInput() + " -n remix 1 trim " + std::to_string(int64_t(fromFrame)) + "s silence 1 1s 0.5% stat");
        const double total = std::filesystem::file_size(file) / 4.0;
        return total - numberAfter(out, "Samples read:");
    }

    std::filesystem::path file;
};

TEST_F(DiskOutput, SegmentsStartOnTheMixerClock) {
    // Real time on a busy machine may stall the audio thread past the
    // resynchronisation limit; a true fault fails every attempt.
    std::string failures;
    for (int attempt = 0; attempt < 3; ++attempt) {
        openDisk();
        ASSERT_EQ(mixer.deviceRate(), 48000);
        mixer.setSource(1, 1, 1.0f, 0.0f);
        const double now = performanceMs();
        const std::vector<int16_t> beep = testing::sine(1000, 48000, 12000, 20000);
        ASSERT_TRUE(mixer.queueSegment(1, 1, now + 300.0, std::vector<int16_t>(beep)));
        ASSERT_TRUE(mixer.queueSegment(1, 1, now + 800.0, std::vector<int16_t>(beep)));
        std::this_thread::sleep_for(std::chrono::milliseconds(1400));
        mixer.close();

        const double first = onsetFrame(0);
        const double second = onsetFrame(first + 19200);  // 400 ms on: past the first beep
        const double apartMs = (second - first) * 1000.0 / 48000;
        const double firstMs = first * 1000.0 / 48000;
        if (std::fabs(apartMs - 500.0) <= 1.0 && firstMs > 150 && firstMs < 450) return;
        failures += "attempt " + std::to_string(attempt) + ": first at " + std::to_string(firstMs) + " ms, apart " +
                    std::to_string(apartMs) + " ms\n";
        shutSdlAudio();
    }
    FAIL() << failures;
}

TEST_F(DiskOutput, SourceOnTheRightIsLouderOnTheRight) {
    openDisk();
    ASSERT_EQ(mixer.deviceRate(), 48000);
    SceneAudio audio(mixer);
    audio.initialize();
    ASSERT_EQ(audio.outputRate(), 48000);

    Scene scene;
    // 4 units to the right, at ear height: gain 0.65 x 0.9^2, pan 0.5
    scene.entities = {testing::audioEntity(1, 2, 1, 4, 0, 0.5f, 40)};
    AudioSegment tone;
    tone.streamId = 2;
    tone.generation = 1;
    tone.seq = 0;
    tone.startMs = performanceMs() + 400.0;
    tone.duration = 1.0;
    tone.data = testing::readFixture("segment_tone_1s.ogg");
    scene.audioSegments = {tone};

    const MoveState listener;
    for (int frame = 0; frame < 200 && (!scene.audioSegments.empty() || audio.decoding() || audio.resampling());
         ++frame)
        audio.update(scene, listener, {1.0f, 0.0f, 0.0f}, true, 8.0);
    ASSERT_FALSE(audio.decoding() || audio.resampling());
    std::this_thread::sleep_for(std::chrono::milliseconds(1600));
    mixer.close();

    const std::string stats = run(soxInput() + " -n silence 1 1s 0.5% trim 0.1 0.7 stats");
    const double left = numberAfter(stats, "RMS lev dB", 1);
    const double right = numberAfter(stats, "RMS lev dB", 2);
    // A -3 dB sine (RMS -6.0 dBFS) at gain 0.5265: left x 0.5, right x 0.866.
    const double sineRms = 20 * std::log10(0.70795 / std::sqrt(2.0));
    EXPECT_NEAR(right, sineRms + 20 * std::log10(0.5265 * 0.8660254), 0.5) << stats;
    EXPECT_NEAR(left, sineRms + 20 * std::log10(0.5265 * 0.5), 0.5) << stats;
    EXPECT_NEAR(right - left, 4.77, 0.2) << stats;
}

}  // namespace
}  // namespace vobu
