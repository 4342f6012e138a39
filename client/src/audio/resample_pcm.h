#pragma once
// Windowed-sinc sample-rate conversion of a whole sound, used once when a
// sound is loaded. Going down in rate the filter band-limits to the new
// Nyquist frequency, so tones above it do not fold back.

#include <cstdint>
#include <vector>

namespace vobu {

// Converts interleaved 16-bit samples of `channels` channels from `fromRate`
// to `toRate`. The input comes back unchanged when there is nothing to do or
// the arguments make no sense (channels not 1 or 2, a rate not above 0,
// equal rates, fewer samples than channels).
std::vector<int16_t> resamplePcm(const std::vector<int16_t>& samples, int channels, int fromRate, int toRate);

}  // namespace vobu
