#pragma once
// Catches what the code under test logs through SDL_Log, for the lines the
// end-to-end tests and a watcher read; the previous output comes back when
// the capture ends.

#include <SDL.h>

#include <string>
#include <vector>

namespace vobu::testing {

class LogCapture {
public:
    LogCapture() {
        SDL_LogGetOutputFunction(&previous_, &previousData_);
        SDL_LogSetOutputFunction(&LogCapture::write, this);
    }
    ~LogCapture() { SDL_LogSetOutputFunction(previous_, previousData_); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines;

    int count(const std::string& prefix) const {
        int n = 0;
        for (const std::string& line : lines) n += line.rfind(prefix, 0) == 0;
        return n;
    }

private:
    static void write(void* self, int, SDL_LogPriority, const char* message) {
        static_cast<LogCapture*>(self)->lines.emplace_back(message);
    }
    SDL_LogOutputFunction previous_ = nullptr;
    void* previousData_ = nullptr;
};

}  // namespace vobu::testing
