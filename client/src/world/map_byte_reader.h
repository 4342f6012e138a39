#pragma once
// A forward cursor over an asset's bytes for the map readers. It never reads
// past the end: every read first asks for the bytes it needs and fails with
// the truncation code when they are missing.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace vobu {

[[noreturn]] inline void failMapAsset(const char* code) { throw std::runtime_error(code); }

class MapByteReader {
public:
    explicit MapByteReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    size_t remaining() const { return bytes_.size() - position_; }

    // Fails with "ERR_MAP_TRUNCATED" unless `count` more bytes are there.
    void require(uint64_t count) const;

    bool magicIs(const char (&magic)[5]) const { return std::memcmp(bytes_.data(), magic, 4) == 0; }
    void skip(size_t count) { position_ += count; }

    // Checked reads: each fails with "ERR_MAP_TRUNCATED" when its bytes are
    // missing.
    uint8_t nextU8() {
        require(1);
        return u8();
    }
    uint16_t nextU16() {
        require(2);
        return u16();
    }
    uint32_t nextU32() {
        require(4);
        return u32();
    }
    int32_t nextI32() {
        require(4);
        return i32();
    }

    // Unchecked reads, for runs whose bytes the caller has required at once.
    uint8_t u8() { return bytes_[position_++]; }
    uint16_t u16() {
        const uint16_t value = uint16_t(bytes_[position_] | (bytes_[position_ + 1] << 8));
        position_ += 2;
        return value;
    }
    uint32_t u32() {
        const uint32_t value = uint32_t(bytes_[position_]) | uint32_t(bytes_[position_ + 1]) << 8 |
                               uint32_t(bytes_[position_ + 2]) << 16 | uint32_t(bytes_[position_ + 3]) << 24;
        position_ += 4;
        return value;
    }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    float f32() {
        const uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // Fails with "ERR_MAP_TRAILING_BYTES" when bytes are left over.
    void expectEnd() const;

private:
    const std::vector<uint8_t>& bytes_;
    size_t position_ = 0;
};

// The common start of every asset: four magic bytes, compared as bytes.
// Fails with "ERR_MAP_TRUNCATED" when fewer than four bytes are there and
// with "ERR_MAP_MAGIC" when they differ.
void readMapMagic(MapByteReader& reader, const char (&magic)[5]);

// Finite and at most 4096 in absolute value.
bool isMapCoordinate(float value);

}  // namespace vobu
