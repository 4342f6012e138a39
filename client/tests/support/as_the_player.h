#pragma once
// Runs a piece of a test as the player whose folder holds a file another
// user made there: a game window once started under sudo leaves root's
// files in the player's folder, which the player can replace but not open
// for writing.
//
// Run as root (as the tests are on a fresh machine), the piece runs in a
// child process as the user "nobody", who is given `folder` first; files
// the test makes there afterwards stay root's. Run as anyone else, the
// child stays that user, and a file whose mode denies its owner writing
// stands in for another user's.

#include <grp.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>

namespace vobu::testing {

constexpr uid_t kNobody = 65534;

// Gives `folder` and everything in it to the player (see above).
inline void giveToThePlayer(const std::string& folder) {
    if (::geteuid() != 0) return;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        ::lchown(entry.path().c_str(), kNobody, kNobody);
    }
    ::lchown(folder.c_str(), kNobody, kNobody);
}

// Runs `piece` as the player, in a child process; true when it returned
// true there.
inline bool asThePlayer(const std::function<bool()>& piece) {
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(2);
        }
        ::_exit(piece() ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace vobu::testing
