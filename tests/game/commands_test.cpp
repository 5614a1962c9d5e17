#include "game/commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "game/game_mod_context.h"
#include "game/game_session.h"
#include "mods/loader.h"
#include "commands_fixture.h"
#include "landing_checks.h"
#include "world/registry.h"
#include "world/terrain.h"
#include "world/villages.h"
#include "game/sky.h"
#include "game/player_rules.h"
#include "game/host_rules.h"

namespace zorv::testing {
namespace {

using CommandTest = CommandSessionTest;

const std::vector<std::string> kHelpLines = {
    "Commands:",
    "/gamemode survival|creative|spectator  (or /gm 0|1|3)",
    "/spectator, /tp x y z, /spawn, /kill",
    "/time day|night|set <0-1>",
    "/seed, /save, /mobs <n>, /render <4-16>, /fov <55-100>",
    "/mods  (list loaded mods)",
    "/weather clear|rain|snow",
    "/fill x1 y1 z1 x2 y2 z2 <block>  (max 4096 blocks)",
    "/give <item> [count], /clear  (blocks, stick, wooden_pickaxe...)",
    "/village  (nearest village, /village tp)",
    "Right-click a villager: 8 planks for a bookshelf",
    "Right-click a crafting table for 3x3 recipes",
    "/debug, /version",
};

TEST_F(CommandTest, HelpListsEveryLineInOrderAndTheClientNote) {
  bareWorld();
  runCommand(session, "/HELP");  // the word is lower-cased
  std::vector<std::string> expected = {"/HELP"};
  expected.insert(expected.end(), kHelpLines.begin(), kHelpLines.end());
  EXPECT_EQ(messages(), expected);

  session.messages.clear();
  session.networkRole = RoleClient;
  runCommand(session, "/help");
  ASSERT_EQ(session.messages.size(), kHelpLines.size() + 2);
  EXPECT_EQ(lastMessage(), "Client: /time, /weather, /fill, /mobs and /save are host-only");
}

TEST_F(CommandTest, WithoutAWorldOnlyVersionWorks) {
  runCommand(session, "/seed");
  runCommand(session, "/version");
  runCommand(session, "/nosuchthing");
  EXPECT_EQ(messages(), (std::vector<std::string>{"/seed", "No world loaded", "/version", "Zorvander zk-110320",
                                                      "/nosuchthing", "No world loaded"}));
  session.messages.clear();
  runCommand(session, "/");
  runCommand(session, "/   ");
  EXPECT_EQ(messages(), (std::vector<std::string>{"/", "/   "}));  // an empty word says nothing more
  runCommand(session, "");
  EXPECT_EQ(session.messages.size(), 2u);
}

TEST_F(CommandTest, HistoryKeepsThirtyDistinctLinesAndResetsBrowsing) {
  bareWorld();
  session.historyIndex = 4;
  runCommand(session, "/seed");
  runCommand(session, "/seed");
  EXPECT_EQ(session.chatHistory, std::vector<std::string>{"/seed"});
  EXPECT_EQ(session.historyIndex, -1);
  for (int i = 0; i < 30; ++i) runCommand(session, "/fov " + std::to_string(60 + i));
  ASSERT_EQ(session.chatHistory.size(), 30u);
  EXPECT_EQ(session.chatHistory.front(), "/fov 60");  // "/seed" was the oldest of 31
  EXPECT_EQ(session.chatHistory.back(), "/fov 89");
}

TEST_F(CommandTest, GamemodeWordsAndUsage) {
  bareWorld();
  runCommand(session, "/gm s");
  EXPECT_EQ(gameMode(session), ModeSpectator);
  runCommand(session, "/gm 0");
  EXPECT_EQ(gameMode(session), ModeSurvival);
  runCommand(session, "/gamemode C");
  EXPECT_EQ(gameMode(session), ModeCreative);
  runCommand(session, "/gamemode survival");
  runCommand(session, "/gm 1");
  EXPECT_EQ(gameMode(session), ModeCreative);
  runCommand(session, "/gm 3");
  EXPECT_EQ(gameMode(session), ModeSpectator);
  runCommand(session, "/gamemode creative");
  session.messages.clear();
  runCommand(session, "/gm 2");
  EXPECT_EQ(lastMessage(), "Usage: /gamemode survival|creative|spectator");
  runCommand(session, "/gamemode");
  EXPECT_EQ(lastMessage(), "Usage: /gamemode survival|creative|spectator");
  EXPECT_EQ(gameMode(session), ModeCreative);
}

TEST_F(CommandTest, SpectatorTogglesBackToThePreviousMode) {
  bareWorld();
  runCommand(session, "/gm survival");
  runCommand(session, "/spectator");
  EXPECT_EQ(gameMode(session), ModeSpectator);
  runCommand(session, "/spectator");
  EXPECT_EQ(gameMode(session), ModeSurvival);
}

TEST_F(CommandTest, TimeWordsClampAndUsage) {
  bareWorld();
  runCommand(session, "/time day");
  EXPECT_FLOAT_EQ(session.timeOfDay, 0.25f);
  EXPECT_EQ(lastMessage(), "Time set to day");
  runCommand(session, "/time night");
  EXPECT_FLOAT_EQ(session.timeOfDay, 0.75f);
  EXPECT_EQ(lastMessage(), "Time set to night");
  runCommand(session, "/time set 2");
  EXPECT_FLOAT_EQ(session.timeOfDay, 1.0f);
  EXPECT_EQ(lastMessage(), "Time set");
  runCommand(session, "/time set -3");
  EXPECT_FLOAT_EQ(session.timeOfDay, 0.0f);
  EXPECT_EQ(inGameClock(session.timeOfDay), "06:00");
  runCommand(session, "/time set 0.5");
  EXPECT_FLOAT_EQ(session.timeOfDay, 0.5f);
  runCommand(session, "/time set abc");
  EXPECT_EQ(lastMessage(), "Usage: /time set <0-1>");
  runCommand(session, "/time DAY");  // only the command word is lower-cased
  EXPECT_EQ(lastMessage(), "Usage: /time day|night|set <0-1>");
  runCommand(session, "/time noon");
  EXPECT_EQ(lastMessage(), "Usage: /time day|night|set <0-1>");
  runCommand(session, "/time");
  EXPECT_EQ(lastMessage(), "Usage: /time day|night|set <0-1>");
  EXPECT_FLOAT_EQ(session.timeOfDay, 0.5f);
}

TEST_F(CommandTest, RenderFovDebugSeedAndWeather) {
  bareWorld();
  runCommand(session, "/render 20");
  EXPECT_EQ(session.preferences.renderDistance, 16);
  EXPECT_EQ(session.streamer.renderDistance(), 16);
  EXPECT_EQ(lastMessage(), "Render distance 16");
  runCommand(session, "/render 2");
  EXPECT_EQ(session.preferences.renderDistance, 4);
  runCommand(session, "/render");
  EXPECT_EQ(lastMessage(), "Usage: /render <4-16>");
  EXPECT_EQ(session.preferences.renderDistance, 4);

  runCommand(session, "/fov 120.7");
  EXPECT_FLOAT_EQ(session.preferences.fieldOfView, 100.0f);
  EXPECT_EQ(lastMessage(), "FOV 100");
  runCommand(session, "/fov 60.9");
  EXPECT_EQ(lastMessage(), "FOV 60");  // truncated for the message
  EXPECT_FLOAT_EQ(session.preferences.fieldOfView, 60.9f);
  runCommand(session, "/fov wide");
  EXPECT_EQ(lastMessage(), "Usage: /fov <55-100>");

  runCommand(session, "/debug");
  EXPECT_TRUE(session.debugOverlay);
  EXPECT_EQ(lastMessage(), "Debug overlay on");
  runCommand(session, "/debug");
  EXPECT_EQ(lastMessage(), "Debug overlay off");

  runCommand(session, "/seed");
  EXPECT_EQ(lastMessage(), "Seed 20261018");

  session.weatherTimer = 3.0f;
  runCommand(session, "/weather storm");
  EXPECT_EQ(lastMessage(), "Usage: /weather clear|rain|snow");
  EXPECT_FLOAT_EQ(session.weatherTimer, 90.0f);  // postponed even on a usage error
  EXPECT_EQ(session.weather, WeatherClear);
  runCommand(session, "/weather snow");
  EXPECT_EQ(session.weather, WeatherSnow);
  EXPECT_EQ(lastMessage(), "Weather: snow");
  runCommand(session, "/weather rain");
  EXPECT_EQ(lastMessage(), "Weather: rain");
  runCommand(session, "/weather clear");
  EXPECT_EQ(session.weather, WeatherClear);
  EXPECT_EQ(lastMessage(), "Weather: clear");
}

TEST_F(CommandTest, ClientIsRefusedHostOnlyCommandsButRunsLocalOnes) {
  bareWorld();
  session.networkRole = RoleClient;
  for (const char* line : {"/time day", "/weather rain", "/fill 0 0 0 1 1 1 stone", "/mobs", "/SAVE"}) {
    runCommand(session, line);
    EXPECT_EQ(lastMessage(), "Only the host can change the world") << line;
  }
  EXPECT_FLOAT_EQ(session.timeOfDay, 0.22f);
  EXPECT_EQ(session.weather, WeatherClear);
  runCommand(session, "/seed");
  EXPECT_EQ(lastMessage(), "Seed 20261018");
  runCommand(session, "/tp 3.5 40 -7.25");
  EXPECT_EQ(lastMessage(), "Teleported");
}

TEST_F(CommandTest, TeleportNeedsThreeNumbersInsideTheWorld) {
  bareWorld();
  session.player.vx = 4.0f;
  session.player.vz = -2.0f;
  session.player.vy = -1.0f;
  runCommand(session, "/tp 3.5 40 -7.25");
  EXPECT_EQ(lastMessage(), "Teleported");
  EXPECT_FLOAT_EQ(session.player.x, 3.5f);
  EXPECT_FLOAT_EQ(session.player.y, 40.0f);
  EXPECT_FLOAT_EQ(session.player.z, -7.25f);
  EXPECT_EQ(session.player.vx, 0.0f);
  EXPECT_EQ(session.player.vz, 0.0f);
  // Nothing is loaded by the command itself: the player is held for the next steps.
  EXPECT_TRUE(session.world->chunks.empty());
  EXPECT_TRUE(session.heldForTerrain);

  for (const char* line : {"/tp a b c", "/tp 1 2", "/tp", "/tp 1 x 2", "/tp 5000000 40 0", "/tp 0 40 -1e30"}) {
    runCommand(session, line);
    EXPECT_EQ(lastMessage(), "Usage: /tp x y z") << line;
    EXPECT_FLOAT_EQ(session.player.x, 3.5f) << line;
    EXPECT_FLOAT_EQ(session.player.z, -7.25f) << line;
  }
}

TEST_F(CommandTest, SpawnAndKillReturnToTheSpawnPoint) {
  bareWorld();
  session.spawnPoint = {10.5f, 45.0f, -3.5f};
  session.player.health = 7;
  session.player.vx = 3.0f;
  runCommand(session, "/tp 100 60 100");
  runCommand(session, "/spawn");
  EXPECT_EQ(lastMessage(), "Returned to spawn");
  EXPECT_FLOAT_EQ(session.player.x, 10.5f);
  EXPECT_FLOAT_EQ(session.player.y, 45.0f);
  EXPECT_FLOAT_EQ(session.player.z, -3.5f);
  runCommand(session, "/tp 100 60 100");
  session.player.vz = 2.0f;
  runCommand(session, "/kill");
  EXPECT_EQ(lastMessage(), "Respawned");
  EXPECT_FLOAT_EQ(session.player.x, 10.5f);
  EXPECT_EQ(session.player.vz, 0.0f);
  EXPECT_EQ(session.player.health, 7);  // health does not change
}

TEST_F(CommandTest, GiveLooksUpBlocksThenItemsAndCapsTheCount) {
  bareWorld();
  const BlockId stone = blockRegistry().find("stone");
  runCommand(session, "/give stone 5000");
  EXPECT_EQ(lastMessage(), "Gave 2304 stone");
  EXPECT_EQ(session.inventory.countOf(stone), 2304);

  runCommand(session, "/clear");
  EXPECT_EQ(lastMessage(), "Inventory cleared");
  EXPECT_TRUE(session.inventory.isEmpty());

  runCommand(session, "/give wooden_pickaxe");
  EXPECT_EQ(lastMessage(), "Gave 1 wooden_pickaxe");
  const ItemStack& pickaxe = session.inventory.slots[0];
  EXPECT_EQ(pickaxe.id, itemRegistry().findItem("wooden_pickaxe"));
  EXPECT_EQ(pickaxe.count, 1);
  EXPECT_EQ(pickaxe.durability, 59);  // a wooden tool's full durability

  runCommand(session, "/give stick 0");
  EXPECT_EQ(lastMessage(), "Gave 1 stick");
  runCommand(session, "/give stick lots");  // malformed reads as 0, clamped to 1
  EXPECT_EQ(lastMessage(), "Gave 1 stick");
  runCommand(session, "/give zorvander:torch 3");
  EXPECT_EQ(lastMessage(), "Gave 3 torch");

  for (const char* line : {"/give", "/give air", "/give unobtainium 2"}) {
    runCommand(session, line);
    EXPECT_EQ(lastMessage(), "Usage: /give <item> [count]") << line;
  }

  session.inventory.clear();
  ASSERT_TRUE(session.inventory.add(blockRegistry().find("dirt"), 36 * 64, 0));
  runCommand(session, "/give stone");
  EXPECT_EQ(lastMessage(), "Inventory full");
}

TEST_F(CommandTest, ClearAlsoEmptiesTheCursorStack) {
  bareWorld();
  session.cursorStack = {3, 10, 0};
  session.inventory.add(3, 5, 0);
  runCommand(session, "/clear");
  EXPECT_TRUE(session.cursorStack.empty());
  EXPECT_TRUE(session.inventory.isEmpty());
}

TEST_F(CommandTest, UnknownWordsAreOfferedToModsAndReportedWhenUnclaimed) {
  bareWorld();
  runCommand(session, "/Dance now");
  EXPECT_EQ(lastMessage(), "Unknown command: dance (try /help)");
  runCommand(session, "/mods");
  EXPECT_EQ(lastMessage(), "No mods loaded");
}

TEST_F(CommandTest, ModCommandsGetTheTrimmedArgumentButNeverShadowBuiltins) {
  const std::filesystem::path mods = folder() / "mods";
  std::filesystem::create_directories(mods);
  ASSERT_TRUE(writeArchive(mods / "gems.mod.zorvk",
                           {{"main.lua", "zorv.register_command('gem', function(arg, player)\n"
                                         "  return 'gem[' .. arg .. '] for ' .. player end)\n"
                                         "zorv.register_command('quiet', function(arg, player) return '' end)\n"
                                         "zorv.register_command('seed', function(arg, player) return 'mod seed' end)\n"}}));
  loadMods(session.mods, mods, session.modContext.get());
  ASSERT_EQ(session.mods.mods.size(), 1u);
  bareWorld();
  session.networkPlayerName = "Alex";

  runCommand(session, "/gem   x y");
  EXPECT_EQ(lastMessage(), "gem[x y] for Alex");
  runCommand(session, "/GEM");
  EXPECT_EQ(lastMessage(), "gem[] for Alex");
  runCommand(session, "/quiet something");
  EXPECT_EQ(lastMessage(), "/quiet something");  // an empty reply adds nothing
  runCommand(session, "/seed");
  EXPECT_EQ(lastMessage(), "Seed 20261018");

  session.messages.clear();
  runCommand(session, "/mods");
  EXPECT_EQ(messages(), (std::vector<std::string>{"/mods", "1 mods", "  gems"}));
}

TEST_F(CommandTest, FillSetsTheBoxInsideTheCapAndRemeshesAroundIt) {
  playWorld();
  RecordingRenderer renderer;
  session.renderer = &renderer;
  const BlockId bricks = blockRegistry().find("bricks");
  const int x0 = static_cast<int>(std::floor(session.player.x)) - 8;
  const int z0 = static_cast<int>(std::floor(session.player.z)) - 8;
  const std::string box = std::to_string(x0 + 15) + " 15 " + std::to_string(z0 + 15) + " " + std::to_string(x0) +
                          " 0 " + std::to_string(z0);
  runCommand(session, "/fill " + box + " bricks");
  EXPECT_EQ(lastMessage(), "Filled 4096 blocks");
  int set = 0;
  for (int y = 0; y <= 15; ++y) {
    for (int z = z0; z <= z0 + 15; ++z) {
      for (int x = x0; x <= x0 + 15; ++x) set += getBlock(*session.world, x, y, z) == bricks ? 1 : 0;
    }
  }
  EXPECT_EQ(set, 4096);
  EXPECT_NE(getBlock(*session.world, x0 - 1, 5, z0), bricks);
  EXPECT_NE(getBlock(*session.world, x0, 16, z0), bricks);
  // The box touches 1 or 2 chunks per axis; with one more on each side that is at least 27.
  EXPECT_GE(renderer.uploads.size(), 27u);
  EXPECT_TRUE(session.world->remeshSet.empty());

  const std::size_t edits = session.world->edits.size();
  runCommand(session, "/fill " + std::to_string(x0) + " 0 " + std::to_string(z0) + " " + std::to_string(x0 + 16) +
                          " 15 " + std::to_string(z0 + 15) + " air");
  EXPECT_EQ(lastMessage(), "Too many blocks (max 4096)");
  EXPECT_EQ(session.world->edits.size(), edits);
  runCommand(session, "/fill -2000000000 0 0 2000000000 0 0 stone");
  EXPECT_EQ(lastMessage(), "Too many blocks (max 4096)");

  runCommand(session, "/fill " + std::to_string(x0) + " 0 " + std::to_string(z0) + " " + std::to_string(x0 + 15) +
                          " 15 " + std::to_string(z0 + 15) + " air");
  EXPECT_EQ(lastMessage(), "Filled 4096 blocks");  // air clears the box
  EXPECT_EQ(getBlock(*session.world, x0 + 3, 7, z0 + 9), kAir);
  session.renderer = nullptr;
}

TEST_F(CommandTest, FillClampsHeightAndReportsBadArguments) {
  playWorld();
  const BlockId planks = blockRegistry().find("planks");
  const int x = static_cast<int>(std::floor(session.player.x)) + 3;
  const int z = static_cast<int>(std::floor(session.player.z)) + 3;
  const std::string column = std::to_string(x) + " -100 " + std::to_string(z) + " " + std::to_string(x) + " 100 " +
                             std::to_string(z);
  runCommand(session, "/fill " + column + " planks");
  EXPECT_EQ(lastMessage(), "Filled 112 blocks");  // y -48 to 63
  EXPECT_EQ(getBlock(*session.world, x, -48, z), planks);
  EXPECT_EQ(getBlock(*session.world, x, 63, z), planks);

  runCommand(session, "/fill " + column + " mithril");
  EXPECT_EQ(lastMessage(), "Unknown block: mithril");
  for (const char* line : {"/fill 1 2 3 4 5 6", "/fill 1 2 3 4 5 x stone", "/fill"}) {
    runCommand(session, line);
    EXPECT_EQ(lastMessage(), "Usage: /fill x1 y1 z1 x2 y2 z2 <block>") << line;
  }
}

TEST_F(CommandTest, MobsDefaultsToFiveAndClampsToOneAndTwenty) {
  playWorld();
  const auto spawnedBy = [&](const std::string& line) {
    const std::size_t before = session.mobs.size();
    runCommand(session, line);
    return session.mobs.size() - before;
  };
  EXPECT_EQ(spawnedBy("/mobs"), 5u);
  EXPECT_EQ(lastMessage(), "Spawned 5 mobs");
  EXPECT_EQ(spawnedBy("/mobs 50"), 20u);
  EXPECT_EQ(lastMessage(), "Spawned 20 mobs");
  EXPECT_EQ(spawnedBy("/mobs 0"), 1u);
  EXPECT_EQ(spawnedBy("/mobs x"), 1u);
  EXPECT_EQ(lastMessage(), "Spawned 1 mobs");
  std::vector<std::int32_t> ids;
  for (const Mob& mob : session.mobs) ids.push_back(mob.id);
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
  EXPECT_GT(ids.front(), 0);
}

TEST_F(CommandTest, VillageReportsAndTeleportsToTheNearestOne) {
  playWorld();
  const VillageSite site = findSpawnVillage(static_cast<std::int32_t>(kTestSeed));
  runCommand(session, "/tp " + std::to_string(site.x + 30) + ".5 60 " + std::to_string(site.z) + ".5");
  runCommand(session, "/village");
  const std::string name = villageName(site, static_cast<std::int32_t>(kTestSeed), false);
  EXPECT_EQ(lastMessage(), name + "  " + std::to_string(site.x) + " / " + std::to_string(site.z) + "  (30 blocks away)");

  runCommand(session, "/village tp");
  EXPECT_EQ(lastMessage(), "Teleported to " + name);
  EXPECT_FLOAT_EQ(session.player.x, static_cast<float>(site.x) + 0.5f);
  EXPECT_FLOAT_EQ(session.player.z, static_cast<float>(site.z) + 0.5f);
  EXPECT_FLOAT_EQ(session.player.y, static_cast<float>(surfaceHeight(*session.world, site.x, site.z)) + 2.63f);
}

TEST_F(CommandTest, SaveWritesTheWorldAndSaysSo) {
  playWorld("saved");
  runCommand(session, "/save");
  EXPECT_EQ(lastMessage(), "Saved saved");
  EXPECT_TRUE(worldExists("saved"));
  EXPECT_EQ(session.worldList, std::vector<std::string>{"saved"});
}

}  // namespace
}  // namespace zorv::testing

namespace zorv {
namespace {

using testing::kTestSeed;

using testing::loadedColumnCount;

// A player standing at the spawn of a generated world, with no view: the rules load what
// a teleport needs within their own per-step budget.
class FarTeleport : public ::testing::Test {
 protected:
  void SetUp() override {
    setLanguage(LanguageEnglish);
    session.clock = [] { return 0.0; };
    session.world = std::make_unique<World>(static_cast<std::int32_t>(kTestSeed));
    session.seed = kTestSeed;
    session.appState = AppPlaying;
    session.spawnTimer = 1e6f;
    ensureColumnsAround(*session.world, 0, 0, 1);
  }

  // Steps until the hold ends, checking on the way that the player stays exactly where
  // they were put and that no step loads more than its budget. The number of held steps.
  int stepWhileHeld() {
    const PlayerBody start = session.player;
    int steps = 0;
    while (session.heldForTerrain && steps < 100) {
      const std::size_t before = loadedColumnCount(*session.world);
      stepWorld(session, 0.05f, keys);
      EXPECT_LE(loadedColumnCount(*session.world) - before, static_cast<std::size_t>(kColumnLoadsPerStep));
      if (session.heldForTerrain) {
        EXPECT_EQ(session.player.x, start.x);
        EXPECT_EQ(session.player.y, start.y);
        EXPECT_EQ(session.player.z, start.z);
        EXPECT_EQ(session.player.vy, 0.0f);
      }
      ++steps;
    }
    return steps;
  }

  GameSession session;
  MovementKeys keys;
};

TEST_F(FarTeleport, LoadsNothingAtOnceHoldsThePlayerAndLandsThemOnTheGround) {
  const std::size_t before = loadedColumnCount(*session.world);
  keys.forward = true;  // held keys move nobody while the ground is missing
  runCommand(session, "/tp 50000.5 60 -50000.5");
  EXPECT_EQ(loadedColumnCount(*session.world), before);
  EXPECT_FALSE(isColumnLoaded(*session.world, chunkCoord(50000), chunkCoord(-50001)));
  EXPECT_EQ(session.player.x, 50000.5f);

  const int held = stepWhileHeld();
  EXPECT_FALSE(session.heldForTerrain);
  // Nine columns at four a step: the hold spans several steps, not one.
  EXPECT_GE(held, 3);
  for (int dz = -1; dz <= 1; ++dz) {
    for (int dx = -1; dx <= 1; ++dx) EXPECT_TRUE(isColumnLoaded(*session.world, chunkCoord(50000) + dx, chunkCoord(-50001) + dz));
  }

  keys.forward = false;
  EXPECT_TRUE(testing::landsOnTheSurface(session, keys));
}

TEST_F(FarTeleport, IntoRockRaisesThePlayerOnceTheColumnsExistAndModsTeleportTheSameWay) {
  const int ground = surfaceHeight(*session.world, 30000, 30000);
  GameModContext context(session);
  context.teleport(30000.5f, static_cast<float>(ground - 6), 30000.5f);
  EXPECT_FALSE(isColumnLoaded(*session.world, chunkCoord(30000), chunkCoord(30000)));
  EXPECT_TRUE(session.heldForTerrain);
  stepWhileHeld();
  EXPECT_FALSE(session.heldForTerrain);
  EXPECT_FALSE(collidesAt(*session.world, {session.player.x, session.player.y, session.player.z}));
  EXPECT_GT(session.player.y, static_cast<float>(ground - 6));

  // At the world's edge there are no columns beyond it to wait for.
  runCommand(session, "/tp 1048575.5 60 0.5");
  stepWhileHeld();
  EXPECT_FALSE(session.heldForTerrain);
}

TEST_F(FarTeleport, TheVillageTeleportIsHeldToo) {
  runCommand(session, "/village tp");
  ASSERT_TRUE(session.heldForTerrain) << session.messages.back().text;
  stepWhileHeld();
  EXPECT_FALSE(session.heldForTerrain);
}

}  // namespace
}  // namespace zorv
