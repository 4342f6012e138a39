#pragma once
// A check of an Ogg Vorbis stream's first two header packets made before the
// decoder library sees them. The library reads the comment header's counts
// and lengths unchecked and, when they are out of range, frees pointers it
// never set on its way out; that takes the whole process down. Streams whose
// headers are not laid out as the format says are refused here instead.

#include <cstddef>
#include <cstdint>

namespace vobu {

// Largest comment header accepted: far above the few tags an encoder
// writes, and small enough that reading it can never exhaust the decoder's
// working memory.
constexpr size_t kMaxVorbisCommentBytes = 16384;

// True when the stream begins with an identification header and a comment
// header whose every length lies within the packet.
bool vorbisHeadersSafe(const uint8_t* data, size_t size);

}  // namespace vobu
