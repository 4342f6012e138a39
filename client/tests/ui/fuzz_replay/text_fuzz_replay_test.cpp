// Replays the checked-in corpus of the text fuzz target through its entry
// function, then a deterministic mutation loop over the same seeds: every
// malformed text must be measured, wrapped, drawn and edited safely (this
// binary runs again under AddressSanitizer and UndefinedBehaviorSanitizer).

#include <random>
#include <vector>

#include "support/fuzz_corpus_replay.h"
#include "text_fuzz_entries.h"

namespace vobu {
namespace {

TEST(TextFuzzCorpus, Replay) { testing::replayCorpus("text", fuzz::textFunctionsHold); }

TEST(TextFuzzCorpus, MutationLoop) {
    // Bytes that matter to the decoders and the colour-code parser.
    static const uint8_t kInteresting[] = {0x00, 0x09, 0x0A, 0x20, 0x23, 0x5E, 0x72, 0x41, 0x66, 0x7F, 0x80, 0xBF,
                                           0xC0, 0xC2, 0xCC, 0xE0, 0xE3, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
    std::vector<std::vector<uint8_t>> seeds = testing::readCorpus("text");
    ASSERT_FALSE(seeds.empty());
    std::mt19937 random(20261210);
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    for (int iteration = 0; iteration < 1200; ++iteration) {
        std::vector<uint8_t> bytes = seeds[pick(seeds.size())];
        int edits = 1 + int(pick(6));
        for (int e = 0; e < edits; ++e) {
            uint8_t value = pick(2) ? kInteresting[pick(sizeof kInteresting)] : uint8_t(pick(256));
            switch (pick(4)) {
                case 0:
                    if (!bytes.empty()) bytes[pick(bytes.size())] = value;
                    break;
                case 1:
                    bytes.insert(bytes.begin() + long(pick(bytes.size() + 1)), value);
                    break;
                case 2:
                    if (!bytes.empty()) bytes.erase(bytes.begin() + long(pick(bytes.size())));
                    break;
                default:
                    bytes.resize(pick(bytes.size() + 1));
                    break;
            }
        }
        ASSERT_TRUE(fuzz::textFunctionsHold(bytes.data(), bytes.size()))
            << "iteration " << iteration << ": " << ::testing::PrintToString(bytes);
    }
}

}  // namespace
}  // namespace vobu
