#include "editor/clipboard_image.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "editor/dib.h"
#include "platform/png_codec.h"

namespace vobu {
namespace {

constexpr const char* kBmpTarget = "image/bmp";
constexpr const char* kPngTarget = "image/png";

// An interlaced PNG is decoded whole before its corner is cut; this bounds
// the memory that takes.
constexpr uint64_t kMaxInterlacedDecodeBytes = 64ull << 20;

ClipboardImageSlot& slot() {
    static ClipboardImageSlot pending;
    return pending;
}

ImageClipboardCalls& service() {
    static ImageClipboardCalls calls = unavailableImageClipboardCalls();
    return calls;
}

void report(std::string status) {
    ClipboardImageSlot& s = slot();
    s.ready = true;
    s.status = std::move(status);
    s.image = {};
}

// RGB, 8 bits per channel: the clipboard form carries no alpha.
bool encodeRgbPng(const RgbaImage& image, std::vector<uint8_t>& out) {
    return encodePngRgb(image.pixels.data(), uint32_t(image.width), uint32_t(image.height), out);
}

// The top-left 64 x 64 of a PNG, opaque. The header's size is checked
// before any pixel is decoded; a plain image decodes only the rows it needs.
bool decodePngCorner(const std::vector<uint8_t>& png, RgbaImage& out) {
    PngPixels top;
    if (!decodePngTop(png.data(), png.size(), uint32_t(kMaxDibSide), uint32_t(kMaxPastedSide),
                      kMaxInterlacedDecodeBytes, top)) {
        return false;
    }
    const int width = int(std::min<uint32_t>(top.width, kMaxPastedSide));
    const int height = int(top.height);
    const size_t rowBytes = size_t(top.width) * 4;
    out.width = width;
    out.height = height;
    out.pixels.resize(size_t(width) * size_t(height) * 4);
    for (int y = 0; y < height; ++y) {
        uint8_t* target = out.pixels.data() + size_t(y) * size_t(width) * 4;
        std::copy_n(top.rgba.data() + size_t(y) * rowBytes, size_t(width) * 4, target);
        for (int x = 0; x < width; ++x) target[x * 4 + 3] = 255;
    }
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
        report(kClipboardBusy);
        return;
    }
    std::vector<ClipboardFormat> formats(2);
    try {
        formats[0] = {kBmpTarget, bmpFileFromDib(writeDib(image))};
        formats[1].target = kPngTarget;
        if (!encodeRgbPng(image, formats[1].bytes)) {
            report(kClipboardCopyFailed);
            return;
        }
    } catch (const std::bad_alloc&) {
        report(kClipboardNoMemory);
        return;
    }
    const ClipboardOffer taken = calls.offer(std::move(formats));
    report(taken == ClipboardOffer::Taken  ? kClipboardImageCopied
           : taken == ClipboardOffer::Busy ? kClipboardBusy
                                           : kClipboardCopyFailed);
}

void pasteImageFromClipboard() {
    report(kClipboardUnsupported);
    RgbaImage image;
    const ClipboardFetch got = readClipboardImage(image);
    if (got == ClipboardFetch::Busy) {
        slot().status = kClipboardBusy;
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
