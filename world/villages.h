#pragma once
// Village placement from the seed, ground flattening, the buildings and the names.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "world/world.h"

namespace zorv {

constexpr int kVillageRadius = 20;
constexpr int kVillageCellSize = 160;

// The guaranteed village near the origin (the first flat ring position).
VillageSite findSpawnVillage(std::int32_t seed);
// The village of 160 × 160 cell (i, j), memoised in the world; nothing when it has none.
std::optional<VillageSite> cellSite(World& world, int i, int j);
// Known sites and cell sites whose centres lie within the rectangle widened by 32.
std::vector<VillageSite> sitesNearRect(World& world, int x0, int z0, int x1, int z1);
// Sites whose centre (x + 0.5, z + 0.5) lies within r of (x, z).
std::vector<VillageSite> sitesWithin(World& world, int x, int z, int r);

// Distance from the cell (x, z) to the site's centre (x + 0.5, z + 0.5).
float distanceToSite(const VillageSite& site, int x, int z);

// Ground level of a cell near a site: the site level inside the radius, blending back to
// the natural height h over the next 12 blocks (rounded, clamped to 2..60).
int flattenedLevel(const VillageSite& site, float distance, int h);

// Flattens and builds every site near column (cx, cz); writes only inside that column.
void buildVillagesInColumn(World& world, int cx, int cz);

// Generated name of a village; `chinese` picks the Simplified Chinese word tables.
std::string villageName(const VillageSite& site, std::int32_t seed, bool chinese);
// Every word the Chinese village names are made of, run together (for font glyph sets).
std::string chineseVillageNameText();

}  // namespace zorv
