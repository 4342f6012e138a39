#pragma once
// The game side of the test server, free of sockets: connections hand it
// their messages and it answers through the ClientLink of each connection.
// Everything runs on one thread (the io_context's).

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "character/character.h"
#include "test_world.h"
#include "transcript.h"
#include "world/movement_types.h"

namespace vobu::testserver {

using json = nlohmann::json;

// What a connection is asked to put on the wire, in order.
struct Outgoing {
    // Close ends the connection once everything queued before it is written.
    enum class Kind { Message, Ping, Fragmented, Oversize, Close };
    Kind kind = Kind::Message;
    std::string bytes;  // MessagePack for Message and Fragmented; ping payload for Ping
};

class ClientLink {
public:
    virtual ~ClientLink() = default;
    virtual void send(Outgoing item) = 0;
};

// One server of the directory reply besides this one.
struct ListedServer {
    std::string title;
    std::string motd;
    std::string url;
};

// How a directory request is answered: at once, keeping the connection
// open; after directoryDelayMs; never; or at once, then closing.
enum class DirectoryReply { Answer, Late, Never, AnswerAndClose };

// "answer", "late", "never", "close"; throws std::invalid_argument otherwise.
DirectoryReply parseDirectoryReply(const std::string& name);

struct ServerOptions {
    std::string host = "127.0.0.1";
    uint16_t port = 0;
    std::string tlsCert;
    std::string tlsKey;
    std::string world = "demo";
    int bots = 2;
    int difficulty = 8;
    // Draws the challenges from a sequence of this seed's own; without one
    // every run sends the same challenges.
    std::optional<uint64_t> challengeSeed;
    std::set<std::string> faults;
    double faultDelayMs = 1000;
    std::string transcript;
    double exitAfterMs = 0;
    std::string dataDir;
    double snapshotMs = 50;
    std::string title = "Vobu Test Server";
    std::string motd = "A small world with bots, signs and a humming stone";
    // Servers the directory reply lists after this one.
    std::vector<ListedServer> listed;
    DirectoryReply directoryReply = DirectoryReply::Answer;
    double directoryDelayMs = 2000;
    // With AnswerAndClose: the time between the reply and the close.
    double directoryCloseDelayMs = 0;
};

// The most bots a server runs (--bots).
constexpr int kMaxBots = 8;

// A character as a skin asset: its network document at face scale 8 (the
// faces sampled every 8 texels), small enough for the skin budget.
std::string skinDocument(const Character& character);

// The character of bot `number` (from 1): a body colour of its own and two
// eyes on the front.
Character botCharacter(int number);

// Names accepted by --fault.
const std::set<std::string>& knownFaults();

class GameServer {
public:
    // `clock` gives milliseconds; the server reads it for every event.
    GameServer(ServerOptions options, TestWorld world, std::function<double()> clock);

    // A connection opened; returns its number (from 1).
    int onOpen(ClientLink* link);
    void onMessage(int connection, const std::string& bytes);
    void onPong(int connection, const std::string& payload);
    // The connection is gone; its link is never used again.
    void onClosed(int connection, const std::string& reason);
    // Bots, audio, faults and snapshots; call every snapshot period.
    void tick();

    // How long a connection waits after each message before it reads the
    // next one (0: at once).
    double readPauseMs() const;

    const TestWorld& world() const { return world_; }
    size_t connectionCount() const { return clients_.size(); }

private:
    enum class Phase { AwaitHello, Downloading, Playing };

    struct Client {
        int connection = 0;
        ClientLink* link = nullptr;
        Phase phase = Phase::AwaitHello;
        std::string challenge;
        int32_t playerId = -1;
        Character character;
        int32_t generation = 1;
        std::set<std::string> requested;
        bool assetsReady = false;
        MoveState state;
        uint32_t lastSequence = 0;
        uint64_t snapshotsSent = 0;
        double readyMs = 0;
        double lastPingMs = 0;
        int pings = 0;
        bool faultsFired = false;
        bool snapshotsStopped = false;
        bool whispered = false;
        bool fragmenting = false;
        int32_t floodedCharacters = 0;
        // Skins of the bots present at the welcome, sent as assets.
        std::vector<WorldAsset> skins;
    };

    struct Bot {
        int32_t id = 0;
        int number = 0;
        std::string name;
        Character character;
        bool present = false;
        bool cycles = false;
        double nextChangeMs = 0;
        double nextChatMs = 0;
        double stepBudget = 0;
        size_t waypoint = 0;
        MoveState state;
    };

    void handle(Client& client, const json& message);
    void handleHello(Client& client, const json& message);
    void handleAssetRequest(Client& client, const json& message);
    void handleAssetsReady(Client& client);
    void handleInput(Client& client, const json& message);
    void handleChat(Client& client, const json& message);
    void handleSwap(Client& client, const json& message);
    void handleDirectory(Client& client);
    json directoryReply() const;
    void sendLateDirectoryReplies();

    void sendWelcome(Client& client);
    void sendAssetChunks(Client& client, const WorldAsset& asset);
    void enterGame(Client& client);
    void fireFaults(Client& client);
    void floodCharacters(Client& client);

    void send(Client& client, const json& message);
    void sendToPlaying(const json& message, int exceptConnection = 0);
    void fail(Client& client, const std::string& code, const std::string& why);
    void violation(Client& client, const std::string& text);

    json characterMessage(int32_t id, const Character& character, int32_t generation) const;
    const WorldAsset* findAsset(const Client& client, const std::string& id) const;
    bool hasSkinOf(const Client& client, int32_t playerId) const;
    json snapshotFor(const Client& client) const;
    void sendSnapshot(Client& client);
    void addChatLine(json line);
    void tickBots(double dtMs);
    void stepBot(Bot& bot);
    void botJoin(Bot& bot);
    void botLeave(Bot& bot);
    void sendAudio();

    bool hasFault(const std::string& name) const { return options_.faults.count(name) != 0; }
    double now() const { return clock_(); }
    Client* findPlayer(int32_t playerId);
    std::string newChallenge();

    ServerOptions options_;
    TestWorld world_;
    std::function<double()> clock_;
    Transcript transcript_;
    std::map<int, Client> clients_;
    std::vector<Bot> bots_;
    int nextConnection_ = 1;
    int32_t nextPlayerId_ = 1;
    uint32_t chatSeq_ = 0;
    std::deque<json> chatHistory_;
    uint32_t audioSeq_ = 0;
    double nextAudioMs_ = 0;
    double lastTickMs_ = -1;
    uint64_t randomState_ = 0x9e3779b97f4a7c15ull;  // the challenge sequence
    // Connections owed a late directory reply, with the time it is due.
    std::vector<std::pair<int, double>> lateDirectory_;
    // Connections to end after their directory reply, with the time due.
    std::vector<std::pair<int, double>> lateClose_;
};

}  // namespace vobu::testserver
