#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vobu {

// What the command line asks for.
struct CommandLine {
    std::string serverUrl;     // "--server <address>"; empty: the default server
    uint32_t quitAfterMs = 0;  // "--quit-after-ms <n>"; 0: no limit
    bool quickJoin = false;    // "--quick-join"
};

// Reads the arguments after the program name. An argument taken as a value
// is never read as an option. Throws std::invalid_argument or
// std::out_of_range with the text "stoul" for a bad "--quit-after-ms" value.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);
CommandLine parseCommandLine(int argc, char** argv);

// Converts like strtoul in base 10 on a platform whose unsigned long has 32
// bits: leading white space and a sign accepted, trailing characters
// ignored, a minus sign negating modulo 2^32; no digits or a magnitude
// beyond 32 bits throw with the text "stoul".
uint32_t parseMilliseconds(const std::string& text);

}  // namespace vobu
