#pragma once
// A polyphase filter bank from 22050 Hz (the rate of streamed scene sound)
// to the device rate. Built once per rate so that streaming segments costs
// 48 multiply-adds per output sample and no trigonometry.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vobu {

class PolyphaseResampler {
public:
    static constexpr int kInputRate = 22050;
    static constexpr int kTaps = 48;
    static constexpr int kMaxPhases = 1024;

    // Holds the bank for 48000 Hz from the start, so that it can be used
    // before the device rate is known.
    PolyphaseResampler() { setOutputRate(48000); }

    // Rebuilds the bank for `rate` output samples per second (0: no bank).
    void setOutputRate(int rate);

    // Computes output samples [begin, end) of `in` (m samples) stretched over
    // exactly n output samples.
    void resample(const int16_t* in, size_t m, int16_t* out, size_t n, size_t begin, size_t end) const;

    int32_t outputRate() const { return outputRate_; }
    int32_t commonDivisor() const { return commonDivisor_; }
    int32_t phases() const { return phases_; }
    const std::vector<float>& taps() const { return taps_; }

private:
    int16_t sampleAt(const int16_t* in, size_t m, size_t n, size_t i) const;

    int32_t outputRate_ = 48000;
    int32_t commonDivisor_ = 1;  // of the input and output rates
    int32_t phases_ = 1;
    std::vector<float> taps_;
};

}  // namespace vobu
