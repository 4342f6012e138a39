#include "platform/process_spawn.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vobu {
namespace {

class FileActions {
public:
    FileActions() { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
    ~FileActions() {
        if (ok_) {
            posix_spawn_file_actions_destroy(&actions_);
        }
    }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;

    // Standard input from /dev/null, standard output into the pipe.
    bool wire(int pipeWrite) {
        ok_ = ok_ && posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0) == 0;
        ok_ = ok_ && posix_spawn_file_actions_adddup2(&actions_, pipeWrite, 1) == 0;
        return ok_;
    }
    const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
    bool ok_ = false;
};

// Reads until the program closes its end, keeping at most maxOutput bytes.
// Reading on past the limit keeps the program from blocking on a full pipe.
void drain(int fd, size_t maxOutput, ProcessResult& result) {
    char buffer[4096];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return;
        }
        const size_t room = maxOutput - result.output.size();
        const size_t keep = std::min(room, static_cast<size_t>(got));
        result.output.append(buffer, keep);
        result.outputCut = result.outputCut || keep < static_cast<size_t>(got);
    }
}

bool waitFor(pid_t pid, int& status) {
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& arguments, size_t maxOutput) {
    ProcessResult result;
    if (arguments.empty()) {
        return result;
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return result;
    }
    FileActions actions;
    pid_t pid = -1;
    int spawned =
        actions.wire(fds[1]) ? posix_spawnp(&pid, argv[0], actions.get(), nullptr, argv.data(), environ) : EINVAL;
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        result.start = spawned == ENOENT || spawned == EACCES ? ProcessStart::NotFound : ProcessStart::Failed;
        return result;
    }
    drain(fds[0], maxOutput, result);
    ::close(fds[0]);
    int status = 0;
    if (!waitFor(pid, status)) {
        return result;
    }
    result.start = ProcessStart::Ran;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace vobu
