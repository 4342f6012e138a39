// Replays the checked-in corpora of the server message and asset base64
// fuzz targets through the targets' own entry functions.

#include "protocol_fuzz_entries.h"
#include "support/fuzz_corpus_replay.h"

namespace vobu {
namespace {

using testing::replayCorpus;

TEST(ProtocolFuzzCorpus, ServerMessagesHold) { replayCorpus("server_message", fuzz::serverMessagesHold, 11); }

TEST(ProtocolFuzzCorpus, AssetBase64Holds) { replayCorpus("asset_base64", fuzz::assetBase64Holds, 11); }

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
