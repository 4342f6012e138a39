#include "net/asset_store.h"

#include <algorithm>
#include <stdexcept>

#include "net/asset_manifest.h"
#include "net/base64.h"
#include "net/sha256.h"

namespace vobu {
namespace {

[[noreturn]] void fail(const char* code) { throw std::runtime_error(code); }

bool isIdCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

bool isLowerHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

void checkCommonEntry(const ManifestEntry& entry, uint32_t maxBytes, const std::map<std::string, AssetEntry>& entries) {
    if (!isValidAssetId(entry.id) || !isValidAssetHash(entry.hash) || entry.bytes < 1 || entry.bytes > maxBytes ||
        entries.count(entry.id) != 0)
        fail("ERR_BAD_ASSET_ENTRY");
}

}  // namespace

bool isHashVerifiedKind(int32_t kind) { return kind == AssetMesh || kind == AssetWalkMesh || kind == AssetTexture; }

int requestPriority(int32_t kind) {
    switch (kind) {
        case AssetWalkMesh:
            return 0;
        case AssetMesh:
            return 1;
        case AssetTexture:
            return 2;
        default:
            return 3;
    }
}

bool isValidAssetId(const std::string& id) {
    return !id.empty() && id.size() <= kMaxAssetIdLength && std::all_of(id.begin(), id.end(), isIdCharacter);
}

bool isValidAssetHash(const std::string& hash) {
    return hash.size() == 64 && std::all_of(hash.begin(), hash.end(), isLowerHexDigit);
}

void AssetStore::insertEntry(const ManifestEntry& manifestEntry) {
    AssetEntry entry;
    static_cast<ManifestEntry&>(entry) = manifestEntry;
    auto cached = cache.find(entry.hash);
    if (cached != cache.end() && cached->second.size() == entry.bytes) {
        entry.data = cached->second;
        entry.complete = true;
    } else {
        entry.data.reserve(entry.bytes);
    }
    entries.emplace(entry.id, std::move(entry));
}

void AssetStore::setManifest(const std::vector<ManifestEntry>& list) {
    entries.clear();
    if (list.empty() || list.size() > kMaxWelcomeAssets) fail("ERR_BAD_ASSET_MANIFEST");

    uint64_t total = 0;
    uint64_t skinTotal = 0;
    std::set<int32_t> skinOwners;
    std::set<std::string> usedHashes;
    for (const ManifestEntry& entry : list) {
        checkCommonEntry(entry, kMaxWelcomeAssetBytes, entries);
        if (entry.kind == AssetSkin) {
            skinTotal += entry.bytes;
            if (entry.playerId < 1 || entry.bytes > kMaxSkinBytes || skinTotal > kMaxTotalSkinBytes ||
                !skinOwners.insert(entry.playerId).second || skinOwners.size() > kMaxSkins)
                fail("ERR_SKIN_BUDGET");
        }
        total += entry.bytes;
        if (total > kMaxTotalAssetBytes) fail("ERR_ASSET_BUDGET");
        usedHashes.insert(entry.hash);
        insertEntry(entry);
    }
    auto joinSound = entries.find(kJoinSoundAssetId);
    if (joinSound == entries.end() || joinSound->second.kind != AssetAudio) fail("ERR_REQUIRED_ASSET");
    pruneCache(usedHashes);
}

// Keeps the current manifest's hashes and, in ascending hash order, drops
// others until the cache is within its count and size.
void AssetStore::pruneCache(const std::set<std::string>& usedHashes) {
    size_t count = cache.size();
    uint64_t total = 0;
    for (const auto& [hash, bytes] : cache) total += bytes.size();
    for (auto it = cache.begin(); it != cache.end();) {
        if (count <= kMaxCachedAssets && total <= kMaxCachedBytes) break;
        if (usedHashes.count(it->first) != 0) {
            ++it;
            continue;
        }
        --count;
        total -= it->second.size();
        it = cache.erase(it);
    }
}

void AssetStore::addTextureEntries(const std::vector<ManifestEntry>& list) {
    if (list.size() > kMaxAddedAssets || entries.size() + list.size() > kMaxStoreAssets) fail("ERR_ASSET_BUDGET");
    uint64_t total = 0;
    for (const auto& [id, entry] : entries) total += entry.bytes;
    for (const ManifestEntry& entry : list) {
        if (entry.kind != AssetTexture || entry.required || entry.material < 0 || entry.material > kMaxMaterialSlot)
            fail("ERR_BAD_ASSET_ENTRY");
        checkCommonEntry(entry, kMaxAddedTextureBytes, entries);
        total += entry.bytes;
        if (total > kMaxTotalAssetBytes) fail("ERR_ASSET_BUDGET");
        insertEntry(entry);
    }
}

std::vector<std::string> AssetStore::missingIds() const {
    std::vector<const AssetEntry*> missing;
    for (const auto& [id, entry] : entries)  // ascending id order
        if (!entry.complete) missing.push_back(&entry);
    std::stable_sort(missing.begin(), missing.end(), [](const AssetEntry* a, const AssetEntry* b) {
        return requestPriority(a->kind) < requestPriority(b->kind);
    });
    std::vector<std::string> ids;
    ids.reserve(missing.size());
    for (const AssetEntry* entry : missing) ids.push_back(entry->id);
    return ids;
}

bool AssetStore::receiveChunk(const std::string& id, uint32_t offset, const std::string& base64Text, bool done) {
    auto it = entries.find(id);
    if (it == entries.end()) fail("ERR_UNREQUESTED_ASSET");
    AssetEntry& entry = it->second;
    if (entry.complete || offset != entry.data.size()) fail("ERR_ASSET_OFFSET");
    const std::vector<uint8_t> bytes = decodeAssetBase64(base64Text, kMaxAssetChunkBytes);
    const size_t stillMissing = entry.bytes - entry.data.size();
    if (bytes.size() > stillMissing) fail("ERR_MORE_BYTES_THAN_EXPECTED");
    if (done != (bytes.size() == stillMissing)) fail("ERR_ASSET_INCOMPLETE");
    entry.data.insert(entry.data.end(), bytes.begin(), bytes.end());
    if (!done) return false;

    // Every kind is hashed; only meshes, walk meshes and textures must
    // match. Bytes that do not match are never cached, since the cache
    // serves any later manifest (of any server) that names the hash.
    const bool matches = sha256Hex(entry.data) == entry.hash;
    if (!matches && isHashVerifiedKind(entry.kind)) fail("ERR_ASSET_HASH");
    entry.complete = true;
    if (matches) cache[entry.hash] = entry.data;
    return true;
}

bool AssetStore::isComplete(const std::string& id) const {
    auto it = entries.find(id);
    return it != entries.end() && it->second.complete;
}

bool AssetStore::allRequiredComplete() const {
    if (entries.empty()) return false;
    return std::all_of(entries.begin(), entries.end(),
                       [](const auto& item) { return !item.second.required || item.second.complete; });
}

float AssetStore::progress() const {
    uint64_t received = 0;
    uint64_t expected = 0;
    for (const auto& [id, entry] : entries) {
        if (!entry.required) continue;
        received += entry.data.size();
        expected += entry.bytes;
    }
    return expected == 0 ? 0.0f : float(double(received) / double(expected));
}

const std::vector<uint8_t>& AssetStore::data(const std::string& id) const {
    const AssetEntry& entry = entries.at(id);
    if (!entry.complete) fail("ERR_ASSET_INCOMPLETE");
    return entry.data;
}

const std::string& AssetStore::hashOf(const std::string& id) const { return entries.at(id).hash; }

void AssetStore::clear() { entries.clear(); }

}  // namespace vobu
