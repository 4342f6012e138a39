#include "character/character_json.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <stdexcept>

#include "character/face_codec.h"
#include "ui/utf8.h"

namespace vobu {
namespace {

using nlohmann::json;

// The library's typed access converts numbers with a plain cast, which is
// undefined for a double beyond int and wraps a large unsigned value into
// range (4294967312 would read as 16). Out-of-range numbers are refused with
// the document's own text instead; other types keep the library's errors.
int readInt(const json& value, const char* outOfRange) {
    if (value.is_boolean()) {
        return value.get<bool>() ? 1 : 0;
    }
    if (value.is_number_unsigned()) {
        uint64_t v = value.get<uint64_t>();
        if (v > static_cast<uint64_t>(INT_MAX)) {
            throw std::runtime_error(outOfRange);
        }
        return static_cast<int>(v);
    }
    if (value.is_number_integer()) {
        int64_t v = value.get<int64_t>();
        if (v < INT_MIN || v > INT_MAX) {
            throw std::runtime_error(outOfRange);
        }
        return static_cast<int>(v);
    }
    if (value.is_number_float()) {
        double v = value.get<double>();
        // Truncation keeps values strictly between these two; NaN and the
        // infinities fail both comparisons.
        if (!(v > static_cast<double>(INT_MIN) - 1.0 && v < static_cast<double>(INT_MAX) + 1.0)) {
            throw std::runtime_error(outOfRange);
        }
        return static_cast<int>(v);
    }
    return value.get<int>();  // the library's type error
}

int optionalInt(const json& document, const char* key, int fallback, const char* outOfRange) {
    auto it = document.find(key);
    if (it == document.end()) {
        return fallback;
    }
    return readInt(*it, outOfRange);
}

json sizeArray(const Character& character) { return json::array({character.width, character.height, character.depth}); }

std::vector<uint32_t> croppedFace(const Character& character, int face) {
    auto [w, h] = character.faceSize(face);
    w = std::clamp(w, 0, kFaceCanvasSide);
    h = std::clamp(h, 0, kFaceCanvasSide);
    std::vector<uint32_t> texels;
    texels.reserve(static_cast<size_t>(w) * h);
    const std::vector<uint32_t>& canvas = character.faces[face];
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            size_t index = static_cast<size_t>(y) * kFaceCanvasSide + x;
            texels.push_back(index < canvas.size() ? canvas[index] : kDefaultSkinColor);
        }
    }
    return texels;
}

bool meetsStrictRules(const json& sizeValue, const Character& c) {
    if (sizeValue != sizeArray(c)) {
        return false;
    }
    for (int side : {c.width, c.height, c.depth}) {
        if (side < kMinCharacterSide || side > kMaxCharacterSide) {
            return false;
        }
    }
    if (c.name.empty() || c.name != sanitizeUtf8(c.name, kMaxNameCodePoints)) {
        return false;
    }
    return isValidCharacterId(c.id);
}

void checkFormat(const std::string& format) {
    if (!format.empty() && format != "rgb24" && format != "rgb24-rle") {
        throw std::runtime_error("Invalid pixel format");
    }
}

// Entry i of "faces", whether it is an array or an object (values in key
// order).
const json& faceEntry(const json& faces, int index) {
    auto it = faces.begin();
    std::advance(it, index);
    return *it;
}

void readFace(Character& c, int face, const json& entry, const std::string& format, int canvasSize, int faceScale) {
    int W = kFaceCanvasSide;
    int H = kFaceCanvasSide;
    if (canvasSize != kFaceCanvasSide) {
        std::tie(W, H) = c.faceSize(face);  // still the sizes as read, up to 128
    }
    const int gw = (W + faceScale - 1) / faceScale;
    const int gh = (H + faceScale - 1) / faceScale;
    const uint32_t count = static_cast<uint32_t>(gw) * static_cast<uint32_t>(gh);
    const std::string& text = entry.get_ref<const std::string&>();
    std::vector<uint32_t> grid =
        format == "rgb24-rle" ? decodeFace(text, count) : decodeFacePlain(text, count, format.empty());
    std::vector<uint32_t>& canvas = c.faces[face];
    const int rows = std::min(H, kFaceCanvasSide);
    const int columns = std::min(W, kFaceCanvasSide);
    for (int y = 0; y < rows; ++y) {
        const size_t gridRow = static_cast<size_t>(y / faceScale) * gw;
        for (int x = 0; x < columns; ++x) {
            canvas[static_cast<size_t>(y) * kFaceCanvasSide + x] = grid[gridRow + x / faceScale];
        }
    }
}

}  // namespace

bool isValidCharacterId(const std::string& id) {
    if (id.empty() || id.size() > kMaxCharacterIdBytes) {
        return false;
    }
    return std::all_of(id.begin(), id.end(), [](char ch) {
        return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '-' ||
               ch == '_';
    });
}

json characterStorageDocument(const Character& character) {
    json faces = json::array();
    for (int i = 0; i < kFaceCount; ++i) {
        std::vector<uint32_t> canvas = character.faces[i];
        canvas.resize(kFaceCanvasTexels, kDefaultSkinColor);
        faces.push_back(encodeFacePlain(canvas));
    }
    return json{
        {"canvasSize", kFaceCanvasSide}, {"faces", std::move(faces)},   {"format", "rgb24"}, {"id", character.id},
        {"name", character.name},        {"size", sizeArray(character)}};
}

std::string encodeCharacterJson(const Character& character) { return characterStorageDocument(character).dump(); }

std::string encodeCharacterJsonRle(const Character& character) {
    json faces = json::array();
    for (int i = 0; i < kFaceCount; ++i) {
        faces.push_back(encodeFace(croppedFace(character, i)));
    }
    json document{{"faceScale", 1},     {"faces", std::move(faces)}, {"format", "rgb24-rle"},
                  {"id", character.id}, {"name", character.name},    {"size", sizeArray(character)}};
    return document.dump();
}

Character decodeCharacterDocument(const json& document, bool strict) {
    Character c;
    c.id = document.at("id").get<std::string>();
    c.name = document.at("name").get<std::string>();

    const json& sizeValue = document.at("size");
    c.width = readInt(sizeValue.at(0), "Invalid character size");
    c.height = readInt(sizeValue.at(1), "Invalid character size");
    c.depth = readInt(sizeValue.at(2), "Invalid character size");
    for (int side : {c.width, c.height, c.depth}) {
        if (side < 1 || side > 2 * kMaxCharacterSide) {
            throw std::runtime_error("Invalid character size");
        }
    }

    const json& faces = document.at("faces");
    if (!(faces.is_array() || faces.is_object()) || faces.size() != kFaceCount) {
        throw std::runtime_error("Invalid character size");
    }
    if (strict && !meetsStrictRules(sizeValue, c)) {
        throw std::runtime_error("ERR_BAD_CHARACTER");
    }

    const int canvasSize = optionalInt(document, "canvasSize", 0, "Invalid canvas size");
    if (canvasSize != 0 && canvasSize != kFaceCanvasSide) {
        throw std::runtime_error("Invalid canvas size");
    }
    std::string format;
    if (auto it = document.find("format"); it != document.end()) {
        format = it->get<std::string>();
    }
    checkFormat(format);
    if (strict && (format != "rgb24-rle" || canvasSize != 0)) {
        throw std::runtime_error("ERR_BAD_SKIN_FORMAT");
    }

    const int faceScale = optionalInt(document, "faceScale", 1, "Invalid face scale");
    const bool scaleKnown = faceScale == 1 || faceScale == 2 || faceScale == 4 || faceScale == 8;
    if (!scaleKnown || (canvasSize == kFaceCanvasSide && faceScale != 1)) {
        throw std::runtime_error("Invalid face scale");
    }
    c.faceScale = faceScale;

    for (int i = 0; i < kFaceCount; ++i) {
        readFace(c, i, faceEntry(faces, i), format, canvasSize, faceScale);
    }
    c.setSize(c.width, c.height, c.depth);
    return c;
}

Character decodeCharacterJson(const std::string& text, bool strict) {
    if (strict && text.size() > kMaxStrictCharacterBytes) {
        throw std::runtime_error("ERR_SKIN_BYTES");
    }
    return decodeCharacterDocument(json::parse(text), strict);
}

}  // namespace vobu
