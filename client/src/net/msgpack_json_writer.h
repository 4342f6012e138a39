#pragma once
// The fast path of the incoming message conversion: MessagePack bytes
// straight to compact JSON text, without building a JSON value first. It
// writes exactly what dumping the library's value would write (keys in
// ascending byte order, the library's number and string forms, face texts
// and base64 asset bytes), and gives up on anything unusual (malformed
// bytes, duplicate keys, binary values elsewhere, extension types, deep
// nesting, invalid UTF-8, a "type" that is not a string), leaving those to
// the slower value-building path, which then reports the exact error.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vobu {

// True with the JSON text in `out`; false when the caller must take the
// value-building path.
bool writeMessageJson(const uint8_t* bytes, size_t length, std::string& out);

}  // namespace vobu
