#include "game_server.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "character/character_json.h"
#include "character/face_codec.h"
#include "net/sha256.h"
#include "wire_codec.h"
#include "world/movement.h"

namespace vobu::testserver {

namespace {

constexpr size_t kChunkBytes = 12288;
constexpr uint64_t kUnseededChallengeState = 0x9e3779b97f4a7c15ull;

// The start of the challenge sequence for a seed: the seed's bits spread
// over the whole word (neighbouring seeds give unrelated challenges), and
// never 0, where the shift register would stay.
uint64_t challengeState(uint64_t seed) {
    uint64_t z = seed + kUnseededChallengeState;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    z ^= z >> 31;
    return z != 0 ? z : kUnseededChallengeState;
}
constexpr size_t kMaxCommandsPerInput = 24;
constexpr size_t kMaxChatBytes = 2048;
constexpr size_t kChatHistoryLines = 50;
constexpr double kPingPeriodMs = 250;
constexpr double kAudioLeadMs = 250;
constexpr size_t kOversizePayload = 1048577;
// "flood-characters": new players announced per snapshot period, from this
// id on, as fast as a busy server might; the client's player limit is
// passed within a second.
constexpr int kFloodCharactersPerTick = 64;
constexpr int32_t kFirstFloodPlayerId = 100000;
// With "flood-characters" the server also reads slowly, as one busy writing
// would: a client that resets the connection loses what is still unread.
constexpr double kFloodReadPauseMs = 150;
// Every this many snapshots the transcript gets the player's own state, so a
// test can follow the server's view of a walk or a jump without a line for
// every snapshot.
constexpr uint64_t kStateLinePeriod = 5;

int leadingZeroBitsOfDigest(const Sha256Digest& digest) {
    int bits = 0;
    for (uint8_t byte : digest) {
        if (byte == 0) {
            bits += 8;
            continue;
        }
        for (int b = 7; b >= 0 && !(byte & (1 << b)); --b) {
            ++bits;
        }
        break;
    }
    return bits;
}

bool isDecimalNonce(const std::string& nonce) {
    if (nonce.empty() || nonce.size() > 10 || (nonce.size() > 1 && nonce[0] == '0')) {
        return false;
    }
    if (!std::all_of(nonce.begin(), nonce.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    return std::stoull(nonce) <= 4294967295ull;
}

json sizeOf(const Character& c) { return json::array({c.width, c.height, c.depth}); }

}  // namespace

Character botCharacter(int number) {
    static const uint32_t colors[] = {0x3070d0, 0xd04040, 0x40b050, 0xc0a020, 0x9040c0, 0x30b0b0, 0xe07020, 0x808080};
    Character c;
    c.id = "bot" + std::to_string(number);
    c.name = "Bot " + std::to_string(number);
    const uint32_t body = colors[(number - 1) % 8];
    for (int face = 0; face < kFaceCount; ++face) {
        std::fill(c.faces[face].begin(), c.faces[face].end(), face == FaceFront ? 0xffffff : body);
    }
    // Two eyes on the front so the facing shows.
    for (int y = 12; y < 18; ++y) {
        for (int x = 6; x < 12; ++x) {
            c.faces[FaceFront][y * kFaceCanvasSide + x] = 0x000000;
            c.faces[FaceFront][y * kFaceCanvasSide + x + 14] = 0x000000;
        }
    }
    return c;
}

std::string skinDocument(const Character& character) {
    constexpr int kScale = 8;
    json faces = json::array();
    for (int face = 0; face < kFaceCount; ++face) {
        const auto [width, height] = character.faceSize(face);
        std::vector<uint32_t> grid;
        for (int y = 0; y < height; y += kScale) {
            for (int x = 0; x < width; x += kScale) {
                grid.push_back(character.faces[face][y * kFaceCanvasSide + x]);
            }
        }
        faces.push_back(encodeFace(grid));
    }
    return json{{"faceScale", kScale}, {"faces", std::move(faces)}, {"format", "rgb24-rle"},
                {"id", character.id},  {"name", character.name},    {"size", sizeOf(character)}}
        .dump();
}

const std::set<std::string>& knownFaults() {
    static const std::set<std::string> names = {"corrupt-mesh", "malformed",       "stop-snapshots", "error",
                                                "disconnect",   "oversize-frame",  "ping",           "fragment",
                                                "swap-error",   "flood-characters"};
    return names;
}

GameServer::GameServer(ServerOptions options, TestWorld world, std::function<double()> clock)
    : options_(std::move(options)), world_(std::move(world)), clock_(std::move(clock)) {
    if (options_.challengeSeed) randomState_ = challengeState(*options_.challengeSeed);
    transcript_.open(options_.transcript);
    for (int n = 1; n <= options_.bots; ++n) {
        Bot bot;
        bot.number = n;
        bot.name = "Bot " + std::to_string(n);
        bot.character = botCharacter(n);
        bot.cycles = n > 1;
        bot.waypoint = static_cast<size_t>(n - 1) % world_.botPath.size();
        bots_.push_back(std::move(bot));
    }
    const double start = now();
    for (auto& bot : bots_) {
        // Bot 1 is there from the start; the others come in turn.
        bot.nextChangeMs = start + (bot.cycles ? 1500.0 * (bot.number - 1) : 0.0);
        bot.nextChatMs = start + 2000.0 + 1300.0 * bot.number;
    }
}

// ---- connection events -------------------------------------------------------

int GameServer::onOpen(ClientLink* link) {
    Client client;
    client.connection = nextConnection_++;
    client.link = link;
    client.challenge = newChallenge();
    transcript_.write(client.connection, now(), {{"event", "open"}});
    const int id = client.connection;
    auto& stored = clients_.emplace(id, std::move(client)).first->second;
    send(stored, {{"type", "challenge"}, {"challenge", stored.challenge}, {"difficulty", options_.difficulty}});
    return id;
}

void GameServer::onMessage(int connection, const std::string& bytes) {
    auto it = clients_.find(connection);
    if (it == clients_.end()) {
        return;
    }
    Client& client = it->second;
    json message;
    try {
        message = decodeClientMessage(bytes);
    } catch (const std::exception& e) {
        transcript_.write(connection, now(), {{"event", "bad-message"}, {"hex", toHex(bytes)}, {"text", e.what()}});
        fail(client, "ERR_BAD_CLIENT_MESSAGE", e.what());
        return;
    }
    transcript_.write(connection, now(), {{"msg", withBinaryAsHex(message)}});
    try {
        handle(client, message);
    } catch (const std::exception& e) {
        // A message of the right type with wrong fields.
        fail(client, "ERR_BAD_CLIENT_MESSAGE", e.what());
    }
}

void GameServer::onPong(int connection, const std::string& payload) {
    transcript_.write(connection, now(), {{"pong", payload}});
}

void GameServer::onClosed(int connection, const std::string& reason) {
    auto it = clients_.find(connection);
    if (it == clients_.end()) {
        return;
    }
    transcript_.write(connection, now(), {{"event", "close"}, {"reason", reason}});
    const bool wasPlaying = it->second.phase == Phase::Playing;
    const int32_t playerId = it->second.playerId;
    clients_.erase(it);
    if (wasPlaying) {
        sendToPlaying({{"type", "left"}, {"id", playerId}});
    }
}

// ---- client messages ---------------------------------------------------------

void GameServer::handle(Client& client, const json& message) {
    const std::string type = message.value("type", std::string());
    if (type == "directory") {
        handleDirectory(client);
    } else if (type == "hello") {
        handleHello(client, message);
    } else if (type == "assetRequest") {
        handleAssetRequest(client, message);
    } else if (type == "assetsReady") {
        handleAssetsReady(client);
    } else if (type == "input") {
        handleInput(client, message);
    } else if (type == "chat") {
        handleChat(client, message);
    } else if (type == "swap") {
        handleSwap(client, message);
    } else if (type == "clientError") {
        // Recorded in the transcript; the client closes the connection.
    } else {
        violation(client, "unknown message type \"" + type + "\"");
    }
}

void GameServer::handleHello(Client& client, const json& message) {
    if (client.phase != Phase::AwaitHello) {
        violation(client, "hello after the welcome");
        return;
    }
    if (message.at("protocol") != 1) {
        fail(client, "ERR_BAD_HELLO", "protocol is not 1");
        return;
    }
    const json& pow = message.at("pow");
    const std::string challenge = pow.at("challenge").get<std::string>();
    const std::string nonce = pow.at("nonce").get<std::string>();
    const std::string hash = pow.at("hash").get<std::string>();
    const Sha256Digest digest = sha256((challenge + ":" + nonce).data(), challenge.size() + 1 + nonce.size());
    if (challenge != client.challenge || !isDecimalNonce(nonce) || hash != hexDigest(digest) ||
        leadingZeroBitsOfDigest(digest) < options_.difficulty) {
        fail(client, "ERR_BAD_POW", "proof of work rejected");
        return;
    }
    try {
        client.character = decodeCharacterJson(message.at("character").dump(), true);
    } catch (const std::exception& e) {
        fail(client, "ERR_BAD_CHARACTER", e.what());
        return;
    }
    client.playerId = nextPlayerId_++;
    client.phase = Phase::Downloading;
    sendWelcome(client);
}

void GameServer::sendWelcome(Client& client) {
    json assets = json::array();
    for (const auto& asset : world_.assets) {
        json entry = {{"id", asset.id},
                      {"kind", asset.kind},
                      {"bytes", asset.bytes.size()},
                      {"revision", asset.hash},
                      {"required", true}};
        if (asset.material >= 0) {
            entry["material"] = asset.material;
        }
        assets.push_back(std::move(entry));
    }
    client.skins.clear();
    for (const auto& bot : bots_) {
        if (!bot.present) {
            continue;
        }
        WorldAsset skin;
        skin.id = "skin-" + std::to_string(bot.id);
        skin.kind = "skin";
        const std::string text = skinDocument(bot.character);
        skin.bytes.assign(text.begin(), text.end());
        skin.hash = sha256Hex(skin.bytes);
        skin.material = bot.id;  // the owner, for the entry below
        assets.push_back({{"id", skin.id},
                          {"kind", "skin"},
                          {"bytes", skin.bytes.size()},
                          {"revision", skin.hash},
                          {"playerId", bot.id},
                          {"generation", 1}});
        client.skins.push_back(std::move(skin));
    }
    json spawn = {
        {"x", world_.spawn.x}, {"y", world_.spawn.y}, {"z", world_.spawn.z}, {"heading", world_.spawn.heading}};
    send(client,
         {{"type", "welcome"},
          {"protocol", 1},
          {"id", client.playerId},
          {"assets", std::move(assets)},
          {"movement", movementJson(world_.movement)},
          {"map", {{"spawn", std::move(spawn)}, {"ambient", world_.ambient}}},
          {"character",
           {{"id", client.character.id}, {"name", client.character.name}, {"size", sizeOf(client.character)}}}});
    client.fragmenting = hasFault("fragment");
    client.lastPingMs = now();
}

void GameServer::handleAssetRequest(Client& client, const json& message) {
    const std::string id = message.at("id").get<std::string>();
    if (client.phase == Phase::AwaitHello) {
        violation(client, "assetRequest before the welcome");
        return;
    }
    const WorldAsset* asset = findAsset(client, id);
    if (!asset) {
        violation(client, "assetRequest for unknown id \"" + id + "\"");
        return;
    }
    if (!client.requested.insert(id).second) {
        violation(client, "asset \"" + id + "\" requested twice");
    }
    sendAssetChunks(client, *asset);
}

void GameServer::sendAssetChunks(Client& client, const WorldAsset& asset) {
    const size_t total = asset.bytes.size();
    for (size_t offset = 0; offset < total; offset += kChunkBytes) {
        const size_t size = std::min(kChunkBytes, total - offset);
        const bool done = offset + size == total;
        std::vector<uint8_t> piece(asset.bytes.begin() + offset, asset.bytes.begin() + offset + size);
        if (done && asset.kind == "mesh" && hasFault("corrupt-mesh")) {
            piece[piece.size() / 2] ^= 0x5a;
        }
        send(client, {{"type", "assetChunk"},
                      {"id", asset.id},
                      {"offset", offset},
                      {"data", json::binary(std::move(piece))},
                      {"done", done}});
    }
}

void GameServer::handleAssetsReady(Client& client) {
    if (client.phase != Phase::Downloading || client.assetsReady) {
        violation(client, "assetsReady out of place");
        return;
    }
    // Assets the client did not ask for are in its cache from an earlier
    // game (same id and revision); every requested one has been sent whole
    // by now, since a request is answered with all its chunks at once.
    client.assetsReady = true;
    enterGame(client);
}

void GameServer::enterGame(Client& client) {
    client.phase = Phase::Playing;
    client.state = world_.spawn;
    client.lastSequence = 0;
    client.readyMs = now();
    send(client, {{"type", "ready"}});
    send(client, {{"type", "entities"}, {"revision", world_.entitiesRevision}, {"entities", world_.entities}});
    json history = json::array();
    for (const auto& line : chatHistory_) {
        history.push_back(line);
    }
    send(client, {{"type", "chatHistory"}, {"messages", std::move(history)}});
    // The players already here, then this one to them.
    for (const auto& [connection, other] : clients_) {
        if (connection != client.connection && other.phase == Phase::Playing) {
            send(client, characterMessage(other.playerId, other.character, other.generation));
            send(client, {{"type", "joined"}, {"id", other.playerId}});
        }
    }
    for (const auto& bot : bots_) {
        if (bot.present) {
            // A bot whose skin came with the assets needs no character.
            if (!hasSkinOf(client, bot.id)) {
                send(client, characterMessage(bot.id, bot.character, 1));
            }
            send(client, {{"type", "joined"}, {"id", bot.id}});
        }
    }
    sendToPlaying(characterMessage(client.playerId, client.character, client.generation), client.connection);
    sendToPlaying({{"type", "joined"}, {"id", client.playerId}}, client.connection);
    sendSnapshot(client);
}

void GameServer::handleInput(Client& client, const json& message) {
    if (client.phase != Phase::Playing) {
        violation(client, "input before ready");
        return;
    }
    const json& commands = message.at("commands");
    if (!commands.is_array() || commands.empty() || commands.size() > kMaxCommandsPerInput) {
        violation(client, "input with " + std::to_string(commands.size()) + " commands");
    }
    for (const auto& entry : commands) {
        MoveCommand command;
        command.sequence = entry.at("seq").get<uint32_t>();
        command.moveX = entry.at("x").get<double>();
        command.moveY = entry.at("y").get<double>();
        command.jump = entry.at("jump").get<bool>();
        if (command.sequence != client.lastSequence + 1) {
            violation(client, "input: sequence " + std::to_string(command.sequence) + " after " +
                                  std::to_string(client.lastSequence));
            fail(client, "ERR_INPUT_SEQUENCE", "sequence not contiguous");
            return;
        }
        if (!std::isfinite(command.moveX) || !std::isfinite(command.moveY) ||
            std::hypot(command.moveX, command.moveY) > 1.0 + 1e-9) {
            violation(client, "input: move longer than 1 in command " + std::to_string(command.sequence));
        }
        client.state = moveStep(client.state, command, world_.movement.step, world_.walkMesh, world_.movement);
        client.lastSequence = command.sequence;
    }
}

void GameServer::handleChat(Client& client, const json& message) {
    const std::string text = message.at("text").get<std::string>();
    const json& to = message.at("to");
    if (client.phase != Phase::Playing) {
        violation(client, "chat before ready");
        return;
    }
    if (text.empty() || text.size() > kMaxChatBytes) {
        send(client, {{"type", "chatError"}, {"code", "ERR_CHAT_TEXT"}});
        return;
    }
    json line = {{"type", "chat"}, {"from", client.playerId}, {"name", client.character.name}, {"text", text}};
    if (to.is_null()) {
        line["seq"] = ++chatSeq_;
        line["to"] = nullptr;
        addChatLine(line);
        sendToPlaying(line);
        return;
    }
    const int32_t target = to.get<int32_t>();
    Client* targetClient = findPlayer(target);
    const Bot* targetBot = nullptr;
    for (const auto& bot : bots_) {
        if (bot.present && bot.id == target) {
            targetBot = &bot;
        }
    }
    if (!targetClient && !targetBot) {
        send(client, {{"type", "chatError"}, {"code", "ERR_CHAT_TARGET"}});
        return;
    }
    line["seq"] = ++chatSeq_;
    line["to"] = target;
    line["toName"] = targetClient ? targetClient->character.name : targetBot->name;
    send(client, line);
    if (targetClient && targetClient != &client) {
        send(*targetClient, line);
    }
    if (targetBot) {
        send(client, {{"type", "chat"},
                      {"seq", ++chatSeq_},
                      {"from", targetBot->id},
                      {"name", targetBot->name},
                      {"to", client.playerId},
                      {"toName", client.character.name},
                      {"text", "I am only a bot, " + client.character.name + "."}});
    }
}

DirectoryReply parseDirectoryReply(const std::string& name) {
    if (name == "answer") return DirectoryReply::Answer;
    if (name == "late") return DirectoryReply::Late;
    if (name == "never") return DirectoryReply::Never;
    if (name == "close") return DirectoryReply::AnswerAndClose;
    throw std::invalid_argument("--directory-reply is answer, late, never or close");
}

json GameServer::directoryReply() const {
    json servers = json::array({{{"title", options_.title}, {"motd", options_.motd}, {"url", ""}}});
    for (const ListedServer& listed : options_.listed) {
        servers.push_back({{"title", listed.title}, {"motd", listed.motd}, {"url", listed.url}});
    }
    return {{"type", "directory"}, {"servers", servers}};
}

void GameServer::handleDirectory(Client& client) {
    switch (options_.directoryReply) {
        case DirectoryReply::Answer:
            send(client, directoryReply());
            break;
        case DirectoryReply::Late:
            lateDirectory_.emplace_back(client.connection, now() + options_.directoryDelayMs);
            break;
        case DirectoryReply::Never:
            break;
        case DirectoryReply::AnswerAndClose:
            // As a server that treats the request like a web request would.
            send(client, directoryReply());
            if (options_.directoryCloseDelayMs > 0) {
                lateClose_.emplace_back(client.connection, now() + options_.directoryCloseDelayMs);
            } else {
                client.link->send(Outgoing{Outgoing::Kind::Close, {}});
            }
            break;
    }
}

void GameServer::sendLateDirectoryReplies() {
    const double t = now();
    for (auto it = lateDirectory_.begin(); it != lateDirectory_.end();) {
        if (it->second > t) {
            ++it;
            continue;
        }
        auto client = clients_.find(it->first);
        if (client != clients_.end()) send(client->second, directoryReply());
        it = lateDirectory_.erase(it);
    }
    for (auto it = lateClose_.begin(); it != lateClose_.end();) {
        if (it->second > t) {
            ++it;
            continue;
        }
        auto client = clients_.find(it->first);
        if (client != clients_.end()) client->second.link->send(Outgoing{Outgoing::Kind::Close, {}});
        it = lateClose_.erase(it);
    }
}

void GameServer::handleSwap(Client& client, const json& message) {
    if (client.phase != Phase::Playing) {
        violation(client, "swap before ready");
        return;
    }
    if (hasFault("swap-error")) {
        send(client, {{"type", "swapError"}, {"code", "ERR_SWAP_REFUSED"}});
        return;
    }
    Character character;
    try {
        character = decodeCharacterJson(message.at("character").dump(), true);
    } catch (const std::exception&) {
        send(client, {{"type", "swapError"}, {"code", "ERR_BAD_CHARACTER"}});
        return;
    }
    client.character = std::move(character);
    ++client.generation;
    const MoveState& s = client.state;
    send(client, {{"type", "swapped"},
                  {"character",
                   {{"id", client.character.id}, {"name", client.character.name}, {"size", sizeOf(client.character)}}},
                  {"movement",
                   {{"height", world_.movement.height},
                    {"radius", world_.movement.radius},
                    {"halfWidth", world_.movement.halfWidth},
                    {"halfDepth", world_.movement.halfDepth}}},
                  {"generation", client.generation},
                  {"x", s.x},
                  {"y", s.y},
                  {"z", s.z},
                  {"vz", s.vz},
                  {"heading", s.heading},
                  {"vx", s.vx},
                  {"vy", s.vy},
                  {"triangle", s.triangle},
                  {"ack", client.lastSequence}});
    sendToPlaying(characterMessage(client.playerId, client.character, client.generation), client.connection);
}

// ---- server messages ---------------------------------------------------------

json GameServer::characterMessage(int32_t id, const Character& character, int32_t generation) const {
    return {{"type", "character"},
            {"id", id},
            {"generation", generation},
            {"character", json::parse(encodeCharacterJsonRle(character))}};
}

json GameServer::snapshotFor(const Client& client) const {
    json players = json::array();
    auto add = [&players](int32_t id, const MoveState& s, uint32_t ack) {
        players.push_back({{"id", id},
                           {"x", s.x},
                           {"y", s.y},
                           {"z", s.z},
                           {"vz", s.vz},
                           {"heading", s.heading},
                           {"vx", s.vx},
                           {"vy", s.vy},
                           {"triangle", s.triangle},
                           {"ack", ack}});
    };
    for (const auto& [connection, other] : clients_) {
        if (other.phase == Phase::Playing) {
            add(other.playerId, other.state, other.lastSequence);
        }
    }
    for (const auto& bot : bots_) {
        if (bot.present) {
            add(bot.id, bot.state, 0);
        }
    }
    (void)client;
    return {{"type", "snapshot"}, {"players", std::move(players)}};
}

void GameServer::sendSnapshot(Client& client) {
    send(client, snapshotFor(client));
    if (++client.snapshotsSent % kStateLinePeriod == 0) {
        const MoveState& s = client.state;
        transcript_.write(client.connection, now(),
                          {{"event", "state"}, {"x", s.x}, {"y", s.y}, {"z", s.z}, {"ack", client.lastSequence}});
    }
}

void GameServer::send(Client& client, const json& message) {
    Outgoing item;
    item.kind = client.fragmenting ? Outgoing::Kind::Fragmented : Outgoing::Kind::Message;
    item.bytes = encodeServerMessage(message);
    client.link->send(std::move(item));
}

void GameServer::sendToPlaying(const json& message, int exceptConnection) {
    for (auto& [connection, client] : clients_) {
        if (connection != exceptConnection && client.phase == Phase::Playing) {
            send(client, message);
        }
    }
}

void GameServer::fail(Client& client, const std::string& code, const std::string& why) {
    transcript_.write(client.connection, now(), {{"event", "error-sent"}, {"code", code}, {"text", why}});
    send(client, {{"type", "error"}, {"code", code}});
}

void GameServer::violation(Client& client, const std::string& text) {
    transcript_.write(client.connection, now(), {{"event", "violation"}, {"text", text}});
}

void GameServer::addChatLine(json line) {
    line.erase("type");
    chatHistory_.push_back(std::move(line));
    while (chatHistory_.size() > kChatHistoryLines) {
        chatHistory_.pop_front();
    }
}

const WorldAsset* GameServer::findAsset(const Client& client, const std::string& id) const {
    if (const WorldAsset* asset = world_.find(id)) {
        return asset;
    }
    for (const auto& skin : client.skins) {
        if (skin.id == id) {
            return &skin;
        }
    }
    return nullptr;
}

bool GameServer::hasSkinOf(const Client& client, int32_t playerId) const {
    return std::any_of(client.skins.begin(), client.skins.end(),
                       [playerId](const WorldAsset& skin) { return skin.material == playerId; });
}

GameServer::Client* GameServer::findPlayer(int32_t playerId) {
    for (auto& [connection, client] : clients_) {
        if (client.phase == Phase::Playing && client.playerId == playerId) {
            return &client;
        }
    }
    return nullptr;
}

std::string GameServer::newChallenge() {
    static const char* digits = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < 32; ++i) {
        randomState_ ^= randomState_ << 13;
        randomState_ ^= randomState_ >> 7;
        randomState_ ^= randomState_ << 17;
        text += digits[(randomState_ >> 20) & 15];
    }
    return text;
}

// ---- time ------------------------------------------------------------------

void GameServer::tick() {
    const double t = now();
    const double dtMs = lastTickMs_ < 0 ? 0 : t - lastTickMs_;
    lastTickMs_ = t;
    tickBots(dtMs);
    sendLateDirectoryReplies();
    if (t >= nextAudioMs_) {
        sendAudio();
        nextAudioMs_ = t + world_.audioSegmentSeconds * 1000.0;
    }
    for (auto& [connection, client] : clients_) {
        if (client.phase == Phase::AwaitHello) {
            continue;
        }
        if (hasFault("ping") && t - client.lastPingMs >= kPingPeriodMs) {
            client.lastPingMs = t;
            client.link->send({Outgoing::Kind::Ping, "vobu-ping-" + std::to_string(++client.pings)});
        }
        if (hasFault("flood-characters")) {
            floodCharacters(client);
        }
        if (client.phase != Phase::Playing) {
            continue;
        }
        if (!client.faultsFired && t - client.readyMs >= options_.faultDelayMs) {
            client.faultsFired = true;
            fireFaults(client);
        }
        if (!client.snapshotsStopped) {
            sendSnapshot(client);
        }
    }
}

double GameServer::readPauseMs() const { return hasFault("flood-characters") ? kFloodReadPauseMs : 0; }

// Goes on until the connection ends, whatever the client says meanwhile.
void GameServer::floodCharacters(Client& client) {
    for (int i = 0; i < kFloodCharactersPerTick; ++i) {
        const int32_t id = kFirstFloodPlayerId + client.floodedCharacters++;
        send(client, characterMessage(id, botCharacter(1 + id % kMaxBots), 1));
    }
}

void GameServer::fireFaults(Client& client) {
    if (hasFault("stop-snapshots")) {
        client.snapshotsStopped = true;
    }
    if (hasFault("malformed")) {
        send(client, {{"type", "snapshot"}, {"players", json::array({{{"id", "seven"}, {"x", 0}, {"y", 0}}})}});
    }
    if (hasFault("error")) {
        send(client, {{"type", "error"}, {"code", "ERR_TEST_SERVER_ERROR"}});
    }
    if (hasFault("disconnect")) {
        send(client, {{"type", "disconnect"}, {"code", "ERR_KICKED"}, {"reason", "Kicked by the test server"}});
    }
    if (hasFault("oversize-frame")) {
        client.link->send({Outgoing::Kind::Oversize, std::string(kOversizePayload, '\xc0')});
    }
}

void GameServer::sendAudio() {
    json segment = {{"type", "audioSegment"},
                    {"streamId", world_.audioStreamId},
                    {"generation", world_.audioGeneration},
                    {"seq", audioSeq_},
                    {"playIn", kAudioLeadMs},
                    {"duration", world_.audioSegmentSeconds},
                    {"data", json::binary(std::vector<uint8_t>(world_.audioSegment))}};
    audioSeq_ = audioSeq_ >= 1000 ? 0 : audioSeq_ + 1;
    sendToPlaying(segment);
}

void GameServer::tickBots(double dtMs) {
    const double t = now();
    for (auto& bot : bots_) {
        if (t >= bot.nextChangeMs && (bot.cycles || !bot.present)) {
            if (bot.present) {
                botLeave(bot);
                bot.nextChangeMs = t + 4000;
            } else {
                botJoin(bot);
                bot.nextChangeMs = bot.cycles ? t + 12000 : 1e300;
            }
        }
        if (!bot.present) {
            continue;
        }
        bot.stepBudget += dtMs / 1000.0;
        while (bot.stepBudget >= world_.movement.step) {
            bot.stepBudget -= world_.movement.step;
            stepBot(bot);
        }
        if (t >= bot.nextChatMs) {
            bot.nextChatMs = t + 7000 + 500.0 * bot.number;
            json line = {{"type", "chat"},   {"seq", ++chatSeq_}, {"from", bot.id},
                         {"name", bot.name}, {"to", nullptr},     {"text", "Hello from " + bot.name + "!"}};
            addChatLine(line);
            sendToPlaying(line);
        }
        if (bot.number == 1) {
            for (auto& [connection, client] : clients_) {
                if (client.phase == Phase::Playing && !client.whispered && t - client.readyMs >= 3000) {
                    client.whispered = true;
                    send(client, {{"type", "chat"},
                                  {"seq", ++chatSeq_},
                                  {"from", bot.id},
                                  {"name", bot.name},
                                  {"to", client.playerId},
                                  {"toName", client.character.name},
                                  {"text", "Psst, " + client.character.name + ", welcome!"}});
                }
            }
        }
    }
}

void GameServer::stepBot(Bot& bot) {
    const auto& target = world_.botPath[bot.waypoint];
    double dx = target.first - bot.state.x;
    double dy = target.second - bot.state.y;
    const double distance = std::hypot(dx, dy);
    if (distance < 0.4) {
        bot.waypoint = (bot.waypoint + 1) % world_.botPath.size();
        return;
    }
    MoveCommand command;
    command.moveX = dx / distance * 0.6;
    command.moveY = dy / distance * 0.6;
    bot.state = moveStep(bot.state, command, world_.movement.step, world_.walkMesh, world_.movement);
}

void GameServer::botJoin(Bot& bot) {
    bot.id = nextPlayerId_++;
    bot.present = true;
    const auto& start = world_.botPath[bot.waypoint];
    bot.state = MoveState{};
    bot.state.x = start.first;
    bot.state.y = start.second;
    bot.waypoint = (bot.waypoint + 1) % world_.botPath.size();
    sendToPlaying(characterMessage(bot.id, bot.character, 1));
    sendToPlaying({{"type", "joined"}, {"id", bot.id}});
}

void GameServer::botLeave(Bot& bot) {
    bot.present = false;
    const json left = {{"type", "left"}, {"id", bot.id}};
    for (auto& [connection, client] : clients_) {
        // Downloading clients hold the bot's skin in their manifest.
        if (client.phase == Phase::Playing || (client.phase == Phase::Downloading && hasSkinOf(client, bot.id))) {
            send(client, left);
        }
    }
}

}  // namespace vobu::testserver
