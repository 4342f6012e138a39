#pragma once
// Entry point shared by the PNG decoder fuzz target and by the regression
// test that replays its corpus in the ordinary build. Returns false when
// something that must hold broke.

#include <cstddef>
#include <cstdint>

#include "platform/png_codec.h"

namespace vobu::fuzz {

// The side limit of every image the editor takes in.
constexpr uint32_t kPngFuzzMaxSide = 4096;

// Whatever the bytes, the decoder either refuses them with nothing kept or
// gives an image within the limits whose pixel bytes match its size.
inline bool pngDecodeHolds(const uint8_t* data, size_t size) {
    PngPixels out;
    if (!decodePng(data, size, kPngFuzzMaxSide, out)) {
        return out.width == 0 && out.height == 0 && out.rgba.empty();
    }
    if (out.width < 1 || out.width > kPngFuzzMaxSide || out.height < 1 || out.height > kPngFuzzMaxSide) {
        return false;
    }
    return out.rgba.size() == uint64_t(out.width) * out.height * 4;
}

}  // namespace vobu::fuzz
