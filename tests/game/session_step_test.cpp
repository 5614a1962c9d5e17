// The in-world step and the mouse actions on a flat, hand-built world: damage, regeneration,
// lava, mob hits, the void, the clock, villages, mining, breaking, trading and placing.

#include <gtest/gtest.h>

#include <cmath>
#include <chrono>
#include <future>
#include <thread>
#include <numbers>

#include "client/client_session.h"
#include "game/game_mod_context.h"
#include "mods/loader.h"
#include "net/protocol.h"
#include "session_test_support.h"
#include "world/light.h"
#include "world/registry.h"
#include "world/villages.h"
#include "game/world_life_cycle.h"
#include "game/player_rules.h"
#include "game/interaction.h"
#include "scratch_folder.h"

namespace zorv {
namespace {

using testing::hasMessage;
using testing::messageTexts;

constexpr std::int32_t kSeed = 424242;
constexpr int kBaseX = 4000, kBaseZ = 4000;  // far from the spawn village
constexpr int kFloorY = 0;                   // stone floor; players stand at y = 1

// A session with a flat stone floor over 7 × 7 columns around (kBaseX, kBaseZ), the player
// standing on it at the centre looking along +x.
class FlatWorld : public ::testing::Test {
 protected:
  void SetUp() override {
    session.clock = [] { return 0.0; };
    session.world = std::make_unique<World>(kSeed);
    session.seed = static_cast<std::uint32_t>(kSeed);
    World& world = *session.world;
    setFluidsEnabled(world, false);
    const int cx0 = chunkCoord(kBaseX), cz0 = chunkCoord(kBaseZ);
    for (int cx = cx0 - 3; cx <= cx0 + 3; ++cx) {
      for (int cz = cz0 - 3; cz <= cz0 + 3; ++cz) {
        createEmptyColumn(world, cx, cz);
        for (int x = 0; x < kChunkSize; ++x) {
          for (int z = 0; z < kChunkSize; ++z) setBlockRaw(world, cx * kChunkSize + x, kFloorY, cz * kChunkSize + z, blocks::Stone);
        }
        queueRelight(world, cx, cz);
      }
    }
    processRelightQueue(world, 100);
    session.spawnPoint = standingAt(kBaseX, kBaseZ);
    placePlayer(kBaseX, kBaseZ);
    session.appState = AppPlaying;
    session.spawnTimer = 1e6f;  // no night spawns unless a test wants them
  }

  static Vec3 standingAt(int x, int z) {
    return {static_cast<float>(x) + 0.5f, static_cast<float>(kFloorY + 1) + kEyeHeight, static_cast<float>(z) + 0.5f};
  }
  void placePlayer(int x, int z) {
    const Vec3 eye = standingAt(x, z);
    session.player.x = eye.x, session.player.y = eye.y, session.player.z = eye.z;
    session.player.vx = session.player.vy = session.player.vz = 0.0f;
    session.player.yaw = 0.0f;
    session.player.pitch = 0.0f;
    session.player.onGround = true;
  }
  void steps(int count, float dt) {
    for (int i = 0; i < count; ++i) stepWorld(session, dt, MovementKeys{});
  }
  Mob mobAt(MobKind kind, float x, float y, float z) {
    Mob mob;
    mob.kind = kind;
    mob.health = mobKindInfo(kind).health;
    mob.x = x, mob.y = y, mob.z = z;
    mob.homeX = x, mob.homeY = y, mob.homeZ = z;
    return mob;
  }
  World& world() { return *session.world; }
  int px() const { return static_cast<int>(std::floor(session.player.x)); }
  int pz() const { return static_cast<int>(std::floor(session.player.z)); }

  ClientSession session;
};

TEST_F(FlatWorld, SurvivalRegeneratesElevenSecondsAfterDamageOnlyBelowFullHealth) {
  session.player.mode = ModeSurvival;
  session.player.health = 19;
  steps(218, 0.05f);  // 10.9 s
  EXPECT_EQ(session.player.health, 19);
  steps(6, 0.05f);  // 11.2 s
  EXPECT_EQ(session.player.health, 20);
  steps(300, 0.05f);
  EXPECT_EQ(session.player.health, 20);

  // No health: no regeneration (and no death outside Playing).
  session.appState = AppPaused;
  session.player.health = 0;
  session.regenTimer = 0.0f;
  steps(260, 0.05f);
  EXPECT_EQ(session.player.health, 0);

  // Creative never regenerates.
  session.player.mode = ModeCreative;
  session.player.health = 10;
  steps(260, 0.05f);
  EXPECT_EQ(session.player.health, 10);
}

TEST_F(FlatWorld, LavaCostsTwoHealthEverySixTenthsOfASecondInSurvivalOnly) {
  setBlockRaw(world(), px(), kFloorY + 1, pz(), blocks::Lava);
  session.player.mode = ModeSurvival;
  steps(8, 0.07f);  // 0.56 s
  EXPECT_EQ(session.player.health, 20);
  steps(1, 0.07f);  // 0.63 s
  EXPECT_EQ(session.player.health, 18);
  EXPECT_EQ(session.lavaTimer, 0.0f);
  steps(9, 0.07f);
  EXPECT_EQ(session.player.health, 16);

  session.player.mode = ModeCreative;
  steps(30, 0.07f);
  EXPECT_EQ(session.player.health, 16);
  EXPECT_EQ(session.lavaTimer, 0.0f);
}

TEST_F(FlatWorld, ZombiesHitForThreeSlimesForOneAtMostEveryCooldown) {
  session.player.mode = ModeSurvival;
  session.timeOfDay = 0.6f;  // dusk: zombies do not burn
  const Vec3 eye = standingAt(kBaseX, kBaseZ);
  const auto stepBesideMob = [&](MobKind kind, float hurtTimer, int count) {
    for (int i = 0; i < count; ++i) {
      placePlayer(kBaseX, kBaseZ);
      session.mobs = {mobAt(kind, eye.x + 0.6f, eye.y - 1.2f, eye.z)};
      session.mobs[0].hurtTimer = hurtTimer;
      stepWorld(session, 0.05f, MovementKeys{});
    }
  };
  stepBesideMob(MobZombie, 0.0f, 1);
  EXPECT_EQ(session.player.health, 17);
  EXPECT_FLOAT_EQ(session.mobHitCooldown, 1.2f);
  EXPECT_FLOAT_EQ(session.player.vy, 3.0f);
  EXPECT_LT(session.player.vx, 0.0f);  // pushed away from the zombie on +x
  stepBesideMob(MobZombie, 0.0f, 23);  // 1.15 s later: still cooling down
  EXPECT_EQ(session.player.health, 17);
  stepBesideMob(MobZombie, 0.0f, 2);
  EXPECT_EQ(session.player.health, 14);

  session.mobHitCooldown = 0.0f;
  stepBesideMob(MobZombie, 1.0f, 3);  // its own hurt timer runs: no hit
  EXPECT_EQ(session.player.health, 14);
  stepBesideMob(MobSlime, 0.0f, 1);
  EXPECT_EQ(session.player.health, 13);
  session.mobHitCooldown = 0.0f;
  stepBesideMob(MobPig, 0.0f, 3);
  stepBesideMob(MobVillager, 0.0f, 3);
  EXPECT_EQ(session.player.health, 13);

  session.player.mode = ModeCreative;
  session.mobHitCooldown = 0.5f;
  stepBesideMob(MobZombie, 0.0f, 3);
  EXPECT_EQ(session.player.health, 13);
  EXPECT_EQ(session.mobHitCooldown, 0.0f);
}

TEST_F(FlatWorld, DeathStopsPlayingWithAMessage) {
  session.player.mode = ModeSurvival;
  session.particles.resize(3);
  session.player.health = 2;
  setBlockRaw(world(), px(), kFloorY + 1, pz(), blocks::Lava);
  steps(10, 0.07f);
  EXPECT_EQ(session.player.health, 0);
  EXPECT_EQ(session.appState, AppDead);
  EXPECT_FALSE(session.cursorCaptured);
  EXPECT_TRUE(session.particles.empty());
  EXPECT_EQ(messageTexts(session), std::vector<std::string>{"You died"});
}

TEST_F(FlatWorld, FallDamageReachesTheSurvivalPlayer) {
  session.player.mode = ModeSurvival;
  const auto dropFrom = [&](float height) {
    placePlayer(kBaseX, kBaseZ);
    session.player.y += height;
    session.player.onGround = false;
    session.player.health = 20;
    for (int i = 0; i < 100 && !(session.player.onGround && session.player.vy == 0.0f); ++i) steps(1, 0.02f);
    return session.player.health;
  };
  EXPECT_EQ(dropFrom(3.5f), 20);
  EXPECT_EQ(dropFrom(4.6f), 19);
  session.player.mode = ModeCreative;
  EXPECT_EQ(dropFrom(8.2f), 20);
}

TEST_F(FlatWorld, FallingIntoTheVoidReturnsToTheSpawnWithoutDamage) {
  session.player.mode = ModeSurvival;
  session.player.x = static_cast<float>(kBaseX) + 40.5f;  // beyond the floor
  session.player.y = -63.5f;
  session.player.vx = 2.0f;
  session.player.vy = -30.0f;
  steps(1, 0.05f);
  EXPECT_FLOAT_EQ(session.player.x, session.spawnPoint.x);
  EXPECT_FLOAT_EQ(session.player.y, session.spawnPoint.y);
  EXPECT_EQ(session.player.vx, 0.0f);
  EXPECT_EQ(session.player.health, 20);
}

TEST_F(FlatWorld, ADayLastsThreeMinutes) {
  const float start = session.timeOfDay;
  steps(900, 0.1f);
  EXPECT_NEAR(session.timeOfDay, std::fmod(start + 0.5f, 1.0f), 1e-3f);
  steps(900, 0.1f);
  EXPECT_NEAR(session.timeOfDay, start, 1e-3f);
  EXPECT_GE(session.timeOfDay, 0.0f);
  EXPECT_LT(session.timeOfDay, 1.0f);

  session.networkRole = RoleClient;  // the host owns the clock
  steps(10, 0.1f);
  EXPECT_NEAR(session.timeOfDay, start, 1e-3f);
}

TEST_F(FlatWorld, SprintingWidensTheViewAndHotbarKeysSelect) {
  MovementKeys keys;
  keys.forward = true;
  keys.sprint = true;
  keys.hotbarKey = 4;
  stepWorld(session, 0.05f, keys);
  EXPECT_NEAR(session.fovCurrent, 70.0f + 6.0f * 0.4f, 1e-4f);
  EXPECT_EQ(session.inventory.selected, 4);
  EXPECT_GT(session.player.vx, 0.0f);  // walking along the look direction (+x)
  keys.forward = false;
  for (int i = 0; i < 40; ++i) stepWorld(session, 0.05f, keys);
  EXPECT_NEAR(session.fovCurrent, 70.0f, 1e-2f);  // sprint without moving is no sprint
}

TEST_F(FlatWorld, WalkingIntoAVillageGreetsOnceAndLeavingSaysGoodbye) {
  const VillageSite site{kBaseX + 10, kBaseZ, 1, 20};
  world().villageSites.push_back(site);
  const std::string name = villageName(site, kSeed, false);
  const auto visit = [&](int x) {
    placePlayer(x, kBaseZ);
    steps(1, 0.55f);
  };
  visit(kBaseX + 10 - 22);  // 21.5 from the centre: outside
  EXPECT_TRUE(session.messages.empty());
  EXPECT_EQ(session.currentVillage, -1);
  visit(kBaseX + 10 - 15);
  EXPECT_EQ(messageTexts(session), std::vector<std::string>{"Entered " + name});
  EXPECT_NE(session.currentVillage, -1);
  visit(kBaseX + 10 - 5);
  visit(kBaseX + 10 + 19);  // 19.5 on the other side: still inside
  EXPECT_EQ(session.messages.size(), 1u);
  visit(kBaseX + 10 + 21);
  EXPECT_EQ(messageTexts(session), (std::vector<std::string>{"Entered " + name, "Leaving " + name}));
  EXPECT_EQ(session.currentVillage, -1);
}

TEST_F(FlatWorld, WeatherChangesWhenItsTimerRunsOut) {
  for (int round = 0; round < 20; ++round) {
    const Weather before = session.weather;
    const std::size_t messages = session.messages.size();
    session.weatherTimer = 0.01f;
    steps(1, 0.02f);
    EXPECT_GE(session.weatherTimer, 70.0f);
    EXPECT_LT(session.weatherTimer, 190.0f);
    EXPECT_LE(session.weather, WeatherSnow);
    if (session.weather == before) {
      EXPECT_EQ(session.messages.size(), messages);
    } else {
      static const char* const kTexts[] = {"The sky clears", "It starts to rain", "It starts to snow"};
      EXPECT_EQ(session.messages.back().text, kTexts[session.weather]);
    }
  }
  const float timer = session.weatherTimer;
  steps(1, 0.05f);
  EXPECT_FLOAT_EQ(session.weatherTimer, timer - 0.05f);
}

TEST_F(FlatWorld, ZombiesBurnInDaylightOncePerSecond) {
  session.timeOfDay = 0.25f;
  session.mobs = {mobAt(MobZombie, session.player.x + 8.0f, 1.4f, session.player.z),
                  mobAt(MobPig, session.player.x - 8.0f, 1.4f, session.player.z)};
  session.mobs[0].health = 2;
  steps(1, 0.05f);
  ASSERT_EQ(session.mobs.size(), 2u);
  EXPECT_EQ(session.mobs[0].health, 1);
  EXPECT_FLOAT_EQ(session.burnTimer, 1.0f);
  steps(19, 0.05f);  // 0.95 s later: still waiting
  EXPECT_EQ(session.mobs[0].health, 1);
  steps(2, 0.05f);
  ASSERT_EQ(session.mobs.size(), 1u);
  EXPECT_EQ(session.mobs[0].kind, MobPig);
  EXPECT_EQ(session.mobs[0].health, 2);
}

TEST_F(FlatWorld, NightSpawnsAtMostTwoZombiesEverySevenSeconds) {
  session.timeOfDay = 0.75f;
  session.spawnTimer = 0.0f;
  steps(1, 0.05f);
  EXPECT_FLOAT_EQ(session.spawnTimer, 7.0f);
  EXPECT_LE(session.mobs.size(), 2u);
  for (const Mob& mob : session.mobs) {
    EXPECT_EQ(mob.kind, MobZombie);
    EXPECT_NE(mob.id, 0);
  }
  // More than five zombies: the timer restarts but nothing is added.
  session.mobs.clear();
  for (int i = 0; i < 6; ++i) session.mobs.push_back(mobAt(MobZombie, session.player.x + 30.0f, 1.4f, session.player.z + static_cast<float>(i)));
  session.spawnTimer = 0.0f;
  steps(1, 0.05f);
  EXPECT_EQ(session.mobs.size(), 6u);
  EXPECT_FLOAT_EQ(session.spawnTimer, 7.0f);
}

TEST_F(FlatWorld, AutosaveWritesTheNamedWorldEveryFiveSeconds) {
  testing::TemporarySaves saves;
  session.worldName = "autosaved";
  steps(49, 0.1f);
  finishBackgroundFlush(*session.world, true);
  EXPECT_FALSE(worldExists("autosaved"));
  steps(2, 0.1f);
  EXPECT_LT(session.autosaveTimer, 0.25);
  // The step hands the writing to another thread.
  const std::optional<ColumnWriteResult> autosaved = finishBackgroundFlush(*session.world, true);
  ASSERT_TRUE(autosaved.has_value());
  EXPECT_TRUE(autosaved->levelWritten);
  EXPECT_TRUE(worldExists("autosaved"));
  // A save waits for an autosave still being written, so the older one never lands last.
  session.timeOfDay = 0.25f;
  saveWorldInBackground(session);
  session.timeOfDay = 0.75f;
  ASSERT_TRUE(saveWorld(session));
  LevelSave saved;
  ASSERT_TRUE(readLevel("autosaved", saved));
  EXPECT_FLOAT_EQ(saved.timeOfDay, 0.75f);
  EXPECT_FALSE(backgroundFlushRunning(*session.world));

  // An autosave that is due while the previous one is still being written does not wait
  // for it (a wait would hang here): the first step after it has ended starts it.
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  startBackgroundFlush(*session.world, [released] {
    released.wait();
    return true;
  });
  session.autosaveTimer = 4.95;
  steps(2, 0.1f);
  EXPECT_GE(session.autosaveTimer, 5.0);
  release.set_value();
  for (int wait = 0; wait < 5000 && session.autosaveTimer >= 5.0; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    steps(1, 0.001f);
  }
  EXPECT_LT(session.autosaveTimer, 0.25);
}

TEST_F(FlatWorld, ParticlesFallAndExpire) {
  Particle particle;
  particle.vy = 1.0f;
  particle.life = particle.totalLife = 0.12f;
  session.particles = {particle, particle};
  session.particles[1].life = 0.5f;
  steps(1, 0.1f);
  ASSERT_EQ(session.particles.size(), 2u);
  EXPECT_NEAR(session.particles[0].vy, 1.0f - 2.0f, 1e-5f);
  EXPECT_NEAR(session.particles[0].y, -0.1f, 1e-5f);
  steps(1, 0.05f);
  ASSERT_EQ(session.particles.size(), 1u);
  EXPECT_NEAR(session.particles[0].life, 0.35f, 1e-5f);
}

PickResult targetCell(int x, int y, int z, int fromX, int fromY, int fromZ) {
  PickResult target;
  target.hit = true;
  target.x = x, target.y = y, target.z = z;
  target.previousX = fromX, target.previousY = fromY, target.previousZ = fromZ;
  return target;
}

MouseButtons held() { return {true, false, false}; }
MouseButtons leftClick() { return {true, true, false}; }
MouseButtons rightClick() { return {false, false, true}; }

TEST_F(FlatWorld, BareHandsMineStoneInFourPointTwoSecondsWithoutADrop) {
  session.player.mode = ModeSurvival;
  const int x = px() + 1, y = kFloorY + 1, z = pz();
  setBlockRaw(world(), x, y, z, blocks::Stone);
  const PickResult target = targetCell(x, y, z, x - 1, y, z);
  for (int frame = 0; frame < 41; ++frame) mouseActions(session, 0.1f, target, held());
  EXPECT_EQ(getBlock(world(), x, y, z), blocks::Stone);
  EXPECT_EQ(session.miningX, x);
  EXPECT_NEAR(session.miningProgress, 4.1f / 4.2f, 1e-3f);
  for (int frame = 0; frame < 2; ++frame) mouseActions(session, 0.1f, target, held());
  EXPECT_EQ(getBlock(world(), x, y, z), kAir);
  EXPECT_TRUE(session.drops.empty());
  EXPECT_EQ(session.particles.size(), 10u);
  for (const Particle& particle : session.particles) {
    EXPECT_LE(std::abs(particle.x - (static_cast<float>(x) + 0.5f)), 0.4001f);
    EXPECT_GE(particle.vy, 3.0f);
    EXPECT_LT(particle.vy, 7.0f);
    EXPECT_FLOAT_EQ(particle.life, 0.55f);
    EXPECT_GE(particle.baseSize, 0.08f);
    EXPECT_LE(particle.baseSize, 0.08f + 0.048f + 1e-6f);
    EXPECT_EQ(particle.tile, blockRegistry().get(blocks::Stone).texTop);
  }
}

TEST_F(FlatWorld, MiningProgressRestartsOnAnotherCellAndWhenReleased) {
  session.player.mode = ModeSurvival;
  const int x = px() + 1, y = kFloorY + 1, z = pz();
  setBlockRaw(world(), x, y, z, blocks::Dirt);
  setBlockRaw(world(), x, y + 1, z, blocks::Dirt);
  mouseActions(session, 0.1f, targetCell(x, y, z, x - 1, y, z), held());
  EXPECT_GT(session.miningProgress, 0.0f);
  mouseActions(session, 0.1f, targetCell(x, y + 1, z, x - 1, y + 1, z), held());
  EXPECT_EQ(session.miningY, y + 1);
  EXPECT_NEAR(session.miningProgress, 0.1f / 0.4f, 1e-5f);
  mouseActions(session, 0.1f, targetCell(x, y + 1, z, x - 1, y + 1, z), MouseButtons{});
  EXPECT_EQ(session.miningX, kNoMiningCell);
  EXPECT_EQ(session.miningProgress, 0.0f);
}

TEST_F(FlatWorld, BreakingTheBlockUnderATorchPopsTheTorchInSurvival) {
  session.player.mode = ModeSurvival;
  session.inventory.slots[0] = {itemRegistry().findItem("wooden_shovel"), 1, 0};
  const int x = px() + 2, y = kFloorY + 1, z = pz();
  setBlockRaw(world(), x, y, z, blocks::Dirt);
  setBlockRaw(world(), x, y + 1, z, blocks::Torch);
  const PickResult target = targetCell(x, y, z, x - 1, y, z);
  for (int frame = 0; frame < 5 && getBlock(world(), x, y, z) != kAir; ++frame) {
    mouseActions(session, 0.1f, target, held());
  }
  EXPECT_EQ(getBlock(world(), x, y, z), kAir);
  EXPECT_EQ(getBlock(world(), x, y + 1, z), kAir);
  ASSERT_EQ(session.drops.size(), 2u);
  EXPECT_EQ(session.drops[0].item, blocks::Torch);  // the torch pops first, inside the break
  EXPECT_FLOAT_EQ(session.drops[0].y, static_cast<float>(y) + 1.5f);
  EXPECT_EQ(session.drops[1].item, blocks::Dirt);
  EXPECT_FLOAT_EQ(session.drops[1].y, static_cast<float>(y) + 0.5f);
  EXPECT_NE(session.drops[0].entityId, session.drops[1].entityId);
  EXPECT_EQ(session.inventory.slots[0].durability, 58);  // one use of the fresh shovel
}

TEST_F(FlatWorld, CreativeBreaksAtOnceWithoutDropsOrWear) {
  const int x = px() + 1, y = kFloorY + 1, z = pz();
  setBlockRaw(world(), x, y, z, blocks::Stone);
  setBlockRaw(world(), x, y + 1, z, blocks::Torch);
  mouseActions(session, 0.016f, targetCell(x, y, z, x - 1, y, z), leftClick());
  EXPECT_EQ(getBlock(world(), x, y, z), kAir);
  EXPECT_EQ(getBlock(world(), x, y + 1, z), kAir);
  EXPECT_TRUE(session.drops.empty());
}

TEST_F(FlatWorld, HittingAMobHurtsPushesAndRemovesIt) {
  session.player.mode = ModeSurvival;
  session.inventory.slots[0] = {itemRegistry().findItem("wooden_sword"), 1, 0};
  const Vec3 eye = standingAt(kBaseX, kBaseZ);
  session.mobs = {mobAt(MobZombie, eye.x + 2.0f, eye.y, eye.z)};
  PickResult nothing;
  mouseActions(session, 0.016f, nothing, leftClick());
  ASSERT_EQ(session.mobs.size(), 1u);
  EXPECT_EQ(session.mobs[0].health, 6 - 4);
  EXPECT_FLOAT_EQ(session.mobs[0].hurtTimer, 0.25f);
  EXPECT_FLOAT_EQ(session.mobs[0].fleeTimer, 4.0f);
  EXPECT_NEAR(session.mobs[0].vx, 5.0f, 1e-4f);
  EXPECT_FLOAT_EQ(session.mobs[0].vy, 3.5f);
  EXPECT_FLOAT_EQ(session.attackCooldown, 0.45f);
  EXPECT_EQ(session.inventory.slots[0].durability, 58);
  mouseActions(session, 0.1f, nothing, leftClick());  // still cooling down
  EXPECT_EQ(session.mobs[0].health, 2);
  for (int i = 0; i < 4; ++i) mouseActions(session, 0.1f, nothing, MouseButtons{});
  mouseActions(session, 0.1f, nothing, leftClick());
  EXPECT_TRUE(session.mobs.empty());
  EXPECT_TRUE(session.drops.empty());
}

TEST_F(FlatWorld, ABlockInFrontHidesTheMobBehindIt) {
  const Vec3 eye = standingAt(kBaseX, kBaseZ);
  session.mobs = {mobAt(MobZombie, eye.x + 3.0f, eye.y, eye.z)};
  const int x = px() + 1, y = static_cast<int>(std::floor(eye.y)), z = pz();
  setBlockRaw(world(), x, y, z, blocks::Dirt);
  mouseActions(session, 0.016f, targetCell(x, y, z, x - 1, y, z), leftClick());
  EXPECT_EQ(session.mobs[0].health, 6);
  EXPECT_EQ(getBlock(world(), x, y, z), kAir);  // Creative broke the block instead
}

TEST_F(FlatWorld, VillagersTradeEightPlanksForABookshelfWithSurvivors) {
  const Vec3 eye = standingAt(kBaseX, kBaseZ);
  session.mobs = {mobAt(MobVillager, eye.x + 1.5f, eye.y, eye.z)};
  PickResult nothing;
  mouseActions(session, 0.016f, nothing, rightClick());
  EXPECT_EQ(messageTexts(session), std::vector<std::string>{"Villagers only trade with survivors"});

  session.player.mode = ModeSurvival;
  session.inventory.slots[5] = {blocks::Planks, 7, 0};
  mouseActions(session, 0.016f, nothing, rightClick());
  EXPECT_EQ(session.messages.back().text, "Villagers want 8 planks");
  EXPECT_EQ(session.inventory.countOf(blocks::Planks), 7);

  session.inventory.slots[6] = {blocks::Planks, 3, 0};
  mouseActions(session, 0.016f, nothing, rightClick());
  EXPECT_EQ(session.messages.back().text, "Traded 8 planks for a bookshelf");
  EXPECT_EQ(session.inventory.countOf(blocks::Planks), 2);
  EXPECT_EQ(session.inventory.countOf(blocks::Bookshelf), 1);
}

TEST_F(FlatWorld, CraftingTableOpensTheThreeByThreeGridInSurvival) {
  session.player.mode = ModeSurvival;
  const int x = px() + 1, y = kFloorY + 1, z = pz();
  setBlockRaw(world(), x, y, z, blocks::CraftingTable);
  mouseActions(session, 0.016f, targetCell(x, y, z, x - 1, y, z), rightClick());
  EXPECT_TRUE(session.inventoryOpen);
  EXPECT_EQ(session.inventoryTab, 3);
}

TEST_F(FlatWorld, PlacementRules) {
  const int x = px(), y = kFloorY + 1, z = pz();
  // Into the player's own cell: nothing.
  session.inventory.select(2);
  mouseActions(session, 0.016f, targetCell(x, y - 1, z, x, y, z), rightClick());
  EXPECT_EQ(getBlock(world(), x, y, z), kAir);
  // Creative with an empty slot places the palette block (slot 2: stone).
  mouseActions(session, 0.016f, targetCell(x + 2, y - 1, z, x + 2, y, z), rightClick());
  EXPECT_EQ(getBlock(world(), x + 2, y, z), blocks::Stone);
  // Into water: the water is replaced.
  setBlockRaw(world(), x + 3, y, z, blocks::Water);
  mouseActions(session, 0.016f, targetCell(x + 3, y - 1, z, x + 3, y, z), rightClick());
  EXPECT_EQ(getBlock(world(), x + 3, y, z), blocks::Stone);
  // A torch against a wall with air below: nothing; on the floor: placed.
  setBlockRaw(world(), x + 2, y + 1, z, blocks::Stone);
  session.inventory.select(8);
  mouseActions(session, 0.016f, targetCell(x + 2, y + 2, z, x + 1, y + 2, z), rightClick());
  EXPECT_EQ(getBlock(world(), x + 1, y + 2, z), kAir);
  mouseActions(session, 0.016f, targetCell(x + 1, y - 1, z + 1, x + 1, y, z + 1), rightClick());
  EXPECT_EQ(getBlock(world(), x + 1, y, z + 1), blocks::Torch);

  // Survival uses up the selected block; with a tool selected the slot counts as empty.
  session.player.mode = ModeSurvival;
  session.inventory.slots[0] = {blocks::Bricks, 2, 0};
  session.inventory.select(0);
  mouseActions(session, 0.016f, targetCell(x - 2, y - 1, z, x - 2, y, z), rightClick());
  EXPECT_EQ(getBlock(world(), x - 2, y, z), blocks::Bricks);
  EXPECT_EQ(session.inventory.slots[0].count, 1);
  session.inventory.slots[1] = {itemRegistry().findItem("stone_pickaxe"), 1, 0};
  session.inventory.select(1);
  mouseActions(session, 0.016f, targetCell(x - 3, y - 1, z, x - 3, y, z), rightClick());
  EXPECT_EQ(getBlock(world(), x - 3, y, z), kAir);
  EXPECT_EQ(session.messages.back().text, "Selected slot is empty");
}

TEST_F(FlatWorld, AModThatCancelsBreakingLeavesEverythingAsItWas) {
  const testing::ScratchFolder scratch("session_mods");
  const std::filesystem::path& mods = scratch.path();
  ASSERT_TRUE(writeArchive(mods / "guard.zip",
                           {{"main.lua", "on_block_break(function(e) if e.block == 'zorvander:dirt' then "
                                         "e.cancelled = true end end)\n"
                                         "on_block_place(function(e) e.cancelled = e.block == 'zorvander:bricks' end)\n"}}));
  loadMods(session.mods, mods, session.modContext.get());
  ASSERT_EQ(session.mods.mods.size(), 1u);

  session.player.mode = ModeSurvival;
  session.inventory.slots[0] = {itemRegistry().findItem("wooden_shovel"), 1, 0};
  const int x = px() + 1, y = kFloorY + 1, z = pz();
  setBlockRaw(world(), x, y, z, blocks::Dirt);
  for (int frame = 0; frame < 5; ++frame) mouseActions(session, 0.1f, targetCell(x, y, z, x - 1, y, z), held());
  EXPECT_EQ(getBlock(world(), x, y, z), blocks::Dirt);
  EXPECT_TRUE(session.drops.empty());
  EXPECT_EQ(session.inventory.slots[0].durability, 0);
  EXPECT_LT(session.miningProgress, 1.0f);
  EXPECT_TRUE(allowBlockChange(session, x, y, z, blocks::Stone, false));
  EXPECT_FALSE(allowBlockChange(session, x, y, z, blocks::Bricks, true));
  session.networkRole = RoleClient;  // the host decides for clients
  EXPECT_TRUE(allowBlockChange(session, x, y, z, blocks::Dirt, false));
}


// A client applies its actions locally and asks the host; the requests are read back from
// the datagrams it sends.
class ClientWorld : public FlatWorld {
 protected:
  void SetUp() override {
    FlatWorld::SetUp();
    session.networkRole = RoleClient;
    session.net.active = true;
    session.net.isHost = false;
    session.net.clock = [] { return 1.0; };
    session.net.transmitHook = [this](const Endpoint&, ByteView datagram) {
      const auto header = parseHeader(datagram);
      ASSERT_TRUE(header.has_value());
      sent.push_back({header->type, Bytes(datagram.begin() + kHeaderSize, datagram.end())});
    };
  }
  std::vector<EditRequestMessage> editRequests() const {
    std::vector<EditRequestMessage> requests;
    for (const auto& [type, payload] : sent) {
      EditRequestMessage request;
      if (type == MessageType::EditRequest && decodeEditRequest(payload, request)) requests.push_back(request);
    }
    return requests;
  }
  std::vector<std::pair<MessageType, Bytes>> sent;
};

TEST_F(ClientWorld, MiningAppliesLocallyAndRequestsTheCellThenTheTorch) {
  session.player.mode = ModeSurvival;
  const ItemId shovel = itemRegistry().findItem("wooden_shovel");
  session.inventory.slots[0] = {shovel, 1, 0};
  const int x = px() + 2, y = kFloorY + 1, z = pz();
  setBlockRaw(world(), x, y, z, blocks::Dirt);
  setBlockRaw(world(), x, y + 1, z, blocks::Torch);
  for (int frame = 0; frame < 5 && getBlock(world(), x, y, z) != kAir; ++frame) {
    mouseActions(session, 0.1f, targetCell(x, y, z, x - 1, y, z), held());
  }
  EXPECT_EQ(getBlock(world(), x, y, z), kAir);
  EXPECT_EQ(getBlock(world(), x, y + 1, z), kAir);
  EXPECT_TRUE(session.drops.empty());  // the host spawns drops
  const std::vector<EditRequestMessage> requests = editRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].x, x);
  EXPECT_EQ(requests[0].y, y);
  EXPECT_EQ(requests[0].block, kAir);
  EXPECT_EQ(requests[0].gameMode, ModeSurvival);
  EXPECT_EQ(requests[0].heldItem, shovel);
  EXPECT_EQ(requests[1].y, y + 1);
  EXPECT_EQ(requests[1].block, kAir);
  EXPECT_EQ(requests[1].gameMode, ModeSurvival);
  EXPECT_EQ(requests[1].heldItem, 0);
}

TEST_F(ClientWorld, PlacingAndAttackingAreSentToTheHost) {
  const int x = px() + 2, y = kFloorY + 1, z = pz();
  session.inventory.select(4);  // Creative palette: sand
  mouseActions(session, 0.016f, targetCell(x, y - 1, z, x, y, z), rightClick());
  EXPECT_EQ(getBlock(world(), x, y, z), blocks::Sand);
  const Vec3 eye = standingAt(kBaseX, kBaseZ);
  session.mobs = {mobAt(MobPig, eye.x + 1.5f, eye.y, eye.z)};
  session.mobs[0].id = 77;
  mouseActions(session, 0.016f, PickResult{}, leftClick());
  EXPECT_EQ(session.mobs[0].health, 2);  // the host applies the damage
  EXPECT_FLOAT_EQ(session.mobs[0].hurtTimer, 0.25f);
  ASSERT_EQ(editRequests().size(), 1u);
  EXPECT_EQ(editRequests()[0].block, blocks::Sand);
  EXPECT_EQ(editRequests()[0].heldItem, 0);
  ASSERT_EQ(sent.size(), 2u);
  AttackMobMessage attack;
  ASSERT_EQ(sent[1].first, MessageType::AttackMob);
  ASSERT_TRUE(decodeAttackMob(sent[1].second, attack));
  EXPECT_EQ(attack.mobId, 77);
  EXPECT_EQ(attack.damage, 1);
}

TEST_F(ClientWorld, ClientsFollowTheHostsClockMobsAndDrops) {
  const float start = session.timeOfDay;
  Mob mob = mobAt(MobPig, session.player.x + 5.0f, session.player.y, session.player.z);
  mob.targetYaw = 3.0f;
  mob.displayedYaw = -3.0f;  // the short way round crosses ±π
  session.mobs = {mob};
  Drop drop;
  drop.x = session.player.x + 0.2f, drop.y = session.player.y - 1.5f, drop.z = session.player.z;
  drop.item = blocks::Dirt, drop.count = 1, drop.age = 10.0f;
  session.drops = {drop};
  stepWorld(session, 0.05f, MovementKeys{});
  EXPECT_EQ(session.timeOfDay, start);
  ASSERT_EQ(session.drops.size(), 1u);  // no pick-up on a client: the host grants it
  EXPECT_FLOAT_EQ(session.drops[0].age, 10.05f);
  EXPECT_FLOAT_EQ(session.drops[0].bobPhase, 0.11f);
  const float difference = 6.0f - 2.0f * std::numbers::pi_v<float>;  // 3 − (−3) wrapped
  EXPECT_NEAR(session.mobs[0].displayedYaw, -3.0f + difference * 0.6f, 1e-4f);
  EXPECT_FLOAT_EQ(session.mobs[0].x, mob.x);  // the host moves mobs
}

}  // namespace
}  // namespace zorv
