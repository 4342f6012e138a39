// Replays the checked-in fuzz corpora of the three map readers through the
// fuzz targets' own entry functions, so every input that once found a fault
// (or widened coverage) keeps being checked in the ordinary build.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "../fuzz/map_fuzz_entries.h"

namespace vobu {
namespace {

using Entry = bool (*)(const uint8_t*, size_t);

void replayCorpus(const char* target, Entry entry) {
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

TEST(MapFuzzCorpus, WalkMeshReader) { replayCorpus("walk_mesh_reader", fuzz::walkMeshReaderHolds); }
TEST(MapFuzzCorpus, RenderMeshReader) { replayCorpus("render_mesh_reader", fuzz::renderMeshReaderHolds); }
TEST(MapFuzzCorpus, TextureReader) { replayCorpus("texture_reader", fuzz::textureReaderHolds); }

} // namespace
} // namespace vobu
