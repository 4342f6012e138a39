#include "audio/polyphase_resampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vobu {

namespace {

int32_t greatestCommonDivisor(int32_t a, int32_t b) {
    while (b != 0) {
        const int32_t r = a % b;
        a = b;
        b = r;
    }
    return a;
}

} // namespace

void PolyphaseResampler::setOutputRate(int rate) {
    rate = std::max(rate, 0);
    outputRate_ = rate;
    taps_.clear();
    if (rate == 0) {
        g_ = kInputRate;
        phases_ = 0;
        return;
    }
    g_ = greatestCommonDivisor(kInputRate, rate);
    phases_ = std::min(rate / g_, kMaxPhases);
    taps_.assign(size_t(phases_) * kTaps, 0.0f);

    constexpr double pi = std::numbers::pi;
    const double cutoff = std::min(double(rate) / kInputRate, 1.0) * 0.94;
    for (int p = 0; p < phases_; ++p) {
        float* phase = &taps_[size_t(p) * kTaps];
        for (int j = -23; j <= 24; ++j) {
            const double x = double(p) / phases_ - j;
            const double arg = pi * cutoff * x;
            const double h = std::fabs(arg) < 1e-9 ? cutoff : cutoff * std::sin(arg) / arg;
            const double b = std::fabs(x / 24.0) < 1.0
                                 ? 0.42 + 0.5 * std::cos(pi * x / 24.0) + 0.08 * std::cos(2.0 * pi * x / 24.0)
                                 : 0.0;
            phase[j + 23] = float(h * b);
        }
        // Unity gain in every phase, so a constant stays constant.
        float sum = 0.0f;
        for (int t = 0; t < kTaps; ++t)
            sum += phase[t];
        if (std::fabs(sum) > 1e-9f)
            for (int t = 0; t < kTaps; ++t)
                phase[t] /= sum;
    }
}

int16_t PolyphaseResampler::sampleAt(const int16_t* in, size_t m, size_t n, size_t i) const {
    const uint64_t scaled = uint64_t(i) * uint64_t(m);
    const int64_t q = int64_t(scaled / n);
    const uint64_t rem = scaled % n;
    const uint64_t phase = uint64_t(phases_) * rem / n;
    const float* taps = &taps_[size_t(phase) * kTaps];
    float acc = 0.0f;
    for (int t = 0; t < kTaps; ++t) {
        const int64_t k = std::clamp<int64_t>(q - 23 + t, 0, int64_t(m) - 1);
        acc += float(in[size_t(k)]) * taps[t];
    }
    return static_cast<int16_t>(std::clamp(std::round(acc), -32768.0f, 32767.0f));
}

void PolyphaseResampler::resample(const int16_t* in, size_t m, int16_t* out, size_t n, size_t begin,
                                  size_t end) const {
    end = std::min(end, n);
    if (begin >= end || m == 0)
        return;
    if ((outputRate_ == kInputRate && n == m) || phases_ == 0) {
        for (size_t i = begin; i < end; ++i)
            out[i] = in[std::min(i, m - 1)];
        return;
    }
    for (size_t i = begin; i < end; ++i)
        out[i] = sampleAt(in, m, n, i);
}

} // namespace vobu
