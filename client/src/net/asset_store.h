#pragma once
// The assets of the current game, collected chunk by chunk, and a cache of
// completed asset bytes by hash that lasts for the whole run.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "world/manifest_entry.h"

namespace vobu {

constexpr uint32_t kMaxWelcomeAssetBytes = 1048576;
constexpr uint32_t kMaxAddedTextureBytes = 262153;
constexpr uint64_t kMaxTotalAssetBytes = 2097152;
constexpr uint32_t kMaxSkinBytes = 4096;
constexpr uint64_t kMaxTotalSkinBytes = 131072;
constexpr size_t kMaxSkins = 32;
constexpr size_t kMaxAssetIdLength = 64;
constexpr size_t kMaxCachedAssets = 83;
constexpr uint64_t kMaxCachedBytes = 2097152;

// The one asset every manifest must hold: the sound of a player joining.
inline const char* const kJoinSoundAssetId = "player-join";

struct AssetEntry : ManifestEntry {
    std::vector<uint8_t> data;  // the bytes received so far
    bool complete = false;
};

// Meshes, walk meshes and textures must match their hash to complete.
bool isHashVerifiedKind(int32_t kind);
// Request order of a kind: walk mesh 0, mesh 1, textures 2, the rest 3.
int requestPriority(int32_t kind);
// 1..64 of "A"-"Z", "a"-"z", "0"-"9", "-", "_".
bool isValidAssetId(const std::string& id);
// Exactly 64 of "0"-"9", "a"-"f".
bool isValidAssetHash(const std::string& hash);

class AssetStore {
public:
    // Replaces the entries with a welcome's list. Cached bytes of the same
    // hash and size complete an entry at once; the cache is then pruned.
    void setManifest(const std::vector<ManifestEntry>& list);
    // Adds the optional textures of an "assetManifest".
    void addTextureEntries(const std::vector<ManifestEntry>& list);

    // Incomplete ids: by id, then stably by the request priority of the kind.
    std::vector<std::string> missingIds() const;
    // Appends one base64 chunk; true when it completed the asset.
    bool receiveChunk(const std::string& id, uint32_t offset, const std::string& base64Text, bool done);

    bool isComplete(const std::string& id) const;
    bool allRequiredComplete() const;
    // Bytes received over bytes expected, required entries only.
    float progress() const;
    const std::vector<uint8_t>& data(const std::string& id) const;
    const std::string& hashOf(const std::string& id) const;
    // Empties the entries; the cache stays.
    void clear();

    std::map<std::string, AssetEntry> entries;
    std::map<std::string, std::vector<uint8_t>> cache;

private:
    void insertEntry(const ManifestEntry& entry);
    void pruneCache(const std::set<std::string>& usedHashes);
};

}  // namespace vobu
