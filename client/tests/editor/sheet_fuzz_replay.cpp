// Replays the checked-in corpus of the skin sheet fuzz target through its
// own entry function in the ordinary build.

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "../fuzz/sheet_fuzz_entries.h"

namespace vobu {
namespace {

TEST(SheetFuzzCorpus, SkinSheet) {
    std::filesystem::path const folder = std::filesystem::path(VOBU_SOURCE_DIR) / "client/fuzz/corpus/skin_sheet";
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
    int replayed = 0;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        if (!file.is_regular_file()) continue;
        std::ifstream in(file.path(), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(fuzz::sheetImportHolds(bytes.data(), bytes.size())) << file.path();
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}

}  // namespace
}  // namespace vobu
