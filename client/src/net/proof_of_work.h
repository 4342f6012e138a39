#pragma once
// The proof of work a game server asks for before it admits a client: a
// nonce whose SHA-256 of "challenge:nonce" begins with enough zero bits.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "net/sha256.h"

namespace vobu {

constexpr int kMinProofDifficulty = 1;
constexpr int kMaxProofDifficulty = 32;

// Leading zero bits of a lowercase hex text; -1 when a character other than
// "0"-"9" and "a"-"f" comes before the first non-zero digit.
int leadingZeroBits(const std::string& hashText);

// The first nonce, written in decimal, from 0 up to 4294967295 whose hash
// has at least `difficulty` leading zero bits; empty when the difficulty is
// outside 1..32 or no nonce meets it. Searches on every core and returns
// when done.
std::string solveProofOfWork(const std::string& challenge, int difficulty);

// The same answer from a search on the calling thread alone.
std::string solveProofOfWorkOneCore(const std::string& challenge, int difficulty);

// The search behind solveProofOfWork. The hash state after the whole
// 64-byte blocks of "challenge:" is computed once; each attempt then only
// hashes the last one or two blocks, whose decimal digits are counted up in
// place instead of being written anew.
class NonceSearch {
public:
    NonceSearch(const std::string& challenge, bool useShaExtensions);

    // The first nonce in first..last (inclusive) that meets the difficulty
    // (1..32), or nothing.
    std::optional<uint32_t> find(int difficulty, uint32_t first, uint32_t last) const;

private:
    struct Tail;

    void layoutTail(Tail& tail, uint64_t nonce) const;
    static void increment(Tail& tail);

    std::array<uint32_t, 8> midState_{};
    std::string tailPrefix_;  // the bytes of "challenge:" after the whole blocks
    uint64_t prefixBytes_ = 0;
    bool useShaExtensions_ = false;
};

}  // namespace vobu
