#pragma once
// The minimap: the surface colours of a 128 × 128 area around the player, every second
// column, renewed a few times a second.
#include <array>
#include <cstdint>
#include <unordered_map>

namespace zorv {

struct ClientSession;

inline constexpr int kMinimapSize = 64;
inline constexpr float kMinimapInterval = 0.45f;
inline constexpr float kMinimapFirstFrame = 999.0f;  // larger than the interval: drawn on the first frame

struct MinimapGrid {
  std::array<std::uint32_t, kMinimapSize * kMinimapSize> colours{};  // red in the low byte
  int originX = 0, originZ = 0;
  bool filled = false;
};

// Minimap colours of columns already sampled, keyed by packColumn(x, z), for the world
// seed they were sampled with: a column's surface height and class depend only on the
// seed and its position.
struct MinimapColourCache {
  std::int32_t seed = 0;
  std::unordered_map<std::uint64_t, std::uint32_t> colours;
};

void updateMinimap(ClientSession& session);

}  // namespace zorv
