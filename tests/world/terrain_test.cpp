#include "world/terrain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "world/villages.h"

namespace zorv {
namespace {

constexpr std::int32_t kSeed = 20261018;

bool isOre(BlockId id) { return id == blocks::CoalOre || id == blocks::IronOre || id == blocks::DiamondOre; }

// Every block id of a column, bottom to top, z then x.
std::vector<BlockId> columnBlocks(const World& world, int cx, int cz) {
  std::vector<BlockId> cells;
  cells.reserve(kColumnCells);
  for (int y = kMinY; y <= kMaxY; ++y) {
    for (int z = 16 * cz; z < 16 * cz + 16; ++z) {
      for (int x = 16 * cx; x < 16 * cx + 16; ++x) cells.push_back(getBlock(world, x, y, z));
    }
  }
  return cells;
}

TEST(TerrainNoise, PrimitivesStayInRangeAndDependOnlyOnTheirArguments) {
  EXPECT_FLOAT_EQ(smoothStep(0.0f), 0.0f);
  EXPECT_FLOAT_EQ(smoothStep(0.5f), 0.5f);
  EXPECT_FLOAT_EQ(smoothStep(1.0f), 1.0f);
  EXPECT_FLOAT_EQ(fin24(0), 0.0f);
  for (std::uint32_t h : {1u, 12345u, 0xFFFFFFFFu, 0x80000000u}) {
    EXPECT_GE(fin24(h), 0.0f);
    EXPECT_LE(fin24(h), 1.0f);
  }
  for (float a : {-1000.25f, -0.5f, 0.0f, 3.75f, 91234.5f}) {
    const float value = fractal2(a, -a * 0.5f, 4, kSeed);
    EXPECT_GE(value, 0.0f);
    EXPECT_LE(value, 1.0f);
    EXPECT_EQ(value, fractal2(a, -a * 0.5f, 4, kSeed));
    const float cube = noise3(a, 0.3f * a, -a, kSeed);
    EXPECT_GE(cube, 0.0f);
    EXPECT_LE(cube, 1.0f);
  }
  // Value noise takes the lattice value at integer points and blends continuously between.
  EXPECT_NEAR(noise3(2.0f, 3.0f, 4.0f, 7), noise3(2.0001f, 3.0f, 4.0f, 7), 1e-3f);
  EXPECT_NE(fractal2(10.5f, 20.5f, 4, 1), fractal2(10.5f, 20.5f, 4, 2));
}

TEST(TerrainHeight, SurfaceStaysBetweenThreeAndFiftySixAndBiomesAreAllReached) {
  int lowest = 1000, highest = -1000;
  bool biomeSeen[4] = {};
  for (int z = -20000; z <= 20000; z += 97) {
    for (int x = -20000; x <= 20000; x += 89) {
      const int h = terrainHeight(kSeed, x, z);
      lowest = std::min(lowest, h);
      highest = std::max(highest, h);
      biomeSeen[terrainBiome(kSeed, x, z)] = true;
    }
  }
  EXPECT_GE(lowest, 3);
  EXPECT_LE(highest, 56);
  EXPECT_LT(lowest, kSeaLevel);  // seas exist
  EXPECT_GT(highest, 45);        // so do hills
  for (bool seen : biomeSeen) EXPECT_TRUE(seen);
}

TEST(TerrainColumns, GenerationOrderDoesNotChangeAnyCell) {
  World forward(kSeed), backward(kSeed);
  for (int cz = -2; cz < 2; ++cz) {
    for (int cx = -2; cx < 2; ++cx) ensureColumn(forward, cx, cz);
  }
  for (int cx = 1; cx >= -2; --cx) {
    for (int cz = 1; cz >= -2; --cz) ensureColumn(backward, cx, cz);
  }
  // A column generated alone, without neighbours, is the same too.
  World alone(kSeed);
  ensureColumn(alone, 0, 0);
  for (int cz = -2; cz < 2; ++cz) {
    for (int cx = -2; cx < 2; ++cx) {
      ASSERT_EQ(columnBlocks(forward, cx, cz), columnBlocks(backward, cx, cz)) << cx << "," << cz;
    }
  }
  EXPECT_EQ(columnBlocks(alone, 0, 0), columnBlocks(forward, 0, 0));
}

// Layers, ores, caves and the sea checked on every cell of an area without villages.
TEST(TerrainColumns, LayersOresCavesAndSeaFollowTheirRules) {
  World world(kSeed);
  const int cx0 = 400, cz0 = -300;  // far from the spawn village
  int bedrock47 = 0, bedrock46 = 0, cells = 0, lava = 0, water = 0, ores = 0;
  for (int cz = cz0; cz < cz0 + 3; ++cz) {
    for (int cx = cx0; cx < cx0 + 3; ++cx) {
      ensureColumn(world, cx, cz);
      if (!sitesNearRect(world, 16 * cx, 16 * cz, 16 * cx + 15, 16 * cz + 15).empty()) continue;
      for (int z = 16 * cz; z < 16 * cz + 16; ++z) {
        for (int x = 16 * cx; x < 16 * cx + 16; ++x) {
          ++cells;
          const int h = terrainHeight(world.seed, x, z);
          ASSERT_EQ(getBlock(world, x, kMinY, z), blocks::Bedrock);
          bedrock47 += getBlock(world, x, kMinY + 1, z) == blocks::Bedrock;
          bedrock46 += getBlock(world, x, kMinY + 2, z) == blocks::Bedrock;
          for (int y = kMinY; y <= kMaxY; ++y) {
            const BlockId id = getBlock(world, x, y, z);
            if (id == blocks::Lava) {
              ++lava;
              EXPECT_LE(y, -20);
              EXPECT_GE(y, -45);
            }
            // Nothing is carved in the bedrock rows, and carved cells this deep hold lava.
            EXPECT_FALSE(y <= -20 && id == kAir) << x << "," << y << "," << z;
            if (isOre(id)) {
              ++ores;
              EXPECT_LT(y, h - 2) << "ore in the top layers at " << x << "," << y << "," << z;
            }
            EXPECT_FALSE(id == blocks::DiamondOre && y > 0);
            EXPECT_FALSE(id == blocks::IronOre && y > 34);
            if (y > h && y <= kSeaLevel) {
              EXPECT_EQ(id, blocks::Water) << x << "," << y << "," << z;
              ++water;
            }
            if (y > std::max(h, kSeaLevel) && id != kAir) {
              EXPECT_TRUE(id == blocks::Wood || id == blocks::Leaves) << "only trees above the ground";
            }
          }
        }
      }
    }
  }
  ASSERT_GT(cells, 0);
  EXPECT_GT(bedrock47, cells / 4);
  EXPECT_LT(bedrock47, cells);
  EXPECT_GT(bedrock46, 0);
  EXPECT_LT(bedrock46, cells / 2);
  EXPECT_GT(ores, 0);
  EXPECT_GT(lava + water, 0);
}

TEST(TerrainColumns, SurfaceBlocksFollowTheBiome) {
  World world(kSeed);
  int checked = 0;
  for (int cx = 100; cx < 160 && checked < 2000; cx += 3) {
    const int cz = -cx;
    ensureColumn(world, cx, cz);
    if (!sitesNearRect(world, 16 * cx, 16 * cz, 16 * cx + 15, 16 * cz + 15).empty()) continue;
    for (int lz = 0; lz < 16; ++lz) {
      for (int lx = 0; lx < 16; ++lx) {
        const int x = 16 * cx + lx, z = 16 * cz + lz;
        const int h = terrainHeight(world.seed, x, z);
        const int biome = terrainBiome(world.seed, x, z);
        const BlockId top = getBlock(world, x, h, z);
        if (top == kAir || top == blocks::Wood) continue;  // carved or a trunk stands there
        ++checked;
        if (h <= 32 || biome == BiomeDesert) {
          EXPECT_EQ(top, blocks::Sand);
        } else {
          EXPECT_EQ(top, biome == BiomeSnow ? blocks::Snow : blocks::Grass);
        }
      }
    }
  }
  EXPECT_GT(checked, 1000);
}

// Finds a trunk standing in the last x row of a column whose canopy spills into the next.
TEST(TerrainTrees, CanopyOfANeighbouringLatticePointReachesIntoTheColumn) {
  World both(kSeed);
  for (int cz = 0; cz < 80; ++cz) {
    for (int cx : {0, 1}) ensureColumn(both, cx, cz);
    for (int z = 16 * cz; z < 16 * cz + 16; ++z) {
      for (int y = 33; y < kMaxY; ++y) {
        if (getBlock(both, 15, y, z) != blocks::Wood || getBlock(both, 16, y, z) != blocks::Leaves) continue;
        World alone(kSeed);
        ensureColumn(alone, 1, cz);  // the trunk's own column is never generated here
        EXPECT_FALSE(isColumnLoaded(alone, 0, cz));
        EXPECT_EQ(getBlock(alone, 16, y, z), blocks::Leaves);
        EXPECT_EQ(getBlock(alone, 17, y, z), getBlock(both, 17, y, z));
        return;
      }
    }
  }
  FAIL() << "no tree at a column edge was found";
}

TEST(TerrainSurface, VillagesFlattenTheSurfaceQueries) {
  World world(kSeed);
  const VillageSite spawn = world.villageSites.front();
  EXPECT_EQ(surfaceHeight(world, spawn.x, spawn.z), spawn.y);
  EXPECT_EQ(surfaceHeight(world, spawn.x + 19, spawn.z), spawn.y);
  EXPECT_EQ(surfaceBiome(world, spawn.x + 19, spawn.z), BiomeGrassland);
  // Between radius and radius + 12 the level blends back towards the natural height.
  const int x = spawn.x + 26, z = spawn.z;
  const int h = terrainHeight(world.seed, x, z);
  const int blended = surfaceHeight(world, x, z);
  if (h >= kSeaLevel) {
    EXPECT_GE(blended, std::min(h, spawn.y));
    EXPECT_LE(blended, std::max(h, spawn.y));
  }
  // Far from every village the queries are the plain terrain functions.
  const int farX = 16 * 400 + 8, farZ = -16 * 300 + 8;
  if (sitesWithin(world, farX, farZ, 40).empty()) {
    EXPECT_EQ(surfaceHeight(world, farX, farZ), terrainHeight(world.seed, farX, farZ));
    EXPECT_EQ(surfaceBiome(world, farX, farZ), terrainBiome(world.seed, farX, farZ));
  }
  // The generated ground at the well's ring matches the query.
  ensureColumnsAround(world, spawn.x, spawn.z, 2);
  EXPECT_EQ(getBlock(world, spawn.x + 19, spawn.y, spawn.z + 3), blocks::Grass);
  EXPECT_EQ(getBlock(world, spawn.x + 19, spawn.y + 1, spawn.z + 3), kAir);
}

TEST(TerrainColumns, GenerationQueuesRelightAndReplaysEdits) {
  World world(kSeed);
  ensureColumn(world, 3, 4);
  for (auto [cx, cz] : {std::pair{3, 4}, {2, 4}, {4, 4}, {3, 3}, {3, 5}}) {
    EXPECT_TRUE(world.relightQueue.contains(packRelightColumn(cx, cz)));
  }
  EXPECT_FALSE(world.generating);
  setBlock(world, 50, 60, 70, blocks::Bricks);
  unloadFar(world, 100, 100, 0);
  EXPECT_FALSE(isColumnLoaded(world, 3, 4));
  ensureColumn(world, 3, 4);
  EXPECT_EQ(getBlock(world, 50, 60, 70), blocks::Bricks);
}

}  // namespace
}  // namespace zorv
