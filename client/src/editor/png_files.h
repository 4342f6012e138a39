#pragma once
// Skin sheets to and from PNG files: the save and open dialogs, the codec,
// and the process-wide pending slot through which every save and load
// reports. CharacterEditor::update empties the slot once per frame with
// takeLoadedPng, so a result is applied on the frame after the request.
// Nothing here throws; failures leave one of the status texts below.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "editor/rgba_image.h"
#include "platform/file_dialog.h"
#include "platform/png_codec.h"

namespace vobu {

inline constexpr const char* kPngCannotPrepare = "The skin image could not be prepared.";
inline constexpr const char* kPngCannotWrite = "Could not write that PNG.";
inline constexpr const char* kPngUnavailable = "Image support is unavailable.";
inline constexpr const char* kPngCannotRead = "Could not read that PNG.";

inline constexpr const char* kExportDialogTitle = "Export vobu skin";
inline constexpr const char* kImportDialogTitle = "Import vobu skin";

// The platform calls behind the slot, replaceable in tests.
struct ImageFileCalls {
    std::function<bool(const FileDialogRequest& request, std::string& path)> dialog;
    std::function<bool(const std::string& path, uint32_t maxSide, PngPixels& out)> decodeFile;
    std::function<bool(const uint8_t* rgba, uint32_t width, uint32_t height, std::vector<uint8_t>& png)> encode;
    // Replaces `path` with `bytes` without ever opening it for writing.
    std::function<bool(const std::string& path, const std::string& bytes)> replaceFile;
};

// zenity or kdialog, libspng, a temporary file beside the target renamed over it.
ImageFileCalls systemImageFileCalls();

// Called once by CharacterEditor::initialize: the system calls.
void startImageSupport();
// The same with other calls; support is available only when every call is set.
void startImageSupportWith(ImageFileCalls calls);
// Called every frame; nothing to do on this platform.
void updateImageSupport(bool importTargetActive);
// The game window's X11 id (0: none), which the dialogs open modal to. Set
// by the program once its window exists; kept for the whole run.
void setImageDialogParent(uint64_t windowId);

// The file name proposed for an exported skin: the character's name with
// control characters and \ / : * ? " < > | made "-", trailing spaces and
// "-" removed, "Vobu" when nothing is left, then ".png".
std::string proposedSkinFileName(const std::string& characterName);

// The modal dialog ("Export vobu skin" when saving, with the proposed name
// and the default extension "png"; "Import vobu skin" when opening). True
// with the chosen path.
bool chooseSkinFile(bool save, const std::string& defaultName, std::string& path);

// Asks where to save and writes the image there as PNG.
void savePngFile(const RgbaImage& image, const std::string& name);
// Asks for a file and reads it into the slot.
void loadPngFile();
// When a result is ready: moves it out, leaves the slot empty, true.
bool takeLoadedPng(RgbaImage& image, std::string& status);

// The file read behind loadPngFile, without the dialog: any PNG up to
// 4096 x 4096 as RGBA; false for anything else.
bool readImageFile(const std::string& path, RgbaImage& image, const ImageFileCalls& calls);
// Replaces the file by way of a temporary file in the same folder.
bool replaceFileThroughTemporary(const std::string& path, const std::string& bytes);

}  // namespace vobu
