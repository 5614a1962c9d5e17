#pragma once
// Chunk geometry: opaque cubes, torches and lava in the main mesh, water in its own mesh,
// built from a padded copy of the chunk so meshing needs no access to the world.

#include <array>
#include <cstdint>
#include <vector>

#include "world/vec.h"
#include "world/world.h"

namespace zorv {

struct MeshVertex {
  float x, y, z;
  float u, v;
  float shade;  // face shade × ambient occlusion
  std::int32_t layer;
  float sky;    // 0..1
  float block;  // 0..1
};
static_assert(sizeof(MeshVertex) == 36);

// Four consecutive vertices per quad, six 32-bit indices per quad.
struct Mesh {
  std::vector<MeshVertex> vertices;
  std::vector<std::uint32_t> indices;
  bool empty() const { return indices.empty(); }
};

struct ChunkMesh {
  Mesh main;
  Mesh water;
};

constexpr int kSnapshotSize = kChunkSize + 2;  // local −1..16
constexpr int kSnapshotCells = kSnapshotSize * kSnapshotSize * kSnapshotSize;
// Index of local cell (x, y, z), each −1..16.
constexpr int snapshotIndex(int x, int y, int z) { return (y + 1) * 324 + (z + 1) * 18 + (x + 1); }

// A chunk and its one-cell border as the mesher reads it.
struct ChunkSnapshot {
  ChunkKey key;
  std::array<BlockId, kSnapshotCells> blocks{};
  std::array<std::uint8_t, kSnapshotCells> fluidLevels{};  // only filled for fluid cells
  std::array<std::uint8_t, kSnapshotCells> sky{};
  std::array<std::uint8_t, kSnapshotCells> blockLight{};
};

// Copies the chunk and its border from the world (unloaded cells read as air, full sky).
void takeChunkSnapshot(const World& world, const ChunkKey& key, ChunkSnapshot& snapshot);
ChunkMesh buildChunkMesh(const ChunkSnapshot& snapshot);
// Ensures the chunk's column, takes its snapshot and builds its mesh.
ChunkMesh meshChunk(World& world, const ChunkKey& key);

// A unit cube centred on the origin with the block's tiles; empty for air.
Mesh buildBlockPreview(BlockId id);
// Two crossed vertical quads of one tile, for items held or dropped.
Mesh buildItemSprite(int tile);
// Appends the six faces of a box in face-table order, each shaded by its face shade times
// `shade`, with full sky light and no block light; the +X face shows `frontTile`, the
// others `tile`. Creature, player and particle models are built from such boxes.
void appendModelBox(Mesh& mesh, const Vec3& lower, const Vec3& upper, int tile, int frontTile, float shade);

}  // namespace zorv
