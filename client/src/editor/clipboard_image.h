#pragma once
// Images through the system clipboard. Copy and paste report through one
// process-wide pending slot that the editor empties once per frame.

#include <string>

#include "editor/rgba_image.h"
#include "platform/image_clipboard.h"

namespace vobu {

// The texts of the slot. A cut erases the picture only after its copy
// reported kClipboardImageCopied.
inline constexpr const char* kClipboardImageCopied = "Image copied.";
inline constexpr const char* kClipboardBusy = "Clipboard is busy.";
inline constexpr const char* kClipboardNoMemory = "Could not allocate clipboard image.";
inline constexpr const char* kClipboardCopyFailed = "Image copy failed.";
inline constexpr const char* kClipboardUnsupported = "Clipboard does not contain a supported bitmap.";

// The result waiting for the editor: a copy's status, or a pasted image
// (at most 64 x 64) with an empty status.
struct ClipboardImageSlot {
    bool ready = false;
    std::string status;
    RgbaImage image;
};

// Puts the image on the clipboard as "image/bmp" (a 24-bit bottom-up
// bitmap behind its file header) and "image/png" (RGB). Reports
// kClipboardImageCopied or a failure text; an invalid image is ignored.
void copyImageToClipboard(const RgbaImage& image);

// Reads the clipboard's bitmap (or PNG) into the slot, cut to its top-left
// 64 x 64 pixels with alpha 255.
void pasteImageFromClipboard();

// Moves a waiting result out and empties the slot; false when none waits.
bool takeClipboardImage(RgbaImage& image, std::string& status);

// Hooks of the editor's start-up and of every frame; the clipboard service
// needs neither here.
void startClipboardSupport();
void updateClipboardSupport(bool pasteTargetActive);

// The clipboard service the functions above use; unavailable until the
// program installs the platform's (tests install their own).
void installImageClipboard(ImageClipboardCalls calls);

}  // namespace vobu
