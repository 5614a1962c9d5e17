#include "ui/frame_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace zorv {
namespace {

TEST(FrameSky, WorldSkyFollowsTheClockWeatherAndRenderDistance) {
  ClientSession session;
  // Menus: full daylight and 128 blocks of fog, the sun from the clock.
  session.timeOfDay = 0.25f;
  SkyInputs menu = sessionSky(session);
  EXPECT_FLOAT_EQ(menu.daylight, 1.0f);
  EXPECT_FLOAT_EQ(menu.fogDistance, 128.0f);
  // a = π/2: (cos a, sin a) = (0, 1); (0, 1, 0.35) normalised.
  EXPECT_NEAR(menu.sunDirection.x, 0.0f, 1e-5f);
  EXPECT_NEAR(menu.sunDirection.y, 1.0f / std::sqrt(1.1225f), 1e-5f);
  EXPECT_NEAR(menu.sunDirection.z, 0.35f / std::sqrt(1.1225f), 1e-5f);

  session.world = std::make_unique<World>(1);
  session.appState = AppPlaying;
  session.preferences.renderDistance = 8;
  SkyInputs noon = sessionSky(session);
  EXPECT_NEAR(noon.daylight, 1.0f, 1e-5f);  // (1 × 0.5 + 0.5) × 0.82 + 0.18
  EXPECT_FLOAT_EQ(noon.fogDistance, 120.0f);  // 8 × 16 − 8
  session.weather = WeatherRain;
  EXPECT_NEAR(sessionSky(session).daylight, 0.72f, 1e-5f);
  session.weather = WeatherSnow;
  session.timeOfDay = 0.75f;  // sin = −1: the floor of 0.18, dimmed
  EXPECT_NEAR(sessionSky(session).daylight, 0.18f * 0.72f, 1e-5f);
  session.preferences.renderDistance = 4;
  EXPECT_FLOAT_EQ(sessionSky(session).fogDistance, 56.0f);
}

TEST(FrameView, IdentityInTheMenusAndTheLookTargetInAWorld) {
  ClientSession session;
  const FrameView menu = playerView(session, kFixedFovRadians, 16.0f / 9.0f);
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(menu.viewProjection[i], i % 5 == 0 ? 1.0f : 0.0f);
  EXPECT_FALSE(menu.target.hit);

  session.world = std::make_unique<World>(1);
  createEmptyColumn(*session.world, 0, 0);
  setBlockRaw(*session.world, 5, 10, 5, blocks::Stone);
  session.appState = AppPaused;  // the camera still follows the player while paused
  session.player.x = 5.5f, session.player.y = 13.0f, session.player.z = 5.5f;
  session.player.yaw = 0.0f;
  session.player.pitch = -89.0f;  // nearly straight down onto the stone 2 blocks below
  const FrameView view = playerView(session, kFixedFovRadians, 1.0f);
  EXPECT_FLOAT_EQ(view.eye.y, 13.0f);
  ASSERT_TRUE(view.target.hit);
  EXPECT_EQ(view.target.x, 5);
  EXPECT_EQ(view.target.y, 10);
  EXPECT_EQ(view.target.z, 5);
  EXPECT_EQ(view.target.previousY, 11);  // placement cell above it

  session.player.y = 16.0f;  // 5 blocks above the stone's top face: beyond the 4.5 reach
  EXPECT_FALSE(playerView(session, kFixedFovRadians, 1.0f).target.hit);
  EXPECT_FALSE(view.eyeInOpaqueBlock);

  // An eye in stone or lava sees the backs of the faces around it; in water or a torch's
  // cell it does not.
  setBlockRaw(*session.world, 5, 16, 5, blocks::Stone);
  EXPECT_TRUE(playerView(session, kFixedFovRadians, 1.0f).eyeInOpaqueBlock);
  session.player.x = -0.5f;  // cell −1: rounding towards zero would read cell 0
  setBlockRaw(*session.world, 0, 16, 5, blocks::Lava);
  EXPECT_FALSE(playerView(session, kFixedFovRadians, 1.0f).eyeInOpaqueBlock);
  session.player.x = 0.5f;
  EXPECT_TRUE(playerView(session, kFixedFovRadians, 1.0f).eyeInOpaqueBlock);
  for (BlockId clear : {blocks::Water, blocks::Torch}) {
    setBlockRaw(*session.world, 0, 16, 5, clear);
    EXPECT_FALSE(playerView(session, kFixedFovRadians, 1.0f).eyeInOpaqueBlock);
  }
}

}  // namespace
}  // namespace zorv
