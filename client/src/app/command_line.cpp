#include "app/command_line.h"

#include <stdexcept>

namespace vobu {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

uint32_t parseMilliseconds(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || text[i] < '0' || text[i] > '9') {
        throw std::invalid_argument("stoul");
    }
    // The magnitude is checked against 32 bits digit by digit; the 64-bit
    // unsigned long of this platform would accept far more.
    uint64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + uint64_t(text[i] - '0');
        if (magnitude > 0xFFFFFFFFu) {
            throw std::out_of_range("stoul");
        }
    }
    const uint32_t value = uint32_t(magnitude);
    return negative ? uint32_t(0u - value) : value;
}

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine result;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == "--server") {
            if (hasValue) {
                result.serverUrl = arguments[++i];
            }
        } else if (argument == "--quit-after-ms") {
            if (!hasValue) {
                break;
            }
            result.quitAfterMs = parseMilliseconds(arguments[++i]);
        } else if (argument == "--quick-join") {
            result.quickJoin = true;
        }
    }
    return result;
}

CommandLine parseCommandLine(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i] ? argv[i] : "");
    }
    return parseCommandLine(arguments);
}

}  // namespace vobu
