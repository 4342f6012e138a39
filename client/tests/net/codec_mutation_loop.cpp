// Damaged messages and frames: random messages cut, flipped, spliced and
// stretched, each through the codec's fuzz entry (direct writer against the
// reference, frame cutter within its limits). Bounded and deterministic.

#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "codec_msgpack_generator.h"
#include "net_codec_fuzz_entries.h"

namespace vobu {
namespace {

std::vector<uint8_t> mutate(std::vector<uint8_t> bytes, std::mt19937& random) {
    auto pick = [&](size_t high) { return std::uniform_int_distribution<size_t>(0, high)(random); };
    const int edits = static_cast<int>(pick(3)) + 1;
    for (int e = 0; e < edits; ++e) {
        switch (pick(4)) {
            case 0:
                if (!bytes.empty()) bytes[pick(bytes.size() - 1)] ^= static_cast<uint8_t>(1u << pick(7));
                break;
            case 1:
                if (!bytes.empty()) bytes.resize(pick(bytes.size() - 1));
                break;
            case 2:
                bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(pick(bytes.size())),
                             static_cast<uint8_t>(pick(255)));
                break;
            case 3:
                if (!bytes.empty()) bytes[pick(bytes.size() - 1)] = static_cast<uint8_t>(pick(255));
                break;
            default:
                if (bytes.size() > 2) {
                    const size_t from = pick(bytes.size() - 2);
                    bytes.insert(bytes.end(), bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end());
                }
        }
    }
    return bytes;
}

TEST(NetCodecMutation, DamagedMessagesHold) {
    testing::MsgpackGenerator generator(7);
    std::mt19937 random(11);
    for (int i = 0; i < 6000; ++i) {
        std::vector<uint8_t> input = {0};
        const std::vector<uint8_t> message = mutate(generator.message(), random);
        input.insert(input.end(), message.begin(), message.end());
        ASSERT_TRUE(fuzz::messageCodecHolds(input.data(), input.size())) << "message " << i;
    }
}

TEST(NetCodecMutation, DamagedFramesHold) {
    std::mt19937 random(13);
    const std::vector<uint8_t> frames = {0x02, 0x03, 'a',  'b',  'c',  0x89, 0x02, 'h', 'i',  0x80,
                                         0x01, 'd',  0x82, 0x7E, 0x00, 0x02, 'x',  'y', 0x82, 0x7F,
                                         0,    0,    0,    0,    0,    0,    0,    1,   'z'};
    for (int i = 0; i < 6000; ++i) {
        std::vector<uint8_t> input = {1};
        const std::vector<uint8_t> damaged = mutate(frames, random);
        input.insert(input.end(), damaged.begin(), damaged.end());
        ASSERT_TRUE(fuzz::messageCodecHolds(input.data(), input.size())) << "frames " << i;
    }
}

}  // namespace
}  // namespace vobu
