#pragma once
// RFC 6455 frames as the client sees them: server frames are cut from the
// receive buffer (never masked), client frames are written masked.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vobu {

// Byte limits of the connection; every one is inclusive.
inline constexpr size_t kReadChunkBytes = 8192;
inline constexpr int kReadsPerPoll = 8;
inline constexpr size_t kUpgradeHeaderBytes = 8192;
// A received frame, header included: anything larger fails as soon as its
// header shows the size, whatever else arrives in the same read.
inline constexpr size_t kReceiveFrameBytes = 1048576;
inline constexpr size_t kControlPayloadBytes = 125;
inline constexpr size_t kMessageBytes = 1048576;
inline constexpr size_t kSendPayloadBytes = 262144;
inline constexpr size_t kSendQueueBytes = 524288;

enum WebSocketOpcode : uint8_t {
    kOpcodeContinuation = 0,
    kOpcodeText = 1,
    kOpcodeBinary = 2,
    kOpcodeClose = 8,
    kOpcodePing = 9,
    kOpcodePong = 10,
};

struct WebSocketFrame {
    bool fin = false;
    uint8_t opcode = 0;
    std::string payload;
};

// Cuts the first frame of `data[0, size)`. False while the frame is not
// complete; on success `consumed` is the frame's length in bytes. Header
// faults (a frame longer than kReceiveFrameBytes among them) are thrown as
// "ERR_" codes as soon as the header is there, before the payload arrives.
bool parseWebSocketFrame(const uint8_t* data, size_t size, WebSocketFrame& out, size_t& consumed);

// The same on a buffer, removing the frame from its front.
bool parseWebSocketFrame(std::vector<uint8_t>& buffer, WebSocketFrame& out);

// One final, masked client frame.
std::vector<uint8_t> encodeWebSocketFrame(uint8_t opcode, const std::string& payload, const uint8_t key[4]);

}  // namespace vobu
