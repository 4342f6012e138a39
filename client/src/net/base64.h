#pragma once
// Base64 of the RFC 4648 alphabet with "=" padding: the writer of binary
// message fields and handshake keys, and the strict reader of asset chunks
// and audio segments, which tolerates nothing else.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vobu {

constexpr uint32_t kMaxAssetChunkBytes = 12288;
constexpr uint32_t kMaxAudioSegmentBytes = 32768;

// The bytes of `text`; throws "ERR_BAD_ASSET_CHUNK" (empty, too long for
// maxBytes, length not a multiple of 4, more than maxBytes bytes),
// "ERR_BAD_ASSET_BASE64" (a character outside the alphabet) or
// "ERR_BAD_ASSET_PADDING" (a misplaced "=" or padding bits that are not 0).
std::vector<uint8_t> decodeAssetBase64(const std::string& text, uint32_t maxBytes);

std::string encodeBase64(const uint8_t* bytes, size_t length);
// Appends the base64 text of the bytes to `out`.
void appendBase64(const uint8_t* bytes, size_t length, std::string& out);

}  // namespace vobu
