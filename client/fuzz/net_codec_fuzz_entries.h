#pragma once
// Entry points shared by the message codec fuzz target and the regression
// tests that replay its corpus in the ordinary build. They return false
// when something that must hold broke.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include <nlohmann/json.hpp>

#include "net/message_codec.h"
#include "net/msgpack_json_writer.h"
#include "net/websocket_frame.h"

namespace vobu::fuzz {

// An incoming message: whenever the direct writer answers, the
// value-building path must give the same text; whatever decodeMessage
// returns must be JSON text that goes out again.
inline bool incomingMessageHolds(const uint8_t* data, size_t size) {
    std::string direct;
    const bool answered = writeMessageJson(data, size, direct);
    std::string reference;
    try {
        reference = decodeMessageThroughValue(data, size);
    } catch (const std::exception&) {
        return !answered;
    }
    if (answered && direct != reference) return false;
    try {
        const nlohmann::json parsed = nlohmann::json::parse(reference);
        (void)parsed;
        (void)encodeMessage(reference);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

// Server frames cut one after another: each cut stays inside the buffer and
// within the limits; malformed headers raise runtime errors only.
inline bool serverFramesHold(const uint8_t* data, size_t size) {
    size_t offset = 0;
    try {
        WebSocketFrame frame;
        size_t consumed = 0;
        while (parseWebSocketFrame(data + offset, size - offset, frame, consumed)) {
            if (consumed == 0 || consumed > size - offset) return false;
            if (consumed > kReceiveFrameBytes) return false;
            if ((frame.opcode & 0x08) && (frame.payload.size() > kControlPayloadBytes || !frame.fin)) return false;
            if ((frame.opcode & 0x07) > 2) return false;
            offset += consumed;
        }
    } catch (const std::runtime_error&) {}
    return true;
}

// The first byte chooses: even for a message, odd for frames.
inline bool messageCodecHolds(const uint8_t* data, size_t size) {
    if (size == 0) return true;
    return (data[0] & 1) ? serverFramesHold(data + 1, size - 1) : incomingMessageHolds(data + 1, size - 1);
}

}  // namespace vobu::fuzz
