#include "platform/process_spawn.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
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

// The helper starts with no blocked signals and SIGPIPE at its default,
// whatever the game has set for itself.
class SpawnAttributes {
public:
    SpawnAttributes() {
        ok_ = posix_spawnattr_init(&attributes_) == 0;
        sigset_t none;
        sigset_t defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        ok_ = ok_ && posix_spawnattr_setsigmask(&attributes_, &none) == 0 &&
              posix_spawnattr_setsigdefault(&attributes_, &defaults) == 0 &&
              posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    bool ok() const { return ok_; }
    const posix_spawnattr_t* get() const { return &attributes_; }

private:
    posix_spawnattr_t attributes_{};
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
    SpawnAttributes attributes;
    pid_t pid = -1;
    const bool ready = actions.wire(fds[1]) && attributes.ok();
    int spawned = ready ? posix_spawnp(&pid, argv[0], actions.get(), attributes.get(), argv.data(), environ) : EINVAL;
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
