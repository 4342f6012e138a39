#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vobupack {

// Run-length packets as the client's package reader expects them: a control
// byte c with n = (c & 0x7F) + 1; c & 0x80 set means one byte repeated n
// times, clear means n literal bytes follow.
std::vector<uint8_t> packRunLength(const std::vector<uint8_t>& bytes);

struct PackageEntry {
    std::string name;
    std::vector<uint8_t> bytes;  // unpacked
};

// The whole "vobu.dat": magic "VBV1", the directory, then the packed
// payloads in directory order. Throws std::runtime_error when an entry
// breaks the reader's limits (names 1..128 bytes, at most 64 entries, at
// most 16 MiB packed or unpacked).
std::vector<uint8_t> writePackage(const std::vector<PackageEntry>& entries);

}  // namespace vobupack
