#pragma once
// The proof-of-work search spread over the processor's cores. The range is
// cut into blocks handed out in order; whichever thread meets the difficulty
// first, the answer is the lowest matching nonce, the one a search on one
// core finds (a server may insist on it).

#include <cstdint>
#include <optional>

#include "net/proof_of_work.h"

namespace vobu {

// More threads than this win nothing on a search that ends in well under a
// second and only cost their start-up.
constexpr unsigned kMaxSearchThreads = 64;

struct NonceSearchSplit {
    // Nonces a thread takes at a time: about half a millisecond of hashing,
    // so that the threads running past the answer (each ends the block it
    // holds) return soon after it is found, also on a busy machine. The
    // first block is also what an easy difficulty costs without threads.
    uint32_t blockNonces = 1u << 14;
    // 0: one per hardware thread. Always bounded by 1..kMaxSearchThreads.
    unsigned threads = 0;
};

// The threads a search with this request runs, the calling one included.
unsigned searchThreadCount(unsigned requested);

// The first nonce in first..last (inclusive) that meets the difficulty
// (1..32), as NonceSearch::find gives it, or nothing. The first block is
// searched on the calling thread alone, so that an easy difficulty never
// starts a thread; the rest on searchThreadCount(split.threads) threads.
std::optional<uint32_t> findFirstNonceOnThreads(const NonceSearch& search, int difficulty, uint32_t first,
                                                uint32_t last, const NonceSearchSplit& split = {});

}  // namespace vobu
