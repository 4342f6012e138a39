#pragma once
// Entry points shared by the game protocol fuzz targets and by the
// regression test that replays their corpora in the ordinary build. They
// return false when something that must hold broke.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "character/character.h"
#include "net/asset_apply.h"
#include "net/asset_manifest.h"
#include "net/asset_store.h"
#include "net/base64.h"
#include "net/chat_messages.h"
#include "net/failure_code.h"
#include "net/message_codec.h"
#include "net/server_messages.h"
#include "net/sha256.h"

namespace vobu::fuzz {

// ---- base64 --------------------------------------------------------------

// The first byte picks the limit (the chunk limit, the audio limit or a
// small one), the rest is the text. An accepted text is exactly the
// canonical encoding of its bytes; a refused one names one of three codes.
inline bool assetBase64Holds(const uint8_t* data, size_t size) {
    if (size == 0) return true;
    const uint32_t limits[] = {kMaxAssetChunkBytes, kMaxAudioSegmentBytes, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 48};
    const uint32_t maxBytes = limits[data[0] % std::size(limits)];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<uint8_t> bytes;
    try {
        bytes = decodeAssetBase64(text, maxBytes);
    } catch (const std::runtime_error& error) {
        const std::string code = error.what();
        return code == "ERR_BAD_ASSET_CHUNK" || code == "ERR_BAD_ASSET_BASE64" || code == "ERR_BAD_ASSET_PADDING";
    }
    return !bytes.empty() && bytes.size() <= maxBytes && encodeBase64(bytes.data(), bytes.size()) == text;
}

// ---- server messages -----------------------------------------------------

inline Character fuzzCharacter() {
    Character character;
    character.id = "fuzz-local";
    return character;
}

inline std::vector<uint8_t> joinSoundBytes() { return std::vector<uint8_t>(10, 0x4f); }

// The welcome a fuzzed game starts from: the join sound and, unless `onlyJoinSound`,
// a walk mesh, a mesh and a texture (whose bytes are not real maps) and the
// skin of player 8.
inline std::string fuzzWelcomeText(bool onlyJoinSound) {
    using nlohmann::json;
    const Character character = fuzzCharacter();
    const auto entry = [](const char* id, const char* kind, const std::vector<uint8_t>& bytes) {
        return json{{"id", id}, {"kind", kind}, {"bytes", bytes.size()}, {"revision", sha256Hex(bytes)}};
    };
    json texture = entry("tex", "texture", std::vector<uint8_t>(12, 3));
    texture["material"] = 2;
    json skin = entry("skin-8", "skin", std::vector<uint8_t>(40, '{'));
    skin["playerId"] = 8;
    json assets = json::array({entry("player-join", "audio", joinSoundBytes())});
    if (!onlyJoinSound) {
        assets.push_back(entry("walk", "walkmesh", std::vector<uint8_t>(16, 1)));
        assets.push_back(entry("mesh", "mesh", std::vector<uint8_t>(16, 2)));
        assets.push_back(texture);
        assets.push_back(skin);
    }
    const json welcome = {
        {"type", "welcome"},
        {"protocol", 1},
        {"id", 3},
        {"assets", assets},
        {"movement",
         {{"speed", 4},
          {"radius", 0.32},
          {"step", 1.0 / 60},
          {"jumpSpeed", 8},
          {"gravity", 18},
          {"acceleration", 16},
          {"friction", 9},
          {"stopSpeed", 1},
          {"airAcceleration", 2.5}}},
        {"map", {{"spawn", {{"x", 0}, {"y", 0}}}}},
        {"character",
         {{"id", character.id}, {"size", {character.width, character.height, character.depth}}, {"name", "F"}}}};
    return welcome.dump();
}

// What the Network keeps of one game, and its reactions that reach further
// into the protocol (the manifest after a welcome, the reset after a fault).
struct FuzzGame {
    Scene scene;
    AssetStore assets;
    Character character = fuzzCharacter();
    std::string lastType;

    void reset() {
        scene = Scene();
        assets.clear();
    }

    // False only when an exception of a type the Network does not catch
    // escaped; every std::exception ends the game as the Network would.
    bool receive(const std::string& text) {
        try {
            const ServerMessageKind kind =
                handleServerMessage(text.data(), unsigned(text.size()), scene, character, assets, lastType, 1000.0);
            if (kind == ServerMessageKind::Welcome) {
                assets.setManifest(scene.manifest);
                applyAssets(scene, assets);
            } else if (kind == ServerMessageKind::Error || kind == ServerMessageKind::Disconnect) {
                if (!isErrorCode(scene.errorCode)) return false;
                reset();
            }
        } catch (const std::exception& error) {
            if (!isErrorCode(failureCode(error.what()))) return false;
            reset();
        }
        return true;
    }

    void startAt(int stage) {
        if (stage == 0) return;
        receive(fuzzWelcomeText(stage >= 2));
        if (stage >= 2) {
            const auto bytes = joinSoundBytes();
            receive(nlohmann::json{
                {"type", "assetChunk"},
                {"id", "player-join"},
                {"offset", 0},
                {"data", encodeBase64(bytes.data(), bytes.size())},
                {"done",
                 true}}.dump());
        }
        if (stage >= 3) {
            receive(R"({"type":"entities","revision":1,"entities":[{"id":1,"type":"audio","x":0,"y":0,"z":0,)"
                    R"("radius":4,"streamId":5,"generation":2},{"id":2,"type":"text","x":1,"y":1,"z":1,)"
                    R"("text":"sign","visibleRange":9}]})");
        }
    }

    // The limits every accepted message keeps.
    bool holds() const {
        if (scene.chat.size() > kMaxChatLines || scene.entities.size() > kMaxEntities ||
            scene.audioSegments.size() > kMaxAudioSegments || assets.entries.size() > kMaxStoreAssets)
            return false;
        for (const ChatEntry& line : scene.chat)
            if (line.text.size() > kMaxChatTextBytes || line.name.size() > kMaxChatNameBytes ||
                line.toName.size() > kMaxChatNameBytes)
                return false;
        for (const SceneEntity& entity : scene.entities)
            if (entity.id < 1 || entity.text.size() > kMaxEntityTextBytes ||
                !(std::fabs(entity.x) <= kMaxEntityCoordinate) || !(std::fabs(entity.y) <= kMaxEntityCoordinate) ||
                !(std::fabs(entity.z) <= kMaxEntityCoordinate))
                return false;
        for (const AudioSegment& segment : scene.audioSegments)
            if (segment.data.size() > kMaxAudioSegmentBytes || !(segment.duration > 0 && segment.duration <= 3))
                return false;
        uint64_t total = 0;
        for (const auto& [id, entry] : assets.entries) {
            total += entry.bytes;
            if (entry.data.size() > entry.bytes || (entry.complete && entry.data.size() != entry.bytes)) return false;
        }
        for (const auto& [hash, bytes] : assets.cache)
            if (sha256Hex(bytes) != hash) return false;  // the cache only ever holds verified bytes
        return total <= kMaxTotalAssetBytes && (scene.powChallenge.empty() || scene.powChallenge.size() >= 16);
    }
};

// The first byte picks the stage the game starts from (0 connecting,
// 1 welcomed, 2 required assets complete, 3 with an audio entity). The rest
// is a series of messages, each a 16-bit little-endian length and that many
// MessagePack bytes, taken through the codec as the transport does.
inline bool serverMessagesHold(const uint8_t* data, size_t size) {
    if (size == 0) return true;
    FuzzGame game;
    game.startAt(data[0] % 4);
    size_t at = 1;
    for (int message = 0; message < 16 && at + 2 <= size; ++message) {
        const size_t length = std::min<size_t>(data[at] | (size_t(data[at + 1]) << 8), size - at - 2);
        at += 2;
        std::string text;
        try {
            text = decodeMessage(data + at, length);
        } catch (const std::exception&) {
            text.clear();  // the transport ends the game; here the next message goes on
        }
        at += length;
        if (text.empty()) continue;
        if (!game.receive(text) || !game.holds()) return false;
    }
    return true;
}

}  // namespace vobu::fuzz
