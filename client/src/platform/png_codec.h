#pragma once
// PNG files in and out as 8-bit RGBA with straight (not premultiplied)
// alpha. Behind it is libspng, which checks an image's limits before it
// decodes; only the targets that read or write PNG link it (vobu_platform_png).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vobu {

struct PngPixels {
    uint32_t width = 0;
    uint32_t height = 0;
    // R, G, B, A bytes, rows top-down.
    std::vector<uint8_t> rgba;
};

// Decodes any PNG (palette with transparency, grey, 16-bit, interlaced) to
// RGBA. Width and height are read from the header and checked against
// 1..maxSide before any pixel memory is taken. False for anything that is
// not a whole, sound PNG within those limits; `out` is then left empty.
bool decodePng(const uint8_t* data, size_t size, uint32_t maxSide, PngPixels& out);
bool decodePngFile(const std::string& path, uint32_t maxSide, PngPixels& out);

// The top rows of a PNG, as decodePng with the same header checks: `out`
// holds the image's full width and at most maxRows (at least 1) rows. A
// non-interlaced image decodes only those rows; an interlaced one is decoded
// whole first and fails when that takes more than maxInterlacedBytes.
bool decodePngTop(const uint8_t* data, size_t size, uint32_t maxSide, uint32_t maxRows, uint64_t maxInterlacedBytes,
                  PngPixels& out);

// Encodes width x height RGBA pixels as an 8-bit RGBA PNG.
bool encodePng(const uint8_t* rgba, uint32_t width, uint32_t height, std::vector<uint8_t>& png);
// The same pixels as an 8-bit RGB PNG: the alpha bytes are dropped.
bool encodePngRgb(const uint8_t* rgba, uint32_t width, uint32_t height, std::vector<uint8_t>& png);

}  // namespace vobu
