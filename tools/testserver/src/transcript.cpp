#include "transcript.h"

#include <stdexcept>

namespace vobu::testserver {

Transcript::~Transcript() {
    if (file_) {
        std::fclose(file_);
    }
}

void Transcript::open(const std::string& path) {
    if (path.empty()) {
        return;
    }
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) {
        throw std::runtime_error("cannot write the transcript " + path);
    }
}

void Transcript::write(int connection, double timeMs, nlohmann::json line) {
    if (!file_) {
        return;
    }
    line["conn"] = connection;
    line["t"] = timeMs;
    // Client strings may hold broken UTF-8; the line must still be written.
    std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fflush(file_);
}

}  // namespace vobu::testserver
