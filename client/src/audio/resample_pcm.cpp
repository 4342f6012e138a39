#include "audio/resample_pcm.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "audio/windowed_sinc.h"

namespace vobu {

namespace {

int16_t roundToSample(double value) { return static_cast<int16_t>(std::clamp(std::round(value), -32768.0, 32767.0)); }

// The taps of one output frame: its weights over the source frames
// firstTap .. firstTap + weights.size() - 1, and their sum.
struct TapSet {
    std::vector<double> weights;
    double sum = 1.0;
};

TapSet tapsAt(double position, int64_t firstTap, double cutoff, int64_t halfWidth) {
    TapSet taps;
    taps.weights.resize(size_t(2 * halfWidth));
    double sum = 0.0;
    for (int64_t t = 0; t < 2 * halfWidth; ++t) {
        taps.weights[size_t(t)] = windowedSincTap(position - double(firstTap + t), cutoff, halfWidth);
        sum += taps.weights[size_t(t)];
    }
    taps.sum = std::fabs(sum) < 1e-9 ? 1.0 : sum;
    return taps;
}

void filterFrame(const std::vector<int16_t>& samples, int channels, int64_t frames, int64_t firstTap,
                 const TapSet& taps, int16_t* out) {
    const int64_t count = int64_t(taps.weights.size());
    const bool inside = firstTap >= 0 && firstTap + count <= frames;
    for (int c = 0; c < channels; ++c) {
        double acc = 0.0;
        if (inside) {
            const int16_t* source = &samples[size_t(firstTap * channels + c)];
            for (int64_t t = 0; t < count; ++t) acc += double(source[t * channels]) * taps.weights[size_t(t)];
        } else {
            for (int64_t t = 0; t < count; ++t) {
                // Beyond the ends the first and last frames repeat.
                const int64_t j = std::clamp<int64_t>(firstTap + t, 0, frames - 1);
                acc += double(samples[size_t(j * channels + c)]) * taps.weights[size_t(t)];
            }
        }
        out[c] = roundToSample(acc / taps.sum);
    }
}

// Output frames whose source positions share a fractional part share their
// taps; with common rates only a few hundred such fractions exist, so the
// taps are computed once per fraction instead of once per frame.
constexpr int64_t kMaxCachedTaps = int64_t(1) << 22;

}  // namespace

std::vector<int16_t> resamplePcm(const std::vector<int16_t>& samples, int channels, int fromRate, int toRate) {
    if ((channels != 1 && channels != 2) || fromRate <= 0 || toRate <= 0 || samples.empty() || fromRate == toRate ||
        samples.size() < size_t(channels))
        return samples;

    const int64_t frames = int64_t(samples.size()) / channels;
    const int64_t outFrames = int64_t(toRate) * frames / fromRate;
    const double cutoff = lowPassCutoff(fromRate, toRate);
    const int64_t halfWidth = int64_t(std::ceil(24.0 / cutoff));
    // Source position of output frame i: fromRate x i / toRate; its
    // fractional part repeats every `period` frames.
    const int64_t period = toRate / std::gcd(fromRate, toRate);
    const bool cached = period * 2 * halfWidth <= kMaxCachedTaps;

    std::vector<TapSet> cache;
    if (cached) {
        cache.reserve(size_t(std::min(period, outFrames)));
        for (int64_t r = 0; r < std::min(period, outFrames); ++r) {
            const double position = double(fromRate) * double(r) / double(toRate);
            const int64_t base = int64_t(std::floor(position));
            cache.push_back(tapsAt(position - double(base), 1 - halfWidth, cutoff, halfWidth));
        }
    }

    std::vector<int16_t> out(size_t(outFrames) * size_t(channels));
    for (int64_t i = 0; i < outFrames; ++i) {
        int16_t* frame = &out[size_t(i * channels)];
        if (cached) {
            const int64_t base = int64_t(fromRate) * i / toRate;  // floor of the source position
            filterFrame(samples, channels, frames, base - halfWidth + 1, cache[size_t(i % period)], frame);
        } else {
            const double position = double(fromRate) * double(i) / double(toRate);
            const int64_t firstTap = int64_t(std::floor(position)) - halfWidth + 1;
            filterFrame(samples, channels, frames, firstTap, tapsAt(position, firstTap, cutoff, halfWidth), frame);
        }
    }
    return out;
}

}  // namespace vobu
