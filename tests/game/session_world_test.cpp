// Worlds entering and leaving the session: the spawn search, creating, saving, loading
// (with the sanitising of stored values), leaving, the world list, villages and the minimap.

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "client/client_session.h"
#include "session_test_support.h"
#include "lang/localisation.h"
#include "world/physics.h"
#include "world/registry.h"
#include "world/terrain.h"
#include "world/villages.h"
#include "game/world_life_cycle.h"
#include "client/minimap.h"

namespace zorv {
namespace {

using testing::hasMessage;
using testing::RecordingRenderer;
using testing::TemporarySaves;

constexpr std::uint32_t kSeed = 1234;

class SessionWorld : public ::testing::Test {
 protected:
  void SetUp() override {
    session.clock = [] { return 0.0; };
  }

  TemporarySaves saves;
  ClientSession session;
};

TEST_F(SessionWorld, SpawnPointStandsOnSoilAwayFromVillagesOnTheSearchGrid) {
  for (std::int32_t seed : {1, 77, 20261018}) {
    World world(seed);
    const Vec3 spawn = findSpawnPoint(world);
    const int x = static_cast<int>(std::floor(spawn.x)), z = static_cast<int>(std::floor(spawn.z));
    EXPECT_FLOAT_EQ(spawn.x - static_cast<float>(x), 0.5f);
    EXPECT_FALSE(collidesAt(world, spawn));
    if (x == 0 && z == 0 && sitesWithin(world, 0, 0, 32).size() > 0) continue;  // the fallback
    EXPECT_EQ(x % 8, 0) << seed;
    EXPECT_EQ(z % 8, 0) << seed;
    const int h = surfaceHeight(world, x, z);
    EXPECT_GE(h, 32) << seed;
    EXPECT_TRUE(sitesWithin(world, x, z, 32).empty()) << seed;
    const BlockId ground = getBlock(world, x, h, z);
    EXPECT_TRUE(ground == blocks::Grass || ground == blocks::Dirt || ground == blocks::Sand) << seed;
    EXPECT_NEAR(spawn.y, static_cast<float>(h) + 2.63f, 1e-4f) << seed;  // nothing to climb out of
  }
}

TEST_F(SessionWorld, CreatingAWorldPlacesPlayerMobsAndMeshes) {
  RecordingRenderer renderer;
  session.renderer = &renderer;
  session.preferences.fieldOfView = 80.0f;
  session.inventory.slots[4] = {blocks::Stone, 9, 0};
  session.cursorStack = {blocks::Dirt, 1, 0};
  session.drops.resize(3);
  session.particles.resize(3);
  session.menuStatus = "old status";
  session.player.health = 3;
  createWorld(session, kSeed, "alpha");

  ASSERT_NE(session.world, nullptr);
  EXPECT_EQ(session.worldName, "alpha");
  EXPECT_EQ(session.seed, kSeed);
  EXPECT_TRUE(session.menuStatus.empty());
  EXPECT_EQ(session.player.health, 20);
  EXPECT_FLOAT_EQ(session.player.yaw, -90.0f);
  EXPECT_FLOAT_EQ(session.player.x, session.spawnPoint.x);
  EXPECT_FLOAT_EQ(session.player.y, session.spawnPoint.y);
  EXPECT_FLOAT_EQ(session.player.z, session.spawnPoint.z);
  EXPECT_TRUE(session.inventory.isEmpty());
  EXPECT_TRUE(session.cursorStack.empty());
  EXPECT_TRUE(session.drops.empty());
  EXPECT_TRUE(session.particles.empty());
  EXPECT_FLOAT_EQ(session.timeOfDay, 0.22f);
  EXPECT_FLOAT_EQ(session.fovCurrent, 80.0f);
  EXPECT_FLOAT_EQ(session.minimapTimer, 999.0f);
  EXPECT_FALSE(session.world->captureEnabled);
  EXPECT_TRUE(session.world->fluidsEnabled);

  // 14 slimes and pigs at most, then the villagers; numbered 1, 2, 3, ... in order.
  ASSERT_FALSE(session.mobs.empty());
  for (std::size_t i = 0; i < session.mobs.size(); ++i) EXPECT_EQ(session.mobs[i].id, static_cast<int>(i) + 1);
  EXPECT_EQ(session.nextEntityId, static_cast<int>(session.mobs.size()) + 1);
  const std::size_t villagers = static_cast<std::size_t>(
      std::count_if(session.mobs.begin(), session.mobs.end(), [](const Mob& mob) { return mob.kind == MobVillager; }));
  EXPECT_LE(session.mobs.size() - villagers, 14u);

  // The columns within 3 chunks are present and their chunks were handed to the renderer.
  const int cx = chunkCoord(static_cast<int>(std::floor(session.spawnPoint.x)));
  const int cz = chunkCoord(static_cast<int>(std::floor(session.spawnPoint.z)));
  EXPECT_TRUE(isColumnLoaded(*session.world, cx + 3, cz - 3));
  EXPECT_GE(renderer.clears, 1);
  EXPECT_GT(renderer.uploads.size(), 0u);
  for (const auto& [key, count] : renderer.uploads) {
    int kx = 0, ky = 0, kz = 0;
    ASSERT_EQ(std::sscanf(key.c_str(), "%d,%d,%d", &kx, &ky, &kz), 3);
    EXPECT_LE(std::abs(kx - cx), 3);
    EXPECT_LE(std::abs(kz - cz), 3);
  }

  EXPECT_EQ(session.messages.front().text, "World seed 1234");
  const std::size_t nearby = sitesWithin(*session.world, static_cast<int>(std::floor(session.spawnPoint.x)),
                                         static_cast<int>(std::floor(session.spawnPoint.z)), 640)
                                 .size();
  if (nearby > 0) {
    EXPECT_TRUE(hasMessage(session, std::to_string(nearby) + " village(s) nearby"));
  }
}

TEST_F(SessionWorld, HostingCapturesChangesAndClientsRunNoFluids) {
  session.networkRole = RoleHost;
  createWorld(session, 3, "hosted");
  EXPECT_TRUE(session.world->captureEnabled);
  EXPECT_TRUE(session.world->fluidsEnabled);
  session.networkRole = RoleClient;
  createWorld(session, 3, "");
  EXPECT_FALSE(session.world->captureEnabled);
  EXPECT_FALSE(session.world->fluidsEnabled);
  EXPECT_FALSE(saveWorld(session));
}

TEST_F(SessionWorld, SaveAndLoadKeepPlayerInventoryMobsDropsAndEdits) {
  createWorld(session, kSeed, "roundtrip");
  const int x = static_cast<int>(std::floor(session.spawnPoint.x)) + 2;
  const int z = static_cast<int>(std::floor(session.spawnPoint.z));
  setBlock(*session.world, x, 10, z, blocks::Bricks);
  setBlock(*session.world, x, 11, z, kAir);
  session.player.mode = ModeSurvival;
  session.player.health = 13;
  session.player.x += 1.25f;
  session.player.y += 3.0f;
  session.player.yaw = 33.0f;
  session.player.pitch = -40.0f;
  session.player.flying = true;
  session.inventory.slots[0] = {blocks::Stone, 5, 0};
  session.inventory.slots[3] = {itemRegistry().findItem("wooden_pickaxe"), 1, 17};
  session.inventory.slots[35] = {itemRegistry().findItem("coal"), 64, 0};
  session.inventory.select(3);
  session.timeOfDay = 0.61f;
  session.weather = WeatherSnow;
  session.mobs.resize(2);
  session.mobs[1].kind = MobZombie;
  session.mobs[1].health = 5;
  session.mobs[1].x = 7.0f;
  session.mobs[1].targetYaw = 1.5f;
  session.mobs[1].decisionTimer = 0.75f;
  session.drops.clear();
  spawnDrop(session.drops, {1.0f, 40.0f, 2.0f}, blocks::Torch, 3, 0);
  session.drops[0].age = 4.0f;
  ASSERT_TRUE(saveWorld(session));
  EXPECT_TRUE(std::filesystem::is_regular_file(saves.root() / "roundtrip" / "level.dat"));

  ClientSession loaded;
  loaded.clock = [] { return 0.0; };
  ASSERT_TRUE(loadWorld(loaded, "roundtrip"));
  EXPECT_EQ(loaded.seed, kSeed);
  EXPECT_EQ(loaded.worldName, "roundtrip");
  EXPECT_EQ(getBlock(*loaded.world, x, 10, z), blocks::Bricks);
  EXPECT_EQ(getBlock(*loaded.world, x, 11, z), kAir);
  EXPECT_EQ(gameMode(loaded), ModeSurvival);
  EXPECT_EQ(loaded.player.health, 13);
  EXPECT_FLOAT_EQ(loaded.player.x, session.player.x);
  EXPECT_FLOAT_EQ(loaded.player.z, session.player.z);
  EXPECT_GE(loaded.player.y, session.player.y);  // raised only if it stood in blocks
  EXPECT_FLOAT_EQ(loaded.player.yaw, 33.0f);
  EXPECT_FLOAT_EQ(loaded.player.pitch, -40.0f);
  EXPECT_TRUE(loaded.player.flying);
  EXPECT_EQ(loaded.inventory.selected, 3);
  EXPECT_EQ(loaded.inventory.slots[0].id, blocks::Stone);
  EXPECT_EQ(loaded.inventory.slots[0].count, 5);
  EXPECT_EQ(loaded.inventory.slots[3].durability, 17);
  EXPECT_EQ(loaded.inventory.slots[35].count, 64);
  EXPECT_FLOAT_EQ(loaded.timeOfDay, 0.61f);
  EXPECT_EQ(loaded.weather, WeatherSnow);
  ASSERT_EQ(loaded.mobs.size(), 2u);
  EXPECT_EQ(loaded.mobs[1].kind, MobZombie);
  EXPECT_EQ(loaded.mobs[1].health, 5);
  EXPECT_FLOAT_EQ(loaded.mobs[1].displayedYaw, 1.5f);
  EXPECT_FLOAT_EQ(loaded.mobs[1].decisionTimer, 0.75f);
  ASSERT_EQ(loaded.drops.size(), 1u);
  EXPECT_EQ(loaded.drops[0].item, blocks::Torch);
  EXPECT_EQ(loaded.drops[0].count, 3);
  EXPECT_FLOAT_EQ(loaded.drops[0].age, 4.0f);
  EXPECT_EQ(loaded.mobs[0].id, 1);
  EXPECT_EQ(loaded.mobs[1].id, 2);
  EXPECT_EQ(loaded.drops[0].entityId, 3);
  EXPECT_EQ(loaded.messages.back().text, "Loaded roundtrip (seed 1234)");
}

TEST_F(SessionWorld, LoadingSanitisesStoredValues) {
  LevelSave save;
  save.seed = 99;
  save.timeOfDay = 4.0f;
  save.weather = 7;
  save.hasPlayer = true;
  save.player.x = 0.5f, save.player.y = 70.0f, save.player.z = 0.5f;
  save.player.health = 55;
  save.player.gameMode = ModeSpectator;
  save.player.selectedSlot = 6;
  save.player.slots.assign(40, SavedSlot{});
  save.player.slots[0] = {static_cast<std::int16_t>(blocks::Dirt), 200, 0};
  save.player.slots[1] = {static_cast<std::int16_t>(0x7F00), 3, 0};  // no such block
  save.player.slots[2] = {static_cast<std::int16_t>(blocks::Sand), 0, 0};
  save.player.slots[39] = {static_cast<std::int16_t>(blocks::Dirt), 5, 0};  // beyond 36: ignored
  save.mobs.push_back({1, 60, 1, 1, 60, 1, 0.5f, 1.0f, MobZombie, 99});
  save.mobs.push_back({2, 60, 2, 2, 60, 2, 0.5f, 1.0f, MobPig, -4});
  save.drops.push_back({0, 60, 0, static_cast<std::int16_t>(blocks::Stone), 0, 0, -3.0f});
  save.drops.push_back({0, 60, 0, 0, 0, 4, 1.0f});
  ASSERT_TRUE(writeLevel("odd", save));

  ASSERT_TRUE(loadWorld(session, "odd"));
  EXPECT_FLOAT_EQ(session.timeOfDay, 1.0f);
  EXPECT_EQ(session.weather, WeatherClear);
  EXPECT_EQ(session.player.health, 20);
  EXPECT_EQ(gameMode(session), ModeCreative);
  EXPECT_EQ(session.inventory.selected, 6);
  EXPECT_EQ(session.inventory.slots[0].count, 64);
  EXPECT_TRUE(session.inventory.slots[1].empty());
  EXPECT_TRUE(session.inventory.slots[2].empty());
  EXPECT_EQ(session.inventory.countOf(blocks::Dirt), 64);
  ASSERT_EQ(session.mobs.size(), 2u);
  EXPECT_EQ(session.mobs[0].health, 6);
  EXPECT_EQ(session.mobs[1].health, 1);
  ASSERT_EQ(session.drops.size(), 1u);
  EXPECT_EQ(session.drops[0].count, 1);
  EXPECT_EQ(session.drops[0].age, 0.0f);
  EXPECT_FALSE(collidesAt(*session.world, {session.player.x, session.player.y, session.player.z}));
}

TEST_F(SessionWorld, LoadingAMissingWorldChangesNothing) {
  EXPECT_FALSE(loadWorld(session, "nowhere"));
  EXPECT_EQ(session.world, nullptr);
  EXPECT_TRUE(session.worldName.empty());
  EXPECT_TRUE(session.messages.empty());
  EXPECT_FALSE(saveWorld(session));  // no world: nothing written
  EXPECT_TRUE(std::filesystem::is_empty(saves.root()));
}

TEST_F(SessionWorld, LeavingReturnsToTheMainMenuWithTheListRefreshed) {
  RecordingRenderer renderer;
  session.renderer = &renderer;
  createWorld(session, 5, "first");
  ASSERT_TRUE(saveWorld(session));
  setAppState(session, AppPlaying);
  session.menuScreen = MenuMultiplayer;
  session.cursorStack = {blocks::Stone, 3, 0};
  session.deleteConfirmOpen = true;
  session.menuStatus = "x";
  const int clearsBefore = renderer.clears;
  leaveWorld(session);
  EXPECT_EQ(session.world, nullptr);
  EXPECT_EQ(session.appState, AppMenu);
  EXPECT_EQ(session.menuScreen, MenuMain);
  EXPECT_FALSE(session.cursorCaptured);
  EXPECT_TRUE(session.mobs.empty());
  EXPECT_TRUE(session.cursorStack.empty());
  EXPECT_FALSE(session.deleteConfirmOpen);
  EXPECT_TRUE(session.menuStatus.empty());
  EXPECT_EQ(session.networkRole, RoleOffline);
  EXPECT_GT(renderer.clears, clearsBefore);
  EXPECT_EQ(session.worldList, std::vector<std::string>{"first"});
  EXPECT_EQ(session.selectedWorld, 0);
}

TEST_F(SessionWorld, WorldListSelectionStaysWhileItPointsIntoTheList) {
  refreshWorldList(session);
  EXPECT_EQ(session.selectedWorld, -1);
  for (const char* name : {"b", "a", "c"}) ASSERT_TRUE(writeLevel(name, LevelSave{}));
  session.selectedWorld = -1;
  refreshWorldList(session);
  EXPECT_EQ(session.worldList, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(session.selectedWorld, 0);
  session.selectedWorld = 2;
  refreshWorldList(session);
  EXPECT_EQ(session.selectedWorld, 2);
  ASSERT_TRUE(deleteWorld("c"));
  refreshWorldList(session);
  EXPECT_EQ(session.selectedWorld, 0);
}

TEST_F(SessionWorld, NearestVillageAndItsNameDependOnTheSeed) {
  session.world = std::make_unique<World>(41);
  session.seed = 41;
  const auto far = nearestVillage(session, {5000.0f, 40.0f, 5000.0f});
  if (far) {
    EXPECT_LE(far->distance, 800.0f);
  }
  ASSERT_FALSE(session.world->villageSites.empty());
  const VillageSite spawnVillage = session.world->villageSites.front();
  const Vec3 near{static_cast<float>(spawnVillage.x) + 3.5f, 40.0f, static_cast<float>(spawnVillage.z) + 4.5f};
  const auto found = nearestVillage(session, near);
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->site.x, spawnVillage.x);
  EXPECT_EQ(found->site.z, spawnVillage.z);
  EXPECT_NEAR(found->distance, 5.0f, 1e-4f);  // 3-4-5 triangle to the centre

  const std::string english = villageDisplayName(session, spawnVillage);
  EXPECT_EQ(english, villageName(spawnVillage, 41, false));
  EXPECT_EQ(villageDisplayName(session, spawnVillage), english);
  setLanguage(LanguageChinese);
  EXPECT_EQ(villageDisplayName(session, spawnVillage), villageName(spawnVillage, 41, true));
  setLanguage(LanguageEnglish);
}

// Minimap colour worked out from the formula for a column of height h and surface class.
std::uint32_t expectedColour(int h, int surfaceClass) {
  auto pack = [](int r, int g, int b) {
    return static_cast<std::uint32_t>(r) | static_cast<std::uint32_t>(g) << 8 | static_cast<std::uint32_t>(b) << 16 |
           0xFF000000u;
  };
  if (h < 30) {
    const int d = std::min(30 - h, 12);
    return pack(42 + 2 * d, 82 + 2 * d, 145 + 3 * d);
  }
  double r = 92, g = 150, b = 70;
  if (h <= 32) r = 205, g = 190, b = 140;
  else if (surfaceClass == 1) r = 68, g = 118, b = 54;
  else if (surfaceClass == 2) r = 210, g = 192, b = 136;
  else if (surfaceClass == 3) r = 228, g = 236, b = 244;
  const double shade = std::min(h / 72.0, 1.0) * 0.34 + 0.76;
  return pack(static_cast<int>(r * shade), static_cast<int>(g * shade), static_cast<int>(b * shade));
}

TEST_F(SessionWorld, MinimapSamplesEverySecondColumnAroundThePlayer) {
  session.world = std::make_unique<World>(8);
  std::set<std::uint32_t> distinct;
  // The second and third positions reuse columns sampled before (and the other parity).
  for (const auto& [px, pz] : {std::pair{10.7f, -20.2f}, std::pair{11.2f, -19.9f}, std::pair{30.0f, -20.0f}}) {
    session.player.x = px;
    session.player.z = pz;
    updateMinimap(session);
    EXPECT_TRUE(session.minimap.filled);
    EXPECT_EQ(session.minimap.originX, static_cast<int>(std::floor(px)) - 64);
    EXPECT_EQ(session.minimap.originZ, static_cast<int>(std::floor(pz)) - 64);
    for (int i = 0; i < kMinimapSize; i += 7) {
      for (int j = 0; j < kMinimapSize; j += 5) {
        const int x = session.minimap.originX + 2 * j, z = session.minimap.originZ + 2 * i;
        const std::uint32_t colour = session.minimap.colours[static_cast<std::size_t>(i * kMinimapSize + j)];
        const std::uint32_t expected =
            expectedColour(surfaceHeight(*session.world, x, z), surfaceBiome(*session.world, x, z));
        // Truncation of a product may land one step apart between float and double.
        for (int shift : {0, 8, 16}) {
          EXPECT_NEAR((colour >> shift) & 0xFF, (expected >> shift) & 0xFF, 1) << x << "," << z;
        }
        EXPECT_EQ(colour >> 24, 0xFFu);
        distinct.insert(colour);
      }
    }
  }
  EXPECT_GT(distinct.size(), 1u);

  // A world of another seed replacing this one without leaving: nothing stale is shown.
  session.world = std::make_unique<World>(9);
  updateMinimap(session);
  for (int j = 0; j < kMinimapSize; j += 9) {
    const int x = session.minimap.originX + 2 * j, z = session.minimap.originZ + 2 * j;
    const std::uint32_t colour = session.minimap.colours[static_cast<std::size_t>(j * kMinimapSize + j)];
    const std::uint32_t expected =
        expectedColour(surfaceHeight(*session.world, x, z), surfaceBiome(*session.world, x, z));
    for (int shift : {0, 8, 16}) EXPECT_NEAR((colour >> shift) & 0xFF, (expected >> shift) & 0xFF, 1);
  }
}

}  // namespace
}  // namespace zorv
