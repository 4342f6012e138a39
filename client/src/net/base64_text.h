#pragma once
// Standard base64 text (RFC 4648 alphabet, "=" padding).

#include <cstddef>
#include <cstdint>
#include <string>

namespace vobu {

std::string encodeBase64(const uint8_t* bytes, size_t length);

// Appends the base64 text of the bytes to `out`.
void appendBase64(const uint8_t* bytes, size_t length, std::string& out);

}  // namespace vobu
