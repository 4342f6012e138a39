#include "app/asset_package.h"

#include <SDL.h>

#include <fstream>
#include <stdexcept>

namespace vobu {

namespace {

[[noreturn]] void fail() { throw std::runtime_error(kAssetPackageError); }

uint8_t readByte(std::istream& in) {
    char c = 0;
    if (!in.get(c)) {
        fail();
    }
    return uint8_t(c);
}

uint16_t readU16(std::istream& in) {
    const uint16_t low = readByte(in);
    return uint16_t(low | uint16_t(readByte(in)) << 8);
}

uint32_t readU32(std::istream& in) {
    uint32_t value = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        value |= uint32_t(readByte(in)) << shift;
    }
    return value;
}

// -1 when the stream cannot tell its size.
int64_t streamSize(std::istream& in) {
    in.seekg(0, std::ios::end);
    std::streamoff const size = in.tellg();
    in.clear();
    in.seekg(0, std::ios::beg);
    return in ? int64_t(size) : -1;
}

std::string executableDirectory() {
    char* base = SDL_GetBasePath();
    std::string directory = base ? base : "";
    SDL_free(base);
    return directory;
}

}  // namespace

std::vector<uint8_t> unpackRunLength(const std::vector<uint8_t>& stored, uint32_t size) {
    std::vector<uint8_t> out;
    out.reserve(size);
    size_t i = 0;
    while (i < stored.size()) {
        const uint8_t control = stored[i];
        const size_t n = size_t(control & 0x7F) + 1;
        if (size - out.size() < n) {
            fail();
        }
        if (control & 0x80) {
            if (i + 1 >= stored.size()) {
                fail();
            }
            out.insert(out.end(), n, stored[i + 1]);
            i += 2;
        } else {
            if (stored.size() - (i + 1) < n) {
                fail();
            }
            out.insert(out.end(), stored.begin() + std::ptrdiff_t(i + 1), stored.begin() + std::ptrdiff_t(i + 1 + n));
            i += n + 1;
        }
    }
    if (out.size() < size) {
        fail();
    }
    return out;
}

std::vector<uint8_t> readPackagedAsset(std::istream& package, const std::string& name) {
    const int64_t fileSize = streamSize(package);
    const char magic[4] = {'V', 'B', 'V', '1'};
    for (char expected : magic) {
        if (readByte(package) != uint8_t(expected)) {
            fail();
        }
    }
    const uint32_t count = readU32(package);
    if (count < 1 || count > kPackageMaxEntries) {
        fail();
    }
    for (uint32_t entry = 0; entry < count; ++entry) {
        const uint16_t nameLength = readU16(package);
        const uint32_t offset = readU32(package);
        const uint32_t storedSize = readU32(package);
        const uint32_t size = readU32(package);
        if (nameLength < 1 || nameLength > kPackageMaxNameLength || storedSize > kPackageMaxEntryBytes ||
            size > kPackageMaxEntryBytes || fileSize < 0 || uint64_t(offset) + storedSize > uint64_t(fileSize)) {
            fail();
        }
        std::string entryName(nameLength, '\0');
        if (!package.read(entryName.data(), nameLength)) {
            fail();
        }
        if (entryName != name) {
            continue;
        }
        std::vector<uint8_t> stored(storedSize);
        package.seekg(std::streamoff(offset), std::ios::beg);
        if (!package || !package.read(reinterpret_cast<char*>(stored.data()), std::streamsize(storedSize))) {
            fail();
        }
        return unpackRunLength(stored, size);
    }
    fail();
}

std::vector<uint8_t> loadPackagedAsset(const std::string& name) {
    const std::string path = executableDirectory() + kPackageFileName;
    try {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            fail();
        }
        return readPackagedAsset(file, name);
    } catch (const std::runtime_error&) {
        // The code alone does not say which file was missing or broken; a
        // failed read ends the start-up, so this line comes once.
        SDL_Log("Asset package \"%s\" (entry \"%s\") is missing or damaged", path.c_str(), name.c_str());
        throw;
    }
}

}  // namespace vobu
