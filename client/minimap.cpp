#include "client/minimap.h"

#include <algorithm>

#include "client/client_session.h"
#include "world/terrain.h"

namespace zorv {
namespace {

std::uint32_t packColour(float r, float g, float b) {
  const auto channel = [](float value) { return static_cast<std::uint32_t>(std::clamp(value, 0.0f, 255.0f)); };
  return channel(r) | channel(g) << 8 | channel(b) << 16 | 0xFF000000u;
}

std::uint32_t minimapColour(World& world, int x, int z) {
  const int h = surfaceHeight(world, x, z);
  if (h < 30) {
    const float d = static_cast<float>(std::clamp(30 - h, 0, 12));
    return packColour(42.0f + 2.0f * d, 82.0f + 2.0f * d, 145.0f + 3.0f * d);
  }
  float r = 92.0f, g = 150.0f, b = 70.0f;
  if (h <= 32) {
    r = 205.0f, g = 190.0f, b = 140.0f;
  } else {
    switch (surfaceBiome(world, x, z)) {
      case BiomeForest: r = 68.0f, g = 118.0f, b = 54.0f; break;
      case BiomeDesert: r = 210.0f, g = 192.0f, b = 136.0f; break;
      case BiomeSnow: r = 228.0f, g = 236.0f, b = 244.0f; break;
      default: break;
    }
  }
  const float shade = std::clamp(static_cast<float>(h) / 72.0f, 0.0f, 1.0f) * 0.34f + 0.76f;
  return packColour(r * shade, g * shade, b * shade);
}

constexpr std::size_t kMinimapCacheLimit = 1 << 16;
}  // namespace

void updateMinimap(ClientSession& session) {
  if (!session.world) return;
  MinimapGrid& grid = session.minimap;
  grid.originX = floorToInt(session.player.x) - 64;
  grid.originZ = floorToInt(session.player.z) - 64;
  auto& cache = session.minimapColourCache;
  if (cache.seed != session.world->seed || cache.colours.size() > kMinimapCacheLimit) {
    cache.colours.clear();
    cache.seed = session.world->seed;
  }
  for (int i = 0; i < kMinimapSize; ++i) {
    for (int j = 0; j < kMinimapSize; ++j) {
      const int x = grid.originX + 2 * j, z = grid.originZ + 2 * i;
      const auto [entry, added] = cache.colours.try_emplace(packColumn(x, z), 0u);
      if (added) entry->second = minimapColour(*session.world, x, z);
      grid.colours[static_cast<std::size_t>(i * kMinimapSize + j)] = entry->second;
    }
  }
  grid.filled = true;
}

}  // namespace zorv
