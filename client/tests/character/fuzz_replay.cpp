// Replays the checked-in fuzz corpora of the character readers through the
// fuzz targets' own entry functions in the ordinary build.

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "../fuzz/character_fuzz_entries.h"

namespace vobu {
namespace {

using Entry = bool (*)(const uint8_t*, size_t);

void replayCorpus(const char* target, Entry entry) {
    std::filesystem::path const folder = std::filesystem::path(VOBU_SOURCE_DIR) / "client/fuzz/corpus" / target;
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

TEST(CharacterFuzzCorpus, CharacterDocument) { replayCorpus("character_document", fuzz::characterDocumentHolds); }
TEST(CharacterFuzzCorpus, FaceText) { replayCorpus("face_text", fuzz::faceTextHolds); }

}  // namespace
}  // namespace vobu
