#include "net/client_messages.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "character/character_json.h"
#include "net/sha256.h"

namespace vobu {
namespace {

TEST(ClientMessages, HelloCarriesTheProofAndTheNetworkDocument) {
    Character character;
    character.id = "abc-1";
    character.name = "Tester";
    const std::string challenge = "00112233445566778899aabbccddeeff";
    const std::string hash = sha256Hex(challenge + ":" + "42");
    const std::string expected = "{\"character\":" + encodeCharacterJsonRle(character) + ",\"pow\":{\"challenge\":\"" +
                                 challenge + "\",\"hash\":\"" + hash +
                                 "\",\"nonce\":\"42\"},\"protocol\":1,\"type\":\"hello\"}";
    EXPECT_EQ(makeHelloMessage(character, challenge, "42"), expected);
    // The character is an object, not a string holding a document.
    EXPECT_TRUE(nlohmann::json::parse(makeHelloMessage(character, challenge, "42"))["character"].is_object());
}

TEST(ClientMessages, SwapCarriesTheRequestedCharacter) {
    Character character;
    character.id = "x";
    character.setSize(20, 40, 16);
    EXPECT_EQ(makeSwapMessage(character),
              "{\"character\":" + encodeCharacterJsonRle(character) + ",\"type\":\"swap\"}");
}

TEST(ClientMessages, GoldenTextsOfTheSmallMessages) {
    const struct {
        std::string built;
        const char* expected;
    } cases[] = {
        {makeAssetRequestMessage("walk-1"), R"({"id":"walk-1","type":"assetRequest"})"},
        {makeAssetsReadyMessage(), R"({"type":"assetsReady"})"},
        {makeChatMessage("hi there", 0), R"({"text":"hi there","to":null,"type":"chat"})"},
        {makeChatMessage("hi", -1), R"({"text":"hi","to":null,"type":"chat"})"},
        {makeChatMessage("psst", 7), R"({"text":"psst","to":7,"type":"chat"})"},
        {makeChatMessage("quote \" and \xc3\xa9", 2),
         "{\"text\":\"quote \\\" and \xc3\xa9\",\"to\":2,\"type\":\"chat\"}"},
        {makeClientErrorMessage("ERR_ASSET_HASH", "assetChunk"),
         R"({"code":"ERR_ASSET_HASH","lastType":"assetChunk","type":"clientError"})"},
        {makeClientErrorMessage("ERR_SNAPSHOT_TIMEOUT", ""),
         R"({"code":"ERR_SNAPSHOT_TIMEOUT","lastType":"","type":"clientError"})"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.built, c.expected);
}

TEST(ClientMessages, InputWritesMovementAsFloatingPoint) {
    const std::vector<MoveCommand> commands = {
        {1, 0.0, 0.0, false},
        {2, 1.0, -1.0, true},
        {4294967295u, 0.5, -0.25, false},
    };
    EXPECT_EQ(makeInputMessage(commands),
              R"({"commands":[{"jump":false,"seq":1,"x":0.0,"y":0.0},{"jump":true,"seq":2,"x":1.0,"y":-1.0},)"
              R"({"jump":false,"seq":4294967295,"x":0.5,"y":-0.25}],"type":"input"})");
    EXPECT_EQ(makeInputMessage({}), R"({"commands":[],"type":"input"})");
    // The values survive the text exactly.
    const MoveCommand odd{9, 0.1234567890123, -0.7071067811865476, false};
    const auto parsed = nlohmann::json::parse(makeInputMessage({odd}));
    EXPECT_EQ(parsed["commands"][0]["x"].get<double>(), odd.moveX);
    EXPECT_EQ(parsed["commands"][0]["y"].get<double>(), odd.moveY);
    EXPECT_TRUE(parsed["commands"][0]["x"].is_number_float());
}

TEST(ClientMessages, InvalidUtf8NeverMakesABuilderThrow) {
    std::string built;
    EXPECT_NO_THROW(built = makeChatMessage("bad \xff byte", 0));
    EXPECT_EQ(built, "{\"text\":\"bad \xef\xbf\xbd byte\",\"to\":null,\"type\":\"chat\"}");

    // A character's id and name pass through the character writer: a bad
    // byte there must not throw out of a swap either.
    Character character;
    character.id = "id\xc3";
    character.name = "na\xffme";
    for (const bool hello : {true, false}) {
        ASSERT_NO_THROW(built = hello ? makeHelloMessage(character, "00", "1") : makeSwapMessage(character)) << hello;
        const auto document = nlohmann::json::parse(built)["character"];
        EXPECT_EQ(document["id"], "id\xef\xbf\xbd");
        EXPECT_EQ(document["name"], "na\xef\xbf\xbdme");
    }
}

}  // namespace
}  // namespace vobu
