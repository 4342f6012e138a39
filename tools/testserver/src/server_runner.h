#pragma once
// Puts a GameServer, its listener and its timers on one io_context. The
// program runs it on the main thread; tests run it on a thread of their own.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "game_server.h"

namespace vobu::testserver {

// Parses the command line (without the program name). Throws
// std::invalid_argument with a message for the user.
ServerOptions parseServerOptions(const std::vector<std::string>& args);

class ServerRunner {
public:
    // Builds the world and binds the port; throws std::runtime_error.
    explicit ServerRunner(ServerOptions options);
    ~ServerRunner();

    uint16_t port() const;
    std::string url() const;
    // Runs until stop() (from any thread), a signal when `signals`, or the
    // exit time.
    void run(bool signals);
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vobu::testserver
