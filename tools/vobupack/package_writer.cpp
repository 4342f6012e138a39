#include "package_writer.h"

#include <algorithm>
#include <stdexcept>

namespace vobupack {

namespace {

constexpr size_t kMaxPacket = 128;
constexpr size_t kMaxEntries = 64;
constexpr size_t kMaxName = 128;
constexpr size_t kMaxBytes = 16777216;

void appendU16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void appendU32(std::vector<uint8_t>& out, uint64_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(uint8_t(value >> shift));
    }
}

size_t runLength(const std::vector<uint8_t>& bytes, size_t at) {
    size_t end = at + 1;
    while (end < bytes.size() && end - at < kMaxPacket && bytes[end] == bytes[at]) {
        ++end;
    }
    return end - at;
}

}  // namespace

std::vector<uint8_t> packRunLength(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> out;
    size_t literalStart = 0;
    auto flushLiterals = [&](size_t end) {
        while (literalStart < end) {
            size_t const n = std::min(kMaxPacket, end - literalStart);
            out.push_back(uint8_t(n - 1));
            out.insert(out.end(), bytes.begin() + std::ptrdiff_t(literalStart),
                       bytes.begin() + std::ptrdiff_t(literalStart + n));
            literalStart += n;
        }
    };
    size_t i = 0;
    while (i < bytes.size()) {
        const size_t run = runLength(bytes, i);
        // Runs of three or more save bytes; shorter ones stay literal.
        if (run >= 3) {
            flushLiterals(i);
            out.push_back(uint8_t(0x80 | (run - 1)));
            out.push_back(bytes[i]);
            i += run;
            literalStart = i;
        } else {
            i += run;
        }
    }
    flushLiterals(bytes.size());
    return out;
}

std::vector<uint8_t> writePackage(const std::vector<PackageEntry>& entries) {
    if (entries.empty() || entries.size() > kMaxEntries) {
        throw std::runtime_error("a package holds 1 to 64 entries");
    }
    std::vector<std::vector<uint8_t>> packed;
    size_t directoryEnd = 8;
    for (const PackageEntry& entry : entries) {
        if (entry.name.empty() || entry.name.size() > kMaxName) {
            throw std::runtime_error("entry name \"" + entry.name + "\" is not 1 to 128 bytes long");
        }
        if (entry.bytes.size() > kMaxBytes) {
            throw std::runtime_error("entry \"" + entry.name + "\" is larger than 16 MiB");
        }
        packed.push_back(packRunLength(entry.bytes));
        if (packed.back().size() > kMaxBytes) {
            throw std::runtime_error("entry \"" + entry.name + "\" packs to more than 16 MiB");
        }
        directoryEnd += 14 + entry.name.size();
    }
    std::vector<uint8_t> out = {'V', 'B', 'V', '1'};
    appendU32(out, entries.size());
    uint64_t offset = directoryEnd;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (offset + packed[i].size() > 0xFFFFFFFFu) {
            throw std::runtime_error("package is larger than 4 GiB");
        }
        appendU16(out, uint32_t(entries[i].name.size()));
        appendU32(out, offset);
        appendU32(out, packed[i].size());
        appendU32(out, entries[i].bytes.size());
        out.insert(out.end(), entries[i].name.begin(), entries[i].name.end());
        offset += packed[i].size();
    }
    for (const std::vector<uint8_t>& payload : packed) {
        out.insert(out.end(), payload.begin(), payload.end());
    }
    return out;
}

}  // namespace vobupack
