#include "net/server_messages.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <stdexcept>
#include <unordered_set>

#include "character/character_json.h"
#include "character/face_codec.h"
#include "net/asset_apply.h"
#include "net/asset_manifest.h"
#include "net/base64.h"
#include "net/chat_messages.h"
#include "net/failure_code.h"
#include "net/json_fields.h"
#include "net/player_records.h"

namespace vobu {
namespace {

[[noreturn]] void fail(const char* code) { throw std::runtime_error(code); }

bool isFinite(double value) { return std::isfinite(value); }

// ---- welcome and swapped -------------------------------------------------

// The server confirms the character by id and by its [width, height, depth]
// (JSON equality, so 32.0 equals 32).
void checkCharacterMatches(const json& described, const Character& character) {
    const json size = json::array({character.width, character.height, character.depth});
    if (!(described.at("id") == character.id) || !(described.at("size") == size)) fail("ERR_CHARACTER_MISMATCH");
}

// above 0 and at most `limit`; NaN fails too.
bool inPositiveRange(double value, double limit) { return value > 0 && value <= limit; }

MovementParams readWelcomeMovement(const json& movement) {
    MovementParams params;
    params.height = optionalDouble(movement, "height", 1.28);
    params.speed = requiredDouble(movement, "speed");
    params.radius = requiredDouble(movement, "radius");
    params.step = requiredDouble(movement, "step");
    params.jumpSpeed = requiredDouble(movement, "jumpSpeed");
    params.gravity = requiredDouble(movement, "gravity");
    params.acceleration = requiredDouble(movement, "acceleration");
    params.friction = requiredDouble(movement, "friction");
    params.stopSpeed = requiredDouble(movement, "stopSpeed");
    params.airAcceleration = requiredDouble(movement, "airAcceleration");
    params.halfWidth = optionalDouble(movement, "halfWidth", params.radius);
    params.halfDepth = optionalDouble(movement, "halfDepth", params.radius);

    // The step bound is the extended-precision value nearest 0.1, which lies
    // just below the double 0.1: among doubles, "below 0.1" is the same test.
    const bool stepOk = params.step > 0 && params.step < 0.1;
    if (!stepOk || !inPositiveRange(params.speed, 100) || !inPositiveRange(params.radius, 10) ||
        !inPositiveRange(params.halfWidth, 10) || !inPositiveRange(params.halfDepth, 10) ||
        !inPositiveRange(params.jumpSpeed, 50) || !inPositiveRange(params.gravity, 100))
        fail("ERR_BAD_MOVEMENT");
    return params;
}

void readAmbient(const json& map, Scene& fresh) {
    auto ambient = map.find("ambient");
    if (ambient == map.end() || ambient->is_null()) return;
    const float level = requiredFloat(*ambient, "level");
    if (!std::isfinite(level) || level < 0 || level > 1) fail("ERR_MAP_AMBIENT");
    uint32_t rgb = 0;
    if (!parseHexColor(requiredString(*ambient, "color"), rgb)) fail("ERR_BAD_COLOR");
    const Color color = colorFromRgb(rgb);
    fresh.ambient = AmbientColor{level * color.r, level * color.g, level * color.b};
}

ServerMessageKind handleWelcome(const json& message, Scene& scene, const Character& character) {
    Scene fresh;
    if (!(message.at("protocol") == 1)) fail("ERR_PROTOCOL");
    fresh.manifest = parseManifestEntry(message.at("assets"), false);
    fresh.localPlayerId = requiredInt(message, "id");
    fresh.movement = readWelcomeMovement(message.at("movement"));

    const json& map = message.at("map");
    const json& spawn = map.at("spawn");
    fresh.spawn = MoveState{};
    fresh.spawn.x = requiredDouble(spawn, "x");
    fresh.spawn.y = requiredDouble(spawn, "y");
    fresh.spawn.z = optionalDouble(spawn, "z", 0);
    fresh.spawn.heading = optionalDouble(spawn, "heading", 0);
    fresh.spawn.triangle = -1;
    readAmbient(map, fresh);

    const json& described = message.at("character");
    checkCharacterMatches(described, character);
    Character local = character;
    local.name = requiredString(described, "name");
    fresh.characters[fresh.localPlayerId] = std::move(local);
    fresh.characterRevisions[fresh.localPlayerId] = 1;
    fresh.characterGenerations[fresh.localPlayerId] = 1;

    scene = std::move(fresh);
    return ServerMessageKind::Welcome;
}

ServerMessageKind handleSwapped(const json& message, Scene& scene, const Character& character) {
    const json& described = message.at("character");
    checkCharacterMatches(described, character);

    // Everything is read and checked before the Scene changes.
    const json& movement = message.at("movement");
    const double height = optionalDouble(movement, "height", 1.28);
    const double radius = requiredDouble(movement, "radius");
    const double halfWidth = requiredDouble(movement, "halfWidth");
    const double halfDepth = requiredDouble(movement, "halfDepth");
    if (!inPositiveRange(radius, 1) || !inPositiveRange(halfWidth, 1) || !inPositiveRange(halfDepth, 1))
        fail("ERR_BAD_MOVEMENT");

    Character local = character;
    local.name = requiredString(described, "name");
    const int32_t generation = requiredUintAsInt(message, "generation");

    MoveState granted;
    granted.x = requiredDouble(message, "x");
    granted.y = requiredDouble(message, "y");
    granted.z = requiredDouble(message, "z");
    granted.vz = requiredDouble(message, "vz");
    granted.heading = requiredDouble(message, "heading");
    granted.vx = optionalDouble(message, "vx", 0);
    granted.vy = optionalDouble(message, "vy", 0);
    granted.triangle = optionalInt(message, "triangle", -1);
    const uint32_t ack = requiredUint(message, "ack");

    scene.movement.height = height;
    scene.movement.radius = radius;
    scene.movement.halfWidth = halfWidth;
    scene.movement.halfDepth = halfDepth;
    const int32_t id = scene.localPlayerId;
    scene.characters[id] = std::move(local);
    scene.characterRevisions[id] += 1;
    scene.characterGenerations[id] = generation;
    scene.swapState = granted;
    scene.swapAck = ack;
    return ServerMessageKind::Swapped;
}

// ---- codes and texts -----------------------------------------------------

ServerMessageKind handleSwapError(const json& message, Scene& scene) {
    const std::string code = requiredString(message, "code");
    if (code.size() > kMaxErrorCodeBytes) fail("ERR_BAD_ERROR_CODE");
    ChatEntry line;
    line.system = true;
    line.text = code;
    appendChatLine(scene, std::move(line));
    return ServerMessageKind::SwapError;
}

bool isReasonText(const std::string& reason) {
    return reason.size() <= kMaxDisconnectReasonBytes &&
           std::none_of(reason.begin(), reason.end(), [](char c) { return uint8_t(c) < 0x20 || uint8_t(c) == 0x7F; });
}

ServerMessageKind handleDisconnect(const json& message, Scene& scene) {
    std::string code = requiredString(message, "code");
    std::string reason = requiredString(message, "reason");
    if (!isErrorCode(code) || !isReasonText(reason)) fail("ERR_BAD_DISCONNECT");
    scene.errorCode = std::move(code);
    scene.disconnectReason = std::move(reason);
    return ServerMessageKind::Disconnect;
}

ServerMessageKind handleError(const json& message, Scene& scene) {
    std::string code = requiredString(message, "code");
    if (!isErrorCode(code)) fail("ERR_BAD_ERROR_CODE");
    scene.errorCode = std::move(code);
    return ServerMessageKind::Error;
}

// ---- joining -------------------------------------------------------------

bool isLowerHexText(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

ServerMessageKind handleChallenge(const json& message, Scene& scene) {
    if (scene.localPlayerId >= 0) fail("ERR_UNEXPECTED_CHALLENGE");
    std::string challenge = requiredString(message, "challenge");
    const int32_t difficulty = requiredInt(message, "difficulty", "ERR_BAD_CHALLENGE");
    if (challenge.size() < kMinChallengeBytes || challenge.size() > kMaxChallengeBytes || !isLowerHexText(challenge) ||
        difficulty < 1 || difficulty > 32)
        fail("ERR_BAD_CHALLENGE");
    scene.powChallenge = std::move(challenge);
    scene.powDifficulty = difficulty;
    return ServerMessageKind::Challenge;
}

ServerMessageKind handleAssetManifest(const json& message, Scene& scene, AssetStore& assets) {
    if (!assets.allRequiredComplete()) fail("ERR_UNEXPECTED_MANIFEST");
    const std::vector<ManifestEntry> added = parseManifestEntry(message.at("assets"), true);
    assets.addTextureEntries(added);
    scene.manifest.insert(scene.manifest.end(), added.begin(), added.end());
    applyAssets(scene, assets);
    return ServerMessageKind::AssetManifest;
}

ServerMessageKind handleAssetChunk(const json& message, Scene& scene, AssetStore& assets) {
    const bool done = requiredBool(message, "done");
    const std::string data = requiredString(message, "data");
    const uint32_t offset = requiredUint(message, "offset", "ERR_ASSET_OFFSET");
    const std::string id = requiredString(message, "id");
    if (assets.receiveChunk(id, offset, data, done)) applyAssets(scene, assets);
    return ServerMessageKind::AssetChunk;
}

// ---- the world -----------------------------------------------------------

bool isEntityCoordinate(float value) { return std::isfinite(value) && std::fabs(value) <= kMaxEntityCoordinate; }

SceneEntity readEntity(const json& element, std::set<int32_t>& seenIds) {
    SceneEntity entity;
    entity.id = requiredInt(element, "id", "ERR_ENTITY_ID");
    entity.type = requiredString(element, "type");
    if (entity.id < 1 || !seenIds.insert(entity.id).second) fail("ERR_ENTITY_ID");
    entity.x = requiredFloat(element, "x");
    entity.y = requiredFloat(element, "y");
    entity.z = requiredFloat(element, "z");
    if (!isEntityCoordinate(entity.x) || !isEntityCoordinate(entity.y) || !isEntityCoordinate(entity.z))
        fail("ERR_ENTITY_POSITION");

    if (entity.type == "text") {
        entity.text = requiredString(element, "text");
        entity.visibleRange = requiredFloat(element, "visibleRange");
        const auto lineFeeds = std::count(entity.text.begin(), entity.text.end(), '\n');
        const bool rangeOk = std::isfinite(entity.visibleRange) && entity.visibleRange >= 0 &&
                             entity.visibleRange <= kMaxEntityCoordinate;
        if (entity.text.size() > kMaxEntityTextBytes || lineFeeds > kMaxEntityTextLineFeeds || !rangeOk)
            fail("ERR_BAD_ENTITY");
    } else if (entity.type == "audio") {
        entity.radius = requiredFloat(element, "radius");
        entity.streamId = requiredInt(element, "streamId", "ERR_BAD_ENTITY");
        entity.generation = requiredUintAsInt(element, "generation", "ERR_BAD_ENTITY");
        const bool radiusOk =
            std::isfinite(entity.radius) && entity.radius >= 0 && entity.radius <= kMaxEntityCoordinate;
        if (!radiusOk || entity.streamId < 1 || entity.generation < 1) fail("ERR_BAD_ENTITY");
    } else {
        fail("ERR_ENTITY_TYPE");
    }
    return entity;
}

ServerMessageKind handleEntities(const json& message, Scene& scene) {
    const json& list = message.at("entities");
    if (!list.is_array() || list.size() > kMaxEntities) fail("ERR_ENTITY_LIMIT");
    std::vector<SceneEntity> entities;
    entities.reserve(list.size());
    std::set<int32_t> seenIds;
    for (const json& element : list) entities.push_back(readEntity(element, seenIds));
    const int32_t revision = requiredUintAsInt(message, "revision");
    scene.entities = std::move(entities);
    scene.entitiesRevision = revision;
    return ServerMessageKind::None;
}

ServerMessageKind handleAudioSegment(const json& message, Scene& scene, double nowMs) {
    const char* const code = "ERR_AUDIO_SEGMENT";
    const int32_t streamId = requiredInt(message, "streamId", code);
    const uint32_t generation = requiredUint(message, "generation", code);
    const uint32_t seq = requiredUint(message, "seq", code);
    const double playIn = requiredDouble(message, "playIn");
    const double duration = requiredDouble(message, "duration");
    if (streamId < 1 || generation < 1 || seq > kMaxAudioSegmentSeq || !isFinite(playIn) || playIn < -3000 ||
        playIn > 6000 || !isFinite(duration) || duration <= 0 || duration > 3)
        fail(code);

    const bool forAnEntity = std::any_of(scene.entities.begin(), scene.entities.end(), [&](const SceneEntity& entity) {
        return entity.type == "audio" && entity.streamId == streamId && uint32_t(entity.generation) == generation;
    });
    if (!forAnEntity) return ServerMessageKind::None;  // dropped before its data is read

    AudioSegment segment;
    segment.data = decodeAssetBase64(requiredString(message, "data"), kMaxAudioSegmentBytes);
    segment.streamId = streamId;
    segment.generation = int32_t(generation);  // equals an entity's, so within int32
    segment.seq = seq;
    segment.startMs = nowMs + playIn;
    segment.duration = duration;
    if (scene.audioSegments.size() >= kMaxAudioSegments) scene.audioSegments.erase(scene.audioSegments.begin());
    scene.audioSegments.push_back(std::move(segment));
    return ServerMessageKind::None;
}

// ---- players -------------------------------------------------------------

ServerMessageKind handleJoined(const json& message, Scene& scene) {
    if (scene.localPlayerId < 0 || message.at("id") == scene.localPlayerId) return ServerMessageKind::None;
    const int32_t id = requiredInt(message, "id");
    return noteJoined(scene, id) ? ServerMessageKind::Joined : ServerMessageKind::None;
}

ServerMessageKind handleCharacter(const json& message, Scene& scene) {
    Character character = decodeCharacterJson(message.at("character").dump(), true);
    const int32_t id = requiredInt(message, "id");
    const int32_t generation = optionalUintAsInt(message, "generation", 1);
    storeCharacter(scene, id, std::move(character), generation);
    return ServerMessageKind::Character;
}

ServerMessageKind handleLeft(const json& message, Scene& scene) {
    const int32_t id = requiredInt(message, "id");
    const bool ownsASkin = std::any_of(scene.manifest.begin(), scene.manifest.end(), [&](const ManifestEntry& entry) {
        return entry.kind == AssetSkin && entry.playerId == id;
    });
    if (ownsASkin) scene.departedSkinOwners.insert(id);
    noteLeft(scene, id);
    return ServerMessageKind::Character;
}

// Every element is read and checked, but a player id counts once: the
// first entry is the player, later ones with the same id are dropped, so
// nothing after the snapshot (interpolation, reconciliation, drawing) sees
// a player twice.
ServerMessageKind handleSnapshot(const json& message, Scene& scene) {
    if (scene.localPlayerId < 0) return ServerMessageKind::None;
    std::vector<Player> players;
    std::unordered_set<int32_t> listed;
    bool localListed = false;
    uint32_t lastAck = scene.lastAck;
    for (const json& element : message.at("players")) {
        Player player;
        player.id = requiredInt(element, "id");
        player.x = requiredDouble(element, "x");
        player.y = requiredDouble(element, "y");
        player.z = requiredDouble(element, "z");
        player.vz = requiredDouble(element, "vz");
        player.heading = optionalFloat(element, "heading", 0);
        player.vx = optionalDouble(element, "vx", 0);
        player.vy = optionalDouble(element, "vy", 0);
        player.triangle = optionalInt(element, "triangle", -1);
        if (player.id == scene.localPlayerId) {
            const uint32_t ack = requiredUint(element, "ack");
            if (!localListed) lastAck = ack;
            localListed = true;
        }
        if (listed.insert(player.id).second) players.push_back(player);
    }
    scene.lastAck = lastAck;
    scene.players = std::move(players);
    return ServerMessageKind::Snapshot;
}

ServerMessageKind dispatch(const std::string& type, const json& message, Scene& scene, const Character& character,
                           AssetStore& assets, double nowMs) {
    if (type == "welcome") return handleWelcome(message, scene, character);
    if (handleChatMessage(message, type, scene, nowMs)) return ServerMessageKind::Chat;
    if (type == "swapError") return handleSwapError(message, scene);
    if (type == "swapped") return handleSwapped(message, scene, character);
    if (type == "challenge") return handleChallenge(message, scene);
    if (type == "assetManifest") return handleAssetManifest(message, scene, assets);
    if (type == "entities") return handleEntities(message, scene);
    if (type == "audioSegment") return handleAudioSegment(message, scene, nowMs);
    if (type == "assetChunk") return handleAssetChunk(message, scene, assets);
    if (type == "ready") return ServerMessageKind::Ready;
    if (type == "disconnect") return handleDisconnect(message, scene);
    if (type == "error") return handleError(message, scene);
    if (type == "joined") return handleJoined(message, scene);
    if (type == "character") return handleCharacter(message, scene);
    if (type == "left") return handleLeft(message, scene);
    if (type == "snapshot") return handleSnapshot(message, scene);
    return ServerMessageKind::None;
}

}  // namespace

ServerMessageKind handleServerMessage(const char* text, unsigned length, Scene& scene, const Character& character,
                                      AssetStore& assets, std::string& lastType, double nowMs) {
    if (length > 0 && text[length - 1] == '\0') --length;
    const json message = json::parse(text, text + length, nullptr, true, false);
    const std::string type = optionalString(message, "type", "");
    lastType = type;
    return dispatch(type, message, scene, character, assets, nowMs);
}

}  // namespace vobu
