#pragma once
// Test fixtures for the socket transport: the scripted peer process
// (tools/testpeer/testpeer.py), a recorder of the transport's callbacks and
// a pump that polls until something happened.

#include "net/socket_transport.h"

#include <nlohmann/json.hpp>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace vobu::testing {

inline std::string makeTempDirectory(const char* stem) {
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(stem) + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

inline std::string toHex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string text;
    for (unsigned char c : bytes) {
        text.push_back(digits[c >> 4]);
        text.push_back(digits[c & 15]);
    }
    return text;
}

inline std::string fromHex(const std::string& text) {
    std::string bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

inline std::string msgpackHex(const nlohmann::json& value) {
    const auto bytes = nlohmann::json::to_msgpack(value);
    return toHex(std::string(bytes.begin(), bytes.end()));
}

// The raw script's usual opening: read the upgrade request, send the
// accepting reply.
inline const nlohmann::json kRequest = {{"do", "request"}};
inline const nlohmann::json kReply = {{"do", "reply"}};

// One run of the scripted peer. The script is written to a temporary file;
// the peer's output lines are collected by a reader thread so the peer
// never blocks on a full pipe while the test is busy polling.
class TestPeer {
public:
    // The system interpreter, for which the peer's packages are installed.
    static constexpr const char* kPython = "/usr/bin/python3";

    explicit TestPeer(const nlohmann::json& script) {
        directory_ = makeTempDirectory("vobu-peer");
        const std::string scriptPath = directory_ + "/script.json";
        std::ofstream(scriptPath) << script.dump();
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
        const std::string program = std::string(VOBU_SOURCE_DIR) + "/tools/testpeer/testpeer.py";
        pid_ = fork();
        if (pid_ == 0) {
            dup2(pipeEnds[1], STDOUT_FILENO);
            close(pipeEnds[0]);
            close(pipeEnds[1]);
            // The full path as argv[0] too: CPython finds its standard
            // library from argv[0], and a bare name is looked up in PATH,
            // where another installation (pyenv's, say) may come first.
            execl(kPython, kPython, program.c_str(), scriptPath.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(pipeEnds[1]);
        readEnd_ = pipeEnds[0];
        reader_ = std::thread([this] { readLines(); });
        std::string line;
        if (!waitFor("PORT ", line, 10000)) {
            // The destructor does not run for a constructor that throws, and
            // a thread left joinable would end the whole test program.
            stop();
            throw std::runtime_error("test peer did not start");
        }
        port_ = std::stoi(line.substr(5));
    }

    ~TestPeer() { stop(); }

    TestPeer(const TestPeer&) = delete;
    TestPeer& operator=(const TestPeer&) = delete;

    int port() const { return port_; }
    std::string url(const char* scheme = "ws", const char* host = "127.0.0.1", const char* path = "/") const {
        return std::string(scheme) + "://" + host + ":" + std::to_string(port_) + path;
    }
    // A file in the peer's folder, for large messages.
    std::string writeFile(const std::string& name, const std::string& bytes) const {
        const std::string path = directory_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // Waits for the next line starting with `prefix`; earlier lines of other
    // kinds stay queued. The line is removed from the queue.
    bool waitFor(const std::string& prefix, std::string& line, int timeoutMs = 5000) {
        std::unique_lock lock(mutex_);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            for (auto it = lines_.begin(); it != lines_.end(); ++it) {
                if (it->rfind(prefix, 0) == 0) {
                    line = *it;
                    lines_.erase(it);
                    return true;
                }
            }
            if (ended_ || changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
                for (auto it = lines_.begin(); it != lines_.end(); ++it) {
                    if (it->rfind(prefix, 0) == 0) {
                        line = *it;
                        lines_.erase(it);
                        return true;
                    }
                }
                return false;
            }
        }
    }

    // The payload of the next "RECV"/"FRAME" line as bytes.
    std::string nextReceived(int timeoutMs = 5000) {
        std::string line;
        if (!waitFor("RECV ", line, timeoutMs)) return "<none>";
        return fromHex(line.substr(5));
    }

    struct Frame {
        int opcode = -1;
        bool fin = false;
        bool masked = false;
        std::string key;
        std::string payload;
    };
    bool nextFrame(Frame& frame, int timeoutMs = 5000) {
        std::string line;
        if (!waitFor("FRAME ", line, timeoutMs)) return false;
        // "FRAME opcode fin masked keyhex payloadhex"; key and payload may be empty.
        std::vector<std::string> fields;
        size_t start = 0;
        for (;;) {
            const size_t space = line.find(' ', start);
            fields.push_back(line.substr(start, space == std::string::npos ? std::string::npos : space - start));
            if (space == std::string::npos) break;
            start = space + 1;
        }
        if (fields.size() != 6) return false;
        frame.opcode = std::stoi(fields[1]);
        frame.fin = fields[2] == "1";
        frame.masked = fields[3] == "1";
        frame.key = fromHex(fields[4]);
        frame.payload = fromHex(fields[5]);
        return true;
    }

    std::string allLines() {
        std::lock_guard lock(mutex_);
        std::string text;
        for (const auto& line : lines_) text += line.substr(0, 200) + "\n";
        return text;
    }

private:
    void stop() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        if (reader_.joinable()) reader_.join();
        if (readEnd_ >= 0) close(readEnd_);
        readEnd_ = -1;
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }

    void readLines() {
        std::string partial;
        char chunk[65536];
        for (;;) {
            ssize_t got = read(readEnd_, chunk, sizeof chunk);
            if (got <= 0) break;
            partial.append(chunk, static_cast<size_t>(got));
            size_t newline;
            while ((newline = partial.find('\n')) != std::string::npos) {
                std::lock_guard lock(mutex_);
                lines_.push_back(partial.substr(0, newline));
                partial.erase(0, newline + 1);
                changed_.notify_all();
            }
        }
        std::lock_guard lock(mutex_);
        ended_ = true;
        changed_.notify_all();
    }

    std::string directory_;
    pid_t pid_ = -1;
    int readEnd_ = -1;
    int port_ = 0;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> lines_;
    bool ended_ = false;
};

// Everything the transport reported, in order.
struct CallbackRecorder {
    int opens = 0;
    int closes = 0;
    std::vector<std::string> errors;
    std::vector<std::string> messages;
    std::function<void()> afterOpen;
    std::function<void(const std::string&)> afterMessage;

    bool ended() const { return closes > 0 || !errors.empty(); }
    std::string error() const { return errors.empty() ? std::string() : errors.front(); }

    TransportCallbacks callbacks(bool withOnError = true) {
        TransportCallbacks result;
        result.onOpen = [this] {
            ++opens;
            if (afterOpen) afterOpen();
        };
        result.onClose = [this] { ++closes; };
        if (withOnError) result.onError = [this](const std::string& text) { errors.push_back(text); };
        result.onMessage = [this](const char* json, unsigned length) {
            messages.emplace_back(json, length);
            if (afterMessage) afterMessage(messages.back());
        };
        return result;
    }
};

// Polls until `done` holds or the wall-clock limit passes.
inline bool pumpUntil(SocketTransport& transport, const std::function<bool()>& done, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        transport.poll();
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
}

// The real platform calls, with a clock that only runs when a test moves
// it (so a handshake deadline can be crossed in milliseconds).
struct ManualClock {
    std::shared_ptr<std::atomic<uint32_t>> now = std::make_shared<std::atomic<uint32_t>>(1000);
    void advance(uint32_t ms) { *now += ms; }
};

inline TransportCalls callsWithClock(const ManualClock& clock) {
    TransportCalls platform = systemTransportCalls();
    auto now = clock.now;
    platform.ticks = [now] { return now->load(); };
    return platform;
}

// A platform whose trust bundle is the given file instead of the system's.
inline TransportCalls callsWithTrustBundle(const std::string& path) {
    TransportCalls platform = systemTransportCalls();
    platform.readTrustBundle = [path](std::string& pem) {
        std::ifstream file(path, std::ios::binary);
        if (!file) return false;
        pem.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        return true;
    };
    return platform;
}

// A fresh set of test certificates (see tools/testpeer/make_test_certs.sh):
// ca.crt, good/other/expired/self .crt and .key, bundle.pem.
inline std::string makeTestCertificates() {
    const std::string directory = makeTempDirectory("vobu-certs");
    const std::string command =
        "bash '" + std::string(VOBU_SOURCE_DIR) + "/tools/testpeer/make_test_certs.sh' '" + directory + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("could not make test certificates");
    return directory;
}

}  // namespace vobu::testing
