#include "world/villages.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "terrain_reference.h"
#include "world/terrain.h"

namespace zorv {
namespace {

constexpr std::int32_t kSeed = 20261018;

// Heights and biomes of the square sampling grid a site was accepted on.
void expectFlatGround(std::int32_t seed, const VillageSite& site, int reach, int spread) {
  int low = 1000, high = -1000;
  for (int dz = -reach; dz <= reach; dz += 8) {
    for (int dx = -reach; dx <= reach; dx += 8) {
      const int h = terrainHeight(seed, site.x + dx, site.z + dz);
      const int biome = terrainBiome(seed, site.x + dx, site.z + dz);
      EXPECT_GE(h, 34);
      EXPECT_TRUE(biome == BiomeGrassland || biome == BiomeForest);
      low = std::min(low, h);
      high = std::max(high, h);
    }
  }
  EXPECT_LE(high - low, spread);
  EXPECT_EQ(site.y, (low + high) / 2);
  EXPECT_EQ(site.radius, kVillageRadius);
}

TEST(VillageSites, SpawnVillageSitsOnTheFirstFlatRingPosition) {
  for (std::int32_t seed : {kSeed, 1, 4242, -77, -3000}) {  // −3000: a spread-7 position precedes its spread-6 site
    World world(seed);
    ASSERT_EQ(world.villageSites.size(), 1u);
    const VillageSite spawn = world.villageSites.front();
    EXPECT_EQ(spawn.x % 16, 0);
    EXPECT_EQ(spawn.z % 16, 0);
    const int ring = std::max(std::abs(spawn.x), std::abs(spawn.z));
    ASSERT_LE(ring, 560);
    // The reference tells a ring-0 site from the fallback, which both sit at the origin.
    const reference::SpawnVillage expected = reference::spawnVillage(seed);
    EXPECT_EQ(spawn.x, expected.site.x);
    EXPECT_EQ(spawn.z, expected.site.z);
    EXPECT_EQ(spawn.y, expected.site.level);
    EXPECT_FALSE(seed == kSeed && expected.fallback) << "the origin itself is flat for this seed";
    if (expected.fallback) continue;
    expectFlatGround(seed, spawn, 16, 6);
    EXPECT_FALSE(sitesWithin(world, 0, 0, 600).empty());
  }
}

TEST(VillageSites, CellSitesAreMemoisedKeepTheirDistanceAndLieInsideTheirCell) {
  World world(kSeed);
  const VillageSite spawn = world.villageSites.front();
  int found = 0, none = 0;
  for (int j = -6; j <= 6; ++j) {
    for (int i = -6; i <= 6; ++i) {
      const std::optional<VillageSite> site = cellSite(world, i, j);
      ASSERT_TRUE(world.villageCellMemo.count(packColumn(i, j)));
      EXPECT_EQ(world.villageCellMemo[packColumn(i, j)].hasSite, site.has_value());
      if (!site) {
        ++none;
        continue;
      }
      ++found;
      EXPECT_GE(site->x - 160 * i, 60);
      EXPECT_LE(site->x - 160 * i, 100);
      EXPECT_GE(site->z - 160 * j, 60);
      EXPECT_LE(site->z - 160 * j, 100);
      const std::int64_t dx = site->x - spawn.x, dz = site->z - spawn.z;
      EXPECT_GE(dx * dx + dz * dz, 110 * 110);
      expectFlatGround(kSeed, *site, 32, 7);
    }
  }
  EXPECT_GT(found, 0);
  EXPECT_GT(none, 0);
  // The cell holding the spawn village can never hold a second one.
  EXPECT_FALSE(cellSite(world, floorDiv(spawn.x, 160), floorDiv(spawn.z, 160)).has_value());
  // The site list itself never grows.
  EXPECT_EQ(world.villageSites.size(), 1u);
}

TEST(VillageSites, NearRectAndWithinSelectByCentre) {
  World world(kSeed);
  const VillageSite spawn = world.villageSites.front();
  const std::vector<VillageSite> near = sitesNearRect(world, spawn.x + 32, spawn.z - 5, spawn.x + 40, spawn.z + 5);
  ASSERT_FALSE(near.empty());
  EXPECT_EQ(near.front().x, spawn.x);
  const auto isSpawn = [&](const VillageSite& site) { return site.x == spawn.x && site.z == spawn.z; };
  const std::vector<VillageSite> beyond = sitesNearRect(world, spawn.x + 33, spawn.z, spawn.x + 40, spawn.z);
  EXPECT_TRUE(std::none_of(beyond.begin(), beyond.end(), isSpawn));

  // The centre is the middle of the well's cell: 9.5 blocks away in x, 0.5 in z.
  const std::vector<VillageSite> inside = sitesWithin(world, spawn.x + 10, spawn.z, 10);
  EXPECT_TRUE(std::any_of(inside.begin(), inside.end(), isSpawn));
  const std::vector<VillageSite> outside = sitesWithin(world, spawn.x + 12, spawn.z, 11);
  EXPECT_TRUE(std::none_of(outside.begin(), outside.end(), isSpawn));
  // Every site the wide query returns is within reach, and two equal worlds agree.
  World twin(kSeed);
  const std::vector<VillageSite> wide = sitesWithin(world, 0, 0, 2000);
  const std::vector<VillageSite> twinWide = sitesWithin(twin, 0, 0, 2000);
  ASSERT_EQ(wide.size(), twinWide.size());
  EXPECT_GT(wide.size(), 3u);
  for (std::size_t k = 0; k < wide.size(); ++k) {
    EXPECT_LE(distanceToSite(wide[k], 0, 0), 2000.0f);
    EXPECT_EQ(wide[k].x, twinWide[k].x);
    EXPECT_EQ(wide[k].z, twinWide[k].z);
    EXPECT_EQ(villageName(wide[k], kSeed, false), villageName(twinWide[k], kSeed, false));
  }
}

TEST(VillageGround, FlattenedLevelBlendsBackToTheNaturalHeight) {
  const VillageSite site{0, 0, 40, 20};
  EXPECT_EQ(flattenedLevel(site, 0.0f, 55), 40);
  EXPECT_EQ(flattenedLevel(site, 20.0f, 55), 40);
  EXPECT_EQ(flattenedLevel(site, 32.0f, 55), 55);
  EXPECT_EQ(flattenedLevel(site, 50.0f, 31), 31);
  EXPECT_EQ(flattenedLevel(site, 26.0f, 50), 45);  // halfway: smooth(0.5) = 0.5
  const int rising = flattenedLevel(site, 23.0f, 60), later = flattenedLevel(site, 29.0f, 60);
  EXPECT_GT(rising, 40);
  EXPECT_LT(rising, later);
  EXPECT_EQ(flattenedLevel({0, 0, 3, 20}, 31.9f, 0), 2);  // clamped to 2..60
  // Rounded to nearest: smooth(0.25) = 0.15625 and smooth(0.75) = 0.84375.
  EXPECT_EQ(flattenedLevel(site, 23.0f, 44), 41);  // 40 + 0.15625 · 4 = 40.625
  EXPECT_EQ(flattenedLevel(site, 23.0f, 36), 39);  // 40 − 0.625 = 39.375
  EXPECT_EQ(flattenedLevel(site, 29.0f, 36), 37);  // 40 − 0.84375 · 4 = 36.625
  EXPECT_EQ(flattenedLevel(site, 29.0f, 48), 47);  // 40 + 6.75 = 46.75
}

TEST(VillageBuildings, WellHousesPathsAndLampsStandAroundTheSite) {
  World world(kSeed);
  const VillageSite site = world.villageSites.front();
  const int a = site.x, b = site.z, y = site.y;
  ensureColumnsAround(world, a, b, 2);
  // Well: cobblestone rim, water inside, wooden corner posts and a plank canopy.
  EXPECT_EQ(getBlock(world, a + 2, y, b - 2), blocks::Cobblestone);
  EXPECT_EQ(getBlock(world, a - 1, y, b - 1), blocks::Water);
  EXPECT_EQ(getBlock(world, a, y - 1, b), blocks::Water);
  EXPECT_EQ(getBlock(world, a + 1, y + 2, b - 1), kAir);
  for (int postY = y + 1; postY <= y + 3; ++postY) EXPECT_EQ(getBlock(world, a - 2, postY, b + 2), blocks::Wood);
  for (int d = -2; d <= 2; ++d) EXPECT_EQ(getBlock(world, a + d, y + 4, b - d), blocks::Planks);
  // The house at (−12, −12) faces the well along +x.
  const int hx = a - 12, hz = b - 12;
  EXPECT_EQ(getBlock(world, hx, y, hz), blocks::Cobblestone);
  EXPECT_EQ(getBlock(world, hx + 3, y + 1, hz), kAir);      // door
  EXPECT_EQ(getBlock(world, hx + 3, y + 3, hz), blocks::Planks);
  EXPECT_EQ(getBlock(world, hx - 3, y + 2, hz), kAir);      // window opposite the door
  EXPECT_EQ(getBlock(world, hx - 3, y + 1, hz), blocks::Cobblestone);
  EXPECT_EQ(getBlock(world, hx - 3, y + 3, hz - 3), blocks::Cobblestone);  // corner
  EXPECT_EQ(getBlock(world, hx, y + 4, hz - 3), blocks::Bricks);
  EXPECT_EQ(getBlock(world, hx, y + 7, hz), blocks::Bricks);  // ridge
  EXPECT_EQ(getBlock(world, hx - 3, y + 6, hz), blocks::Planks);  // gable
  EXPECT_EQ(getBlock(world, hx - 2, y + 2, hz - 2), blocks::Bookshelf);
  EXPECT_EQ(getBlock(world, hx + 2, y + 1, hz + 1), blocks::Planks);
  EXPECT_EQ(getBlock(world, hx, y + 1, hz), kAir);
  // Paths: out along x to the turn, along z beside the house, back to its wall.
  EXPECT_EQ(getBlock(world, a - 10, y, b + 1), blocks::Gravel);
  EXPECT_EQ(getBlock(world, a - 16, y, b - 6), blocks::Gravel);
  EXPECT_EQ(getBlock(world, a - 15, y, b - 11), blocks::Gravel);
  EXPECT_EQ(getBlock(world, a + 17, y, b + 12), blocks::Gravel);
  // Lamp posts.
  EXPECT_EQ(getBlock(world, a + 7, y, b - 7), blocks::Cobblestone);
  EXPECT_EQ(getBlock(world, a + 7, y + 2, b - 7), blocks::Wood);
  EXPECT_EQ(getBlock(world, a - 7, y + 3, b + 7), blocks::Lava);
}

TEST(VillageBuildings, AVillageBuiltColumnByColumnIsTheSameInAnyOrder) {
  World rows(kSeed), alone(kSeed);
  const VillageSite site = rows.villageSites.front();
  ensureColumnsAround(rows, site.x, site.z, 2);
  // One column of the village generated on its own carries its share of the buildings.
  const int cx = chunkCoord(site.x - 14), cz = chunkCoord(site.z - 14);
  ensureColumn(alone, cx, cz);
  for (int y = site.y - 2; y <= site.y + 10; ++y) {
    for (int z = 16 * cz; z < 16 * cz + 16; ++z) {
      for (int x = 16 * cx; x < 16 * cx + 16; ++x) ASSERT_EQ(getBlock(alone, x, y, z), getBlock(rows, x, y, z));
    }
  }
}

TEST(VillageNames, NamesComeFromBothWordTablesByTheSameHash) {
  EXPECT_EQ(villageName({0, 0, 40, 20}, 0, false), "Fernfield");
  EXPECT_EQ(villageName({0, 0, 40, 20}, 0, true), "蕨草原");
  EXPECT_EQ(villageName({96, -32, 40, 20}, kSeed, false), "Ravenwick");
  EXPECT_EQ(villageName({96, -32, 40, 20}, kSeed, true), "乌鸦镇");
  EXPECT_EQ(villageName({-1, 48, 40, 20}, -5, false), "Ravenvale");
  EXPECT_EQ(villageName({-1, 48, 40, 20}, -5, true), "乌鸦谷");
  // The level and radius play no part in the name.
  EXPECT_EQ(villageName({96, -32, 50, 7}, kSeed, false), "Ravenwick");
}

}  // namespace
}  // namespace zorv
