#include "net/parallel_nonce_search.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

namespace vobu {

namespace {

constexpr uint64_t kNoMatch = UINT64_MAX;

// What the threads share: the next block to hand out and the lowest match
// seen so far. Blocks go out in increasing order, so a thread that is handed
// a block starting past a known match can stop: every later block does too,
// and every earlier one is already in some thread's hands.
class BlockQueue {
public:
    BlockQueue(const NonceSearch& search, int difficulty, uint64_t first, uint64_t last, uint64_t blockNonces)
        : search_(search), difficulty_(difficulty), first_(first), last_(last), blockNonces_(blockNonces) {}

    void skipFirstBlock() { next_.store(1, std::memory_order_relaxed); }

    std::optional<uint32_t> searchBlock(uint64_t index) const {
        const uint64_t start = first_ + index * blockNonces_;
        const uint64_t end = std::min(start + blockNonces_ - 1, last_);
        return search_.find(difficulty_, uint32_t(start), uint32_t(end));
    }

    void work() {
        const uint64_t blocks = (last_ - first_) / blockNonces_ + 1;
        for (;;) {
            const uint64_t index = next_.fetch_add(1, std::memory_order_relaxed);
            if (index >= blocks) return;
            if (first_ + index * blockNonces_ > best_.load(std::memory_order_relaxed)) return;
            if (const auto nonce = searchBlock(index)) {
                lowerBest(*nonce);
                return;
            }
        }
    }

    std::optional<uint32_t> result() const {
        const uint64_t best = best_.load(std::memory_order_relaxed);
        if (best == kNoMatch) return std::nullopt;
        return uint32_t(best);
    }

private:
    void lowerBest(uint64_t nonce) {
        uint64_t seen = best_.load(std::memory_order_relaxed);
        while (nonce < seen && !best_.compare_exchange_weak(seen, nonce, std::memory_order_relaxed)) {}
    }

    const NonceSearch& search_;
    const int difficulty_;
    const uint64_t first_;
    const uint64_t last_;
    const uint64_t blockNonces_;
    std::atomic<uint64_t> next_{0};
    std::atomic<uint64_t> best_{kNoMatch};
};

}  // namespace

unsigned searchThreadCount(unsigned requested) {
    const unsigned wanted = requested != 0 ? requested : std::thread::hardware_concurrency();
    return std::clamp(wanted, 1u, kMaxSearchThreads);
}

std::optional<uint32_t> findFirstNonceOnThreads(const NonceSearch& search, int difficulty, uint32_t first,
                                                uint32_t last, const NonceSearchSplit& split) {
    if (difficulty < kMinProofDifficulty || difficulty > kMaxProofDifficulty || first > last) return std::nullopt;
    BlockQueue queue(search, difficulty, first, last, std::max<uint64_t>(split.blockNonces, 1));
    if (const auto nonce = queue.searchBlock(0)) return nonce;
    queue.skipFirstBlock();

    std::vector<std::thread> helpers;
    const unsigned count = searchThreadCount(split.threads);
    helpers.reserve(count - 1);
    for (unsigned i = 1; i < count; ++i) {
        try {
            helpers.emplace_back([&queue] { queue.work(); });
        } catch (const std::system_error&) {
            break;  // fewer threads only make the search slower
        }
    }
    queue.work();
    for (std::thread& helper : helpers) helper.join();
    return queue.result();
}

}  // namespace vobu
