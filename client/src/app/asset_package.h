#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace vobu {

// Limits of the package "vobu.dat" (magic "VBV1"): its directory and the
// run-length packed payloads it points at.
inline constexpr uint32_t kPackageMaxEntries = 64;
inline constexpr uint32_t kPackageMaxNameLength = 128;
inline constexpr uint32_t kPackageMaxEntryBytes = 16777216;
inline constexpr char kPackageFileName[] = "vobu.dat";
inline constexpr char kAssetPackageError[] = "ERR_ASSET_PACKAGE";

// The unpacked bytes of the first entry of that name in "vobu.dat" beside
// the executable. Opens and walks the file afresh on every call. Throws
// std::runtime_error "ERR_ASSET_PACKAGE" on every failure.
std::vector<uint8_t> loadPackagedAsset(const std::string& name);

// The same lookup on any seekable stream holding a package.
std::vector<uint8_t> readPackagedAsset(std::istream& package, const std::string& name);

// Unpacks run-length packets that must use up `stored` exactly and give
// exactly `size` bytes. Throws "ERR_ASSET_PACKAGE" otherwise.
std::vector<uint8_t> unpackRunLength(const std::vector<uint8_t>& stored, uint32_t size);

}  // namespace vobu
