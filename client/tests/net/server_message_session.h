#pragma once
// A client's side of one game for the server-message tests: the Scene, the
// AssetStore and the character, fed with JSON messages.

#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "character/character_json.h"
#include "character/face_codec.h"
#include "net/failure_code.h"
#include "net/protocol_test_support.h"
#include "net/server_messages.h"

namespace vobu::testing {

using nlohmann::json;

constexpr int32_t kLocalId = 3;
constexpr double kNowMs = 50000;

inline Character localCharacter() {
    Character character;
    character.id = "local-char";
    character.name = "Me";
    return character;
}

// A skin document as a server sends it: faces at `scale`, cut to size.
inline std::string skinDocument(const std::string& id, int scale = 8, uint32_t color = 0x336699) {
    Character character;
    character.id = id;
    character.name = "Other";
    json document = json::parse(encodeCharacterJsonRle(character));
    document["faceScale"] = scale;
    for (int face = 0; face < kFaceCount; ++face) {
        const auto [w, h] = character.faceSize(face);
        const int cells = ((w + scale - 1) / scale) * ((h + scale - 1) / scale);
        document["faces"][face] = encodeFace(std::vector<uint32_t>(size_t(cells), color));
    }
    return document.dump();
}

inline ManifestEntry joinSoundEntry() { return entryFor("player-join", AssetAudio, patternBytes(10, 9)); }

inline json movementJson() {
    return {{"speed", 4},         {"radius", 0.32}, {"step", 1.0 / 60}, {"jumpSpeed", 8},        {"gravity", 18},
            {"acceleration", 16}, {"friction", 9},  {"stopSpeed", 1},   {"airAcceleration", 2.5}};
}

inline json welcomeJson(const Character& character, const std::vector<ManifestEntry>& assets = {joinSoundEntry()}) {
    json list = json::array();
    for (const ManifestEntry& entry : assets) list.push_back(entryJson(entry));
    return {{"type", "welcome"},
            {"protocol", 1},
            {"id", kLocalId},
            {"assets", list},
            {"movement", movementJson()},
            {"map", {{"spawn", {{"x", 1.5}, {"y", -2}, {"z", 0.25}, {"heading", 1}}}}},
            {"character",
             {{"id", character.id},
              {"size", {character.width, character.height, character.depth}},
              {"name", "Server Name"}}}};
}

struct Session {
    Scene scene;
    AssetStore assets;
    Character character = localCharacter();
    std::string lastType = "unset";

    ServerMessageKind handle(const std::string& text) {
        return handleServerMessage(text.data(), unsigned(text.size()), scene, character, assets, lastType, kNowMs);
    }
    ServerMessageKind handle(const json& message) { return handle(message.dump()); }

    // "accepted", or the code the game would end with.
    std::string outcome(const std::string& text) {
        try {
            handle(text);
        } catch (const std::exception& error) {
            return failureCode(error.what());
        }
        return "accepted";
    }
    std::string outcome(const json& message) { return outcome(message.dump()); }

    // The welcome handled as the Network does: the store takes the manifest.
    void welcome(const std::vector<ManifestEntry>& assetsList = {joinSoundEntry()}) {
        handle(welcomeJson(character, assetsList));
        assets.setManifest(scene.manifest);
    }

    void sendAsset(const std::string& id, const std::vector<uint8_t>& bytes) {
        handle(json{{"type", "assetChunk"}, {"id", id}, {"offset", 0}, {"data", encodeBase64(bytes)}, {"done", true}});
    }

    void completeJoinSound() { sendAsset("player-join", patternBytes(10, 9)); }
};

}  // namespace vobu::testing
