#include "net/base64.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>

#include "net/protocol_test_support.h"

namespace vobu {
namespace {

std::string failureOf(const std::string& text, uint32_t maxBytes = kMaxAssetChunkBytes) {
    try {
        decodeAssetBase64(text, maxBytes);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "accepted";
}

TEST(DecodeAssetBase64, DecodesRfcVectors) {
    const struct {
        const char* text;
        const char* bytes;
    } cases[] = {
        {"Zg==", "f"},         {"Zm8=", "fo"},         {"Zm9v", "foo"},          {"Zm9vYg==", "foob"},
        {"Zm9vYmE=", "fooba"}, {"Zm9vYmFy", "foobar"}, {"+/+/", "\xfb\xff\xbf"},
    };
    for (const auto& c : cases) {
        const auto bytes = decodeAssetBase64(c.text, 100);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.bytes) << c.text;
    }
}

TEST(EncodeBase64, WritesRfcVectorsAndAppends) {
    const struct {
        const char* bytes;
        const char* text;
    } cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"\xfb\xff\xbf", "+/+/"},
    };
    for (const auto& c : cases) {
        const std::string bytes = c.bytes;
        EXPECT_EQ(encodeBase64(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), c.text) << c.bytes;
    }
    std::string out = "key: ";
    appendBase64(reinterpret_cast<const uint8_t*>("fo"), 2, out);
    EXPECT_EQ(out, "key: Zm8=");
}

TEST(DecodeAssetBase64, RoundTripsEveryLengthAndByte) {
    std::mt19937 random(3);
    for (size_t size = 1; size <= 200; ++size) {
        std::vector<uint8_t> bytes(size);
        for (auto& b : bytes) b = uint8_t(random());
        ASSERT_EQ(decodeAssetBase64(testing::encodeBase64(bytes), 200), bytes) << size;
    }
}

TEST(DecodeAssetBase64, RefusesEachRuleWithItsCode) {
    const struct {
        std::string text;
        uint32_t maxBytes;
        const char* code;
    } cases[] = {
        {"", 12288, "ERR_BAD_ASSET_CHUNK"},
        {std::string(16388, 'A'), 12288, "ERR_BAD_ASSET_CHUNK"},  // longer than 4 * (12288 + 2) / 3
        {"Zm9", 12288, "ERR_BAD_ASSET_CHUNK"},                    // not a multiple of 4
        {"Zm9vYmFyZ", 12288, "ERR_BAD_ASSET_CHUNK"},
        {"Zm9vYmFy", 5, "ERR_BAD_ASSET_CHUNK"},        // 6 bytes where 5 are allowed (text length 8 is allowed)
        {"Zg==Zm9v", 12288, "ERR_BAD_ASSET_PADDING"},  // "=" in a group that is not the last
        {"Zm8=Zm9v", 12288, "ERR_BAD_ASSET_PADDING"},
        {"Zm=v", 12288, "ERR_BAD_ASSET_PADDING"},  // third-place "=" followed by a letter
        {"Zh==", 12288, "ERR_BAD_ASSET_PADDING"},  // low four bits of "h" are not 0
        {"Zm9=", 12288, "ERR_BAD_ASSET_PADDING"},  // low two bits of "9" are not 0
        {"=m9v", 12288, "ERR_BAD_ASSET_BASE64"},
        {"Z=9v", 12288, "ERR_BAD_ASSET_BASE64"},
        {"Zm-v", 12288, "ERR_BAD_ASSET_BASE64"},  // the URL-safe alphabet is not accepted
        {"Zm9_", 12288, "ERR_BAD_ASSET_BASE64"},
        {"Zm9v\nZm9v", 12288, "ERR_BAD_ASSET_CHUNK"},  // line breaks break the length rule
        {"Zm 9", 12288, "ERR_BAD_ASSET_BASE64"},
        {"Zm.=", 12288, "ERR_BAD_ASSET_BASE64"},
        {std::string("Zm\0v", 4), 12288, "ERR_BAD_ASSET_BASE64"},
        {"Zm\xc3\xa9", 12288, "ERR_BAD_ASSET_BASE64"},
        {"====", 12288, "ERR_BAD_ASSET_BASE64"},
    };
    for (const auto& c : cases) EXPECT_EQ(failureOf(c.text, c.maxBytes), c.code) << '"' << c.text.substr(0, 24) << '"';
}

TEST(DecodeAssetBase64, ChunkLimitsAreInclusive) {
    // 16384 characters decoding to exactly 12288 bytes is the largest chunk.
    const auto full = testing::patternBytes(12288);
    const std::string text = testing::encodeBase64(full);
    ASSERT_EQ(text.size(), 16384u);
    EXPECT_EQ(decodeAssetBase64(text, kMaxAssetChunkBytes), full);
    // 16384 characters that decode to 12287 or 12286 bytes are fine too.
    EXPECT_EQ(decodeAssetBase64(testing::encodeBase64(testing::patternBytes(12287)), kMaxAssetChunkBytes).size(),
              12287u);
    // The audio segment limit: 32768 bytes are 43692 characters.
    const std::string audio = testing::encodeBase64(testing::patternBytes(32768));
    EXPECT_EQ(decodeAssetBase64(audio, kMaxAudioSegmentBytes).size(), 32768u);
    EXPECT_EQ(failureOf(testing::encodeBase64(testing::patternBytes(32769)), kMaxAudioSegmentBytes),
              "ERR_BAD_ASSET_CHUNK");
    // With maxBytes 4 a text of 8 characters is allowed by length, but
    // more than 4 decoded bytes are not.
    EXPECT_EQ(decodeAssetBase64("Zm9vYg==", 5).size(), 4u);
    EXPECT_EQ(failureOf("Zm9vYmE=", 4), "ERR_BAD_ASSET_CHUNK");
}

}  // namespace
}  // namespace vobu
