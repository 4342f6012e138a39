// The one reading of an address's authority, the words the connection's
// refusals are logged with, and how an address is quoted in a log line.

#include <gtest/gtest.h>

#include <string>

#include "net/server_address.h"
#include "net/server_authority.h"
#include "support/authority_cases.h"

namespace vobu {
namespace {

using testing::AuthorityCase;
using testing::kAuthorityCases;

TEST(ServerAuthority, SplitsTheAuthorityAtItsFirstColon) {
    struct Case {
        const char* address;
        const char* text;
        const char* host;
        const char* port;
        AuthorityFault fault;
    };
    const Case cases[] = {
        {"ws://example.org:8080/vobu", "example.org:8080", "example.org", "8080", AuthorityFault::None},
        {"wss://example.org", "example.org", "example.org", "", AuthorityFault::None},
        {"example.org:80", "example.org:80", "example.org", "80", AuthorityFault::None},  // no "://"
        // Only up to the first "/": the path may hold what the authority may not.
        {"ws://h/a:99999/[::1]", "h", "h", "", AuthorityFault::None},
        {"ws://h:1/x://y:0", "h:1", "h", "1", AuthorityFault::None},
        {"ws:///p", "", "", "", AuthorityFault::None},  // no host: the name lookup's to refuse
        {"ws://h:/p", "h:", "h", "", AuthorityFault::BadPort},
        {"ws://h:1:2/p", "h:1:2", "h", "1:2", AuthorityFault::BadPort},
        {"ws://[::1]:8080/vobu", "[::1]:8080", "[", ":1]:8080", AuthorityFault::BracketedHost},
        {"ws://[v1.x]/vobu", "[v1.x]", "[v1.x]", "", AuthorityFault::BracketedHost},
    };
    for (const Case& c : cases) {
        const ServerAuthority read = readServerAuthority(c.address);
        EXPECT_EQ(read.text, c.text) << c.address;
        EXPECT_EQ(read.host, c.host) << c.address;
        EXPECT_EQ(read.port, c.port) << c.address;
        EXPECT_EQ(read.fault, c.fault) << c.address;
    }
}

TEST(ServerAuthority, FindsTheFaultOfEveryAuthorityAloneOrInAnAddress) {
    for (const AuthorityCase& c : kAuthorityCases) {
        const std::string authority = c.authority;
        for (const std::string& address : {authority, "ws://" + authority, "wss://" + authority + "/vobu"}) {
            const ServerAuthority read = readServerAuthority(address);
            EXPECT_EQ(read.fault, c.fault) << address;
            EXPECT_EQ(read.dialable(), c.dialable()) << address;
            EXPECT_EQ(read.text, authority) << address;
        }
    }
}

TEST(ServerAddressFault, SaysWhyTheConnectionRefusesAnAddress) {
    const struct {
        std::string url;
        std::string fault;
    } cases[] = {
        {"", ""},  // the default server
        {"ws://127.0.0.1:65535/vobu", ""},
        {"wss://host.test", ""},
        {"ws://127.0.0.1:99999/vobu", "its port is not a number from 1 to 65535"},
        {"ws://host:/vobu", "its port is not a number from 1 to 65535"},
        {"ws://[::1]:8080/vobu", "its host is in brackets (an IPv6 address), which cannot be dialled"},
        {"http://host.test/", "it does not begin with ws:// or wss://"},
        {"WS://host.test/", "it does not begin with ws:// or wss://"},
        {"host.test:80", "it does not begin with ws:// or wss://"},
        {"ws://host.test/\n", "it holds a control byte"},
        {"ws://[::1]/\x7f", "it holds a control byte"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(serverAddressFault(c.url), c.fault) << ::testing::PrintToString(c.url);
        // The connection refuses exactly what has a fault.
        if (c.fault.empty()) {
            EXPECT_NO_THROW(parseServerAddress(c.url)) << c.url;
        } else {
            EXPECT_THROW(parseServerAddress(c.url), std::runtime_error) << ::testing::PrintToString(c.url);
        }
    }
}

TEST(QuotedAddress, EscapesAndCutsWhatALogLineCannotShow) {
    const std::string long100 = "ws://" + std::string(95, 'a');
    const struct {
        std::string text;
        std::string quoted;
    } cases[] = {
        {"ws://h/vobu", R"("ws://h/vobu")"},
        {"", R"("")"},
        {"ws://h/\r\n\x1b[2J\x7f", R"("ws://h/\x0d\x0a\x1b[2J\x7f")"},
        {R"(ws://h/"x"\)", R"("ws://h/\"x\"\\")"},
        {std::string("ws://h\0x", 8), R"("ws://h\x00x")"},
        {"ws://b\xC3\xBC"
         "cher",
         "\"ws://b\xC3\xBC"
         "cher\""},
        {long100.substr(0, 96), "\"" + long100.substr(0, 96) + "\""},
        {long100, "\"" + long100.substr(0, 96) + "\"..."},
        // A cut inside a two-byte character drops all of it.
        {std::string(95, 'a') + "\xC3\xBC" + "z", "\"" + std::string(95, 'a') + "\"..."},
    };
    for (const auto& c : cases) EXPECT_EQ(quotedAddress(c.text), c.quoted) << ::testing::PrintToString(c.text);
}

}  // namespace
}  // namespace vobu
