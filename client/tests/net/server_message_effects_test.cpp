// A valid message of each type, and what it leaves in the Scene.

#include <gtest/gtest.h>

#include "net/server_message_session.h"

namespace vobu {
namespace {

using nlohmann::json;
using testing::kLocalId;
using testing::kNowMs;
using testing::Session;

TEST(ServerMessageEffects, WelcomeBuildsANewScene) {
    Session session;
    session.scene.chat.push_back(ChatEntry{});
    session.scene.entities.push_back(SceneEntity{});
    session.scene.characters[40] = Character();
    session.scene.players.push_back(Player{});

    json welcome = testing::welcomeJson(session.character);
    welcome["movement"]["height"] = 1.5;
    welcome["movement"]["halfDepth"] = 0.4;
    welcome["map"]["ambient"] = {{"level", 0.5}, {"color", "#FF0000"}};
    EXPECT_EQ(session.handle(welcome), ServerMessageKind::Welcome);
    EXPECT_EQ(session.lastType, "welcome");

    const Scene& scene = session.scene;
    EXPECT_EQ(scene.localPlayerId, kLocalId);
    ASSERT_EQ(scene.manifest.size(), 1u);
    EXPECT_EQ(scene.manifest[0].id, "player-join");
    EXPECT_EQ(scene.movement.height, 1.5);
    EXPECT_EQ(scene.movement.speed, 4);
    EXPECT_EQ(scene.movement.step, 1.0 / 60);
    EXPECT_EQ(scene.movement.airAcceleration, 2.5);
    EXPECT_EQ(scene.movement.halfWidth, 0.32);  // the radius, when absent
    EXPECT_EQ(scene.movement.halfDepth, 0.4);
    EXPECT_EQ(scene.spawn.x, 1.5);
    EXPECT_EQ(scene.spawn.y, -2);
    EXPECT_EQ(scene.spawn.z, 0.25);
    EXPECT_EQ(scene.spawn.heading, 1);
    EXPECT_EQ(scene.spawn.triangle, -1);
    EXPECT_FLOAT_EQ(scene.ambient.r, 0.5f);
    EXPECT_FLOAT_EQ(scene.ambient.g, 0.0f);
    EXPECT_FLOAT_EQ(scene.ambient.b, 0.0f);
    ASSERT_EQ(scene.characters.size(), 1u);  // the earlier Scene is gone
    EXPECT_EQ(scene.characters.at(kLocalId).name, "Server Name");
    EXPECT_EQ(scene.characters.at(kLocalId).id, session.character.id);
    EXPECT_EQ(scene.characterRevisions.at(kLocalId), 1);
    EXPECT_EQ(scene.characterGenerations.at(kLocalId), 1);
    EXPECT_TRUE(scene.chat.empty());
    EXPECT_TRUE(scene.entities.empty());
    EXPECT_TRUE(scene.players.empty());

    // Without "height" and "ambient": the defaults.
    Session plain;
    plain.handle(testing::welcomeJson(plain.character));
    EXPECT_EQ(plain.scene.movement.height, 1.28);
    EXPECT_FLOAT_EQ(plain.scene.ambient.r, 0.48f);
}

TEST(ServerMessageEffects, AFailedWelcomeLeavesTheSceneAlone) {
    Session session;
    session.welcome();
    session.scene.chat.push_back(ChatEntry{});
    json bad = testing::welcomeJson(session.character);
    bad["character"]["id"] = "other";
    EXPECT_EQ(session.outcome(bad), "ERR_CHARACTER_MISMATCH");
    EXPECT_EQ(session.scene.chat.size(), 1u);
    EXPECT_EQ(session.scene.localPlayerId, kLocalId);
}

TEST(ServerMessageEffects, ChallengeIsKeptForTheProof) {
    Session session;
    EXPECT_EQ(session.handle(json{{"type", "challenge"}, {"challenge", "0123456789abcdef"}, {"difficulty", 12}}),
              ServerMessageKind::Challenge);
    EXPECT_EQ(session.scene.powChallenge, "0123456789abcdef");
    EXPECT_EQ(session.scene.powDifficulty, 12);
}

TEST(ServerMessageEffects, SwappedGrantsTheNewCharacterAndState) {
    Session session;
    session.welcome();
    session.character.setSize(20, 40, 24);
    const json swapped = {{"type", "swapped"},
                          {"character", {{"id", session.character.id}, {"size", {20, 40, 24}}, {"name", "Renamed"}}},
                          {"movement", {{"radius", 0.2}, {"halfWidth", 0.2}, {"halfDepth", 0.24}}},
                          {"generation", 5},
                          {"x", 1},
                          {"y", 2},
                          {"z", 3},
                          {"vz", -1},
                          {"heading", 0.5},
                          {"vx", 0.25},
                          {"triangle", 7},
                          {"ack", 42}};
    EXPECT_EQ(session.handle(swapped), ServerMessageKind::Swapped);
    const Scene& scene = session.scene;
    EXPECT_EQ(scene.characters.at(kLocalId).width, 20);
    EXPECT_EQ(scene.characters.at(kLocalId).name, "Renamed");
    EXPECT_EQ(scene.characterRevisions.at(kLocalId), 2);
    EXPECT_EQ(scene.characterGenerations.at(kLocalId), 5);
    EXPECT_EQ(scene.movement.radius, 0.2);
    EXPECT_EQ(scene.movement.height, 1.28);
    EXPECT_EQ(scene.movement.speed, 4);  // the other values stay
    EXPECT_EQ(scene.swapState.x, 1);
    EXPECT_EQ(scene.swapState.vz, -1);
    EXPECT_EQ(scene.swapState.heading, 0.5);
    EXPECT_EQ(scene.swapState.vx, 0.25);
    EXPECT_EQ(scene.swapState.vy, 0);
    EXPECT_EQ(scene.swapState.triangle, 7);
    EXPECT_EQ(scene.swapAck, 42u);
}

TEST(ServerMessageEffects, SwapErrorAddsASystemLine) {
    Session session;
    session.welcome();
    EXPECT_EQ(session.handle(json{{"type", "swapError"}, {"code", "ERR_SWAP_BUSY"}}), ServerMessageKind::SwapError);
    ASSERT_EQ(session.scene.chat.size(), 1u);
    const ChatEntry& line = session.scene.chat[0];
    EXPECT_TRUE(line.system);
    EXPECT_FALSE(line.formatted);
    EXPECT_EQ(line.text, "ERR_SWAP_BUSY");
    EXPECT_EQ(line.receivedMs, 0);
    EXPECT_EQ(session.scene.chatRevision, 1);
}

TEST(ServerMessageEffects, EntitiesReplaceTheListAndAudioSegmentsQueue) {
    Session session;
    session.welcome();
    const json entities = {
        {"type", "entities"},
        {"revision", 9},
        {"entities",
         {{{"id", 2}, {"type", "text"}, {"x", 1}, {"y", 2}, {"z", 3}, {"text", "Welcome\nhere"}, {"visibleRange", 15}},
          {{"id", 5},
           {"type", "audio"},
           {"x", -1},
           {"y", 0},
           {"z", 0},
           {"radius", 8},
           {"streamId", 4},
           {"generation", 2}}}}};
    EXPECT_EQ(session.handle(entities), ServerMessageKind::None);
    const auto& list = session.scene.entities;
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].type, "text");
    EXPECT_EQ(list[0].text, "Welcome\nhere");
    EXPECT_EQ(list[0].visibleRange, 15);
    EXPECT_EQ(list[0].streamId, 0);
    EXPECT_EQ(list[1].streamId, 4);
    EXPECT_EQ(list[1].generation, 2);
    EXPECT_EQ(list[1].radius, 8);
    EXPECT_EQ(list[1].x, -1);
    EXPECT_EQ(session.scene.entitiesRevision, 9);

    for (uint32_t seq = 1; seq <= 9; ++seq) {
        const json segment = {{"type", "audioSegment"},
                              {"streamId", 4},
                              {"generation", 2},
                              {"seq", seq},
                              {"playIn", -20},
                              {"duration", 0.5},
                              {"data", testing::encodeBase64(testing::patternBytes(seq * 10))}};
        EXPECT_EQ(session.handle(segment), ServerMessageKind::None);
    }
    const auto& queue = session.scene.audioSegments;
    ASSERT_EQ(queue.size(), 8u);  // the ninth pushed out the first
    EXPECT_EQ(queue.front().seq, 2u);
    EXPECT_EQ(queue.back().seq, 9u);
    EXPECT_EQ(queue.back().data, testing::patternBytes(90));
    EXPECT_EQ(queue.back().startMs, kNowMs - 20);
    EXPECT_EQ(queue.back().duration, 0.5);

    // A segment of a stream no entity plays is dropped.
    session.handle(json{{"type", "audioSegment"},
                        {"streamId", 4},
                        {"generation", 3},
                        {"seq", 1},
                        {"playIn", 0},
                        {"duration", 1},
                        {"data", "AAAA"}});
    EXPECT_EQ(queue.back().seq, 9u);

    // The next list replaces the whole of it.
    session.handle(json{{"type", "entities"}, {"revision", 10}, {"entities", json::array()}});
    EXPECT_TRUE(session.scene.entities.empty());
    EXPECT_EQ(session.scene.entitiesRevision, 10);
}

TEST(ServerMessageEffects, EndsOfTheGameCarryTheirCodes) {
    Session session;
    session.welcome();
    EXPECT_EQ(session.handle(json{{"type", "disconnect"}, {"code", "ERR_KICKED"}, {"reason", "Bye \xc3\xa9"}}),
              ServerMessageKind::Disconnect);
    EXPECT_EQ(session.scene.errorCode, "ERR_KICKED");
    EXPECT_EQ(session.scene.disconnectReason, "Bye \xc3\xa9");
    EXPECT_EQ(session.handle(json{{"type", "error"}, {"code", "ERR_FULL"}}), ServerMessageKind::Error);
    EXPECT_EQ(session.scene.errorCode, "ERR_FULL");
    EXPECT_EQ(session.handle(json{{"type", "ready"}}), ServerMessageKind::Ready);
}

TEST(ServerMessageEffects, JoinedAndLeftPlayers) {
    Session early;
    EXPECT_EQ(early.handle(json{{"type", "joined"}, {"id", 8}}), ServerMessageKind::None);
    EXPECT_TRUE(early.scene.joinedPlayers.empty());

    Session session;
    session.welcome({testing::joinSoundEntry(), [] {
                         ManifestEntry skin =
                             testing::entryFor("skin-8", AssetSkin, testing::bytesOf(testing::skinDocument("p8")));
                         skin.playerId = 8;
                         return skin;
                     }()});
    EXPECT_EQ(session.handle(json{{"type", "joined"}, {"id", 8}}), ServerMessageKind::Joined);
    EXPECT_EQ(session.handle(json{{"type", "joined"}, {"id", 8}}), ServerMessageKind::None);
    EXPECT_EQ(session.handle(json{{"type", "joined"}, {"id", kLocalId}}), ServerMessageKind::None);
    EXPECT_EQ(session.handle(json{{"type", "joined"}, {"id", double(kLocalId)}}), ServerMessageKind::None);
    EXPECT_EQ(session.scene.joinedPlayers, (std::set<int>{8}));

    session.scene.characters[8] = Character();
    session.scene.characterRevisions[8] = 2;
    session.scene.characterGenerations[8] = 1;
    EXPECT_EQ(session.handle(json{{"type", "left"}, {"id", 8}}), ServerMessageKind::Character);
    EXPECT_EQ(session.scene.characters.count(8), 0u);
    EXPECT_EQ(session.scene.characterRevisions.count(8), 0u);
    EXPECT_EQ(session.scene.characterGenerations.count(8), 0u);
    EXPECT_EQ(session.scene.departedSkinOwners, (std::set<int>{8}));  // it has a skin in the manifest
    EXPECT_EQ(session.handle(json{{"type", "joined"}, {"id", 8}}), ServerMessageKind::None);  // still listed

    session.handle(json{{"type", "left"}, {"id", 9}});
    EXPECT_EQ(session.scene.departedSkinOwners, (std::set<int>{8}));  // no skin of 9
}

TEST(ServerMessageEffects, CharacterReplacesAPlayersCharacter) {
    Session session;
    session.welcome();
    Character other;
    other.id = "theirs";
    other.name = "Other";
    other.setSize(16, 32, 16);
    const json message = {{"type", "character"}, {"id", 8}, {"character", json::parse(encodeCharacterJsonRle(other))}};
    EXPECT_EQ(session.handle(message), ServerMessageKind::Character);
    EXPECT_EQ(session.scene.characters.at(8).id, "theirs");
    EXPECT_EQ(session.scene.characters.at(8).width, 16);
    EXPECT_EQ(session.scene.characterRevisions.at(8), 1);
    EXPECT_EQ(session.scene.characterGenerations.at(8), 1);
    json again = message;
    again["generation"] = 3;
    session.handle(again);
    EXPECT_EQ(session.scene.characterRevisions.at(8), 2);
    EXPECT_EQ(session.scene.characterGenerations.at(8), 3);

    // The local player's own entry is replaced too.
    json local = message;
    local["id"] = kLocalId;
    session.handle(local);
    EXPECT_EQ(session.scene.characters.at(kLocalId).id, "theirs");
    EXPECT_EQ(session.scene.characterRevisions.at(kLocalId), 2);
}

TEST(ServerMessageEffects, SnapshotListsThePlayersAndTheLocalAck) {
    Session early;
    EXPECT_EQ(early.handle(json{{"type", "snapshot"}, {"players", {{{"id", 1}}}}}), ServerMessageKind::None);
    EXPECT_TRUE(early.scene.players.empty());

    Session session;
    session.welcome();
    const json snapshot = {
        {"type", "snapshot"},
        {"players",
         {{{"id", 8}, {"x", 1}, {"y", 2}, {"z", 3}, {"vz", 4}, {"heading", 0.5}, {"vx", 6}, {"vy", 7}, {"triangle", 9}},
          {{"id", kLocalId}, {"x", -1}, {"y", -2}, {"z", -3}, {"vz", 0}, {"ack", 77}}}}};
    EXPECT_EQ(session.handle(snapshot), ServerMessageKind::Snapshot);
    const auto& players = session.scene.players;
    ASSERT_EQ(players.size(), 2u);
    EXPECT_EQ(players[0].id, 8);
    EXPECT_EQ(players[0].vz, 4);
    EXPECT_EQ(players[0].heading, 0.5f);
    EXPECT_EQ(players[0].vy, 7);
    EXPECT_EQ(players[0].triangle, 9);
    EXPECT_EQ(players[1].heading, 0.0f);
    EXPECT_EQ(players[1].triangle, -1);
    EXPECT_EQ(session.scene.lastAck, 77u);

    // Without the local player the ack stays; an object's values count as the list.
    session.handle(
        json{{"type", "snapshot"}, {"players", {{"a", {{"id", 8}, {"x", 0}, {"y", 0}, {"z", 0}, {"vz", 0}}}}}});
    EXPECT_EQ(session.scene.lastAck, 77u);
    ASSERT_EQ(session.scene.players.size(), 1u);
    session.handle(json{{"type", "snapshot"}, {"players", nullptr}});
    EXPECT_TRUE(session.scene.players.empty());
}

TEST(ServerMessageEffects, SnapshotKeepsTheFirstEntryOfEachPlayer) {
    Session session;
    session.welcome();
    const json first = {{"id", 8}, {"x", 1}, {"y", 0}, {"z", 0}, {"vz", 0}};
    json later = first;
    later["x"] = 2;
    const json local = {{"id", kLocalId}, {"x", 0}, {"y", 0}, {"z", 0}, {"vz", 0}, {"ack", 5}};
    json localAgain = local;
    localAgain["ack"] = 9;
    session.handle(json{{"type", "snapshot"}, {"players", {first, local, later, localAgain, later}}});
    ASSERT_EQ(session.scene.players.size(), 2u);
    EXPECT_EQ(session.scene.players[0].id, 8);
    EXPECT_EQ(session.scene.players[0].x, 1);
    EXPECT_EQ(session.scene.players[1].id, kLocalId);
    EXPECT_EQ(session.scene.lastAck, 5u);

    // A later entry is still checked: a broken one fails the message.
    json broken = later;
    broken.erase("x");
    EXPECT_EQ(session.outcome(json{{"type", "snapshot"}, {"players", {first, broken}}}), "ERR_BAD_SERVER_MESSAGE");
    json noAck = localAgain;
    noAck.erase("ack");
    EXPECT_EQ(session.outcome(json{{"type", "snapshot"}, {"players", {local, noAck}}}), "ERR_BAD_SERVER_MESSAGE");
}

TEST(ServerMessageEffects, ChunksAndAddedTexturesReachTheStoreAndTheScene) {
    Session session;
    const auto joinBytes = testing::patternBytes(10, 9);
    session.welcome();
    EXPECT_EQ(session.handle(json{{"type", "assetChunk"},
                                  {"id", "player-join"},
                                  {"offset", 0},
                                  {"data", testing::encodeBase64(joinBytes)},
                                  {"done", true}}),
              ServerMessageKind::AssetChunk);
    EXPECT_TRUE(session.assets.isComplete("player-join"));
    EXPECT_EQ(session.scene.appliedAssets, (std::set<std::string>{"player-join"}));

    ManifestEntry extra = testing::entryFor("extra", AssetTexture, testing::patternBytes(30), false);
    extra.material = 4;
    EXPECT_EQ(session.handle(json{{"type", "assetManifest"}, {"assets", {testing::entryJson(extra)}}}),
              ServerMessageKind::AssetManifest);
    ASSERT_EQ(session.scene.manifest.size(), 2u);
    EXPECT_EQ(session.scene.manifest[1].id, "extra");
    EXPECT_EQ(session.scene.manifest[1].material, 4);
    EXPECT_FALSE(session.scene.manifest[1].required);
    EXPECT_EQ(session.assets.entries.count("extra"), 1u);
}

}  // namespace
}  // namespace vobu
