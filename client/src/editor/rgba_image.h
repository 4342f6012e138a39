#pragma once
// The image record passed between the paint operations, skin sheets, the
// clipboard and image files.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vobu {

// The largest side of an image that enters the editor from outside.
constexpr int kMaxImageSide = 4096;

struct RgbaImage {
    int32_t width = 0;
    int32_t height = 0;
    // R, G, B, A bytes per pixel, rows top-down and packed without gaps.
    std::vector<uint8_t> pixels;
};

// Each side 1..4096 and exactly width x height x 4 bytes. Every consumer
// ignores an image that fails this.
bool isValidImage(const RgbaImage& image);

}  // namespace vobu
