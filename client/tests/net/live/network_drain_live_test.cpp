// The game connection with its real transport and drainer against the test
// game server flooding "character" messages: the client gives up on its
// player limit, and its "clientError" must reach the server every time,
// also when the player joins again at once and the server is still writing.

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include "net/network.h"
#include "net/socket_drainer.h"
#include "platform/performance_clock.h"
#include "server_runner.h"

namespace vobu {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testserver::ServerRunner;

constexpr int kJoins = 8;

class FloodingServer {
public:
    FloodingServer() : directory_(fs::temp_directory_path() / ("vobu-drain-" + std::to_string(getpid()))) {
        fs::create_directories(directory_);
        testserver::ServerOptions options = testserver::parseServerOptions(
            {"--bots", "1", "--fault", "flood-characters", "--transcript", transcript().string()});
        runner_ = std::make_unique<ServerRunner>(options);
        thread_ = std::thread([this] { runner_->run(false); });
    }
    ~FloodingServer() {
        runner_->stop();
        thread_.join();
        std::error_code ignored;
        fs::remove_all(directory_, ignored);
    }
    std::string url() const { return "ws://127.0.0.1:" + std::to_string(runner_->port()) + "/vobu"; }
    fs::path transcript() const { return directory_ / "transcript.jsonl"; }

    // Per connection: its "clientError" codes, once `connections` have closed
    // on the server's side (or five seconds have passed).
    std::map<int, std::vector<std::string>> reports(int connections) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (;;) {
            std::map<int, std::vector<std::string>> codes;
            int closes = 0;
            std::ifstream file(transcript());
            std::string text;
            while (std::getline(file, text)) {
                const json line = json::parse(text, nullptr, false);
                if (line.is_discarded()) continue;
                if (line.value("event", "") == "close") ++closes;
                if (line.contains("msg") && line["msg"].value("type", "") == "clientError") {
                    codes[line["conn"].get<int>()].push_back(line["msg"].value("code", ""));
                }
            }
            if (closes >= connections || std::chrono::steady_clock::now() > deadline) return codes;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

private:
    fs::path directory_;
    std::unique_ptr<ServerRunner> runner_;
    std::thread thread_;
};

TEST(NetworkDrainLive, EveryReportReachesAFloodingServerAcrossImmediateRejoins) {
    FloodingServer server;
    SocketDrainer drainer;
    Scene scene;
    Network network(scene, [&drainer](TransportCallbacks&& callbacks) {
        return createSocketTransport(std::move(callbacks), drainer);
    });
    network.localCharacter.id = "drain";
    // Reported, not judged: what draining costs a frame.
    double longestPollMs = 0;
    for (int join = 0; join < kJoins; ++join) {
        network.connect(server.url());
        // Frames of about 16 ms as under vertical sync, the drainer polled
        // with each: the flood piles up between them.
        for (int frame = 0; frame < 1000; ++frame) {
            network.update(performanceMs(), 0, 0, false);
            const double start = performanceMs();
            drainer.poll();
            longestPollMs = std::max(longestPollMs, performanceMs() - start);
            if (network.gameEnded) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(16));
        }
        ASSERT_EQ(network.errorCode, "ERR_CHARACTER_LIMIT") << join;
        // The game ended without waiting for the server: its socket drains
        // (the server reads its input only every 150 ms).
        EXPECT_GE(drainer.size(), 1u) << join;
    }
    for (int frame = 0; frame < 4000 && drainer.size() > 0; ++frame) {
        drainer.poll();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(drainer.size(), 0u) << "the server hangs up once it has read the client's end";

    const std::map<int, std::vector<std::string>> reports = server.reports(kJoins);
    std::cout << "reports received: " << reports.size() << " of " << kJoins << " joins; longest drainer poll "
              << longestPollMs << " ms\n";
    EXPECT_EQ(reports.size(), size_t(kJoins));
    for (const auto& [connection, codes] : reports) {
        EXPECT_EQ(codes, std::vector<std::string>{"ERR_CHARACTER_LIMIT"}) << connection;
    }
}

}  // namespace
}  // namespace vobu
