#pragma once
// MessagePack on the wire, JSON in the server: one MessagePack map per
// WebSocket message. Face texts of a character travel as binary values
// (the letter byte, then one byte per hex pair), and so does the "data" of
// asset chunks and audio segments; the server's JSON side keeps face texts
// as strings and builds "data" as binary values itself.

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace vobu::testserver {

using json = nlohmann::json;

// The MessagePack bytes of a message the server sends. Face texts under
// "character"."faces" become binary values.
std::string encodeServerMessage(json message);

// A client message: exactly one MessagePack map. Binary faces under
// "character"."faces" come back as face texts. Throws std::runtime_error
// ("not a map") or the JSON library's parse error.
json decodeClientMessage(const std::string& bytes);

// Face texts ("p"/"r" + lowercase hex pairs) of an array to binary values.
void facesToBinary(json& faces);
// Binary faces back to face texts; an empty binary face throws.
void facesToText(json& faces);

// A copy with every binary value written as a lowercase hex string, so the
// value can be dumped as JSON text (transcript).
json withBinaryAsHex(const json& value);

json binaryValue(const std::vector<uint8_t>& bytes);
json binaryValue(const uint8_t* bytes, size_t size);

std::string toHex(const std::string& bytes);

}  // namespace vobu::testserver
