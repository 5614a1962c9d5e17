// The session's rules that need no generated terrain: defaults, the message log, game
// modes, damage, tools, entity numbering, application states, the inventory overlay,
// the sky and the clock.

#include <gtest/gtest.h>

#include <cmath>

#include "client/client_session.h"
#include "game/game_mod_context.h"
#include "session_test_support.h"
#include "lang/localisation.h"
#include "world/registry.h"
#include "game/world_life_cycle.h"
#include "game/sky.h"

namespace zorv {
namespace {

using testing::hasMessage;
using testing::messageTexts;

ItemId item(const char* name) { return itemRegistry().findItem(name); }

TEST(SessionRules, ConstructedSessionHasTheDocumentedDefaults) {
  ClientSession session;
  EXPECT_FLOAT_EQ(session.player.x, 96.5f);
  EXPECT_FLOAT_EQ(session.player.y, 50.0f);
  EXPECT_FLOAT_EQ(session.player.z, 96.5f);
  EXPECT_FLOAT_EQ(session.player.yaw, -90.0f);
  EXPECT_FLOAT_EQ(session.player.pitch, -12.0f);
  EXPECT_EQ(session.player.vx, 0.0f);
  EXPECT_FALSE(session.player.flying);
  EXPECT_EQ(gameMode(session), ModeCreative);
  EXPECT_EQ(session.player.health, 20);
  EXPECT_FLOAT_EQ(session.player.lookSensitivity, session.preferences.mouseSensitivity);
  EXPECT_EQ(session.world, nullptr);
  EXPECT_FLOAT_EQ(session.timeOfDay, 0.22f);
  EXPECT_EQ(session.weather, WeatherClear);
  EXPECT_FLOAT_EQ(session.weatherTimer, 75.0f);
  EXPECT_FLOAT_EQ(session.fovCurrent, 70.0f);
  EXPECT_TRUE(session.minimapOn);
  EXPECT_EQ(session.selectedWorld, -1);
  EXPECT_EQ(session.currentVillage, -1);
  EXPECT_EQ(session.miningX, kNoMiningCell);
  EXPECT_EQ(session.miningY, kNoMiningCell);
  EXPECT_EQ(session.miningZ, kNoMiningCell);
  EXPECT_EQ(session.historyIndex, -1);
  EXPECT_EQ(session.nextEntityId, 1);
  EXPECT_EQ(session.regenTimer, 0.0f);
  EXPECT_EQ(session.autosaveTimer, 0.0);
  EXPECT_EQ(session.appState, AppMenu);
  ASSERT_NE(session.modContext, nullptr);
  ASSERT_TRUE(session.clock);
  const double first = session.clock();
  EXPECT_GE(session.clock(), first);  // monotonic seconds by default
}

TEST(SessionRules, MessageLogKeepsFortyCutLinesWithTheirTimeAndEchoesThem) {
  ClientSession session;
  session.clock = [] { return 12.5; };
  ::testing::internal::CaptureStdout();
  for (int i = 1; i <= 41; ++i) addMessage(session, "line " + std::to_string(i));
  const std::string printed = ::testing::internal::GetCapturedStdout();
  ASSERT_EQ(session.messages.size(), 40u);
  EXPECT_EQ(session.messages.front().text, "line 2");
  EXPECT_EQ(session.messages.back().text, "line 41");
  EXPECT_DOUBLE_EQ(session.messages.back().time, 12.5);
  EXPECT_EQ(printed.substr(0, 14), "[log] line 1\n[");
  EXPECT_NE(printed.find("[log] line 41\n"), std::string::npos);

  ::testing::internal::CaptureStdout();
  addMessage(session, std::string(600, 'x'));
  // 510 ASCII bytes and a three-byte character: the character does not fit whole.
  addMessage(session, std::string(510, 'y') + "\xE4\xB8\xAD");
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(session.messages[38].text, std::string(511, 'x'));
  EXPECT_EQ(session.messages[39].text, std::string(510, 'y'));
}

TEST(SessionRules, SettingTheCurrentModeOnlyReportsIt) {
  ClientSession session;
  session.player.vx = 3.0f;
  session.player.fallDistance = 2.0f;
  ::testing::internal::CaptureStdout();
  setGameMode(session, ModeCreative);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(messageTexts(session), std::vector<std::string>{"Already in Creative mode"});
  EXPECT_EQ(session.player.vx, 3.0f);
  EXPECT_EQ(session.player.fallDistance, 2.0f);
}

TEST(SessionRules, SpectatorAndBackRestoresPositionAndOnlyCreativeFlight) {
  ClientSession session;
  ::testing::internal::CaptureStdout();
  session.player.flying = true;
  session.player.x = 10.0f, session.player.y = 40.0f, session.player.z = -3.0f;
  session.player.vx = 2.0f, session.player.vz = -1.0f, session.player.vy = 4.0f;
  setGameMode(session, ModeSpectator);
  EXPECT_EQ(gameMode(session), ModeSpectator);
  EXPECT_FALSE(session.player.flying);
  EXPECT_EQ(session.player.vx, 0.0f);
  EXPECT_EQ(session.player.vz, 0.0f);
  EXPECT_EQ(session.player.vy, 4.0f);
  session.player.x = 500.0f, session.player.y = 90.0f, session.player.z = 500.0f;
  setGameMode(session, ModeCreative);
  EXPECT_FLOAT_EQ(session.player.x, 10.0f);
  EXPECT_FLOAT_EQ(session.player.y, 40.0f);
  EXPECT_FLOAT_EQ(session.player.z, -3.0f);
  EXPECT_TRUE(session.player.flying);

  setGameMode(session, ModeSurvival);
  EXPECT_FALSE(session.player.flying);
  setGameMode(session, ModeSpectator);
  setGameMode(session, ModeSurvival);
  EXPECT_FALSE(session.player.flying);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(messageTexts(session),
            (std::vector<std::string>{"Game mode: Spectator", "Game mode: Creative", "Game mode: Survival",
                                      "Game mode: Spectator", "Game mode: Survival"}));
}

TEST(SessionRules, EnteringSurvivalRevivesAPlayerWithoutHealth) {
  ClientSession session;
  ::testing::internal::CaptureStdout();
  session.player.health = 0;
  setGameMode(session, ModeSpectator);
  EXPECT_EQ(session.player.health, 0);
  setGameMode(session, ModeSurvival);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(session.player.health, 1);
}

TEST(SessionRules, OnlySurvivalPlayersWithHealthTakeDamage) {
  ClientSession session;
  session.regenTimer = 5.0f;
  hurtPlayer(session, 3);
  EXPECT_EQ(session.player.health, 20);
  EXPECT_EQ(session.player.hurtTimer, 0.0f);

  session.player.mode = ModeSurvival;
  hurtPlayer(session, 0);
  EXPECT_EQ(session.player.health, 20);
  hurtPlayer(session, 3);
  EXPECT_EQ(session.player.health, 17);
  EXPECT_FLOAT_EQ(session.player.hurtTimer, 0.5f);
  EXPECT_EQ(session.regenTimer, 0.0f);
  hurtPlayer(session, 40);
  EXPECT_EQ(session.player.health, 0);
  session.player.hurtTimer = 0.0f;
  hurtPlayer(session, 2);
  EXPECT_EQ(session.player.health, 0);
  EXPECT_EQ(session.player.hurtTimer, 0.0f);
}

TEST(SessionRules, WoodenToolBreaksOnItsFiftyNinthUse) {
  ClientSession session;
  session.inventory.slots[2] = {item("wooden_pickaxe"), 1, 0};  // fresh: 0 counts as full
  session.inventory.select(2);
  ::testing::internal::CaptureStdout();
  for (int use = 1; use <= 58; ++use) wearHeldTool(session);
  EXPECT_EQ(session.inventory.slots[2].id, item("wooden_pickaxe"));
  EXPECT_EQ(session.inventory.slots[2].durability, 1);
  EXPECT_TRUE(session.messages.empty());
  wearHeldTool(session);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(session.inventory.slots[2].id, 0);
  EXPECT_EQ(session.inventory.slots[2].count, 0);
  EXPECT_EQ(session.inventory.slots[2].durability, 0);
  EXPECT_EQ(messageTexts(session), std::vector<std::string>{"Your tool broke"});

  // Blocks, materials and empty slots do not wear.
  session.inventory.slots[2] = {blocks::Stone, 5, 0};
  wearHeldTool(session);
  EXPECT_EQ(session.inventory.slots[2].count, 5);
  EXPECT_EQ(session.inventory.slots[2].durability, 0);
  session.inventory.slots[2] = {item("stick"), 3, 0};
  wearHeldTool(session);
  EXPECT_EQ(session.inventory.slots[2].durability, 0);
  session.inventory.slots[2] = {};
  wearHeldTool(session);
  EXPECT_EQ(session.messages.size(), 1u);
}

TEST(SessionRules, HeldItemAndAttackDamageFollowTheSelectedSlot) {
  ClientSession session;
  EXPECT_EQ(heldItem(session), 0);
  EXPECT_EQ(heldAttackDamage(session), 1);
  session.inventory.slots[0] = {blocks::Stone, 4, 0};
  EXPECT_EQ(heldItem(session), blocks::Stone);
  EXPECT_EQ(heldAttackDamage(session), 1);
  session.inventory.slots[0] = {item("wooden_sword"), 1, 30};
  EXPECT_EQ(heldItem(session), item("wooden_sword"));
  EXPECT_EQ(heldAttackDamage(session), 4);
  session.inventory.slots[0] = {item("stone_pickaxe"), 0, 30};  // zero count reads as empty
  EXPECT_EQ(heldItem(session), 0);
  EXPECT_EQ(heldAttackDamage(session), 1);
}

TEST(SessionRules, EntityIdsNumberMobsThenDropsInListOrder) {
  ClientSession session;
  session.nextEntityId = 7;
  session.mobs.resize(3);
  session.mobs[1].id = 5;
  session.drops.resize(2);
  session.drops[0].entityId = 3;
  assignEntityIds(session);
  EXPECT_EQ(session.mobs[0].id, 7);
  EXPECT_EQ(session.mobs[1].id, 5);
  EXPECT_EQ(session.mobs[2].id, 8);
  EXPECT_EQ(session.drops[0].entityId, 3);
  EXPECT_EQ(session.drops[1].entityId, 9);
  EXPECT_EQ(session.nextEntityId, 10);
}

TEST(SessionRules, AppStateChangesCaptureTheCursorOnlyWhilePlaying) {
  ClientSession session;
  session.particles.resize(4);
  session.mouseTracking = true;
  setAppState(session, AppMenu);  // unchanged: nothing happens
  EXPECT_EQ(session.particles.size(), 4u);
  EXPECT_TRUE(session.mouseTracking);

  setAppState(session, AppPlaying);
  EXPECT_EQ(session.appState, AppPlaying);
  EXPECT_TRUE(session.cursorCaptured);
  EXPECT_FALSE(session.mouseTracking);
  EXPECT_TRUE(session.particles.empty());

  session.particles.resize(2);
  setAppState(session, AppPaused);
  EXPECT_FALSE(session.cursorCaptured);
  EXPECT_TRUE(session.particles.empty());
}

TEST(SessionRules, ClosingTheInventoryReturnsCursorAndGridStacks) {
  ClientSession session;
  setAppState(session, AppPlaying);
  session.inventory.slots[0] = {blocks::Planks, 60, 0};
  openInventory(session, 3);
  EXPECT_TRUE(session.inventoryOpen);
  EXPECT_EQ(session.inventoryTab, 3);
  EXPECT_FALSE(session.cursorCaptured);
  session.cursorStack = {blocks::Stone, 5, 0};
  session.craftingGrid[0] = {blocks::Planks, 6, 0};
  session.craftingGrid[4] = {item("stick"), 2, 0};
  session.craftingGrid[8] = {item("wooden_axe"), 1, 40};
  closeInventory(session);
  EXPECT_FALSE(session.inventoryOpen);
  EXPECT_EQ(session.inventoryTab, 0);
  EXPECT_TRUE(session.cursorCaptured);
  EXPECT_TRUE(session.cursorStack.empty());
  for (const ItemStack& cell : session.craftingGrid) EXPECT_TRUE(cell.empty());
  EXPECT_EQ(session.inventory.countOf(blocks::Stone), 5);
  EXPECT_EQ(session.inventory.countOf(blocks::Planks), 66);
  EXPECT_EQ(session.inventory.slots[0].count, 64);  // topped up first, the rest in a new slot
  EXPECT_EQ(session.inventory.countOf(item("stick")), 2);
  EXPECT_EQ(session.inventory.countOf(item("wooden_axe")), 1);
}

TEST(SessionRules, LeavingPlayWithTheInventoryOpenKeepsItsStacks) {
  ClientSession session;
  setAppState(session, AppPlaying);
  openInventory(session, 2);
  session.cursorStack = {blocks::Sand, 4, 0};
  session.craftingGrid[3] = {blocks::Wood, 1, 0};
  setAppState(session, AppPaused);
  EXPECT_FALSE(session.inventoryOpen);
  EXPECT_TRUE(session.cursorStack.empty());
  EXPECT_TRUE(session.craftingGrid[3].empty());
  EXPECT_EQ(session.inventory.countOf(blocks::Sand), 4);
  EXPECT_EQ(session.inventory.countOf(blocks::Wood), 1);
}

TEST(SessionRules, StacksThatDoNotFitLandAtThePlayersFeet) {
  ClientSession session;
  session.world = std::make_unique<World>(5);
  for (ItemStack& slot : session.inventory.slots) slot = {blocks::Dirt, 64, 0};
  session.inventory.slots[7] = {blocks::Stone, 62, 0};
  openInventory(session, 2);
  session.cursorStack = {blocks::Stone, 5, 0};
  session.craftingGrid[1] = {item("wooden_sword"), 1, 12};
  closeInventory(session);
  EXPECT_EQ(session.inventory.slots[7].count, 64);
  ASSERT_EQ(session.drops.size(), 2u);
  EXPECT_EQ(session.drops[0].item, blocks::Stone);
  EXPECT_EQ(session.drops[0].count, 3);
  EXPECT_EQ(session.drops[1].item, item("wooden_sword"));
  EXPECT_EQ(session.drops[1].durability, 12);
  EXPECT_NE(session.drops[0].entityId, 0);
  EXPECT_FLOAT_EQ(session.drops[0].x, session.player.x);
}

TEST(SessionRules, SkyFollowsTheTimeOfDay) {
  EXPECT_NEAR(daylightFactor(0.25f), 1.0f, 1e-5f);    // noon
  EXPECT_NEAR(daylightFactor(0.75f), 0.18f, 1e-5f);   // midnight
  EXPECT_NEAR(daylightFactor(0.0f), 0.59f, 1e-5f);    // 06:00: 0.5 × 0.82 + 0.18

  const float norm = std::sqrt(1.0f + 0.35f * 0.35f);
  const Vec3 noon = sunDirection(0.25f);
  EXPECT_NEAR(noon.x, 0.0f, 1e-5f);
  EXPECT_NEAR(noon.y, 1.0f / norm, 1e-5f);
  EXPECT_NEAR(noon.z, 0.35f / norm, 1e-5f);
  const Vec3 midnight = sunDirection(0.75f);  // below the horizon: mirrored above it
  EXPECT_NEAR(midnight.y, 1.0f / norm, 1e-5f);
  const Vec3 dawn = sunDirection(0.0f);  // y = 0 < 0.08: both negated
  EXPECT_NEAR(dawn.x, -1.0f / norm, 1e-5f);
  EXPECT_NEAR(dawn.y, 0.0f, 1e-5f);
}

TEST(SessionRules, InGameClockStartsAtSixInTheMorning) {
  EXPECT_EQ(inGameClock(0.0f), "06:00");
  EXPECT_EQ(inGameClock(0.25f), "12:00");
  EXPECT_EQ(inGameClock(0.5f), "18:00");
  EXPECT_EQ(inGameClock(0.75f), "00:00");
  EXPECT_EQ(inGameClock(0.125f), "09:00");
  EXPECT_EQ(inGameClock(0.3125f), "13:30");
  EXPECT_EQ(inGameClock(1.0f), "06:00");
}

TEST(SessionRules, RespawnRestoresHealthAtTheSpawnPoint) {
  ClientSession session;
  ::testing::internal::CaptureStdout();
  session.appState = AppDead;
  session.spawnPoint = {4.5f, 40.0f, -7.5f};
  session.player.health = 0;
  session.player.x = 100.0f;
  session.player.vx = 3.0f, session.player.vy = -9.0f;
  session.player.fallDistance = 12.0f;
  session.player.hurtTimer = 0.3f;
  session.regenTimer = 2.0f;
  session.lavaTimer = 0.4f;
  respawnPlayer(session);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(session.player.health, 20);
  EXPECT_FLOAT_EQ(session.player.x, 4.5f);
  EXPECT_FLOAT_EQ(session.player.y, 40.0f);
  EXPECT_FLOAT_EQ(session.player.z, -7.5f);
  EXPECT_EQ(session.player.vx, 0.0f);
  EXPECT_EQ(session.player.fallDistance, 0.0f);
  EXPECT_EQ(session.player.hurtTimer, 0.0f);
  EXPECT_EQ(session.regenTimer, 0.0f);
  EXPECT_EQ(session.lavaTimer, 0.0f);
  EXPECT_EQ(session.appState, AppPlaying);
  EXPECT_TRUE(session.cursorCaptured);
  EXPECT_TRUE(hasMessage(session, "Respawned"));
}

TEST(SessionRules, ModContextGivesAndDropsByNameAndRefusesNonsense) {
  ClientSession session;
  ModContext& context = *session.modContext;
  EXPECT_TRUE(context.give("stone", 3));
  EXPECT_TRUE(context.give("wooden_pickaxe", 1));
  EXPECT_FALSE(context.give("air", 1));
  EXPECT_FALSE(context.give("no_such_thing", 1));
  EXPECT_FALSE(context.give("stone", 0));
  EXPECT_EQ(session.inventory.countOf(blocks::Stone), 3);
  EXPECT_EQ(session.inventory.slots[1].durability, 59);
  EXPECT_TRUE(context.isHost());
  session.networkRole = RoleClient;
  EXPECT_FALSE(context.isHost());

  std::string name;
  EXPECT_FALSE(context.getBlock(0, 0, 0, name));  // no world yet
  EXPECT_FALSE(context.spawnDrop(0, 0, 0, "stone", 1));
  session.world = std::make_unique<World>(9);
  EXPECT_TRUE(context.setBlock(3, 70 - 10, 3, "zorvander:bricks"));
  EXPECT_TRUE(context.getBlock(3, 60, 3, name));
  EXPECT_EQ(name, "zorvander:bricks");
  EXPECT_FALSE(context.setBlock(3, 64, 3, "bricks"));  // above the world
  EXPECT_FALSE(context.setBlock(3, 60, 3, "no_such_block"));
  EXPECT_FALSE(context.getBlock(0, -49, 0, name));
  EXPECT_FALSE(context.spawnDrop(1, 2, 3, "stone", 0));
  EXPECT_TRUE(context.spawnDrop(1, 2, 3, "stone", 2));
  ASSERT_EQ(session.drops.size(), 1u);
  EXPECT_FLOAT_EQ(session.drops[0].x, 1.5f);
  EXPECT_FLOAT_EQ(session.drops[0].y, 2.5f);
  EXPECT_EQ(session.drops[0].count, 2);
  EXPECT_EQ(session.drops[0].entityId, 1);

  session.player.vx = 4.0f;
  context.teleport(20.0f, 45.0f, -30.0f);
  float x = 0, y = 0, z = 0;
  context.playerPosition(x, y, z);
  EXPECT_EQ(x, 20.0f);
  EXPECT_EQ(y, 45.0f);
  EXPECT_EQ(z, -30.0f);
  EXPECT_EQ(session.player.vx, 0.0f);
  // The columns there come with the next steps, the player held until they exist.
  EXPECT_FALSE(isColumnLoaded(*session.world, chunkCoord(20), chunkCoord(-30)));
  EXPECT_TRUE(session.heldForTerrain);
}

}  // namespace
}  // namespace zorv
