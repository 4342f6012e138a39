#include "net/asset_store.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "net/protocol_test_support.h"

namespace vobu {
namespace {

using testing::encodeBase64;
using testing::entryFor;
using testing::patternBytes;

std::string failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::out_of_range&) {
        return "out_of_range";
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "accepted";
}

ManifestEntry joinSound() { return entryFor(kJoinSoundAssetId, AssetAudio, patternBytes(10, 9)); }

ManifestEntry sized(const std::string& id, int32_t kind, uint32_t bytes,
                    const std::string& hash = testing::fakeHash()) {
    ManifestEntry entry;
    entry.id = id;
    entry.kind = kind;
    entry.bytes = bytes;
    entry.hash = hash;
    if (kind == AssetTexture) entry.material = 0;
    return entry;
}

ManifestEntry skin(const std::string& id, int32_t player, uint32_t bytes = 100) {
    ManifestEntry entry = sized(id, AssetSkin, bytes);
    entry.playerId = player;
    return entry;
}

std::vector<ManifestEntry> withJoinSound(std::vector<ManifestEntry> list) {
    list.push_back(joinSound());
    return list;
}

// Sends the bytes as chunks of at most chunkBytes; true when the last completed the asset.
bool sendAll(AssetStore& store, const std::string& id, const std::vector<uint8_t>& bytes, size_t chunkBytes = 12288) {
    bool completed = false;
    for (size_t at = 0; at < bytes.size(); at += chunkBytes) {
        const size_t size = std::min(chunkBytes, bytes.size() - at);
        const std::vector<uint8_t> piece(bytes.begin() + at, bytes.begin() + at + size);
        completed = store.receiveChunk(id, uint32_t(at), encodeBase64(piece), at + size == bytes.size());
    }
    return completed;
}

TEST(AssetStoreManifest, RefusesEachRuleWithItsCode) {
    std::vector<ManifestEntry> tooMany;
    for (int i = 0; i < 67; ++i) tooMany.push_back(sized("s" + std::to_string(i), AssetAudio, 10));
    tooMany.push_back(joinSound());
    std::vector<ManifestEntry> manySkins;
    for (int player = 1; player <= 33; ++player) manySkins.push_back(skin("skin" + std::to_string(player), player));
    std::vector<ManifestEntry> fullSkins;
    for (int player = 1; player <= 32; ++player)
        fullSkins.push_back(skin("skin" + std::to_string(player), player, 4096));
    ManifestEntry joinAsTexture = sized(kJoinSoundAssetId, AssetTexture, 10);

    const struct {
        const char* name;
        std::vector<ManifestEntry> list;
        const char* code;
    } cases[] = {
        {"empty list", {}, "ERR_BAD_ASSET_MANIFEST"},
        {"68 entries", tooMany, "ERR_BAD_ASSET_MANIFEST"},
        {"empty id", withJoinSound({sized("", AssetAudio, 10)}), "ERR_BAD_ASSET_ENTRY"},
        {"65-character id", withJoinSound({sized(std::string(65, 'i'), AssetAudio, 10)}), "ERR_BAD_ASSET_ENTRY"},
        {"64-character id", withJoinSound({sized(std::string(64, 'i'), AssetAudio, 10)}), "accepted"},
        {"id with a dot", withJoinSound({sized("map.bin", AssetAudio, 10)}), "ERR_BAD_ASSET_ENTRY"},
        {"id with a slash", withJoinSound({sized("../x", AssetAudio, 10)}), "ERR_BAD_ASSET_ENTRY"},
        {"id of every allowed sort", withJoinSound({sized("Az09-_", AssetAudio, 10)}), "accepted"},
        {"63-digit hash", withJoinSound({sized("a", AssetAudio, 10, std::string(63, 'a'))}), "ERR_BAD_ASSET_ENTRY"},
        {"65-digit hash", withJoinSound({sized("a", AssetAudio, 10, std::string(65, 'a'))}), "ERR_BAD_ASSET_ENTRY"},
        {"upper-case hash", withJoinSound({sized("a", AssetAudio, 10, std::string(64, 'A'))}), "ERR_BAD_ASSET_ENTRY"},
        {"hash with g", withJoinSound({sized("a", AssetAudio, 10, std::string(63, 'a') + "g")}), "ERR_BAD_ASSET_ENTRY"},
        {"zero bytes", withJoinSound({sized("a", AssetAudio, 0)}), "ERR_BAD_ASSET_ENTRY"},
        {"1048576 bytes", withJoinSound({sized("a", AssetMesh, 1048576)}), "accepted"},
        {"1048577 bytes", withJoinSound({sized("a", AssetMesh, 1048577)}), "ERR_BAD_ASSET_ENTRY"},
        {"repeated id", withJoinSound({sized("a", AssetAudio, 10), sized("a", AssetMesh, 10)}), "ERR_BAD_ASSET_ENTRY"},
        {"skin of player 0", withJoinSound({skin("k", 0)}), "ERR_SKIN_BUDGET"},
        {"skin of player -1", withJoinSound({skin("k", -1)}), "ERR_SKIN_BUDGET"},
        {"skin of 4096 bytes", withJoinSound({skin("k", 1, 4096)}), "accepted"},
        {"skin of 4097 bytes", withJoinSound({skin("k", 1, 4097)}), "ERR_SKIN_BUDGET"},
        {"two skins of one player", withJoinSound({skin("k1", 5), skin("k2", 5)}), "ERR_SKIN_BUDGET"},
        {"32 full skins", withJoinSound(fullSkins), "accepted"},
        {"33 skins", withJoinSound(manySkins), "ERR_SKIN_BUDGET"},
        {"sizes adding to 2097152", withJoinSound({sized("a", AssetMesh, 1048576), sized("b", AssetMesh, 1048566)}),
         "accepted"},
        {"sizes adding to 2097153", withJoinSound({sized("a", AssetMesh, 1048576), sized("b", AssetMesh, 1048567)}),
         "ERR_ASSET_BUDGET"},
        {"no join sound", {sized("a", AssetAudio, 10)}, "ERR_REQUIRED_ASSET"},
        {"join sound of kind texture", {joinAsTexture}, "ERR_REQUIRED_ASSET"},
    };
    for (const auto& c : cases) {
        AssetStore store;
        EXPECT_EQ(failureOf([&] { store.setManifest(c.list); }), c.code) << c.name;
    }
}

TEST(AssetStoreManifest, AddedTexturesFollowTheirOwnRules) {
    auto optionalTexture = [](const std::string& id, uint32_t bytes = 10, int material = 2) {
        ManifestEntry entry = sized(id, AssetTexture, bytes);
        entry.required = false;
        entry.material = material;
        return entry;
    };
    auto storeWith = [](std::vector<ManifestEntry> list) {
        AssetStore store;
        store.setManifest(withJoinSound(std::move(list)));
        return store;
    };
    std::vector<ManifestEntry> sixteen, seventeen;
    for (int i = 0; i < 16; ++i) sixteen.push_back(optionalTexture("t" + std::to_string(i)));
    seventeen = sixteen;
    seventeen.push_back(optionalTexture("t16"));
    ManifestEntry requiredTexture = optionalTexture("r");
    requiredTexture.required = true;
    ManifestEntry optionalMesh = sized("m", AssetMesh, 10);
    optionalMesh.required = false;

    const struct {
        const char* name;
        std::vector<ManifestEntry> added;
        const char* code;
    } cases[] = {
        {"16 textures", sixteen, "accepted"},
        {"17 textures", seventeen, "ERR_ASSET_BUDGET"},
        {"a mesh", {optionalMesh}, "ERR_BAD_ASSET_ENTRY"},
        {"a required texture", {requiredTexture}, "ERR_BAD_ASSET_ENTRY"},
        {"material 16", {optionalTexture("t", 10, 16)}, "ERR_BAD_ASSET_ENTRY"},
        {"material -1", {optionalTexture("t", 10, -1)}, "ERR_BAD_ASSET_ENTRY"},
        {"262153 bytes", {optionalTexture("t", 262153)}, "accepted"},
        {"262154 bytes", {optionalTexture("t", 262154)}, "ERR_BAD_ASSET_ENTRY"},
        {"id already in the store", {optionalTexture(kJoinSoundAssetId)}, "ERR_BAD_ASSET_ENTRY"},
        {"id twice in the list", {optionalTexture("t"), optionalTexture("t")}, "ERR_BAD_ASSET_ENTRY"},
        {"bad hash",
         {[&] {
             auto e = optionalTexture("t");
             e.hash = "abc";
             return e;
         }()},
         "ERR_BAD_ASSET_ENTRY"},
    };
    for (const auto& c : cases) {
        AssetStore store = storeWith({});
        EXPECT_EQ(failureOf([&] { store.addTextureEntries(c.added); }), c.code) << c.name;
    }

    // The running total counts every entry already held.
    AssetStore nearlyFull = storeWith({sized("a", AssetMesh, 1048576), sized("b", AssetMesh, 1048576 - 10 - 100)});
    EXPECT_EQ(failureOf([&] { nearlyFull.addTextureEntries({optionalTexture("t", 100)}); }), "accepted");
    EXPECT_EQ(failureOf([&] { nearlyFull.addTextureEntries({optionalTexture("u", 1)}); }), "ERR_ASSET_BUDGET");

    // At most 83 entries in all.
    std::vector<ManifestEntry> welcome;
    for (int i = 0; i < 66; ++i) welcome.push_back(sized("w" + std::to_string(i), AssetAudio, 10));
    AssetStore crowded = storeWith(welcome);                                        // 67 entries
    EXPECT_EQ(failureOf([&] { crowded.addTextureEntries(sixteen); }), "accepted");  // 83
    EXPECT_EQ(failureOf([&] { crowded.addTextureEntries({optionalTexture("x")}); }), "ERR_ASSET_BUDGET");
}

TEST(AssetStoreDownload, MissingIdsFollowKindThenByteOrder) {
    AssetStore store;
    store.setManifest({sized("a", AssetAudio, 10), sized("b", AssetTexture, 10), sized("c", AssetMesh, 10),
                       sized("d", AssetWalkMesh, 10), sized("e", AssetTexture, 10), skin("Z", 3),
                       sized("B", AssetTexture, 10), joinSound()});
    EXPECT_EQ(store.missingIds(), (std::vector<std::string>{"d", "c", "B", "b", "e", "Z", "a", "player-join"}));
}

TEST(AssetStoreDownload, ChunksMustArriveInOrderAndMatchTheirDoneFlag) {
    const auto bytes = patternBytes(10);
    const auto first6 = std::vector<uint8_t>(bytes.begin(), bytes.begin() + 6);
    const auto last4 = std::vector<uint8_t>(bytes.begin() + 6, bytes.end());
    const struct {
        const char* name;
        std::function<void(AssetStore&)> chunks;
        const char* code;
    } cases[] = {
        {"whole asset in one final chunk", [&](AssetStore& s) { s.receiveChunk("a", 0, encodeBase64(bytes), true); },
         "accepted"},
        {"ten bytes without done", [&](AssetStore& s) { s.receiveChunk("a", 0, encodeBase64(bytes), false); },
         "ERR_ASSET_INCOMPLETE"},
        {"six bytes with done", [&](AssetStore& s) { s.receiveChunk("a", 0, encodeBase64(first6), true); },
         "ERR_ASSET_INCOMPLETE"},
        {"eleven bytes", [&](AssetStore& s) { s.receiveChunk("a", 0, encodeBase64(patternBytes(11)), true); },
         "ERR_MORE_BYTES_THAN_EXPECTED"},
        {"second chunk at offset 0",
         [&](AssetStore& s) {
             s.receiveChunk("a", 0, encodeBase64(first6), false);
             s.receiveChunk("a", 0, encodeBase64(last4), true);
         },
         "ERR_ASSET_OFFSET"},
        {"second chunk past the end of the first",
         [&](AssetStore& s) {
             s.receiveChunk("a", 0, encodeBase64(first6), false);
             s.receiveChunk("a", 7, encodeBase64(last4), true);
         },
         "ERR_ASSET_OFFSET"},
        {"two chunks in order",
         [&](AssetStore& s) {
             s.receiveChunk("a", 0, encodeBase64(first6), false);
             s.receiveChunk("a", 6, encodeBase64(last4), true);
         },
         "accepted"},
        {"a chunk after completion",
         [&](AssetStore& s) {
             s.receiveChunk("a", 0, encodeBase64(bytes), true);
             s.receiveChunk("a", 10, encodeBase64(last4), true);
         },
         "ERR_ASSET_OFFSET"},
        {"an id not in the store", [&](AssetStore& s) { s.receiveChunk("nope", 0, encodeBase64(bytes), true); },
         "ERR_UNREQUESTED_ASSET"},
        {"bad base64", [&](AssetStore& s) { s.receiveChunk("a", 0, "Zm9v!!!!", false); }, "ERR_BAD_ASSET_BASE64"},
        {"empty chunk", [&](AssetStore& s) { s.receiveChunk("a", 0, "", false); }, "ERR_BAD_ASSET_CHUNK"},
        {"wrong mesh bytes", [&](AssetStore& s) { s.receiveChunk("a", 0, encodeBase64(patternBytes(10, 2)), true); },
         "ERR_ASSET_HASH"},
    };
    for (const auto& c : cases) {
        AssetStore store;
        store.setManifest({entryFor("a", AssetMesh, bytes), joinSound()});
        EXPECT_EQ(failureOf([&] { c.chunks(store); }), c.code) << c.name;
        if (std::string(c.code) == "accepted") {
            EXPECT_TRUE(store.isComplete("a")) << c.name;
            EXPECT_EQ(store.data("a"), bytes) << c.name;
        }
    }
}

TEST(AssetStoreDownload, LargeAssetsArriveInFullChunks) {
    const auto bytes = patternBytes(100000, 4);
    AssetStore store;
    store.setManifest({entryFor("walk", AssetWalkMesh, bytes), joinSound()});
    EXPECT_TRUE(sendAll(store, "walk", bytes));
    EXPECT_EQ(store.data("walk"), bytes);
    EXPECT_EQ(store.missingIds(), std::vector<std::string>{"player-join"});
}

TEST(AssetStoreDownload, OnlyMeshesWalkMeshesAndTexturesMustMatchTheirHash) {
    const auto real = patternBytes(50, 1);
    const auto other = patternBytes(50, 2);
    for (int32_t kind : {AssetAudio, AssetSkin, AssetMesh, AssetWalkMesh, AssetTexture}) {
        AssetStore store;
        ManifestEntry entry = entryFor("x", kind, real);
        entry.playerId = 2;
        store.setManifest({entry, joinSound()});
        const std::string outcome = failureOf([&] { sendAll(store, "x", other); });
        if (isHashVerifiedKind(kind)) {
            EXPECT_EQ(outcome, "ERR_ASSET_HASH") << kind;
            EXPECT_FALSE(store.isComplete("x"));
        } else {
            EXPECT_EQ(outcome, "accepted") << kind;
            EXPECT_TRUE(store.isComplete("x"));
            EXPECT_EQ(store.data("x"), other);
        }
        EXPECT_EQ(store.cache.count(entry.hash), 0u) << "bytes that do not match their hash are never cached";
    }
}

TEST(AssetStoreCache, ACompletedAssetIsCompleteAtOnceInALaterGame) {
    const auto mesh = patternBytes(300, 5);
    AssetStore store;
    store.setManifest({entryFor("map", AssetMesh, mesh), joinSound()});
    ASSERT_TRUE(sendAll(store, "map", mesh));
    store.clear();
    EXPECT_TRUE(store.entries.empty());

    // Same hash and size under another id, on another server: complete at once.
    store.setManifest({entryFor("other-name", AssetMesh, mesh), joinSound()});
    EXPECT_TRUE(store.isComplete("other-name"));
    EXPECT_EQ(store.data("other-name"), mesh);
    EXPECT_EQ(store.missingIds(), std::vector<std::string>{"player-join"});

    // Same hash with another size is not a hit.
    store.clear();
    ManifestEntry resized = entryFor("map", AssetMesh, mesh);
    resized.bytes = 299;
    store.setManifest({resized, joinSound()});
    EXPECT_FALSE(store.isComplete("map"));
}

TEST(AssetStoreCache, AServerCannotPlantBytesUnderAnotherAssetsHash) {
    // A sound is not verified: a server may list it under the hash of some
    // world's mesh and send other bytes. They complete the sound but must
    // not be served for that hash later.
    const auto realMesh = patternBytes(64, 7);
    const auto planted = patternBytes(64, 8);
    AssetStore store;
    ManifestEntry decoy = entryFor("decoy", AssetAudio, realMesh);
    store.setManifest({decoy, joinSound()});
    ASSERT_TRUE(sendAll(store, "decoy", planted));
    store.clear();

    store.setManifest({entryFor("map", AssetMesh, realMesh), joinSound()});
    EXPECT_FALSE(store.isComplete("map"));
    EXPECT_NO_THROW(sendAll(store, "map", realMesh));
    EXPECT_EQ(store.data("map"), realMesh);
}

TEST(AssetStoreCache, PruningKeepsTheManifestsHashesAndDropsTheLowestOthers) {
    auto hashNumber = [](int i) {
        char text[65];
        std::snprintf(text, sizeof text, "%064x", i);
        return std::string(text);
    };
    AssetStore store;
    for (int i = 0; i < 90; ++i) store.cache[hashNumber(i)] = std::vector<uint8_t>(10, uint8_t(i));
    // The manifest uses hash 0 (lowest) and hash 5.
    store.setManifest(
        {sized("a", AssetAudio, 10, hashNumber(0)), sized("b", AssetAudio, 99, hashNumber(5)), joinSound()});
    EXPECT_EQ(store.cache.size(), 83u);
    EXPECT_TRUE(store.cache.count(hashNumber(0)));
    EXPECT_TRUE(store.cache.count(hashNumber(5)));  // used, though its size differs
    for (int i : {1, 2, 3, 4, 6, 7, 8}) EXPECT_FALSE(store.cache.count(hashNumber(i))) << i;
    EXPECT_TRUE(store.cache.count(hashNumber(9)));
    EXPECT_TRUE(store.cache.count(hashNumber(89)));
    EXPECT_TRUE(store.isComplete("a"));
    EXPECT_FALSE(store.isComplete("b"));

    // By size: three 1 MiB entries exceed 2 MiB; the lowest unused goes.
    AssetStore big;
    for (int i = 0; i < 3; ++i) big.cache[hashNumber(i)] = std::vector<uint8_t>(1048576, 1);
    big.setManifest({sized("a", AssetAudio, 10, hashNumber(0)), joinSound()});
    EXPECT_EQ(big.cache.size(), 2u);
    EXPECT_TRUE(big.cache.count(hashNumber(0)));
    EXPECT_FALSE(big.cache.count(hashNumber(1)));
    EXPECT_TRUE(big.cache.count(hashNumber(2)));
}

TEST(AssetStoreProgress, CountsRequiredBytesOnly) {
    AssetStore store;
    EXPECT_EQ(store.progress(), 0.0f);
    EXPECT_FALSE(store.allRequiredComplete());

    const auto walk = patternBytes(30, 1);
    const auto sound = patternBytes(10, 9);
    const auto extra = patternBytes(40, 3);
    store.setManifest({entryFor("walk", AssetWalkMesh, walk), joinSound()});
    EXPECT_EQ(store.progress(), 0.0f);
    store.receiveChunk("walk", 0, encodeBase64(std::vector<uint8_t>(walk.begin(), walk.begin() + 15)), false);
    EXPECT_FLOAT_EQ(store.progress(), 15.0f / 40.0f);
    store.receiveChunk("walk", 15, encodeBase64(std::vector<uint8_t>(walk.begin() + 15, walk.end())), true);
    EXPECT_FALSE(store.allRequiredComplete());
    sendAll(store, kJoinSoundAssetId, sound);
    EXPECT_EQ(store.progress(), 1.0f);
    EXPECT_TRUE(store.allRequiredComplete());

    ManifestEntry optional = entryFor("extra", AssetTexture, extra, false);
    store.addTextureEntries({optional});
    EXPECT_EQ(store.progress(), 1.0f);
    EXPECT_TRUE(store.allRequiredComplete());
    EXPECT_FALSE(store.isComplete("extra"));
    EXPECT_EQ(store.missingIds(), std::vector<std::string>{"extra"});

    // Entries completed from the cache count in full at once.
    store.clear();
    store.setManifest({entryFor("walk", AssetWalkMesh, walk), entryFor(kJoinSoundAssetId, AssetAudio, sound)});
    EXPECT_EQ(store.progress(), 1.0f);
    EXPECT_TRUE(store.allRequiredComplete());
}

TEST(AssetStoreAccess, DataOfIncompleteOrAbsentEntries) {
    AssetStore store;
    store.setManifest({sized("a", AssetMesh, 10), joinSound()});
    EXPECT_EQ(failureOf([&] { store.data("a"); }), "ERR_ASSET_INCOMPLETE");
    EXPECT_EQ(failureOf([&] { store.data("nope"); }), "out_of_range");
    EXPECT_EQ(failureOf([&] { store.hashOf("nope"); }), "out_of_range");
    EXPECT_EQ(store.hashOf("a"), testing::fakeHash());
    EXPECT_FALSE(store.isComplete("nope"));
}

}  // namespace
}  // namespace vobu
