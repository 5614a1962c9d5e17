#include "world/physics.h"

#include <gtest/gtest.h>

#include <cmath>

#include "scenes.h"

namespace zorv {
namespace {

constexpr float kTick = 1.0f / 60.0f;

// An empty world with one stone block at (56, 41, 56), whose top is y = 42.
struct PillarScene {
  World world{1};
  PillarScene() {
    test::loadEmptyArea(world, 40, 40, 70, 70);
    setBlockRaw(world, 56, 41, 56, blocks::Stone);
  }
};

// Steps until the body lands (or `limit` steps); returns every step's damage summed and
// the damage of the landing step separately.
struct FallResult {
  int total = 0;
  int landing = 0;
  int steps = 0;
};
FallResult fallUntilLanded(PlayerBody& body, const World& world, int limit = 400) {
  FallResult result;
  for (; result.steps < limit; ++result.steps) {
    const int damage = step(body, world, kTick, {});
    result.total += damage;
    if (body.onGround) {
      result.landing = damage;
      ++result.steps;
      break;
    }
  }
  return result;
}

TEST(PlayerStep, FallsOntoABlockAndJumpsOffIt) {
  PillarScene scene;
  PlayerBody body{.x = 56.5f, .y = 46.0f, .z = 56.5f, .mode = 1};
  for (int i = 0; i < 180; ++i) step(body, scene.world, kTick, {});
  // The feet rest on the block's top at 42, the eye 1.62 above them.
  EXPECT_NEAR(body.y, 43.62f, 0.05f);
  EXPECT_TRUE(body.onGround);
  EXPECT_FLOAT_EQ(body.vy, 0.0f);

  const float resting = body.y;
  MoveInput jump;
  jump.jump = true;
  step(body, scene.world, kTick, jump);
  EXPECT_GT(body.y, resting);
  EXPECT_FALSE(body.onGround);
  // Jumping needs the ground of the previous step: a second press in the air adds nothing.
  const float vyAfterJump = body.vy;
  step(body, scene.world, kTick, jump);
  EXPECT_NEAR(body.vy, vyAfterJump - 28.0f * kTick, 1e-4f);
}

TEST(PlayerStep, FallDamageFollowsTheDistanceAndTheMode) {
  PillarScene scene;
  // About 6.4 blocks of fall: truncate(6.4 − 3) = 3 on the landing step only.
  PlayerBody survival{.x = 56.5f, .y = 50.0f, .z = 56.5f, .mode = 1};
  FallResult fall = fallUntilLanded(survival, scene.world);
  EXPECT_EQ(fall.landing, 3);
  EXPECT_EQ(fall.total, 3);
  EXPECT_FLOAT_EQ(survival.fallDistance, 0.0f);

  PlayerBody creative{.x = 56.5f, .y = 50.0f, .z = 56.5f, .mode = 0};
  fall = fallUntilLanded(creative, scene.world);
  EXPECT_TRUE(creative.onGround);
  EXPECT_EQ(fall.total, 0);

  // A fall of 3.4 blocks never hurts.
  PlayerBody shortFall{.x = 56.5f, .y = 43.62f + 3.4f, .z = 56.5f, .mode = 1};
  fall = fallUntilLanded(shortFall, scene.world);
  EXPECT_TRUE(shortFall.onGround);
  EXPECT_EQ(fall.total, 0);

  // The damage rule on the landing step itself: truncate(distance − 3) above 3.5 only.
  const auto landingDamage = [&](float distance, bool wasOnGround) {
    PlayerBody body{.x = 56.5f, .y = 43.63f, .z = 56.5f, .mode = 1};
    body.vy = -1.0f;
    body.onGround = wasOnGround;
    body.fallDistance = distance;
    const int damage = step(body, scene.world, kTick, {});
    EXPECT_TRUE(body.onGround);
    EXPECT_FLOAT_EQ(body.fallDistance, 0.0f);
    return damage;
  };
  EXPECT_EQ(landingDamage(3.5f, false), 0);
  EXPECT_EQ(landingDamage(3.9f, false), 0);
  EXPECT_EQ(landingDamage(4.0f, false), 1);
  EXPECT_EQ(landingDamage(7.99f, false), 4);
  EXPECT_EQ(landingDamage(7.99f, true), 0);  // already standing: no landing
}

TEST(PlayerStep, LandingInWaterDoesNotHurt) {
  PillarScene scene;
  test::fillCells(scene.world, 56, 42, 56, 56, 43, 56, blocks::Water);
  PlayerBody body{.x = 56.5f, .y = 55.0f, .z = 56.5f, .mode = 1};
  const FallResult fall = fallUntilLanded(body, scene.world);
  EXPECT_TRUE(body.onGround);
  EXPECT_EQ(fall.total, 0);
  EXPECT_NEAR(body.y, 43.62f, 0.05f);
}

TEST(PlayerStep, ClimbsOutOfATwoDeepPoolOntoABank) {
  World world(1);
  test::loadEmptyArea(world, -4, -4, 12, 4);
  test::fillCells(world, -1, 10, 0, 8, 10, 0, blocks::Stone);  // floor
  test::fillCells(world, -1, 11, 0, -1, 14, 0, blocks::Stone); // back wall
  test::fillCells(world, 0, 11, 0, 2, 12, 0, blocks::Water);   // pool, water top at 13
  test::fillCells(world, 3, 11, 0, 8, 13, 0, blocks::Stone);   // bank, top at 14
  PlayerBody body{.x = 1.5f, .y = 12.62f, .z = 0.5f, .mode = 1};
  MoveInput input;
  input.dx = 1.0f;
  input.jump = true;
  bool climbed = false;
  for (int i = 0; i < 60 && !climbed; ++i) {
    step(body, world, kTick, input);
    climbed = body.y > 14.0f + 1.62f && body.x > 3.3f;
  }
  EXPECT_TRUE(climbed) << "eye at " << body.x << ", " << body.y;
}

TEST(PlayerStep, WalkingSwimmingFlyingAndSpectatingSpeeds) {
  PillarScene scene;
  test::fillCells(scene.world, 40, 20, 40, 70, 20, 70, blocks::Stone);
  MoveInput diagonal;
  diagonal.dx = 3.0f;
  diagonal.dz = 4.0f;  // length 5: the direction is normalised

  PlayerBody walker{.x = 50.5f, .y = 22.62f, .z = 50.5f, .mode = 1};
  walker.onGround = true;
  step(walker, scene.world, kTick, diagonal);
  EXPECT_NEAR(walker.vx, 5.5f * 0.6f, 1e-4f);
  EXPECT_NEAR(walker.vz, 5.5f * 0.8f, 1e-4f);
  diagonal.sprint = true;
  step(walker, scene.world, kTick, diagonal);
  EXPECT_NEAR(std::hypot(walker.vx, walker.vz), 8.5f, 1e-4f);

  PlayerBody flyer{.x = 50.5f, .y = 30.0f, .z = 50.5f, .mode = 0};
  flyer.flying = true;
  step(flyer, scene.world, kTick, {});
  EXPECT_FLOAT_EQ(flyer.y, 30.0f);  // no gravity, no input: hovering
  MoveInput up;
  up.dy = 2.0f;
  step(flyer, scene.world, kTick, up);
  EXPECT_NEAR(flyer.vy, 16.0f, 1e-4f);
  up.sprint = true;
  step(flyer, scene.world, kTick, up);
  EXPECT_NEAR(flyer.vy, 40.0f, 1e-4f);

  // Spectators pass through the stone floor and do not fall.
  PlayerBody spectator{.x = 50.5f, .y = 21.0f, .z = 50.5f, .mode = 2};
  spectator.hurtTimer = 0.01f;
  MoveInput down;
  down.dy = -1.0f;
  for (int i = 0; i < 6; ++i) step(spectator, scene.world, 0.1f, down);
  EXPECT_NEAR(spectator.y, 21.0f - 22.0f * 0.6f, 1e-3f);
  EXPECT_FALSE(spectator.onGround);
  EXPECT_FLOAT_EQ(spectator.hurtTimer, 0.0f);
  step(spectator, scene.world, kTick, {});
  EXPECT_FLOAT_EQ(spectator.vy, 0.0f);
}

TEST(PlayerStep, HorizontalMoveStopsAtAWallWithoutTouchingVelocity) {
  PillarScene scene;
  test::fillCells(scene.world, 40, 20, 40, 70, 20, 70, blocks::Stone);
  test::fillCells(scene.world, 53, 21, 40, 53, 23, 70, blocks::Stone);
  PlayerBody body{.x = 52.5f, .y = 22.62f, .z = 50.5f, .mode = 1};
  MoveInput east;
  east.dx = 1.0f;
  for (int i = 0; i < 30; ++i) step(body, scene.world, kTick, east);
  EXPECT_LE(body.x + 0.3f, 53.0f);
  EXPECT_GT(body.x + 0.3f, 53.0f - 0.021f);
  EXPECT_FLOAT_EQ(body.vx, 5.5f);
}

TEST(PlayerBox, CollisionAndOverlapTests) {
  PillarScene scene;
  setBlockRaw(scene.world, 56, 40, 56, blocks::Grass);
  EXPECT_FALSE(collidesAt(scene.world, {56.5f, 50.0f, 56.5f}));
  EXPECT_TRUE(collidesAt(scene.world, {56.5f, 40.9f, 56.5f}));
  // Standing exactly on the top face does not collide; a hair lower does.
  EXPECT_FALSE(collidesAt(scene.world, {56.5f, 43.625f, 56.5f}));
  EXPECT_TRUE(collidesAt(scene.world, {56.5f, 43.6f, 56.5f}));
  // Water and torches are not solid.
  setBlockRaw(scene.world, 60, 45, 60, blocks::Water);
  setBlockRaw(scene.world, 61, 45, 60, blocks::Torch);
  EXPECT_FALSE(collidesAt(scene.world, {60.5f, 46.0f, 60.5f}));
  EXPECT_FALSE(collidesAt(scene.world, {61.5f, 46.0f, 60.5f}));

  // boxCollides takes every cell from floor(min) to floor(max), both ends included.
  EXPECT_TRUE(boxCollides(scene.world, {55.0f, 39.0f, 55.0f}, {56.0f, 40.0f, 56.0f}));
  EXPECT_FALSE(boxCollides(scene.world, {55.0f, 39.0f, 55.0f}, {55.99f, 39.99f, 55.99f}));

  // overlapsCell is strict: a box touching the cell's face does not overlap it.
  const Vec3 eye{0.5f, 1.62f, 0.5f};  // feet on y = 0
  EXPECT_TRUE(overlapsCell(eye, 0, 0, 0));
  EXPECT_TRUE(overlapsCell(eye, 0, 1, 0));
  EXPECT_FALSE(overlapsCell(eye, 0, -1, 0));
  EXPECT_FALSE(overlapsCell(eye, 0, 2, 0));
  EXPECT_FALSE(overlapsCell(eye, 1, 0, 0));
  EXPECT_TRUE(overlapsCell({0.75f, 1.62f, 0.5f}, 1, 0, 0));
  EXPECT_FALSE(overlapsCell(eye, 0, 0, -1));
}

TEST(PickRay, FindsTheFirstSolidCellAndTheCellBeforeIt) {
  World world(1);
  test::loadEmptyArea(world, -20, -20, 20, 20);
  setBlockRaw(world, 3, 0, 0, blocks::Stone);
  setBlockRaw(world, 1, 0, 0, blocks::Water);  // transparent to the ray

  PickResult hit = pick(world, {0.5f, 0.5f, 0.5f}, {2.0f, 0.0f, 0.0f}, 4.5f);
  EXPECT_TRUE(hit.hit);
  EXPECT_EQ(hit.x, 3);
  EXPECT_EQ(hit.previousX, 2);
  EXPECT_EQ(hit.previousY, 0);

  // The block's face lies 2.5 away: out of reach below that, no cells reported.
  hit = pick(world, {0.5f, 0.5f, 0.5f}, {1.0f, 0.0f, 0.0f}, 2.4f);
  EXPECT_FALSE(hit.hit);
  EXPECT_EQ(hit.x, 0);
  EXPECT_EQ(hit.previousX, 0);

  // From inside a solid cell: that cell, with the start cell as the previous one.
  hit = pick(world, {3.2f, 0.7f, 0.1f}, {0.0f, 1.0f, 0.0f}, 4.5f);
  EXPECT_TRUE(hit.hit);
  EXPECT_EQ(hit.x, 3);
  EXPECT_EQ(hit.previousX, 3);
  EXPECT_EQ(hit.previousY, 0);
  EXPECT_EQ(hit.previousZ, 0);

  // Negative directions and a ray along a diagonal: equal boundary distances step y before x.
  setBlockRaw(world, -1, 1, -2, blocks::Stone);
  setBlockRaw(world, 0, 1, 0, blocks::Stone);
  setBlockRaw(world, 1, 0, 0, blocks::Stone);
  hit = pick(world, {0.5f, 0.5f, 0.5f}, {1.0f, 1.0f, 0.0f}, 4.5f);
  EXPECT_TRUE(hit.hit);
  EXPECT_EQ(hit.x, 0);
  EXPECT_EQ(hit.y, 1);
  // Crosses z = 0, x = 0, z = −1 and then y = 1 at about 2.29 blocks.
  hit = pick(world, {0.5f, 0.5f, 0.5f}, {-1.0f, 0.5f, -2.0f}, 4.5f);
  EXPECT_TRUE(hit.hit);
  EXPECT_EQ(hit.x, -1);
  EXPECT_EQ(hit.y, 1);
  EXPECT_EQ(hit.z, -2);
  EXPECT_EQ(hit.previousY, 0);
  EXPECT_EQ(hit.previousZ, -2);
  EXPECT_FALSE(pick(world, {0.5f, 0.5f, 0.5f}, {-1.0f, 0.5f, -2.0f}, 2.2f).hit);

  // A zero or broken direction selects nothing instead of walking forever.
  EXPECT_FALSE(pick(world, {0.5f, 5.5f, 0.5f}, {0.0f, 0.0f, 0.0f}, 4.5f).hit);
  // Far outside the world the float distances no longer change per step: still ends.
  EXPECT_FALSE(pick(world, {2.0e9f, 100.0f, -2.0e9f}, {1.0f, -0.3f, 0.2f}, 4.5f).hit);
  EXPECT_FALSE(pick(world, {-2.0e9f, 10.0f, 2.0e9f}, {-1.0f, 0.0f, 1.0f}, 1.0e30f).hit);
  EXPECT_FALSE(pick(world, {0.5f, 5.5f, 0.5f}, {NAN, 0.0f, 0.0f}, 4.5f).hit);
  EXPECT_FALSE(pick(world, {0.5f, 5.5f, 0.5f}, {1.0f, 0.0f, 0.0f}, INFINITY).hit);
}

TEST(PlayerLook, TurnsClampsAndGivesDirections) {
  PlayerBody body;
  body.lookSensitivity = 0.5f;
  look(body, 20.0f, -40.0f);
  EXPECT_FLOAT_EQ(body.yaw, 10.0f);
  EXPECT_FLOAT_EQ(body.pitch, 20.0f);
  look(body, 0.0f, -1000.0f);
  EXPECT_FLOAT_EQ(body.pitch, 89.0f);
  look(body, 0.0f, 1000.0f);
  EXPECT_FLOAT_EQ(body.pitch, -89.0f);

  const Vec3 south = lookDirection(90.0f, 0.0f);
  EXPECT_NEAR(south.x, 0.0f, 1e-6f);
  EXPECT_NEAR(south.z, 1.0f, 1e-6f);
  const Vec3 up = lookDirection(0.0f, 30.0f);
  EXPECT_NEAR(up.x, std::sqrt(3.0f) / 2.0f, 1e-6f);
  EXPECT_NEAR(up.y, 0.5f, 1e-6f);
  const Vec3 ahead = forward(180.0f);
  EXPECT_NEAR(ahead.x, -1.0f, 1e-6f);
  EXPECT_NEAR(ahead.y, 0.0f, 1e-6f);
  const Vec3 side = right(0.0f);
  EXPECT_NEAR(side.x, 0.0f, 1e-6f);
  EXPECT_NEAR(side.z, 1.0f, 1e-6f);
}

}  // namespace
}  // namespace zorv
