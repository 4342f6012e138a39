// Replays the checked-in corpora of the server message and asset base64
// fuzz targets through the targets' own entry functions.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

#include "../fuzz/protocol_fuzz_entries.h"

namespace vobu {
namespace {

template <typename Entry>
void replay(const char* corpus, Entry holds) {
    const std::filesystem::path folder = std::filesystem::path(VOBU_SOURCE_DIR) / "client/fuzz/corpus" / corpus;
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
    int replayed = 0;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        if (!file.is_regular_file()) continue;
        std::ifstream in(file.path(), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(holds(bytes.data(), bytes.size())) << file.path();
        ++replayed;
    }
    EXPECT_GT(replayed, 10);
}

TEST(ProtocolFuzzCorpus, ServerMessagesHold) { replay("server_message", fuzz::serverMessagesHold); }

TEST(ProtocolFuzzCorpus, AssetBase64Holds) { replay("asset_base64", fuzz::assetBase64Holds); }

// The fixtures of the entries themselves: the canned welcome is accepted
// and every stage starts where it says.
TEST(ProtocolFuzzCorpus, StagesStartWhereTheySay) {
    for (int stage = 0; stage < 4; ++stage) {
        fuzz::FuzzGame game;
        game.startAt(stage);
        EXPECT_EQ(game.scene.localPlayerId, stage == 0 ? -1 : 3) << stage;
        EXPECT_EQ(game.assets.allRequiredComplete(), stage >= 2) << stage;
        EXPECT_EQ(game.scene.entities.size(), stage >= 3 ? 2u : 0u) << stage;
        EXPECT_TRUE(game.holds());
    }
}

}  // namespace
}  // namespace vobu
