#include "platform/png_codec.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <spng.h>

namespace vobu {
namespace {

// Ancillary chunks (text, colour profiles) are kept in memory while the
// image is read; a few MiB covers every real file. The total must not be
// below the single-chunk limit.
constexpr size_t kMaxChunkBytes = 16u << 20;
constexpr size_t kMaxCachedChunkBytes = 64u << 20;

struct ContextFree {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using Context = std::unique_ptr<spng_ctx, ContextFree>;

struct FileClose {
    void operator()(FILE* file) const { std::fclose(file); }
};

Context decoderFor(uint32_t maxSide) {
    Context ctx(spng_ctx_new(0));
    if (ctx && (spng_set_image_limits(ctx.get(), maxSide, maxSide) != 0 ||
                spng_set_chunk_limits(ctx.get(), kMaxChunkBytes, kMaxCachedChunkBytes) != 0)) {
        ctx.reset();
    }
    return ctx;
}

bool decodeWhole(spng_ctx* ctx, size_t bytes, std::vector<uint8_t>& rgba) {
    rgba.resize(bytes);
    return spng_decode_image(ctx, rgba.data(), rgba.size(), SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) == 0;
}

// Row by row through a small buffer that stays in the cache, appended to
// the image: the image's memory is written once instead of being zeroed
// first, a sixth of a large import. Only the first `rows` of the `height`
// rows are decoded.
bool decodeRows(spng_ctx* ctx, uint32_t width, uint32_t height, uint32_t rows, std::vector<uint8_t>& rgba) {
    if (spng_decode_image(ctx, nullptr, 0, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE) != 0) {
        return false;
    }
    std::vector<uint8_t> row(size_t(width) * 4);
    rgba.reserve(row.size() * rows);
    for (uint32_t y = 0; y < rows; ++y) {
        const int result = spng_decode_row(ctx, row.data(), row.size());
        // The last row ends the image; an end any earlier is a short image.
        const bool last = y + 1 == height;
        if (result != 0 && !(last && result == SPNG_EOI)) {
            return false;
        }
        rgba.insert(rgba.end(), row.begin(), row.end());
    }
    return true;
}

// The source is already attached to the context. At most `maxRows` rows
// are kept; an interlaced image is decoded whole first, within
// `maxInterlacedBytes`.
bool decodeFrom(spng_ctx* ctx, uint32_t maxSide, uint32_t maxRows, uint64_t maxInterlacedBytes, PngPixels& out) {
    spng_ihdr header{};
    if (spng_get_ihdr(ctx, &header) != 0) {
        return false;
    }
    if (header.width < 1 || header.width > maxSide || header.height < 1 || header.height > maxSide) {
        return false;
    }
    const uint64_t bytes = uint64_t(header.width) * header.height * 4;
    size_t decodedBytes = 0;
    if (spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &decodedBytes) != 0 || decodedBytes != bytes) {
        return false;
    }
    const uint32_t rows = std::min(header.height, maxRows);
    const bool interlaced = header.interlace_method != SPNG_INTERLACE_NONE;
    if (interlaced && bytes > maxInterlacedBytes) {
        return false;
    }
    std::vector<uint8_t> rgba;
    const bool decoded =
        interlaced ? decodeWhole(ctx, decodedBytes, rgba) : decodeRows(ctx, header.width, header.height, rows, rgba);
    if (!decoded) {
        return false;
    }
    rgba.resize(size_t(header.width) * rows * 4);
    out.width = header.width;
    out.height = rows;
    out.rgba = std::move(rgba);
    return true;
}

bool encode(const uint8_t* pixels, uint32_t width, uint32_t height, uint8_t colorType, size_t bytes,
            std::vector<uint8_t>& png) {
    Context ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx || spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1) != 0) {
        return false;
    }
    spng_ihdr header{};
    header.width = width;
    header.height = height;
    header.bit_depth = 8;
    header.color_type = colorType;
    if (spng_set_ihdr(ctx.get(), &header) != 0 ||
        spng_encode_image(ctx.get(), pixels, bytes, SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) != 0) {
        return false;
    }
    size_t length = 0;
    int error = 0;
    std::unique_ptr<void, decltype(&std::free)> buffer(spng_get_png_buffer(ctx.get(), &length, &error), &std::free);
    if (!buffer || error != 0) {
        return false;
    }
    const auto* begin = static_cast<const uint8_t*>(buffer.get());
    png.assign(begin, begin + length);
    return true;
}

}  // namespace

bool decodePng(const uint8_t* data, size_t size, uint32_t maxSide, PngPixels& out) {
    return decodePngTop(data, size, maxSide, UINT32_MAX, UINT64_MAX, out);
}

bool decodePngTop(const uint8_t* data, size_t size, uint32_t maxSide, uint32_t maxRows, uint64_t maxInterlacedBytes,
                  PngPixels& out) {
    out = PngPixels{};
    Context ctx = decoderFor(maxSide);
    if (!ctx || data == nullptr || maxRows == 0 || spng_set_png_buffer(ctx.get(), data, size) != 0) {
        return false;
    }
    return decodeFrom(ctx.get(), maxSide, maxRows, maxInterlacedBytes, out);
}

bool decodePngFile(const std::string& path, uint32_t maxSide, PngPixels& out) {
    out = PngPixels{};
    std::unique_ptr<FILE, FileClose> file(std::fopen(path.c_str(), "rbe"));
    Context ctx = decoderFor(maxSide);
    if (!file || !ctx || spng_set_png_file(ctx.get(), file.get()) != 0) {
        return false;
    }
    return decodeFrom(ctx.get(), maxSide, UINT32_MAX, UINT64_MAX, out);
}

bool encodePng(const uint8_t* rgba, uint32_t width, uint32_t height, std::vector<uint8_t>& png) {
    png.clear();
    if (rgba == nullptr || width == 0 || height == 0) {
        return false;
    }
    return encode(rgba, width, height, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, size_t(width) * height * 4, png);
}

bool encodePngRgb(const uint8_t* rgba, uint32_t width, uint32_t height, std::vector<uint8_t>& png) {
    png.clear();
    if (rgba == nullptr || width == 0 || height == 0) {
        return false;
    }
    const size_t pixels = size_t(width) * height;
    std::vector<uint8_t> rgb(pixels * 3);
    for (size_t i = 0; i < pixels; ++i) {
        std::copy_n(rgba + i * 4, 3, rgb.data() + i * 3);
    }
    return encode(rgb.data(), width, height, SPNG_COLOR_TYPE_TRUECOLOR, rgb.size(), png);
}

}  // namespace vobu
