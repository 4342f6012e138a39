// The direct MessagePack-to-JSON writer against the value-building path:
// whenever the writer answers, its text must be the reference text; for
// ordinary messages it must answer (or the speed-up would be lost).

#include "codec_msgpack_generator.h"
#include "net/message_codec.h"
#include "net/msgpack_json_writer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace vobu {
namespace {

using json = nlohmann::json;

std::string reference(const std::vector<uint8_t>& bytes) {
    try {
        return decodeMessageThroughValue(bytes.data(), bytes.size());
    } catch (const std::exception& error) {
        return std::string("throws ") + error.what();
    }
}

bool writerAnswers(const std::vector<uint8_t>& bytes, std::string& text) {
    return writeMessageJson(bytes.data(), bytes.size(), text);
}

TEST(CodecWriter, MatchesTheReferenceOnRandomMessages) {
    testing::MsgpackGenerator generator(20261210);
    int answered = 0;
    constexpr int kMessages = 4000;
    for (int i = 0; i < kMessages; ++i) {
        const std::vector<uint8_t> bytes = generator.message();
        std::string text;
        if (writerAnswers(bytes, text)) {
            ++answered;
            ASSERT_EQ(text, reference(bytes)) << "message " << i;
        }
    }
    // Random text pieces are all valid UTF-8 and keys never repeat, so only
    // binary "data" in a message of another type sends the writer back.
    EXPECT_GT(answered, kMessages * 3 / 4);
}

TEST(CodecWriter, AnswersOrdinaryProtocolMessages) {
    std::vector<uint8_t> chunkData(12288, 0xAB);
    const std::vector<json> messages = {
        {{"type", "assetChunk"}, {"id", "mesh"}, {"index", 3}, {"data", json::binary(chunkData)}},
        {{"type", "snapshot"}, {"players", {{{"id", "p1"}, {"x", 1.25}, {"vz", -0.0}}}}, {"tick", 7}},
        {{"type", "character"}, {"character", {{"faces", {json::binary({0x70, 0xFF, 0xDB, 0xAA}), "r00"}}}}},
        {{"type", "chat"}, {"text", "caf\xc3\xa9 \"quoted\"\n\x01"}},
        json::object(),
    };
    for (const json& message : messages) {
        const std::vector<uint8_t> bytes = json::to_msgpack(message);
        std::string text;
        ASSERT_TRUE(writerAnswers(bytes, text)) << message.dump().substr(0, 80);
        EXPECT_EQ(text, reference(bytes));
    }
}

TEST(CodecWriter, LeavesUnusualMessagesToTheReference) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {"duplicate keys, the last one counts", {0x82, 0xA1, 'a', 0x01, 0xA1, 'a', 0x02}},
        {"binary outside faces and data", {0x81, 0xA1, 'b', 0xC4, 0x01, 0x00}},
        {"binary data of another type",
         {0x82, 0xA4, 'd', 'a', 't', 'a', 0xC4, 0x00, 0xA4, 't', 'y', 'p', 'e', 0xA1, 'x'}},
        {"extension value", {0x81, 0xA1, 'e', 0xD4, 0x01, 0x00}},
        {"invalid UTF-8", {0x81, 0xA1, 'a', 0xA2, 0xC0, 0x80}},
        {"surrogate", {0x81, 0xA1, 'a', 0xA3, 0xED, 0xA0, 0x80}},
        {"type not a string", {0x81, 0xA4, 't', 'y', 'p', 'e', 0x01}},
        {"empty face", {0x81, 0xA9, 'c', 'h', 'a', 'r', 'a', 'c',  't',  'e', 'r',
                        0x81, 0xA5, 'f', 'a', 'c', 'e', 's', 0x91, 0xC4, 0x00}},
        {"not a map", {0x90}},
        {"trailing byte", {0x80, 0x00}},
        {"truncated", {0x82, 0xA1, 'a'}},
        {"huge count", {0xDF, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        std::string text;
        EXPECT_FALSE(writerAnswers(c.bytes, text)) << c.name;
        // decodeMessage still gives the reference result.
        std::string through;
        try {
            through = decodeMessage(c.bytes.data(), c.bytes.size());
        } catch (const std::exception& error) {
            through = std::string("throws ") + error.what();
        }
        EXPECT_EQ(through, reference(c.bytes)) << c.name;
    }
}

TEST(CodecWriter, UnsortedKeysComeOutSortedAtEveryLevel) {
    const std::vector<uint8_t> bytes = {0x83, 0xA1, 'z', 0x01, 0xA1, 'a',  0x82, 0xA1, 'y',
                                        0x02, 0xA1, 'b', 0x03, 0xA2, 0xC3, 0xA9, 0x04};
    std::string text;
    ASSERT_TRUE(writerAnswers(bytes, text));
    EXPECT_EQ(text, "{\"a\":{\"b\":3,\"y\":2},\"z\":1,\"\xc3\xa9\":4}");
    EXPECT_EQ(text, reference(bytes));
}

}  // namespace
}  // namespace vobu
