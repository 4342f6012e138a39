// The test game server driven by a client of the tests' own: the join,
// the checks the server makes, movement by the shared rules, chat, swaps,
// other players, the directory, every scripted fault, TLS and the
// transcript.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "character/character_json.h"
#include "net/sha256.h"
#include "server_runner.h"
#include "test_client.h"
#include "test_world.h"
#include "world/map_readers.h"
#include "world/movement.h"

namespace vobu::testserver::test {
namespace {

namespace fs = std::filesystem;

Character debugCharacter() {
    Character c;
    c.id = "debug";
    return c;
}

fs::path tempDir(const std::string& name) {
    fs::path dir =
        fs::temp_directory_path() / ("vobu_testserver_" + name + "_" + std::to_string(::getpid()) + "_" +
                                     std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(dir);
    return dir;
}

// A server on a thread of its own for one test.
class RunningServer {
public:
    explicit RunningServer(ServerOptions options) {
        if (options.dataDir.empty()) {
            options.dataDir = parseServerOptions({}).dataDir;
        }
        runner_ = std::make_unique<ServerRunner>(std::move(options));
        thread_ = std::thread([this] { runner_->run(false); });
    }
    ~RunningServer() {
        runner_->stop();
        thread_.join();
    }
    uint16_t port() const { return runner_->port(); }

private:
    std::unique_ptr<ServerRunner> runner_;
    std::thread thread_;
};

ServerOptions quickOptions() {
    ServerOptions options;
    options.difficulty = 6;
    options.bots = 0;
    options.faultDelayMs = 0;
    options.snapshotMs = 20;
    return options;
}

std::vector<json> readTranscript(const fs::path& path) {
    std::vector<json> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(json::parse(line));
    }
    return lines;
}

// The transcript once the server has written the close of connection 1:
// a client gone on this side is not yet gone on the server's thread.
std::vector<json> readTranscriptAfterClose(const fs::path& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        std::vector<json> lines = readTranscript(path);
        for (const auto& line : lines) {
            if (line.value("event", "") == "close") {
                return lines;
            }
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "no close in the transcript";
            return lines;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

json ownEntry(const json& snapshot, int id) {
    for (const auto& player : snapshot.at("players")) {
        if (player.at("id") == id) {
            return player;
        }
    }
    return nullptr;
}

// ---- the join ---------------------------------------------------------------

TEST(TestServerJoin, ChallengeWelcomeAssetsReadyAndFirstSnapshot) {
    RunningServer server(quickOptions());
    TestClient client(server.port());
    const json ready = client.joinToReady(debugCharacter());

    const std::string challenge = client.challenge.at("challenge");
    EXPECT_EQ(challenge.size(), 32u);
    EXPECT_EQ(challenge.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(client.challenge.at("difficulty"), 6);

    const json& welcome = client.welcome;
    EXPECT_EQ(welcome.at("protocol"), 1);
    const int id = welcome.at("id");
    EXPECT_GE(id, 1);
    EXPECT_EQ(welcome.at("character").at("id"), "debug");
    EXPECT_EQ(welcome.at("character").at("size"), json::array({32, 64, 32}));
    EXPECT_EQ(welcome.at("character").at("name"), "Vobu");
    const json& movement = welcome.at("movement");
    for (const char* key : {"height", "speed", "radius", "step", "jumpSpeed", "gravity", "acceleration", "friction",
                            "stopSpeed", "airAcceleration", "halfWidth", "halfDepth"}) {
        EXPECT_TRUE(movement.at(key).is_number_float()) << key;
    }
    EXPECT_LT(movement.at("step").get<double>(), 0.1);
    EXPECT_TRUE(welcome.at("map").at("spawn").contains("x"));

    // Every asset arrived whole and matches its size and hash; the two
    // textures name the two materials of the render mesh.
    std::map<std::string, int> kinds;
    std::set<int> materials;
    for (const auto& d : client.downloads) {
        ++kinds[d.kind];
        EXPECT_EQ(sha256Hex(d.bytes), d.hash) << d.id;
        for (const auto& entry : welcome.at("assets")) {
            if (entry.at("id") == d.id) {
                EXPECT_EQ(entry.at("bytes").get<size_t>(), d.bytes.size()) << d.id;
                EXPECT_TRUE(entry.value("required", true));
            }
        }
        if (d.kind == "texture") {
            materials.insert(d.material);
        }
    }
    EXPECT_EQ(kinds["walkmesh"], 1);
    EXPECT_EQ(kinds["mesh"], 1);
    EXPECT_EQ(kinds["texture"], 2);
    EXPECT_EQ(materials, (std::set<int>{0, 1}));
    ASSERT_TRUE(std::any_of(client.downloads.begin(), client.downloads.end(),
                            [](const Download& d) { return d.id == "player-join" && d.kind == "audio"; }));

    // The assets are what the client's readers accept.
    Scene scene;
    for (const auto& d : client.downloads) {
        if (d.kind == "walkmesh") {
            EXPECT_NO_THROW(readWalkMesh(scene.walkMesh, d.bytes));
        } else if (d.kind == "mesh") {
            EXPECT_NO_THROW(readRenderMesh(scene, d.bytes));
            EXPECT_EQ(scene.materials.size(), 2u);
        }
    }
    for (const auto& d : client.downloads) {
        if (d.kind == "texture") {
            EXPECT_NO_THROW(readTexture(scene, static_cast<uint32_t>(d.material), d.bytes));
        }
    }

    EXPECT_EQ(ready.at("type"), "ready");
    const json entities = client.receiveType("entities");
    int texts = 0, audio = 0;
    for (const auto& e : entities.at("entities")) {
        texts += e.at("type") == "text";
        audio += e.at("type") == "audio";
    }
    EXPECT_EQ(texts, 2);
    EXPECT_EQ(audio, 1);
    const json snapshot = client.receiveType("snapshot");
    const json own = ownEntry(snapshot, id);
    ASSERT_FALSE(own.is_null());
    EXPECT_EQ(own.at("ack"), 0);
    EXPECT_EQ(own.at("x"), welcome.at("map").at("spawn").at("x"));
    const json segment = client.receiveType("audioSegment", 3000);
    EXPECT_TRUE(segment.at("data").is_binary());
    EXPECT_EQ(segment.at("streamId"), entities.at("entities")[2].at("streamId"));
}

TEST(TestServerJoin, AssetsHeldFromAnEarlierGameNeedNoRequest) {
    // A client that kept the assets of its first game asks for none of them
    // in its second (the skin of bot 1 included) and is still let in; only
    // what it asks for is sent.
    const fs::path dir = tempDir("cached");
    ServerOptions options = quickOptions();
    options.bots = 1;
    options.transcript = (dir / "t.jsonl").string();
    RunningServer server(options);
    TestClient first(server.port());
    first.joinToReady(debugCharacter());

    TestClient second(server.port());
    second.joinToWelcome(debugCharacter());
    second.send({{"type", "assetRequest"}, {"id", "map"}});
    second.send({{"type", "assetsReady"}});
    EXPECT_EQ(second.receiveType("ready").at("type"), "ready");
    std::set<std::string> chunksOf;
    for (const auto& message : second.skipped) {
        if (message.at("type") == "assetChunk") chunksOf.insert(message.at("id").get<std::string>());
    }
    EXPECT_EQ(chunksOf, (std::set<std::string>{"map"}));
    second.receiveType("snapshot");
    for (const auto& line : readTranscript(dir / "t.jsonl")) {
        EXPECT_NE(line.value("event", ""), "violation") << line.dump();
    }
    fs::remove_all(dir);
}

TEST(TestServerJoin, TheBigWorldArrivesWholeInChunks) {
    ServerOptions options = quickOptions();
    options.world = "big";
    RunningServer server(options);
    TestClient client(server.port());
    client.joinToReady(debugCharacter());
    size_t total = 0;
    for (const auto& d : client.downloads) {
        EXPECT_EQ(sha256Hex(d.bytes), d.hash) << d.id;
        total += d.bytes.size();
    }
    EXPECT_GT(total, 2000000u);
    EXPECT_LE(total, 2097152u);
}

TEST(TestServerJoin, HelloRejections) {
    struct Case {
        const char* name;
        std::function<void(json&, const std::string&)> spoil;
        const char* code;
    };
    const std::vector<Case> cases = {
        {"other challenge",
         [](json& hello, const std::string&) {
             std::string c = "0123456789abcdef0123456789abcdef";
             const std::string n = findNonce(c, 6);
             hello["pow"] = {{"challenge", c}, {"nonce", n}, {"hash", sha256Hex(c + ":" + n)}};
         },
         "ERR_BAD_POW"},
        {"hash of another nonce", [](json& hello, const std::string&) { hello["pow"]["hash"] = sha256Hex("x"); },
         "ERR_BAD_POW"},
        {"too few zero bits",
         [](json& hello, const std::string& c) {
             const std::string n = findNonce(c, 6, true);
             hello["pow"]["nonce"] = n;
             hello["pow"]["hash"] = sha256Hex(c + ":" + n);
         },
         "ERR_BAD_POW"},
        {"nonce with a leading zero",
         [](json& hello, const std::string& c) {
             const std::string n = "0" + hello["pow"]["nonce"].get<std::string>();
             hello["pow"]["nonce"] = n;
             hello["pow"]["hash"] = sha256Hex(c + ":" + n);
         },
         "ERR_BAD_POW"},
        {"protocol 2", [](json& hello, const std::string&) { hello["protocol"] = 2; }, "ERR_BAD_HELLO"},
        {"character of size 8",
         [](json& hello, const std::string&) {
             hello["character"]["size"] = json::array({8, 64, 32});
         },
         "ERR_BAD_CHARACTER"},
        {"no pow", [](json& hello, const std::string&) { hello.erase("pow"); }, "ERR_BAD_CLIENT_MESSAGE"},
    };
    RunningServer server(quickOptions());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestClient client(server.port());
        const json challenge = client.receiveType("challenge");
        const std::string text = challenge.at("challenge");
        json hello = helloFor(debugCharacter(), text, findNonce(text, 6));
        c.spoil(hello, text);
        client.send(hello);
        json error;
        try {
            error = client.receiveType("error");
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what() << " after " << client.skipped.size() << " other messages";
            continue;
        }
        EXPECT_EQ(error.at("code"), c.code);
        for (const auto& m : client.skipped) {
            EXPECT_NE(m.at("type"), "welcome");
        }
    }
}

TEST(TestServerJoin, OnlyTheGamePathIsUpgraded) {
    RunningServer server(quickOptions());
    EXPECT_ANY_THROW(TestClient(server.port(), "/other"));
    EXPECT_ANY_THROW(TestClient(server.port(), "/vobu/x"));
    TestClient withQuery(server.port(), "/vobu?x=1");
    EXPECT_EQ(withQuery.receive().at("type"), "challenge");
}

TEST(TestServerJoin, DirectoryRequestIsAnsweredWithThisServer) {
    ServerOptions options = quickOptions();
    options.title = "^1Red title";
    options.motd = "Hello there";
    RunningServer server(options);
    TestClient client(server.port());
    client.send({{"type", "directory"}});
    const json reply = client.receiveType("directory");
    ASSERT_EQ(reply.at("servers").size(), 1u);
    EXPECT_EQ(reply.at("servers")[0].at("title"), "^1Red title");
    EXPECT_EQ(reply.at("servers")[0].at("motd"), "Hello there");
    EXPECT_EQ(reply.at("servers")[0].at("url"), "");
}

// ---- movement ----------------------------------------------------------------

json commands(uint32_t first, int count, double x, double y, bool jumpFirst = false) {
    json list = json::array();
    for (int i = 0; i < count; ++i) {
        list.push_back({{"seq", first + i}, {"x", x}, {"y", y}, {"jump", jumpFirst && i == 0}});
    }
    return list;
}

json snapshotWithAck(TestClient& client, int id, uint32_t ack) {
    for (int i = 0; i < 100; ++i) {
        const json snapshot = client.receiveType("snapshot");
        const json own = ownEntry(snapshot, id);
        if (!own.is_null() && own.at("ack") == ack) {
            return own;
        }
    }
    throw std::runtime_error("no snapshot with ack " + std::to_string(ack));
}

MovementParams paramsOf(const json& m) {
    MovementParams p;
    p.height = m.at("height");
    p.acceleration = m.at("acceleration");
    p.friction = m.at("friction");
    p.stopSpeed = m.at("stopSpeed");
    p.airAcceleration = m.at("airAcceleration");
    p.speed = m.at("speed");
    p.radius = m.at("radius");
    p.step = m.at("step");
    p.jumpSpeed = m.at("jumpSpeed");
    p.gravity = m.at("gravity");
    p.halfWidth = m.at("halfWidth");
    p.halfDepth = m.at("halfDepth");
    return p;
}

TEST(TestServerMovement, SnapshotsFollowTheMovementRulesExactly) {
    RunningServer server(quickOptions());
    TestClient client(server.port());
    client.joinToReady(debugCharacter());
    const int id = client.welcome.at("id");

    // The client's own prediction from the assets it downloaded.
    Scene scene;
    for (const auto& d : client.downloads) {
        if (d.kind == "walkmesh") {
            readWalkMesh(scene.walkMesh, d.bytes);
        }
    }
    const MovementParams params = paramsOf(client.welcome.at("movement"));
    const json& spawn = client.welcome.at("map").at("spawn");
    MoveState predicted;
    predicted.x = spawn.at("x");
    predicted.y = spawn.at("y");
    predicted.z = spawn.value("z", 0.0);
    predicted.heading = spawn.value("heading", 0.0);

    struct Batch {
        int count;
        double x, y;
        bool jump;
    };
    const std::vector<Batch> batches = {
        {24, 1.0, 0.0, false}, {12, 0.6, 0.8, true}, {24, 0.0, 0.0, false}, {24, -0.3, 0.1, false}};
    uint32_t seq = 1;
    double highest = predicted.z;
    for (const auto& b : batches) {
        client.send({{"type", "input"}, {"commands", commands(seq, b.count, b.x, b.y, b.jump)}});
        for (int i = 0; i < b.count; ++i) {
            MoveCommand command{seq + i, b.x, b.y, b.jump && i == 0};
            predicted = moveStep(predicted, command, params.step, scene.walkMesh, params);
            highest = std::max(highest, predicted.z);
        }
        seq += b.count;
        const json own = snapshotWithAck(client, id, seq - 1);
        EXPECT_EQ(own.at("x").get<double>(), predicted.x);
        EXPECT_EQ(own.at("y").get<double>(), predicted.y);
        EXPECT_EQ(own.at("z").get<double>(), predicted.z);
        EXPECT_EQ(own.at("vz").get<double>(), predicted.vz);
        EXPECT_EQ(own.at("vx").get<double>(), predicted.vx);
        EXPECT_EQ(own.at("vy").get<double>(), predicted.vy);
        EXPECT_EQ(own.at("triangle").get<int>(), predicted.triangle);
    }
    EXPECT_GT(predicted.x, spawn.at("x").get<double>() + 0.5);  // it walked
    EXPECT_GT(highest, 0.3);                                    // and jumped
}

TEST(TestServerMovement, InputRuleBreaksAreRecordedAndAGapEndsTheGame) {
    const fs::path dir = tempDir("input");
    ServerOptions options = quickOptions();
    options.transcript = (dir / "t.jsonl").string();
    RunningServer server(options);
    TestClient client(server.port());
    client.joinToReady(debugCharacter());
    client.send({{"type", "input"}, {"commands", commands(1, 25, 0.0, 0.0)}});
    client.send({{"type", "input"}, {"commands", commands(26, 1, 3.0, 0.0)}});
    client.send({{"type", "input"}, {"commands", commands(28, 1, 0.0, 0.0)}});
    EXPECT_EQ(client.receiveType("error").at("code"), "ERR_INPUT_SEQUENCE");
    std::vector<std::string> violations;
    for (const auto& line : readTranscript(dir / "t.jsonl")) {
        if (line.value("event", "") == "violation") {
            violations.push_back(line.at("text"));
        }
    }
    ASSERT_EQ(violations.size(), 3u);
    EXPECT_EQ(violations[0], "input with 25 commands");
    EXPECT_EQ(violations[1], "input: move longer than 1 in command 26");
    EXPECT_EQ(violations[2], "input: sequence 28 after 26");
    fs::remove_all(dir);
}

// ---- chat, swap, other players ----------------------------------------------------

TEST(TestServerChat, EchoWhisperAndRefusals) {
    ServerOptions options = quickOptions();
    options.bots = 1;
    RunningServer server(options);
    TestClient client(server.port());
    client.joinToReady(debugCharacter());
    const int id = client.welcome.at("id");
    // The bot, there before the welcome, came as a skin asset of face
    // scale 8 within the skin budget, and is announced on arrival.
    int botId = 0;
    for (const auto& entry : client.welcome.at("assets")) {
        if (entry.at("kind") == "skin") {
            botId = entry.at("playerId");
            EXPECT_EQ(entry.at("generation"), 1);
        }
    }
    ASSERT_GT(botId, 0);
    for (const auto& d : client.downloads) {
        if (d.kind == "skin") {
            EXPECT_LE(d.bytes.size(), 4096u);
            const Character skin = decodeCharacterJson(std::string(d.bytes.begin(), d.bytes.end()), true);
            EXPECT_EQ(skin.faceScale, 8);
            EXPECT_EQ(skin.name, "Bot 1");
        }
    }
    EXPECT_EQ(client.receiveType("joined").at("id"), botId);
    for (const auto& m : client.skipped) {
        EXPECT_NE(m.at("type"), "character") << "the skin already gave the bot's character";
    }

    client.send({{"type", "chat"}, {"text", "hello all"}, {"to", nullptr}});
    json echo = client.receiveType("chat");
    while (echo.at("from") != id) {
        echo = client.receiveType("chat");
    }
    EXPECT_EQ(echo.at("text"), "hello all");
    EXPECT_EQ(echo.at("name"), "Vobu");
    EXPECT_TRUE(echo.at("to").is_null());
    EXPECT_GT(echo.at("seq").get<int>(), 0);

    struct Refusal {
        json text;
        json to;
        const char* code;
    };
    const std::vector<Refusal> refusals = {
        {std::string(2049, 'a'), nullptr, "ERR_CHAT_TEXT"},
        {"", nullptr, "ERR_CHAT_TEXT"},
        {"who?", 999, "ERR_CHAT_TARGET"},
    };
    for (const auto& r : refusals) {
        client.send({{"type", "chat"}, {"text", r.text}, {"to", r.to}});
        EXPECT_EQ(client.receiveType("chatError").at("code"), r.code);
    }
    client.send({{"type", "chat"}, {"text", std::string(2048, 'b')}, {"to", nullptr}});
    json longLine = client.receiveType("chat");
    while (longLine.at("from") != id) {
        longLine = client.receiveType("chat");
    }
    EXPECT_EQ(longLine.at("text").get<std::string>().size(), 2048u);

    client.send({{"type", "chat"}, {"text", "psst"}, {"to", botId}});
    json whisper = client.receiveType("chat");
    while (whisper.at("from") != id) {
        whisper = client.receiveType("chat");
    }
    EXPECT_EQ(whisper.at("to"), botId);
    EXPECT_EQ(whisper.at("toName"), "Bot 1");
    json answer = client.receiveType("chat");
    while (answer.at("from") != botId || answer.at("to").is_null()) {
        answer = client.receiveType("chat");
    }
    EXPECT_EQ(answer.at("to"), id);
}

TEST(TestServerSwap, GrantedWithTheStateAndAckOrRefused) {
    ServerOptions options = quickOptions();
    RunningServer server(options);
    TestClient client(server.port());
    client.joinToReady(debugCharacter());
    const int id = client.welcome.at("id");
    client.send({{"type", "input"}, {"commands", commands(1, 10, 1.0, 0.0)}});
    const json before = snapshotWithAck(client, id, 10);

    Character bigger = debugCharacter();
    bigger.name = "Tall";
    bigger.setSize(40, 64, 24);
    json hello = helloFor(bigger, "", "");
    client.send({{"type", "swap"}, {"character", hello.at("character")}});
    const json swapped = client.receiveType("swapped");
    EXPECT_EQ(swapped.at("character").at("id"), "debug");
    EXPECT_EQ(swapped.at("character").at("name"), "Tall");
    EXPECT_EQ(swapped.at("character").at("size"), json::array({40, 64, 24}));
    EXPECT_EQ(swapped.at("generation"), 2);
    EXPECT_EQ(swapped.at("ack"), 10);
    EXPECT_EQ(swapped.at("x"), before.at("x"));
    EXPECT_EQ(swapped.at("vx"), before.at("vx"));
    for (const char* key : {"height", "radius", "halfWidth", "halfDepth"}) {
        EXPECT_TRUE(swapped.at("movement").contains(key)) << key;
    }
    // Input goes on from the granted ack.
    client.send({{"type", "input"}, {"commands", commands(11, 2, 0.0, 0.0)}});
    snapshotWithAck(client, id, 12);

    json broken = hello.at("character");
    broken["faces"] = json::array();
    client.send({{"type", "swap"}, {"character", broken}});
    EXPECT_EQ(client.receiveType("swapError").at("code"), "ERR_BAD_CHARACTER");
}

TEST(TestServerPlayers, TwoClientsSeeEachOtherAndTheLeaving) {
    RunningServer server(quickOptions());
    TestClient first(server.port());
    first.joinToReady(debugCharacter());
    const int firstId = first.welcome.at("id");

    Character other = debugCharacter();
    other.id = "other";
    other.name = "Second";
    auto second = std::make_unique<TestClient>(server.port());
    second->joinToReady(other);
    const int secondId = second->welcome.at("id");
    EXPECT_NE(firstId, secondId);

    const json seenByFirst = first.receiveType("character");
    EXPECT_EQ(seenByFirst.at("id"), secondId);
    EXPECT_EQ(seenByFirst.at("character").at("name"), "Second");
    EXPECT_EQ(seenByFirst.at("character").at("format"), "rgb24-rle");
    EXPECT_TRUE(seenByFirst.at("character").at("faces")[0].is_binary());
    EXPECT_EQ(first.receiveType("joined").at("id"), secondId);
    EXPECT_EQ(second->receiveType("character").at("id"), firstId);
    EXPECT_EQ(second->receiveType("joined").at("id"), firstId);

    const json snapshot = second->receiveType("snapshot");
    EXPECT_FALSE(ownEntry(snapshot, firstId).is_null());
    EXPECT_FALSE(ownEntry(snapshot, secondId).is_null());

    // A whisper between two players reaches both, and no one else.
    first.send({{"type", "chat"}, {"text", "just you"}, {"to", secondId}});
    for (TestClient* c : {&first, second.get()}) {
        const json line = c->receiveType("chat");
        EXPECT_EQ(line.at("from"), firstId);
        EXPECT_EQ(line.at("to"), secondId);
        EXPECT_EQ(line.at("toName"), "Second");
        EXPECT_EQ(line.at("text"), "just you");
    }

    second.reset();
    EXPECT_EQ(first.receiveType("left").at("id"), secondId);
}

// ---- scripted faults -----------------------------------------------------------

TEST(TestServerFaults, EachFaultDoesWhatItSays) {
    struct Case {
        const char* fault;
        std::function<void(TestClient&, int id)> check;
    };
    const std::vector<Case> cases = {
        {"error", [](TestClient& c, int) { EXPECT_EQ(c.receiveType("error").at("code"), "ERR_TEST_SERVER_ERROR"); }},
        {"disconnect",
         [](TestClient& c, int) {
             const json m = c.receiveType("disconnect");
             EXPECT_EQ(m.at("code"), "ERR_KICKED");
             EXPECT_EQ(m.at("reason"), "Kicked by the test server");
         }},
        {"malformed",
         [](TestClient& c, int) {
             for (;;) {
                 const json s = c.receiveType("snapshot");
                 if (s.at("players")[0].at("id").is_string()) {
                     return;
                 }
             }
         }},
        {"oversize-frame",
         [](TestClient& c, int) {
             for (;;) {
                 try {
                     c.receive();
                 } catch (const nlohmann::json::exception&) {
                     EXPECT_EQ(c.lastMessageBytes(), 1048577u);
                     return;
                 }
             }
         }},
        {"stop-snapshots",
         [](TestClient& c, int) {
             // With no delay the fault fires on the first tick after ready:
             // of 20 periods only that tick's snapshot may come. The chat
             // echo marks the end of the 400 ms.
             std::this_thread::sleep_for(std::chrono::milliseconds(400));
             c.skipped.clear();
             c.send({{"type", "chat"}, {"text", "still there?"}, {"to", nullptr}});
             c.receiveType("chat");
             int snapshots = 0;
             for (const auto& m : c.skipped) {
                 snapshots += m.at("type") == "snapshot";
             }
             EXPECT_LE(snapshots, 2);
         }},
        {"corrupt-mesh",
         [](TestClient& c, int) {
             for (const auto& d : c.downloads) {
                 if (d.kind == "mesh") {
                     EXPECT_NE(sha256Hex(d.bytes), d.hash);
                 } else {
                     EXPECT_EQ(sha256Hex(d.bytes), d.hash) << d.id;
                 }
             }
         }},
        {"ping",
         [](TestClient& c, int) {
             for (int i = 0; i < 40 && c.pingsSeen() < 2; ++i) {
                 c.receive();
             }
             EXPECT_GE(c.pingsSeen(), 2);
         }},
        {"fragment",
         [](TestClient& c, int id) {
             const json own = snapshotWithAck(c, id, 0);
             EXPECT_EQ(own.at("id"), id);
         }},
        {"swap-error",
         [](TestClient& c, int) {
             c.send({{"type", "swap"}, {"character", helloFor(debugCharacter(), "", "").at("character")}});
             EXPECT_EQ(c.receiveType("swapError").at("code"), "ERR_SWAP_REFUSED");
         }},
        {"flood-characters",
         [](TestClient& c, int) {
             // New players without end: more than any client keeps.
             std::set<int> ids;
             while (ids.size() < 300) {
                 const json m = c.receiveType("character");
                 EXPECT_GE(m.at("id").get<int>(), 100000);
                 ids.insert(m.at("id").get<int>());
             }
         }},
    };
    ASSERT_EQ(cases.size(), knownFaults().size());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        ServerOptions options = quickOptions();
        options.faults = {c.fault};
        RunningServer server(options);
        TestClient client(server.port());
        client.joinToReady(debugCharacter());
        c.check(client, client.welcome.at("id"));
    }
}

TEST(TestServerFaults, FragmentedMessagesGoAsSeveralFramesWithAPingBetween) {
    const fs::path dir = tempDir("fragment");
    ServerOptions options = quickOptions();
    options.faults = {"fragment"};
    options.transcript = (dir / "t.jsonl").string();
    RunningServer server(options);
    {
        TestClient client(server.port());
        client.joinToReady(debugCharacter());
        EXPECT_GT(client.pingsSeen(), 0);
    }
    bool pong = false;
    for (const auto& line : readTranscriptAfterClose(dir / "t.jsonl")) {
        pong = pong || line.value("pong", "") == "vobu-mid-message";
    }
    EXPECT_TRUE(pong);
    fs::remove_all(dir);
}

// ---- transcript ---------------------------------------------------------------

TEST(TestServerTranscript, EveryClientMessageIsOneLineInOrder) {
    const fs::path dir = tempDir("transcript");
    ServerOptions options = quickOptions();
    options.transcript = (dir / "t.jsonl").string();
    RunningServer server(options);
    std::vector<std::string> order;
    {
        TestClient client(server.port());
        client.joinToReady(debugCharacter());
        order = requestOrder(client.welcome.at("assets"));
        client.send({{"type", "clientError"}, {"code", "ERR_TEST"}, {"lastType", "ready"}});
        client.sendRaw(std::string("\x93\x01\x02\x03", 4));  // an array, not a map
        client.receiveType("error");
    }
    const auto lines = readTranscriptAfterClose(dir / "t.jsonl");
    std::vector<std::string> types;
    double lastTime = -1;
    for (const auto& line : lines) {
        EXPECT_EQ(line.at("conn"), 1);
        EXPECT_GE(line.at("t").get<double>(), lastTime);
        lastTime = line.at("t");
        if (line.value("event", "") == "state") {
            continue;  // the server's own view, between the client's messages
        }
        if (line.contains("msg")) {
            types.push_back(line.at("msg").at("type"));
        } else {
            types.push_back("event:" + line.at("event").get<std::string>());
        }
    }
    std::vector<std::string> expected = {"event:open", "hello"};
    expected.insert(expected.end(), order.size(), "assetRequest");
    for (const char* t : {"assetsReady", "clientError", "event:bad-message", "event:error-sent", "event:close"}) {
        expected.push_back(t);
    }
    EXPECT_EQ(types, expected);
    const json& hello = lines[1].at("msg");
    EXPECT_EQ(hello.at("character").at("id"), "debug");
    // Binary faces are written back as the face texts they stand for.
    EXPECT_EQ(hello.at("character").at("faces"), json::parse(encodeCharacterJsonRle(debugCharacter())).at("faces"));
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(lines[2 + i].at("msg").at("id"), order[i]);
    }
    fs::remove_all(dir);
}

// ---- TLS ----------------------------------------------------------------------

TEST(TestServerTls, JoinOverTlsWithTheTestRootAndRefusedWithoutIt) {
    const fs::path dir = tempDir("tls");
    const std::string command = std::string("bash ") + VOBU_CERT_SCRIPT + " " + dir.string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    ServerOptions options = quickOptions();
    options.tlsCert = (dir / "good.crt").string();
    options.tlsKey = (dir / "good.key").string();
    RunningServer server(options);
    {
        TestClient client(server.port(), "/vobu", (dir / "ca.crt").string());
        client.joinToReady(debugCharacter());
        EXPECT_EQ(client.receiveType("snapshot").at("type"), "snapshot");
    }
    // A root that did not sign the server's certificate.
    EXPECT_ANY_THROW(TestClient(server.port(), "/vobu", (dir / "self.crt").string()));
    // A plain client gets no challenge from a TLS port.
    EXPECT_ANY_THROW(TestClient(server.port()));
    fs::remove_all(dir);
}

// ---- options and worlds ----------------------------------------------------------

TEST(TestServerOptions, CommandLineValuesAndRefusals) {
    const ServerOptions options = parseServerOptions(
        {"--port", "7777", "--bots", "3", "--fault", "ping", "--fault", "error", "--difficulty", "12", "--world", "big",
         "--transcript", "/tmp/x", "--fault-delay-ms", "250", "--challenge-seed", "18446744073709551615"});
    EXPECT_EQ(options.port, 7777);
    EXPECT_EQ(options.bots, 3);
    EXPECT_EQ(options.difficulty, 12);
    EXPECT_EQ(options.world, "big");
    EXPECT_EQ(options.faults, (std::set<std::string>{"ping", "error"}));
    EXPECT_EQ(options.faultDelayMs, 250);
    EXPECT_EQ(options.challengeSeed, 18446744073709551615ull);
    EXPECT_EQ(parseServerOptions({}).challengeSeed, std::nullopt);
    EXPECT_EQ(parseServerOptions({"--challenge-seed", "0"}).challengeSeed, 0u);
    const std::vector<std::vector<std::string>> refused = {
        {"--port", "65536"},
        {"--port", "x"},
        {"--bots", "9"},
        {"--difficulty", "0"},
        {"--difficulty", "33"},
        {"--fault", "nope"},
        {"--world", "huge"},
        {"--port"},
        {"--tls-cert", "a"},
        {"--what"},
        {"--snapshot-ms", "1"},
        {"--challenge-seed", "18446744073709551616"},
        {"--challenge-seed", "-1"},
        {"--challenge-seed", "1e3"},
        {"--challenge-seed", ""},
        {"--challenge-seed", "99999999999999999999"},
        {"--challenge-seed"},
    };
    for (const auto& args : refused) {
        EXPECT_THROW(parseServerOptions(args), std::invalid_argument) << args[0];
    }
}

TEST(TestServerWorlds, BigWorldFillsTheBudgetAndEveryAssetLoads) {
    const std::string dataDir = parseServerOptions({}).dataDir;
    for (const char* name : {"demo", "big"}) {
        SCOPED_TRACE(name);
        const TestWorld world = buildTestWorld(name, dataDir);
        EXPECT_LE(world.totalBytes(), 2097152u);
        Scene scene;
        for (const auto& asset : world.assets) {
            EXPECT_LE(asset.bytes.size(), 1048576u) << asset.id;
            EXPECT_EQ(asset.hash, sha256Hex(asset.bytes));
            if (asset.kind == "mesh") {
                EXPECT_NO_THROW(readRenderMesh(scene, asset.bytes));
            }
        }
        for (const auto& asset : world.assets) {
            if (asset.kind == "texture") {
                EXPECT_NO_THROW(readTexture(scene, static_cast<uint32_t>(asset.material), asset.bytes));
            }
        }
        ASSERT_NE(world.find("player-join"), nullptr);
        // The spawn stands on walkable floor.
        EXPECT_GE(findWalkableTriangle(world.walkMesh, world.spawn.x, world.spawn.y, world.spawn.z, 0.1, 0.1).triangle,
                  0);
    }
    EXPECT_GT(buildTestWorld("big", dataDir).totalBytes(), 2000000u);
    EXPECT_THROW(buildTestWorld("none", dataDir), std::runtime_error);
}

// Bots present at the welcome add their skins to its manifest; the big
// world leaves room for every bot a server can run.
TEST(TestServerWorlds, TheBigWorldWithEveryBotsSkinStaysWithinTheBudget) {
    uint64_t total = buildTestWorld("big", parseServerOptions({}).dataDir).totalBytes();
    for (int n = 1; n <= kMaxBots; ++n) total += skinDocument(botCharacter(n)).size();
    EXPECT_LE(total, 2097152u);
    EXPECT_GT(total, 2090000u) << "and still fills it";
}

TEST(TestServerJoin, TheBigWorldJoinsWithTheDefaultBots) {
    ServerOptions options = quickOptions();
    options.world = "big";
    options.bots = ServerOptions().bots;
    RunningServer server(options);
    TestClient client(server.port());
    const json welcome = client.joinToWelcome(debugCharacter());
    uint64_t total = 0;
    int skins = 0;
    for (const json& asset : welcome.at("assets")) {
        total += asset.at("bytes").get<uint64_t>();
        skins += asset.at("kind") == "skin";
    }
    EXPECT_GE(skins, 1) << "bot 1 is there from the start";
    EXPECT_LE(total, 2097152u);
}

}  // namespace
}  // namespace vobu::testserver::test
