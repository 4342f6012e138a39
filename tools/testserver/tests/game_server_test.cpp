// The GameServer on a clock of the test's own, without sockets: bots,
// audio pacing, the moment faults fire and what a connection is sent.

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include <gtest/gtest.h>

#include "game_server.h"
#include "server_runner.h"
#include "test_client.h"

namespace vobu::testserver::test {
namespace {

class RecordingLink : public ClientLink {
public:
    void send(Outgoing item) override { items.push_back(std::move(item)); }

    // Decoded messages not yet looked at.
    std::vector<json> take() {
        std::vector<json> out;
        for (; next < items.size(); ++next) {
            if (items[next].kind == Outgoing::Kind::Message || items[next].kind == Outgoing::Kind::Fragmented) {
                out.push_back(json::from_msgpack(items[next].bytes));
            }
        }
        return out;
    }

    std::vector<Outgoing> items;
    size_t next = 0;
};

std::string pack(const json& message) {
    const std::vector<uint8_t> bytes = json::to_msgpack(message);
    return std::string(bytes.begin(), bytes.end());
}

class ClockedServer {
public:
    explicit ClockedServer(ServerOptions options) {
        options.dataDir = parseServerOptions({}).dataDir;
        TestWorld world = buildTestWorld("demo", options.dataDir);
        server = std::make_unique<GameServer>(options, std::move(world), [this] { return nowMs; });
        difficulty = options.difficulty;
    }

    // Opens a connection and plays the join up to "ready"; returns its
    // player id.
    int join(RecordingLink& link, const std::string& characterId) {
        const int connection = server->onOpen(&link);
        const json challenge = link.take().at(0);
        const std::string text = challenge.at("challenge");
        Character character;
        character.id = characterId;
        server->onMessage(connection, pack(helloFor(character, text, findNonce(text, difficulty))));
        const json welcome = link.take().at(0);
        for (const auto& id : requestOrder(welcome.at("assets"))) {
            server->onMessage(connection, pack({{"type", "assetRequest"}, {"id", id}}));
        }
        server->onMessage(connection, pack({{"type", "assetsReady"}}));
        connections[welcome.at("id")] = connection;
        return welcome.at("id");
    }

    // Ticks every `stepMs` until `untilMs`, collecting what `link` gets.
    std::vector<std::pair<double, json>> runUntil(double untilMs, RecordingLink& link, double stepMs = 50) {
        std::vector<std::pair<double, json>> got;
        while (nowMs + stepMs <= untilMs) {
            nowMs += stepMs;
            server->tick();
            for (auto& m : link.take()) {
                got.emplace_back(nowMs, std::move(m));
            }
        }
        return got;
    }

    double nowMs = 0;
    int difficulty = 4;
    std::unique_ptr<GameServer> server;
    std::map<int, int> connections;
};

ServerOptions clockedOptions() {
    ServerOptions options;
    options.difficulty = 4;
    options.bots = 0;
    return options;
}

TEST(GameServerBots, JoinWalkChatWhisperLeaveAndComeBack) {
    ServerOptions options = clockedOptions();
    options.bots = 2;
    ClockedServer clocked(options);
    clocked.server->tick();
    RecordingLink link;
    const int id = clocked.join(link, "debug");
    // Bot 1 is there at once and is announced with the game.
    std::vector<int> present;
    for (const auto& m : link.take()) {
        if (m.at("type") == "joined") {
            present.push_back(m.at("id"));
        }
    }
    ASSERT_EQ(present.size(), 1u);
    const int bot1 = present[0];

    const auto got = clocked.runUntil(20000, link);
    std::vector<std::pair<double, std::string>> arrivals;  // joined / left of the other bot
    std::map<int, std::vector<json>> positions;
    int publicChat = 0, whispers = 0, segments = 0;
    double whisperAt = 0;
    for (const auto& [t, m] : got) {
        const std::string type = m.at("type");
        if (type == "joined" || type == "left") {
            arrivals.emplace_back(t, type + ":" + std::to_string(m.at("id").get<int>()));
        } else if (type == "chat" && m.at("to").is_null()) {
            ++publicChat;
            EXPECT_NE(m.at("from"), id);
        } else if (type == "chat") {
            ++whispers;
            whisperAt = t;
            EXPECT_EQ(m.at("from"), bot1);
            EXPECT_EQ(m.at("to"), id);
            EXPECT_EQ(m.at("toName"), "Vobu");
        } else if (type == "audioSegment") {
            ++segments;
        } else if (type == "snapshot") {
            for (const auto& p : m.at("players")) {
                positions[p.at("id")].push_back(p);
            }
        }
    }
    // The second bot: joins at 1.5 s, leaves 12 s later, comes back with a
    // new id 4 s after that.
    ASSERT_EQ(arrivals.size(), 3u);
    EXPECT_EQ(arrivals[0].first, 1500);
    EXPECT_EQ(arrivals[1].first, 13500);
    EXPECT_EQ(arrivals[2].first, 17500);
    EXPECT_EQ(arrivals[0].second.substr(0, 7), "joined:");
    EXPECT_EQ(arrivals[1].second, "left:" + arrivals[0].second.substr(7));
    EXPECT_EQ(arrivals[2].second.substr(0, 7), "joined:");
    EXPECT_NE(arrivals[2].second, arrivals[0].second);
    EXPECT_EQ(whispers, 1);
    EXPECT_EQ(whisperAt, 3000);
    EXPECT_GE(publicChat, 3);
    EXPECT_GE(segments, 19);
    EXPECT_LE(segments, 21);
    // Bot 1 walks its loop on the floor; the player stands still.
    const auto& walk = positions[bot1];
    ASSERT_GT(walk.size(), 300u);
    double travelled = 0;
    for (size_t i = 1; i < walk.size(); ++i) {
        travelled += std::hypot(walk[i].at("x").get<double>() - walk[i - 1].at("x").get<double>(),
                                walk[i].at("y").get<double>() - walk[i - 1].at("y").get<double>());
        EXPECT_EQ(walk[i].at("z").get<double>(), 0.0);
        EXPECT_GE(walk[i].at("triangle").get<int>(), 0);
        EXPECT_LE(std::abs(walk[i].at("x").get<double>()), 10.0);
    }
    EXPECT_GT(travelled, 20.0);
    EXPECT_EQ(positions[id].front(), positions[id].back());
}

TEST(GameServerBots, ABotLeavingDuringTheDownloadIsToldWithItsSkinPending) {
    ServerOptions options = clockedOptions();
    options.bots = 2;
    ClockedServer clocked(options);
    RecordingLink idle;
    clocked.server->tick();
    clocked.runUntil(2000, idle);
    RecordingLink link;
    const int connection = clocked.server->onOpen(&link);
    const std::string text = link.take().at(0).at("challenge");
    Character character;
    character.id = "debug";
    clocked.server->onMessage(connection, pack(helloFor(character, text, findNonce(text, 4))));
    const json welcome = link.take().at(0);
    std::vector<int> skinOwners;
    for (const auto& entry : welcome.at("assets")) {
        if (entry.at("kind") == "skin") {
            skinOwners.push_back(entry.at("playerId"));
            EXPECT_EQ(entry.at("id"), "skin-" + std::to_string(entry.at("playerId").get<int>()));
        }
    }
    ASSERT_EQ(skinOwners.size(), 2u);
    // Bot 2 leaves at 13.5 s while this client is still downloading.
    std::vector<json> left;
    for (const auto& [t, m] : clocked.runUntil(14000, link)) {
        EXPECT_NE(m.at("type"), "snapshot");
        if (m.at("type") == "left") {
            left.push_back(m);
        }
    }
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].at("id"), skinOwners[1]);
    for (const auto& id : requestOrder(welcome.at("assets"))) {
        clocked.server->onMessage(connection, pack({{"type", "assetRequest"}, {"id", id}}));
    }
    clocked.server->onMessage(connection, pack({{"type", "assetsReady"}}));
    std::vector<int> joined;
    for (const auto& m : link.take()) {
        if (m.at("type") == "joined") {
            joined.push_back(m.at("id"));
        }
        EXPECT_NE(m.at("type"), "character");
    }
    EXPECT_EQ(joined, std::vector<int>{skinOwners[0]});
}

// The challenges of the first `count` connections of a server.
std::vector<std::string> challengesOf(std::optional<uint64_t> seed, int count) {
    ServerOptions options = clockedOptions();
    options.challengeSeed = seed;
    ClockedServer clocked(options);
    std::vector<RecordingLink> links(static_cast<size_t>(count));
    std::vector<std::string> challenges;
    for (RecordingLink& link : links) {
        clocked.server->onOpen(&link);
        const json challenge = link.take().at(0);
        EXPECT_EQ(challenge.at("type"), "challenge");
        challenges.push_back(challenge.at("challenge"));
    }
    return challenges;
}

TEST(GameServerChallenges, ASeedDrawsItsOwnRepeatableChallenges) {
    const auto unseeded = challengesOf(std::nullopt, 3);
    EXPECT_EQ(challengesOf(std::nullopt, 3), unseeded) << "without a seed every run sends the same";
    for (uint64_t seed : {0ull, 1ull, 2ull, 24ull, 18446744073709551615ull}) {
        const auto seeded = challengesOf(seed, 3);
        EXPECT_EQ(challengesOf(seed, 3), seeded) << seed;
        EXPECT_NE(seeded, unseeded) << seed;
        for (const std::string& challenge : seeded) {
            EXPECT_EQ(challenge.size(), 32u);
            EXPECT_EQ(challenge.find_first_not_of("0123456789abcdef"), std::string::npos) << challenge;
        }
        EXPECT_NE(seeded[0], seeded[1]);
        EXPECT_NE(seeded[1], seeded[2]);
    }
    EXPECT_NE(challengesOf(1, 1), challengesOf(2, 1)) << "neighbouring seeds differ";
}

TEST(GameServerFaults, AfterReadyFaultsWaitForTheDelay) {
    struct Case {
        const char* fault;
        const char* firstType;  // what the fault sends, or "" for silence
    };
    const std::vector<Case> cases = {
        {"error", "error"}, {"disconnect", "disconnect"}, {"malformed", "snapshot"}, {"stop-snapshots", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        ServerOptions options = clockedOptions();
        options.faults = {c.fault};
        options.faultDelayMs = 1000;
        ClockedServer clocked(options);
        RecordingLink link;
        clocked.join(link, "debug");
        link.take();
        const auto before = clocked.runUntil(950, link);
        int snapshots = 0;
        for (const auto& [t, m] : before) {
            EXPECT_NE(m.at("type"), "error");
            EXPECT_NE(m.at("type"), "disconnect");
            snapshots += m.at("type") == "snapshot";
        }
        EXPECT_EQ(snapshots, 19);
        const auto after = clocked.runUntil(3000, link);
        int snapshotsAfter = 0;
        for (const auto& [t, m] : after) {
            snapshotsAfter += m.at("type") == "snapshot";
        }
        if (std::string(c.fault) == "stop-snapshots") {
            EXPECT_EQ(snapshotsAfter, 0);
        } else {
            ASSERT_FALSE(after.empty());
            EXPECT_EQ(after[0].first, 1000);
            EXPECT_EQ(after[0].second.at("type"), c.firstType);
        }
    }
}

TEST(GameServerFaults, OversizeFrameAndPings) {
    ServerOptions options = clockedOptions();
    options.faults = {"oversize-frame", "ping"};
    options.faultDelayMs = 0;
    ClockedServer clocked(options);
    RecordingLink link;
    clocked.join(link, "debug");
    clocked.runUntil(1000, link);
    size_t oversize = 0, pings = 0;
    for (const auto& item : link.items) {
        if (item.kind == Outgoing::Kind::Oversize) {
            ++oversize;
            EXPECT_EQ(item.bytes.size(), 1048577u);
        }
        if (item.kind == Outgoing::Kind::Ping) {
            EXPECT_EQ(item.bytes, "vobu-ping-" + std::to_string(++pings));
        }
    }
    EXPECT_EQ(oversize, 1u);
    EXPECT_EQ(pings, 4u);  // every 250 ms
}

TEST(GameServerFaults, CorruptMeshSpoilsOnlyTheRenderMeshsLastChunk) {
    ServerOptions options = clockedOptions();
    options.faults = {"corrupt-mesh"};
    ClockedServer clocked(options);
    RecordingLink link;
    const int connection = clocked.server->onOpen(&link);
    const json challenge = link.take().at(0);
    const std::string text = challenge.at("challenge");
    Character character;
    character.id = "debug";
    clocked.server->onMessage(connection, pack(helloFor(character, text, findNonce(text, 4))));
    link.take();
    for (const auto& asset : clocked.server->world().assets) {
        clocked.server->onMessage(connection, pack({{"type", "assetRequest"}, {"id", asset.id}}));
        std::vector<uint8_t> bytes;
        for (const auto& chunk : link.take()) {
            const auto& data = chunk.at("data").get_binary();
            bytes.insert(bytes.end(), data.begin(), data.end());
        }
        ASSERT_EQ(bytes.size(), asset.bytes.size());
        size_t differing = 0;
        for (size_t i = 0; i < bytes.size(); ++i) {
            differing += bytes[i] != asset.bytes[i];
        }
        EXPECT_EQ(differing, asset.kind == "mesh" ? 1u : 0u) << asset.id;
    }
}

TEST(GameServerTranscript, StateLinesFollowTheSnapshotsThroughAJump) {
    ServerOptions options = clockedOptions();
    const std::filesystem::path path = std::filesystem::path(::testing::TempDir()) /
                                       ("vobu_game_server_state_" + std::to_string(::getpid()) + ".jsonl");
    options.transcript = path.string();
    std::vector<json> own;  // this player's entry of every snapshot, in order
    {
        ClockedServer clocked(options);
        RecordingLink link;
        const int id = clocked.join(link, "debug");
        const int connection = clocked.connections.at(id);
        auto collect = [&](const std::vector<json>& messages) {
            for (const auto& m : messages) {
                if (m.at("type") == "snapshot") {
                    for (const auto& p : m.at("players")) {
                        if (p.at("id") == id) {
                            own.push_back(p);
                        }
                    }
                }
            }
        };
        collect(link.take());
        // Three steps a tick, as a client at 60 steps a second sends them;
        // the jump is step 4, and 3 s is time enough to land.
        uint32_t sequence = 0;
        for (int tick = 0; tick < 60; ++tick) {
            json commands = json::array();
            for (int i = 0; i < 3; ++i) {
                ++sequence;
                commands.push_back({{"seq", sequence}, {"x", 0.0}, {"y", 0.0}, {"jump", sequence == 4}});
            }
            clocked.server->onMessage(connection, pack({{"type", "input"}, {"commands", commands}}));
            clocked.nowMs += 50;
            clocked.server->tick();
            collect(link.take());
        }
    }
    std::vector<json> states;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const json entry = json::parse(line);
        if (entry.value("event", "") == "state") {
            states.push_back(entry);
        }
    }
    std::filesystem::remove(path);
    ASSERT_EQ(own.size(), 61u);
    ASSERT_EQ(states.size(), own.size() / 5);
    double highest = 0;
    for (size_t k = 0; k < states.size(); ++k) {
        // Line k tells what snapshot 5 (k + 1) told the player.
        const json& snapshot = own[5 * (k + 1) - 1];
        for (const char* key : {"x", "y", "z", "ack"}) {
            EXPECT_EQ(states[k].at(key), snapshot.at(key)) << key << " in line " << k;
        }
        highest = std::max(highest, states[k].at("z").get<double>());
    }
    EXPECT_GT(highest, 1.0) << "the jump is seen in the air";
    EXPECT_EQ(states.back().at("z").get<double>(), 0.0) << "and back on the floor";
    EXPECT_EQ(states.back().at("ack"), 177);  // snapshot 60 follows input 59
}

}  // namespace
}  // namespace vobu::testserver::test
