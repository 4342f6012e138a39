#pragma once

#include <cstddef>
#include <cstdint>

namespace vobu {

// A run of whole image rows, [first, end); empty when end <= first.
struct RowBand {
    int first = 0;
    int end = 0;

    bool empty() const { return end <= first; }
    int rows() const { return empty() ? 0 : end - first; }
    // The smallest band holding both (an empty band adds nothing).
    RowBand joined(const RowBand& other) const;
};

// The rows in which two images of `rows` rows of `rowBytes` bytes differ:
// from the first differing row to the last. Both images are read at most
// once, and an unchanged image costs one pass of comparisons, no hashing
// and no copy.
RowBand differingRows(const uint8_t* held, const uint8_t* incoming, size_t rowBytes, int rows);

}  // namespace vobu
