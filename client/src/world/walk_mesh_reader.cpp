#include <utility>

#include "world/map_byte_reader.h"
#include "world/map_readers.h"
#include "world/navigation.h"

namespace vobu {

namespace {

constexpr uint64_t kTriangleBytes = 36;

double readWalkCoordinate(MapByteReader& reader) {
    const float value = reader.f32();
    if (!isMapCoordinate(value)) failMapAsset(kErrMapCoordinate);
    return value;
}

}  // namespace

void readWalkMesh(WalkMesh& target, const std::vector<uint8_t>& bytes) {
    MapByteReader reader(bytes);
    readMapMagic(reader, "VBW4");
    const int32_t count = reader.nextI32();
    if (count < 1 || count > kMaxWalkTriangles) failMapAsset(kErrWalkMeshBudget);
    reader.require(uint64_t(count) * kTriangleBytes);

    WalkMesh fresh;
    fresh.triangles.reserve(size_t(count));
    for (int32_t i = 0; i < count; ++i) {
        WalkTriangle t;
        for (double* c : {&t.x0, &t.y0, &t.z0, &t.x1, &t.y1, &t.z1, &t.x2, &t.y2, &t.z2})
            *c = readWalkCoordinate(reader);
        fresh.triangles.push_back(t);
    }
    reader.expectEnd();

    // The navigation build can still fail (budget, memory); only once it has
    // returned does the target give up its previous mesh.
    prepareNavigation(fresh);
    target.triangles = std::move(fresh.triangles);
    target.navigation = std::move(fresh.navigation);
    target.walls = std::move(fresh.walls);
}

}  // namespace vobu
