#pragma once
// Cryptographic random bytes from the kernel.

#include <cstddef>
#include <cstdint>

namespace vobu {

// Fills all `length` bytes or returns false.
bool fillRandomBytes(uint8_t* data, size_t length);

}  // namespace vobu
