#include <filesystem>
#include <optional>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "browser/saved_servers.h"
#include "character/storage_fixture.h"
#include "support/authority_cases.h"

namespace vobu {
namespace {

using Strings = std::vector<std::string>;

TEST(SavedServers, ReadingRules) {
    std::string const long512 = "ws://" + std::string(507, 'h');  // exactly 512 bytes
    std::string const long513 = "ws://" + std::string(508, 'h');
    struct Case {
        std::string text;
        Strings servers;
        bool tookAll;  // nothing of the text would be lost by a rewrite
    };
    const Case cases[] = {
        {"", {}, false},
        {"not json", {}, false},
        {"{\"a\":\"ws://x/vobu\"}", {}, false},
        {"\"ws://x/vobu\"", {}, false},
        {"[]", {}, true},
        {"[\"ws://a/vobu\",\"wss://b/vobu\"]", {"ws://a/vobu", "wss://b/vobu"}, true},
        {"[\"ws://a/vobu\",5,\"ws://b/vobu\"]", {"ws://a/vobu"}, false},  // stops at a non-string
        {"[\"http://a/\",\"ws://b/vobu\",\"WS://c\",\"ws:/d\",\"wss://e\"]", {"ws://b/vobu", "wss://e"}, false},
        {"[\"ws://a\",\"ws://a\"]", {"ws://a", "ws://a"}, true},  // duplicates stay
        {"[\"" + long513 + "\",\"" + long512 + "\"]", {long512}, false},
        {"[\"ws://a/vobu\",null]", {"ws://a/vobu"}, false},
        {"[\"ws://a/vobu\"] trailing", {}, false},
        // A control byte is skipped like an over-long address: the transport
        // would dial only up to a zero byte.
        {"[\"ws://127.0.0.1\\u0000.evil.test/\",\"ws://c/vobu\"]", {"ws://c/vobu"}, false},
        {"[\"ws://a/\\u001f\",\"ws://a/\\u007f\",\"ws://a/\\t\"]", {}, false},
        {"[\"ws://b\\u00fccher.test/\"]",
         {"ws://b\xC3\xBC"
          "cher.test/"},
         true},
    };
    for (const Case& k : cases) {
        bool tookAll = !k.tookAll;
        EXPECT_EQ(parseSavedServers(k.text, tookAll), k.servers) << k.text.substr(0, 60);
        EXPECT_EQ(tookAll, k.tookAll) << k.text.substr(0, 60);
    }
}

TEST(SavedServers, AnAddressThatCannotBeDialledIsSkipped) {
    for (const testing::AuthorityCase& c : testing::kAuthorityCases) {
        const std::string url = std::string("wss://") + c.authority + "/vobu";
        bool tookAll = !c.dialable();
        Strings servers = parseSavedServers(nlohmann::json::array({url, "ws://next/vobu"}).dump(), tookAll);
        const Strings expected = c.dialable() ? Strings{url, "ws://next/vobu"} : Strings{"ws://next/vobu"};
        EXPECT_EQ(servers, expected) << url;
        EXPECT_EQ(tookAll, c.dialable()) << url;
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

TEST(SavedServers, NoDocumentIsBuiltThatReadsBackAsAnotherList) {
    std::string const controls = "ws://" + std::string(507, '\x01');  // 512 bytes, 3047 in JSON
    std::string const quotes = "ws://" + std::string(507, '"');       // 512 bytes, 1021 in JSON
    struct Case {
        const char* what;
        Strings servers;
        bool built;
    };
    const Case cases[] = {
        // Refused for what the reader skips; the size of such a list does not
        // matter (the size limit has a test of its own).
        {"sixteen addresses of control bytes, skipped by the reader", Strings(16, controls), false},
        {"one control byte", {"ws://a/vobu", "ws://127.0.0.1\x01x/"}, false},
        {"an address over 512 bytes", {"ws://" + std::string(508, 'h')}, false},
        {"another scheme", {"http://a/"}, false},
        {"seventeen addresses", Strings(17, "ws://a/vobu"), false},
        {"the longest list the rules allow still fits", Strings(16, quotes), true},
    };
    for (const Case& c : cases) {
        std::string out = "unchanged";
        EXPECT_EQ(buildSavedServersDocument(c.servers, out), c.built) << c.what;
        if (c.built) {
            EXPECT_LE(out.size(), kMaxServersFileBytes) << c.what;
            EXPECT_EQ(parseSavedServers(out), c.servers) << c.what;
        } else {
            EXPECT_EQ(out, "unchanged") << c.what;
        }
    }
}

TEST(SavedServers, ADocumentOverTheSizeLimitIsNotBuilt) {
    // The longest list the reader takes, sixteen addresses of 512 bytes with
    // every byte after the scheme escaped to two, stays under the file's
    // 16384-byte read; the limit is lowered to show that it is kept.
    const Strings longest(16, "ws://" + std::string(507, '"'));
    std::string out;
    ASSERT_TRUE(buildSavedServersDocument(longest, out));
    EXPECT_EQ(out.size(), 16353u);
    EXPECT_TRUE(buildSavedServersDocument(longest, out, 16353));
    out = "unchanged";
    EXPECT_FALSE(buildSavedServersDocument(longest, out, 16352));
    EXPECT_EQ(out, "unchanged");
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

// The list as a window reads it at start.
SavedServersRead readSavedServers() {
    WatchedFile file = watchedServersFile();
    return vobu::readSavedServers(file);
}

TEST_F(SavedServersFile, WrittenAndReadBack) {
    EXPECT_TRUE(readSavedServers().servers.empty());
    Strings servers = {"ws://a/vobu", "wss://b:443/game"};
    ASSERT_TRUE(writeSavedServers(servers));
    EXPECT_EQ(slurp(path + ".servers"), "[\"ws://a/vobu\",\"wss://b:443/game\"]");
    EXPECT_EQ(readSavedServers().servers, servers);
    EXPECT_FALSE(writeSavedServers({"ws://\xC0"}));
    EXPECT_FALSE(writeSavedServers(Strings(16, "ws://" + std::string(507, '\x02'))));
    EXPECT_EQ(slurp(path + ".servers"), "[\"ws://a/vobu\",\"wss://b:443/game\"]");
    EXPECT_EQ(readSavedServers().servers, servers);
}

TEST_F(SavedServersFile, AFileThatWasNotTakenWholeIsUnreadable) {
    nlohmann::json many = nlohmann::json::array();
    for (int i = 0; i < 10000; ++i)
        many.push_back("ws://10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256) + "/vobu");
    std::string padded = "[\"ws://first/vobu\"]" + std::string(20000, ' ');  // its first 16384 bytes parse
    std::string exact = "[\"ws://first/vobu\"]" + std::string(16384 - 19, ' ');
    struct Case {
        const char* what;
        std::optional<std::string> file;  // none: no file at all
        size_t servers;
        bool unreadable;
    };
    const Case cases[] = {
        {"no file", std::nullopt, 0, false},
        {"an empty file", "", 0, false},
        {"a good list", "[\"ws://a/vobu\"]", 1, false},
        {"not JSON", "ws://a/vobu", 0, true},
        {"10000 addresses", many.dump(), 0, true},
        {"a list with blanks past the read", padded, 1, true},
        {"a list of exactly 16384 bytes", exact, 1, false},
        {"an entry skipped", "[\"ws://a/vobu\",\"ftp://b/\"]", 1, true},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(path + ".servers");
        if (c.file) put(path + ".servers", *c.file);
        SavedServersRead read = readSavedServers();
        EXPECT_EQ(read.servers.size(), c.servers) << c.what;
        EXPECT_EQ(read.unreadable, c.unreadable) << c.what;
    }
}

TEST_F(SavedServersFile, OnlyTheFirst16384BytesAreRead) {
    // A valid array longer than the limit is cut and so fails to parse.
    nlohmann::json list = nlohmann::json::array();
    list.push_back("ws://first/vobu");
    list.push_back("ws://" + std::string(20000, 'p'));
    put(path + ".servers", list.dump());
    EXPECT_TRUE(readSavedServers().servers.empty());
    // Exactly 16384 bytes are read whole.
    std::string exact = "[\"ws://first/vobu\"";
    exact += std::string(16384 - exact.size() - 1, ' ') + "]";
    ASSERT_EQ(exact.size(), 16384u);
    put(path + ".servers", exact);
    EXPECT_EQ(readSavedServers().servers, Strings{"ws://first/vobu"});
}

}  // namespace
}  // namespace vobu
