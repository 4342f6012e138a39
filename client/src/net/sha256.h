#pragma once
// SHA-256 (FIPS 180-4). The block function uses the processor's SHA
// extensions when cpuid reports them and a portable version otherwise;
// both give the same bits, and tests run both.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vobu {

using Sha256Digest = std::array<uint8_t, 32>;

constexpr size_t kSha256BlockBytes = 64;

// The eight working words before the first block.
constexpr std::array<uint32_t, 8> kSha256InitialState = {
    0x6a09e667u, 0xbb67ae85u, 0x3c6ef372u, 0xa54ff53au, 0x510e527fu, 0x9b05688cu, 0x1f83d9abu, 0x5be0cd19u,
};

// The 64 round constants.
inline constexpr uint32_t kSha256RoundConstants[64] = {
    0x428a2f98u, 0x71374491u, 0xb5c0fbcfu, 0xe9b5dba5u, 0x3956c25bu, 0x59f111f1u, 0x923f82a4u, 0xab1c5ed5u,
    0xd807aa98u, 0x12835b01u, 0x243185beu, 0x550c7dc3u, 0x72be5d74u, 0x80deb1feu, 0x9bdc06a7u, 0xc19bf174u,
    0xe49b69c1u, 0xefbe4786u, 0x0fc19dc6u, 0x240ca1ccu, 0x2de92c6fu, 0x4a7484aau, 0x5cb0a9dcu, 0x76f988dau,
    0x983e5152u, 0xa831c66du, 0xb00327c8u, 0xbf597fc7u, 0xc6e00bf3u, 0xd5a79147u, 0x06ca6351u, 0x14292967u,
    0x27b70a85u, 0x2e1b2138u, 0x4d2c6dfcu, 0x53380d13u, 0x650a7354u, 0x766a0abbu, 0x81c2c92eu, 0x92722c85u,
    0xa2bfe8a1u, 0xa81a664bu, 0xc24b8b70u, 0xc76c51a3u, 0xd192e819u, 0xd6990624u, 0xf40e3585u, 0x106aa070u,
    0x19a4c116u, 0x1e376c08u, 0x2748774cu, 0x34b0bcb5u, 0x391c0cb3u, 0x4ed8aa4au, 0x5b9cca4fu, 0x682e6ff3u,
    0x748f82eeu, 0x78a5636fu, 0x84c87814u, 0x8cc70208u, 0x90befffau, 0xa4506cebu, 0xbef9a3f7u, 0xc67178f2u,
};

// Runs `count` 64-byte blocks through the compression function.
using Sha256BlockFunction = void (*)(uint32_t state[8], const uint8_t* blocks, size_t count);

void sha256BlocksPortable(uint32_t state[8], const uint8_t* blocks, size_t count);
// Only valid when sha256ShaExtensionsAvailable() is true.
void sha256BlocksShaExt(uint32_t state[8], const uint8_t* blocks, size_t count);
// Two independent single blocks at once on the SHA extensions: the two
// chains overlap in the pipeline, which nearly doubles the rate of a search.
void sha256BlockPairShaExt(uint32_t stateA[8], const uint8_t* blockA, uint32_t stateB[8], const uint8_t* blockB);

bool sha256ShaExtensionsAvailable();
// The fastest block function this processor runs, chosen once.
Sha256BlockFunction sha256BestBlockFunction();

// Incremental hashing with a chosen block function.
class Sha256 {
public:
    explicit Sha256(Sha256BlockFunction blocks = sha256BestBlockFunction());

    void update(const void* data, size_t size);
    Sha256Digest finish();

private:
    Sha256BlockFunction blocks_;
    std::array<uint32_t, 8> state_;
    std::array<uint8_t, kSha256BlockBytes> pending_{};
    size_t pendingSize_ = 0;
    uint64_t totalBytes_ = 0;
};

Sha256Digest sha256(const void* data, size_t size, Sha256BlockFunction blocks = sha256BestBlockFunction());

// 64 lowercase hex digits, high nibble first.
std::string hexDigest(const Sha256Digest& digest);

std::string sha256Hex(const std::string& bytes);
std::string sha256Hex(const std::vector<uint8_t>& bytes);

}  // namespace vobu
