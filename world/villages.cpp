#include "world/villages.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "world/registry.h"
#include "world/terrain.h"

namespace zorv {
namespace {

constexpr int kSpawnRingLimit = 560;
constexpr int kMinVillageHeight = 34;
constexpr int kSiteExclusionSquared = 110 * 110;

struct HeightRange {
  int low = 0, high = 0;
};

// Samples heights and biomes on a square grid around (x, z); nothing when any sample
// is too low or in desert or snow.
std::optional<HeightRange> sampleGround(std::int32_t seed, int x, int z, int reach, int step) {
  HeightRange range{1 << 30, -(1 << 30)};
  for (int dz = -reach; dz <= reach; dz += step) {
    for (int dx = -reach; dx <= reach; dx += step) {
      const int h = terrainHeight(seed, x + dx, z + dz);
      const int biome = terrainBiome(seed, x + dx, z + dz);
      if (h < kMinVillageHeight || biome == BiomeDesert || biome == BiomeSnow) return std::nullopt;
      range.low = std::min(range.low, h);
      range.high = std::max(range.high, h);
    }
  }
  return range;
}

std::optional<VillageSite> siteOnFlatGround(std::int32_t seed, int x, int z, int reach, int maxSpread) {
  const std::optional<HeightRange> range = sampleGround(seed, x, z, reach, 8);
  if (!range || range->high - range->low > maxSpread) return std::nullopt;
  return VillageSite{x, z, (range->low + range->high) / 2, kVillageRadius};
}

std::optional<VillageSite> findCellSite(const World& world, int i, int j) {
  std::uint32_t d = ((static_cast<std::uint32_t>(world.seed) ^ 0x5EEDA11u) * 0xCB1AB31Fu) ^
                    (static_cast<std::uint32_t>(j) * 0xD8163841u) ^ (static_cast<std::uint32_t>(i) * 0x8DA6B343u);
  d = (d ^ (d >> 13)) * 0x85EBCA6Bu;
  if ((d ^ (d >> 16)) % 100 >= 55) return std::nullopt;
  const int x = static_cast<int>(((d >> 8) ^ (d >> 24)) % 41) + kVillageCellSize * i + 60;
  const int z = static_cast<int>((d >> 16) % 41) + kVillageCellSize * j + 60;
  for (const VillageSite& site : world.villageSites) {
    const std::int64_t dx = site.x - x, dz = site.z - z;
    if (dx * dx + dz * dz < kSiteExclusionSquared) return std::nullopt;
  }
  return siteOnFlatGround(world.seed, x, z, 32, 7);
}

bool inRect(const VillageSite& site, int x0, int z0, int x1, int z1) {
  return site.x >= x0 && site.x <= x1 && site.z >= z0 && site.z <= z1;
}

void flattenGround(World& world, const VillageSite& site, int cx, int cz) {
  for (int z = 16 * cz; z < 16 * cz + kChunkSize; ++z) {
    for (int x = 16 * cx; x < 16 * cx + kChunkSize; ++x) {
      const int h = terrainHeight(world.seed, x, z);
      const float m = distanceToSite(site, x, z);
      if (m > static_cast<float>(site.radius) && h < kSeaLevel) continue;
      const int level = flattenedLevel(site, m, h);
      const int clearTop = std::min(std::max(h, level) + 10, kMaxY);
      for (int y = level + 1; y <= clearTop; ++y) setBlockRaw(world, x, y, z, kAir);
      for (int y = h + 1; y <= level; ++y) setBlockRaw(world, x, y, z, blocks::Dirt);
      setBlockRaw(world, x, level, z, blocks::Grass);
    }
  }
}

// Turns solid and water blocks of the height range into air.
void clearAbove(World& world, int x, int z, int fromY, int toY) {
  const BlockRegistry& registry = blockRegistry();
  for (int y = fromY; y <= toY; ++y) {
    const BlockId id = getBlock(world, x, y, z);
    if (id == blocks::Water || registry.get(id).solid) setBlockRaw(world, x, y, z, kAir);
  }
}

void buildWell(World& world, int a, int b, int y) {
  for (int dz = -2; dz <= 2; ++dz) {
    for (int dx = -2; dx <= 2; ++dx) {
      setBlockRaw(world, a + dx, y, b + dz, blocks::Cobblestone);
      clearAbove(world, a + dx, b + dz, y + 1, y + 4);
      if (std::abs(dx) <= 1 && std::abs(dz) <= 1) {
        setBlockRaw(world, a + dx, y - 1, b + dz, blocks::Water);
        setBlockRaw(world, a + dx, y, b + dz, blocks::Water);
      }
      if (std::abs(dx) == 2 && std::abs(dz) == 2) {
        for (int postY = y + 1; postY <= y + 3; ++postY) setBlockRaw(world, a + dx, postY, b + dz, blocks::Wood);
      }
    }
  }
  for (int dz = -2; dz <= 2; ++dz) {
    for (int dx = -2; dx <= 2; ++dx) setBlockRaw(world, a + dx, y + 4, b + dz, blocks::Planks);
  }
}

void buildHouse(World& world, int hx, int hz, int y, int a, int b) {
  int doorX = 0, doorZ = 0;
  if (std::abs(hx - a) < std::abs(hz - b)) {
    doorZ = hz < b ? 1 : -1;
  } else {
    doorX = hx < a ? 1 : -1;
  }
  for (int z = hz - 3; z <= hz + 3; ++z) {
    for (int x = hx - 3; x <= hx + 3; ++x) {
      setBlockRaw(world, x, y, z, blocks::Cobblestone);
      clearAbove(world, x, z, y + 1, y + 8);
      const bool wall = std::abs(x - hx) == 3 || std::abs(z - hz) == 3;
      if (!wall) continue;
      const bool corner = std::abs(x - hx) == 3 && std::abs(z - hz) == 3;
      setBlockRaw(world, x, y + 1, z, blocks::Cobblestone);
      setBlockRaw(world, x, y + 2, z, corner ? blocks::Cobblestone : blocks::Planks);
      setBlockRaw(world, x, y + 3, z, corner ? blocks::Cobblestone : blocks::Planks);
    }
  }
  setBlockRaw(world, hx + 3 * doorX, y + 1, hz + 3 * doorZ, kAir);
  setBlockRaw(world, hx + 3 * doorX, y + 2, hz + 3 * doorZ, kAir);
  setBlockRaw(world, hx, y + 2, hz - 3, kAir);
  setBlockRaw(world, hx, y + 2, hz + 3, kAir);
  setBlockRaw(world, hx - 3 * doorX, y + 2, hz, kAir);
  for (int k = 0; k <= 3; ++k) {
    for (int x = hx - 3; x <= hx + 3; ++x) {
      setBlockRaw(world, x, y + 4 + k, hz - 3 + k, blocks::Bricks);
      setBlockRaw(world, x, y + 4 + k, hz + 3 - k, blocks::Bricks);
    }
  }
  for (int k = 0; k <= 2; ++k) {
    for (int dz = k - 2; dz <= 2 - k; ++dz) {
      setBlockRaw(world, hx - 3, y + 4 + k, hz + dz, blocks::Planks);
      setBlockRaw(world, hx + 3, y + 4 + k, hz + dz, blocks::Planks);
    }
  }
  setBlockRaw(world, hx - 2, y + 1, hz - 2, blocks::Bookshelf);
  setBlockRaw(world, hx - 2, y + 2, hz - 2, blocks::Bookshelf);
  setBlockRaw(world, hx + 1, y + 1, hz + 1, blocks::Planks);
  setBlockRaw(world, hx + 2, y + 1, hz + 1, blocks::Planks);
}

// A two-block-wide gravel strip between two points on one axis, both ends included.
void pathAlongX(World& world, int fromX, int toX, int z, int y) {
  for (int x = std::min(fromX, toX); x <= std::max(fromX, toX); ++x) {
    setBlockRaw(world, x, y, z, blocks::Gravel);
    setBlockRaw(world, x, y, z + 1, blocks::Gravel);
  }
}

void pathAlongZ(World& world, int x, int fromZ, int toZ, int y) {
  for (int z = std::min(fromZ, toZ); z <= std::max(fromZ, toZ); ++z) {
    setBlockRaw(world, x, y, z, blocks::Gravel);
    setBlockRaw(world, x + 1, y, z, blocks::Gravel);
  }
}

constexpr std::array<std::array<int, 2>, 4> kHouseOffsets{{{-12, -12}, {12, -12}, {-12, 12}, {12, 12}}};
constexpr std::array<std::array<int, 2>, 4> kLampOffsets{{{7, 7}, {7, -7}, {-7, 7}, {-7, -7}}};

void buildVillage(World& world, const VillageSite& site) {
  const int a = site.x, b = site.z, y = site.y;
  buildWell(world, a, b, y);
  for (const auto& [dx, dz] : kHouseOffsets) buildHouse(world, a + dx, b + dz, y, a, b);
  for (const auto& [dx, dz] : kHouseOffsets) {
    const int side = dx > 0 ? 1 : -1;
    const int turnX = a + dx + 5 * side;
    pathAlongX(world, a, turnX, b, y);
    pathAlongZ(world, turnX, b, b + dz, y);
    pathAlongX(world, turnX, a + dx + 3 * side, b + dz, y);
  }
  for (const auto& [dx, dz] : kLampOffsets) {
    setBlockRaw(world, a + dx, y, b + dz, blocks::Cobblestone);
    setBlockRaw(world, a + dx, y + 1, b + dz, blocks::Wood);
    setBlockRaw(world, a + dx, y + 2, b + dz, blocks::Wood);
    setBlockRaw(world, a + dx, y + 3, b + dz, blocks::Lava);
  }
}

constexpr std::array<const char*, 8> kEnglishPrefixes{"Oak", "Stone", "Moss", "Raven", "Brook", "Ash", "Fern", "Gale"};
constexpr std::array<const char*, 8> kEnglishSuffixes{"vale", "ford", "holm", "wick", "brook", "stead", "field", "hollow"};
constexpr std::array<const char*, 8> kChinesePrefixes{"橡木", "石头", "苔藓", "乌鸦", "溪水", "白蜡", "蕨草", "疾风"};
constexpr std::array<const char*, 8> kChineseSuffixes{"谷", "渡", "岛", "镇", "溪", "庄", "原", "堡"};

}  // namespace

VillageSite findSpawnVillage(std::int32_t seed) {
  for (int r = 0; r <= kSpawnRingLimit; r += 16) {
    for (int z = -r; z <= r; z += 16) {
      for (int x = -r; x <= r; x += 16) {
        if (std::max(std::abs(x), std::abs(z)) != r) continue;
        if (const std::optional<VillageSite> site = siteOnFlatGround(seed, x, z, 16, 6)) return *site;
      }
    }
  }
  return {0, 0, std::max(terrainHeight(seed, 0, 0), kMinVillageHeight), kVillageRadius};
}

std::optional<VillageSite> cellSite(World& world, int i, int j) {
  const std::uint64_t key = packColumn(i, j);
  auto found = world.villageCellMemo.find(key);
  if (found == world.villageCellMemo.end()) {
    const std::optional<VillageSite> site = findCellSite(world, i, j);
    found = world.villageCellMemo.emplace(key, CellSiteMemo{site.has_value(), site.value_or(VillageSite{})}).first;
  }
  if (!found->second.hasSite) return std::nullopt;
  return found->second.site;
}

std::vector<VillageSite> sitesNearRect(World& world, int x0, int z0, int x1, int z1) {
  const int left = x0 - 32, right = x1 + 32, top = z0 - 32, bottom = z1 + 32;
  std::vector<VillageSite> sites;
  for (const VillageSite& site : world.villageSites) {
    if (inRect(site, left, top, right, bottom)) sites.push_back(site);
  }
  for (int j = floorDiv(z0 - 132, kVillageCellSize); j <= floorDiv(z1 - 28, kVillageCellSize) + 1; ++j) {
    for (int i = floorDiv(x0 - 132, kVillageCellSize); i <= floorDiv(x1 - 28, kVillageCellSize) + 1; ++i) {
      const std::optional<VillageSite> site = cellSite(world, i, j);
      if (site && inRect(*site, left, top, right, bottom)) sites.push_back(*site);
    }
  }
  return sites;
}

std::vector<VillageSite> sitesWithin(World& world, int x, int z, int r) {
  std::vector<VillageSite> sites = sitesNearRect(world, x - r, z - r, x + r, z + r);
  const float reach = static_cast<float>(r);
  std::erase_if(sites, [&](const VillageSite& site) { return distanceToSite(site, x, z) > reach; });
  return sites;
}

float distanceToSite(const VillageSite& site, int x, int z) {
  const float dx = static_cast<float>(site.x - x) + 0.5f, dz = static_cast<float>(site.z - z) + 0.5f;
  return std::sqrt(dx * dx + dz * dz);
}

int flattenedLevel(const VillageSite& site, float distance, int h) {
  const auto radius = static_cast<float>(site.radius);
  if (distance <= radius) return site.y;
  const float t = smoothStep(std::min((distance - radius) / 12.0f, 1.0f));
  const float level = t * static_cast<float>(h - site.y) + static_cast<float>(site.y);
  return std::clamp(static_cast<int>(std::lround(level)), 2, 60);
}

void buildVillagesInColumn(World& world, int cx, int cz) {
  for (const VillageSite& site : sitesNearRect(world, 16 * cx, 16 * cz, 16 * cx + 15, 16 * cz + 15)) {
    flattenGround(world, site, cx, cz);
    buildVillage(world, site);
  }
}

std::string chineseVillageNameText() {
  std::string text;
  for (const char* word : kChinesePrefixes) text += word;
  for (const char* word : kChineseSuffixes) text += word;
  return text;
}

std::string villageName(const VillageSite& site, std::int32_t seed, bool chinese) {
  std::uint32_t h = (static_cast<std::uint32_t>(site.z) * 0xD8163841u) ^
                    ((static_cast<std::uint32_t>(seed) ^ 0x9A11u) * 0xCB1AB31Fu) ^
                    (static_cast<std::uint32_t>(site.x) * 0x8DA6B343u);
  h ^= h >> 13;
  h *= 0x85EBCA6Bu;
  h ^= h >> 16;
  const auto& prefixes = chinese ? kChinesePrefixes : kEnglishPrefixes;
  const auto& suffixes = chinese ? kChineseSuffixes : kEnglishSuffixes;
  return std::string(prefixes[h & 7]) + suffixes[(h >> 8) & 7];
}

}  // namespace zorv
