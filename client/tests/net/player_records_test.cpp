// The bounds on what a server can make the client keep of its players:
// characters, joined players and the memory of departed ones.

#include <gtest/gtest.h>

#include "character/character_json.h"
#include "net/player_records.h"
#include "net/server_message_session.h"

namespace vobu {
namespace {

using nlohmann::json;
using testing::kLocalId;
using testing::Session;

class PlayerRecords : public ::testing::Test {
protected:
    void SetUp() override {
        session_.welcome();
        Character other;
        other.id = "other";
        other.name = "Other";
        character_ = json::parse(encodeCharacterJsonRle(other));
    }

    std::string character(int id) {
        return session_.outcome(json{{"type", "character"}, {"id", id}, {"character", character_}});
    }
    std::string joined(int id) {
        try {
            return session_.handle(json{{"type", "joined"}, {"id", id}}) == ServerMessageKind::Joined ? "new" : "known";
        } catch (const std::exception& error) {
            return error.what();
        }
    }
    void left(int id) { session_.handle(json{{"type", "left"}, {"id", id}}); }

    Session session_;
    json character_;
};

TEST_F(PlayerRecords, CharactersAreKeptForAtMostTheMostPlayersOfAGame) {
    // The local player's character counts among them.
    for (int id = 100; session_.scene.characters.size() < kMaxPlayers; ++id) ASSERT_EQ(character(id), "accepted") << id;
    EXPECT_EQ(character(100), "accepted") << "a known player's character is replaced";
    EXPECT_EQ(character(kLocalId), "accepted");
    EXPECT_EQ(character(5000), "ERR_CHARACTER_LIMIT");

    left(101);
    EXPECT_EQ(character(5000), "accepted") << "a departure makes room";
    EXPECT_EQ(session_.scene.characters.size(), kMaxPlayers);
}

TEST_F(PlayerRecords, JoinedPlayersPresentAreCappedDepartedOnesMakeRoom) {
    for (size_t i = 0; i + 1 < kMaxPlayers; ++i) ASSERT_EQ(joined(100 + int(i)), "new") << i;
    EXPECT_EQ(joined(100), "known");
    EXPECT_EQ(joined(9000), "ERR_PLAYER_LIMIT");
    left(100);
    EXPECT_EQ(joined(9000), "new");
    EXPECT_EQ(joined(9001), "ERR_PLAYER_LIMIT");
    left(101);
    EXPECT_EQ(joined(101), "known") << "a departed player who comes back is not new";
    EXPECT_EQ(joined(9001), "ERR_PLAYER_LIMIT") << "and counts as present again";
}

TEST_F(PlayerRecords, TheMemoryOfDepartedPlayersStaysBounded) {
    // Players coming and going for a long time, each with a character.
    for (int id = 100; id < 100 + 5000; ++id) {
        ASSERT_EQ(joined(id), "new") << id;
        ASSERT_EQ(character(id), "accepted") << id;
        left(id);
    }
    const Scene& scene = session_.scene;
    EXPECT_EQ(scene.characters.size(), 1u) << "only the local player's";
    EXPECT_EQ(scene.departedPlayers.size(), kMaxRememberedDepartures);
    EXPECT_EQ(scene.joinedPlayers.size(), kMaxRememberedDepartures);
    EXPECT_EQ(joined(100 + 5000 - 1), "known") << "the latest departures are remembered";
    EXPECT_EQ(joined(100), "new") << "the oldest are forgotten";
}

}  // namespace
}  // namespace vobu
