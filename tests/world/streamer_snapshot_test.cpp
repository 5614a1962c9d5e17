#include <gtest/gtest.h>

#include "world/mesher.h"
#include "world/terrain.h"

namespace zorv {
namespace {

// Every snapshot cell must read what the world's accessors say about that position.
void expectSnapshotMatchesWorld(const World& world, const ChunkKey& key) {
  auto snapshot = std::make_unique<ChunkSnapshot>();
  snapshot->blocks.fill(0xBEEF);  // stale content must be overwritten everywhere
  snapshot->fluidLevels.fill(99);
  snapshot->sky.fill(99);
  snapshot->blockLight.fill(99);
  takeChunkSnapshot(world, key, *snapshot);
  ASSERT_EQ(snapshot->key, key);
  int mismatches = 0;
  for (int y = -1; y <= kChunkSize; ++y) {
    for (int z = -1; z <= kChunkSize; ++z) {
      for (int x = -1; x <= kChunkSize; ++x) {
        const int wx = key.cx * 16 + x, wy = key.cy * 16 + y, wz = key.cz * 16 + z;
        const int cell = snapshotIndex(x, y, z);
        const BlockId id = getBlock(world, wx, wy, wz);
        const bool fluid = id == blocks::Water || id == blocks::Lava;
        mismatches += snapshot->blocks[cell] != id;
        mismatches += snapshot->fluidLevels[cell] != (fluid ? fluidLevel(world, wx, wy, wz) : 0);
        mismatches += snapshot->sky[cell] != skyLight(world, wx, wy, wz);
        mismatches += snapshot->blockLight[cell] != blockLight(world, wx, wy, wz);
      }
    }
  }
  EXPECT_EQ(mismatches, 0) << key.cx << " " << key.cy << " " << key.cz;
}

TEST(ChunkSnapshot, CopiesBlocksLevelsAndLightExactlyAsTheWorldReadsThem) {
  World world(20261018);
  // Column (1, 0) is missing, so the +x border of chunks in column (0, 0) reads as
  // unloaded; the −x side comes from the loaded column (−1, 0).
  for (int cz = -1; cz <= 1; ++cz) ensureColumn(world, -1, cz);
  ensureColumn(world, 0, -1);
  ensureColumn(world, 0, 0);
  // Flowing water with levels, a torch's light, and light values that differ per cell.
  setBlock(world, 15, 40, 15, blocks::Water);
  world.fluidLevels[packBlockKey(15, 40, 15)] = 4;
  setBlock(world, -1, 41, 3, blocks::Lava);
  world.fluidLevels[packBlockKey(-1, 41, 3)] = 2;
  setBlock(world, 0, 47, 0, blocks::Water);  // a source: no level
  Chunk* chunk = findChunk(world, {0, 2, 0});
  for (int i = 0; i < kChunkCells; ++i) {
    chunk->sky[i] = static_cast<std::uint8_t>(i % 16);
    chunk->blockLight[i] = static_cast<std::uint8_t>((i / 16) % 16);
  }
  for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) expectSnapshotMatchesWorld(world, {0, cy, 0});
  expectSnapshotMatchesWorld(world, {-1, 2, 0});
  expectSnapshotMatchesWorld(world, {5, 0, 5});  // nothing loaded at all

  // At the world's edge single cells of a chunk lie outside the world.
  World edge(20261018);
  const int lastChunk = chunkCoord(kWorldLimit), firstChunk = chunkCoord(-kWorldLimit);
  createEmptyColumn(edge, lastChunk, 0);
  createEmptyColumn(edge, firstChunk, 0);
  createEmptyColumn(edge, firstChunk - 1, 0);
  for (int i = 0; i < kChunkCells; ++i) {
    findChunk(edge, {firstChunk, 0, 0})->blocks[i] = blocks::Stone;
    findChunk(edge, {firstChunk - 1, 0, 0})->blocks[i] = blocks::Stone;
  }
  expectSnapshotMatchesWorld(edge, {lastChunk, 0, 0});
  expectSnapshotMatchesWorld(edge, {firstChunk, 0, 0});
}

}  // namespace
}  // namespace zorv
