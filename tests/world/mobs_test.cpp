#include "world/mobs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "scenes.h"
#include "world/physics.h"
#include "world/registry.h"
#include "world/terrain.h"
#include "world/villages.h"

namespace zorv {
namespace {

constexpr std::int32_t kSeed = 20261018;
constexpr float kTick = 1.0f / 60.0f;
constexpr int kFloorY = 10;              // the flat scenes' stone floor
constexpr float kStandingY = 11.4f;      // a mob box centre resting on that floor (bottom at 11)

// An empty world with a stone floor at y = 10 from −40 to 40 on x and z.
struct FlatScene {
  World world{1};
  FlatScene() {
    test::loadEmptyArea(world, -48, -48, 48, 48);
    test::fillCells(world, -40, kFloorY, -40, 40, kFloorY, 40, blocks::Stone);
  }
};

Mob mobAt(std::uint8_t kind, float x, float z) {
  Mob mob;
  mob.kind = kind;
  mob.x = mob.homeX = x;
  mob.y = mob.homeY = kStandingY;
  mob.z = mob.homeZ = z;
  mob.health = mobKindInfo(kind).health;
  mob.decisionTimer = 100.0f;  // no wandering decision during the test
  return mob;
}

PlayerTarget playerAt(float x, float z, std::uint8_t mode) { return {x, kStandingY + 1.22f, z, mode}; }

float horizontalDistance(const Mob& mob, const PlayerTarget& player) {
  return std::hypot(mob.x - player.x, mob.z - player.z);
}

void run(const World& world, std::vector<Mob>& mobs, int updates, const std::vector<PlayerTarget>& players) {
  for (int i = 0; i < updates; ++i) updateMobs(world, mobs, kTick, players);
}

bool boxFree(const World& world, float x, float y, float z, float half) {
  return !boxCollides(world, {x - half, y - half, z - half}, {x + half, y + half, z + half});
}

bool solidBelowBox(const World& world, const Mob& mob) {
  const int below = static_cast<int>(std::floor(mob.y - 0.4f)) - 1;
  return blockRegistry().get(getBlock(world, static_cast<int>(std::floor(mob.x)), below,
                                      static_cast<int>(std::floor(mob.z))))
      .solid;
}

bool sameMobs(const std::vector<Mob>& a, const std::vector<Mob>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const Mob& p, const Mob& q) {
           return p.x == q.x && p.y == q.y && p.z == q.z && p.kind == q.kind && p.targetYaw == q.targetYaw &&
                  p.decisionTimer == q.decisionTimer;
         });
}

// A land position of the check world: a column well above the sea near the origin.
Vec3 landCentre(World& world) {
  for (int x = 0; x < 400; x += 8) {
    if (surfaceHeight(world, x, 8) > 38) return {static_cast<float>(x) + 0.5f, 50.0f, 8.5f};
  }
  return {0.5f, 50.0f, 8.5f};
}

TEST(MobSpawning, SlimesAndPigsStandOnGroundNearTheCentreAndRepeatForASeed) {
  World world(kSeed);
  const Vec3 centre = landCentre(world);
  const std::vector<Mob> mobs = spawnMobs(world, kSeed, 14, centre);
  ASSERT_GT(mobs.size(), 3u);
  EXPECT_LE(mobs.size(), 14u);
  bool pig = false;
  for (const Mob& mob : mobs) {
    EXPECT_TRUE(mob.kind == MobPig || mob.kind == MobSlime);
    pig = pig || mob.kind == MobPig;
    EXPECT_TRUE(boxFree(world, mob.x, mob.y, mob.z, 0.4f));
    EXPECT_TRUE(solidBelowBox(world, mob));
    const BlockId ground = getBlock(world, static_cast<int>(std::floor(mob.x)), static_cast<int>(std::lround(mob.y - 1.4f)),
                                    static_cast<int>(std::floor(mob.z)));
    EXPECT_TRUE(ground == blocks::Grass || ground == blocks::Dirt || ground == blocks::Sand);
    EXPECT_LE(std::fabs(mob.x - centre.x), 20.5f);
    EXPECT_LE(std::fabs(mob.z - centre.z), 20.5f);
    EXPECT_EQ(mob.health, mob.kind == MobPig ? 2 : 3);
    EXPECT_EQ(mob.homeX, mob.x);
    EXPECT_EQ(mob.targetYaw, mob.displayedYaw);
    EXPECT_GE(mob.decisionTimer, 0.5f);
    EXPECT_LT(mob.decisionTimer, 3.5f);
    EXPECT_EQ(mob.circlingDirection, 1.0f);
  }
  EXPECT_TRUE(pig);

  World again(kSeed);
  EXPECT_TRUE(sameMobs(spawnMobs(again, kSeed, 14, centre), mobs));
  EXPECT_FALSE(sameMobs(spawnMobs(again, kSeed + 1, 14, centre), mobs));
  EXPECT_TRUE(spawnMobs(again, kSeed, 0, centre).empty());
}

TEST(MobSpawning, VillagersStandInFreeSpaceAroundTheirWell) {
  World world(kSeed);
  const VillageSite site = world.villageSites.front();
  const Vec3 centre{static_cast<float>(site.x), 40.0f, static_cast<float>(site.z)};
  const std::vector<Mob> villagers = spawnVillagers(world, kSeed, centre, 100);
  ASSERT_GE(villagers.size(), 3u);
  for (const Mob& villager : villagers) {
    EXPECT_EQ(villager.kind, MobVillager);
    EXPECT_EQ(villager.health, 4);
    EXPECT_TRUE(boxFree(world, villager.x, villager.y, villager.z, 0.4f));
    EXPECT_TRUE(solidBelowBox(world, villager));
    EXPECT_LT(villager.decisionTimer, 2.0f);
    // Within the 15 × 15 square around some site's well.
    const std::vector<VillageSite> sites = sitesWithin(world, site.x, site.z, 100);
    EXPECT_TRUE(std::any_of(sites.begin(), sites.end(), [&](const VillageSite& s) {
      return std::fabs(villager.x - (static_cast<float>(s.x) + 0.5f)) <= 7.0f &&
             std::fabs(villager.z - (static_cast<float>(s.z) + 0.5f)) <= 7.0f;
    }));
  }
  EXPECT_TRUE(sameMobs(spawnVillagers(world, kSeed, centre, 100), villagers));
  // Far away from every village: nobody.
  EXPECT_TRUE(spawnVillagers(world, kSeed, {-300000.0f, 40.0f, 300000.0f}, 10).empty());
}

TEST(MobSpawning, ZombiesAppearInTheDarkTwelveToTwentyBlocksAway) {
  World world(kSeed);
  const Vec3 centre = landCentre(world);
  const std::vector<Mob> zombies = spawnZombies(world, kSeed, 6, centre);
  ASSERT_FALSE(zombies.empty());
  EXPECT_LE(zombies.size(), 6u);
  for (const Mob& zombie : zombies) {
    EXPECT_EQ(zombie.kind, MobZombie);
    EXPECT_EQ(zombie.health, 6);
    EXPECT_EQ(zombie.decisionTimer, 0.0f);
    const int dx = static_cast<int>(std::floor(zombie.x)) - static_cast<int>(centre.x);
    const int dz = static_cast<int>(std::floor(zombie.z)) - static_cast<int>(centre.z);
    EXPECT_GE(dx * dx + dz * dz, 144);
    EXPECT_LE(dx * dx + dz * dz, 400);
    EXPECT_TRUE(boxFree(world, zombie.x, zombie.y, zombie.z, 0.4f));
    EXPECT_TRUE(solidBelowBox(world, zombie));
  }
  World again(kSeed);
  EXPECT_TRUE(sameMobs(spawnZombies(again, kSeed, 6, centre), zombies));

  // Everywhere lit by blocks: no zombie at all.
  ensureColumnsAround(world, static_cast<int>(centre.x), static_cast<int>(centre.z), 2);
  for (auto& [key, chunk] : world.chunks) chunk->blockLight.fill(8);
  EXPECT_TRUE(spawnZombies(world, kSeed, 6, centre).empty());
}

TEST(MobBehaviour, SlimesIgnoreCreativePlayersAndHoldAStandoffWithSurvivalOnes) {
  FlatScene scene;
  seedWanderRandom(11);
  const PlayerTarget creative = playerAt(5.5f, 0.5f, 0);
  std::vector<Mob> slimes = {mobAt(MobSlime, 0.5f, 0.5f)};
  slimes[0].decisionTimer = 2.5f;
  run(scene.world, slimes, 120, {creative});
  EXPECT_GT(std::fabs(slimes[0].x - creative.x), 4.0f);
  EXPECT_FALSE(slimes[0].approaching);

  const PlayerTarget survival = playerAt(5.5f, 0.5f, 1);
  slimes = {mobAt(MobSlime, 0.5f, 0.5f)};
  run(scene.world, slimes, 120, {survival});
  EXPECT_LT(horizontalDistance(slimes[0], survival), 4.0f);
  run(scene.world, slimes, 180, {survival});
  const float distance = horizontalDistance(slimes[0], survival);
  EXPECT_GT(distance, 0.8f);
  EXPECT_LT(distance, 1.8f);
  // It keeps circling near the player rather than settling on top of it.
  for (int i = 0; i < 300; ++i) {
    updateMobs(scene.world, slimes, kTick, std::vector<PlayerTarget>{survival});
    EXPECT_GT(horizontalDistance(slimes[0], survival), 0.5f);
  }
  // A creative player nearer than the survival one does not distract it.
  slimes = {mobAt(MobSlime, 0.5f, 0.5f)};
  run(scene.world, slimes, 200, {playerAt(1.5f, 0.5f, 0), playerAt(-4.5f, 0.5f, 1)});
  EXPECT_LT(slimes[0].x, -2.0f);
}

TEST(MobBehaviour, ZombiesChaseSurvivalPlayersOnly) {
  FlatScene scene;
  std::vector<Mob> zombies = {mobAt(MobZombie, 0.5f, 0.5f)};
  const PlayerTarget creative = playerAt(6.5f, 0.5f, 0);
  run(scene.world, zombies, 120, {creative});
  EXPECT_FALSE(zombies[0].approaching);
  EXPECT_NEAR(zombies[0].x, 0.5f, 0.01f);

  const PlayerTarget survival = playerAt(6.5f, 0.5f, 1);
  run(scene.world, zombies, 60, {survival});
  EXPECT_TRUE(zombies[0].approaching);
  EXPECT_NEAR(zombies[0].x, 0.5f + 1.35f, 0.1f);  // one second at walking speed
  run(scene.world, zombies, 240, {survival});
  EXPECT_LT(horizontalDistance(zombies[0], survival), 1.5f);

  // The chase ends out of range (more than 20 away or 10 above) and starts again in range.
  zombies = {mobAt(MobZombie, 0.5f, 0.5f)};
  run(scene.world, zombies, 10, {survival});
  EXPECT_TRUE(zombies[0].approaching);
  run(scene.world, zombies, 10, {playerAt(22.5f, 0.5f, 1)});
  EXPECT_FALSE(zombies[0].approaching);
  run(scene.world, zombies, 10, {survival});
  EXPECT_TRUE(zombies[0].approaching);
  run(scene.world, zombies, 10, {{5.5f, kStandingY + 11.0f, 0.5f, 1}});
  EXPECT_FALSE(zombies[0].approaching);
}

TEST(MobBehaviour, VillagersWalkHomeAndFleeingMobsRunAway) {
  FlatScene scene;
  std::vector<Mob> mobs = {mobAt(MobVillager, 12.5f, 0.5f)};
  mobs[0].homeX = 0.5f;
  run(scene.world, mobs, 300, {});
  EXPECT_LE(std::fabs(mobs[0].x - 0.5f), 8.05f);
  EXPECT_NEAR(mobs[0].z, 0.5f, 0.01f);

  // Fleeing: directly away from the nearest player (any mode) at 1.7 times the speed.
  mobs = {mobAt(MobPig, 0.5f, 0.5f)};
  mobs[0].fleeTimer = 4.0f;
  run(scene.world, mobs, 60, {playerAt(-2.5f, 0.5f, 0), playerAt(10.5f, 10.5f, 1)});
  EXPECT_NEAR(mobs[0].x, 0.5f + 1.7f * 1.7f, 0.1f);
  EXPECT_NEAR(mobs[0].z, 0.5f, 0.01f);
  EXPECT_NEAR(mobs[0].fleeTimer, 3.0f, 1e-3f);
}

TEST(MobBehaviour, MobsHopOntoSingleBlocksButNotOverWalls) {
  FlatScene scene;
  test::fillCells(scene.world, 3, kFloorY + 1, -5, 20, kFloorY + 1, 5, blocks::Stone);  // a raised terrace
  std::vector<Mob> pigs = {mobAt(MobPig, 0.5f, 0.5f)};
  pigs[0].walking = true;  // heading +x (yaw 0)
  run(scene.world, pigs, 180, {});
  EXPECT_GT(pigs[0].x, 3.4f);
  EXPECT_NEAR(pigs[0].y, kStandingY + 1.0f, 0.06f);

  test::fillCells(scene.world, -3, kFloorY + 1, -5, -3, kFloorY + 2, 5, blocks::Stone);
  pigs = {mobAt(MobPig, 0.5f, 0.5f)};
  pigs[0].walking = true;
  pigs[0].targetYaw = std::numbers::pi_v<float>;  // heading −x
  run(scene.world, pigs, 180, {});
  EXPECT_GE(pigs[0].x, -2.0f + 0.4f - 0.001f);
  EXPECT_LT(pigs[0].y, kStandingY + 1.0f);
}

TEST(MobBehaviour, TimersYawAndTheVoidRescue) {
  FlatScene scene;
  std::vector<Mob> mobs = {mobAt(MobPig, 0.5f, 0.5f), mobAt(MobSlime, 100.5f, 100.5f)};
  mobs[0].targetYaw = 1.0f;
  mobs[0].hurtTimer = 0.25f;
  mobs[1].y = -63.9f;  // falling through unloaded space
  mobs[1].vx = 2.0f;
  mobs[1].vy = -10.0f;
  updateMobs(scene.world, mobs, kTick, {});
  EXPECT_NEAR(mobs[0].displayedYaw, 1.0f / 6.0f, 1e-5f);
  EXPECT_NEAR(mobs[0].hurtTimer, 0.25f - kTick, 1e-6f);
  EXPECT_NEAR(mobs[0].animationTime, kTick, 1e-6f);
  EXPECT_NEAR(mobs[0].decisionTimer, 100.0f - kTick, 1e-4f);
  EXPECT_TRUE(mobs[0].onGround);
  EXPECT_FLOAT_EQ(mobs[1].y, 40.0f);
  EXPECT_FLOAT_EQ(mobs[1].vx, 0.0f);
  EXPECT_FLOAT_EQ(mobs[1].vy, 0.0f);
  for (int i = 0; i < 30; ++i) updateMobs(scene.world, mobs, kTick, {});
  EXPECT_FLOAT_EQ(mobs[0].hurtTimer, 0.0f);

  // The displayed yaw turns the short way round.
  mobs = {mobAt(MobPig, 0.5f, 0.5f)};
  mobs[0].displayedYaw = 3.0f;
  mobs[0].targetYaw = -3.0f;
  updateMobs(scene.world, mobs, kTick, {});
  EXPECT_NEAR(mobs[0].displayedYaw, 3.0f + (2.0f * std::numbers::pi_v<float> - 6.0f) / 6.0f, 1e-4f);
}

TEST(MobBehaviour, WanderingRepeatsForTheSameRandomStart) {
  FlatScene scene;
  const auto wanderFrom = [&](std::uint32_t start) {
    seedWanderRandom(start);
    std::vector<Mob> mobs;
    for (int i = 0; i < 8; ++i) mobs.push_back(mobAt(static_cast<std::uint8_t>(i % 3), 4.0f * static_cast<float>(i) - 14.5f, 0.5f));
    for (Mob& mob : mobs) mob.decisionTimer = 0.0f;
    run(scene.world, mobs, 240, {});
    return mobs;
  };
  const std::vector<Mob> first = wanderFrom(99);
  EXPECT_TRUE(sameMobs(wanderFrom(99), first));
  EXPECT_FALSE(sameMobs(wanderFrom(100), first));
  const bool anyMoved = std::any_of(first.begin(), first.end(), [](const Mob& mob) { return mob.x != mob.homeX; });
  EXPECT_TRUE(anyMoved);
}

TEST(Drops, MergeOnSpawnOnlyWhenNearAndWithoutWear) {
  std::vector<Drop> drops;
  spawnDrop(drops, {1.5f, 11.5f, 1.5f}, blocks::Dirt, 1, 0);
  drops[0].age = 10.0f;
  spawnDrop(drops, {1.5f, 11.5f, 1.5f}, blocks::Dirt, 1, 0);
  ASSERT_EQ(drops.size(), 1u);
  EXPECT_EQ(drops[0].count, 2);
  EXPECT_FLOAT_EQ(drops[0].age, 0.35f);

  spawnDrop(drops, {1.5f, 11.5f, 2.2f}, blocks::Dirt, 1, 0);   // 0.7 away
  spawnDrop(drops, {1.5f, 11.5f, 1.5f}, blocks::Sand, 3, 0);   // another item
  const std::uint16_t pickaxe = itemRegistry().findItem("stone_pickaxe");
  spawnDrop(drops, {1.5f, 11.5f, 1.5f}, pickaxe, 1, 131);
  spawnDrop(drops, {1.5f, 11.5f, 1.5f}, pickaxe, 1, 131);      // tools never merge
  spawnDrop(drops, {1.5f, 11.5f, 1.5f}, 0, 1, 0);
  spawnDrop(drops, {1.5f, 11.5f, 1.5f}, blocks::Dirt, 0, 0);
  ASSERT_EQ(drops.size(), 5u);
  EXPECT_EQ(drops[0].count, 2);
  EXPECT_FLOAT_EQ(drops[2].bobPhase, 0.7f);
  EXPECT_FLOAT_EQ(drops[4].bobPhase, 1.4f);
  EXPECT_EQ(drops[4].durability, 131);
  EXPECT_EQ(drops[4].entityId, 0);
}

TEST(Drops, FallRestAndArePickedUpOnlyWithRoom) {
  FlatScene scene;
  std::vector<Drop> drops;
  spawnDrop(drops, {2.5f, 14.0f, 2.5f}, blocks::Dirt, 1, 0);
  spawnDrop(drops, {2.5f, 14.0f, 2.5f}, blocks::Dirt, 1, 0);
  Inventory inventory;
  const Vec3 farAway{30.5f, 12.62f, 30.5f};
  for (int i = 0; i < 300; ++i) updateDrops(scene.world, drops, farAway, inventory, true, kTick);
  ASSERT_EQ(drops.size(), 1u);
  EXPECT_TRUE(drops[0].onGround);
  EXPECT_NEAR(drops[0].y, 11.15f, 0.051f);  // box bottom on the floor's top at 11
  EXPECT_GE(drops[0].y, 11.15f);

  // Standing on it with a full inventory: it stays and nothing is added.
  Inventory full;
  for (ItemStack& slot : full.slots) slot = {blocks::Stone, 64, 0};
  full.slots[3] = {blocks::Dirt, 63, 0};  // room for one, not for the pair
  const Vec3 standing{2.5f, 12.62f, 2.5f};
  updateDrops(scene.world, drops, standing, full, true, kTick);
  EXPECT_EQ(drops.size(), 1u);
  EXPECT_EQ(full.countOf(blocks::Dirt), 63);
  // Spectators (no pick-up) leave it too.
  updateDrops(scene.world, drops, standing, inventory, false, kTick);
  EXPECT_EQ(drops.size(), 1u);
  updateDrops(scene.world, drops, standing, inventory, true, kTick);
  EXPECT_TRUE(drops.empty());
  EXPECT_EQ(inventory.countOf(blocks::Dirt), 2);

  // A fresh drop waits 0.35 s before it can be picked up; too high above the player it stays.
  spawnDrop(drops, {2.5f, 11.3f, 2.5f}, blocks::Sand, 1, 0);
  for (int i = 0; i < 20; ++i) updateDrops(scene.world, drops, standing, inventory, true, kTick);
  EXPECT_EQ(drops.size(), 1u);
  for (int i = 0; i < 5; ++i) updateDrops(scene.world, drops, {2.5f, 9.6f, 2.5f}, inventory, true, kTick);
  EXPECT_EQ(drops.size(), 1u);
  updateDrops(scene.world, drops, standing, inventory, true, kTick);
  EXPECT_TRUE(drops.empty());
  EXPECT_EQ(inventory.countOf(blocks::Sand), 1);
}

TEST(Drops, LavaWaterUnloadedColumnsAndExpiry) {
  FlatScene scene;
  setBlockRaw(scene.world, 5, kFloorY + 1, 5, blocks::Lava);
  test::fillCells(scene.world, 8, kFloorY + 1, 8, 8, kFloorY + 8, 8, blocks::Water);
  std::vector<Drop> drops;
  spawnDrop(drops, {5.5f, 11.5f, 5.5f}, blocks::Dirt, 1, 0);    // in lava
  spawnDrop(drops, {8.5f, 18.5f, 8.5f}, blocks::Sand, 1, 0);    // in water
  spawnDrop(drops, {20.5f, 18.5f, 20.5f}, blocks::Gravel, 1, 0); // in air
  spawnDrop(drops, {100.5f, 18.5f, 100.5f}, blocks::Bricks, 1, 0);  // unloaded column
  Inventory inventory;
  const Vec3 player{100.5f, 18.5f, 100.5f};  // right on the frozen drop
  for (int i = 0; i < 30; ++i) updateDrops(scene.world, drops, player, inventory, true, kTick);
  ASSERT_EQ(drops.size(), 3u);
  EXPECT_EQ(drops[0].item, blocks::Sand);
  // Half a second in water sinks well under a block; in air it falls over two.
  EXPECT_LT(18.5f - drops[0].y, 0.6f);
  EXPECT_GT(18.5f - drops[0].y, 0.1f);
  EXPECT_GT(18.5f - drops[1].y, 2.0f);
  EXPECT_FLOAT_EQ(drops[2].y, 18.5f);
  EXPECT_FLOAT_EQ(drops[2].vy, 0.0f);
  EXPECT_NEAR(drops[2].age, 0.5f, 1e-4f);
  EXPECT_TRUE(inventory.isEmpty());

  drops[1].age = 299.99f;
  drops[0].y = -64.5f;
  updateDrops(scene.world, drops, player, inventory, false, kTick);
  ASSERT_EQ(drops.size(), 1u);
  EXPECT_EQ(drops[0].item, blocks::Bricks);
}

float modelHeight(const Mesh& mesh) {
  float low = INFINITY, high = -INFINITY;
  for (const MeshVertex& v : mesh.vertices) {
    low = std::min(low, v.y);
    high = std::max(high, v.y);
  }
  return high - low;
}

TEST(Models, HeightsPartsAndTiles) {
  EXPECT_NEAR(modelHeight(mobMesh(MobPig)), 0.8f, 1e-5f);
  EXPECT_NEAR(modelHeight(mobMesh(MobSlime)), 0.65f, 1e-5f);
  EXPECT_NEAR(modelHeight(mobMesh(MobVillager)), 0.96f, 1e-5f);
  EXPECT_NEAR(modelHeight(mobMesh(MobZombie)), 1.8f, 1e-5f);
  EXPECT_NEAR(modelHeight(playerMesh()), 1.8f, 1e-5f);
  for (std::uint8_t kind = 0; kind < kMobKinds; ++kind) {
    EXPECT_NEAR(modelHeight(mobMesh(kind)), mobKindInfo(kind).modelHeight, 1e-5f);
  }
  EXPECT_TRUE(mobMesh(7).empty());

  // Boxes of six quads: slime 1, pig 6 (four legs, body, head), the figures 6 each.
  EXPECT_EQ(mobMesh(MobSlime).vertices.size(), 24u);
  EXPECT_EQ(mobMesh(MobPig).vertices.size(), 6u * 24u);
  EXPECT_EQ(mobMesh(MobVillager).indices.size(), 6u * 36u);
  EXPECT_EQ(playerMesh().vertices.size(), 6u * 24u);

  // The slime's +X face (the first quad) shows its face tile, the other faces its body tile.
  const Mesh slime = mobMesh(MobSlime);
  EXPECT_EQ(slime.vertices[0].layer, 10);
  EXPECT_FLOAT_EQ(slime.vertices[0].x, 0.35f);
  EXPECT_FLOAT_EQ(slime.vertices[0].shade, 0.76f);
  for (std::size_t v = 4; v < 24; ++v) EXPECT_EQ(slime.vertices[v].layer, 9);
  EXPECT_FLOAT_EQ(slime.vertices[0].sky, 1.0f);
  EXPECT_FLOAT_EQ(slime.vertices[0].block, 0.0f);
  // Pig legs are darkened: their top face has shade 0.85.
  EXPECT_FLOAT_EQ(mobMesh(MobPig).vertices[8].shade, 0.85f);
  // The zombie's arms reach forward to x = 0.62.
  const Mesh zombie = mobMesh(MobZombie);
  float front = -INFINITY;
  for (const MeshVertex& v : zombie.vertices) front = std::max(front, v.x);
  EXPECT_FLOAT_EQ(front, 0.62f);

  const Mesh particle = particleMesh();
  EXPECT_EQ(particle.vertices.size(), 24u);
  EXPECT_EQ(particle.indices.size(), 36u);
  EXPECT_NEAR(modelHeight(particle), 1.0f, 1e-6f);
  for (const MeshVertex& v : particle.vertices) {
    EXPECT_FLOAT_EQ(std::fabs(v.x), 0.5f);
    EXPECT_FLOAT_EQ(std::fabs(v.z), 0.5f);
  }
}

}  // namespace
}  // namespace zorv
