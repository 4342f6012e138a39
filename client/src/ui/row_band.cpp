#include "ui/row_band.h"

#include <algorithm>
#include <cstring>

namespace vobu {

RowBand RowBand::joined(const RowBand& other) const {
    if (empty()) return other;
    if (other.empty()) return *this;
    return RowBand{std::min(first, other.first), std::max(end, other.end)};
}

RowBand differingRows(const uint8_t* held, const uint8_t* incoming, size_t rowBytes, int rows) {
    auto same = [&](int row) {
        const size_t at = size_t(row) * rowBytes;
        return std::memcmp(held + at, incoming + at, rowBytes) == 0;
    };
    int first = 0;
    while (first < rows && same(first)) ++first;
    if (first == rows) return RowBand{};
    int last = rows - 1;
    while (last > first && same(last)) --last;
    return RowBand{first, last + 1};
}

}  // namespace vobu
