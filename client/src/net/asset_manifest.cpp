#include "net/asset_manifest.h"

#include <cstring>
#include <stdexcept>

#include "net/json_fields.h"

namespace vobu {
namespace {

constexpr const char* kKindNames[] = {"audio", "skin", "mesh", "walkmesh", "texture"};

int32_t kindFromName(const std::string& name) {
    for (int32_t kind = 0; kind < int32_t(std::size(kKindNames)); ++kind)
        if (name == kKindNames[kind]) return kind;
    throw std::runtime_error("ERR_BAD_ASSET_KIND");
}

ManifestEntry readEntry(const json& element, bool addedTextures) {
    ManifestEntry entry;
    entry.kind = kindFromName(requiredString(element, "kind"));
    entry.generation = optionalInt(element, "generation", 1);
    entry.playerId = optionalInt(element, "playerId", -1);
    // Sizes beyond 32 bits or below 0 break the size rule of an entry.
    entry.bytes = requiredUint(element, "bytes", "ERR_BAD_ASSET_ENTRY");
    entry.hash = requiredString(element, "revision");
    entry.id = requiredString(element, "id");
    entry.required = optionalBool(element, "required", true);
    entry.material = optionalInt(element, "material", -1);

    if (entry.required == addedTextures) throw std::runtime_error("ERR_BAD_ASSET_ENTRY");
    if (entry.kind == AssetTexture && (entry.material < 0 || entry.material > kMaxMaterialSlot))
        throw std::runtime_error("ERR_BAD_ASSET_ENTRY");
    return entry;
}

}  // namespace

std::vector<ManifestEntry> parseManifestEntry(const json& assets, bool addedTextures) {
    const size_t limit = addedTextures ? kMaxAddedAssets : kMaxWelcomeAssets;
    if (!assets.is_array() || assets.size() > limit) throw std::runtime_error("ERR_ASSET_BUDGET");
    std::vector<ManifestEntry> entries;
    entries.reserve(assets.size());
    for (const json& element : assets) entries.push_back(readEntry(element, addedTextures));
    return entries;
}

}  // namespace vobu
