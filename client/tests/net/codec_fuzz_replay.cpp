// Replays the checked-in corpus of the message codec fuzz target through
// the target's own entry function in the ordinary build.

#include "net_codec_fuzz_entries.h"
#include "support/fuzz_corpus_replay.h"

namespace vobu {
namespace {

TEST(NetCodecFuzzCorpus, EveryEntryHolds) { testing::replayCorpus("net_codec", fuzz::messageCodecHolds, 11); }

}  // namespace
}  // namespace vobu
