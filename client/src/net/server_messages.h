#pragma once
// Every message of a game server: parsed, checked against fixed limits,
// written into the Scene and the AssetStore. The result tells the Network
// what to do next. Every broken rule throws: std::runtime_error with an
// "ERR_" code, or an exception of the JSON library (which the Network turns
// into "ERR_BAD_SERVER_MESSAGE", see failureCode). Nothing is sent here and
// no state is kept here.

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "character/character.h"
#include "net/asset_store.h"
#include "world/scene.h"

namespace vobu {

enum class ServerMessageKind : int32_t {
    None = 0,       // "entities", "audioSegment", an idle "joined", an early "snapshot", unknown types
    Challenge = 1,  // answer with the proof of work
    Welcome = 2,    // set the manifest, request the missing assets
    Snapshot = 3,   // reconcile the prediction
    Character = 4,  // "character" and "left"
    AssetChunk = 5,
    AssetManifest = 6,  // request the added optional textures
    Joined = 7,         // a new player joined
    Ready = 8,
    Error = 9,
    Disconnect = 10,
    Swapped = 11,
    SwapError = 12,
    Chat = 13,  // "chat", "chatHistory", "chatError"
};

constexpr size_t kMaxEntities = 128;
constexpr float kMaxEntityCoordinate = 4096;
constexpr size_t kMaxEntityTextBytes = 512;
constexpr int kMaxEntityTextLineFeeds = 3;
constexpr size_t kMaxAudioSegments = 8;
constexpr uint32_t kMaxAudioSegmentSeq = 1000;
constexpr size_t kMaxChallengeBytes = 128;
constexpr size_t kMinChallengeBytes = 16;
constexpr size_t kMaxErrorCodeBytes = 64;
constexpr size_t kMaxDisconnectReasonBytes = 512;

// character: the character the server must confirm (the pending one while
// a swap waits, else the local one). lastType receives the message's
// "type" once the text parsed as an object. nowMs is the receive time of
// chat lines and audio segments (performance-counter milliseconds).
ServerMessageKind handleServerMessage(const char* text, unsigned length, Scene& scene, const Character& character,
                                      AssetStore& assets, std::string& lastType, double nowMs);
}  // namespace vobu
