#include "app/command_line.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "app/application.h"

namespace vobu {
namespace {

struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string server;
    uint32_t quitAfterMs;
    bool quickJoin;
};

TEST(CommandLine, ArgumentsAndValues) {
    const Case cases[] = {
        {"nothing", {}, "", 0, false},
        {"server", {"--server", "wss://a/vobu"}, "wss://a/vobu", 0, false},
        {"trailing server ignored", {"--server"}, "", 0, false},
        {"trailing server after a value", {"--server", "ws://x", "--server"}, "ws://x", 0, false},
        {"second server wins", {"--server", "ws://one", "--server", "ws://two"}, "ws://two", 0, false},
        {"value is not an option", {"--server", "--quick-join"}, "--quick-join", 0, false},
        {"quit value is not an option", {"--quit-after-ms", "5", "--quick-join"}, "", 5, true},
        {"server value named like quit", {"--server", "--quit-after-ms", "7"}, "--quit-after-ms", 0, false},
        {"quick join", {"--quick-join"}, "", 0, true},
        {"quit zero is no limit", {"--quit-after-ms", "0"}, "", 0, false},
        {"trailing quit ends parsing", {"--quick-join", "--quit-after-ms"}, "", 0, true},
        {"others skipped", {"-x", "--SERVER", "a", "--quick-join=1", "--quick-join"}, "", 0, true},
        {"space sign trailing", {"--quit-after-ms", "  +250ms"}, "", 250, false},
        {"largest value", {"--quit-after-ms", "4294967295"}, "", 4294967295u, false},
        {"minus wraps like 32-bit strtoul", {"--quit-after-ms", "-1"}, "", 4294967295u, false},
        {"leading zeros", {"--quit-after-ms", "000000000000000000012"}, "", 12, false},
    };
    for (const Case& c : cases) {
        const CommandLine parsed = parseCommandLine(c.args);
        EXPECT_EQ(parsed.serverUrl, c.server) << c.name;
        EXPECT_EQ(parsed.quitAfterMs, c.quitAfterMs) << c.name;
        EXPECT_EQ(parsed.quickJoin, c.quickJoin) << c.name;
    }
}

TEST(CommandLine, BadQuitValuesThrowStoul) {
    const std::vector<std::string> bad = {
        "",           "abc", " ", "+", "-", "x12", "4294967296", "18446744073709551616", "99999999999999999999999",
        "-4294967296"};
    for (const std::string& value : bad) {
        try {
            parseCommandLine({"--quit-after-ms", value});
            ADD_FAILURE() << "accepted \"" << value << "\"";
        } catch (const std::logic_error& error) {
            EXPECT_STREQ(error.what(), "stoul") << value;
        }
    }
}

TEST(CommandLine, ArgvSkipsTheProgramName) {
    char program[] = "vobugame";
    char server[] = "--server";
    char url[] = "ws://h";
    char* argv[] = {program, server, url, nullptr};
    EXPECT_EQ(parseCommandLine(3, argv).serverUrl, "ws://h");
}

TEST(FrameTime, SecondsCappedAndNeverNegative) {
    struct TimeCase {
        double previous, now, seconds;
    } const cases[] = {
        {1000, 1016, 0.016},
        {1000, 1100, 0.1},
        {1000, 5000, 0.1},
        {1000, 1000, 0},
        {1000, 900, 0},
        // Months of uptime at a 1e9 Hz counter: doubles keep the difference.
        {8.0e9, 8.0e9 + 20, 0.02},
    };
    for (const TimeCase& c : cases) {
        EXPECT_NEAR(frameTimeSeconds(c.previous, c.now), c.seconds, 1e-9) << c.previous << " -> " << c.now;
    }
}

}  // namespace
}  // namespace vobu
