#include "checks/scene_layout.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zorv {
namespace {

TEST(SceneCameras, AnglesFromTheEyeToTargetLine) {
  const ViewAngles diagonal = anglesToward({{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 1.0f}});
  EXPECT_NEAR(diagonal.yaw, 45.0f, 1e-4f);
  EXPECT_NEAR(diagonal.pitch, 0.0f, 1e-4f);
  const ViewAngles rising = anglesToward({{1.0f, 1.0f, 1.0f}, {1.0f, 4.0f, 5.0f}});  // (0, 3, 4)
  EXPECT_NEAR(rising.yaw, 90.0f, 1e-4f);
  EXPECT_NEAR(rising.pitch, 36.8699f, 1e-3f);
  // The default scene camera looks 2.2 down and 4 towards −z.
  const SceneCamera standard = defaultSceneCamera({10.0f, 40.0f, 20.0f});
  EXPECT_FLOAT_EQ(standard.target.y, 37.8f);
  EXPECT_FLOAT_EQ(standard.target.z, 16.0f);
  const ViewAngles down = anglesToward(standard);
  EXPECT_NEAR(down.yaw, -90.0f, 1e-4f);
  EXPECT_NEAR(down.pitch, -28.810f, 1e-3f);  // asin(−2.2 / √20.84)
}

TEST(SceneCameras, VillageAndCreatureViews) {
  VillageSite village;
  village.x = 100, village.y = 31, village.z = -40;
  const SceneCamera overview = villageOverview(village);
  EXPECT_FLOAT_EQ(overview.eye.x, 100.5f);
  EXPECT_FLOAT_EQ(overview.eye.y, 46.0f);
  EXPECT_FLOAT_EQ(overview.eye.z, -9.5f);
  EXPECT_FLOAT_EQ(overview.target.y, 32.5f);
  const SceneCamera hero = villageHero(village);
  EXPECT_FLOAT_EQ(hero.eye.x, 74.0f);
  EXPECT_FLOAT_EQ(hero.eye.y, 41.0f);
  EXPECT_FLOAT_EQ(hero.eye.z, -10.0f);
  EXPECT_FLOAT_EQ(hero.target.x, 100.5f);
  EXPECT_FLOAT_EQ(hero.target.y, 33.5f);
  EXPECT_FLOAT_EQ(hero.target.z, -39.5f);

  Mob pig;
  pig.kind = MobPig;
  pig.x = 1.0f, pig.y = 2.0f, pig.z = 3.0f;
  pig.displayedYaw = 0.0f;
  const SceneCamera pigView = creatureCloseUp(pig);
  EXPECT_FLOAT_EQ(pigView.target.y, 2.55f);
  EXPECT_FLOAT_EQ(pigView.eye.x, 4.4f);
  EXPECT_FLOAT_EQ(pigView.eye.y, 3.4f);
  EXPECT_FLOAT_EQ(pigView.eye.z, 3.0f);
  Mob villager = pig;
  villager.kind = MobVillager;
  villager.displayedYaw = std::acos(-1.0f) / 2.0f;  // heading +z
  const SceneCamera villagerView = creatureCloseUp(villager);
  EXPECT_FLOAT_EQ(villagerView.target.y, 3.0f);
  EXPECT_NEAR(villagerView.eye.x, 1.0f, 1e-5f);
  EXPECT_FLOAT_EQ(villagerView.eye.z, 6.4f);
  Mob slime = pig;
  slime.kind = MobSlime;
  EXPECT_FLOAT_EQ(creatureCloseUp(slime).target.y, 2.4f);
}

TEST(SceneCameras, GroundCellsAheadAndToTheRight) {
  const SceneCamera north{{0.5f, 30.0f, 0.5f}, {0.5f, 28.0f, 10.0f}};  // looking along +z
  // Right of +z is −x: the perpendicular (−dz, dx) = (−1, 0).
  const GroundCell right = groundCellAhead(north, 4.0f, 1.7f);
  EXPECT_EQ(right.x, -2);  // floor(0.5 − 1.7)
  EXPECT_EQ(right.z, 4);   // floor(0.5 + 4)
  const GroundCell left = groundCellAhead(north, 7.5f, -1.7f);
  EXPECT_EQ(left.x, 2);
  EXPECT_EQ(left.z, 8);
  const SceneCamera east{{-3.2f, 0.0f, 0.0f}, {5.0f, 0.0f, 0.0f}};
  const GroundCell ahead = groundCellAhead(east, 3.0f, 0.0f);
  EXPECT_EQ(ahead.x, -1);
  EXPECT_EQ(ahead.z, 0);
}

// A world of empty columns around the origin, with stone in columns x 8..10 of row z 8.
World hollowWorld() {
  World world(1);
  for (int cx = -5; cx <= 5; ++cx)
    for (int cz = -5; cz <= 5; ++cz) createEmptyColumn(world, cx, cz);
  for (int x = 8; x <= 10; ++x)
    for (int y = -48; y <= 0; ++y) setBlockRaw(world, x, y, 8, blocks::Stone);
  return world;
}

TEST(SceneSearch, CaveSpotIsTheLowestThreeColumnTunnel) {
  World world = hollowWorld();
  for (int x = 8; x <= 10; ++x) {
    setBlockRaw(world, x, -25, 8, kAir);
    setBlockRaw(world, x, -24, 8, kAir);
  }
  // Two columns of air only, lower down: not a spot.
  setBlockRaw(world, 8, -30, 8, kAir);
  setBlockRaw(world, 8, -29, 8, kAir);
  setBlockRaw(world, 9, -30, 8, kAir);
  setBlockRaw(world, 9, -29, 8, kAir);
  const std::optional<CaveSpot> spot = findCaveSpot(world, {8.7f, 40.0f, 8.2f});
  ASSERT_TRUE(spot);
  EXPECT_EQ(spot->x, 8);
  EXPECT_EQ(spot->y, -25);
  EXPECT_EQ(spot->z, 8);
  const SceneCamera camera = caveCamera(*spot);
  EXPECT_FLOAT_EQ(camera.eye.x, 8.5f);
  EXPECT_FLOAT_EQ(camera.eye.y, -23.38f);
  EXPECT_FLOAT_EQ(camera.target.x, 11.5f);
  EXPECT_FLOAT_EQ(camera.target.y, -23.9f);
  EXPECT_FLOAT_EQ(camera.target.z, 8.5f);

  // With the tunnel closed at its far end the next square is searched from its corner,
  // z outer and x inner, every second column: (0, 0) is open from y −40.
  setBlockRaw(world, 10, -25, 8, blocks::Stone);
  const std::optional<CaveSpot> wider = findCaveSpot(world, {8.7f, 40.0f, 8.2f});
  ASSERT_TRUE(wider);
  EXPECT_EQ(wider->x, 0);
  EXPECT_EQ(wider->y, -40);
  EXPECT_EQ(wider->z, 0);
}

}  // namespace
}  // namespace zorv
