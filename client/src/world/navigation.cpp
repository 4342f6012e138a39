#include "world/navigation.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

#include "world/nav_grid.h"
#include "world/scene.h"
#include "world/walls.h"

namespace rpg {
namespace {

template <typename T>
T* allocateArray(size_t count) {
    // malloc(0) may legally return null; always ask for at least one element
    // so that an empty list is never mistaken for a failed allocation.
    return static_cast<T*>(std::malloc(sizeof(T) * (count == 0 ? 1 : count)));
}

template <typename T>
void freeArray(T*& pointer) {
    std::free(pointer);
    pointer = nullptr;
}

template <typename T>
T* copyToArray(const std::vector<T>& values) {
    T* array = allocateArray<T>(values.size());
    if (array && !values.empty()) {
        std::memcpy(array, values.data(), sizeof(T) * values.size());
    }
    return array;
}

NavPoint vertexAt(const WalkMesh* mesh, int32_t index) {
    const float* v = mesh->vertices + 3 * static_cast<size_t>(index);
    return {v[0], v[1], v[2]};
}

bool validTriangle(const WalkMesh* mesh, int32_t triangle) {
    return mesh && triangle >= 0 && triangle < mesh->triangleCount;
}

void linkNeighbours(WalkMesh* mesh) {
    const int32_t count = mesh->triangleCount;
    for (int32_t i = 0; i < 3 * count; ++i) {
        mesh->neighbours[i] = -1;
    }
    std::unordered_map<uint64_t, int32_t> firstSlotOfEdge;
    firstSlotOfEdge.reserve(static_cast<size_t>(count) * 3);
    for (int32_t t = 0; t < count; ++t) {
        for (int32_t i = 0; i < 3; ++i) {
            const uint32_t a = static_cast<uint32_t>(mesh->triangles[3 * t + (i + 1) % 3]);
            const uint32_t b = static_cast<uint32_t>(mesh->triangles[3 * t + (i + 2) % 3]);
            const uint64_t key = (static_cast<uint64_t>(a < b ? a : b) << 32) | (a < b ? b : a);
            const int32_t slot = 3 * t + i;
            auto found = firstSlotOfEdge.find(key);
            if (found == firstSlotOfEdge.end()) {
                firstSlotOfEdge.emplace(key, slot);
            } else if (mesh->neighbours[found->second] == -1) {
                mesh->neighbours[found->second] = t;
                mesh->neighbours[slot] = found->second / 3;
            }
        }
    }
}

void deriveTriangle(WalkMesh* mesh, int32_t t) {
    const NavTriangle tri = walkMeshTriangle(mesh, t);
    const NavPoint& p0 = tri.p0;
    const NavPoint& p1 = tri.p1;
    const NavPoint& p2 = tri.p2;
    const float e1x = p1.x - p0.x, e1y = p1.height - p0.height, e1z = p1.z - p0.z;
    const float e2x = p2.x - p0.x, e2y = p2.height - p0.height, e2z = p2.z - p0.z;
    const float nx = e1y * e2z - e1z * e2y;
    const float ny = e1z * e2x - e1x * e2z;
    const float nz = e1x * e2y - e1y * e2x;

    float* normal = mesh->normals + 3 * t;
    const float lengthSquared = nx * nx + ny * ny + nz * nz;
    if (lengthSquared > 1e-8f) {
        const float length = std::sqrt(lengthSquared);
        normal[0] = nx / length;
        normal[1] = ny / length;
        normal[2] = nz / length;
        mesh->flags[t] = normal[1] >= 0.35f ? kWalkableFlag : 0;
    } else {
        // A triangle without area cannot block anything: count it as floor.
        normal[0] = 0;
        normal[1] = 1;
        normal[2] = 0;
        mesh->flags[t] = kWalkableFlag;
    }

    float* plane = mesh->planes + 3 * t;
    if (std::fabs(ny) > 1e-8f) {
        plane[0] = -nx / ny;
        plane[1] = -nz / ny;
        plane[2] = p0.height - plane[0] * p0.x - plane[1] * p0.z;
    } else {
        plane[0] = 0;
        plane[1] = 0;
        plane[2] = p0.height;
    }

    float* bary = mesh->barycentric + 6 * t;
    const float d = (p1.z - p2.z) * (p0.x - p2.x) + (p2.x - p1.x) * (p0.z - p2.z);
    if (std::fabs(d) <= 1e-8f) {
        for (int i = 0; i < 6; ++i) {
            bary[i] = 0;
        }
    } else {
        bary[0] = (p1.z - p2.z) / d;
        bary[1] = (p2.x - p1.x) / d;
        bary[2] = -bary[0] * p2.x - bary[1] * p2.z;
        bary[3] = (p2.z - p0.z) / d;
        bary[4] = (p0.x - p2.x) / d;
        bary[5] = -bary[3] * p2.x - bary[4] * p2.z;
    }

    float* box = mesh->bounds + 4 * t;
    box[0] = std::fmin(p0.x, std::fmin(p1.x, p2.x));
    box[1] = std::fmax(p0.x, std::fmax(p1.x, p2.x));
    box[2] = std::fmin(p0.z, std::fmin(p1.z, p2.z));
    box[3] = std::fmax(p0.z, std::fmax(p1.z, p2.z));
}

bool edgeBlocks(const WalkMesh* mesh, int32_t triangle, int32_t edge) {
    const int32_t neighbour = mesh->neighbours[3 * triangle + edge];
    return neighbour < 0 || !isWalkableTriangle(mesh, neighbour);
}

bool sameVertexPair(const WalkMesh* mesh, int32_t t0, int32_t e0, int32_t t1, int32_t e1) {
    const int32_t a0 = mesh->triangles[3 * t0 + (e0 + 1) % 3];
    const int32_t b0 = mesh->triangles[3 * t0 + (e0 + 2) % 3];
    const int32_t a1 = mesh->triangles[3 * t1 + (e1 + 1) % 3];
    const int32_t b1 = mesh->triangles[3 * t1 + (e1 + 2) % 3];
    return (a0 == a1 && b0 == b1) || (a0 == b1 && b0 == a1);
}

struct NeighbourhoodLists {
    std::vector<int32_t> nearOffsets;
    std::vector<int32_t> nearTriangles;
    std::vector<int32_t> edgeOffsets;
    std::vector<int32_t> blockingEdges;
};

NeighbourhoodLists buildNeighbourhoods(const WalkMesh* mesh) {
    const int32_t count = mesh->triangleCount;
    std::vector<std::vector<int32_t>> trianglesOfVertex(static_cast<size_t>(mesh->vertexCount));
    for (int32_t t = 0; t < count; ++t) {
        for (int32_t i = 0; i < 3; ++i) {
            const int32_t v = mesh->triangles[3 * t + i];
            if (v < 0 || v >= mesh->vertexCount) {
                continue;
            }
            auto& users = trianglesOfVertex[static_cast<size_t>(v)];
            if (users.empty() || users.back() != t) {
                users.push_back(t);  // triangles come in ascending order
            }
        }
    }

    NeighbourhoodLists lists;
    lists.nearOffsets.reserve(static_cast<size_t>(count) + 1);
    lists.edgeOffsets.reserve(static_cast<size_t>(count) + 1);
    std::vector<int32_t> near;
    for (int32_t a = 0; a < count; ++a) {
        lists.nearOffsets.push_back(static_cast<int32_t>(lists.nearTriangles.size()));
        lists.edgeOffsets.push_back(static_cast<int32_t>(lists.blockingEdges.size() / 2));
        near.assign(1, a);
        for (int32_t i = 0; i < 3 && near.size() < kMaxNearTriangles; ++i) {
            const int32_t v = mesh->triangles[3 * a + i];
            if (v < 0 || v >= mesh->vertexCount) {
                continue;
            }
            for (int32_t user : trianglesOfVertex[static_cast<size_t>(v)]) {
                if (near.size() >= kMaxNearTriangles) {
                    break;
                }
                bool listed = false;
                for (int32_t n : near) {
                    listed = listed || n == user;
                }
                if (!listed) {
                    near.push_back(user);
                }
            }
        }
        lists.nearTriangles.insert(lists.nearTriangles.end(), near.begin(), near.end());

        const size_t firstPair = lists.blockingEdges.size();
        for (int32_t t : near) {
            for (int32_t e = 0; e < 3; ++e) {
                if (!edgeBlocks(mesh, t, e)) {
                    continue;
                }
                bool recorded = false;
                for (size_t k = firstPair; k < lists.blockingEdges.size() && !recorded; k += 2) {
                    recorded = sameVertexPair(mesh, t, e, lists.blockingEdges[k], lists.blockingEdges[k + 1]);
                }
                if (!recorded) {
                    lists.blockingEdges.push_back(t);
                    lists.blockingEdges.push_back(e);
                }
            }
        }
    }
    lists.nearOffsets.push_back(static_cast<int32_t>(lists.nearTriangles.size()));
    lists.edgeOffsets.push_back(static_cast<int32_t>(lists.blockingEdges.size() / 2));
    return lists;
}

void installNeighbourhoods(WalkMesh* mesh, const NeighbourhoodLists& lists) {
    mesh->nearOffsets = copyToArray(lists.nearOffsets);
    mesh->nearTriangles = copyToArray(lists.nearTriangles);
    mesh->edgeOffsets = copyToArray(lists.edgeOffsets);
    mesh->blockingEdges = lists.blockingEdges.empty() ? nullptr : copyToArray(lists.blockingEdges);
    if (!mesh->nearOffsets || !mesh->nearTriangles || !mesh->edgeOffsets ||
        (!lists.blockingEdges.empty() && !mesh->blockingEdges)) {
        freeWalkMeshDerived(mesh);
        return;
    }
    mesh->nearCount = static_cast<int32_t>(lists.nearTriangles.size());
    mesh->blockingEdgeCount = static_cast<int32_t>(lists.blockingEdges.size() / 2);
}

}  // namespace

void freeWalkMeshDerived(WalkMesh* mesh) {
    if (!mesh) {
        return;
    }
    freeArray(mesh->normals);
    freeArray(mesh->flags);
    freeArray(mesh->planes);
    freeArray(mesh->barycentric);
    freeArray(mesh->bounds);
    freeArray(mesh->nearOffsets);
    freeArray(mesh->nearTriangles);
    mesh->nearCount = 0;
    freeArray(mesh->edgeOffsets);
    freeArray(mesh->blockingEdges);
    mesh->blockingEdgeCount = 0;
    freeTriangleGrid(mesh);
}

void freeWalkMesh(WalkMesh* mesh) {
    if (!mesh) {
        return;
    }
    freeWalkMeshDerived(mesh);
    freeArray(mesh->vertices);
    mesh->vertexCount = 0;
    freeArray(mesh->triangles);
    mesh->triangleCount = 0;
    freeArray(mesh->neighbours);
}

void buildWalkMesh(WalkMesh* mesh) {
    if (!mesh || !mesh->neighbours) {
        return;
    }
    if (!mesh->vertices || !mesh->triangles || mesh->triangleCount <= 0) {
        return;
    }
    linkNeighbours(mesh);

    freeWalkMeshDerived(mesh);
    const size_t count = static_cast<size_t>(mesh->triangleCount);
    mesh->normals = allocateArray<float>(3 * count);
    mesh->flags = allocateArray<uint8_t>(count);
    mesh->planes = allocateArray<float>(3 * count);
    mesh->barycentric = allocateArray<float>(6 * count);
    mesh->bounds = allocateArray<float>(4 * count);
    if (!mesh->normals || !mesh->flags || !mesh->planes || !mesh->barycentric || !mesh->bounds) {
        freeWalkMeshDerived(mesh);
        return;
    }
    for (int32_t t = 0; t < mesh->triangleCount; ++t) {
        deriveTriangle(mesh, t);
    }
    installNeighbourhoods(mesh, buildNeighbourhoods(mesh));
    if (mesh->flags && !buildTriangleGrid(mesh)) {
        freeWalkMeshDerived(mesh);
    }
}

NavEdge walkMeshEdge(const WalkMesh* mesh, int32_t triangle, int32_t edge) {
    if (!validTriangle(mesh, triangle) || edge < 0 || edge > 2) {
        return {};
    }
    return {vertexAt(mesh, mesh->triangles[3 * triangle + (edge + 1) % 3]),
            vertexAt(mesh, mesh->triangles[3 * triangle + (edge + 2) % 3])};
}

NavTriangle walkMeshTriangle(const WalkMesh* mesh, int32_t triangle) {
    if (!validTriangle(mesh, triangle)) {
        return {};
    }
    return {vertexAt(mesh, mesh->triangles[3 * triangle]), vertexAt(mesh, mesh->triangles[3 * triangle + 1]),
            vertexAt(mesh, mesh->triangles[3 * triangle + 2])};
}

int32_t findNavTriangle(const WalkMesh* mesh, float x, float z, float height, float maxDiff) {
    if (!mesh || !mesh->flags || !mesh->bounds) {
        return -1;
    }
    float limit = maxDiff;
    int32_t result = -1;
    TriangleCandidates candidates;
    candidates.collectPoint(mesh, x, z);
    for (size_t k = 0; k < candidates.size(); ++k) {
        const int32_t t = candidates[k];
        if (!(mesh->flags[t] & kWalkableFlag)) {
            continue;
        }
        const float* box = mesh->bounds + 4 * t;
        const bool inBounds = x >= box[0] - 1e-4f && x <= box[1] + 1e-4f && z >= box[2] - 1e-4f && z <= box[3] + 1e-4f;
        if (!inBounds) {
            continue;
        }
        const NavWeights w = walkMeshBarycentric(mesh, t, x, z);
        float h = 0;
        const bool inside = w.w0 >= -1e-4f && w.w1 >= -1e-4f && w.w2 >= -1e-4f;
        if (!inside || !walkMeshPlaneHeight(mesh, t, x, z, &h)) {
            continue;
        }
        const float diff = std::fabs(h - height);
        if (diff <= limit) {
            result = t;
            limit = diff;
        }
    }
    return result;
}

}  // namespace rpg

namespace vobu {
namespace {

struct VertexKey {
    uint32_t bits[3];
    bool operator==(const VertexKey& other) const {
        return bits[0] == other.bits[0] && bits[1] == other.bits[1] && bits[2] == other.bits[2];
    }
};

struct VertexKeyHash {
    size_t operator()(const VertexKey& key) const {
        uint64_t h = 1469598103934665603ull;
        for (uint32_t b : key.bits) {
            h = (h ^ b) * 1099511628211ull;
        }
        return static_cast<size_t>(h);
    }
};

uint32_t weldBits(float value) {
    // Adding +0 turns -0 into +0, so both weld together.
    const float canonical = value + 0.0f;
    uint32_t bits = 0;
    std::memcpy(&bits, &canonical, sizeof bits);
    return bits;
}

struct WeldedMesh {
    std::vector<float> vertices;
    std::vector<int32_t> indices;
};

WeldedMesh weldTriangles(const std::vector<WalkTriangle>& triangles) {
    WeldedMesh welded;
    std::unordered_map<VertexKey, int32_t, VertexKeyHash> indexOfKey;
    indexOfKey.reserve(triangles.size() * 3);
    welded.indices.reserve(triangles.size() * 3);
    for (const WalkTriangle& t : triangles) {
        const double corners[3][3] = {{t.x0, t.y0, t.z0}, {t.x1, t.y1, t.z1}, {t.x2, t.y2, t.z2}};
        for (const auto& c : corners) {
            const float nav[3] = {static_cast<float>(c[0]), static_cast<float>(c[2]), -static_cast<float>(c[1])};
            const VertexKey key{{weldBits(nav[0]), weldBits(nav[1]), weldBits(nav[2])}};
            const int32_t next = static_cast<int32_t>(welded.vertices.size() / 3);
            auto [entry, inserted] = indexOfKey.emplace(key, next);
            if (inserted) {
                welded.vertices.insert(welded.vertices.end(), nav, nav + 3);
            }
            welded.indices.push_back(entry->second);
        }
    }
    return welded;
}

void releaseNavigationMesh(rpg::WalkMesh* mesh) {
    rpg::freeWalkMesh(mesh);
    delete mesh;
}

void buildInto(WalkMesh& walkMesh) {
    const WeldedMesh welded = weldTriangles(walkMesh.triangles);
    rpg::WalkMesh* mesh = walkMesh.navigation.get();
    const size_t vertexCount = welded.vertices.size() / 3;
    const size_t triangleCount = walkMesh.triangles.size();
    mesh->vertices = static_cast<float*>(std::malloc(12 * (vertexCount == 0 ? 1 : vertexCount)));
    mesh->triangles = static_cast<int32_t*>(std::malloc(12 * (triangleCount == 0 ? 1 : triangleCount)));
    mesh->neighbours = static_cast<int32_t*>(std::malloc(12 * (triangleCount == 0 ? 1 : triangleCount)));
    if (!mesh->vertices || !mesh->triangles || !mesh->neighbours) {
        throw std::bad_alloc();
    }
    if (!welded.vertices.empty()) {
        std::memcpy(mesh->vertices, welded.vertices.data(), sizeof(float) * welded.vertices.size());
        std::memcpy(mesh->triangles, welded.indices.data(), sizeof(int32_t) * welded.indices.size());
    }
    mesh->vertexCount = static_cast<int32_t>(vertexCount);
    mesh->triangleCount = static_cast<int32_t>(triangleCount);
    if (triangleCount == 0) {
        return;  // an empty mesh has nothing to derive and no walls
    }
    rpg::buildWalkMesh(mesh);
    if (!mesh->flags) {
        throw std::bad_alloc();
    }
    extractBoundaryWalls(walkMesh);
}

}  // namespace

void prepareNavigation(WalkMesh& walkMesh) {
    walkMesh.walls.clear();
    walkMesh.navigation.reset(new rpg::WalkMesh{}, releaseNavigationMesh);
    walkMesh.navigation->radius = 0.32f;
    try {
        buildInto(walkMesh);
    } catch (...) {
        // Never leave a half-built mesh or half a wall list behind.
        walkMesh.navigation.reset();
        walkMesh.walls.clear();
        throw;
    }
}

}  // namespace vobu
