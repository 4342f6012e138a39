#include "net/parallel_nonce_search.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "net/proof_of_work.h"

namespace vobu {
namespace {

// Challenges whose "challenge:" prefix ends early in, late in and past the
// first 64-byte block, so the nonce digits and the padding fall into one or
// two final blocks.
std::vector<std::string> tableChallenges() {
    return {"",
            "0123456789abcdef",
            std::string(32, '3') + "cafe",
            std::string(54, 'b'),
            std::string(60, 'd'),
            "7f3a9c00e1d2b4a6c8e0f1a3b5c7d9e1f3a5b7c9d1e3f5a7b9c1d3e5f7a9b1c3d5e7f9a1b3c5d7e9f1a3b5c7d9e1f3a5b7c9"};
}

TEST(SolveProofOfWork, AllCoresGiveTheOneCoreNonceUpToDifficultyTwentyFour) {
    for (const std::string& challenge : tableChallenges()) {
        const NonceSearch search(challenge, sha256ShaExtensionsAvailable());
        // The answer for d + 1 is never below the one for d: the one-core
        // search goes on from there instead of starting again at 0.
        uint32_t from = 0;
        for (int difficulty = 1; difficulty <= 24; ++difficulty) {
            const auto expected = search.find(difficulty, from, UINT32_MAX);
            ASSERT_TRUE(expected.has_value());
            from = *expected;
            EXPECT_EQ(solveProofOfWork(challenge, difficulty), std::to_string(*expected))
                << '"' << challenge << "\" difficulty " << difficulty;
        }
        EXPECT_EQ(solveProofOfWorkOneCore(challenge, 12), solveProofOfWork(challenge, 12));
    }
}

TEST(SolveProofOfWork, BothSearchesRefuseDifficultiesOutsideOneToThirtyTwo) {
    for (int difficulty : {-1, 0, 33}) {
        EXPECT_EQ(solveProofOfWork("abc", difficulty), "") << difficulty;
        EXPECT_EQ(solveProofOfWorkOneCore("abc", difficulty), "") << difficulty;
    }
}

struct SplitCase {
    uint32_t blockNonces;
    unsigned threads;
};

// Block sizes that put the one-core answer m of a range starting at `first`
// on the first nonce of a block, on the last one, and one either side.
std::vector<uint32_t> blockSizesAround(uint32_t first, uint32_t answer) {
    const uint32_t offset = answer - first;
    std::vector<uint32_t> sizes = {1, 2, 3, 7, 64};
    for (uint32_t size : {offset, offset + 1, offset - 1, offset / 2, (offset + 1) / 2, offset / 3}) {
        if (size >= 1) sizes.push_back(size);
    }
    return sizes;
}

TEST(FindFirstNonceOnThreads, AnswerNearBlockEdgesIsTheOneCoreAnswer) {
    std::vector<std::string> challenges = tableChallenges();
    challenges.push_back("");
    for (const std::string& challenge : challenges) {
        const NonceSearch search(challenge, sha256ShaExtensionsAvailable());
        for (uint32_t first : {0u, 99990u}) {
            for (int difficulty : {2, 9, 11}) {
                const auto expected = search.find(difficulty, first, UINT32_MAX);
                ASSERT_TRUE(expected.has_value());
                for (uint32_t size : blockSizesAround(first, *expected)) {
                    for (unsigned threads : {1u, 3u, 8u}) {
                        ASSERT_EQ(findFirstNonceOnThreads(search, difficulty, first, UINT32_MAX, {size, threads}),
                                  expected)
                            << '"' << challenge << "\" from " << first << " difficulty " << difficulty << " blocks of "
                            << size << " on " << threads << " threads";
                    }
                }
            }
        }
    }
}

TEST(FindFirstNonceOnThreads, ManyMatchesInTinyBlocksStillGiveTheLowest) {
    // Difficulty 1 matches every other nonce: with one-nonce blocks on many
    // threads, several threads find a match at nearly the same moment.
    const std::string challenge = "0123456789abcdef";
    const NonceSearch search(challenge, sha256ShaExtensionsAvailable());
    for (uint32_t first = 0; first < 120; ++first) {
        for (int difficulty : {1, 2, 3}) {
            ASSERT_EQ(findFirstNonceOnThreads(search, difficulty, first, UINT32_MAX, {1, 12}),
                      search.find(difficulty, first, UINT32_MAX))
                << "from " << first << " difficulty " << difficulty;
        }
    }
}

TEST(FindFirstNonceOnThreads, MatchesFoundAtOnceInNeighbouringBlocksGiveTheLowest) {
    // Blocks small beside the gap between matches, many threads: the blocks
    // in flight at a time span about one gap, so a later match is often
    // found before an earlier one still being searched.
    for (int i = 0; i < 48; ++i) {
        const std::string challenge = "race-" + std::to_string(i);
        const NonceSearch search(challenge, sha256ShaExtensionsAvailable());
        const auto expected = search.find(18, 0, UINT32_MAX);
        ASSERT_EQ(findFirstNonceOnThreads(search, 18, 0, UINT32_MAX, {1u << 15, 8}), expected) << challenge;
    }
}

TEST(FindFirstNonceOnThreads, RangesWithoutAMatchAndTheTopOfTheNonces) {
    const std::string challenge = std::string(40, 'e');
    const NonceSearch search(challenge, sha256ShaExtensionsAvailable());
    const struct {
        uint32_t first;
        uint32_t last;
        int difficulty;
    } cases[] = {
        {0, 200000, 32},                         // exhausted: nothing to find
        {1000, 1000, 1},                         // a single nonce
        {UINT32_MAX - 20000, UINT32_MAX, 4},     // the last blocks end at 4294967295
        {UINT32_MAX - 20000, UINT32_MAX, 30},    // ... and nothing past it
        {UINT32_MAX, UINT32_MAX, 1},             // the very last nonce
        {UINT32_MAX - 3000, UINT32_MAX - 1, 8},  // a range that stops short of it
    };
    for (const auto& c : cases) {
        const auto expected = search.find(c.difficulty, c.first, c.last);
        for (const NonceSearchSplit split : {NonceSearchSplit{999, 4}, NonceSearchSplit{1, 8},
                                             NonceSearchSplit{65536, 3}, NonceSearchSplit{UINT32_MAX, 2}}) {
            EXPECT_EQ(findFirstNonceOnThreads(search, c.difficulty, c.first, c.last, split), expected)
                << c.first << ".." << c.last << " difficulty " << c.difficulty << " blocks of " << split.blockNonces;
        }
    }
    EXPECT_EQ(findFirstNonceOnThreads(search, 1, 10, 9), std::nullopt);
    EXPECT_EQ(findFirstNonceOnThreads(search, 0, 0, 100), std::nullopt);
    EXPECT_EQ(findFirstNonceOnThreads(search, 33, 0, 100), std::nullopt);
    // A zero block size is taken as one nonce a block, not as a division by zero.
    EXPECT_EQ(findFirstNonceOnThreads(search, 6, 0, 5000, {0, 4}), search.find(6, 0, 5000));
}

TEST(FindFirstNonceOnThreads, ThreadCountIsBounded) {
    EXPECT_EQ(searchThreadCount(1), 1u);
    EXPECT_EQ(searchThreadCount(5), 5u);
    EXPECT_EQ(searchThreadCount(100000), kMaxSearchThreads);
    const unsigned automatic = searchThreadCount(0);
    EXPECT_GE(automatic, 1u);
    EXPECT_LE(automatic, kMaxSearchThreads);
}

}  // namespace
}  // namespace vobu
