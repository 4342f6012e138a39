// Replays the checked-in fuzz corpora of the character readers through the
// fuzz targets' own entry functions in the ordinary build.

#include "character_fuzz_entries.h"
#include "support/fuzz_corpus_replay.h"

namespace vobu {
namespace {

using testing::replayCorpus;

TEST(CharacterFuzzCorpus, CharacterDocument) { replayCorpus("character_document", fuzz::characterDocumentHolds); }
TEST(CharacterFuzzCorpus, FaceText) { replayCorpus("face_text", fuzz::faceTextHolds); }

}  // namespace
}  // namespace vobu
