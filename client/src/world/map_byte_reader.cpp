#include "world/map_byte_reader.h"

#include <cmath>

#include "world/map_readers.h"

namespace vobu {

void MapByteReader::require(uint64_t count) const {
    if (count > remaining()) failMapAsset(kErrMapTruncated);
}

void MapByteReader::expectEnd() const {
    if (remaining() != 0) failMapAsset(kErrMapTrailingBytes);
}

void readMapMagic(MapByteReader& reader, const char (&magic)[5]) {
    reader.require(4);
    if (!reader.magicIs(magic)) failMapAsset(kErrMapMagic);
    reader.skip(4);
}

bool isMapCoordinate(float value) { return std::isfinite(value) && std::fabs(value) <= kMaxMapCoordinate; }

}  // namespace vobu
