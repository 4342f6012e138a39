#include "net/message_codec.h"

#include "net/base64.h"
#include "net/msgpack_json_writer.h"

#include <stdexcept>
#include <utility>
#include <vector>

namespace vobu {

namespace {

using json = nlohmann::json;

// Builds the value like the library's own DOM reader, but refuses to go
// deeper than kMaxMessageDepth: returning false stops the reader before it
// recurses into the next level.
class DepthLimitedBuilder {
public:
    bool tooDeep() const { return tooDeep_; }
    json& result() { return root_; }

    bool null() { return add(nullptr); }
    bool boolean(bool value) { return add(value); }
    bool number_integer(json::number_integer_t value) { return add(value); }
    bool number_unsigned(json::number_unsigned_t value) { return add(value); }
    bool number_float(json::number_float_t value, const json::string_t&) { return add(value); }
    bool string(json::string_t& value) { return add(std::move(value)); }
    bool binary(json::binary_t& value) { return add(json(std::move(value))); }

    bool start_object(std::size_t) { return open(json::object()); }
    bool start_array(std::size_t) { return open(json::array()); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }

    bool key(json::string_t& name) {
        objectSlot_ = &(*open_.back())[name];
        return true;
    }

    template <class Exception>
    bool parse_error(std::size_t, const std::string&, const Exception& error) {
        throw error;
    }

private:
    template <class Value>
    json* place(Value&& value) {
        if (open_.empty()) {
            root_ = json(std::forward<Value>(value));
            return &root_;
        }
        json* parent = open_.back();
        if (parent->is_array()) {
            parent->push_back(json(std::forward<Value>(value)));
            return &parent->back();
        }
        *objectSlot_ = json(std::forward<Value>(value));
        return objectSlot_;
    }

    template <class Value>
    bool add(Value&& value) {
        place(std::forward<Value>(value));
        return true;
    }

    bool open(json&& container) {
        if (static_cast<int>(open_.size()) >= kMaxMessageDepth) {
            tooDeep_ = true;
            return false;
        }
        open_.push_back(place(std::move(container)));
        return true;
    }

    bool close() {
        open_.pop_back();
        return true;
    }

    json root_;
    std::vector<json*> open_;
    json* objectSlot_ = nullptr;
    bool tooDeep_ = false;
};

bool isLowerHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

int hexValue(char c) { return c <= '9' ? c - '0' : c - 'a' + 10; }

bool isFaceText(const std::string& text) {
    if (text.empty() || (text[0] != 'p' && text[0] != 'r') || text.size() % 2 == 0) return false;
    for (size_t i = 1; i < text.size(); ++i) {
        if (!isLowerHexDigit(text[i])) return false;
    }
    return true;
}

json* facesArray(json& root) {
    if (!root.is_object()) return nullptr;
    auto character = root.find("character");
    if (character == root.end() || !character->is_object()) return nullptr;
    auto faces = character->find("faces");
    if (faces == character->end() || !faces->is_array()) return nullptr;
    return &*faces;
}

}  // namespace

void encodeFacesBinary(json& root) {
    json* faces = facesArray(root);
    if (faces == nullptr) return;
    for (json& face : *faces) {
        if (!face.is_string()) continue;
        const std::string& text = face.get_ref<const std::string&>();
        if (!isFaceText(text)) continue;
        std::vector<uint8_t> bytes;
        bytes.reserve(1 + text.size() / 2);
        bytes.push_back(static_cast<uint8_t>(text[0]));
        for (size_t i = 1; i < text.size(); i += 2) {
            bytes.push_back(static_cast<uint8_t>(hexValue(text[i]) * 16 + hexValue(text[i + 1])));
        }
        face = json::binary(std::move(bytes));
    }
}

std::string faceTextFromBinary(const uint8_t* bytes, size_t length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(1 + 2 * (length - 1));
    text.push_back(static_cast<char>(bytes[0]));
    for (size_t i = 1; i < length; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 15]);
    }
    return text;
}

void decodeFacesHex(json& root) {
    json* faces = facesArray(root);
    if (faces == nullptr) return;
    for (json& face : *faces) {
        if (!face.is_binary()) continue;
        const auto& bytes = face.get_binary();
        if (bytes.empty()) throw std::runtime_error("ERR_BAD_MESSAGE");
        face = faceTextFromBinary(bytes.data(), bytes.size());
    }
}

std::string encodeMessage(const std::string& jsonText) {
    json root = json::parse(jsonText, nullptr, true, false);
    encodeFacesBinary(root);
    std::string bytes;
    json::to_msgpack(root, nlohmann::detail::output_adapter<char>(bytes));
    return bytes;
}

std::string decodeMessage(const uint8_t* bytes, size_t length) {
    std::string text;
    if (writeMessageJson(bytes, length, text)) return text;
    return decodeMessageThroughValue(bytes, length);
}

std::string decodeMessageThroughValue(const uint8_t* bytes, size_t length) {
    DepthLimitedBuilder builder;
    const bool complete = json::sax_parse(bytes, bytes + length, &builder, json::input_format_t::msgpack, true);
    if (builder.tooDeep() || !complete) throw std::runtime_error("ERR_BAD_MESSAGE");
    json& root = builder.result();
    if (!root.is_object()) throw std::runtime_error("ERR_BAD_MESSAGE");
    decodeFacesHex(root);
    const std::string type = root.value("type", std::string());
    if (carriesBinaryData(type)) {
        auto data = root.find("data");
        if (data != root.end() && data->is_binary()) {
            const auto& raw = data->get_binary();
            *data = encodeBase64(raw.data(), raw.size());
        }
    }
    return root.dump();
}

}  // namespace vobu
