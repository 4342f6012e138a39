#include "net/message_codec.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace vobu {
namespace {

using json = nlohmann::json;

std::string decodeBytes(const std::vector<uint8_t>& bytes) { return decodeMessage(bytes.data(), bytes.size()); }

std::string decodeValue(const json& value) { return decodeBytes(json::to_msgpack(value)); }

json encodedValue(const std::string& text) {
    const std::string bytes = encodeMessage(text);
    return json::from_msgpack(bytes.begin(), bytes.end());
}

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const json::parse_error&) {
        return "parse_error";
    } catch (const json::type_error&) {
        return "type_error";
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "";
}

TEST(CodecEncode, FaceTextsUnderCharacterBecomeBinary) {
    const json sent =
        encodedValue(R"({"character":{"faces":["pffdbaa","r","pFFDBAA","pffdba","xffdbaa","",7]},"type":"hello"})");
    const json& faces = sent["character"]["faces"];
    ASSERT_TRUE(faces[0].is_binary());
    EXPECT_EQ(faces[0].get_binary(), (std::vector<uint8_t>{0x70, 0xFF, 0xDB, 0xAA}));
    EXPECT_FALSE(faces[0].get_binary().has_subtype());
    ASSERT_TRUE(faces[1].is_binary());
    EXPECT_EQ(faces[1].get_binary(), (std::vector<uint8_t>{0x72}));
    // Upper-case digits, an odd digit count, another letter, empty, a number.
    EXPECT_EQ(faces[2], "pFFDBAA");
    EXPECT_EQ(faces[3], "pffdba");
    EXPECT_EQ(faces[4], "xffdbaa");
    EXPECT_EQ(faces[5], "");
    EXPECT_EQ(faces[6], 7);
}

TEST(CodecEncode, FacesElsewhereStayText) {
    const json sent = encodedValue(R"({"faces":["pffdbaa"],"other":{"faces":["pffdbaa"]},"character":{"x":1}})");
    EXPECT_EQ(sent["faces"][0], "pffdbaa");
    EXPECT_EQ(sent["other"]["faces"][0], "pffdbaa");
    const json notArray = encodedValue(R"({"character":{"faces":"pffdbaa"}})");
    EXPECT_EQ(notArray["character"]["faces"], "pffdbaa");
}

TEST(CodecEncode, KeysGoOutInAscendingOrderAsOneMap) {
    const std::string bytes = encodeMessage(R"({"type":"input","b":2,"a":1})");
    // fixmap of three entries, then "a" first.
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0x83);
    EXPECT_EQ(static_cast<uint8_t>(bytes[1]), 0xA1);
    EXPECT_EQ(bytes[2], 'a');
}

TEST(CodecEncode, RefusesTextThatIsNotJson) {
    for (const char* text : {"", "{", "{\"a\":1} x", "// comment\n{}", "{'a':1}"}) {
        EXPECT_EQ(errorOf([&] { encodeMessage(text); }), "parse_error") << text;
    }
}

TEST(CodecDecode, BinaryFacesBecomeFaceTexts) {
    json message = {{"type", "character"},
                    {"character",
                     {{"faces",
                       {json::binary({0x72, 0x00, 0x01, 0xFF, 0xDB, 0xAA}), json::binary({0x70}),
                        json::binary({0x41, 0x0A}), "pabc"}}}}};
    const json decoded = json::parse(decodeValue(message));
    EXPECT_EQ(decoded["character"]["faces"][0], "r0001ffdbaa");
    EXPECT_EQ(decoded["character"]["faces"][1], "p");
    // The letter is not judged here; the face reader does that.
    EXPECT_EQ(decoded["character"]["faces"][2], "A0a");
    EXPECT_EQ(decoded["character"]["faces"][3], "pabc");
}

TEST(CodecDecode, EmptyBinaryFaceIsBadMessage) {
    json message = {{"character", {{"faces", {json::binary({})}}}}};
    EXPECT_EQ(errorOf([&] { decodeValue(message); }), "ERR_BAD_MESSAGE");
}

TEST(CodecDecode, AssetBytesBecomeBase64OnlyForAssetMessages) {
    struct Case {
        const char* type;
        bool converted;
    };
    const std::vector<uint8_t> raw = {0x00, 0xFF, 0x10, 0x80, 0x7F};
    for (const Case& c : {Case{"assetChunk", true}, Case{"audioSegment", true}, Case{"snapshot", false}}) {
        json message = {{"type", c.type}, {"data", json::binary(raw)}};
        const json decoded = json::parse(decodeValue(message));
        if (c.converted) {
            EXPECT_EQ(decoded["data"], "AP8QgH8=") << c.type;
        } else {
            // The library's own form for binary values, which no handler takes.
            EXPECT_TRUE(decoded["data"].is_object()) << c.type;
        }
    }
    json textData = {{"type", "assetChunk"}, {"data", "abc"}};
    EXPECT_EQ(json::parse(decodeValue(textData))["data"], "abc");
}

TEST(CodecDecode, Base64PaddingForEveryRemainder) {
    struct Case {
        std::vector<uint8_t> bytes;
        const char* text;
    };
    const std::vector<Case> cases = {{{}, ""},
                                     {{'f'}, "Zg=="},
                                     {{'f', 'o'}, "Zm8="},
                                     {{'f', 'o', 'o'}, "Zm9v"},
                                     {{'f', 'o', 'o', 'b'}, "Zm9vYg=="},
                                     {{0xFB, 0xFF}, "+/8="}};
    for (const Case& c : cases) {
        json message = {{"type", "assetChunk"}, {"data", json::binary(c.bytes)}};
        EXPECT_EQ(json::parse(decodeValue(message))["data"], c.text);
    }
}

TEST(CodecDecode, RefusesWhatIsNotOneMap) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* error;
    };
    const std::vector<Case> cases = {
        {"array", {0x91, 0x01}, "ERR_BAD_MESSAGE"},
        {"string", {0xA1, 'x'}, "ERR_BAD_MESSAGE"},
        {"number", {0x05}, "ERR_BAD_MESSAGE"},
        {"nil", {0xC0}, "ERR_BAD_MESSAGE"},
        {"map and a trailing byte", {0x80, 0x00}, "parse_error"},
        {"empty input", {}, "parse_error"},
        {"truncated map", {0x81, 0xA1, 'a'}, "parse_error"},
        {"key that is not a string", {0x81, 0x01, 0x02}, "parse_error"},
        {"reserved byte", {0xC1}, "parse_error"},
        {"type not a string", {0x81, 0xA4, 't', 'y', 'p', 'e', 0x01}, "type_error"},
        {"invalid UTF-8", {0x81, 0xA1, 'a', 0xA1, 0xFF}, "type_error"},
    };
    for (const Case& c : cases) EXPECT_EQ(errorOf([&] { decodeBytes(c.bytes); }), c.error) << c.name;
}

TEST(CodecDecode, RoundTripKeepsOrdinaryValues) {
    const std::string text =
        R"({"a":[1,-2,3.5,true,false,null],"nested":{"x":"caf\u00e9","y":{}},"type":"chat","z":18446744073709551615})";
    const std::string bytes = encodeMessage(text);
    EXPECT_EQ(decodeMessage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), json::parse(text).dump());
}

// Arrays and maps nested `depth` levels deep, as MessagePack bytes.
std::vector<uint8_t> nested(int depth, uint8_t container) {
    std::vector<uint8_t> bytes = {0x81, 0xA1, 'a'};
    for (int level = 1; level < depth; ++level) {
        if (container == 0x91) {
            bytes.push_back(0x91);
        } else {
            bytes.insert(bytes.end(), {0x81, 0xA1, 'k'});
        }
    }
    bytes.push_back(0x01);
    return bytes;
}

TEST(CodecDecode, NestingIsLimited) {
    for (uint8_t container : {uint8_t(0x91), uint8_t(0x81)}) {
        EXPECT_NO_THROW(decodeBytes(nested(kMaxMessageDepth, container)));
        EXPECT_EQ(errorOf([&] { decodeBytes(nested(kMaxMessageDepth + 1, container)); }), "ERR_BAD_MESSAGE");
    }
}

TEST(CodecDecode, HundredThousandLevelsAreRefusedWithoutCrashing) {
    // About 100 KB, far under the message limit; a recursive reader would run
    // out of stack long before the end.
    EXPECT_EQ(errorOf([&] { decodeBytes(nested(100000, 0x91)); }), "ERR_BAD_MESSAGE");
    EXPECT_EQ(errorOf([&] { decodeBytes(nested(100000, 0x81)); }), "ERR_BAD_MESSAGE");
}

}  // namespace
}  // namespace vobu
