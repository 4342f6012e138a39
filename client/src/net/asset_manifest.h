#pragma once
// Reading the asset lists of "welcome" and "assetManifest" messages.

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "world/manifest_entry.h"

namespace vobu {

constexpr size_t kMaxWelcomeAssets = 67;
constexpr size_t kMaxAddedAssets = 16;
constexpr size_t kMaxStoreAssets = 83;
constexpr int32_t kMaxMaterialSlot = 15;

// The entries of an "assets" array, in order: the welcome's list
// (addedTextures false, every entry required) or an "assetManifest" list
// (true, none required). Throws "ERR_ASSET_BUDGET", "ERR_BAD_ASSET_KIND",
// "ERR_BAD_ASSET_ENTRY" or the JSON library's errors.
std::vector<ManifestEntry> parseManifestEntry(const nlohmann::json& assets, bool addedTextures);

}  // namespace vobu
