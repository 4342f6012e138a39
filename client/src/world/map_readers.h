#pragma once
// Readers of the three map assets the server sends: the walk mesh "VBW4",
// the render mesh "VBM3" and the textures "VBT2", plus the colour-under-a-
// point query on the render mesh.
//
// Every reader validates the whole asset before it touches the Scene: on a
// fault it throws std::runtime_error whose text is one of the codes below
// (or std::bad_alloc) and the Scene keeps what it had.

#include <cstdint>
#include <vector>

#include "ui/graphics.h"
#include "world/scene.h"

namespace vobu {

inline constexpr const char* kErrMapTruncated = "ERR_MAP_TRUNCATED";
inline constexpr const char* kErrMapMagic = "ERR_MAP_MAGIC";
inline constexpr const char* kErrMapCoordinate = "ERR_MAP_COORDINATE";
inline constexpr const char* kErrMapTrailingBytes = "ERR_MAP_TRAILING_BYTES";
inline constexpr const char* kErrWalkMeshBudget = "ERR_WALKMESH_BUDGET";
inline constexpr const char* kErrMapMaterials = "ERR_MAP_MATERIALS";
inline constexpr const char* kErrMapMeshBudget = "ERR_MAP_MESH_BUDGET";
inline constexpr const char* kErrMapColor = "ERR_MAP_COLOR";
inline constexpr const char* kErrMapVertex = "ERR_MAP_VERTEX";
inline constexpr const char* kErrMapIndex = "ERR_MAP_INDEX";
inline constexpr const char* kErrTextureSize = "ERR_TEXTURE_SIZE";
inline constexpr const char* kErrTextureRun = "ERR_TEXTURE_RUN";

inline constexpr int32_t kMaxWalkTriangles = 16384;
inline constexpr uint32_t kMaxRenderMaterials = 16;
inline constexpr uint64_t kMaxRenderVertices = 65536;
inline constexpr uint64_t kMaxRenderIndices = 196608;
inline constexpr uint32_t kMaxTextureSlots = 16;
inline constexpr int kMaxTextureSide = 256;
inline constexpr float kMaxMapCoordinate = 4096.0f;

// Reads a walk mesh, prepares its navigation mesh and walls aside, then
// moves the triangles, navigation mesh and walls over `target` in one step.
void readWalkMesh(WalkMesh& target, const std::vector<uint8_t>& bytes);

// Replaces the Scene's materials whole, grows its texture slots to cover
// every material (never shrinking them) and bumps meshRevision.
void readRenderMesh(Scene& scene, const std::vector<uint8_t>& bytes);

// Reads the texture of one material slot. A texture narrower than the one
// the slot holds is accepted and dropped: the slot keeps its texture.
void readTexture(Scene& scene, uint32_t slot, const std::vector<uint8_t>& bytes);

// The render mesh's colour under (x, y) at the highest triangle no more than
// 0.05 above z, or the ambient colour; `found` (may be null) tells which.
Color colorAt(const Scene& scene, float x, float y, float z, bool* found);

}  // namespace vobu
