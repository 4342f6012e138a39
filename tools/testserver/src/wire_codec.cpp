#include "wire_codec.h"

#include <stdexcept>

namespace vobu::testserver {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool isFaceText(const std::string& text) {
    if (text.empty() || (text[0] != 'p' && text[0] != 'r') || text.size() % 2 == 0) {
        return false;
    }
    for (size_t i = 1; i < text.size(); ++i) {
        if (hexDigit(text[i]) < 0) {
            return false;
        }
    }
    return true;
}

json* characterFaces(json& root) {
    if (!root.is_object()) {
        return nullptr;
    }
    auto character = root.find("character");
    if (character == root.end() || !character->is_object()) {
        return nullptr;
    }
    auto faces = character->find("faces");
    if (faces == character->end() || !faces->is_array()) {
        return nullptr;
    }
    return &*faces;
}

}  // namespace

void facesToBinary(json& faces) {
    for (auto& face : faces) {
        if (!face.is_string() || !isFaceText(face.get_ref<const std::string&>())) {
            continue;
        }
        const std::string& text = face.get_ref<const std::string&>();
        std::vector<uint8_t> bytes;
        bytes.reserve(1 + text.size() / 2);
        bytes.push_back(static_cast<uint8_t>(text[0]));
        for (size_t i = 1; i + 1 < text.size(); i += 2) {
            bytes.push_back(static_cast<uint8_t>(hexDigit(text[i]) * 16 + hexDigit(text[i + 1])));
        }
        face = json::binary(std::move(bytes));
    }
}

void facesToText(json& faces) {
    static const char* digits = "0123456789abcdef";
    for (auto& face : faces) {
        if (!face.is_binary()) {
            continue;
        }
        const auto& bytes = face.get_binary();
        if (bytes.empty()) {
            throw std::runtime_error("empty binary face");
        }
        std::string text(1, static_cast<char>(bytes[0]));
        for (size_t i = 1; i < bytes.size(); ++i) {
            text += digits[bytes[i] >> 4];
            text += digits[bytes[i] & 15];
        }
        face = text;
    }
}

std::string encodeServerMessage(json message) {
    if (json* faces = characterFaces(message)) {
        facesToBinary(*faces);
    }
    std::vector<uint8_t> bytes = json::to_msgpack(message);
    return std::string(bytes.begin(), bytes.end());
}

json decodeClientMessage(const std::string& bytes) {
    json root = json::from_msgpack(bytes, true, true);
    if (!root.is_object()) {
        throw std::runtime_error("not a map");
    }
    if (json* faces = characterFaces(root)) {
        facesToText(*faces);
    }
    return root;
}

std::string toHex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text;
}

json withBinaryAsHex(const json& value) {
    if (value.is_binary()) {
        const auto& bytes = value.get_binary();
        return toHex(std::string(bytes.begin(), bytes.end()));
    }
    if (value.is_object()) {
        json out = json::object();
        for (auto it = value.begin(); it != value.end(); ++it) {
            out[it.key()] = withBinaryAsHex(it.value());
        }
        return out;
    }
    if (value.is_array()) {
        json out = json::array();
        for (const auto& element : value) {
            out.push_back(withBinaryAsHex(element));
        }
        return out;
    }
    return value;
}

json binaryValue(const std::vector<uint8_t>& bytes) { return json::binary(std::vector<uint8_t>(bytes)); }

json binaryValue(const uint8_t* bytes, size_t size) { return json::binary(std::vector<uint8_t>(bytes, bytes + size)); }

}  // namespace vobu::testserver
