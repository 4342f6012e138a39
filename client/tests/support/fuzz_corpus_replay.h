#pragma once
// Replays one checked-in fuzz corpus (client/fuzz/corpus/<target>) through
// the fuzz target's own entry function, so every input that once found a
// fault (or widened coverage) keeps being checked in the ordinary build.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace vobu::testing {

// A fuzz target's entry function: true when the input held.
using CorpusEntry = bool (*)(const uint8_t*, size_t);

inline std::filesystem::path corpusFolder(const char* target) {
    return std::filesystem::path(VOBU_SOURCE_DIR) / "client/fuzz/corpus" / target;
}

// Every input of the corpus (empty when the folder is missing).
inline std::vector<std::vector<uint8_t>> readCorpus(const char* target) {
    std::vector<std::vector<uint8_t>> inputs;
    const std::filesystem::path folder = corpusFolder(target);
    if (!std::filesystem::is_directory(folder)) return inputs;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        if (!file.is_regular_file()) continue;
        std::ifstream in(file.path(), std::ios::binary);
        inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return inputs;
}

// Each input must hold; a corpus smaller than atLeast means it went missing.
template <typename Holds>
void replayCorpus(const char* target, Holds holds, int atLeast = 1) {
    const std::filesystem::path folder = corpusFolder(target);
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
    int replayed = 0;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        if (!file.is_regular_file()) continue;
        std::ifstream in(file.path(), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(holds(bytes.data(), bytes.size())) << file.path();
        ++replayed;
    }
    EXPECT_GE(replayed, atLeast) << folder;
}

}  // namespace vobu::testing
