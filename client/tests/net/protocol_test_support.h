#pragma once
// Small builders shared by the game protocol tests.

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "net/base64.h"
#include "net/sha256.h"
#include "world/manifest_entry.h"

namespace vobu::testing {

inline std::string encodeBase64(const std::vector<uint8_t>& bytes) {
    return vobu::encodeBase64(bytes.data(), bytes.size());
}

inline std::vector<uint8_t> bytesOf(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

inline std::vector<uint8_t> patternBytes(size_t size, uint8_t seed = 1) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i * 37 + seed);
    return bytes;
}

inline ManifestEntry entryFor(const std::string& id, int32_t kind, const std::vector<uint8_t>& bytes,
                              bool required = true) {
    ManifestEntry entry;
    entry.id = id;
    entry.kind = kind;
    entry.bytes = uint32_t(bytes.size());
    entry.hash = sha256Hex(bytes);
    entry.required = required;
    if (kind == AssetTexture) entry.material = 0;
    return entry;
}

// A hash text that no test's bytes have.
inline std::string fakeHash(char digit = 'a') { return std::string(64, digit); }

// The JSON form of a manifest entry, as a server writes it.
inline nlohmann::json entryJson(const ManifestEntry& entry) {
    static const char* kNames[] = {"audio", "skin", "mesh", "walkmesh", "texture"};
    nlohmann::json value = {
        {"id", entry.id}, {"revision", entry.hash}, {"bytes", entry.bytes}, {"kind", kNames[entry.kind]}};
    if (!entry.required) value["required"] = false;
    if (entry.material >= 0) value["material"] = entry.material;
    if (entry.playerId != -1) value["playerId"] = entry.playerId;
    if (entry.generation != 1) value["generation"] = entry.generation;
    return value;
}

}  // namespace vobu::testing
