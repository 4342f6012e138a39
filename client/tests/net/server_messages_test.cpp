#include "net/server_messages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "net/server_message_session.h"

namespace vobu {
namespace {

using nlohmann::json;
using testing::Session;

json patched(json message, const std::string& pointer, const json& value) {
    message[json::json_pointer(pointer)] = value;
    return message;
}

json without(json message, const std::string& pointer) {
    const json::json_pointer path(pointer);
    message[path.parent_pointer()].erase(path.back());
    return message;
}

enum class Stage {
    Fresh,         // connected, nothing received yet
    Welcomed,      // after the welcome, downloading
    AssetsDone,    // every required asset complete
    WithEntities,  // welcomed, with an audio entity (stream 5, generation 2) and a text sign
};

Session sessionAt(Stage stage) {
    Session session;
    if (stage == Stage::Fresh) return session;
    session.welcome();
    if (stage == Stage::AssetsDone) session.completeJoinSound();
    if (stage == Stage::WithEntities) {
        session.handle(json{{"type", "entities"},
                            {"revision", 1},
                            {"entities",
                             {{{"id", 1},
                               {"type", "audio"},
                               {"x", 0},
                               {"y", 0},
                               {"z", 0},
                               {"radius", 5},
                               {"streamId", 5},
                               {"generation", 2}}}}});
    }
    return session;
}

std::string repeat(char c, size_t count) { return std::string(count, c); }

json entitiesOf(const json& list) { return {{"type", "entities"}, {"revision", 7}, {"entities", list}}; }

json textEntity(int id, const std::string& text = "sign", double x = 0) {
    return {{"id", id}, {"type", "text"}, {"x", x}, {"y", 0}, {"z", 0}, {"text", text}, {"visibleRange", 20}};
}

json audioEntity(int id) {
    return {{"id", id}, {"type", "audio"}, {"x", 0},        {"y", 0},
            {"z", 0},   {"radius", 5},     {"streamId", 9}, {"generation", 1}};
}

json manyTextEntities(int count) {
    json list = json::array();
    for (int i = 1; i <= count; ++i) list.push_back(textEntity(i));
    return list;
}

json segment() {
    return {{"type", "audioSegment"},
            {"streamId", 5},
            {"generation", 2},
            {"seq", 1},
            {"playIn", 100},
            {"duration", 1.5},
            {"data", testing::encodeBase64(testing::patternBytes(300))}};
}

json chatLine(const std::string& text) { return {{"type", "chat"}, {"text", text}}; }

json history(int lines) {
    json list = json::array();
    for (int i = 0; i < lines; ++i) list.push_back({{"text", "line " + std::to_string(i)}, {"seq", i}});
    return {{"type", "chatHistory"}, {"messages", list}};
}

json swappedJson(const Character& character) {
    return {{"type", "swapped"},
            {"character",
             {{"id", character.id}, {"size", {character.width, character.height, character.depth}}, {"name", "New"}}},
            {"movement", {{"radius", 0.3}, {"halfWidth", 0.25}, {"halfDepth", 0.5}}},
            {"generation", 4},
            {"x", 1},
            {"y", 2},
            {"z", 3},
            {"vz", 0},
            {"heading", 0.5},
            {"ack", 17}};
}

json challengeJson(const std::string& text, int difficulty) {
    return {{"type", "challenge"}, {"challenge", text}, {"difficulty", difficulty}};
}

json optionalTextures(int count) {
    json list = json::array();
    for (int i = 0; i < count; ++i) {
        ManifestEntry entry =
            testing::entryFor("extra" + std::to_string(i), AssetTexture, testing::patternBytes(20), false);
        list.push_back(testing::entryJson(entry));
    }
    return {{"type", "assetManifest"}, {"assets", list}};
}

struct RejectionCase {
    const char* name;
    Stage stage;
    json message;
    const char* outcome;
};

void runCases(const std::vector<RejectionCase>& cases) {
    for (const RejectionCase& c : cases) {
        Session session = sessionAt(c.stage);
        EXPECT_EQ(session.outcome(c.message), c.outcome) << c.name;
    }
}

const Character kLocal = testing::localCharacter();
const json kWelcome = testing::welcomeJson(kLocal);

TEST(ServerMessageRules, Welcome) {
    json sixtyEight = json::array();
    for (int i = 0; i < 68; ++i)
        sixtyEight.push_back(
            testing::entryJson(testing::entryFor("s" + std::to_string(i), AssetAudio, testing::patternBytes(4))));
    runCases({
        {"valid", Stage::Fresh, kWelcome, "accepted"},
        {"protocol 1.0", Stage::Fresh, patched(kWelcome, "/protocol", 1.0), "accepted"},
        {"protocol as text", Stage::Fresh, patched(kWelcome, "/protocol", "1"), "ERR_PROTOCOL"},
        {"protocol 2", Stage::Fresh, patched(kWelcome, "/protocol", 2), "ERR_PROTOCOL"},
        {"protocol true", Stage::Fresh, patched(kWelcome, "/protocol", true), "ERR_PROTOCOL"},
        {"no protocol", Stage::Fresh, without(kWelcome, "/protocol"), "ERR_BAD_SERVER_MESSAGE"},
        {"68 assets", Stage::Fresh, patched(kWelcome, "/assets", sixtyEight), "ERR_ASSET_BUDGET"},
        {"unknown asset kind", Stage::Fresh, patched(kWelcome, "/assets/0/kind", "font"), "ERR_BAD_ASSET_KIND"},
        {"id beyond int32", Stage::Fresh, patched(kWelcome, "/id", 1e300), "ERR_BAD_SERVER_MESSAGE"},
        {"id as text", Stage::Fresh, patched(kWelcome, "/id", "3"), "ERR_BAD_SERVER_MESSAGE"},
        {"largest step", Stage::Fresh, patched(kWelcome, "/movement/step", 0.09999999999999999), "accepted"},
        {"step 0.1", Stage::Fresh, patched(kWelcome, "/movement/step", 0.1), "ERR_BAD_MOVEMENT"},
        {"step 0", Stage::Fresh, patched(kWelcome, "/movement/step", 0), "ERR_BAD_MOVEMENT"},
        {"speed 100", Stage::Fresh, patched(kWelcome, "/movement/speed", 100), "accepted"},
        {"speed past 100", Stage::Fresh, patched(kWelcome, "/movement/speed", 100.001), "ERR_BAD_MOVEMENT"},
        {"speed 0", Stage::Fresh, patched(kWelcome, "/movement/speed", 0), "ERR_BAD_MOVEMENT"},
        {"radius 10", Stage::Fresh, patched(kWelcome, "/movement/radius", 10), "accepted"},
        {"radius past 10", Stage::Fresh, patched(kWelcome, "/movement/radius", 10.001), "ERR_BAD_MOVEMENT"},
        {"negative radius", Stage::Fresh, patched(kWelcome, "/movement/radius", -1), "ERR_BAD_MOVEMENT"},
        {"halfWidth 10", Stage::Fresh, patched(kWelcome, "/movement/halfWidth", 10), "accepted"},
        {"halfWidth past 10", Stage::Fresh, patched(kWelcome, "/movement/halfWidth", 10.5), "ERR_BAD_MOVEMENT"},
        {"halfDepth 0", Stage::Fresh, patched(kWelcome, "/movement/halfDepth", 0), "ERR_BAD_MOVEMENT"},
        {"halfDepth past 10", Stage::Fresh, patched(kWelcome, "/movement/halfDepth", 11), "ERR_BAD_MOVEMENT"},
        {"jumpSpeed 50", Stage::Fresh, patched(kWelcome, "/movement/jumpSpeed", 50), "accepted"},
        {"jumpSpeed past 50", Stage::Fresh, patched(kWelcome, "/movement/jumpSpeed", 50.5), "ERR_BAD_MOVEMENT"},
        {"gravity 100", Stage::Fresh, patched(kWelcome, "/movement/gravity", 100), "accepted"},
        {"gravity past 100", Stage::Fresh, patched(kWelcome, "/movement/gravity", 100.5), "ERR_BAD_MOVEMENT"},
        {"gravity 0", Stage::Fresh, patched(kWelcome, "/movement/gravity", 0), "ERR_BAD_MOVEMENT"},
        {"negative friction", Stage::Fresh, patched(kWelcome, "/movement/friction", -3), "accepted"},
        {"huge acceleration", Stage::Fresh, patched(kWelcome, "/movement/acceleration", 1e300), "accepted"},
        {"no speed", Stage::Fresh, without(kWelcome, "/movement/speed"), "ERR_BAD_SERVER_MESSAGE"},
        {"speed as text", Stage::Fresh, patched(kWelcome, "/movement/speed", "4"), "ERR_BAD_SERVER_MESSAGE"},
        {"no spawn x", Stage::Fresh, without(kWelcome, "/map/spawn/x"), "ERR_BAD_SERVER_MESSAGE"},
        {"no map", Stage::Fresh, without(kWelcome, "/map"), "ERR_BAD_SERVER_MESSAGE"},
        {"ambient null", Stage::Fresh, patched(kWelcome, "/map/ambient", nullptr), "accepted"},
        {"ambient level 1", Stage::Fresh, patched(kWelcome, "/map/ambient", {{"level", 1}, {"color", "#ABCDEF"}}),
         "accepted"},
        {"ambient level 0", Stage::Fresh, patched(kWelcome, "/map/ambient", {{"level", 0}, {"color", "abcdef"}}),
         "accepted"},
        {"ambient level 1.5", Stage::Fresh, patched(kWelcome, "/map/ambient", {{"level", 1.5}, {"color", "nonsense"}}),
         "ERR_MAP_AMBIENT"},
        {"ambient level below 0", Stage::Fresh,
         patched(kWelcome, "/map/ambient", {{"level", -0.01}, {"color", "abcdef"}}), "ERR_MAP_AMBIENT"},
        {"ambient level beyond float", Stage::Fresh,
         patched(kWelcome, "/map/ambient", {{"level", 1e300}, {"color", "abcdef"}}), "ERR_MAP_AMBIENT"},
        {"ambient colour of five digits", Stage::Fresh,
         patched(kWelcome, "/map/ambient", {{"level", 1}, {"color", "abcde"}}), "ERR_BAD_COLOR"},
        {"ambient colour with two #", Stage::Fresh,
         patched(kWelcome, "/map/ambient", {{"level", 1}, {"color", "##abcdef"}}), "ERR_BAD_COLOR"},
        {"ambient without colour", Stage::Fresh, patched(kWelcome, "/map/ambient", {{"level", 1}}),
         "ERR_BAD_SERVER_MESSAGE"},
        {"character id differs", Stage::Fresh, patched(kWelcome, "/character/id", "someone-else"),
         "ERR_CHARACTER_MISMATCH"},
        {"character size as floats", Stage::Fresh, patched(kWelcome, "/character/size", {32.0, 64, 32}), "accepted"},
        {"character size differs", Stage::Fresh, patched(kWelcome, "/character/size", {32, 64, 33}),
         "ERR_CHARACTER_MISMATCH"},
        {"character size of two", Stage::Fresh, patched(kWelcome, "/character/size", {32, 64}),
         "ERR_CHARACTER_MISMATCH"},
        {"character without name", Stage::Fresh, without(kWelcome, "/character/name"), "ERR_BAD_SERVER_MESSAGE"},
        {"a second welcome", Stage::Welcomed, kWelcome, "accepted"},
    });
}

TEST(ServerMessageRules, SwapAndChallenge) {
    const json swapped = swappedJson(kLocal);
    runCases({
        {"swapped", Stage::Welcomed, swapped, "accepted"},
        {"swapped radius 1", Stage::Welcomed, patched(swapped, "/movement/radius", 1), "accepted"},
        {"swapped radius past 1", Stage::Welcomed, patched(swapped, "/movement/radius", 1.01), "ERR_BAD_MOVEMENT"},
        {"swapped halfWidth 0", Stage::Welcomed, patched(swapped, "/movement/halfWidth", 0), "ERR_BAD_MOVEMENT"},
        {"swapped halfDepth past 1", Stage::Welcomed, patched(swapped, "/movement/halfDepth", 2), "ERR_BAD_MOVEMENT"},
        {"swapped without halfDepth", Stage::Welcomed, without(swapped, "/movement/halfDepth"),
         "ERR_BAD_SERVER_MESSAGE"},
        {"swapped character differs", Stage::Welcomed, patched(swapped, "/character/size", {16, 16, 16}),
         "ERR_CHARACTER_MISMATCH"},
        {"swapped negative ack", Stage::Welcomed, patched(swapped, "/ack", -1), "ERR_BAD_SERVER_MESSAGE"},
        {"swapped ack 1e300", Stage::Welcomed, patched(swapped, "/ack", 1e300), "ERR_BAD_SERVER_MESSAGE"},
        {"swapped without ack", Stage::Welcomed, without(swapped, "/ack"), "ERR_BAD_SERVER_MESSAGE"},
        {"swapped generation beyond int32", Stage::Welcomed, patched(swapped, "/generation", 3e9),
         "ERR_BAD_SERVER_MESSAGE"},
        {"swapped triangle 1e300", Stage::Welcomed, patched(swapped, "/triangle", 1e300), "ERR_BAD_SERVER_MESSAGE"},
        {"swapError of 64 bytes", Stage::Welcomed, json{{"type", "swapError"}, {"code", repeat('x', 63) + "\x01"}},
         "accepted"},
        {"swapError of 65 bytes", Stage::Welcomed, json{{"type", "swapError"}, {"code", repeat('E', 65)}},
         "ERR_BAD_ERROR_CODE"},
        {"swapError without code", Stage::Welcomed, json{{"type", "swapError"}}, "ERR_BAD_SERVER_MESSAGE"},
        {"challenge of 16 digits", Stage::Fresh, challengeJson(repeat('a', 16), 1), "accepted"},
        {"challenge of 15 digits", Stage::Fresh, challengeJson(repeat('a', 15), 1), "ERR_BAD_CHALLENGE"},
        {"challenge of 128 digits", Stage::Fresh, challengeJson(repeat('0', 128), 32), "accepted"},
        {"challenge of 129 digits", Stage::Fresh, challengeJson(repeat('0', 129), 5), "ERR_BAD_CHALLENGE"},
        {"challenge in capitals", Stage::Fresh, challengeJson(repeat('A', 16), 5), "ERR_BAD_CHALLENGE"},
        {"challenge with a g", Stage::Fresh, challengeJson(repeat('a', 16) + "g", 5), "ERR_BAD_CHALLENGE"},
        {"difficulty 0", Stage::Fresh, challengeJson(repeat('a', 16), 0), "ERR_BAD_CHALLENGE"},
        {"difficulty 33", Stage::Fresh, challengeJson(repeat('a', 16), 33), "ERR_BAD_CHALLENGE"},
        {"difficulty 1e300", Stage::Fresh, patched(challengeJson(repeat('a', 16), 1), "/difficulty", 1e300),
         "ERR_BAD_CHALLENGE"},
        {"difficulty as text", Stage::Fresh, patched(challengeJson(repeat('a', 16), 1), "/difficulty", "4"),
         "ERR_BAD_SERVER_MESSAGE"},
        {"challenge after the welcome", Stage::Welcomed, challengeJson(repeat('a', 16), 1), "ERR_UNEXPECTED_CHALLENGE"},
    });
}

TEST(ServerMessageRules, AssetsAndChunks) {
    const json chunk = {{"type", "assetChunk"},
                        {"id", "player-join"},
                        {"offset", 0},
                        {"data", testing::encodeBase64(testing::patternBytes(10, 9))},
                        {"done", true}};
    runCases({
        {"manifest with assets missing", Stage::Welcomed, optionalTextures(1), "ERR_UNEXPECTED_MANIFEST"},
        {"manifest of 16", Stage::AssetsDone, optionalTextures(16), "accepted"},
        {"manifest of 17", Stage::AssetsDone, optionalTextures(17), "ERR_ASSET_BUDGET"},
        {"manifest entry required", Stage::AssetsDone, patched(optionalTextures(1), "/assets/0/required", true),
         "ERR_BAD_ASSET_ENTRY"},
        {"manifest of a sound", Stage::AssetsDone, patched(optionalTextures(1), "/assets/0/kind", "audio"),
         "ERR_BAD_ASSET_ENTRY"},
        {"manifest texture too big", Stage::AssetsDone, patched(optionalTextures(1), "/assets/0/bytes", 262154),
         "ERR_BAD_ASSET_ENTRY"},
        {"chunk", Stage::Welcomed, chunk, "accepted"},
        {"chunk of an unknown id", Stage::Welcomed, patched(chunk, "/id", "nope"), "ERR_UNREQUESTED_ASSET"},
        {"chunk before the welcome", Stage::Fresh, chunk, "ERR_UNREQUESTED_ASSET"},
        {"chunk at offset 1", Stage::Welcomed, patched(chunk, "/offset", 1), "ERR_ASSET_OFFSET"},
        {"chunk at offset -1", Stage::Welcomed, patched(chunk, "/offset", -1), "ERR_ASSET_OFFSET"},
        {"chunk at offset 1e300", Stage::Welcomed, patched(chunk, "/offset", 1e300), "ERR_ASSET_OFFSET"},
        {"chunk not done", Stage::Welcomed, patched(chunk, "/done", false), "ERR_ASSET_INCOMPLETE"},
        {"chunk done as number", Stage::Welcomed, patched(chunk, "/done", 1), "ERR_BAD_SERVER_MESSAGE"},
        {"chunk of bad base64", Stage::Welcomed, patched(chunk, "/data", "AAA*"), "ERR_BAD_ASSET_BASE64"},
        {"chunk with bad padding", Stage::Welcomed, patched(chunk, "/data", "AB=A"), "ERR_BAD_ASSET_PADDING"},
        {"chunk of 16388 characters", Stage::Welcomed, patched(chunk, "/data", repeat('A', 16388)),
         "ERR_BAD_ASSET_CHUNK"},
        {"chunk too long for the asset", Stage::Welcomed,
         patched(chunk, "/data", testing::encodeBase64(testing::patternBytes(11))), "ERR_MORE_BYTES_THAN_EXPECTED"},
    });
}

TEST(ServerMessageRules, Entities) {
    json duplicate = json::array({textEntity(4), textEntity(4, "x", 1e9)});
    json longText = json::array({textEntity(1, repeat('a', 509) + "\n\n\n")});  // 512 bytes, 3 line feeds
    runCases({
        {"128 entities", Stage::Welcomed, entitiesOf(manyTextEntities(128)), "accepted"},
        {"129 entities", Stage::Welcomed, entitiesOf(manyTextEntities(129)), "ERR_ENTITY_LIMIT"},
        {"entities not a list", Stage::Welcomed, entitiesOf(json::object()), "ERR_ENTITY_LIMIT"},
        {"entity id 0", Stage::Welcomed, entitiesOf(json::array({textEntity(0)})), "ERR_ENTITY_ID"},
        {"entity id beyond int32", Stage::Welcomed,
         patched(entitiesOf(json::array({textEntity(1)})), "/entities/0/id", 1e300), "ERR_ENTITY_ID"},
        {"repeated id before a bad position", Stage::Welcomed, entitiesOf(duplicate), "ERR_ENTITY_ID"},
        {"x 4096", Stage::Welcomed, entitiesOf(json::array({textEntity(1, "t", 4096)})), "accepted"},
        {"x -4096", Stage::Welcomed, entitiesOf(json::array({textEntity(1, "t", -4096)})), "accepted"},
        {"x past 4096", Stage::Welcomed, entitiesOf(json::array({textEntity(1, "t", 4096.5)})), "ERR_ENTITY_POSITION"},
        {"x 1e300", Stage::Welcomed, entitiesOf(json::array({textEntity(1, "t", 1e300)})), "ERR_ENTITY_POSITION"},
        {"z past -4096", Stage::Welcomed, patched(entitiesOf(json::array({textEntity(1)})), "/entities/0/z", -5000),
         "ERR_ENTITY_POSITION"},
        {"text of 512 bytes and 3 line feeds", Stage::Welcomed, entitiesOf(longText), "accepted"},
        {"text of 513 bytes", Stage::Welcomed, entitiesOf(json::array({textEntity(1, repeat('a', 513))})),
         "ERR_BAD_ENTITY"},
        {"text of 4 line feeds", Stage::Welcomed, entitiesOf(json::array({textEntity(1, "a\nb\nc\nd\ne")})),
         "ERR_BAD_ENTITY"},
        {"visible range 4096", Stage::Welcomed,
         patched(entitiesOf(json::array({textEntity(1)})), "/entities/0/visibleRange", 4096), "accepted"},
        {"visible range past 4096", Stage::Welcomed,
         patched(entitiesOf(json::array({textEntity(1)})), "/entities/0/visibleRange", 4097), "ERR_BAD_ENTITY"},
        {"negative visible range", Stage::Welcomed,
         patched(entitiesOf(json::array({textEntity(1)})), "/entities/0/visibleRange", -1), "ERR_BAD_ENTITY"},
        {"text entity without text", Stage::Welcomed,
         without(entitiesOf(json::array({textEntity(1)})), "/entities/0/text"), "ERR_BAD_SERVER_MESSAGE"},
        {"audio entity", Stage::Welcomed, entitiesOf(json::array({audioEntity(1)})), "accepted"},
        {"audio radius past 4096", Stage::Welcomed,
         patched(entitiesOf(json::array({audioEntity(1)})), "/entities/0/radius", 4097), "ERR_BAD_ENTITY"},
        {"audio radius 0", Stage::Welcomed, patched(entitiesOf(json::array({audioEntity(1)})), "/entities/0/radius", 0),
         "accepted"},
        {"stream id 0", Stage::Welcomed, patched(entitiesOf(json::array({audioEntity(1)})), "/entities/0/streamId", 0),
         "ERR_BAD_ENTITY"},
        {"generation 0", Stage::Welcomed,
         patched(entitiesOf(json::array({audioEntity(1)})), "/entities/0/generation", 0), "ERR_BAD_ENTITY"},
        {"negative generation", Stage::Welcomed,
         patched(entitiesOf(json::array({audioEntity(1)})), "/entities/0/generation", -1), "ERR_BAD_ENTITY"},
        {"generation beyond int32", Stage::Welcomed,
         patched(entitiesOf(json::array({audioEntity(1)})), "/entities/0/generation", 3e9), "ERR_BAD_ENTITY"},
        {"a light", Stage::Welcomed, patched(entitiesOf(json::array({textEntity(1)})), "/entities/0/type", "light"),
         "ERR_ENTITY_TYPE"},
        {"negative revision", Stage::Welcomed, patched(entitiesOf(json::array({textEntity(1)})), "/revision", -1),
         "ERR_BAD_SERVER_MESSAGE"},
        {"no revision", Stage::Welcomed, without(entitiesOf(json::array({textEntity(1)})), "/revision"),
         "ERR_BAD_SERVER_MESSAGE"},
    });
}

TEST(ServerMessageRules, AudioSegments) {
    const json good = segment();
    runCases({
        {"segment", Stage::WithEntities, good, "accepted"},
        {"seq 1000", Stage::WithEntities, patched(good, "/seq", 1000), "accepted"},
        {"seq 1001", Stage::WithEntities, patched(good, "/seq", 1001), "ERR_AUDIO_SEGMENT"},
        {"seq 1e300", Stage::WithEntities, patched(good, "/seq", 1e300), "ERR_AUDIO_SEGMENT"},
        {"negative seq", Stage::WithEntities, patched(good, "/seq", -1), "ERR_AUDIO_SEGMENT"},
        {"duration 3", Stage::WithEntities, patched(good, "/duration", 3), "accepted"},
        {"duration past 3", Stage::WithEntities, patched(good, "/duration", 3.001), "ERR_AUDIO_SEGMENT"},
        {"duration 0", Stage::WithEntities, patched(good, "/duration", 0), "ERR_AUDIO_SEGMENT"},
        {"playIn -3000", Stage::WithEntities, patched(good, "/playIn", -3000), "accepted"},
        {"playIn below -3000", Stage::WithEntities, patched(good, "/playIn", -3000.5), "ERR_AUDIO_SEGMENT"},
        {"playIn 6000", Stage::WithEntities, patched(good, "/playIn", 6000), "accepted"},
        {"playIn past 6000", Stage::WithEntities, patched(good, "/playIn", 6000.5), "ERR_AUDIO_SEGMENT"},
        {"stream id 0", Stage::WithEntities, patched(good, "/streamId", 0), "ERR_AUDIO_SEGMENT"},
        {"generation 0", Stage::WithEntities, patched(good, "/generation", 0), "ERR_AUDIO_SEGMENT"},
        {"unknown stream with bad data", Stage::WithEntities, patched(patched(good, "/streamId", 6), "/data", "!!"),
         "accepted"},
        {"other generation with bad data", Stage::WithEntities, patched(patched(good, "/generation", 3), "/data", 5),
         "accepted"},
        {"bad data", Stage::WithEntities, patched(good, "/data", "!!!!"), "ERR_BAD_ASSET_BASE64"},
        {"32768 bytes", Stage::WithEntities,
         patched(good, "/data", testing::encodeBase64(testing::patternBytes(32768))), "accepted"},
        {"32769 bytes", Stage::WithEntities,
         patched(good, "/data", testing::encodeBase64(testing::patternBytes(32769))), "ERR_BAD_ASSET_CHUNK"},
        {"without data", Stage::WithEntities, without(good, "/data"), "ERR_BAD_SERVER_MESSAGE"},
    });
}

TEST(ServerMessageRules, EndsOfTheGame) {
    auto disconnect = [](const std::string& code, const std::string& reason) {
        return json{{"type", "disconnect"}, {"code", code}, {"reason", reason}};
    };
    auto error = [](const json& code) { return json{{"type", "error"}, {"code", code}}; };
    runCases({
        {"disconnect", Stage::Welcomed, disconnect("ERR_KICKED", "Server restarts"), "accepted"},
        {"reason with a tab", Stage::Welcomed, disconnect("ERR_KICKED", "a\tb"), "ERR_BAD_DISCONNECT"},
        {"reason with DEL", Stage::Welcomed, disconnect("ERR_KICKED", "a\x7f"), "ERR_BAD_DISCONNECT"},
        {"reason in UTF-8", Stage::Welcomed,
         disconnect("ERR_KICKED",
                    "Gr\xc3\xbc\xc3\x9f"
                    "e"),
         "accepted"},
        {"reason of 512 bytes", Stage::Welcomed, disconnect("ERR_KICKED", repeat('r', 512)), "accepted"},
        {"reason of 513 bytes", Stage::Welcomed, disconnect("ERR_KICKED", repeat('r', 513)), "ERR_BAD_DISCONNECT"},
        {"code in lower case", Stage::Welcomed, disconnect("ERR_kicked", ""), "ERR_BAD_DISCONNECT"},
        {"code of 65 bytes", Stage::Welcomed, disconnect("ERR_" + repeat('A', 61), ""), "ERR_BAD_DISCONNECT"},
        {"code of 64 bytes", Stage::Welcomed, disconnect("ERR_" + repeat('A', 60), ""), "accepted"},
        {"disconnect without reason", Stage::Welcomed, json{{"type", "disconnect"}, {"code", "ERR_X"}},
         "ERR_BAD_SERVER_MESSAGE"},
        {"error", Stage::Welcomed, error("ERR_FULL"), "accepted"},
        {"error ERR_", Stage::Fresh, error("ERR_"), "accepted"},
        {"error with a hyphen", Stage::Welcomed, error("ERR-FULL"), "ERR_BAD_ERROR_CODE"},
        {"error without the prefix", Stage::Welcomed, error("FULL"), "ERR_BAD_ERROR_CODE"},
        {"error as number", Stage::Welcomed, error(5), "ERR_BAD_SERVER_MESSAGE"},
        {"ready", Stage::Fresh, json{{"type", "ready"}}, "accepted"},
    });
}

TEST(ServerMessageRules, ChatAndPlayers) {
    const json snapshot = {{"type", "snapshot"},
                           {"players", {{{"id", 3}, {"x", 1}, {"y", 2}, {"z", 3}, {"vz", 0}, {"ack", 9}}}}};
    runCases({
        {"text of 2048 bytes", Stage::Welcomed, chatLine(repeat('t', 2048)), "accepted"},
        {"text of 2049 bytes", Stage::Welcomed, chatLine(repeat('t', 2049)), "ERR_CHAT_BYTES"},
        {"name of 96 bytes", Stage::Welcomed, patched(chatLine("hi"), "/name", repeat('n', 96)), "accepted"},
        {"name of 97 bytes", Stage::Welcomed, patched(chatLine("hi"), "/name", repeat('n', 97)), "ERR_CHAT_BYTES"},
        {"target name of 97 bytes", Stage::Welcomed, patched(chatLine("hi"), "/toName", repeat('n', 97)),
         "ERR_CHAT_BYTES"},
        {"text as number", Stage::Welcomed, patched(chatLine("hi"), "/text", 5), "ERR_BAD_SERVER_MESSAGE"},
        {"no text", Stage::Welcomed, json{{"type", "chat"}}, "ERR_BAD_SERVER_MESSAGE"},
        {"seq as text", Stage::Welcomed, patched(chatLine("hi"), "/seq", "1"), "ERR_BAD_SERVER_MESSAGE"},
        {"negative seq", Stage::Welcomed, patched(chatLine("hi"), "/seq", -1), "ERR_BAD_SERVER_MESSAGE"},
        {"seq 1e300", Stage::Welcomed, patched(chatLine("hi"), "/seq", 1e300), "ERR_BAD_SERVER_MESSAGE"},
        {"to 1e300", Stage::Welcomed, patched(chatLine("hi"), "/to", 1e300), "ERR_BAD_SERVER_MESSAGE"},
        {"name as boolean", Stage::Welcomed, patched(chatLine("hi"), "/name", true), "ERR_BAD_SERVER_MESSAGE"},
        {"formatted as number on a player line", Stage::Welcomed, patched(chatLine("hi"), "/formatted", 3), "accepted"},
        {"formatted as number on a system line", Stage::Welcomed,
         patched(patched(chatLine("hi"), "/formatted", 3), "/system", true), "ERR_BAD_SERVER_MESSAGE"},
        {"history of 50", Stage::Welcomed, history(50), "accepted"},
        {"history of 51", Stage::Welcomed, history(51), "ERR_CHAT_LENGTH"},
        {"history null", Stage::Welcomed, json{{"type", "chatHistory"}, {"messages", nullptr}}, "accepted"},
        {"history of a lone text", Stage::Welcomed, json{{"type", "chatHistory"}, {"messages", "hi"}},
         "ERR_BAD_SERVER_MESSAGE"},
        {"history without messages", Stage::Welcomed, json{{"type", "chatHistory"}}, "ERR_BAD_SERVER_MESSAGE"},
        {"chatError", Stage::Welcomed, json{{"type", "chatError"}, {"code", "slow down!"}}, "accepted"},
        {"chatError code as number", Stage::Welcomed, json{{"type", "chatError"}, {"code", 4}},
         "ERR_BAD_SERVER_MESSAGE"},
        {"chatError of 2049 bytes", Stage::Welcomed, json{{"type", "chatError"}, {"code", repeat('e', 2049)}},
         "ERR_CHAT_BYTES"},
        {"joined", Stage::Welcomed, json{{"type", "joined"}, {"id", 8}}, "accepted"},
        {"joined beyond int32", Stage::Welcomed, json{{"type", "joined"}, {"id", 1e300}}, "ERR_BAD_SERVER_MESSAGE"},
        {"joined before the welcome is not read", Stage::Fresh, json{{"type", "joined"}, {"id", "x"}}, "accepted"},
        {"left beyond int32", Stage::Welcomed, json{{"type", "left"}, {"id", -1e300}}, "ERR_BAD_SERVER_MESSAGE"},
        {"character of the wrong format", Stage::Welcomed,
         json{{"type", "character"}, {"id", 8}, {"character", json::parse(encodeCharacterJson(kLocal))}},
         "ERR_BAD_SKIN_FORMAT"},
        {"character without id", Stage::Welcomed,
         json{{"type", "character"}, {"character", json::parse(encodeCharacterJsonRle(kLocal))}},
         "ERR_BAD_SERVER_MESSAGE"},
        {"character generation -1", Stage::Welcomed,
         json{{"type", "character"},
              {"id", 8},
              {"generation", -1},
              {"character", json::parse(encodeCharacterJsonRle(kLocal))}},
         "ERR_BAD_SERVER_MESSAGE"},
        {"snapshot", Stage::Welcomed, snapshot, "accepted"},
        {"snapshot before the welcome is not read", Stage::Fresh, json{{"type", "snapshot"}}, "accepted"},
        {"snapshot without the local ack", Stage::Welcomed, without(snapshot, "/players/0/ack"),
         "ERR_BAD_SERVER_MESSAGE"},
        {"snapshot with a negative ack", Stage::Welcomed, patched(snapshot, "/players/0/ack", -1),
         "ERR_BAD_SERVER_MESSAGE"},
        {"snapshot id as text", Stage::Welcomed, patched(snapshot, "/players/0/id", "3"), "ERR_BAD_SERVER_MESSAGE"},
        {"snapshot triangle 1e300", Stage::Welcomed, patched(snapshot, "/players/0/triangle", 1e300),
         "ERR_BAD_SERVER_MESSAGE"},
        {"snapshot heading 1e300", Stage::Welcomed, patched(snapshot, "/players/0/heading", 1e300), "accepted"},
        {"snapshot without players", Stage::Welcomed, json{{"type", "snapshot"}}, "ERR_BAD_SERVER_MESSAGE"},
    });
}

TEST(ServerMessageParsing, TextsThatAreNoObjects) {
    const struct {
        std::string text;
        const char* outcome;
        const char* lastType;
    } cases[] = {
        {std::string("{\"type\":\"ready\"}\0", 17), "accepted", "ready"},
        {"[1,2]", "ERR_BAD_SERVER_MESSAGE", "unset"},
        {"42", "ERR_BAD_SERVER_MESSAGE", "unset"},
        {"\"welcome\"", "ERR_BAD_SERVER_MESSAGE", "unset"},
        {"{\"type\":\"ready\"", "ERR_BAD_SERVER_MESSAGE", "unset"},
        {"{\"type\":\"ready\"} // comment", "ERR_BAD_SERVER_MESSAGE", "unset"},
        {"{\"type\":7}", "ERR_BAD_SERVER_MESSAGE", "unset"},
        {"{\"type\":null}", "ERR_BAD_SERVER_MESSAGE", "unset"},
        {"{}", "accepted", ""},
        {"{\"type\":\"party\"}", "accepted", "party"},
    };
    for (const auto& c : cases) {
        Session session;
        EXPECT_EQ(session.outcome(c.text), c.outcome) << c.text;
        EXPECT_EQ(session.lastType, c.lastType) << c.text;
    }
    // An unknown type is ignored without reading anything.
    Session session;
    EXPECT_EQ(session.handle(std::string("{\"type\":\"party\",\"id\":\"x\"}")), ServerMessageKind::None);
}

}  // namespace
}  // namespace vobu
