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

namespace vobu::fuzztest {

using Entry = bool (*)(const uint8_t*, size_t);

inline void replayCorpus(const char* target, Entry entry) {
    const std::filesystem::path folder = std::filesystem::path(VOBU_SOURCE_DIR) / "client/fuzz/corpus" / target;
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
    int replayed = 0;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        if (!file.is_regular_file()) continue;
        std::ifstream in(file.path(), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(entry(bytes.data(), bytes.size())) << file.path();
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}

}  // namespace vobu::fuzztest
