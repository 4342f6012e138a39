// Replays the checked-in corpora of the title screen's fuzz targets through
// the targets' own entry functions in the ordinary build.

#include "browser_fuzz_entries.h"
#include "support/fuzz_corpus_replay.h"

namespace vobu {
namespace {

using testing::replayCorpus;

TEST(BrowserFuzzCorpus, DirectoryReply) { replayCorpus("directory_reply", fuzz::directoryReplyHolds); }
TEST(BrowserFuzzCorpus, SavedServers) { replayCorpus("saved_servers", fuzz::savedServersHold); }
TEST(BrowserFuzzCorpus, AddressRules) { replayCorpus("address_rules", fuzz::addressRulesHold); }

}  // namespace
}  // namespace vobu
