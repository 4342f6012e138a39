#pragma once
// Entry points shared by the editor fuzz targets and by the regression test
// that replays their corpora in the ordinary build. They return false when
// something that must hold broke.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "editor/dib.h"

namespace vobu::fuzz {

// Any block, as another program might offer it: a refused block leaves the
// image alone; an admitted one gives a valid corner of at most 64 x 64 with
// alpha 255. The block is copied to its exact size, so the sanitizer sees
// any read past its end.
inline bool dibReaderHolds(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> block(data, data + size);
    RgbaImage image{1, 1, {1, 2, 3, 4}};
    if (!readDib(block.data(), block.size(), image)) {
        return image.width == 1 && image.height == 1 && image.pixels == std::vector<uint8_t>{1, 2, 3, 4};
    }
    if (!isValidImage(image) || image.width > kMaxPastedSide || image.height > kMaxPastedSide) return false;
    for (size_t i = 3; i < image.pixels.size(); i += 4) {
        if (image.pixels[i] != 255) return false;
    }
    return true;
}

}  // namespace vobu::fuzz
