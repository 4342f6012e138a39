#pragma once
// The conversion between the protocol's JSON text and the MessagePack maps
// that travel on the WebSocket. Face texts and asset bytes travel as binary
// values; the JSON side keeps face texts and base64.

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vobu {

// Deepest nesting of arrays and maps accepted in an incoming message. The
// library's MessagePack reader recurses once per level, so an unbounded
// depth would let a small message exhaust the stack.
inline constexpr int kMaxMessageDepth = 64;

// JSON text to the bytes of one MessagePack value. Throws the JSON
// library's parse error for text that is not JSON.
std::string encodeMessage(const std::string& jsonText);

// One MessagePack map to compact JSON text. Throws "ERR_BAD_MESSAGE" for a
// value that is not a map, nesting beyond kMaxMessageDepth or an empty
// binary face; the JSON library's errors for malformed bytes, trailing
// bytes, a "type" that is not a string or invalid UTF-8.
std::string decodeMessage(const uint8_t* bytes, size_t length);

// The same through a JSON library value: the reference the direct writer
// of decodeMessage must match, and its path for everything unusual.
std::string decodeMessageThroughValue(const uint8_t* bytes, size_t length);

// root["character"]["faces"]: face texts to binary values, in place.
void encodeFacesBinary(nlohmann::json& root);

// The message types whose binary "data" turns into base64 text.
inline bool carriesBinaryData(std::string_view type) { return type == "assetChunk" || type == "audioSegment"; }

// The face text of a binary face of `length` >= 1 bytes: its first byte as
// it is, then every other byte as two lowercase hex digits.
std::string faceTextFromBinary(const uint8_t* bytes, size_t length);

// root["character"]["faces"]: binary values back to face texts, in place.
void decodeFacesHex(nlohmann::json& root);

}  // namespace vobu
