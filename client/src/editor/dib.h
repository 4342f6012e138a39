#pragma once
// Device-independent bitmaps, the image form of the clipboard: the block
// written on copy and the reader for the blocks other programs offer.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "editor/rgba_image.h"

namespace vobu {

// Pasted images are cut to the top-left corner of this size, the largest face.
constexpr int kMaxPastedSide = 64;

// The largest width or height magnitude a pasted bitmap may claim.
constexpr int kMaxDibSide = 32768;

constexpr size_t kDibHeaderSize = 40;
constexpr size_t kBmpFileHeaderSize = 14;

// A 40-byte header (positive height, so rows run bottom-up; 24 bits, no
// compression) followed by B, G, R rows padded with zeros to four bytes.
// Alpha is dropped. An invalid image gives no bytes.
std::vector<uint8_t> writeDib(const RgbaImage& image);

// Reads a header of at least 40 bytes with 1 plane, no compression and 24 or
// 32 bits per pixel, width 1..32768 and height of magnitude 1..32768 (either
// row order), whose pixel rows the block holds in full. On success `out` is
// the top-left min(width, 64) x min(height, 64) pixels with alpha 255; on
// any fault false and `out` is left alone.
bool readDib(const uint8_t* data, size_t size, RgbaImage& out);

// The same block behind the 14-byte "BM" file header of a .bmp file.
std::vector<uint8_t> bmpFileFromDib(const std::vector<uint8_t>& dib);

// Finds the block inside a .bmp file; false when the file header is missing.
bool dibInsideBmpFile(const uint8_t* data, size_t size, const uint8_t*& dib, size_t& dibSize);

}  // namespace vobu
