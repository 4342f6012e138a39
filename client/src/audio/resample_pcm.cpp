#include "audio/resample_pcm.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vobu {

namespace {

constexpr double kPi = std::numbers::pi;

int16_t roundToSample(double value) {
    return static_cast<int16_t>(std::clamp(std::round(value), -32768.0, 32767.0));
}

// Blackman-windowed sinc with cutoff `cutoff` (fraction of the source Nyquist
// frequency) at distance `w` source frames, the window spanning `halfWidth`.
double tapWeight(double w, double cutoff, int64_t halfWidth) {
    const double a = w / double(halfWidth);
    if (std::fabs(a) >= 1.0)
        return 0.0;
    const double x = kPi * cutoff * w;
    const double sinc = std::fabs(x) < 1e-9 ? cutoff : cutoff * std::sin(x) / x;
    const double window = 0.42 + 0.5 * std::cos(kPi * a) + 0.08 * std::cos(2.0 * kPi * a);
    return sinc * window;
}

} // namespace

std::vector<int16_t> resamplePcm(const std::vector<int16_t>& samples, int channels, int fromRate, int toRate) {
    if ((channels != 1 && channels != 2) || fromRate <= 0 || toRate <= 0 || samples.empty() ||
        fromRate == toRate || samples.size() < size_t(channels))
        return samples;

    const int64_t frames = int64_t(samples.size()) / channels;
    const int64_t outFrames = int64_t(toRate) * frames / fromRate;
    const double cutoff = std::min(double(toRate) / double(fromRate), 1.0) * 0.94;
    const int64_t halfWidth = int64_t(std::ceil(24.0 / cutoff));

    std::vector<int16_t> out(size_t(outFrames) * size_t(channels));
    std::vector<double> weights(size_t(2 * halfWidth));
    for (int64_t i = 0; i < outFrames; ++i) {
        const double position = double(fromRate) * double(i) / double(toRate);
        const int64_t base = int64_t(std::floor(position));
        const int64_t firstTap = base - halfWidth + 1;
        double weightSum = 0.0;
        for (int64_t t = 0; t < 2 * halfWidth; ++t) {
            weights[size_t(t)] = tapWeight(position - double(firstTap + t), cutoff, halfWidth);
            weightSum += weights[size_t(t)];
        }
        if (std::fabs(weightSum) < 1e-9)
            weightSum = 1.0;
        for (int c = 0; c < channels; ++c) {
            double acc = 0.0;
            for (int64_t t = 0; t < 2 * halfWidth; ++t) {
                // Beyond the ends the first and last frames repeat.
                const int64_t j = std::clamp<int64_t>(firstTap + t, 0, frames - 1);
                acc += double(samples[size_t(j * channels + c)]) * weights[size_t(t)];
            }
            out[size_t(i * channels + c)] = roundToSample(acc / weightSum);
        }
    }
    return out;
}

} // namespace vobu
