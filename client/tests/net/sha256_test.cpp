#include "net/sha256.h"

#include <gtest/gtest.h>
#include <mbedtls/sha256.h>

#include <random>
#include <string>
#include <vector>

namespace vobu {
namespace {

struct BlockPath {
    const char* name;
    Sha256BlockFunction blocks;
};

class Sha256Paths : public ::testing::TestWithParam<BlockPath> {
protected:
    void SetUp() override {
        if (GetParam().blocks == sha256BlocksShaExt && !sha256ShaExtensionsAvailable())
            GTEST_SKIP() << "this processor has no SHA extensions";
    }
    std::string hex(const std::string& text) const {
        return hexDigest(sha256(text.data(), text.size(), GetParam().blocks));
    }
};

std::string mbedtlsHex(const uint8_t* data, size_t size) {
    Sha256Digest digest{};
    mbedtls_sha256_ret(data, size, digest.data(), 0);
    return hexDigest(digest);
}

std::vector<uint8_t> randomBytes(std::mt19937& random, size_t size) {
    std::vector<uint8_t> bytes(size);
    for (auto& byte : bytes) byte = uint8_t(random());
    return bytes;
}

TEST_P(Sha256Paths, PublishedVectors) {
    struct Case {
        std::string input;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqr"
         "stu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Case& c : cases) EXPECT_EQ(hex(c.input), c.digest) << "input of " << c.input.size() << " bytes";
}

TEST_P(Sha256Paths, PaddingBoundariesMatchMbedtls) {
    // 55 bytes still fit the length in the last block; from 56 on the
    // padding needs a further block; 64 is exactly one block of data.
    for (size_t size : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u}) {
        const std::string text(size, 'x');
        EXPECT_EQ(hex(text), mbedtlsHex(reinterpret_cast<const uint8_t*>(text.data()), size)) << size;
    }
}

TEST_P(Sha256Paths, EveryLengthUpTo300MatchesMbedtls) {
    std::mt19937 random(1234);
    for (size_t size = 0; size <= 300; ++size) {
        const auto bytes = randomBytes(random, size);
        const auto digest = sha256(bytes.data(), bytes.size(), GetParam().blocks);
        ASSERT_EQ(hexDigest(digest), mbedtlsHex(bytes.data(), bytes.size())) << "length " << size;
    }
}

TEST_P(Sha256Paths, LargeInputsMatchMbedtls) {
    std::mt19937 random(99);
    for (size_t size : {size_t(1) << 20, (size_t(1) << 20) + 37, size_t(3000001)}) {
        const auto bytes = randomBytes(random, size);
        EXPECT_EQ(hexDigest(sha256(bytes.data(), bytes.size(), GetParam().blocks)),
                  mbedtlsHex(bytes.data(), bytes.size()))
            << size;
    }
}

TEST_P(Sha256Paths, PiecewiseUpdatesGiveTheWholeHash) {
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        const auto bytes = randomBytes(random, random() % 700);
        Sha256 hasher(GetParam().blocks);
        size_t at = 0;
        while (at < bytes.size()) {
            const size_t piece = std::min<size_t>(bytes.size() - at, random() % 130);
            hasher.update(bytes.data() + at, piece);
            at += piece;
        }
        EXPECT_EQ(hexDigest(hasher.finish()), mbedtlsHex(bytes.data(), bytes.size())) << bytes.size();
    }
}

INSTANTIATE_TEST_SUITE_P(BlockFunctions, Sha256Paths,
                         ::testing::Values(BlockPath{"portable", sha256BlocksPortable},
                                           BlockPath{"shaext", sha256BlocksShaExt}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Sha256, BlockPairEqualsTwoSingleBlocks) {
    if (!sha256ShaExtensionsAvailable()) GTEST_SKIP() << "this processor has no SHA extensions";
    std::mt19937 random(5);
    for (int round = 0; round < 20; ++round) {
        const auto a = randomBytes(random, 64);
        const auto b = randomBytes(random, 64);
        uint32_t pairA[8], pairB[8], singleA[8], singleB[8];
        for (int i = 0; i < 8; ++i) {
            pairA[i] = singleA[i] = uint32_t(random());
            pairB[i] = singleB[i] = uint32_t(random());
        }
        sha256BlockPairShaExt(pairA, a.data(), pairB, b.data());
        sha256BlocksPortable(singleA, a.data(), 1);
        sha256BlocksPortable(singleB, b.data(), 1);
        EXPECT_TRUE(std::equal(pairA, pairA + 8, singleA));
        EXPECT_TRUE(std::equal(pairB, pairB + 8, singleB));
    }
}

TEST(Sha256, HexOfTextAndOfBytesAgree) {
    const std::string text("binary\0bytes\xff", 13);
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    EXPECT_EQ(sha256Hex(text), sha256Hex(bytes));
    EXPECT_EQ(sha256Hex(text), mbedtlsHex(bytes.data(), bytes.size()));
    EXPECT_EQ(sha256Hex(std::string("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

}  // namespace
}  // namespace vobu
