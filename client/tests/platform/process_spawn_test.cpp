#include "platform/process_spawn.h"

#include <csignal>
#include <sstream>

#include <gtest/gtest.h>

namespace vobu {
namespace {

TEST(RunProcess, ArgumentsArriveVerbatimWithoutAShell) {
    // The program itself is a shell here only to echo what it was given.
    const std::vector<std::string> arguments{
        "sh", "-c", "printf '%s|' \"$@\"", "sh", "$HOME", "a b", "`id`", ";", "\"q\"", "*", "", "x\ny"};
    const ProcessResult result = runProcess(arguments, 4096);
    ASSERT_EQ(result.start, ProcessStart::Ran);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.output, "$HOME|a b|`id`|;|\"q\"|*||x\ny|");
    EXPECT_FALSE(result.outputCut);
}

TEST(RunProcess, ExitStatusAndEmptyInput) {
    const ProcessResult failed = runProcess({"sh", "-c", "exit 7"}, 16);
    EXPECT_EQ(failed.start, ProcessStart::Ran);
    EXPECT_EQ(failed.exitStatus, 7);
    // Standard input is /dev/null: cat ends at once instead of waiting for a terminal.
    const ProcessResult cat = runProcess({"cat"}, 16);
    EXPECT_EQ(cat.start, ProcessStart::Ran);
    EXPECT_EQ(cat.exitStatus, 0);
    EXPECT_EQ(cat.output, "");
    const ProcessResult killed = runProcess({"sh", "-c", "kill -9 $$"}, 16);
    EXPECT_EQ(killed.start, ProcessStart::Ran);
    EXPECT_EQ(killed.exitStatus, -1);
}

TEST(RunProcess, LongOutputIsCutButFullyDrained) {
    // Far more than a pipe holds: a reader that stopped early would hang the child.
    const ProcessResult result = runProcess({"head", "-c", "1000000", "/dev/zero"}, 100);
    ASSERT_EQ(result.start, ProcessStart::Ran);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.output.size(), 100u);
    EXPECT_TRUE(result.outputCut);
}

// The game may block signals or ignore SIGPIPE for itself; the helper must
// not inherit either (a dialog that cannot be stopped, writes that fail).
TEST(RunProcess, HelperStartsWithCleanSignals) {
    sigset_t blocked;
    sigset_t previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    ASSERT_EQ(sigprocmask(SIG_BLOCK, &blocked, &previous), 0);
    auto previousPipe = std::signal(SIGPIPE, SIG_IGN);
    const ProcessResult result = runProcess({"grep", "-E", "^Sig(Blk|Ign):", "/proc/self/status"}, 4096);
    std::signal(SIGPIPE, previousPipe);
    sigprocmask(SIG_SETMASK, &previous, nullptr);

    ASSERT_EQ(result.start, ProcessStart::Ran);
    std::istringstream lines(result.output);
    std::string key;
    std::string mask;
    int seen = 0;
    while (lines >> key >> mask) {
        const unsigned long long bits = std::stoull(mask, nullptr, 16);
        if (key == "SigBlk:") {
            EXPECT_EQ(bits & (1ull << (SIGTERM - 1)), 0u) << mask;
        } else if (key == "SigIgn:") {
            EXPECT_EQ(bits & (1ull << (SIGPIPE - 1)), 0u) << mask;
        }
        ++seen;
    }
    EXPECT_EQ(seen, 2) << result.output;
}

TEST(RunProcess, MissingProgramIsNotFound) {
    EXPECT_EQ(runProcess({"vobu-no-such-program-here"}, 16).start, ProcessStart::NotFound);
    EXPECT_EQ(runProcess({}, 16).start, ProcessStart::Failed);
}

}  // namespace
}  // namespace vobu
