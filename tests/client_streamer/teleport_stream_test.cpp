// A far teleport in a game with a renderer: the streamer brings the destination's columns
// within its per-frame budget while the rules hold the player, who then lands on the ground.

#include <gtest/gtest.h>

#include "client/client_session.h"
#include "game/commands.h"
#include "game/player_rules.h"
#include "landing_checks.h"
#include "null_renderer.h"

namespace zorv {
namespace {

using testing::loadedColumnCount;

TEST(TeleportStreaming, TheStreamerLoadsTheDestinationWhileThePlayerIsHeld) {
  NullRenderer renderer;
  ClientSession session;
  session.renderer = &renderer;
  session.clock = [] { return 0.0; };
  session.world = std::make_unique<World>(20261018);
  session.appState = AppPlaying;
  session.spawnTimer = 1e6f;
  session.streamer.setRenderDistance(kMinRenderDistance);
  ensureColumnsAround(*session.world, floorToInt(session.player.x), floorToInt(session.player.z), 1);
  const MovementKeys keys;
  stepWorld(session, 0.05f, keys);  // the streamer settles on the start

  const std::size_t before = loadedColumnCount(*session.world);
  runCommand(session, "/tp -49999.5 55 50000.5");
  EXPECT_EQ(loadedColumnCount(*session.world), before);
  ASSERT_TRUE(session.heldForTerrain);

  int heldSteps = 0;
  while (session.heldForTerrain && heldSteps < 100) {
    const std::size_t loaded = loadedColumnCount(*session.world);
    stepWorld(session, 0.05f, keys);
    // The streamer's budget, never the whole destination at once (columns far behind may
    // be unloaded in the same step, so only growth is bounded).
    const std::size_t after = loadedColumnCount(*session.world);
    if (after > loaded) {
      EXPECT_LE(after - loaded, static_cast<std::size_t>(kGenerationsPerFrame));
    }
    if (session.heldForTerrain) {
      EXPECT_EQ(session.player.x, -49999.5f);
      EXPECT_EQ(session.player.y, 55.0f);
      EXPECT_EQ(session.player.z, 50000.5f);
    }
    ++heldSteps;
  }
  EXPECT_FALSE(session.heldForTerrain);
  EXPECT_GE(heldSteps, 3);  // nine columns at three a frame
  EXPECT_EQ(session.streamer.renderDistance(), kMinRenderDistance);

  EXPECT_TRUE(testing::landsOnTheSurface(session, keys));
  session.streamer.shutdown();
}

}  // namespace
}  // namespace zorv
