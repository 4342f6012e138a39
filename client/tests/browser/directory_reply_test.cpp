// The two readers of the directory reply at every limit and one past it,
// and the browser's handling of what they accept and refuse.

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "browser/directory_reply.h"
#include "browser_fixture.h"
#include "net/message_codec.h"
#include "support/authority_cases.h"
#include "support/log_capture.h"

namespace vobu::testing {
namespace {

using nlohmann::json;

// The JSON text the client sees for a reply: through MessagePack and back,
// as the transport hands it over.
std::string asReceived(const json& reply) {
    std::string packed = encodeMessage(reply.dump());
    return decodeMessage(reinterpret_cast<const uint8_t*>(packed.data()), packed.size());
}

json servers(int count, const std::string& url = "") {
    json list = json::array();
    for (int i = 0; i < count; ++i)
        list.push_back({{"title", "Server " + std::to_string(i)}, {"motd", "hello"}, {"url", url}});
    return list;
}

json reply(json list) { return json{{"type", "directory"}, {"servers", std::move(list)}}; }

// A received reply of exactly `bytes` bytes, its servers' messages padded.
std::string replyOfBytes(size_t bytes) {
    json list = servers(32, "ws://s.test/vobu");
    std::string text = asReceived(reply(list));
    size_t missing = bytes - text.size();
    for (json& server : list) {
        size_t add = std::min<size_t>(missing, kMaxServerMotdBytes - 5);
        server["motd"] = std::string("hello") + std::string(add, 'm');
        missing -= add;
    }
    text = asReceived(reply(list));
    EXPECT_EQ(text.size(), bytes);
    return text;
}

std::string errorOf(const std::string& text) {
    try {
        readDirectoryReply(text.data(), text.size(), kDirectoryUrl);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

std::string infoErrorOf(const std::string& text) {
    try {
        readServerInfoReply(text.data(), text.size());
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

json withField(const char* key, const std::string& value) {
    json list = servers(1, "ws://a.test/vobu");
    list[0][key] = value;
    return reply(list);
}

TEST(DirectoryReply, LimitsAndTheFirstValuePastThem) {
    struct Case {
        const char* what;
        std::string text;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"16384 bytes", replyOfBytes(16384), ""},
        {"16385 bytes", replyOfBytes(16385), "ERR_DIRECTORY_BYTES"},
        {"32 servers", asReceived(reply(servers(32))), ""},
        {"33 servers", asReceived(reply(servers(33))), "ERR_DIRECTORY"},
        {"title 320", asReceived(withField("title", std::string(320, 't'))), ""},
        {"title 321", asReceived(withField("title", std::string(321, 't'))), "ERR_DIRECTORY_BYTES"},
        {"motd 640", asReceived(withField("motd", std::string(640, 'm'))), ""},
        {"motd 641", asReceived(withField("motd", std::string(641, 'm'))), "ERR_DIRECTORY_BYTES"},
        {"url 512", asReceived(withField("url", "ws://" + std::string(507, 'u'))), ""},
        {"url 513", asReceived(withField("url", "ws://" + std::string(508, 'u'))), "ERR_DIRECTORY_BYTES"},
        {"http url", asReceived(withField("url", "http://a.test/vobu")), "ERR_DIRECTORY_URL"},
        {"upper-case scheme", asReceived(withField("url", "WS://a.test/vobu")), "ERR_DIRECTORY_URL"},
        {"bare host", asReceived(withField("url", "a.test:1234")), "ERR_DIRECTORY_URL"},
        {"zero byte in the host", asReceived(withField("url", std::string("ws://127.0.0.1\0.evil.test/", 26))),
         "ERR_DIRECTORY_URL"},
        {"escape byte", asReceived(withField("url", "ws://a.test/\x1b[2J")), "ERR_DIRECTORY_URL"},
        {"DEL byte", asReceived(withField("url", "ws://a.test/\x7f")), "ERR_DIRECTORY_URL"},
        {"non-ASCII host",
         asReceived(withField("url",
                              "ws://b\xC3\xBC"
                              "cher.test/vobu")),
         ""},
        {"servers not an array", R"({"servers":{},"type":"directory"})", "ERR_DIRECTORY"},
        {"servers missing", R"({"type":"directory"})", "key 'servers' not found"},
        {"title a number", R"({"servers":[{"motd":"","title":5,"url":""}],"type":"directory"})", "type_error"},
        {"not JSON", "{\"type\":", "parse_error"},
    };
    for (const Case& c : cases) {
        std::string error = errorOf(c.text);
        if (c.error.empty()) {
            EXPECT_EQ(error, "") << c.what;
        } else {
            EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
        }
    }
}

TEST(DirectoryReply, AnEntryWithAnAddressThatCannotBeDialledRefusesTheReply) {
    for (const AuthorityCase& c : kAuthorityCases) {
        const std::string url = std::string("ws://") + c.authority + "/vobu";
        std::string error = errorOf(asReceived(withField("url", url)));
        EXPECT_EQ(error, c.dialable() ? "" : "ERR_DIRECTORY_URL") << url;
    }
}

TEST(DirectoryReply, EmptyUrlStandsForTheDirectoryAndOtherTypesAreIgnored) {
    std::string text = asReceived(reply(servers(2)));
    auto entries = readDirectoryReply(text.data(), text.size(), kDirectoryUrl);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 2u);
    EXPECT_EQ((*entries)[0].url, kDirectoryUrl);
    auto fromDefault = readDirectoryReply(text.data(), text.size(), "");
    EXPECT_EQ((*fromDefault)[1].url, "");

    for (const char* other : {R"({"type":"challenge","servers":[]})", R"({"servers":[]})", R"({"type":"Directory"})"})
        EXPECT_FALSE(readDirectoryReply(other, strlen(other), kDirectoryUrl)) << other;
}

TEST(ServerInfoReply, LimitsAndTheEntryWithAnEmptyUrl) {
    json mixed = servers(3, "ws://other.test/vobu");
    mixed[1]["url"] = "";
    mixed[1]["title"] = "Me";
    mixed[2]["title"] = 5;  // after the answer: never looked at
    std::string text = asReceived(reply(mixed));
    auto info = readServerInfoReply(text.data(), text.size());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->title, "Me");

    EXPECT_EQ(infoErrorOf(asReceived(reply(servers(2, "ws://x.test/vobu")))), "ERR_DIRECTORY");
    EXPECT_EQ(infoErrorOf(asReceived(reply(servers(33)))), "ERR_DIRECTORY");
    EXPECT_EQ(infoErrorOf(replyOfBytes(16385)), "ERR_DIRECTORY_BYTES");
    json own = servers(1);
    own[0]["title"] = std::string(320, 't');
    own[0]["motd"] = std::string(640, 'm');
    EXPECT_EQ(infoErrorOf(asReceived(reply(own))), "");
    own[0]["title"] = std::string(321, 't');
    EXPECT_EQ(infoErrorOf(asReceived(reply(own))), "ERR_DIRECTORY_BYTES");
    own[0]["title"] = "t";
    own[0]["motd"] = std::string(641, 'm');
    EXPECT_EQ(infoErrorOf(asReceived(reply(own))), "ERR_DIRECTORY_BYTES");
    const char* other = R"({"type":"challenge"})";
    EXPECT_FALSE(readServerInfoReply(other, strlen(other)));
}

TEST(DirectoryReply, ARefusalNamesTheEntryItCameFrom) {
    const std::string longUrl = "ws://[::1]:1/" + std::string(100, 'p');
    const struct {
        const char* what;
        int entry;  // 0-based, of three
        const char* key;
        json value;
        std::string said;  // the whole text, or its start when `prefix`
        bool prefix;
    } cases[] = {
        {"bracketed host", 1, "url", "ws://[::1]:1/vobu",
         R"(entry 2 of 3 has an address that cannot be dialled (its host is in brackets (an IPv6 address), )"
         R"(which cannot be dialled): "ws://[::1]:1/vobu")",
         false},
        {"port", 0, "url", "ws://h:99999/vobu",
         R"(entry 1 of 3 has an address that cannot be dialled (its port is not a number from 1 to 65535): )"
         R"("ws://h:99999/vobu")",
         false},
        {"scheme", 2, "url", "ftp://h/",
         R"(entry 3 of 3 has an address that cannot be dialled (it does not begin with ws:// or wss://): "ftp://h/")",
         false},
        {"control bytes, cut", 2, "url", longUrl + "\n",
         "entry 3 of 3 has an address that cannot be dialled (it holds a control byte): \"" + longUrl.substr(0, 96) +
             "\"...",
         false},
        {"escaped", 0, "url", "ws://h/\r\n\"",
         R"(entry 1 of 3 has an address that cannot be dialled (it holds a control byte): "ws://h/\x0d\x0a\"")", false},
        {"long title", 2, "title", std::string(321, 't'), "entry 3 of 3: ERR_DIRECTORY_BYTES", false},
        {"title of another type", 1, "title", 5, "entry 2 of 3: [json.exception.type_error", true},
    };
    for (const auto& c : cases) {
        json list = servers(3, "ws://s.test/vobu");
        list[c.entry][c.key] = c.value;
        const std::string text = asReceived(reply(list));
        std::string said;
        try {
            readDirectoryReply(text.data(), text.size(), kDirectoryUrl);
        } catch (const std::exception& e) {
            said = describeDirectoryRefusal(e);
        }
        if (c.prefix) {
            EXPECT_EQ(said.rfind(c.said, 0), 0u) << c.what << ": " << said;
        } else {
            EXPECT_EQ(said, c.said) << c.what;
        }
    }
    // A fault of the reply as a whole names no entry.
    for (const std::string& whole : {replyOfBytes(16385), asReceived(reply(servers(33)))}) {
        try {
            readDirectoryReply(whole.data(), whole.size(), kDirectoryUrl);
            ADD_FAILURE() << "taken";
        } catch (const std::exception& e) {
            EXPECT_EQ(describeDirectoryRefusal(e).find("entry"), std::string::npos) << describeDirectoryRefusal(e);
        }
    }
}

TEST_F(BrowserTest, ARefusedDirectoryReplyIsLoggedInOneLineAndAGoodOneNot) {
    LogCapture log;
    start();
    directoryAnswers({{"A", "a", "ws://a.test/vobu"}});
    EXPECT_EQ(log.count("Directory reply refused"), 0);
    ASSERT_EQ(browser.rows.size(), 1u);

    browser.refresh();
    directoryAnswers({{"A", "a", "ws://a.test/vobu"}, {"B", "b", "ws://[::1]:8080/vobu"}});
    EXPECT_TRUE(browser.rows.empty());
    ASSERT_EQ(log.count("Directory reply refused"), 1);
    EXPECT_EQ(log.lines.back(),
              R"(Directory reply refused: entry 2 of 2 has an address that cannot be dialled (its host is in brackets )"
              R"((an IPv6 address), which cannot be dialled): "ws://[::1]:8080/vobu")");
    // The refusal closed the line: what the server sends after it is not read.
    net.directory().serverSends(directoryReply({{"C", "c", "ws://[::1]/vobu"}}));
    frame();
    EXPECT_EQ(log.count("Directory reply refused"), 1);
}

// The browser keeps nothing of a refused reply and closes the directory.
TEST_F(BrowserTest, RefusedDirectoryReplyEmptiesTheDirectoryRowsAndCloses) {
    start({"ws://saved.test/vobu"});
    directoryAnswers({{"A", "a", "ws://a.test/vobu"}});
    ASSERT_EQ(browser.rows.size(), 2u);
    net.directory().serverSends(replyOfBytes(16385));
    frame();
    ASSERT_EQ(browser.rows.size(), 1u);
    EXPECT_EQ(browser.rows[0].url, "ws://saved.test/vobu");
    EXPECT_EQ(net.directory().closes, 1);
}

TEST_F(BrowserTest, DirectoryIsAskedWithTheExactRequestOnOpen) {
    start();
    net.directory().serverOpens();
    frame();
    ASSERT_EQ(net.directory().connects, std::vector<std::string>{kDirectoryUrl});
    EXPECT_EQ(net.directory().sent, std::vector<std::string>{R"({"type":"directory"})"});
}

// A server that answers like a web server (reply, then hang up) keeps its
// list; a hang-up before any good reply still clears it.
TEST_F(BrowserTest, DirectoryThatAnswersThenClosesKeepsItsEntries) {
    start();
    net.directory().serverOpens();
    net.directory().serverSends(directoryReply({{"A", "a", "ws://a.test/vobu"}, {"B", "b", ""}}));
    net.directory().serverCloses();
    frame();
    ASSERT_EQ(browser.rows.size(), 2u);
    EXPECT_EQ(browser.rows[1].url, kDirectoryUrl);

    browser.refresh();  // a fresh request forgets the list until it answers
    EXPECT_TRUE(browser.rows.empty());
    net.directory().serverOpens();
    net.directory().serverSends(R"({"type":"challenge"})");
    net.directory().serverCloses();
    frame();
    EXPECT_TRUE(browser.rows.empty());
}

TEST_F(BrowserTest, BadLaterDirectoryReplyClearsTheList) {
    start();
    directoryAnswers({{"A", "a", "ws://a.test/vobu"}});
    ASSERT_EQ(browser.rows.size(), 1u);
    browser.refresh();
    directoryAnswers({{"A", "a", "ws://a.test/vobu"}});
    net.directory().serverSends(asReceived(reply(servers(33))));  // a bad later reply
    frame();
    EXPECT_TRUE(browser.rows.empty());
}

TEST_F(BrowserTest, SavedAddressAlsoInTheDirectoryIsListedOnceWithTheDirectoryTitle) {
    start({"ws://a.test/vobu", "ws://b.test/vobu", "ws://a.test/vobu"});
    directoryAnswers({{"Dir A", "from the directory", "ws://a.test/vobu"}});
    ASSERT_EQ(browser.rows.size(), 2u);
    EXPECT_EQ(browser.rows[0].title, "Dir A");
    EXPECT_EQ(browser.rows[1].title, "ws://b.test/vobu");
    EXPECT_EQ(browser.rows[1].motd, "");
}

}  // namespace
}  // namespace vobu::testing
