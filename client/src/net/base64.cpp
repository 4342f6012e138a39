#include "net/base64.h"

#include <array>
#include <stdexcept>

namespace vobu {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int8_t kNotInAlphabet = -1;

constexpr std::array<int8_t, 256> makeDecodeTable() {
    std::array<int8_t, 256> table{};
    for (auto& value : table) value = kNotInAlphabet;
    for (int i = 0; i < 64; ++i) table[uint8_t(kAlphabet[i])] = int8_t(i);
    return table;
}

constexpr std::array<int8_t, 256> kDecode = makeDecodeTable();

[[noreturn]] void fail(const char* code) { throw std::runtime_error(code); }

int valueOf(char c) { return kDecode[uint8_t(c)]; }

int alphabetValue(char c) {
    const int value = valueOf(c);
    if (value == kNotInAlphabet) fail("ERR_BAD_ASSET_BASE64");
    return value;
}

}  // namespace

std::vector<uint8_t> decodeAssetBase64(const std::string& text, uint32_t maxBytes) {
    const uint64_t maxChars = 4 * ((uint64_t(maxBytes) + 2) / 3);
    if (text.empty() || text.size() > maxChars || text.size() % 4 != 0) fail("ERR_BAD_ASSET_CHUNK");

    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (size_t at = 0; at < text.size(); at += 4) {
        const bool lastGroup = at + 4 == text.size();
        const int first = alphabetValue(text[at]);
        const int second = alphabetValue(text[at + 1]);
        const char third = text[at + 2];
        const char fourth = text[at + 3];
        if (third == '=' && fourth != '=') fail("ERR_BAD_ASSET_PADDING");
        if ((third == '=' || fourth == '=') && !lastGroup) fail("ERR_BAD_ASSET_PADDING");
        if (third == '=') {
            if ((second & 0x0F) != 0) fail("ERR_BAD_ASSET_PADDING");
            bytes.push_back(uint8_t((first << 2) | (second >> 4)));
        } else if (fourth == '=') {
            const int thirdValue = alphabetValue(third);
            if ((thirdValue & 0x03) != 0) fail("ERR_BAD_ASSET_PADDING");
            bytes.push_back(uint8_t((first << 2) | (second >> 4)));
            bytes.push_back(uint8_t(((second & 0x0F) << 4) | (thirdValue >> 2)));
        } else {
            const int thirdValue = alphabetValue(third);
            const int fourthValue = alphabetValue(fourth);
            bytes.push_back(uint8_t((first << 2) | (second >> 4)));
            bytes.push_back(uint8_t(((second & 0x0F) << 4) | (thirdValue >> 2)));
            bytes.push_back(uint8_t(((thirdValue & 0x03) << 6) | fourthValue));
        }
    }
    if (bytes.size() > maxBytes) fail("ERR_BAD_ASSET_CHUNK");
    return bytes;
}

std::string encodeBase64(const uint8_t* bytes, size_t length) {
    std::string text;
    appendBase64(bytes, length, text);
    return text;
}

void appendBase64(const uint8_t* bytes, size_t length, std::string& out) {
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
