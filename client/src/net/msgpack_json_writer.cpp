#include "net/msgpack_json_writer.h"

#include "net/base64.h"
#include "net/message_codec.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

namespace vobu {

namespace {

// Where a value sits, for the two places that turn binary values into text.
enum class Place { Root, Character, Faces, Face, RootData, Other };

class Writer {
public:
    Writer(const uint8_t* bytes, size_t length, std::string& out) : at_(bytes), end_(bytes + length), out_(out) {}

    bool writeRoot() {
        if (at_ >= end_ || !isMap(*at_)) return false;
        if (!writeValue(0, Place::Root)) return false;
        if (at_ != end_) return false;
        return !rootDataIsBinary_ || carriesBinaryData(rootType_);
    }

private:
    struct Member {
        std::string_view key;
        size_t textStart;  // of "key":value in out_
        size_t textEnd;
    };

    static bool isMap(uint8_t b) { return (b & 0xF0) == 0x80 || b == 0xDE || b == 0xDF; }

    bool take(size_t count, const uint8_t*& start) {
        if (static_cast<size_t>(end_ - at_) < count) return false;
        start = at_;
        at_ += count;
        return true;
    }

    bool readBigEndian(int count, uint64_t& value) {
        const uint8_t* start;
        if (!take(static_cast<size_t>(count), start)) return false;
        value = 0;
        for (int i = 0; i < count; ++i) value = (value << 8) | start[i];
        return true;
    }

    bool writeValue(int depth, Place place) {
        if (at_ >= end_) return false;
        const uint8_t b = *at_++;
        if (b <= 0x7F) return writeInteger(uint64_t(b));
        if (b >= 0xE0) return writeInteger(int64_t(static_cast<int8_t>(b)));
        if ((b & 0xF0) == 0x80) return writeMap(b & 0x0F, depth, place);
        if ((b & 0xF0) == 0x90) return writeArray(b & 0x0F, depth, place);
        if ((b & 0xE0) == 0xA0) return writeStringValue(b & 0x1F, place);
        uint64_t n = 0;
        switch (b) {
            case 0xC0:
                return writeLiteral("null", place);
            case 0xC2:
                return writeLiteral("false", place);
            case 0xC3:
                return writeLiteral("true", place);
            case 0xC4:
                return readBigEndian(1, n) && writeBinary(n, place);
            case 0xC5:
                return readBigEndian(2, n) && writeBinary(n, place);
            case 0xC6:
                return readBigEndian(4, n) && writeBinary(n, place);
            case 0xCA: {
                uint64_t bits;
                if (!readBigEndian(4, bits)) return false;
                float value;
                const uint32_t narrow = static_cast<uint32_t>(bits);
                std::memcpy(&value, &narrow, 4);
                return writeFloat(static_cast<double>(value), place);
            }
            case 0xCB: {
                uint64_t bits;
                if (!readBigEndian(8, bits)) return false;
                double value;
                std::memcpy(&value, &bits, 8);
                return writeFloat(value, place);
            }
            case 0xCC:
                return readBigEndian(1, n) && writeIntegerAt(n, place);
            case 0xCD:
                return readBigEndian(2, n) && writeIntegerAt(n, place);
            case 0xCE:
                return readBigEndian(4, n) && writeIntegerAt(n, place);
            case 0xCF:
                return readBigEndian(8, n) && writeIntegerAt(n, place);
            case 0xD0:
                return readBigEndian(1, n) && writeIntegerAt(int64_t(static_cast<int8_t>(n)), place);
            case 0xD1:
                return readBigEndian(2, n) && writeIntegerAt(int64_t(static_cast<int16_t>(n)), place);
            case 0xD2:
                return readBigEndian(4, n) && writeIntegerAt(int64_t(static_cast<int32_t>(n)), place);
            case 0xD3:
                return readBigEndian(8, n) && writeIntegerAt(static_cast<int64_t>(n), place);
            case 0xD9:
                return readBigEndian(1, n) && writeStringValue(n, place);
            case 0xDA:
                return readBigEndian(2, n) && writeStringValue(n, place);
            case 0xDB:
                return readBigEndian(4, n) && writeStringValue(n, place);
            case 0xDC:
                return readBigEndian(2, n) && writeArray(n, depth, place);
            case 0xDD:
                return readBigEndian(4, n) && writeArray(n, depth, place);
            case 0xDE:
                return readBigEndian(2, n) && writeMap(n, depth, place);
            case 0xDF:
                return readBigEndian(4, n) && writeMap(n, depth, place);
            default:
                return false;  // extension types and the unused byte
        }
    }

    // A binary face must be a non-empty binary value; everything else in the
    // faces array is an ordinary value.
    bool scalarAllowed(Place place) const { return place != Place::Root; }

    bool writeLiteral(const char* text, Place place) {
        if (!scalarAllowed(place)) return false;
        out_ += text;
        return true;
    }

    // The decimal digits of an integer, as the library writes them.
    template <class Integer>
    bool writeInteger(Integer value) {
        char digits[24];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        out_.append(digits, result.ptr);
        return true;
    }
    template <class Integer>
    bool writeIntegerAt(Integer value, Place place) {
        return scalarAllowed(place) && writeInteger(value);
    }

    bool writeFloat(double value, Place place) {
        if (!scalarAllowed(place)) return false;
        if (!std::isfinite(value)) {
            out_ += "null";
            return true;
        }
        char digits[64];
        char* last = nlohmann::detail::to_chars(digits, digits + sizeof digits, value);
        out_.append(digits, last);
        return true;
    }

    bool writeStringValue(uint64_t length, Place place) {
        if (!scalarAllowed(place)) return false;
        const uint8_t* start;
        if (!take(length, start)) return false;
        return writeEscaped(start, length);
    }

    bool writeBinary(uint64_t length, Place place) {
        const uint8_t* start;
        if (!take(length, start)) return false;
        if (place == Place::Face) {
            if (length == 0) return false;
            return writeFaceText(start, length);
        }
        if (place == Place::RootData) {
            rootDataIsBinary_ = true;
            out_ += '"';
            appendBase64(start, length, out_);
            out_ += '"';
            return true;
        }
        return false;
    }

    bool writeFaceText(const uint8_t* bytes, size_t length) {
        const std::string text = faceTextFromBinary(bytes, length);
        return writeEscaped(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    }

    // The library's escaping: the short escapes, \u00xx for other control
    // characters, everything else as it is; invalid UTF-8 gives up.
    bool writeEscaped(const uint8_t* bytes, size_t length) {
        out_ += '"';
        size_t runStart = 0;
        for (size_t i = 0; i < length;) {
            const uint8_t c = bytes[i];
            if (c >= 0x80) {
                const size_t sequence = utf8SequenceLength(bytes + i, length - i);
                if (sequence == 0) return false;
                i += sequence;
                continue;
            }
            const char* escape = nullptr;
            char unicode[7];
            switch (c) {
                case 0x08:
                    escape = "\\b";
                    break;
                case 0x09:
                    escape = "\\t";
                    break;
                case 0x0A:
                    escape = "\\n";
                    break;
                case 0x0C:
                    escape = "\\f";
                    break;
                case 0x0D:
                    escape = "\\r";
                    break;
                case 0x22:
                    escape = "\\\"";
                    break;
                case 0x5C:
                    escape = "\\\\";
                    break;
                default:
                    if (c <= 0x1F) {
                        static constexpr char kDigits[] = "0123456789abcdef";
                        unicode[0] = '\\';
                        unicode[1] = 'u';
                        unicode[2] = '0';
                        unicode[3] = '0';
                        unicode[4] = kDigits[c >> 4];
                        unicode[5] = kDigits[c & 15];
                        unicode[6] = 0;
                        escape = unicode;
                    }
            }
            if (escape != nullptr) {
                out_.append(reinterpret_cast<const char*>(bytes + runStart), i - runStart);
                out_ += escape;
                runStart = i + 1;
            }
            ++i;
        }
        out_.append(reinterpret_cast<const char*>(bytes + runStart), length - runStart);
        out_ += '"';
        return true;
    }

    // Length of the well-formed UTF-8 sequence at `s`, 0 when ill-formed
    // (overlong forms, surrogates and code points past U+10FFFF included).
    static size_t utf8SequenceLength(const uint8_t* s, size_t available) {
        const uint8_t c = s[0];
        size_t length;
        uint8_t low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return 0;
        }
        if (available < length) return 0;
        if (s[1] < low || s[1] > high) return 0;
        for (size_t i = 2; i < length; ++i) {
            if (s[i] < 0x80 || s[i] > 0xBF) return 0;
        }
        return length;
    }

    bool writeArray(uint64_t count, int depth, Place place) {
        if (place == Place::Root || depth >= kMaxMessageDepth) return false;
        // Each element takes at least one byte: a count past the input is bad.
        if (count > static_cast<uint64_t>(end_ - at_)) return false;
        const Place elements = place == Place::Faces ? Place::Face : Place::Other;
        out_ += '[';
        for (uint64_t i = 0; i < count; ++i) {
            if (i > 0) out_ += ',';
            if (!writeValue(depth + 1, elements)) return false;
        }
        out_ += ']';
        return true;
    }

    static Place memberPlace(Place parent, std::string_view key) {
        if (parent == Place::Root && key == "character") return Place::Character;
        if (parent == Place::Root && key == "data") return Place::RootData;
        if (parent == Place::Character && key == "faces") return Place::Faces;
        return Place::Other;
    }

    // Members of every open object share one stack; an object's members are
    // the entries from its base on, since inner objects pop theirs when done.
    bool writeMap(uint64_t count, int depth, Place place) {
        if (depth >= kMaxMessageDepth) return false;
        if (count > static_cast<uint64_t>(end_ - at_) / 2) return false;
        const size_t start = out_.size();
        const size_t base = members_.size();
        out_ += '{';
        bool sorted = true;
        for (uint64_t i = 0; i < count; ++i) {
            if (i > 0) out_ += ',';
            std::string_view key;
            if (!readKey(key)) return false;
            const size_t textStart = out_.size();
            if (!writeEscaped(reinterpret_cast<const uint8_t*>(key.data()), key.size())) return false;
            out_ += ':';
            Place child = memberPlace(place, key);
            // A "faces" that is not an array is an ordinary value.
            if (child == Place::Faces && !(at_ < end_ && ((*at_ & 0xF0) == 0x90 || *at_ == 0xDC || *at_ == 0xDD))) {
                child = Place::Other;
            }
            if (place == Place::Root && key == "type") {
                if (at_ >= end_ || !isString(*at_)) return false;
                rootType_ = peekString();
            }
            if (!writeValue(depth + 1, child)) return false;
            if (members_.size() > base && !(members_.back().key < key)) sorted = false;
            members_.push_back({key, textStart, out_.size()});
        }
        out_ += '}';
        const bool written = sorted || reorder(start, base);
        members_.resize(base);
        return written;
    }

    // Rewrites the object's text in ascending key order; duplicate keys give
    // up (the library keeps the last one and the slow path reproduces that).
    bool reorder(size_t start, size_t base) {
        const auto first = members_.begin() + static_cast<std::ptrdiff_t>(base);
        std::stable_sort(first, members_.end(), [](const Member& a, const Member& b) { return a.key < b.key; });
        for (auto it = first + 1; it < members_.end(); ++it) {
            if ((it - 1)->key == it->key) return false;
        }
        const std::string written = out_.substr(start);
        out_.resize(start);
        out_ += '{';
        for (auto it = first; it != members_.end(); ++it) {
            if (it != first) out_ += ',';
            out_.append(written, it->textStart - start, it->textEnd - it->textStart);
        }
        out_ += '}';
        return true;
    }

    static bool isString(uint8_t b) { return (b & 0xE0) == 0xA0 || b == 0xD9 || b == 0xDA || b == 0xDB; }

    // The string at the read position without consuming it ("" if truncated).
    std::string_view peekString() {
        const uint8_t* saved = at_;
        std::string_view text;
        if (!readKey(text)) text = {};
        at_ = saved;
        return text;
    }

    bool readKey(std::string_view& key) {
        if (at_ >= end_) return false;
        const uint8_t b = *at_++;
        uint64_t length;
        if ((b & 0xE0) == 0xA0) {
            length = b & 0x1F;
        } else if (b == 0xD9) {
            if (!readBigEndian(1, length)) return false;
        } else if (b == 0xDA) {
            if (!readBigEndian(2, length)) return false;
        } else if (b == 0xDB) {
            if (!readBigEndian(4, length)) return false;
        } else {
            return false;
        }
        const uint8_t* start;
        if (!take(length, start)) return false;
        key = std::string_view(reinterpret_cast<const char*>(start), static_cast<size_t>(length));
        return true;
    }

    const uint8_t* at_;
    const uint8_t* end_;
    std::string& out_;
    std::vector<Member> members_;
    std::string_view rootType_;
    bool rootDataIsBinary_ = false;
};

}  // namespace

bool writeMessageJson(const uint8_t* bytes, size_t length, std::string& out) {
    out.clear();
    Writer writer(bytes, length, out);
    return writer.writeRoot();
}

}  // namespace vobu
