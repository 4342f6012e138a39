#include "net/asset_manifest.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "net/protocol_test_support.h"

namespace vobu {
namespace {

using nlohmann::json;

std::string failureOf(const json& assets, bool added) {
    try {
        parseManifestEntry(assets, added);
    } catch (const json::exception&) {
        return "json";
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "accepted";
}

json sound(const std::string& id) {
    return {{"id", id}, {"revision", testing::fakeHash()}, {"bytes", 10}, {"kind", "audio"}};
}

json texture(const std::string& id, int material) {
    return {{"id", id}, {"revision", testing::fakeHash()}, {"bytes", 10}, {"kind", "texture"}, {"material", material}};
}

TEST(ParseManifestEntry, ReadsEveryFieldWithItsDefault) {
    const json assets = json::parse(R"([
        {"id":"player-join","revision":"aa","bytes":10.9,"kind":"audio"},
        {"id":"skin-4","revision":"bb","bytes":20,"kind":"skin","playerId":4,"generation":3,"required":true},
        {"id":"wall","revision":"cc","bytes":true,"kind":"texture","material":15},
        {"id":"map","revision":"dd","bytes":30,"kind":"mesh"},
        {"id":"walk","revision":"ee","bytes":40,"kind":"walkmesh"}
    ])");
    const auto entries = parseManifestEntry(assets, false);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].id, "player-join");
    EXPECT_EQ(entries[0].hash, "aa");
    EXPECT_EQ(entries[0].bytes, 10u);  // the fraction is cut off
    EXPECT_EQ(entries[0].kind, AssetAudio);
    EXPECT_EQ(entries[0].playerId, -1);
    EXPECT_EQ(entries[0].generation, 1);
    EXPECT_TRUE(entries[0].required);
    EXPECT_EQ(entries[0].material, -1);
    EXPECT_EQ(entries[1].kind, AssetSkin);
    EXPECT_EQ(entries[1].playerId, 4);
    EXPECT_EQ(entries[1].generation, 3);
    EXPECT_EQ(entries[2].kind, AssetTexture);
    EXPECT_EQ(entries[2].bytes, 1u);
    EXPECT_EQ(entries[2].material, 15);
    EXPECT_EQ(entries[3].kind, AssetMesh);
    EXPECT_EQ(entries[4].kind, AssetWalkMesh);
}

TEST(ParseManifestEntry, ListSizeLimits) {
    json welcome = json::array();
    for (int i = 0; i < 67; ++i) welcome.push_back(sound("s" + std::to_string(i)));
    EXPECT_EQ(failureOf(welcome, false), "accepted");
    welcome.push_back(sound("one-more"));
    EXPECT_EQ(failureOf(welcome, false), "ERR_ASSET_BUDGET");

    json added = json::array();
    for (int i = 0; i < 16; ++i) {
        json entry = texture("t" + std::to_string(i), 1);
        entry["required"] = false;
        added.push_back(entry);
    }
    EXPECT_EQ(failureOf(added, true), "accepted");
    added.push_back(added[0]);
    EXPECT_EQ(failureOf(added, true), "ERR_ASSET_BUDGET");

    EXPECT_EQ(failureOf(json::object(), false), "ERR_ASSET_BUDGET");
    EXPECT_EQ(failureOf(json("list"), false), "ERR_ASSET_BUDGET");
    EXPECT_EQ(failureOf(json::array(), false), "accepted");  // the store refuses an empty list
}

TEST(ParseManifestEntry, RefusesBadEntriesWithTheirCodes) {
    auto with = [](json entry, const char* key, json value) {
        if (value.is_discarded())
            entry.erase(key);
        else
            entry[key] = value;
        return entry;
    };
    const json gone = json(json::value_t::discarded);
    json optionalTexture = texture("t", 3);
    optionalTexture["required"] = false;
    const struct {
        const char* name;
        json entry;
        bool added;
        const char* code;
    } cases[] = {
        {"unknown kind", with(sound("a"), "kind", "sound"), false, "ERR_BAD_ASSET_KIND"},
        {"kind in capitals", with(sound("a"), "kind", "AUDIO"), false, "ERR_BAD_ASSET_KIND"},
        {"welcome entry not required", with(sound("a"), "required", false), false, "ERR_BAD_ASSET_ENTRY"},
        {"added entry without required", texture("t", 3), true, "ERR_BAD_ASSET_ENTRY"},
        {"added entry required", with(texture("t", 3), "required", true), true, "ERR_BAD_ASSET_ENTRY"},
        {"texture material 16", texture("t", 16), false, "ERR_BAD_ASSET_ENTRY"},
        {"texture material -1", texture("t", -1), false, "ERR_BAD_ASSET_ENTRY"},
        {"texture without material", with(texture("t", 0), "material", gone), false, "ERR_BAD_ASSET_ENTRY"},
        {"added texture material 16", with(optionalTexture, "material", 16), true, "ERR_BAD_ASSET_ENTRY"},
        {"sound without material", sound("a"), false, "accepted"},
        {"material 15", texture("t", 15), false, "accepted"},
        {"negative bytes", with(sound("a"), "bytes", -1), false, "ERR_BAD_ASSET_ENTRY"},
        {"bytes 1e300", with(sound("a"), "bytes", 1e300), false, "ERR_BAD_ASSET_ENTRY"},
        {"bytes 2^32", with(sound("a"), "bytes", 4294967296.0), false, "ERR_BAD_ASSET_ENTRY"},
        {"player id beyond int32", with(sound("a"), "playerId", 3000000000.0), false, "ERR_BAD_SERVER_MESSAGE"},
        {"generation beyond int32", with(sound("a"), "generation", -1e12), false, "ERR_BAD_SERVER_MESSAGE"},
        {"bytes as text", with(sound("a"), "bytes", "10"), false, "json"},
        {"missing id", with(sound("a"), "id", gone), false, "json"},
        {"missing revision", with(sound("a"), "revision", gone), false, "json"},
        {"missing bytes", with(sound("a"), "bytes", gone), false, "json"},
        {"missing kind", with(sound("a"), "kind", gone), false, "json"},
        {"id as number", with(sound("a"), "id", 5), false, "json"},
        {"required as number", with(sound("a"), "required", 1), false, "json"},
        {"required null", with(sound("a"), "required", nullptr), false, "json"},
        {"entry not an object", json("player-join"), false, "json"},
    };
    for (const auto& c : cases) EXPECT_EQ(failureOf(json::array({c.entry}), c.added), c.code) << c.name;
}

}  // namespace
}  // namespace vobu
