#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "character/saved_servers.h"
#include "storage_fixture.h"

namespace vobu {
namespace {

using Strings = std::vector<std::string>;

TEST(SavedServers, ReadingRules) {
    std::string const long512 = "ws://" + std::string(507, 'h');  // exactly 512 bytes
    std::string const long513 = "ws://" + std::string(508, 'h');
    struct Case {
        std::string text;
        Strings servers;
    };
    const Case cases[] = {
        {"", {}},
        {"not json", {}},
        {"{\"a\":\"ws://x/vobu\"}", {}},
        {"\"ws://x/vobu\"", {}},
        {"[]", {}},
        {"[\"ws://a/vobu\",\"wss://b/vobu\"]", {"ws://a/vobu", "wss://b/vobu"}},
        {"[\"ws://a/vobu\",5,\"ws://b/vobu\"]", {"ws://a/vobu"}},  // stops at a non-string
        {"[\"http://a/\",\"ws://b/vobu\",\"WS://c\",\"ws:/d\",\"wss://e\"]", {"ws://b/vobu", "wss://e"}},
        {"[\"ws://a\",\"ws://a\"]", {"ws://a", "ws://a"}},  // duplicates stay
        {"[\"" + long513 + "\",\"" + long512 + "\"]", {long512}},
        {"[\"ws://a/vobu\",null]", {"ws://a/vobu"}},
        {"[\"ws://a/vobu\"] trailing", {}},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(parseSavedServers(k.text), k.servers) << k.text.substr(0, 60);
    }
}

TEST(SavedServers, AtMostSixteenAreTaken) {
    nlohmann::json list = nlohmann::json::array();
    list.push_back("ftp://skipped");
    for (int i = 0; i < 20; ++i) list.push_back("ws://host" + std::to_string(i) + "/vobu");
    list.push_back(7);
    Strings servers = parseSavedServers(list.dump());
    ASSERT_EQ(servers.size(), 16u);
    EXPECT_EQ(servers.front(), "ws://host0/vobu");
    EXPECT_EQ(servers.back(), "ws://host15/vobu");
}

TEST(SavedServers, DocumentIsCompact) {
    std::string out = "unchanged";
    ASSERT_TRUE(buildSavedServersDocument({"ws://a:1/vobu", "wss://b/x y"}, out));
    EXPECT_EQ(out, "[\"ws://a:1/vobu\",\"wss://b/x y\"]");
    ASSERT_TRUE(buildSavedServersDocument({}, out));
    EXPECT_EQ(out, "[]");
    EXPECT_FALSE(buildSavedServersDocument({"ws://\xFF"}, out));
}

using SavedServersFile = testing::StorageTest;

TEST_F(SavedServersFile, WrittenAndReadBack) {
    EXPECT_TRUE(readSavedServers().empty());
    Strings servers = {"ws://a/vobu", "wss://b:443/game"};
    ASSERT_TRUE(writeSavedServers(servers));
    EXPECT_EQ(slurp(path + ".servers"), "[\"ws://a/vobu\",\"wss://b:443/game\"]");
    EXPECT_EQ(readSavedServers(), servers);
    EXPECT_FALSE(writeSavedServers({"ws://\xC0"}));
    EXPECT_EQ(readSavedServers(), servers);
}

TEST_F(SavedServersFile, OnlyTheFirst16384BytesAreRead) {
    // A valid array longer than the limit is cut and so fails to parse.
    nlohmann::json list = nlohmann::json::array();
    list.push_back("ws://first/vobu");
    list.push_back("ws://" + std::string(20000, 'p'));
    put(path + ".servers", list.dump());
    EXPECT_TRUE(readSavedServers().empty());
    // Exactly 16384 bytes are read whole.
    std::string exact = "[\"ws://first/vobu\"";
    exact += std::string(16384 - exact.size() - 1, ' ') + "]";
    ASSERT_EQ(exact.size(), 16384u);
    put(path + ".servers", exact);
    EXPECT_EQ(readSavedServers(), Strings{"ws://first/vobu"});
}

}  // namespace
}  // namespace vobu
