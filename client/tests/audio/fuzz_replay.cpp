// Replays the checked-in corpus of the audio decoder fuzz target through the
// target's own entry function in the ordinary build.

#include "audio_fuzz_entries.h"
#include "support/fuzz_corpus_replay.h"

namespace vobu {
namespace {

TEST(AudioFuzzCorpus, AudioDecoder) { testing::replayCorpus("audio_decoder", fuzz::oggStreamHolds); }

}  // namespace
}  // namespace vobu
