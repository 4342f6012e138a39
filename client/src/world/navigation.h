#pragma once
// The navigation mesh: the walk triangles welded into a connected mesh in a
// Y-up single-precision frame. A world point (x, y, z) with Z up is stored as
// (x, z, -y): the height is the second coordinate, the ground plane is (x, z).

#include <cstddef>
#include <cstdint>

namespace vobu {
struct WalkMesh;
}

namespace rpg {

// Plain arrays allocated with malloc and released with free (freeWalkMesh).
// Edge i of a triangle is the edge opposite its vertex i: edge 0 runs from
// vertex 1 to vertex 2, edge 1 from vertex 2 to vertex 0, edge 2 from vertex
// 0 to vertex 1.
struct WalkMesh {
    float* vertices = nullptr;  // 3 per welded vertex: x, height, z
    int32_t vertexCount = 0;
    float radius = 0.32f;          // collision radius of the wall push
    int32_t* triangles = nullptr;  // 3 vertex indices per triangle
    int32_t triangleCount = 0;
    int32_t* neighbours = nullptr;     // 3 per triangle, -1 for none
    float* normals = nullptr;          // 3 per triangle, unit length
    uint8_t* flags = nullptr;          // bit 0: walkable
    float* planes = nullptr;           // a, b, c: height = a x + b z + c
    float* barycentric = nullptr;      // a0 b0 c0 a1 b1 c1: w0 = a0 x + b0 z + c0 ...
    float* bounds = nullptr;           // min x, max x, min z, max z
    int32_t* nearOffsets = nullptr;    // triangleCount + 1
    int32_t* nearTriangles = nullptr;  // itself, then vertex sharers, at most 16
    int32_t nearCount = 0;
    int32_t* edgeOffsets = nullptr;    // triangleCount + 1
    int32_t* blockingEdges = nullptr;  // pairs (triangle, edge), null when none
    int32_t blockingEdgeCount = 0;

    // A uniform grid over the triangles' ground bounds, widened by a margin
    // wider than every tolerance of the point tests, so that a search through
    // it visits a superset of the triangles a full scan would accept, in
    // ascending index order: the same results, far fewer visits. Derived
    // like the arrays above; absent (null) means "scan everything".
    double gridMinX = 0;
    double gridMinZ = 0;
    double gridInverseCellX = 0;
    double gridInverseCellZ = 0;
    int32_t gridColumns = 0;
    int32_t gridRows = 0;
    int32_t* gridOffsets = nullptr;  // gridColumns * gridRows + 1
    int32_t* gridItems = nullptr;    // triangle indices, ascending per cell
};

constexpr uint8_t kWalkableFlag = 1;
constexpr int32_t kMaxNearTriangles = 16;

struct NavPoint {
    float x = 0;
    float height = 0;
    float z = 0;
};

struct NavEdge {
    NavPoint start;
    NavPoint end;
};

struct NavTriangle {
    NavPoint p0, p1, p2;
};

struct NavWeights {
    float w0 = 0, w1 = 0, w2 = 0;
};

// Derives neighbours, normals, flags, planes, barycentric coefficients,
// bounds and the near and blocking-edge lists from vertices and triangles.
// Leaves flags null when an allocation failed.
void buildWalkMesh(WalkMesh* mesh);
// Frees every array and zeroes pointers and counts; the radius stays.
void freeWalkMesh(WalkMesh* mesh);
// Frees the derived arrays only (normals through the blocking-edge list).
void freeWalkMeshDerived(WalkMesh* mesh);

NavEdge walkMeshEdge(const WalkMesh* mesh, int32_t triangle, int32_t edge);
NavTriangle walkMeshTriangle(const WalkMesh* mesh, int32_t triangle);
// Defined here so the searches that call them for every candidate inline them.
inline NavWeights walkMeshBarycentric(const WalkMesh* mesh, int32_t triangle, float x, float z) {
    if (!mesh || triangle < 0 || triangle >= mesh->triangleCount || !mesh->barycentric) {
        return {};
    }
    const float* b = mesh->barycentric + 6 * static_cast<size_t>(triangle);
    NavWeights w;
    w.w0 = b[0] * x + b[1] * z + b[2];
    w.w1 = b[3] * x + b[4] * z + b[5];
    w.w2 = 1.0f - w.w0 - w.w1;
    return w;
}

inline bool walkMeshPlaneHeight(const WalkMesh* mesh, int32_t triangle, float x, float z, float* height) {
    if (!mesh || triangle < 0 || triangle >= mesh->triangleCount || !mesh->planes) {
        return false;
    }
    const float* p = mesh->planes + 3 * static_cast<size_t>(triangle);
    if (height) {
        *height = p[0] * x + p[1] * z + p[2];
    }
    return true;
}

inline bool isWalkableTriangle(const WalkMesh* mesh, int32_t triangle) {
    return mesh && triangle >= 0 && triangle < mesh->triangleCount && mesh->flags &&
           (mesh->flags[triangle] & kWalkableFlag) != 0;
}

// The walkable triangle containing (x, z) whose plane height is nearest to
// height, within maxDiff; equal differences go to the later triangle. -1 when
// none.
int32_t findNavTriangle(const WalkMesh* mesh, float x, float z, float height, float maxDiff);

}  // namespace rpg

namespace vobu {

// Builds the navigation mesh of the record's triangles, installs it in
// walkMesh.navigation and extracts the boundary walls. Throws std::bad_alloc
// when memory runs out and std::runtime_error("ERR_WALKMESH_BUDGET") when the
// wall extraction exceeds its budget; in both cases the record must be
// discarded by the caller (the map reader works on a fresh record).
void prepareNavigation(WalkMesh& walkMesh);

}  // namespace vobu
