#include "audio/polyphase_resampler.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "audio/windowed_sinc.h"

namespace vobu {

void PolyphaseResampler::setOutputRate(int rate) {
    rate = std::max(rate, 0);
    outputRate_ = rate;
    taps_.clear();
    if (rate == 0) {
        commonDivisor_ = kInputRate;
        phases_ = 0;
        return;
    }
    commonDivisor_ = std::gcd(kInputRate, rate);
    phases_ = std::min(rate / commonDivisor_, kMaxPhases);
    taps_.assign(size_t(phases_) * kTaps, 0.0f);

    const double cutoff = lowPassCutoff(kInputRate, rate);
    for (int p = 0; p < phases_; ++p) {
        float* phase = &taps_[size_t(p) * kTaps];
        for (int j = -23; j <= 24; ++j)
            phase[j + 23] = float(windowedSincTap(double(p) / phases_ - j, cutoff, kTaps / 2));
        // Unity gain in every phase, so a constant stays constant.
        float sum = 0.0f;
        for (int t = 0; t < kTaps; ++t) sum += phase[t];
        if (std::fabs(sum) > 1e-9f)
            for (int t = 0; t < kTaps; ++t) phase[t] /= sum;
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

void PolyphaseResampler::resample(const int16_t* in, size_t m, int16_t* out, size_t n, size_t begin, size_t end) const {
    end = std::min(end, n);
    if (begin >= end || m == 0) return;
    if ((outputRate_ == kInputRate && n == m) || phases_ == 0) {
        for (size_t i = begin; i < end; ++i) out[i] = in[std::min(i, m - 1)];
        return;
    }
    for (size_t i = begin; i < end; ++i) out[i] = sampleAt(in, m, n, i);
}

}  // namespace vobu
