#pragma once
// Checks of where a teleported player ends up, shared by the rule and streamer tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>

#include "game/game_session.h"
#include "game/player_rules.h"
#include "world/registry.h"
#include "world/terrain.h"

namespace zorv::testing {

inline std::size_t loadedColumnCount(const World& world) {
  return static_cast<std::size_t>(
      std::count_if(world.chunks.begin(), world.chunks.end(), [](const auto& entry) { return entry.first.cy == 0; }));
}

// Steps until the player stands (at most 200 steps), then whether they stand on the
// terrain or on something standing on it (a tree), not in a hole below it.
inline ::testing::AssertionResult landsOnTheSurface(GameSession& session, const MovementKeys& keys) {
  const PlayerBody& player = session.player;
  for (int i = 0; i < 200 && !player.onGround; ++i) stepWorld(session, 0.05f, keys);
  if (!player.onGround) return ::testing::AssertionFailure() << "still falling at y " << player.y;
  const int x = floorToInt(player.x), z = floorToInt(player.z);
  const int ground = surfaceHeight(*session.world, x, z);
  if (player.y < static_cast<float>(ground) + 1.0f + kEyeHeight - 0.6f)
    return ::testing::AssertionFailure() << "eye at " << player.y << " below the surface at " << ground;
  const BlockDef& below = blockRegistry().get(getBlock(*session.world, x, floorToInt(player.y - kEyeHeight - 0.1f), z));
  if (!below.solid) return ::testing::AssertionFailure() << "standing on " << below.id;
  return ::testing::AssertionSuccess();
}

}  // namespace zorv::testing
