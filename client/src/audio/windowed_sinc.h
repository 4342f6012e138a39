#pragma once
// The low-pass filter both resamplers are built from: a sinc under a
// Blackman window. One definition, so that streamed scene sound and the
// join sound are filtered alike.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace vobu {

// The cutoff as a fraction of the source Nyquist frequency: a little below
// the lower of the two Nyquist frequencies, so that nothing folds back.
inline double lowPassCutoff(double fromRate, double toRate) { return std::min(toRate / fromRate, 1.0) * 0.94; }

// The filter's weight at distance `w` source frames from the output
// position, the window spanning `halfWidth` frames on either side.
inline double windowedSincTap(double w, double cutoff, int64_t halfWidth) {
    constexpr double pi = std::numbers::pi;
    const double a = w / double(halfWidth);
    if (std::fabs(a) >= 1.0) return 0.0;
    const double x = pi * cutoff * w;
    const double sinc = std::fabs(x) < 1e-9 ? cutoff : cutoff * std::sin(x) / x;
    const double window = 0.42 + 0.5 * std::cos(pi * a) + 0.08 * std::cos(2.0 * pi * a);
    return sinc * window;
}

}  // namespace vobu
