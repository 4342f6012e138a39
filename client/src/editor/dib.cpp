#include "editor/dib.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace vobu {
namespace {

constexpr uint32_t kBiRgb = 0;

void putU16(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    out[at] = uint8_t(value);
    out[at + 1] = uint8_t(value >> 8);
}

void putU32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(value >> (8 * i));
}

uint32_t getU16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }

uint32_t getU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int32_t getI32(const uint8_t* p) { return static_cast<int32_t>(getU32(p)); }

// What the reader needs from a header that passed every check.
struct DibLayout {
    int64_t width = 0;
    int64_t height = 0;  // magnitude
    bool bottomUp = true;
    uint64_t bytesPerPixel = 0;
    uint64_t stride = 0;
    uint64_t pixelOffset = 0;
};

// Every size is taken in 64 bits, so no header can wrap a sum or a product
// below the block's real size.
bool checkDibHeader(const uint8_t* data, size_t size, DibLayout& layout) {
    if (data == nullptr || size < kDibHeaderSize) return false;
    const uint64_t headerSize = getU32(data);
    if (headerSize < kDibHeaderSize || headerSize > size) return false;
    const int64_t width = getI32(data + 4);
    const int32_t rawHeight = getI32(data + 8);
    if (rawHeight == std::numeric_limits<int32_t>::min()) return false;
    const int64_t height = rawHeight < 0 ? -int64_t(rawHeight) : int64_t(rawHeight);
    if (width < 1 || width > kMaxDibSide || height < 1 || height > kMaxDibSide) return false;
    const uint32_t planes = getU16(data + 12);
    const uint32_t bits = getU16(data + 14);
    const uint32_t compression = getU32(data + 16);
    if (planes != 1 || compression != kBiRgb || (bits != 24 && bits != 32)) return false;
    // Only depths of 8 bits or fewer carry a colour table, and none is admitted.
    const uint64_t colorTable = 0;
    const uint64_t stride = (uint64_t(width) * bits + 31) / 32 * 4;
    const uint64_t pixelOffset = headerSize + colorTable;
    if (pixelOffset > size || stride * uint64_t(height) > size - pixelOffset) return false;
    layout = {width, height, rawHeight > 0, bits / 8, stride, pixelOffset};
    return true;
}

}  // namespace

std::vector<uint8_t> writeDib(const RgbaImage& image) {
    if (!isValidImage(image)) return {};
    const size_t width = size_t(image.width);
    const size_t height = size_t(image.height);
    const size_t stride = (width * 3 + 3) / 4 * 4;
    std::vector<uint8_t> out(kDibHeaderSize + stride * height, 0);
    putU32(out, 0, uint32_t(kDibHeaderSize));
    putU32(out, 4, uint32_t(width));
    putU32(out, 8, uint32_t(height));
    putU16(out, 12, 1);
    putU16(out, 14, 24);
    for (size_t r = 0; r < height; ++r) {
        const uint8_t* source = image.pixels.data() + (height - 1 - r) * width * 4;
        uint8_t* row = out.data() + kDibHeaderSize + r * stride;
        for (size_t x = 0; x < width; ++x) {
            row[x * 3] = source[x * 4 + 2];
            row[x * 3 + 1] = source[x * 4 + 1];
            row[x * 3 + 2] = source[x * 4];
        }
    }
    return out;
}

bool readDib(const uint8_t* data, size_t size, RgbaImage& out) {
    DibLayout layout;
    if (!checkDibHeader(data, size, layout)) return false;
    const int width = int(std::min<int64_t>(layout.width, kMaxPastedSide));
    const int height = int(std::min<int64_t>(layout.height, kMaxPastedSide));
    RgbaImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(size_t(width) * size_t(height) * 4);
    for (int y = 0; y < height; ++y) {
        const uint64_t stored = layout.bottomUp ? uint64_t(layout.height - 1 - y) : uint64_t(y);
        const uint8_t* row = data + layout.pixelOffset + stored * layout.stride;
        uint8_t* target = image.pixels.data() + size_t(y) * size_t(width) * 4;
        for (int x = 0; x < width; ++x) {
            const uint8_t* pixel = row + uint64_t(x) * layout.bytesPerPixel;
            target[x * 4] = pixel[2];
            target[x * 4 + 1] = pixel[1];
            target[x * 4 + 2] = pixel[0];
            target[x * 4 + 3] = 255;
        }
    }
    out = std::move(image);
    return true;
}

std::vector<uint8_t> bmpFileFromDib(const std::vector<uint8_t>& dib) {
    if (dib.size() < kDibHeaderSize) return {};
    std::vector<uint8_t> out(kBmpFileHeaderSize, 0);
    out[0] = 'B';
    out[1] = 'M';
    putU32(out, 2, uint32_t(kBmpFileHeaderSize + dib.size()));
    putU32(out, 10, uint32_t(kBmpFileHeaderSize + getU32(dib.data())));
    out.insert(out.end(), dib.begin(), dib.end());
    return out;
}

bool dibInsideBmpFile(const uint8_t* data, size_t size, const uint8_t*& dib, size_t& dibSize) {
    if (data == nullptr || size < kBmpFileHeaderSize || data[0] != 'B' || data[1] != 'M') return false;
    dib = data + kBmpFileHeaderSize;
    dibSize = size - kBmpFileHeaderSize;
    return true;
}

}  // namespace vobu
