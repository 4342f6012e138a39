#include "character/face_codec.h"

#include <algorithm>
#include <stdexcept>

namespace vobu {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr size_t kRunChars = 10;

int lowercaseHexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

void appendHex(std::string& out, uint32_t value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        out.push_back(kHexDigits[(value >> shift) & 0xF]);
    }
}

// round(level * 255 / max) with halves away from zero, in integers.
int scaleLevel(int level, int max) { return (level * 255 * 2 + max) / (2 * max); }

}  // namespace

uint32_t parseHexDigits(const std::string& text, size_t offset, size_t count) {
    if (offset > text.size() || count > text.size() - offset) {
        throw std::runtime_error("Truncated color data");
    }
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) {
        int digit = lowercaseHexValue(text[offset + i]);
        if (digit < 0) {
            throw std::runtime_error("Invalid color data");
        }
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return value;
}

uint32_t packRgb(int r, int g, int b) {
    auto channel = [](int v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
    return (channel(r) << 16) | (channel(g) << 8) | channel(b);
}

uint32_t expandRgb332(uint8_t index) {
    int r3 = (index >> 5) & 7;
    int g3 = (index >> 2) & 7;
    int b2 = index & 3;
    return packRgb(scaleLevel(r3, 7), scaleLevel(g3, 7), b2 * 85);
}

Color colorFromRgb(uint32_t rgb) {
    return Color{static_cast<float>((rgb >> 16) & 0xFF) / 255.0f, static_cast<float>((rgb >> 8) & 0xFF) / 255.0f,
                 static_cast<float>(rgb & 0xFF) / 255.0f};
}

std::string hexColor(uint32_t rgb) {
    std::string out;
    out.reserve(6);
    appendHex(out, rgb & 0xFFFFFF, 6);
    return out;
}

bool parseHexColor(const std::string& text, uint32_t& out) {
    std::string digits = text;
    if (!digits.empty() && digits[0] == '#') {
        digits.erase(0, 1);
    }
    if (digits.size() != 6) {
        return false;
    }
    for (char& c : digits) {
        if (c >= 'A' && c <= 'F') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    try {
        out = parseHexDigits(digits, 0, 6);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string encodeFacePlain(const std::vector<uint32_t>& texels) {
    std::string out;
    out.reserve(texels.size() * 6);
    for (uint32_t texel : texels) {
        appendHex(out, texel & 0xFFFFFF, 6);
    }
    return out;
}

std::vector<uint32_t> decodeFacePlain(const std::string& text, uint32_t count, bool legacy) {
    const size_t digits = legacy ? 2 : 6;
    if (count > kMaxFaceTexels || text.size() != static_cast<size_t>(count) * digits) {
        throw std::runtime_error("Invalid face dimensions");
    }
    std::vector<uint32_t> texels(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t value = parseHexDigits(text, i * digits, digits);
        texels[i] = legacy ? expandRgb332(static_cast<uint8_t>(value)) : value;
    }
    return texels;
}

std::string encodeFace(const std::vector<uint32_t>& texels) {
    std::string runs = "r";
    const size_t plainLength = texels.size() * 6 + 1;
    size_t i = 0;
    while (i < texels.size() && runs.size() < plainLength) {
        const uint32_t color = texels[i] & 0xFFFFFF;
        size_t length = 1;
        while (i + length < texels.size() && length < kMaxColorRun && (texels[i + length] & 0xFFFFFF) == color) {
            ++length;
        }
        appendHex(runs, static_cast<uint32_t>(length), 4);
        appendHex(runs, color, 6);
        i += length;
    }
    // Stopping early once the run form is no shorter keeps the work bounded
    // for noisy faces; the plain form wins then anyway.
    if (i == texels.size() && runs.size() < plainLength) {
        return runs;
    }
    return "p" + encodeFacePlain(texels);
}

std::vector<uint32_t> decodeFace(const std::string& text, uint32_t count) {
    if (count > kMaxFaceTexels || text.empty()) {
        throw std::runtime_error("Invalid face encoding");
    }
    if (text[0] == 'p') {
        return decodeFacePlain(text.substr(1), count, false);
    }
    if (text[0] != 'r' || text.size() % kRunChars != 1) {
        throw std::runtime_error("Invalid face encoding");
    }
    std::vector<uint32_t> texels;
    texels.reserve(count);
    for (size_t offset = 1; offset < text.size(); offset += kRunChars) {
        uint32_t length = parseHexDigits(text, offset, 4);
        uint32_t color = parseHexDigits(text, offset + 4, 6);
        if (length == 0 || length > count - texels.size()) {
            throw std::runtime_error("Invalid color run");
        }
        texels.insert(texels.end(), length, color);
    }
    if (texels.size() != count) {
        throw std::runtime_error("Truncated face");
    }
    return texels;
}

}  // namespace vobu
