#include "checks/scene_layout.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

#include "world/terrain.h"

namespace zorv {
namespace {

constexpr float kDegrees = 180.0f / std::numbers::pi_v<float>;
constexpr int kLookoutMinHeight = 33;

bool isAirAt(const World& world, int x, int y, int z) { return getBlock(world, x, y, z) == kAir; }

// The cell and the one above it are air.
bool isOpenPair(const World& world, int x, int y, int z) { return isAirAt(world, x, y, z) && isAirAt(world, x, y + 1, z); }

float raiseOf(std::uint8_t kind) {
  switch (kind) {
    case MobPig: return 0.55f;
    case MobVillager: return 1.0f;
    default: return 0.4f;
  }
}

}  // namespace

ViewAngles anglesToward(const SceneCamera& camera) {
  const float dx = camera.target.x - camera.eye.x, dy = camera.target.y - camera.eye.y,
              dz = camera.target.z - camera.eye.z;
  const float length = std::sqrt(dx * dx + dy * dy + dz * dz);
  if (length <= 0.0f) return {};
  return {std::atan2(dz, dx) * kDegrees, std::asin(dy / length) * kDegrees};
}

SceneCamera defaultSceneCamera(Vec3 spawn) { return {spawn, {spawn.x, spawn.y - 2.2f, spawn.z - 4.0f}}; }

SceneCamera villageOverview(const VillageSite& village) {
  const float x = static_cast<float>(village.x), y = static_cast<float>(village.y), z = static_cast<float>(village.z);
  return {{x + 0.5f, y + 15.0f, z + 30.5f}, {x + 0.5f, y + 1.5f, z + 0.5f}};
}

SceneCamera villageHero(const VillageSite& village) {
  const float x = static_cast<float>(village.x), y = static_cast<float>(village.y), z = static_cast<float>(village.z);
  return {{x - 26.0f, y + 10.0f, z + 30.0f}, {x + 0.5f, y + 2.5f, z + 0.5f}};
}

SceneCamera creatureCloseUp(const Mob& mob) {
  const Vec3 target{mob.x, mob.y + raiseOf(mob.kind), mob.z};
  const float heading = mob.displayedYaw;
  return {{target.x + 3.4f * std::cos(heading), target.y + 0.85f, target.z + 3.4f * std::sin(heading)}, target};
}

GroundCell groundCellAhead(const SceneCamera& camera, float ahead, float sideways) {
  float dx = camera.target.x - camera.eye.x, dz = camera.target.z - camera.eye.z;
  const float length = std::sqrt(dx * dx + dz * dz);
  if (length > 0.0f) {
    dx /= length;
    dz /= length;
  } else {
    dx = 1.0f;
    dz = 0.0f;
  }
  const float x = camera.eye.x + ahead * dx - sideways * dz;
  const float z = camera.eye.z + ahead * dz + sideways * dx;
  return {floorToInt(x), floorToInt(z)};
}

std::optional<SceneCamera> findLandscapeLookout(World& world, Vec3 spawn) {
  static constexpr int kDirections[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  static constexpr int kSampleDistances[3] = {40, 60, 80};
  const int sx = floorToInt(spawn.x), sz = floorToInt(spawn.z);
  std::optional<SceneCamera> best;
  float bestScore = 0.0f;
  // Square rings: every radius is 8 more than a multiple of 16, so the 16-block steps
  // land on both corners.
  for (int radius = 24; radius <= 104; radius += 16) {
    for (int dz = -radius; dz <= radius; dz += 16) {
      for (int dx = -radius; dx <= radius; dx += 16) {
        if (std::max(std::abs(dx), std::abs(dz)) != radius) continue;
        const int x = sx + dx, z = sz + dz;
        const int height = surfaceHeight(world, x, z);
        if (height <= kLookoutMinHeight) continue;
        for (const auto& direction : kDirections) {
          int low = 0;
          for (int distance : kSampleDistances) {
            if (surfaceHeight(world, x + direction[0] * distance, z + direction[1] * distance) < kLookoutMinHeight) ++low;
          }
          if (low < 2) continue;
          const float score = 8.0f * static_cast<float>(low) + 2.0f * static_cast<float>(height) -
                              0.1f * static_cast<float>(radius);
          if (best && score <= bestScore) continue;
          bestScore = score;
          const float cx = static_cast<float>(x) + 0.5f, cz = static_cast<float>(z) + 0.5f;
          best = SceneCamera{{cx, static_cast<float>(height) + 18.0f, cz},
                             {cx + 64.0f * static_cast<float>(direction[0]), 32.0f,
                              cz + 64.0f * static_cast<float>(direction[1])}};
        }
      }
    }
  }
  return best;
}

std::optional<CaveSpot> findCaveSpot(World& world, Vec3 spawn) {
  const int sx = floorToInt(spawn.x), sz = floorToInt(spawn.z);
  for (int half = 0; half <= 48; half += 8) {
    for (int z = sz - half; z <= sz + half; z += 2) {
      for (int x = sx - half; x <= sx + half; x += 2) {
        for (int column = x; column <= x + 2; ++column) ensureColumn(world, floorDiv(column, kChunkSize), floorDiv(z, kChunkSize));
        for (int y = -40; y <= -4; ++y) {
          if (isOpenPair(world, x, y, z) && isOpenPair(world, x + 1, y, z) && isOpenPair(world, x + 2, y, z)) {
            return CaveSpot{x, y, z};
          }
        }
      }
    }
  }
  return std::nullopt;
}

SceneCamera caveCamera(const CaveSpot& spot) {
  const float x = static_cast<float>(spot.x), y = static_cast<float>(spot.y), z = static_cast<float>(spot.z);
  return {{x + 0.5f, y + 1.62f, z + 0.5f}, {x + 3.5f, y + 1.1f, z + 0.5f}};
}

}  // namespace zorv
