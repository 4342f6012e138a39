#include "net/websocket_frame.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace vobu {
namespace {

std::string parseError(std::vector<uint8_t> bytes) {
    WebSocketFrame frame;
    try {
        parseWebSocketFrame(bytes, frame);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "";
}

std::vector<uint8_t> serverFrame(uint8_t first, const std::string& payload, int lengthForm = 0) {
    std::vector<uint8_t> bytes = {first};
    const size_t length = payload.size();
    if (lengthForm == 0 && length < 126) {
        bytes.push_back(static_cast<uint8_t>(length));
    } else if (lengthForm <= 2 && length <= 65535) {
        bytes.push_back(126);
        bytes.push_back(static_cast<uint8_t>(length >> 8));
        bytes.push_back(static_cast<uint8_t>(length));
    } else {
        bytes.push_back(127);
        for (int shift = 56; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(uint64_t(length) >> shift));
    }
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

TEST(WebSocketFrameParse, CutsFramesOfEveryLengthForm) {
    for (int form : {0, 2, 8}) {
        for (size_t length : {size_t(0), size_t(1), size_t(125), size_t(126), size_t(65535)}) {
            if (form == 0 && length >= 126) continue;
            std::string payload(length, 'x');
            if (length > 0) payload.back() = 'y';
            std::vector<uint8_t> buffer = serverFrame(0x82, payload, form);
            buffer.push_back(0x99);  // the start of the next frame stays
            WebSocketFrame frame;
            ASSERT_TRUE(parseWebSocketFrame(buffer, frame)) << form << " " << length;
            EXPECT_TRUE(frame.fin);
            EXPECT_EQ(frame.opcode, 2);
            EXPECT_EQ(frame.payload, payload);
            EXPECT_EQ(buffer, std::vector<uint8_t>{0x99});
        }
    }
}

TEST(WebSocketFrameParse, WaitsForWholeFrame) {
    const std::vector<uint8_t> whole = serverFrame(0x02, std::string(300, 'a'), 8);
    for (size_t size = 0; size < whole.size(); ++size) {
        std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
        WebSocketFrame frame;
        EXPECT_FALSE(parseWebSocketFrame(part, frame)) << size;
        EXPECT_EQ(part.size(), size);
    }
    std::vector<uint8_t> buffer = whole;
    WebSocketFrame frame;
    ASSERT_TRUE(parseWebSocketFrame(buffer, frame));
    EXPECT_FALSE(frame.fin);
    EXPECT_TRUE(buffer.empty());
}

TEST(WebSocketFrameParse, RefusesBadHeaders) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* error;
    };
    const std::vector<Case> cases = {
        {"RSV1", {0xC2, 0x00}, "ERR_FRAME_FLAGS"},
        {"RSV2", {0xA2, 0x00}, "ERR_FRAME_FLAGS"},
        {"RSV3", {0x92, 0x00}, "ERR_FRAME_FLAGS"},
        {"masked", {0x82, 0x80, 1, 2, 3, 4}, "ERR_FRAME_FLAGS"},
        {"opcode 3", {0x83, 0x00}, "ERR_FRAME_OPCODE"},
        {"opcode 7", {0x87, 0x00}, "ERR_FRAME_OPCODE"},
        {"opcode 11", {0x8B, 0x00}, "ERR_FRAME_OPCODE"},
        {"opcode 15", {0x8F, 0x00}, "ERR_FRAME_OPCODE"},
        {"ping without FIN", {0x09, 0x00}, "ERR_CONTROL_FRAME"},
        {"close without FIN", {0x08, 0x00}, "ERR_CONTROL_FRAME"},
        {"ping of 126", {0x89, 126, 0x00, 126}, "ERR_CONTROL_FRAME"},
        {"pong of 126", {0x8A, 126, 0x00, 126}, "ERR_CONTROL_FRAME"},
        {"64-bit length 1048577", {0x82, 127, 0, 0, 0, 0, 0, 0x10, 0x00, 0x01}, "ERR_RECEIVE_BYTES"},
        // With its ten header bytes the frame would pass the limit.
        {"64-bit length 1048576", {0x82, 127, 0, 0, 0, 0, 0, 0x10, 0x00, 0x00}, "ERR_RECEIVE_BYTES"},
        {"64-bit length 1048567", {0x82, 127, 0, 0, 0, 0, 0, 0x0F, 0xFF, 0xF7}, "ERR_RECEIVE_BYTES"},
        {"64-bit length with high bits", {0x82, 127, 0x80, 0, 0, 0, 0, 0, 0, 0}, "ERR_RECEIVE_BYTES"},
    };
    for (const Case& c : cases) EXPECT_EQ(parseError(c.bytes), c.error) << c.name;
}

TEST(WebSocketFrameParse, AcceptsEveryKnownOpcodeAndLimits) {
    for (uint8_t opcode : {0, 1, 2, 8, 9, 10}) EXPECT_EQ(parseError({static_cast<uint8_t>(0x80 | opcode), 0}), "");
    EXPECT_EQ(parseError(serverFrame(0x89, std::string(125, 'p'))), "");
    // A frame of exactly 1048576 bytes with its header is allowed: it waits
    // for the payload.
    std::vector<uint8_t> header = {0x82, 127, 0, 0, 0, 0, 0, 0x0F, 0xFF, 0xF6};
    WebSocketFrame frame;
    EXPECT_FALSE(parseWebSocketFrame(header, frame));
}

TEST(WebSocketFrameEncode, MasksWithTheKeyInEveryLengthForm) {
    const uint8_t key[4] = {0x11, 0x22, 0x33, 0x44};
    struct Case {
        size_t length;
        size_t headerBytes;
        uint8_t lengthByte;
    };
    for (const Case& c : {Case{0, 6, 0x80}, Case{125, 6, 0xFD}, Case{126, 8, 0xFE}, Case{65535, 8, 0xFE},
                          Case{65536, 14, 0xFF}, Case{kSendPayloadBytes, 14, 0xFF}}) {
        std::string payload(c.length, '\0');
        for (size_t i = 0; i < c.length; ++i) payload[i] = static_cast<char>(i * 7);
        const std::vector<uint8_t> frame = encodeWebSocketFrame(kOpcodeBinary, payload, key);
        ASSERT_EQ(frame.size(), c.headerBytes + c.length) << c.length;
        EXPECT_EQ(frame[0], 0x82);
        EXPECT_EQ(frame[1], c.lengthByte);
        size_t declared = frame[1] & 0x7F;
        if (declared == 126) declared = (size_t(frame[2]) << 8) | frame[3];
        if (declared == 127) {
            declared = 0;
            for (int i = 2; i < 10; ++i) declared = (declared << 8) | frame[i];
            EXPECT_EQ(frame[2] | frame[3] | frame[4] | frame[5], 0);
        }
        EXPECT_EQ(declared, c.length);
        const size_t keyAt = c.headerBytes - 4;
        EXPECT_EQ(std::vector<uint8_t>(frame.begin() + keyAt, frame.begin() + keyAt + 4),
                  (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x44}));
        for (size_t i = 0; i < c.length; ++i) {
            ASSERT_EQ(frame[c.headerBytes + i] ^ key[i % 4], static_cast<uint8_t>(payload[i])) << i;
        }
    }
}

TEST(WebSocketFrameEncode, RefusesPayloadPastLimit) {
    const uint8_t key[4] = {0, 0, 0, 0};
    EXPECT_THROW(encodeWebSocketFrame(kOpcodeBinary, std::string(kSendPayloadBytes + 1, 'x'), key), std::runtime_error);
}

}  // namespace
}  // namespace vobu
