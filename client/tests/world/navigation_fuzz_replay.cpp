// Replays the checked-in fuzz corpus of prepareNavigation through the fuzz
// target's own entry function in the ordinary build.

#include "navigation_fuzz_entries.h"
#include "support/fuzz_corpus_replay.h"

namespace vobu {
namespace {

TEST(NavigationFuzzCorpus, PrepareNavigation) {
    testing::replayCorpus("prepare_navigation", fuzz::prepareNavigationHolds);
}

}  // namespace
}  // namespace vobu
