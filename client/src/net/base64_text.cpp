#include "net/base64_text.h"

namespace vobu {

std::string encodeBase64(const uint8_t* bytes, size_t length) {
  std::string text;
  appendBase64(bytes, length, text);
  return text;
}

void appendBase64(const uint8_t* bytes, size_t length, std::string& out) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const size_t start = out.size();
  out.resize(start + (length + 2) / 3 * 4);
  char* text = out.data() + start;
  size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    const uint32_t group = (uint32_t(bytes[i]) << 16) | (uint32_t(bytes[i + 1]) << 8) | bytes[i + 2];
    *text++ = kAlphabet[(group >> 18) & 63];
    *text++ = kAlphabet[(group >> 12) & 63];
    *text++ = kAlphabet[(group >> 6) & 63];
    *text++ = kAlphabet[group & 63];
  }
  const size_t rest = length - i;
  if (rest > 0) {
    uint32_t group = uint32_t(bytes[i]) << 16;
    if (rest == 2) group |= uint32_t(bytes[i + 1]) << 8;
    *text++ = kAlphabet[(group >> 18) & 63];
    *text++ = kAlphabet[(group >> 12) & 63];
    *text++ = rest == 2 ? kAlphabet[(group >> 6) & 63] : '=';
    *text++ = '=';
  }
}

}  // namespace vobu
