// Damaged server lists: the reader never throws and keeps to its limits.
// Run under the sanitizers as well.

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "browser/saved_servers.h"
#include "support/mutate_text.h"

namespace vobu {
namespace {

using testing::mutate;

TEST(SavedServerMutations, ServerListsNeverMisbehave) {
    std::mt19937 random(11);
    std::string const seed = "[\"ws://a:1/vobu\",\"wss://b/vobu\",\"ws://c/d\"]";
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::string> servers;
        ASSERT_NO_THROW(servers = parseSavedServers(mutate(seed, random)));
        ASSERT_LE(servers.size(), 16u);
        for (const std::string& s : servers) {
            ASSERT_TRUE(s.rfind("ws://", 0) == 0 || s.rfind("wss://", 0) == 0) << s;
        }
    }
}

}  // namespace
}  // namespace vobu
