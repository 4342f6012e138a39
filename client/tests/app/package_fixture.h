#pragma once

// Builds package files byte by byte, with every directory field open to
// override, so tests can state exactly the broken layout they mean.

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace vobu::testing {

struct RawEntry {
    RawEntry(std::string name_, std::vector<uint8_t> stored_, uint32_t size_,
             std::optional<uint16_t> nameLength_ = std::nullopt, std::optional<uint32_t> offset_ = std::nullopt,
             std::optional<uint32_t> storedSize_ = std::nullopt)
        : name(std::move(name_)),
          stored(std::move(stored_)),
          size(size_),
          nameLength(nameLength_),
          offset(offset_),
          storedSize(storedSize_) {}

    std::string name;
    std::vector<uint8_t> stored;  // the packed payload as written
    uint32_t size = 0;            // the unpacked size the directory claims
    std::optional<uint16_t> nameLength;
    std::optional<uint32_t> offset;
    std::optional<uint32_t> storedSize;
};

inline void putU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

inline void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 0; s < 32; s += 8) out.push_back(uint8_t(v >> s));
}

// Magic, count (the number of entries unless given), directory, payloads.
inline std::vector<uint8_t> buildPackage(const std::vector<RawEntry>& entries,
                                         std::optional<uint32_t> count = std::nullopt,
                                         const std::string& magic = "VBV1") {
    size_t directoryEnd = 8;
    for (const RawEntry& e : entries) directoryEnd += 14 + e.name.size();
    std::vector<uint8_t> out(magic.begin(), magic.end());
    putU32(out, count.value_or(uint32_t(entries.size())));
    uint32_t offset = uint32_t(directoryEnd);
    for (const RawEntry& e : entries) {
        putU16(out, e.nameLength.value_or(uint16_t(e.name.size())));
        putU32(out, e.offset.value_or(offset));
        putU32(out, e.storedSize.value_or(uint32_t(e.stored.size())));
        putU32(out, e.size);
        out.insert(out.end(), e.name.begin(), e.name.end());
        offset += uint32_t(e.stored.size());
    }
    for (const RawEntry& e : entries) out.insert(out.end(), e.stored.begin(), e.stored.end());
    return out;
}

inline std::istringstream asStream(const std::vector<uint8_t>& bytes) {
    return std::istringstream(std::string(bytes.begin(), bytes.end()));
}

}  // namespace vobu::testing
