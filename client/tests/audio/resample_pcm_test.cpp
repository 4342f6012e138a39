#include "audio/resample_pcm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "audio/audio_test_support.h"

namespace vobu {
namespace {

using testing::sine;
using testing::toneAmplitude;

struct CountCase {
    int channels;
    int from;
    int to;
    size_t inputFrames;
    size_t outputFrames;
};

class ResampleCounts : public ::testing::TestWithParam<CountCase> {};

TEST_P(ResampleCounts, OutputFramesAreTheRatioWithTheFractionDropped) {
    const CountCase c = GetParam();
    const std::vector<int16_t> in(c.inputFrames * size_t(c.channels), 100);
    EXPECT_EQ(resamplePcm(in, c.channels, c.from, c.to).size(), c.outputFrames * size_t(c.channels));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResampleCounts,
    ::testing::Values(CountCase{1, 22050, 48000, 22050, 48000}, CountCase{1, 22050, 44100, 22050, 44100},
                      CountCase{2, 22050, 48000, 22050, 48000}, CountCase{2, 48000, 44100, 1000, 918},  // 918.75
                      CountCase{1, 96000, 48000, 96001, 48000}, CountCase{1, 8000, 44100, 80000, 441000},
                      CountCase{1, 22050, 48000, 1, 2}, CountCase{1, 48000, 22050, 1, 0}));

struct UnchangedCase {
    const char* name;
    std::vector<int16_t> samples;
    int channels;
    int from;
    int to;
};

TEST(ResamplePcm, ReturnsTheInputWhenThereIsNothingToDo) {
    const std::vector<int16_t> some{1, -2, 3, -4, 5, -6};
    const UnchangedCase cases[] = {
        {"three channels", some, 3, 22050, 48000},      {"no channels", some, 0, 22050, 48000},
        {"source rate 0", some, 1, 0, 48000},           {"target rate negative", some, 1, 22050, -1},
        {"equal rates", some, 2, 44100, 44100},         {"empty", {}, 1, 22050, 48000},
        {"half a stereo frame", {42}, 2, 22050, 48000},
    };
    for (const UnchangedCase& c : cases)
        EXPECT_EQ(resamplePcm(c.samples, c.channels, c.from, c.to), c.samples) << c.name;
}

TEST(ResamplePcm, SingleSampleRepeatsAtTheEdges) {
    EXPECT_EQ(resamplePcm({1234}, 1, 22050, 48000), (std::vector<int16_t>{1234, 1234}));
    EXPECT_EQ(resamplePcm({-32768}, 1, 22050, 48000), (std::vector<int16_t>{-32768, -32768}));
}

TEST(ResamplePcm, ConstantStaysConstantUpAndDown) {
    for (auto [from, to] : {std::pair{22050, 48000}, std::pair{22050, 44100}, std::pair{96000, 44100},
                            std::pair{8000, 48000}, std::pair{48000, 8000}}) {
        const std::vector<int16_t> in(size_t(from) / 10, -7000);
        for (int16_t s : resamplePcm(in, 1, from, to)) ASSERT_NEAR(s, -7000, 1) << from << " -> " << to;
    }
}

TEST(ResamplePcm, StereoChannelsStaySeparate) {
    std::vector<int16_t> in;
    for (int i = 0; i < 2205; ++i) {
        in.push_back(1000);
        in.push_back(-2000);
    }
    const std::vector<int16_t> out = resamplePcm(in, 2, 22050, 48000);
    ASSERT_EQ(out.size(), 4800u * 2);
    for (size_t i = 0; i < out.size(); i += 2) {
        ASSERT_NEAR(out[i], 1000, 1);
        ASSERT_NEAR(out[i + 1], -2000, 1);
    }
}

TEST(ResamplePcm, TonesInThePassbandKeepTheirLevel) {
    for (int to : {44100, 48000}) {
        const std::vector<int16_t> out = resamplePcm(sine(1000, 22050, 22050, 20000), 1, 22050, to);
        EXPECT_NEAR(toneAmplitude(out, 1000, to, 1000, size_t(to) - 1000), 20000, 200) << to;
    }
}

// Going down, a tone above the new Nyquist frequency must not fold back.
TEST(ResamplePcm, RejectsTonesAboveTheNewNyquistFrequency) {
    struct Case {
        int from;
        int to;
        double tone;
        double aliasAt;
    };
    for (const Case c : {Case{96000, 44100, 30000, 44100 - 30000}, Case{96000, 48000, 30000, 48000 - 30000},
                         Case{48000, 22050, 15000, 22050 - 15000}}) {
        const std::vector<int16_t> out = resamplePcm(sine(c.tone, c.from, size_t(c.from), 20000), 1, c.from, c.to);
        double peak = 0;
        for (size_t i = 500; i + 500 < out.size(); ++i) peak = std::max(peak, std::fabs(double(out[i])));
        EXPECT_LT(peak, 20.0) << c.from << " -> " << c.to << ": the tone must be gone (-60 dB)";
        EXPECT_LT(toneAmplitude(out, c.aliasAt, c.to, 500, out.size() - 500), 5.0);
    }
}

// Going up, the images of a tone mirrored about the old Nyquist frequency
// must stay out of the new band.
TEST(ResamplePcm, RejectsImagesWhenGoingUp) {
    for (int to : {44100, 48000}) {
        const std::vector<int16_t> out = resamplePcm(sine(5000, 22050, 22050, 20000), 1, 22050, to);
        const double tone = toneAmplitude(out, 5000, to, 1000, out.size() - 1000);
        const double image = toneAmplitude(out, 22050 - 5000, to, 1000, out.size() - 1000);
        EXPECT_NEAR(tone, 20000, 200);
        EXPECT_LT(image, 20.0) << to;
    }
}

// The filter written out term by term, one output frame at a time.
std::vector<int16_t> referenceResample(const std::vector<int16_t>& in, int channels, int from, int to) {
    const int64_t frames = int64_t(in.size()) / channels;
    const int64_t outFrames = int64_t(to) * frames / from;
    const double d = std::min(double(to) / from, 1.0) * 0.94;
    const int64_t g = int64_t(std::ceil(24.0 / d));
    const double pi = std::numbers::pi;
    std::vector<int16_t> out;
    for (int64_t i = 0; i < outFrames; ++i) {
        const double m = double(from) * double(i) / double(to);
        const int64_t o = int64_t(std::floor(m));
        for (int c = 0; c < channels; ++c) {
            double acc = 0, sum = 0;
            for (int64_t j = o - g + 1; j <= o + g; ++j) {
                const double w = m - double(j), a = w / double(g);
                double weight = 0;
                if (std::fabs(a) < 1) {
                    const double s = std::fabs(pi * d * w) < 1e-9 ? d : d * std::sin(pi * d * w) / (pi * d * w);
                    weight = s * (0.42 + 0.5 * std::cos(pi * a) + 0.08 * std::cos(2 * pi * a));
                }
                sum += weight;
                acc += double(in[size_t(std::clamp<int64_t>(j, 0, frames - 1) * channels + c)]) * weight;
            }
            if (std::fabs(sum) < 1e-9) sum = 1;
            out.push_back(int16_t(std::clamp(std::round(acc / sum), -32768.0, 32767.0)));
        }
    }
    return out;
}

TEST(ResamplePcm, MatchesTheFilterTermByTerm) {
    // Noise-like input exercises every tap; rate pairs with few and with
    // very many distinct source phases.
    std::vector<int16_t> in(4002);
    uint32_t state = 12345;
    for (int16_t& s : in) {
        state = state * 1664525u + 1013904223u;
        s = int16_t(state >> 16);
    }
    struct Case {
        int channels, from, to;
    };
    for (const Case c : {Case{1, 22050, 48000}, Case{2, 22050, 48000}, Case{2, 48000, 44100}, Case{1, 8000, 44100},
                         Case{1, 96000, 44100}, Case{1, 22050, 44101}, Case{2, 44101, 48000}}) {
        const std::vector<int16_t> expected = referenceResample(in, c.channels, c.from, c.to);
        const std::vector<int16_t> actual = resamplePcm(in, c.channels, c.from, c.to);
        ASSERT_EQ(actual.size(), expected.size());
        int worst = 0;
        for (size_t i = 0; i < actual.size(); ++i) worst = std::max(worst, std::abs(int(actual[i]) - int(expected[i])));
        EXPECT_LE(worst, 1) << c.channels << " ch " << c.from << " -> " << c.to;
    }
}

}  // namespace
}  // namespace vobu
