#pragma once
// Modal open and save dialogs, shown by a desktop helper program (zenity,
// else kdialog) so that the client needs no toolkit of its own. Both block
// the calling thread until the user closes the dialog.

#include <functional>
#include <string>
#include <vector>

#include "platform/process_spawn.h"

namespace vobu {

struct FileDialogRequest {
    bool save = false;
    std::string title;
    // Saving only: the file name offered in the dialog.
    std::string proposedName;
};

// The calls the dialog makes, so that tests can replace single entries.
struct FileDialogCalls {
    std::function<ProcessResult(const std::vector<std::string>& arguments, size_t maxOutput)> run;
    std::function<void(const std::string& line)> log;
};

// runProcess and SDL_Log.
FileDialogCalls systemFileDialogCalls();

// The argument vectors of the two helper programs, program name first. Both
// offer the filters "PNG image" (*.png) and "All files" (*); saving asks
// before overwriting an existing file.
std::vector<std::string> zenityDialogArguments(const FileDialogRequest& request);
std::vector<std::string> kdialogDialogArguments(const FileDialogRequest& request);

// True with the chosen path. False when the user cancelled, the helper
// failed, or no helper is installed (logged once per call).
bool showFileDialog(const FileDialogRequest& request, std::string& path, const FileDialogCalls& calls);

}  // namespace vobu
