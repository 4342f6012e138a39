#pragma once
// Modal open and save dialogs, shown by a desktop helper program (zenity,
// else kdialog) so that the client needs no toolkit of its own. Both block
// the calling thread until the user closes the dialog.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/process_spawn.h"

struct SDL_Window;

namespace vobu {

struct FileDialogRequest {
    bool save = false;
    std::string title;
    // Saving only: the file name offered in the dialog.
    std::string proposedName;
    // Saving only: added (after a dot) to a chosen name that has no
    // extension of its own; empty adds nothing.
    std::string defaultExtension;
    // The X11 window the dialog stays above and blocks while it is open;
    // 0 opens it on its own (as does a zenity without window options).
    uint64_t parentWindow = 0;
};

// The calls the dialog makes, so that tests can replace single entries.
struct FileDialogCalls {
    std::function<ProcessResult(const std::vector<std::string>& arguments, size_t maxOutput)> run;
    std::function<void(const std::string& line)> log;
    // Anything of that name exists.
    std::function<bool(const std::string& path)> exists;
};

// runProcess, SDL_Log and pathExists.
FileDialogCalls systemFileDialogCalls();

// The argument vectors of the two helper programs, program name first. Both
// offer the filters "PNG image" (*.png) and "All files" (*); saving asks
// before overwriting an existing file; with a parent window they are modal
// to it.
std::vector<std::string> zenityDialogArguments(const FileDialogRequest& request);
std::vector<std::string> kdialogDialogArguments(const FileDialogRequest& request);

// The helpers' yes-or-no question whether the existing file `name` may be
// replaced, modal like the dialog; the answer yes is exit status 0.
std::vector<std::string> zenityReplaceArguments(const FileDialogRequest& request, const std::string& name);
std::vector<std::string> kdialogReplaceArguments(const FileDialogRequest& request, const std::string& name);

// True with the chosen path (when saving, with the default extension added
// where the name has none). The helper asked before replacing the name as
// typed; when the added extension names an existing file, the same helper
// asks again for that name, and a no is a cancel. zenity ends with status
// 255 for an option its release lacks (3.90 to 3.92 have no window options,
// 3.91 no --confirm-overwrite): it is then run again without the window
// options, then (saving) without --confirm-overwrite, where the replace
// question is asked for any existing name; kdialog comes after the last
// refusal. False when the user cancelled (status 1, never retried), the
// helper failed, or no helper is installed (logged once per call).
bool showFileDialog(const FileDialogRequest& request, std::string& path, const FileDialogCalls& calls);

// The path with "." + extension appended when its file name has no
// extension: no dot after the name's first character. A leading dot starts a
// hidden file's name, not an extension.
std::string withDefaultExtension(const std::string& path, const std::string& extension);

// The X11 id of an SDL window, for parentWindow; 0 for a window of another
// window system (or none).
uint64_t dialogParentOf(SDL_Window* window);

}  // namespace vobu
