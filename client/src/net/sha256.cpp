#include "net/sha256.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define VOBU_SHA256_X86 1
#endif

namespace vobu {
namespace {

inline uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

inline uint32_t loadBigEndian(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

inline void storeBigEndian(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

void compressOne(uint32_t state[8], const uint8_t* block) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i) w[i] = loadBigEndian(block + 4 * i);
    for (int i = 16; i < 64; ++i) {
        uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < 64; ++i) {
        uint32_t sum1 = rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25);
        uint32_t choice = (e & f) ^ (~e & g);
        uint32_t t1 = h + sum1 + choice + kSha256RoundConstants[i] + w[i];
        uint32_t sum0 = rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22);
        uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
        uint32_t t2 = sum0 + majority;
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

bool detectShaExtensions() {
#ifdef VOBU_SHA256_X86
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    const bool ssse3 = (ecx & (1u << 9)) != 0;
    const bool sse41 = (ecx & (1u << 19)) != 0;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
    const bool sha = (ebx & (1u << 29)) != 0;
    return ssse3 && sse41 && sha;
#else
    return false;
#endif
}

}  // namespace

void sha256BlocksPortable(uint32_t state[8], const uint8_t* blocks, size_t count) {
    for (size_t i = 0; i < count; ++i) compressOne(state, blocks + i * kSha256BlockBytes);
}

bool sha256ShaExtensionsAvailable() {
    static const bool available = detectShaExtensions();
    return available;
}

Sha256BlockFunction sha256BestBlockFunction() {
    return sha256ShaExtensionsAvailable() ? sha256BlocksShaExt : sha256BlocksPortable;
}

Sha256::Sha256(Sha256BlockFunction blocks) : blocks_(blocks) {
    std::memcpy(state_.data(), kSha256InitialState.data(), sizeof state_);
}

void Sha256::update(const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    totalBytes_ += size;
    if (pendingSize_ > 0) {
        const size_t take = std::min(size, kSha256BlockBytes - pendingSize_);
        std::memcpy(pending_.data() + pendingSize_, bytes, take);
        pendingSize_ += take;
        bytes += take;
        size -= take;
        if (pendingSize_ < kSha256BlockBytes) return;
        blocks_(state_.data(), pending_.data(), 1);
        pendingSize_ = 0;
    }
    const size_t wholeBlocks = size / kSha256BlockBytes;
    if (wholeBlocks > 0) {
        blocks_(state_.data(), bytes, wholeBlocks);
        bytes += wholeBlocks * kSha256BlockBytes;
        size -= wholeBlocks * kSha256BlockBytes;
    }
    if (size > 0) {
        std::memcpy(pending_.data(), bytes, size);
        pendingSize_ = size;
    }
}

Sha256Digest Sha256::finish() {
    // Padding: one 0x80 byte, zeros up to 56 modulo 64, the bit length
    // as a 64-bit big-endian number.
    const uint64_t bitLength = totalBytes_ * 8;
    uint8_t tail[2 * kSha256BlockBytes] = {};
    std::memcpy(tail, pending_.data(), pendingSize_);
    tail[pendingSize_] = 0x80;
    const size_t tailBlocks = pendingSize_ + 1 + 8 <= kSha256BlockBytes ? 1 : 2;
    uint8_t* lengthAt = tail + tailBlocks * kSha256BlockBytes - 8;
    storeBigEndian(lengthAt, uint32_t(bitLength >> 32));
    storeBigEndian(lengthAt + 4, uint32_t(bitLength));
    blocks_(state_.data(), tail, tailBlocks);

    Sha256Digest digest;
    for (int i = 0; i < 8; ++i) storeBigEndian(digest.data() + 4 * i, state_[i]);
    return digest;
}

Sha256Digest sha256(const void* data, size_t size, Sha256BlockFunction blocks) {
    Sha256 hasher(blocks);
    hasher.update(data, size);
    return hasher.finish();
}

std::string hexDigest(const Sha256Digest& digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text(64, '0');
    for (size_t i = 0; i < digest.size(); ++i) {
        text[2 * i] = kDigits[digest[i] >> 4];
        text[2 * i + 1] = kDigits[digest[i] & 15];
    }
    return text;
}

std::string sha256Hex(const std::string& bytes) { return hexDigest(sha256(bytes.data(), bytes.size())); }

std::string sha256Hex(const std::vector<uint8_t>& bytes) { return hexDigest(sha256(bytes.data(), bytes.size())); }

}  // namespace vobu
