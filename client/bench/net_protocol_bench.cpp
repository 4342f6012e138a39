// The game protocol's hot paths: SHA-256 beside mbedtls's, the proof-of-work
// search beside a plain loop over mbedtls, the search on every core beside
// the one on one core, and the snapshot sampling.

#include <benchmark/benchmark.h>
#include <mbedtls/sha256.h>

#include <cstring>
#include <string>
#include <vector>

#include "net/parallel_nonce_search.h"
#include "net/proof_of_work.h"
#include "net/sha256.h"
#include "net/snapshot_buffer.h"

namespace {

using namespace vobu;

std::vector<uint8_t> patternBytes(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i * 131 + 7);
    return bytes;
}

void hashWith(benchmark::State& state, Sha256BlockFunction blocks) {
    if (blocks == sha256BlocksShaExt && !sha256ShaExtensionsAvailable()) {
        state.SkipWithError("no SHA extensions");
        return;
    }
    const auto bytes = patternBytes(size_t(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(sha256(bytes.data(), bytes.size(), blocks));
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

void BM_Sha256Own(benchmark::State& state) { hashWith(state, sha256BestBlockFunction()); }
void BM_Sha256OwnPortable(benchmark::State& state) { hashWith(state, sha256BlocksPortable); }

void BM_Sha256Mbedtls(benchmark::State& state) {
    const auto bytes = patternBytes(size_t(state.range(0)));
    unsigned char digest[32];
    for (auto _ : state) {
        mbedtls_sha256_ret(bytes.data(), bytes.size(), digest, 0);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

BENCHMARK(BM_Sha256Own)->Arg(64)->Arg(1 << 20);
BENCHMARK(BM_Sha256OwnPortable)->Arg(64)->Arg(1 << 20);
BENCHMARK(BM_Sha256Mbedtls)->Arg(64)->Arg(1 << 20);

// Challenges of 32 and 128 hex digits (the tail is one block for both with
// short nonces) and of 60 (digits and padding spill into a second block).
std::string challengeOf(int64_t length) { return std::string(size_t(length), 'a'); }

constexpr uint32_t kAttempts = 1u << 20;

void searchWith(benchmark::State& state, bool shaExtensions) {
    if (shaExtensions && !sha256ShaExtensionsAvailable()) {
        state.SkipWithError("no SHA extensions");
        return;
    }
    const NonceSearch search(challengeOf(state.range(0)), shaExtensions);
    uint32_t first = 100000000;  // nine-digit nonces, as a real search reaches
    for (auto _ : state) {
        // Difficulty 32 is almost never met: the whole range is hashed.
        benchmark::DoNotOptimize(search.find(32, first, first + kAttempts - 1));
        first += kAttempts;
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kAttempts);
}

void BM_ProofOfWorkOwn(benchmark::State& state) { searchWith(state, sha256ShaExtensionsAvailable()); }
void BM_ProofOfWorkOwnPortable(benchmark::State& state) { searchWith(state, false); }

// What a search over a library looks like: the text built anew and hashed
// whole for every nonce.
void BM_ProofOfWorkMbedtls(benchmark::State& state) {
    const std::string challenge = challengeOf(state.range(0));
    uint32_t nonce = 100000000;
    unsigned char digest[32];
    for (auto _ : state) {
        for (uint32_t i = 0; i < kAttempts; ++i, ++nonce) {
            const std::string input = challenge + ":" + std::to_string(nonce);
            mbedtls_sha256_ret(reinterpret_cast<const unsigned char*>(input.data()), input.size(), digest, 0);
            benchmark::DoNotOptimize(digest[0] == 0 && digest[1] == 0 && digest[2] == 0 && digest[3] == 0);
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kAttempts);
}

BENCHMARK(BM_ProofOfWorkOwn)->Arg(32)->Arg(60)->Arg(128)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProofOfWorkOwnPortable)->Arg(32)->Arg(60)->Arg(128)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProofOfWorkMbedtls)->Arg(32)->Arg(60)->Arg(128)->Unit(benchmark::kMillisecond);

// A join's search at difficulty 24 on one core and on every core, for a
// fixed table of challenges of 32 hex digits (what servers send) taken in
// turn. items_per_second is the rate the answer was reached at: the nonces
// up to and including the answer, over the time to return it (the work of
// threads that ran past the answer counts as lost). Run both in one go, so
// that they meet the same machine: the goal is all cores >= 0.75 x cores x
// one core.
std::vector<std::string> joinChallenges() {
    std::vector<std::string> challenges;
    uint64_t state = 0x243f6a8885a308d3ull;
    static const char* digits = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        std::string text;
        for (int d = 0; d < 32; ++d) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            text += digits[(state >> 59) & 15];
        }
        challenges.push_back(text);
    }
    return challenges;
}

void solveJoins(benchmark::State& state, bool allCores) {
    const int difficulty = int(state.range(0));
    const std::vector<std::string> challenges = joinChallenges();
    size_t next = 0;
    int64_t nonces = 0;
    for (auto _ : state) {
        const std::string& challenge = challenges[next++ % challenges.size()];
        const std::string nonce =
            allCores ? solveProofOfWork(challenge, difficulty) : solveProofOfWorkOneCore(challenge, difficulty);
        if (nonce.empty()) {
            state.SkipWithError("no nonce");
            return;
        }
        nonces += std::stoll(nonce) + 1;
    }
    state.SetItemsProcessed(nonces);
    state.counters["threads"] = allCores ? double(searchThreadCount(0)) : 1.0;
}

void BM_ProofOfWorkJoinOneCore(benchmark::State& state) { solveJoins(state, false); }
void BM_ProofOfWorkJoinAllCores(benchmark::State& state) { solveJoins(state, true); }

// 16 searches each: every challenge of the table once. Rates by the clock
// on the wall: the calling thread's processor time leaves out the others.
BENCHMARK(BM_ProofOfWorkJoinOneCore)->Arg(24)->Iterations(16)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProofOfWorkJoinAllCores)->Arg(24)->Iterations(16)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProofOfWorkJoinAllCores)->Arg(16)->UseRealTime()->Unit(benchmark::kMillisecond);

// The raw rate over a fixed range that holds no answer (difficulty 32 over
// 2^26 nonces): every thread busy from the first block to the last.
void BM_ProofOfWorkRangeAllCores(benchmark::State& state) {
    const NonceSearch search(challengeOf(32), sha256ShaExtensionsAvailable());
    constexpr uint32_t kRange = 1u << 26;
    uint32_t first = 100000000;
    for (auto _ : state) {
        benchmark::DoNotOptimize(findFirstNonceOnThreads(search, 32, first, first + kRange - 1));
        first += kRange;
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kRange);
}
BENCHMARK(BM_ProofOfWorkRangeAllCores)->UseRealTime()->Unit(benchmark::kMillisecond);

// Sampling between two snapshots of n players each (every player in both,
// the newer one in reverse order): linear in n.
void BM_SnapshotSample(benchmark::State& state) {
    const int count = int(state.range(0));
    std::vector<Player> older, newer;
    for (int i = 0; i < count; ++i) {
        Player player;
        player.id = i;
        player.x = i;
        older.push_back(player);
        player.id = count - 1 - i;
        player.x = i + 1;
        newer.push_back(player);
    }
    SnapshotBuffer buffer;
    buffer.push(1000, older);
    buffer.push(1050, newer);
    for (auto _ : state) benchmark::DoNotOptimize(buffer.sample(1125));
    state.SetItemsProcessed(int64_t(state.iterations()) * count);
}

BENCHMARK(BM_SnapshotSample)->Arg(64)->Arg(4096)->Arg(65536);

}  // namespace
