#pragma once
// A second, deliberately plain implementation of terrain and village generation, written
// straight from the formulas, that the tests compare the game's generator against. It
// favours readability over speed and shares no code with world/terrain.cpp or
// world/villages.cpp; only the block numbering and coordinate helpers are common.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "world/types.h"

namespace zorv::reference {

float fin24(std::uint32_t h);
float smooth(float t);
float fractal2(float a, float b, int octaves, std::int32_t s);
float noise3(float x, float y, float z, std::int32_t s);

int height(std::int32_t seed, int x, int z);
int biome(std::int32_t seed, int x, int z);

struct Site {
  int x = 0, z = 0, level = 0, radius = 20;
  friend bool operator==(const Site&, const Site&) = default;
};

// A site at (x, z) when every sample of the square grid (step 8, out to reach) is at least
// 34 high, neither desert nor snow, and the heights differ by at most maxSpread.
std::optional<Site> siteOnFlatGround(std::int32_t seed, int x, int z, int reach, int maxSpread);

struct SpawnVillage {
  Site site;
  bool fallback = false;  // no ring position qualified
};
SpawnVillage spawnVillage(std::int32_t seed);

// What the cell hash decides before the ground is looked at.
struct CellCandidate {
  unsigned chanceRoll = 0;  // the village exists only when this is below 55
  int x = 0, z = 0;
};
CellCandidate cellCandidate(std::int32_t seed, int i, int j);
std::optional<Site> cellSite(std::int32_t seed, const Site& spawn, int i, int j);
std::vector<Site> sitesNearRect(std::int32_t seed, const Site& spawn, int x0, int z0, int x1, int z1);

std::string villageName(int x, int z, std::int32_t seed, bool chinese);

// A tree lattice point considered by a column, planted or not.
struct TreeCandidate {
  int x = 0, z = 0, ground = 0, biome = 0;
  unsigned chanceRoll = 0;  // planted when below 45 (forest) or 12 (grassland)
  int trunk = 0;
  bool planted = false;
};
std::vector<TreeCandidate> treeCandidates(std::int32_t seed, int cx, int cz);

// Every block of a generated column, index ((y + 48) · 16 + lz) · 16 + lx.
std::vector<BlockId> column(std::int32_t seed, int cx, int cz);
// Flattens and builds every village near column (cx, cz) over the given cells.
std::vector<BlockId> villagesOver(std::int32_t seed, int cx, int cz, std::vector<BlockId> cells);
inline std::size_t columnIndex(int lx, int y, int lz) {
  return static_cast<std::size_t>(((y - kMinY) * kChunkSize + lz) * kChunkSize + lx);
}

}  // namespace zorv::reference
