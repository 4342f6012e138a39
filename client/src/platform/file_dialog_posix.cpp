#include "platform/file_dialog.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>

#include "platform/atomic_file.h"

namespace vobu {
namespace {

// Far above any path the kernel accepts (PATH_MAX is 4096).
constexpr size_t kMaxDialogOutput = 64 * 1024;

// kdialog reads a leading "-" as an option; zenity gets the name inside
// its own "--filename=" argument and needs no such care.
std::string startPath(const std::string& name) {
    if (name.empty() || name.front() == '/') {
        return name.empty() ? "." : name;
    }
    return "./" + name;
}

// Refused: zenity ended with status 255, as it does before any dialog
// opens when given an option its release does not know.
enum class Outcome { Chosen, Cancelled, Refused, Missing };

using QuestionArguments = std::vector<std::string> (*)(const FileDialogRequest&, const std::string&);

// One way of showing the dialog. `request` is the one the dialog was built
// from, so that a replace question carries the same window options.
// `helperAsks`: the dialog itself asked before a typed name that exists
// was chosen.
struct Attempt {
    std::vector<std::string> arguments;
    FileDialogRequest request;
    QuestionArguments question;
    bool helperAsks = true;
};

// zenity 3.90 to 3.92 know neither --modal nor --attach, and 3.91 neither
// --confirm-overwrite, so each refusal is followed by a zenity with fewer
// options. Without --confirm-overwrite the overwrite question is ours.
// kdialog comes last, with its window options.
std::vector<Attempt> attemptsFor(const FileDialogRequest& request) {
    FileDialogRequest unowned = request;
    unowned.parentWindow = 0;
    std::vector<Attempt> attempts;
    attempts.push_back({zenityDialogArguments(request), request, zenityReplaceArguments});
    if (request.parentWindow != 0) {
        attempts.push_back({zenityDialogArguments(unowned), unowned, zenityReplaceArguments});
    }
    if (request.save) {
        std::vector<std::string> bare = zenityDialogArguments(unowned);
        bare.erase(std::find(bare.begin(), bare.end(), "--confirm-overwrite"));
        attempts.push_back({bare, unowned, zenityReplaceArguments, false});
    }
    attempts.push_back({kdialogDialogArguments(request), request, kdialogReplaceArguments});
    return attempts;
}

std::string replaceQuestion(const std::string& name) {
    return "A file named \"" + name + "\" already exists. Replace it?";
}

std::string fileNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name the helper did not ask about (one the default extension changed,
// or any name from a dialog without its own question) is asked about when
// it exists. Without a way to look, it is asked about.
bool mayWrite(const Attempt& attempt, const std::string& typed, const std::string& named,
              const FileDialogCalls& calls) {
    if ((attempt.helperAsks && named == typed) || (calls.exists && !calls.exists(named))) {
        return true;
    }
    const ProcessResult answer = calls.run(attempt.question(attempt.request, fileNameOf(named)), kMaxDialogOutput);
    return answer.start == ProcessStart::Ran && answer.exitStatus == 0;
}

Outcome runHelper(const std::vector<std::string>& arguments, std::string& path, const FileDialogCalls& calls) {
    const ProcessResult result = calls.run(arguments, kMaxDialogOutput);
    if (result.start == ProcessStart::NotFound) {
        return Outcome::Missing;
    }
    if (result.start != ProcessStart::Ran) {
        calls.log("File dialog: could not start " + arguments[0]);
        return Outcome::Cancelled;
    }
    if (result.exitStatus == 1) {
        return Outcome::Cancelled;
    }
    if (result.exitStatus != 0 || result.outputCut) {
        calls.log("File dialog: " + arguments[0] + " failed with status " + std::to_string(result.exitStatus));
        return result.exitStatus == 255 && arguments[0] == "zenity" ? Outcome::Refused : Outcome::Cancelled;
    }
    std::string chosen = result.output;
    if (!chosen.empty() && chosen.back() == '\n') {
        chosen.pop_back();
    }
    if (chosen.empty()) {
        return Outcome::Cancelled;
    }
    path = chosen;
    return Outcome::Chosen;
}

}  // namespace

FileDialogCalls systemFileDialogCalls() {
    FileDialogCalls calls;
    calls.run = runProcess;
    calls.log = [](const std::string& line) { SDL_Log("%s", line.c_str()); };
    calls.exists = pathExists;
    return calls;
}

std::vector<std::string> zenityDialogArguments(const FileDialogRequest& request) {
    std::vector<std::string> arguments{"zenity", "--file-selection", "--title=" + request.title};
    if (request.parentWindow != 0) {
        arguments.push_back("--modal");
        arguments.push_back("--attach=" + std::to_string(request.parentWindow));
    }
    if (request.save) {
        arguments.push_back("--save");
        arguments.push_back("--confirm-overwrite");
        arguments.push_back("--filename=" + request.proposedName);
    }
    arguments.push_back("--file-filter=PNG image | *.png");
    arguments.push_back("--file-filter=All files | *");
    return arguments;
}

std::vector<std::string> kdialogDialogArguments(const FileDialogRequest& request) {
    // kdialog's save dialog always asks before it overwrites a file, and a
    // dialog attached to a window is modal to it.
    std::vector<std::string> arguments{"kdialog", "--title", request.title};
    if (request.parentWindow != 0) {
        arguments.push_back("--attach");
        arguments.push_back(std::to_string(request.parentWindow));
    }
    arguments.push_back(request.save ? "--getsavefilename" : "--getopenfilename");
    arguments.push_back(startPath(request.save ? request.proposedName : std::string()));
    arguments.push_back("*.png|PNG image\n*|All files");
    return arguments;
}

std::vector<std::string> zenityReplaceArguments(const FileDialogRequest& request, const std::string& name) {
    std::vector<std::string> arguments{"zenity", "--question", "--title=" + request.title};
    if (request.parentWindow != 0) {
        arguments.push_back("--modal");
        arguments.push_back("--attach=" + std::to_string(request.parentWindow));
    }
    arguments.push_back("--no-markup");
    arguments.push_back("--text=" + replaceQuestion(name));
    return arguments;
}

std::vector<std::string> kdialogReplaceArguments(const FileDialogRequest& request, const std::string& name) {
    std::vector<std::string> arguments{"kdialog", "--title", request.title};
    if (request.parentWindow != 0) {
        arguments.push_back("--attach");
        arguments.push_back(std::to_string(request.parentWindow));
    }
    arguments.push_back("--warningyesno");
    arguments.push_back(replaceQuestion(name));
    return arguments;
}

bool showFileDialog(const FileDialogRequest& request, std::string& path, const FileDialogCalls& calls) {
    const std::vector<Attempt> attempts = attemptsFor(request);
    bool refused = false;
    std::string missing;
    for (const Attempt& attempt : attempts) {
        if (attempt.arguments[0] == missing) {
            continue;
        }
        std::string chosen;
        switch (runHelper(attempt.arguments, chosen, calls)) {
            case Outcome::Chosen: {
                const std::string named =
                    request.save ? withDefaultExtension(chosen, request.defaultExtension) : chosen;
                if (!mayWrite(attempt, chosen, named, calls)) {
                    return false;
                }
                path = named;
                return true;
            }
            case Outcome::Cancelled:
                return false;
            case Outcome::Refused:
                refused = true;
                break;
            case Outcome::Missing:
                missing = attempt.arguments[0];
                break;
        }
    }
    calls.log(refused ? "File dialog: zenity refused every form of the dialog and kdialog is not installed"
                      : "File dialog: neither zenity nor kdialog is installed");
    return false;
}

std::string withDefaultExtension(const std::string& path, const std::string& extension) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    if (extension.empty() || hasExtension || nameStart == path.size()) {
        return path;
    }
    return path + "." + extension;
}

uint64_t dialogParentOf(SDL_Window* window) {
    if (window == nullptr) {
        return 0;
    }
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
        return 0;
    }
    return uint64_t(info.info.x11.window);
}

}  // namespace vobu
