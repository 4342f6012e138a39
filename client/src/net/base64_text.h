#pragma once
// Standard base64 text (RFC 4648 alphabet, "=" padding).

#include <cstddef>
#include <cstdint>
#include <string>

namespace vobu {

std::string encodeBase64(const uint8_t* bytes, size_t length);

}  // namespace vobu
