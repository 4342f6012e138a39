#include "net/proof_of_work.h"

#include <cstring>

#include "net/parallel_nonce_search.h"

namespace vobu {

int leadingZeroBits(const std::string& hashText) {
    int bits = 0;
    for (char c : hashText) {
        int value;
        if (c >= '0' && c <= '9')
            value = c - '0';
        else if (c >= 'a' && c <= 'f')
            value = c - 'a' + 10;
        else
            return -1;
        if (value == 0) {
            bits += 4;
            continue;
        }
        if (value >= 8) return bits;
        if (value >= 4) return bits + 1;
        if (value >= 2) return bits + 2;
        return bits + 3;
    }
    return bits;
}

// One candidate's final blocks: the rest of the prefix, the nonce digits,
// the padding and the bit length.
struct NonceSearch::Tail {
    alignas(16) uint8_t bytes[2 * kSha256BlockBytes];
    uint64_t nonce = 0;
    size_t digitsAt = 0;
    size_t digitCount = 0;
    size_t blockCount = 1;
};

NonceSearch::NonceSearch(const std::string& challenge, bool useShaExtensions) : useShaExtensions_(useShaExtensions) {
    const std::string prefix = challenge + ":";
    prefixBytes_ = prefix.size();
    const size_t wholeBlocks = prefix.size() / kSha256BlockBytes;
    midState_ = kSha256InitialState;
    const Sha256BlockFunction blocks = useShaExtensions ? sha256BlocksShaExt : sha256BlocksPortable;
    if (wholeBlocks > 0) blocks(midState_.data(), reinterpret_cast<const uint8_t*>(prefix.data()), wholeBlocks);
    tailPrefix_ = prefix.substr(wholeBlocks * kSha256BlockBytes);
}

void NonceSearch::layoutTail(Tail& tail, uint64_t nonce) const {
    char digits[24];
    size_t count = 0;
    uint64_t rest = nonce;
    do {
        digits[count++] = char('0' + rest % 10);
        rest /= 10;
    } while (rest > 0);

    std::memset(tail.bytes, 0, sizeof tail.bytes);
    std::memcpy(tail.bytes, tailPrefix_.data(), tailPrefix_.size());
    tail.nonce = nonce;
    tail.digitsAt = tailPrefix_.size();
    tail.digitCount = count;
    for (size_t i = 0; i < count; ++i) tail.bytes[tail.digitsAt + i] = uint8_t(digits[count - 1 - i]);
    const size_t used = tail.digitsAt + count;
    tail.bytes[used] = 0x80;
    tail.blockCount = used + 1 + 8 <= kSha256BlockBytes ? 1 : 2;
    const uint64_t bitLength = (prefixBytes_ + count) * 8;
    uint8_t* lengthAt = tail.bytes + tail.blockCount * kSha256BlockBytes - 8;
    for (int i = 0; i < 8; ++i) lengthAt[i] = uint8_t(bitLength >> (56 - 8 * i));
}

// Counts the digits up by one; only a carry out of the first digit (9 to
// 10, 99 to 100, ...) needs the tail laid out again, which the caller does.
void NonceSearch::increment(Tail& tail) {
    ++tail.nonce;
    uint8_t* digit = tail.bytes + tail.digitsAt + tail.digitCount;
    while (digit != tail.bytes + tail.digitsAt) {
        --digit;
        if (*digit != '9') {
            ++*digit;
            return;
        }
        *digit = '0';
    }
    tail.digitCount = 0;  // every digit carried: the length grows
}

namespace {

inline bool meetsDifficulty(uint32_t firstWord, int difficulty) {
    return difficulty >= 32 ? firstWord == 0 : (firstWord >> (32 - difficulty)) == 0;
}

}  // namespace

std::optional<uint32_t> NonceSearch::find(int difficulty, uint32_t first, uint32_t last) const {
    if (difficulty < kMinProofDifficulty || difficulty > kMaxProofDifficulty || first > last) return std::nullopt;

    const uint64_t end = uint64_t(last) + 1;
    auto advance = [this](Tail& tail) {
        increment(tail);
        if (tail.digitCount == 0) layoutTail(tail, tail.nonce);
    };

    Tail a, b;
    layoutTail(a, first);
    if (!useShaExtensions_) {
        for (; a.nonce < end; advance(a)) {
            uint32_t state[8];
            std::memcpy(state, midState_.data(), sizeof state);
            sha256BlocksPortable(state, a.bytes, a.blockCount);
            if (meetsDifficulty(state[0], difficulty)) return uint32_t(a.nonce);
        }
        return std::nullopt;
    }

    // Two candidates at a time, a = n and b = n + 1, each counted up by two.
    layoutTail(b, uint64_t(first) + 1);
    while (a.nonce < end) {
        uint32_t stateA[8], stateB[8];
        std::memcpy(stateA, midState_.data(), sizeof stateA);
        std::memcpy(stateB, midState_.data(), sizeof stateB);
        if (a.blockCount == b.blockCount) {
            for (size_t i = 0; i < a.blockCount; ++i)
                sha256BlockPairShaExt(stateA, a.bytes + i * kSha256BlockBytes, stateB, b.bytes + i * kSha256BlockBytes);
        } else {
            sha256BlocksShaExt(stateA, a.bytes, a.blockCount);
            sha256BlocksShaExt(stateB, b.bytes, b.blockCount);
        }
        if (meetsDifficulty(stateA[0], difficulty)) return uint32_t(a.nonce);
        if (b.nonce < end && meetsDifficulty(stateB[0], difficulty)) return uint32_t(b.nonce);
        advance(a);
        advance(a);
        advance(b);
        advance(b);
    }
    return std::nullopt;
}

std::string solveProofOfWork(const std::string& challenge, int difficulty) {
    if (difficulty < kMinProofDifficulty || difficulty > kMaxProofDifficulty) return {};
    const NonceSearch search(challenge, sha256ShaExtensionsAvailable());
    const auto nonce = findFirstNonceOnThreads(search, difficulty, 0, UINT32_MAX);
    return nonce ? std::to_string(*nonce) : std::string();
}

std::string solveProofOfWorkOneCore(const std::string& challenge, int difficulty) {
    if (difficulty < kMinProofDifficulty || difficulty > kMaxProofDifficulty) return {};
    const NonceSearch search(challenge, sha256ShaExtensionsAvailable());
    const auto nonce = search.find(difficulty, 0, UINT32_MAX);
    return nonce ? std::to_string(*nonce) : std::string();
}

}  // namespace vobu
