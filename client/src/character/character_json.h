#pragma once
// The two JSON document forms of a Character and their common reader.
//
// "rgb24" (storage): every face as its whole 64 x 64 canvas in plain hex.
// "rgb24-rle" (network): every face cut to its size as a "p" or "r" face
// text. Keys come out in ASCII order, compact, UTF-8 unescaped.

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

#include "character/character.h"

namespace vobu {

// A strict document longer than this is refused before it is parsed.
constexpr size_t kMaxStrictCharacterBytes = 163840;
constexpr int kMaxNameCodePoints = 24;
constexpr size_t kMaxCharacterIdBytes = 64;

// The "rgb24" text. Throws the JSON library's error when the name or id is
// not valid UTF-8.
std::string encodeCharacterJson(const Character& character);
// The "rgb24-rle" text (always "faceScale":1 at full resolution). Throws
// like encodeCharacterJson.
std::string encodeCharacterJsonRle(const Character& character);

// Reads any document form. Strict mode (characters from a server) admits
// only "rgb24-rle" with faces cut to size and the character rules, and
// raises "ERR_SKIN_BYTES", "ERR_BAD_CHARACTER" or "ERR_BAD_SKIN_FORMAT";
// lenient mode (the characters file) also takes the older forms and fits
// sizes into 16..64. Throws on any failure; nothing is returned partly built.
Character decodeCharacterJson(const std::string& text, bool strict);

// The "rgb24" document as a JSON value (what encodeCharacterJson dumps).
nlohmann::json characterStorageDocument(const Character& character);
// decodeCharacterJson on a document already parsed (the text byte limit of
// strict mode is the caller's business here).
Character decodeCharacterDocument(const nlohmann::json& document, bool strict);

// True for 1..64 bytes of A-Z a-z 0-9 - _.
bool isValidCharacterId(const std::string& id);

}  // namespace vobu
