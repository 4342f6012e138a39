#include "net/proof_of_work.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vobu {
namespace {

// The search written the slow, obvious way: hash the whole text each time.
std::optional<uint32_t> referenceFind(const std::string& challenge, int difficulty, uint64_t first, uint64_t last) {
    for (uint64_t nonce = first; nonce <= last; ++nonce)
        if (leadingZeroBits(sha256Hex(challenge + ":" + std::to_string(nonce))) >= difficulty) return uint32_t(nonce);
    return std::nullopt;
}

TEST(LeadingZeroBits, CountsUpToTheFirstNonZeroDigit) {
    const struct {
        const char* text;
        int bits;
    } cases[] = {
        {"0f", 4},
        {"1", 3},
        {"10", 3},
        {"2", 2},
        {"3f", 2},
        {"4", 1},
        {"7", 1},
        {"8", 0},
        {"f0", 0},
        {"00a", 8},
        {"001", 11},
        {"0000", 16},
        {"", 0},
        {"0A", -1},
        {"0 1", -1},
        {"A0", -1},
        {"00g", -1},
        {"8G", 0},  // after the walk ends nothing is looked at
        {"0000000000000000000000000000000000000000000000000000000000000000", 256},
    };
    for (const auto& c : cases) EXPECT_EQ(leadingZeroBits(c.text), c.bits) << '"' << c.text << '"';
}

TEST(SolveProofOfWork, DifficultyOutsideOneToThirtyTwoGivesNothing) {
    for (int difficulty : {-1, 0, 33, 1000})
        EXPECT_EQ(solveProofOfWork("0123456789abcdef", difficulty), "") << difficulty;
}

TEST(SolveProofOfWork, ReturnsTheFirstNonceThatMeetsTheDifficulty) {
    for (const std::string& challenge :
         {std::string("0123456789abcdef"), std::string(36, 'f'), std::string(128, 'a')}) {
        for (int difficulty = 1; difficulty <= 12; ++difficulty) {
            const std::string nonce = solveProofOfWork(challenge, difficulty);
            const auto expected = referenceFind(challenge, difficulty, 0, 1u << 20);
            ASSERT_TRUE(expected.has_value());
            EXPECT_EQ(nonce, std::to_string(*expected)) << challenge << " difficulty " << difficulty;
            EXPECT_GE(leadingZeroBits(sha256Hex(challenge + ":" + nonce)), difficulty);
        }
    }
}

TEST(SolveProofOfWork, DifficultyOneIsZeroWhenItsHashStartsLow) {
    // Whichever way the hash of "c:0" falls, the answer is the first nonce
    // whose hash starts with a digit 0..7.
    for (int i = 0; i < 40; ++i) {
        const std::string challenge = std::string(16, 'a') + std::to_string(i);
        const char firstDigit = sha256Hex(challenge + ":0")[0];
        const std::string nonce = solveProofOfWork(challenge, 1);
        if (firstDigit <= '7')
            EXPECT_EQ(nonce, "0");
        else
            EXPECT_EQ(nonce, std::to_string(*referenceFind(challenge, 1, 0, 1000)));
    }
}

struct SearchPath {
    const char* name;
    bool shaExtensions;
};

class NonceSearchPaths : public ::testing::TestWithParam<SearchPath> {
protected:
    void SetUp() override {
        if (GetParam().shaExtensions && !sha256ShaExtensionsAvailable())
            GTEST_SKIP() << "this processor has no SHA extensions";
    }
};

TEST_P(NonceSearchPaths, EveryChallengeLengthAgreesWithTheReference) {
    // Lengths around 64-byte boundaries move the digits and the padding
    // across one and two final blocks.
    for (size_t length = 0; length <= 140; ++length) {
        const std::string challenge(length, char('a' + length % 6));
        const NonceSearch search(challenge, GetParam().shaExtensions);
        for (int difficulty : {1, 3, 6}) {
            ASSERT_EQ(search.find(difficulty, 0, 5000), referenceFind(challenge, difficulty, 0, 5000))
                << "length " << length << " difficulty " << difficulty;
        }
    }
}

TEST_P(NonceSearchPaths, DigitCarriesAndOddStartsAgreeWithTheReference) {
    const std::string challenge =
        "00112233445566778899aabbccddeeff0011223344556677";  // 48 bytes: digits near the block end
    const NonceSearch search(challenge, GetParam().shaExtensions);
    for (uint64_t start :
         {0ull, 1ull, 7ull, 9ull, 95ull, 99ull, 995ull, 99999ull, 999999995ull, 999999999ull, 4294967000ull}) {
        for (int difficulty : {1, 2, 5, 9}) {
            const uint64_t last = std::min<uint64_t>(start + 4000, UINT32_MAX);
            ASSERT_EQ(search.find(difficulty, uint32_t(start), uint32_t(last)),
                      referenceFind(challenge, difficulty, start, last))
                << "from " << start << " difficulty " << difficulty;
        }
    }
}

TEST_P(NonceSearchPaths, FindsEveryMatchOfARangeInOrder) {
    for (const std::string& challenge : {std::string(16, '7'), std::string(61, 'c'), std::string(100, 'e')}) {
        const NonceSearch search(challenge, GetParam().shaExtensions);
        std::vector<uint32_t> found, expected;
        for (uint32_t from = 0;;) {
            const auto nonce = search.find(4, from, 20000);
            if (!nonce) break;
            found.push_back(*nonce);
            from = *nonce + 1;
        }
        for (uint32_t nonce = 0; nonce <= 20000; ++nonce)
            if (leadingZeroBits(sha256Hex(challenge + ":" + std::to_string(nonce))) >= 4) expected.push_back(nonce);
        EXPECT_EQ(found, expected) << challenge.size();
    }
}

TEST_P(NonceSearchPaths, StopsAtTheLastNonce) {
    const std::string challenge = "0123456789abcdef";
    const NonceSearch search(challenge, GetParam().shaExtensions);
    // A range too short for the difficulty finds nothing and never passes
    // 4294967295 (no wrap to 0).
    EXPECT_EQ(search.find(20, UINT32_MAX - 3, UINT32_MAX), referenceFind(challenge, 20, UINT32_MAX - 3, UINT32_MAX));
    EXPECT_EQ(search.find(1, UINT32_MAX, UINT32_MAX), referenceFind(challenge, 1, UINT32_MAX, UINT32_MAX));
    for (uint32_t first = UINT32_MAX - 40; first != 0; ++first)
        ASSERT_EQ(search.find(2, first, UINT32_MAX), referenceFind(challenge, 2, first, UINT32_MAX)) << first;
    EXPECT_EQ(search.find(1, 10, 9), std::nullopt);
    EXPECT_EQ(search.find(0, 0, 100), std::nullopt);
    EXPECT_EQ(search.find(33, 0, 100), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(BlockFunctions, NonceSearchPaths,
                         ::testing::Values(SearchPath{"portable", false}, SearchPath{"shaext", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vobu
