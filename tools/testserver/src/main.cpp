// vobu_testserver: the project's test game server (see README.md).

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "server_runner.h"

int main(int argc, char** argv) {
    using namespace vobu::testserver;
    std::vector<std::string> args(argv + 1, argv + argc);
    ServerOptions options;
    try {
        options = parseServerOptions(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vobu_testserver: %s\n", e.what());
        return 2;
    }
    try {
        ServerRunner runner(options);
        std::printf("PORT %u\nURL %s\n", static_cast<unsigned>(runner.port()), runner.url().c_str());
        std::fflush(stdout);
        runner.run(true);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vobu_testserver: %s\n", e.what());
        return 1;
    }
    return 0;
}
