#include "audio/vorbis_guard.h"

#include <cstring>
#include <vector>

namespace vobu {

namespace {

constexpr size_t kPageHeaderBytes = 27;
constexpr size_t kIdentificationBytes = 30;

uint32_t readLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Collects the first `wanted` packets of the stream from its Ogg pages; a
// packet ends at the first lacing value below 255. False when the pages are
// cut short, a packet grows past `limit` bytes, or the stream ends first.
bool firstPackets(const uint8_t* data, size_t size, size_t wanted, size_t limit,
                  std::vector<std::vector<uint8_t>>& packets) {
    std::vector<uint8_t> packet;
    size_t at = 0;
    while (packets.size() < wanted) {
        if (size - at < kPageHeaderBytes || std::memcmp(data + at, "OggS", 4) != 0) return false;
        const size_t segments = data[at + 26];
        if (size - at - kPageHeaderBytes < segments) return false;
        const uint8_t* lacing = data + at + kPageHeaderBytes;
        size_t body = at + kPageHeaderBytes + segments;
        for (size_t s = 0; s < segments && packets.size() < wanted; ++s) {
            const size_t length = lacing[s];
            if (size - body < length || packet.size() + length > limit) return false;
            packet.insert(packet.end(), data + body, data + body + length);
            body += length;
            if (length < 255) {
                packets.push_back(std::move(packet));
                packet.clear();
            }
        }
        size_t pageBytes = 0;
        for (size_t s = 0; s < segments; ++s) pageBytes += lacing[s];
        at += kPageHeaderBytes + segments + pageBytes;
        if (at > size) return false;
    }
    return true;
}

bool hasHeaderTag(const std::vector<uint8_t>& packet, uint8_t type) {
    return packet.size() >= 7 && packet[0] == type && std::memcmp(packet.data() + 1, "vorbis", 6) == 0;
}

// The comment header: vendor length and vendor, comment count, then each
// comment's length and text, then the framing bit.
bool commentsWellFormed(const std::vector<uint8_t>& packet) {
    size_t at = 7;
    auto take = [&](size_t bytes) {
        if (packet.size() - at < bytes) return false;
        at += bytes;
        return true;
    };
    if (packet.size() - at < 4) return false;
    const uint32_t vendor = readLe32(packet.data() + at);
    if (!take(4) || !take(vendor) || packet.size() - at < 4) return false;
    const uint32_t count = readLe32(packet.data() + at);
    take(4);
    if (count > (packet.size() - at) / 4) return false;
    for (uint32_t i = 0; i < count; ++i) {
        if (packet.size() - at < 4) return false;
        const uint32_t length = readLe32(packet.data() + at);
        if (!take(4) || !take(length)) return false;
    }
    return take(1) && (packet[at - 1] & 1) != 0;
}

}  // namespace

bool vorbisHeadersSafe(const uint8_t* data, size_t size) {
    if (data == nullptr) return false;
    std::vector<std::vector<uint8_t>> packets;
    if (!firstPackets(data, size, 2, kMaxVorbisCommentBytes, packets)) return false;
    return packets[0].size() >= kIdentificationBytes && hasHeaderTag(packets[0], 1) && hasHeaderTag(packets[1], 3) &&
           commentsWellFormed(packets[1]);
}

}  // namespace vobu
