#include "world/light.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <tuple>

#include "world/registry.h"
#include "world/terrain.h"

namespace zorv {
namespace {

constexpr std::int32_t kSeed = 20261018;

// Open-air torch light: 14 in the torch's cell, one less per cell of path.
int torchLightAt(int dx, int dy, int dz) { return std::max(0, 14 - std::abs(dx) - std::abs(dy) - std::abs(dz)); }

void fillLayer(World& world, int cx, int cz, int y, int lxEnd, BlockId id) {
  for (int lz = 0; lz < kChunkSize; ++lz) {
    for (int lx = 0; lx < lxEnd; ++lx) setBlockRaw(world, cx * kChunkSize + lx, y, cz * kChunkSize + lz, id);
  }
}

TEST(LightSky, FallsThroughAirAndWaterAndStopsAtOpaqueBlocks) {
  World world(kSeed);
  createEmptyColumn(world, 0, 0);
  for (int y = 0; y <= kSeaLevel; ++y) setBlockRaw(world, 5, y, 5, blocks::Water);
  relightColumn(world, 0, 0);
  for (int y = kMinY; y <= kMaxY; ++y) {
    EXPECT_EQ(skyLight(world, 5, y, 5), 15) << y;
    EXPECT_EQ(skyLight(world, 12, y, 0), 15) << y;
    EXPECT_EQ(blockLight(world, 5, y, 5), 0) << y;
  }

  // A roof over the whole column darkens everything below it.
  fillLayer(world, 0, 0, 40, kChunkSize, blocks::Stone);
  relightColumn(world, 0, 0);
  EXPECT_EQ(skyLight(world, 7, 41, 7), 15);
  EXPECT_EQ(skyLight(world, 7, 40, 7), 0);
  EXPECT_EQ(skyLight(world, 7, 39, 7), 0);
  EXPECT_EQ(skyLight(world, 5, 10, 5), 0);
  EXPECT_EQ(skyLight(world, 15, kMinY, 15), 0);

  // Opening the roof for lx ≥ 8 lets light creep in sideways, one level less per cell.
  for (int z = 0; z < kChunkSize; ++z) {
    for (int x = 8; x < kChunkSize; ++x) setBlockRaw(world, x, 40, z, kAir);
  }
  relightColumn(world, 0, 0);
  for (int y : {39, 20, kMinY}) {
    for (int x = 0; x < kChunkSize; ++x) {
      EXPECT_EQ(skyLight(world, x, y, 3), x >= 8 ? 15 : 15 - (8 - x)) << x << "," << y;
    }
  }
  EXPECT_EQ(skyLight(world, 7, 40, 3), 0);  // the roof itself stays dark
}

TEST(LightBlock, TorchLightFallsOffPerCellAndLeavesWithTheTorch) {
  World world(kSeed);
  createEmptyColumn(world, 0, 0);
  // Next to the bottom and the top of the world, where the column's bounds cut the spread.
  constexpr int kLowY = kMinY + 1, kHighY = kMaxY - 1;
  setBlockRaw(world, 8, kLowY, 8, blocks::Torch);
  setBlockRaw(world, 3, kHighY, 12, blocks::Torch);
  relightColumn(world, 0, 0);
  EXPECT_EQ(blockLight(world, 8, kLowY, 8), 14);
  EXPECT_EQ(blockLight(world, 11, kLowY, 8), 11);
  EXPECT_EQ(skyLight(world, 8, kLowY, 8), 15);  // a torch does not shade
  for (int y = kMinY; y <= kMaxY; ++y) {
    for (int z = 0; z < kChunkSize; ++z) {
      for (int x = 0; x < kChunkSize; ++x) {
        const int expected =
            std::max(torchLightAt(x - 8, y - kLowY, z - 8), torchLightAt(x - 3, y - kHighY, z - 12));
        ASSERT_EQ(blockLight(world, x, y, z), expected) << x << "," << y << "," << z;
      }
    }
  }

  // An opaque block stays dark and the light walks around it.
  setBlockRaw(world, 9, kLowY, 8, blocks::Stone);
  relightColumn(world, 0, 0);
  EXPECT_EQ(blockLight(world, 9, kLowY, 8), 0);
  EXPECT_EQ(blockLight(world, 10, kLowY, 8), 10);
  EXPECT_EQ(blockLight(world, 11, kLowY, 8), 9);

  setBlockRaw(world, 8, kLowY, 8, kAir);
  setBlockRaw(world, 3, kHighY, 12, kAir);
  relightColumn(world, 0, 0);
  for (int y = kMinY; y <= kMaxY; ++y) {
    for (int z = 0; z < kChunkSize; ++z) {
      for (int x = 0; x < kChunkSize; ++x) ASSERT_EQ(blockLight(world, x, y, z), 0) << x << "," << y << "," << z;
    }
  }

  // Lava glows at full strength but is opaque to daylight.
  setBlockRaw(world, 3, 20, 3, blocks::Lava);
  relightColumn(world, 0, 0);
  EXPECT_EQ(blockLight(world, 3, 20, 3), 15);
  EXPECT_EQ(blockLight(world, 4, 20, 3), 14);
  EXPECT_EQ(blockLight(world, 3, 17, 3), 12);
  EXPECT_EQ(skyLight(world, 3, 20, 3), 0);
  EXPECT_EQ(skyLight(world, 3, 19, 3), 14);
}

TEST(LightQueue, BudgetCountsOnlyLoadedColumns) {
  World world(kSeed);
  world.relightQueue.clear();
  for (int cx = 0; cx < 10; ++cx) createEmptyColumn(world, cx, 0);
  // Unloaded columns interleaved with the loaded ones.
  queueRelight(world, 100, 0);
  for (int cx = 0; cx < 10; ++cx) {
    queueRelight(world, cx, 0);
    if (cx % 3 == 1) queueRelight(world, 100 + cx, 0);
  }
  ASSERT_EQ(world.relightQueue.size(), 14u);

  EXPECT_EQ(processRelightQueue(world, 6), 6);
  for (int cx = 0; cx < 10; ++cx) EXPECT_EQ(skyLight(world, cx * kChunkSize + 4, 0, 4), cx < 6 ? 15 : 0) << cx;
  EXPECT_EQ(world.relightQueue.size(), 5u);  // 6, 7, 107, 8, 9
  EXPECT_FALSE(world.relightQueue.contains(packRelightColumn(104, 0)));
  EXPECT_TRUE(world.relightQueue.contains(packRelightColumn(107, 0)));

  EXPECT_EQ(processRelightQueue(world, 6), 4);
  EXPECT_TRUE(world.relightQueue.empty());
  EXPECT_EQ(skyLight(world, 9 * kChunkSize + 4, 0, 4), 15);
  EXPECT_EQ(processRelightQueue(world, 6), 0);

  queueRelight(world, 3, 0);
  EXPECT_EQ(processRelightQueue(world, 0), 0);
  EXPECT_EQ(world.relightQueue.size(), 1u);
}

TEST(LightEdges, NeighbouringColumnsExchangeLightAcrossTheirEdge) {
  World world(kSeed);
  world.relightQueue.clear();
  createEmptyColumn(world, 0, 0);
  createEmptyColumn(world, 1, 0);
  queueRelight(world, 0, 0);
  queueRelight(world, 1, 0);
  ASSERT_EQ(processRelightQueue(world, 4096), 2);
  ASSERT_TRUE(world.relightQueue.empty());

  // The torch column finds its neighbour too dark and queues it.
  setBlockRaw(world, 14, 10, 8, blocks::Torch);
  relightColumn(world, 0, 0);
  EXPECT_EQ(blockLight(world, 15, 10, 8), 13);
  EXPECT_EQ(blockLight(world, 16, 10, 8), 0);
  ASSERT_EQ(world.relightQueue.size(), 1u);
  EXPECT_TRUE(world.relightQueue.contains(packRelightColumn(1, 0)));

  // Relighting the neighbour seeds it from the edge; the pair is then settled.
  EXPECT_EQ(processRelightQueue(world, 4096), 1);
  EXPECT_TRUE(world.relightQueue.empty());
  for (int y = -6; y <= 26; ++y) {
    for (int z = 0; z < kChunkSize; ++z) {
      for (int x = 0; x < 2 * kChunkSize; ++x) {
        ASSERT_EQ(blockLight(world, x, y, z), torchLightAt(x - 14, y - 10, z - 8)) << x << "," << y << "," << z;
      }
    }
  }

  // Daylight reaches under a roof from the open neighbour.
  fillLayer(world, 0, 0, 40, kChunkSize, blocks::Stone);
  relightColumn(world, 0, 0);
  for (int x = 0; x < kChunkSize; ++x) EXPECT_EQ(skyLight(world, x, 0, 5), std::max(0, x - 1)) << x;
  EXPECT_EQ(skyLight(world, 15, 40, 5), 0);
  // The edge got darker, so the neighbour is relit; it was lit by open sky alone and stays.
  EXPECT_TRUE(world.relightQueue.contains(packRelightColumn(1, 0)));
  processRelightQueue(world, 4096);
  EXPECT_EQ(skyLight(world, 16, 0, 5), 15);
  EXPECT_EQ(skyLight(world, 15, 0, 5), 14);
}

TEST(LightEdges, LightOfATorchRemovedNextToTheEdgeDoesNotLingerInEitherColumn) {
  World world(kSeed);
  world.relightQueue.clear();
  createEmptyColumn(world, 0, 0);
  createEmptyColumn(world, 1, 0);
  setBlockRaw(world, 15, 10, 8, blocks::Torch);
  queueRelight(world, 0, 0);
  queueRelight(world, 1, 0);
  processRelightQueue(world, 4096);
  ASSERT_EQ(blockLight(world, 16, 10, 8), 13);
  ASSERT_EQ(blockLight(world, 15, 10, 8), 14);

  setBlock(world, 15, 10, 8, kAir);
  processRelightQueue(world, 4096);
  EXPECT_TRUE(world.relightQueue.empty());
  for (int y = -6; y <= 26; ++y) {
    for (int z = 0; z < kChunkSize; ++z) {
      for (int x = 0; x < 2 * kChunkSize; ++x) ASSERT_EQ(blockLight(world, x, y, z), 0) << x << "," << y << "," << z;
    }
  }
}

TEST(LightEdges, AnOpaqueNeighbourFaceIsNotQueued) {
  World world(kSeed);
  createEmptyColumn(world, 0, 0);
  createEmptyColumn(world, 1, 0);
  for (int y = kMinY; y <= kMaxY; ++y) {
    for (int z = 0; z < kChunkSize; ++z) setBlockRaw(world, kChunkSize, y, z, blocks::Stone);
  }
  queueRelight(world, 0, 0);
  queueRelight(world, 1, 0);
  ASSERT_EQ(processRelightQueue(world, 4096), 2);

  // Bright light against the wall asks nothing of the column behind it.
  setBlockRaw(world, 15, 10, 8, blocks::Torch);
  relightColumn(world, 0, 0);
  EXPECT_EQ(blockLight(world, 15, 10, 8), 14);
  EXPECT_EQ(blockLight(world, 16, 10, 8), 0);
  EXPECT_TRUE(world.relightQueue.empty());
}

using ChunkSet = std::set<std::tuple<int, int, int>>;

ChunkSet remeshed(const World& world) {
  ChunkSet keys;
  for (const ChunkKey& key : world.remeshSet) keys.insert({key.cx, key.cy, key.cz});
  return keys;
}

ChunkSet ringsAround(int cx, int cz, int cyFirst, int cyLast) {
  ChunkSet keys;
  for (int cy = cyFirst; cy <= cyLast; ++cy) {
    for (int dz = -1; dz <= 1; ++dz) {
      for (int dx = -1; dx <= 1; ++dx) keys.insert({cx + dx, cy, cz + dz});
    }
  }
  return keys;
}

TEST(LightRemesh, ChangedChunksAndTheirHorizontalNeighboursAreRemeshed) {
  World world(kSeed);
  createEmptyColumn(world, 2, -3);
  relightColumn(world, 2, -3);  // every chunk goes from dark to daylight
  EXPECT_EQ(remeshed(world), ringsAround(2, -3, kMinChunkY, kMaxChunkY));

  world.remeshSet.clear();
  relightColumn(world, 2, -3);
  EXPECT_TRUE(world.remeshSet.empty());

  // Torch light at y = 8 spans y −5..21: chunks cy −1, 0 and 1.
  setBlockRaw(world, 2 * kChunkSize + 8, 8, -3 * kChunkSize + 8, blocks::Torch);
  relightColumn(world, 2, -3);
  EXPECT_EQ(remeshed(world), ringsAround(2, -3, -1, 1));
}

// Every pair of touching cells in the loaded area agrees: a lit cell's neighbour holds at
// least its value less the neighbour's attenuation.
void expectSettled(const World& world, int x0, int z0, int x1, int z1) {
  const int dx[] = {1, -1, 0, 0, 0, 0}, dy[] = {0, 0, 1, -1, 0, 0}, dz[] = {0, 0, 0, 0, 1, -1};
  for (int y = kMinY; y <= kMaxY; ++y) {
    for (int z = z0; z <= z1; ++z) {
      for (int x = x0; x <= x1; ++x) {
        const int sky = skyLight(world, x, y, z), block = blockLight(world, x, y, z);
        for (int k = 0; k < 6; ++k) {
          const int nx = x + dx[k], ny = y + dy[k], nz = z + dz[k];
          if (nx < x0 || nx > x1 || nz < z0 || nz > z1 || ny < kMinY || ny > kMaxY) continue;
          const int loss = std::max<int>(blockRegistry().get(getBlock(world, nx, ny, nz)).lightOpacity, 1);
          ASSERT_GE(skyLight(world, nx, ny, nz), sky - loss) << x << "," << y << "," << z << " dir " << k;
          ASSERT_GE(blockLight(world, nx, ny, nz), block - loss) << x << "," << y << "," << z << " dir " << k;
        }
      }
    }
  }
}

TEST(LightTerrain, GeneratedColumnsSettleWithDaylightAboveAndDarkBelow) {
  World world(kSeed);
  for (int cz = -1; cz <= 1; ++cz) {
    for (int cx = -1; cx <= 1; ++cx) ensureColumn(world, cx, cz);
  }
  for (int cz = -1; cz <= 1; ++cz) {
    for (int cx = -1; cx <= 1; ++cx) queueRelight(world, cx, cz);
  }
  EXPECT_GE(processRelightQueue(world, 4096), 9);
  ASSERT_TRUE(world.relightQueue.empty());

  for (int z = 0; z < kChunkSize; ++z) {
    for (int x = 0; x < kChunkSize; ++x) {
      EXPECT_EQ(skyLight(world, x, kMaxY, z), 15) << x << "," << z;
      const int ground = terrainHeight(kSeed, x, z);
      if (ground <= kSeaLevel) continue;  // under water the bed is not the top of solid ground
      EXPECT_LT(skyLight(world, x, ground - 6, z), 15) << x << "," << z;
    }
  }
  expectSettled(world, -1, -1, kChunkSize, kChunkSize);  // the middle column and its borders
}

}  // namespace
}  // namespace zorv
