#pragma once
// Random MessagePack messages for the codec tests: maps with keys in any
// order, every integer width (also wider than needed), floats of both
// widths and odd values, strings with escapes and multi-byte UTF-8, binary
// faces and asset bytes. Deterministic for a given seed.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace vobu::testing {

class MsgpackGenerator {
public:
    explicit MsgpackGenerator(uint32_t seed) : random_(seed) {}

    std::vector<uint8_t> message() {
        bytes_.clear();
        const int members = pick(0, 6);
        std::vector<std::string> keys = {"type",      "id",   "x",    "players",
                                         "character", "data", "tick", "\xc3\xa9t\xc3\xa9"};
        std::shuffle(keys.begin(), keys.end(), random_);
        mapHeader(static_cast<uint32_t>(members));
        const char* types[] = {"assetChunk", "audioSegment", "snapshot", "chat"};
        for (int i = 0; i < members; ++i) {
            const std::string& key = keys[static_cast<size_t>(i)];
            string(key);
            if (key == "type") {
                string(types[pick(0, 3)]);
            } else if (key == "character") {
                character();
            } else if (key == "data" && pick(0, 1) == 0) {
                binary(randomBytes(pick(0, 40)));
            } else {
                value(0);
            }
        }
        return bytes_;
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    std::vector<uint8_t> randomBytes(int count) {
        std::vector<uint8_t> out(static_cast<size_t>(count));
        for (auto& b : out) b = static_cast<uint8_t>(pick(0, 255));
        return out;
    }

    void put(uint8_t b) { bytes_.push_back(b); }
    void putBig(uint64_t value, int count) {
        for (int shift = (count - 1) * 8; shift >= 0; shift -= 8) put(static_cast<uint8_t>(value >> shift));
    }

    void mapHeader(uint32_t count) {
        const int form = count < 16 ? pick(0, 2) : pick(1, 2);
        if (form == 0)
            put(static_cast<uint8_t>(0x80 | count));
        else if (form == 1)
            put(0xDE), putBig(count, 2);
        else
            put(0xDF), putBig(count, 4);
    }
    void arrayHeader(uint32_t count) {
        const int form = count < 16 ? pick(0, 2) : pick(1, 2);
        if (form == 0)
            put(static_cast<uint8_t>(0x90 | count));
        else if (form == 1)
            put(0xDC), putBig(count, 2);
        else
            put(0xDD), putBig(count, 4);
    }
    void string(const std::string& text) {
        const size_t n = text.size();
        const int form = n < 32 ? pick(0, 3) : pick(1, 3);
        if (form == 0)
            put(static_cast<uint8_t>(0xA0 | n));
        else if (form == 1 && n < 256)
            put(0xD9), putBig(n, 1);
        else if (form <= 2)
            put(0xDA), putBig(n, 2);
        else
            put(0xDB), putBig(n, 4);
        bytes_.insert(bytes_.end(), text.begin(), text.end());
    }
    void binary(const std::vector<uint8_t>& data) {
        put(0xC4 + static_cast<uint8_t>(pick(0, 2)));
        const uint8_t form = bytes_.back();
        putBig(data.size(), form == 0xC4 ? 1 : form == 0xC5 ? 2 : 4);
        bytes_.insert(bytes_.end(), data.begin(), data.end());
    }

    void character() {
        if (pick(0, 5) == 0) return value(0);
        mapHeader(2);
        string("name");
        string("Vobu");
        string("faces");
        const int faces = pick(0, 6);
        arrayHeader(static_cast<uint32_t>(faces));
        for (int i = 0; i < faces; ++i) {
            if (pick(0, 3) == 0) {
                string("pffdbaa");
            } else {
                std::vector<uint8_t> face = randomBytes(pick(1, 12));
                face[0] = pick(0, 1) ? 'p' : 'r';
                binary(face);
            }
        }
    }

    std::string text() {
        static const char* pieces[] = {
            "a",  "Z",  " ",    "\"",   "\\",   "\n",       "\t",           "\b",
            "\f", "\r", "\x01", "\x1f", "\x7f", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80",
            "/",  "0"};
        std::string out;
        const int count = pick(0, 8);
        for (int i = 0; i < count; ++i) out += pieces[pick(0, static_cast<int>(std::size(pieces)) - 1)];
        return out;
    }

    void integer() {
        switch (pick(0, 8)) {
            case 0:
                put(static_cast<uint8_t>(pick(0, 127)));
                break;
            case 1:
                put(static_cast<uint8_t>(pick(0xE0, 0xFF)));
                break;
            case 2:
                put(0xCC), putBig(static_cast<uint64_t>(pick(0, 255)), 1);
                break;
            case 3:
                put(0xCD), putBig(static_cast<uint64_t>(pick(0, 65535)), 2);
                break;
            case 4:
                put(0xCE), putBig(random_(), 4);
                break;
            case 5:
                put(0xCF), putBig((uint64_t(random_()) << 32) | random_(), 8);
                break;
            case 6:
                put(0xD0), putBig(static_cast<uint64_t>(pick(0, 255)), 1);
                break;
            case 7:
                put(0xD2), putBig(random_(), 4);
                break;
            default:
                put(0xD3), putBig((uint64_t(random_()) << 32) | random_(), 8);
                break;
        }
    }

    void floating() {
        static const double specials[] = {
            0.0, -0.0, 1.0, -1.5, 0.1, 1e21, 1e-7, 123456789.125, 5e-324, 1.7976931348623157e308, 1.0 / 3.0};
        if (pick(0, 1) == 0) {
            put(0xCB);
            double value =
                pick(0, 2) == 0 ? specials[pick(0, 10)] : std::uniform_real_distribution<double>(-1e6, 1e6)(random_);
            uint64_t bits;
            std::memcpy(&bits, &value, 8);
            putBig(bits, 8);
        } else {
            put(0xCA);
            float value = std::uniform_real_distribution<float>(-1000.0f, 1000.0f)(random_);
            if (pick(0, 4) == 0) value = 0.1f;
            uint32_t bits;
            std::memcpy(&bits, &value, 4);
            putBig(bits, 4);
        }
    }

    void value(int depth) {
        const int kind = depth > 4 ? pick(0, 5) : pick(0, 7);
        switch (kind) {
            case 0:
                put(0xC0);
                break;
            case 1:
                put(pick(0, 1) ? 0xC2 : 0xC3);
                break;
            case 2:
            case 3:
                integer();
                break;
            case 4:
                floating();
                break;
            case 5:
                string(text());
                break;
            case 6: {
                const int count = pick(0, 5);
                arrayHeader(static_cast<uint32_t>(count));
                for (int i = 0; i < count; ++i) value(depth + 1);
                break;
            }
            default: {
                const int count = pick(0, 5);
                std::vector<std::string> keys = {"b", "a", "c", "aa", "", "B", "\xc3\xa9", "z"};
                std::shuffle(keys.begin(), keys.end(), random_);
                mapHeader(static_cast<uint32_t>(count));
                for (int i = 0; i < count; ++i) {
                    string(keys[static_cast<size_t>(i)]);
                    value(depth + 1);
                }
            }
        }
    }

    std::mt19937 random_;
    std::vector<uint8_t> bytes_;
};

}  // namespace vobu::testing
