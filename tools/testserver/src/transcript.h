#pragma once
// The transcript: one JSON line per client message and per connection
// event, flushed at once so a test can read it while the server runs.

#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

namespace vobu::testserver {

class Transcript {
public:
    Transcript() = default;
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    // An empty path writes nothing. Throws std::runtime_error when the file
    // cannot be created.
    void open(const std::string& path);

    // Adds "conn" and "t" to `line` and writes it.
    void write(int connection, double timeMs, nlohmann::json line);

private:
    std::FILE* file_ = nullptr;
};

}  // namespace vobu::testserver
