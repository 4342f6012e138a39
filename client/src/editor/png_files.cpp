#include "editor/png_files.h"

#include <utility>

#include "platform/atomic_file.h"

namespace vobu {
namespace {

// The pending slot, one per process.
struct ImageFileSlot {
    bool ready = false;
    std::string status;
    RgbaImage image;
    bool available = false;
    ImageFileCalls calls;
    uint64_t dialogParent = 0;
};

ImageFileSlot& slot() {
    static ImageFileSlot instance;
    return instance;
}

void emptySlot() {
    ImageFileSlot& s = slot();
    s.ready = false;
    s.status.clear();
    s.image = RgbaImage{};
}

void report(const char* status) {
    slot().status = status;
    slot().ready = true;
}

bool isReplacedByDash(unsigned char c) {
    if (c < 0x20) {
        return true;
    }
    switch (c) {
        case '\\':
        case '/':
        case ':':
        case '*':
        case '?':
        case '"':
        case '<':
        case '>':
        case '|':
            return true;
        default:
            return false;
    }
}

}  // namespace

ImageFileCalls systemImageFileCalls() {
    ImageFileCalls calls;
    calls.dialog = [](const FileDialogRequest& request, std::string& path) {
        return showFileDialog(request, path, systemFileDialogCalls());
    };
    calls.decodeFile = decodePngFile;
    calls.encode = encodePng;
    calls.replaceFile = replaceFileThroughTemporary;
    return calls;
}

void startImageSupport() { startImageSupportWith(systemImageFileCalls()); }

void startImageSupportWith(ImageFileCalls calls) {
    ImageFileSlot& s = slot();
    s.available = calls.dialog && calls.decodeFile && calls.encode && calls.replaceFile;
    s.calls = std::move(calls);
}

void updateImageSupport(bool importTargetActive) {}

void setImageDialogParent(uint64_t windowId) { slot().dialogParent = windowId; }

std::string proposedSkinFileName(const std::string& characterName) {
    std::string name = characterName;
    for (char& c : name) {
        if (isReplacedByDash(static_cast<unsigned char>(c))) {
            c = '-';
        }
    }
    while (!name.empty() && (name.back() == ' ' || name.back() == '-')) {
        name.pop_back();
    }
    if (name.empty()) {
        name = "Vobu";
    }
    return name + ".png";
}

bool chooseSkinFile(bool save, const std::string& defaultName, std::string& path) {
    const ImageFileSlot& s = slot();
    if (!s.calls.dialog) {
        return false;
    }
    FileDialogRequest request;
    request.save = save;
    request.title = save ? kExportDialogTitle : kImportDialogTitle;
    request.proposedName = save ? defaultName : std::string();
    request.defaultExtension = save ? "png" : "";
    request.parentWindow = s.dialogParent;
    std::string chosen;
    if (!s.calls.dialog(request, chosen) || chosen.empty()) {
        return false;
    }
    path = chosen;
    return true;
}

void savePngFile(const RgbaImage& image, const std::string& name) {
    emptySlot();
    if (!slot().available || !isValidImage(image)) {
        report(kPngCannotPrepare);
        return;
    }
    std::string path;
    if (!chooseSkinFile(true, proposedSkinFileName(name), path)) {
        return;
    }
    const ImageFileCalls& calls = slot().calls;
    std::vector<uint8_t> png;
    if (!calls.encode(image.pixels.data(), uint32_t(image.width), uint32_t(image.height), png) ||
        !calls.replaceFile(path, std::string(png.begin(), png.end()))) {
        report(kPngCannotWrite);
        return;
    }
    report("");
}

void loadPngFile() {
    emptySlot();
    if (!slot().available) {
        report(kPngUnavailable);
        return;
    }
    std::string path;
    if (!chooseSkinFile(false, std::string(), path)) {
        return;
    }
    RgbaImage image;
    if (!readImageFile(path, image, slot().calls)) {
        report(kPngCannotRead);
        return;
    }
    slot().image = std::move(image);
    report("");
}

bool takeLoadedPng(RgbaImage& image, std::string& status) {
    ImageFileSlot& s = slot();
    if (!s.ready) {
        return false;
    }
    image = std::move(s.image);
    status = std::move(s.status);
    emptySlot();
    return true;
}

bool readImageFile(const std::string& path, RgbaImage& image, const ImageFileCalls& calls) {
    PngPixels pixels;
    if (!calls.decodeFile || !calls.decodeFile(path, kMaxImageSide, pixels)) {
        return false;
    }
    RgbaImage decoded;
    decoded.width = int32_t(pixels.width);
    decoded.height = int32_t(pixels.height);
    decoded.pixels = std::move(pixels.rgba);
    if (!isValidImage(decoded)) {
        return false;
    }
    image = std::move(decoded);
    return true;
}

bool replaceFileThroughTemporary(const std::string& path, const std::string& bytes) {
    // No lock keeps other programs out of the player's folders: the new file
    // is made under a name of this process's own, never over anything that
    // is there, and the confirmed file itself is never opened for writing.
    // A failed write removes its temporary file itself.
    return replaceFileAtomically(path, {path + ".tmp", false}, bytes).replaced;
}

}  // namespace vobu
