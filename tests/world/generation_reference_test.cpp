// Pins terrain and village generation to the independent reference in terrain_reference.*:
// heights, biomes, sites, names and whole columns must agree exactly. The positions were
// chosen (with the reference) where a change of one generation constant shows.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "terrain_reference.h"
#include "world/terrain.h"
#include "world/villages.h"

namespace zorv {
namespace {

constexpr std::int32_t kSeed = 20261018;     // spawn village at the origin
constexpr std::int32_t kOtherSeed = 4073;    // spawn village at (112, 144)

// The world's corners and edge midpoints, a 17 × 17 grid around the origin, scattered
// points across the whole world, and the points named by the caller.
std::vector<std::pair<int, int>> samplePoints(std::vector<std::pair<int, int>> extra) {
  std::vector<std::pair<int, int>> points = std::move(extra);
  for (int x : {-kWorldLimit, 0, kWorldLimit}) {
    for (int z : {-kWorldLimit, 0, kWorldLimit}) points.emplace_back(x, z);
  }
  points.emplace_back(kWorldLimit - 1, -kWorldLimit + 1);
  points.emplace_back(-kWorldLimit + 7, kWorldLimit - 3);
  for (int z = -600; z <= 600; z += 75) {
    for (int x = -600; x <= 600; x += 75) points.emplace_back(x + 3, z - 5);
  }
  std::uint32_t state = 12345;
  const auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return static_cast<int>(state >> 11) % (2 * kWorldLimit + 1) - kWorldLimit;
  };
  for (int k = 0; k < 80; ++k) {
    const int x = next();
    points.emplace_back(x, next());
  }
  return points;
}

std::map<BlockId, int> blockCounts(const std::vector<BlockId>& cells) {
  std::map<BlockId, int> counts;
  for (BlockId id : cells) ++counts[id];
  return counts;
}

// The generated column in the reference's cell order.
std::vector<BlockId> generatedColumn(const World& world, int cx, int cz) {
  std::vector<BlockId> cells(static_cast<std::size_t>(kColumnCells));
  for (int y = kMinY; y <= kMaxY; ++y) {
    for (int lz = 0; lz < kChunkSize; ++lz) {
      for (int lx = 0; lx < kChunkSize; ++lx) {
        cells[reference::columnIndex(lx, y, lz)] = getBlock(world, 16 * cx + lx, y, 16 * cz + lz);
      }
    }
  }
  return cells;
}

// Same block counts, then the first differing cell (if any) for the message.
void expectSameColumn(const std::vector<BlockId>& actual, const std::vector<BlockId>& expected, int cx, int cz) {
  EXPECT_EQ(blockCounts(actual), blockCounts(expected)) << "column " << cx << "," << cz;
  for (int y = kMinY; y <= kMaxY; ++y) {
    for (int lz = 0; lz < kChunkSize; ++lz) {
      for (int lx = 0; lx < kChunkSize; ++lx) {
        const std::size_t index = reference::columnIndex(lx, y, lz);
        if (actual[index] == expected[index]) continue;
        ADD_FAILURE() << "first difference at " << 16 * cx + lx << "," << y << "," << 16 * cz + lz << ": "
                      << actual[index] << " instead of " << expected[index];
        return;
      }
    }
  }
}

TEST(GenerationReference, SmoothSquaresFirstAndTheHashFinaliserIsExact) {
  // (3 − 2t)·(t·t), worked out by hand in single precision; multiplying left to right
  // gives the neighbouring float for each of these.
  const std::pair<float, float> cases[] = {{0x1.132d9p-3f, 0x1.93f1eep-5f},
                                           {0x1.b1e2d6p-1f, 0x1.dfe24p-1f},
                                           {0x1.870d78p-1f, 0x1.b7c928p-1f},
                                           {0x1.fb5356p-2f, 0x1.f8fd0cp-2f}};
  for (const auto& [t, expected] : cases) {
    EXPECT_EQ(smoothStep(t), expected) << t;
    EXPECT_EQ(reference::smooth(t), expected) << t;
  }
  EXPECT_EQ(smoothStep(0.25f), 0.15625f);
  // fin24(1): 1 · 0x85EBCA6B = 0x85EBCA6B; xor its top half gives 0x85EB4F80; low 24 bits 0xEB4F80.
  EXPECT_EQ(fin24(1), static_cast<float>(0xEB4F80) / 16777215.0f);
  EXPECT_EQ(reference::fin24(1), static_cast<float>(0xEB4F80) / 16777215.0f);
  EXPECT_EQ(fin24(0), 0.0f);
}

TEST(GenerationReference, HeightsAndBiomesAgreeAcrossTheWorld) {
  // (−2419, 871) is a point where multiplying smooth() left to right moves the height.
  for (const auto& [seed, extra] : {std::pair{kSeed, std::vector<std::pair<int, int>>{{-2419, 871}}},
                                    std::pair{kOtherSeed, std::vector<std::pair<int, int>>{}}}) {
    std::set<int> biomes;
    int low = 100, high = -100;
    for (const auto& [x, z] : samplePoints(extra)) {
      const int expected = reference::height(seed, x, z);
      EXPECT_EQ(terrainHeight(seed, x, z), expected) << "seed " << seed << " at " << x << "," << z;
      EXPECT_EQ(terrainBiome(seed, x, z), reference::biome(seed, x, z)) << "seed " << seed << " at " << x << "," << z;
      biomes.insert(reference::biome(seed, x, z));
      low = std::min(low, expected);
      high = std::max(high, expected);
    }
    // The sample reaches seas, hills and every biome.
    EXPECT_EQ(biomes.size(), 4u) << seed;
    EXPECT_LT(low, kSeaLevel) << seed;
    EXPECT_GT(high, 45) << seed;
  }
}

TEST(GenerationReference, SpawnAndCellSitesAgree) {
  for (std::int32_t seed : {kSeed, kOtherSeed}) {
    World world(seed);
    const reference::SpawnVillage spawn = reference::spawnVillage(seed);
    EXPECT_FALSE(spawn.fallback);
    ASSERT_EQ(world.villageSites.size(), 1u);
    EXPECT_EQ(world.villageSites[0].x, spawn.site.x);
    EXPECT_EQ(world.villageSites[0].z, spawn.site.z);
    EXPECT_EQ(world.villageSites[0].y, spawn.site.level);
    int sites = 0;
    for (int j = -8; j <= 8; ++j) {
      for (int i = -8; i <= 8; ++i) {
        const std::optional<reference::Site> expected = reference::cellSite(seed, spawn.site, i, j);
        const std::optional<VillageSite> actual = cellSite(world, i, j);
        ASSERT_EQ(actual.has_value(), expected.has_value()) << "seed " << seed << " cell " << i << "," << j;
        if (!expected) continue;
        ++sites;
        EXPECT_EQ((reference::Site{actual->x, actual->z, actual->y, actual->radius}), *expected)
            << "seed " << seed << " cell " << i << "," << j;
      }
    }
    EXPECT_GT(sites, 0) << seed;
  }
}

// Cells whose outcome hangs on the 55 % chance or on the 110-block distance to the spawn
// village: each would have flat enough ground for a village.
TEST(GenerationReference, CellSitesAtTheEdgesOfChanceAndDistance) {
  struct Edge {
    std::int32_t seed;
    int i, j;
    bool hasSite;
  };
  const Edge edges[] = {{kSeed, 1, 26, true},       // chance roll 54
                        {kSeed, -6, 13, false},     // chance roll 55
                        {kOtherSeed, 0, 1, true},   // 110.4 blocks from the spawn village
                        {4473, -1, 0, false}};      // 109.8 blocks from the spawn village
  for (const Edge& edge : edges) {
    World world(edge.seed);
    const reference::CellCandidate candidate = reference::cellCandidate(edge.seed, edge.i, edge.j);
    ASSERT_TRUE(reference::siteOnFlatGround(edge.seed, candidate.x, candidate.z, 32, 7).has_value());
    EXPECT_EQ(cellSite(world, edge.i, edge.j).has_value(), edge.hasSite) << edge.seed << " " << edge.i << "," << edge.j;
  }
  EXPECT_EQ(reference::cellCandidate(kSeed, 1, 26).chanceRoll, 54u);
  EXPECT_EQ(reference::cellCandidate(kSeed, -6, 13).chanceRoll, 55u);
  const auto squaredDistanceToSpawn = [](std::int32_t seed, int i, int j) {
    const reference::CellCandidate c = reference::cellCandidate(seed, i, j);
    const reference::Site spawn = reference::spawnVillage(seed).site;
    return (c.x - spawn.x) * (c.x - spawn.x) + (c.z - spawn.z) * (c.z - spawn.z);
  };
  EXPECT_EQ(squaredDistanceToSpawn(kOtherSeed, 0, 1), 23 * 23 + 108 * 108);  // (89, 252) from (112, 144)
  EXPECT_EQ(squaredDistanceToSpawn(4473, -1, 0), 92 * 92 + 60 * 60);         // (−92, 60) from (0, 0)
}

TEST(GenerationReference, VillageNamesAgreeInBothLanguages) {
  std::set<std::string> english, chinese;
  for (std::int32_t seed : {kSeed, kOtherSeed}) {
    for (int z = -400; z <= 400; z += 50) {
      for (int x = -400; x <= 400; x += 50) {
        const VillageSite site{x + 1, z - 2, 40, 20};
        english.insert(villageName(site, seed, false));
        chinese.insert(villageName(site, seed, true));
        EXPECT_EQ(villageName(site, seed, false), reference::villageName(site.x, site.z, seed, false));
        EXPECT_EQ(villageName(site, seed, true), reference::villageName(site.x, site.z, seed, true));
      }
    }
  }
  // Every prefix meets every suffix somewhere in the sample.
  EXPECT_EQ(english.size(), 64u);
  EXPECT_EQ(chinese.size(), 64u);
}

// Each column stands for something that a single constant decides.
TEST(GenerationReference, GeneratedColumnsAgreeBlockForBlock) {
  struct Case {
    std::int32_t seed;
    int cx, cz;
  };
  const Case cases[] = {
      {kSeed, -1, -1},      // the spawn village's well, a house and lamp posts
      {kSeed, 0, 0},        // the rest of the well and the opposite house
      {kSeed, -2, -2},      // the blend back to natural height (rounding)
      {kSeed, 15, 17},      // caves, lava and diamonds
      {kSeed, 7, 7},        // canopies from neighbouring lattice points, forest rolls 44 and 45 among them
      {kSeed, 9, -18},      // grassland tree rolls 11 and 12
      {kSeed, -1, -7},      // caves near the seabed, below the cave ceiling
      {kSeed, -84, -160},   // mountain trees just low enough, and one just too high, to fit
      {kOtherSeed, 7, 9},   // the other seed's spawn village
      {kOtherSeed, 6, 6},   // the other seed: lava, diamonds and trees together
  };
  World world(kSeed), other(kOtherSeed);
  for (const Case& c : cases) {
    World& target = c.seed == kSeed ? world : other;
    ensureColumn(target, c.cx, c.cz);
    expectSameColumn(generatedColumn(target, c.cx, c.cz), reference::column(c.seed, c.cx, c.cz), c.cx, c.cz);
  }
}

// Why the columns above were chosen, checked on the reference so the choice stays valid.
TEST(GenerationReference, ChosenColumnsShowWhatTheyStandFor) {
  const std::map<BlockId, int> caves = blockCounts(reference::column(kSeed, 15, 17));
  EXPECT_GT(caves.at(blocks::Lava), 1000);
  EXPECT_GT(caves.at(blocks::DiamondOre), 10);
  EXPECT_GT(caves.at(blocks::IronOre), 10);

  const std::map<BlockId, int> village = blockCounts(reference::column(kSeed, -1, -1));
  EXPECT_GT(village.at(blocks::Bookshelf), 0);
  EXPECT_GT(village.at(blocks::Gravel), 0);

  const auto hasTree = [](int cx, int cz, int biome, unsigned roll, bool planted, bool outside) {
    for (const reference::TreeCandidate& tree : reference::treeCandidates(kSeed, cx, cz)) {
      const bool isOutside = chunkCoord(tree.x) != cx || chunkCoord(tree.z) != cz;
      if (tree.biome == biome && tree.chanceRoll == roll && tree.planted == planted && isOutside == outside) return true;
    }
    return false;
  };
  EXPECT_TRUE(hasTree(7, 7, BiomeForest, 44, true, true));
  EXPECT_TRUE(hasTree(7, 7, BiomeForest, 45, false, true));
  EXPECT_TRUE(hasTree(9, -18, BiomeGrassland, 11, true, false));
  EXPECT_TRUE(hasTree(9, -18, BiomeGrassland, 12, false, false));
  // A tree needs its top leaves plus two below y = 64.
  const auto fits = [](const reference::TreeCandidate& tree, int topSpare) {
    const unsigned chance = tree.biome == BiomeForest ? 45u : 12u;
    return tree.chanceRoll < chance && tree.ground + tree.trunk + 3 == topSpare;
  };
  const std::vector<reference::TreeCandidate> mountain = reference::treeCandidates(kSeed, -84, -160);
  EXPECT_TRUE(std::any_of(mountain.begin(), mountain.end(), [&](const auto& t) { return fits(t, 63) && t.planted; }));
  EXPECT_TRUE(std::any_of(mountain.begin(), mountain.end(), [&](const auto& t) { return fits(t, 64) && !t.planted; }));
  int fromNeighbours = 0;
  for (const reference::TreeCandidate& tree : reference::treeCandidates(kSeed, 7, 7)) {
    fromNeighbours += tree.planted && (chunkCoord(tree.x) != 7 || chunkCoord(tree.z) != 7);
  }
  EXPECT_GT(fromNeighbours, 0);
}

// Flattening over a column of solid stone shows how far up it clears.
TEST(GenerationReference, VillagesFlattenAndBuildOverSolidGround) {
  World world(kSeed);
  const VillageSite spawn = world.villageSites.front();
  ASSERT_EQ(spawn.x, 0);
  ASSERT_EQ(spawn.z, 0);
  for (const auto& [cx, cz] : {std::pair{-2, -2}, {-1, -1}, {0, -1}, {-1, 0}, {0, 0}, {1, 1}}) {
    createEmptyColumn(world, cx, cz);
    for (int y = kMinY; y <= kMaxY; ++y) {
      for (int z = 16 * cz; z < 16 * cz + 16; ++z) {
        for (int x = 16 * cx; x < 16 * cx + 16; ++x) setBlockRaw(world, x, y, z, blocks::Stone);
      }
    }
    world.generating = true;
    world.generatingCx = cx;
    world.generatingCz = cz;
    buildVillagesInColumn(world, cx, cz);
    world.generating = false;
    const std::vector<BlockId> solid(static_cast<std::size_t>(kColumnCells), blocks::Stone);
    expectSameColumn(generatedColumn(world, cx, cz), reference::villagesOver(kSeed, cx, cz, solid), cx, cz);
  }
  // By hand: a plain cell inside the radius is grass at the village level, air for ten
  // blocks above the higher of ground and level, and untouched above that.
  const int x = 15, z = -5;
  const int top = std::max(terrainHeight(kSeed, x, z), spawn.y) + 10;
  EXPECT_EQ(getBlock(world, x, spawn.y, z), blocks::Grass);
  EXPECT_EQ(getBlock(world, x, spawn.y + 1, z), kAir);
  EXPECT_EQ(getBlock(world, x, top, z), kAir);
  EXPECT_EQ(getBlock(world, x, top + 1, z), blocks::Stone);
}

}  // namespace
}  // namespace zorv
