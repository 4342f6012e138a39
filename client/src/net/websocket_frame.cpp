#include "net/websocket_frame.h"

#include <stdexcept>

namespace vobu {

namespace {

uint64_t readBigEndian(const uint8_t* bytes, int count) {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | bytes[i];
    return value;
}

bool isControl(uint8_t opcode) { return (opcode & 0x08) != 0; }

}  // namespace

bool parseWebSocketFrame(const uint8_t* data, size_t size, WebSocketFrame& out, size_t& consumed) {
    if (size < 2) return false;
    const uint8_t first = data[0];
    const uint8_t second = data[1];
    if ((first & 0x70) != 0 || (second & 0x80) != 0) throw std::runtime_error("ERR_FRAME_FLAGS");
    const uint8_t opcode = first & 0x0F;
    if ((opcode & 0x07) > 2) throw std::runtime_error("ERR_FRAME_OPCODE");
    const bool fin = (first & 0x80) != 0;

    const uint8_t lengthCode = second & 0x7F;
    size_t headerBytes = 2;
    uint64_t length = lengthCode;
    if (lengthCode == 126) {
        headerBytes = 4;
        if (size < headerBytes) return false;
        length = readBigEndian(data + 2, 2);
    } else if (lengthCode == 127) {
        headerBytes = 10;
        if (size < headerBytes) return false;
        length = readBigEndian(data + 2, 8);
    }
    // Compared without adding, so a 64-bit length cannot wrap around.
    if (length > kReceiveFrameBytes - headerBytes) throw std::runtime_error("ERR_RECEIVE_BYTES");
    if (isControl(opcode) && (!fin || length > kControlPayloadBytes)) throw std::runtime_error("ERR_CONTROL_FRAME");
    if (size - headerBytes < length) return false;

    out.fin = fin;
    out.opcode = opcode;
    out.payload.assign(reinterpret_cast<const char*>(data + headerBytes), static_cast<size_t>(length));
    consumed = headerBytes + static_cast<size_t>(length);
    return true;
}

bool parseWebSocketFrame(std::vector<uint8_t>& buffer, WebSocketFrame& out) {
    size_t consumed = 0;
    if (!parseWebSocketFrame(buffer.data(), buffer.size(), out, consumed)) return false;
    buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(consumed));
    return true;
}

std::vector<uint8_t> encodeWebSocketFrame(uint8_t opcode, const std::string& payload, const uint8_t key[4]) {
    if (payload.size() > kSendPayloadBytes) throw std::runtime_error("ERR_SEND_BYTES");
    const size_t length = payload.size();
    std::vector<uint8_t> frame;
    frame.reserve(length + 14);
    frame.push_back(static_cast<uint8_t>(0x80 | opcode));
    if (length < 126) {
        frame.push_back(static_cast<uint8_t>(0x80 | length));
    } else if (length <= 65535) {
        frame.push_back(0xFE);
        frame.push_back(static_cast<uint8_t>(length >> 8));
        frame.push_back(static_cast<uint8_t>(length));
    } else {
        frame.push_back(0xFF);
        for (int shift = 56; shift >= 0; shift -= 8)
            frame.push_back(static_cast<uint8_t>(static_cast<uint64_t>(length) >> shift));
    }
    frame.insert(frame.end(), key, key + 4);
    for (size_t i = 0; i < length; ++i) frame.push_back(static_cast<uint8_t>(payload[i]) ^ key[i & 3]);
    return frame;
}

}  // namespace vobu
