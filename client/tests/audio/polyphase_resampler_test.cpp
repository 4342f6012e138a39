#include "audio/polyphase_resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "audio/audio_test_support.h"

namespace vobu {
namespace {

using testing::sine;
using testing::toneAmplitude;

struct BankCase {
    int rate;
    int divisor;
    int phases;
};

class FilterBank : public ::testing::TestWithParam<BankCase> {};

TEST_P(FilterBank, ShapeFollowsTheRate) {
    const BankCase c = GetParam();
    PolyphaseResampler resampler;
    resampler.setOutputRate(c.rate);
    EXPECT_EQ(resampler.outputRate(), c.rate);
    EXPECT_EQ(resampler.commonDivisor(), c.divisor);
    EXPECT_EQ(resampler.phases(), c.phases);
    ASSERT_EQ(resampler.taps().size(), size_t(c.phases) * 48);
    for (int p = 0; p < c.phases; ++p) {
        const float* taps = &resampler.taps()[size_t(p) * 48];
        EXPECT_NEAR(std::accumulate(taps, taps + 48, 0.0), 1.0, 1e-5) << "unity gain in phase " << p;
    }
    if (c.phases > 0) {
        // Phase 0 sits on an input sample: its centre tap is the peak.
        const float* phase0 = resampler.taps().data();
        EXPECT_EQ(std::max_element(phase0, phase0 + 48) - phase0, 23);
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, FilterBank,
                         ::testing::Values(BankCase{48000, 150, 320}, BankCase{44100, 22050, 2},
                                           BankCase{22050, 22050, 1}, BankCase{96000, 150, 640},
                                           BankCase{44101, 1, 1024}, BankCase{0, 22050, 0}));

TEST(PolyphaseResampler, UsableAt48000BeforeAnyRateIsSet) {
    const PolyphaseResampler resampler;
    EXPECT_EQ(resampler.outputRate(), 48000);
    EXPECT_EQ(resampler.taps().size(), 320u * 48);
}

std::vector<int16_t> run(const PolyphaseResampler& resampler, const std::vector<int16_t>& in, size_t n) {
    std::vector<int16_t> out(n);
    // In uneven steps, as the frame budget would cut them.
    for (size_t begin = 0; begin < n; begin += 700)
        resampler.resample(in.data(), in.size(), out.data(), n, begin, begin + 700);
    return out;
}

TEST(PolyphaseResampler, SameRateAndLengthCopies) {
    PolyphaseResampler resampler;
    resampler.setOutputRate(22050);
    const std::vector<int16_t> in = sine(3000, 22050, 5000, 30000);
    EXPECT_EQ(run(resampler, in, in.size()), in);
}

TEST(PolyphaseResampler, ConstantStaysConstant) {
    for (int rate : {44100, 48000, 96000, 44101}) {
        PolyphaseResampler resampler;
        resampler.setOutputRate(rate);
        const std::vector<int16_t> in(2205, 12345);
        for (int16_t s : run(resampler, in, in.size() * size_t(rate) / 22050)) ASSERT_NEAR(s, 12345, 2) << rate;
    }
}

TEST(PolyphaseResampler, TonesKeepLevelAndImagesAreRejected) {
    for (int rate : {44100, 48000}) {
        PolyphaseResampler resampler;
        resampler.setOutputRate(rate);
        const std::vector<int16_t> in = sine(5000, 22050, 22050, 20000);
        const std::vector<int16_t> out = run(resampler, in, size_t(rate));
        EXPECT_NEAR(toneAmplitude(out, 5000, rate, 1000, out.size() - 1000), 20000, 200) << rate;
        EXPECT_LT(toneAmplitude(out, 22050 - 5000, rate, 1000, out.size() - 1000), 20.0) << rate;
    }
}

TEST(PolyphaseResampler, StretchesTheWholeInputOverTheWholeOutput) {
    // A slow ramp stretched to a length 5 % longer than its natural one: the
    // output still ends where the input ends, with no gap.
    PolyphaseResampler resampler;
    resampler.setOutputRate(48000);
    std::vector<int16_t> in(22050);
    for (size_t i = 0; i < in.size(); ++i) in[i] = int16_t(i);
    const size_t n = 50400;
    const std::vector<int16_t> out = run(resampler, in, n);
    EXPECT_NEAR(out[n / 2], 11025, 3);
    EXPECT_NEAR(out[n - 200], double(in.size()) * double(n - 200) / double(n), 3);
    for (size_t i = 100; i + 100 < n; ++i) ASSERT_LE(out[i - 1], out[i] + 1) << "the ramp only climbs";
}

TEST(PolyphaseResampler, SaturatesInsteadOfWrapping) {
    PolyphaseResampler resampler;
    resampler.setOutputRate(48000);
    // A full-scale square wave overshoots at its edges (Gibbs).
    std::vector<int16_t> in(4410);
    for (size_t i = 0; i < in.size(); ++i) in[i] = (i / 50) % 2 ? int16_t(-32768) : int16_t(32767);
    const std::vector<int16_t> out = run(resampler, in, 9600);
    int16_t highest = 0;
    for (size_t i = 0; i < 200; ++i) highest = std::max(highest, out[i]);
    EXPECT_EQ(highest, 32767);
}

}  // namespace
}  // namespace vobu
