#pragma once
// Runs a helper program with an argument vector (never through a shell, so
// no argument is ever expanded or split) and collects what it prints.

#include <cstddef>
#include <string>
#include <vector>

namespace vobu {

enum class ProcessStart {
    Ran,
    // No program of that name on PATH (or it cannot be executed).
    NotFound,
    // The pipe, the spawn or the wait failed.
    Failed,
};

struct ProcessResult {
    ProcessStart start = ProcessStart::Failed;
    // The exit status when the program ended normally, else -1.
    int exitStatus = -1;
    // Standard output, at most the limit given.
    std::string output;
    // The program printed more than the limit; the rest was read and dropped.
    bool outputCut = false;
};

// Finds arguments[0] on PATH, runs it with the given arguments and this
// process's environment, standard input from /dev/null and standard error
// inherited, reads its standard output (at most maxOutput bytes kept) and
// waits for it to end. Blocks the calling thread meanwhile.
ProcessResult runProcess(const std::vector<std::string>& arguments, size_t maxOutput);

}  // namespace vobu
