#include "editor/clipboard_image.h"

#include <spng.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "editor/dib.h"

namespace vobu {
namespace {

constexpr const char* kBmpTarget = "image/bmp";
constexpr const char* kPngTarget = "image/png";

constexpr const char* kCopied = "Image copied.";
constexpr const char* kBusy = "Clipboard is busy.";
constexpr const char* kNoMemory = "Could not allocate clipboard image.";
constexpr const char* kCopyFailed = "Image copy failed.";
constexpr const char* kUnsupported = "Clipboard does not contain a supported bitmap.";

// An interlaced PNG is decoded whole before its corner is cut; this bounds
// the memory that takes.
constexpr uint64_t kMaxInterlacedDecodeBytes = 64ull << 20;

ClipboardImageSlot& slot() {
    static ClipboardImageSlot pending;
    return pending;
}

ImageClipboardCalls& service() {
    static ImageClipboardCalls calls = unavailableImageClipboard();
    return calls;
}

void report(std::string status) {
    ClipboardImageSlot& s = slot();
    s.ready = true;
    s.status = std::move(status);
    s.image = {};
}

struct SpngContext {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using SpngPointer = std::unique_ptr<spng_ctx, SpngContext>;

// RGB, 8 bits per channel: the clipboard form carries no alpha.
bool encodeRgbPng(const RgbaImage& image, std::vector<uint8_t>& out) {
    SpngPointer ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx) return false;
    spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr = {};
    ihdr.width = uint32_t(image.width);
    ihdr.height = uint32_t(image.height);
    ihdr.bit_depth = 8;
    ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
    if (spng_set_ihdr(ctx.get(), &ihdr) != 0) return false;
    std::vector<uint8_t> rgb(size_t(image.width) * size_t(image.height) * 3);
    for (size_t i = 0, n = size_t(image.width) * size_t(image.height); i < n; ++i) {
        std::copy_n(image.pixels.data() + i * 4, 3, rgb.data() + i * 3);
    }
    if (spng_encode_image(ctx.get(), rgb.data(), rgb.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) != 0) return false;
    size_t length = 0;
    int error = 0;
    void* buffer = spng_get_png_buffer(ctx.get(), &length, &error);
    if (buffer == nullptr || error != 0) return false;
    const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
    out.assign(bytes, bytes + length);
    free(buffer);
    return true;
}

void cutCorner(const uint8_t* rows, size_t rowBytes, int width, int height, RgbaImage& out) {
    out.width = width;
    out.height = height;
    out.pixels.resize(size_t(width) * size_t(height) * 4);
    for (int y = 0; y < height; ++y) {
        uint8_t* target = out.pixels.data() + size_t(y) * size_t(width) * 4;
        std::copy_n(rows + size_t(y) * rowBytes, size_t(width) * 4, target);
        for (int x = 0; x < width; ++x) target[x * 4 + 3] = 255;
    }
}

// The top-left 64 x 64 of a PNG. The header's size is checked before any
// pixel is decoded; a plain image decodes only the rows it needs.
bool decodePngCorner(const std::vector<uint8_t>& png, RgbaImage& out) {
    SpngPointer ctx(spng_ctx_new(0));
    if (!ctx) return false;
    spng_set_crc_action(ctx.get(), SPNG_CRC_USE, SPNG_CRC_USE);
    spng_set_chunk_limits(ctx.get(), 1u << 20, 4u << 20);
    spng_set_image_limits(ctx.get(), kMaxDibSide, kMaxDibSide);
    if (spng_set_png_buffer(ctx.get(), png.data(), png.size()) != 0) return false;
    spng_ihdr ihdr = {};
    if (spng_get_ihdr(ctx.get(), &ihdr) != 0) return false;
    if (ihdr.width < 1 || ihdr.width > uint32_t(kMaxDibSide) || ihdr.height < 1 ||
        ihdr.height > uint32_t(kMaxDibSide)) {
        return false;
    }
    const int width = int(std::min<uint32_t>(ihdr.width, kMaxPastedSide));
    const int height = int(std::min<uint32_t>(ihdr.height, kMaxPastedSide));
    const size_t rowBytes = size_t(ihdr.width) * 4;
    if (ihdr.interlace_method != SPNG_INTERLACE_NONE) {
        size_t whole = 0;
        if (spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &whole) != 0) return false;
        if (uint64_t(whole) > kMaxInterlacedDecodeBytes) return false;
        std::vector<uint8_t> pixels(whole);
        if (spng_decode_image(ctx.get(), pixels.data(), whole, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0) return false;
        cutCorner(pixels.data(), rowBytes, width, height, out);
        return true;
    }
    if (spng_decode_image(ctx.get(), nullptr, 0, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE) != 0) {
        return false;
    }
    std::vector<uint8_t> rows(rowBytes * size_t(height));
    for (int y = 0; y < height; ++y) {
        const int status = spng_decode_row(ctx.get(), rows.data() + size_t(y) * rowBytes, rowBytes);
        if (status != 0 && !(status == SPNG_EOI && y == height - 1)) return false;
    }
    cutCorner(rows.data(), rowBytes, width, height, out);
    return true;
}

bool readBmpTarget(const std::vector<uint8_t>& bytes, RgbaImage& out) {
    const uint8_t* dib = nullptr;
    size_t dibSize = 0;
    return dibInsideBmpFile(bytes.data(), bytes.size(), dib, dibSize) && readDib(dib, dibSize, out);
}

bool offers(const std::vector<std::string>& targets, const char* target) {
    return std::find(targets.begin(), targets.end(), target) != targets.end();
}

// Tries the bitmap first, then the PNG. Busy only when the service failed.
ClipboardFetch readClipboardImage(RgbaImage& out) {
    ImageClipboardCalls& calls = service();
    std::vector<std::string> targets;
    const ClipboardFetch listed = calls.listTargets(targets);
    if (listed != ClipboardFetch::Ok) return listed;
    std::vector<uint8_t> bytes;
    if (offers(targets, kBmpTarget)) {
        const ClipboardFetch got = calls.fetch(kBmpTarget, bytes);
        if (got == ClipboardFetch::Busy) return got;
        if (got == ClipboardFetch::Ok && readBmpTarget(bytes, out)) return ClipboardFetch::Ok;
    }
    if (offers(targets, kPngTarget)) {
        const ClipboardFetch got = calls.fetch(kPngTarget, bytes);
        if (got == ClipboardFetch::Busy) return got;
        if (got == ClipboardFetch::Ok && decodePngCorner(bytes, out)) return ClipboardFetch::Ok;
    }
    return ClipboardFetch::Missing;
}

}  // namespace

void copyImageToClipboard(const RgbaImage& image) {
    if (!isValidImage(image)) return;
    ImageClipboardCalls& calls = service();
    if (!calls.ourWindowHasFocus()) {
        report(kBusy);
        return;
    }
    std::vector<ClipboardFormat> formats(2);
    try {
        formats[0] = {kBmpTarget, bmpFileFromDib(writeDib(image))};
        formats[1].target = kPngTarget;
        if (!encodeRgbPng(image, formats[1].bytes)) {
            report(kCopyFailed);
            return;
        }
    } catch (const std::bad_alloc&) {
        report(kNoMemory);
        return;
    }
    const ClipboardOffer taken = calls.offer(std::move(formats));
    report(taken == ClipboardOffer::Taken ? kCopied : taken == ClipboardOffer::Busy ? kBusy : kCopyFailed);
}

void pasteImageFromClipboard() {
    report(kUnsupported);
    RgbaImage image;
    const ClipboardFetch got = readClipboardImage(image);
    if (got == ClipboardFetch::Busy) {
        slot().status = kBusy;
    } else if (got == ClipboardFetch::Ok && isValidImage(image)) {
        slot().image = std::move(image);
        slot().status.clear();
    }
}

bool takeClipboardImage(RgbaImage& image, std::string& status) {
    ClipboardImageSlot& s = slot();
    if (!s.ready) return false;
    image = std::move(s.image);
    status = std::move(s.status);
    s = {};
    return true;
}

void startClipboardSupport() {}

void updateClipboardSupport(bool) {}

void installImageClipboard(ImageClipboardCalls calls) { service() = std::move(calls); }

}  // namespace vobu
