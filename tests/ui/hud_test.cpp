#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "headless_ui.h"
#include "ui/hud.h"
#include "lang/localisation.h"
#include "world/registry.h"

namespace zorv {
namespace {

using testing::HeadlessUi;

std::array<float, 16> identity() {
  std::array<float, 16> m{};
  m[0] = m[5] = m[10] = m[15] = 1.0f;
  return m;
}

const DebugLine* lineStartingWith(const std::vector<DebugLine>& lines, const std::string& prefix) {
  for (const DebugLine& line : lines) {
    if (line.text.rfind(prefix, 0) == 0) return &line;
  }
  return nullptr;
}

TEST(HudRules, HeartsForHealth) {
  using enum HeartState;
  // 7 points: three full hearts (6 points), one half heart, six empty ones.
  EXPECT_EQ(heartStates(7), (std::array<HeartState, 10>{Full, Full, Full, Half, Empty, Empty, Empty, Empty, Empty, Empty}));
  EXPECT_EQ(heartStates(20), (std::array<HeartState, 10>{Full, Full, Full, Full, Full, Full, Full, Full, Full, Full}));
  EXPECT_EQ(heartStates(0), (std::array<HeartState, 10>{}));
  EXPECT_EQ(heartStates(1)[0], Half);
  EXPECT_EQ(heartStates(-3)[0], Empty);
}

TEST(HudRules, FacingQuarters) {
  EXPECT_EQ(facingIndex(-45.0f), 0);
  EXPECT_EQ(facingIndex(44.9f), 0);
  EXPECT_EQ(facingIndex(45.0f), 1);
  EXPECT_EQ(facingIndex(180.0f), 2);
  EXPECT_EQ(facingIndex(-90.0f), 3);
  EXPECT_EQ(facingIndex(314.9f), 3);
  EXPECT_EQ(facingIndex(720.0f), 0);
}

TEST(HudRules, ChatFadesWhenClosedAndShowsEverythingWhenOpen) {
  std::deque<LogEntry> log = {{"a", 0.0}, {"b", 2.0}, {"c", 4.5}, {"d", 10.0}, {"e", 20.0}};
  // At 21.5 s: e is 1.5 s old (full), d 11.5 s (alpha 1 − 3.5 × 0.25 = 0.125),
  // c 17 s, b 19.5 s and a 21.5 s are past 12 s and left out.
  std::vector<ShownMessage> closed = shownMessages(log, 21.5, false);
  ASSERT_EQ(closed.size(), 2u);
  EXPECT_EQ(closed[0].index, 4u);
  EXPECT_FLOAT_EQ(closed[0].alpha, 1.0f);
  EXPECT_EQ(closed[1].index, 3u);
  EXPECT_FLOAT_EQ(closed[1].alpha, 0.125f);
  // Exactly 12 s old: alpha 0, left out too.
  EXPECT_EQ(shownMessages(log, 22.0, false).size(), 1u);
  // Opening the chat brings the old ones back, newest first, fully opaque.
  std::vector<ShownMessage> open = shownMessages(log, 21.5, true);
  ASSERT_EQ(open.size(), 5u);
  for (std::size_t i = 0; i < open.size(); ++i) {
    EXPECT_EQ(open[i].index, 4u - i);
    EXPECT_FLOAT_EQ(open[i].alpha, 1.0f);
  }
  // At most the ten newest.
  std::deque<LogEntry> many;
  for (int i = 0; i < 14; ++i) many.push_back({std::to_string(i), 0.0});
  open = shownMessages(many, 100.0, true);
  ASSERT_EQ(open.size(), 10u);
  EXPECT_EQ(open.front().index, 13u);
  EXPECT_EQ(open.back().index, 4u);
}

TEST(HudRules, CommandHintsFollowTheTypedWord) {
  EXPECT_EQ(commandHints("/"), (std::vector<std::string>{"/help", "/gamemode", "/spectator", "/tp", "/spawn"}));
  EXPECT_EQ(commandHints("/s"), (std::vector<std::string>{"/spectator", "/spawn", "/seed", "/save"}));
  EXPECT_EQ(commandHints("/mo"), (std::vector<std::string>{"/mobs", "/mods"}));
  EXPECT_EQ(commandHints("/village"), (std::vector<std::string>{"/village"}));
  EXPECT_TRUE(commandHints("/tp 1").empty());
  EXPECT_TRUE(commandHints("/xyz").empty());
  EXPECT_TRUE(commandHints("hello").empty());
  EXPECT_TRUE(commandHints("").empty());
}

TEST(HudRules, ScreenProjection) {
  const ImVec2 display(1280.0f, 720.0f);
  const auto centre = projectToScreen(identity(), Vec3{0.0f, 0.0f, 0.5f}, 0.0001f, display);
  ASSERT_TRUE(centre.has_value());
  EXPECT_FLOAT_EQ(centre->position.x, 640.0f);
  EXPECT_FLOAT_EQ(centre->position.y, 360.0f);
  const auto corner = projectToScreen(identity(), Vec3{1.0f, -1.0f, 0.0f}, 0.0001f, display);
  ASSERT_TRUE(corner.has_value());
  EXPECT_FLOAT_EQ(corner->position.x, 1280.0f);
  EXPECT_FLOAT_EQ(corner->position.y, 0.0f);

  // w = −z (column-major m[11]): points behind the camera or at the threshold are dropped.
  std::array<float, 16> perspective{};
  perspective[0] = perspective[5] = 1.0f;
  perspective[11] = -1.0f;
  const auto ahead = projectToScreen(perspective, Vec3{1.0f, 0.5f, -2.0f}, 0.001f, display);
  ASSERT_TRUE(ahead.has_value());
  EXPECT_FLOAT_EQ(ahead->ndcX, 0.5f);
  EXPECT_FLOAT_EQ(ahead->ndcY, 0.25f);
  EXPECT_FLOAT_EQ(ahead->position.x, 960.0f);
  EXPECT_FLOAT_EQ(ahead->position.y, 450.0f);
  EXPECT_FALSE(projectToScreen(perspective, Vec3{0.0f, 0.0f, 2.0f}, 0.001f, display).has_value());
  EXPECT_FALSE(projectToScreen(perspective, Vec3{0.0f, 0.0f, -0.001f}, 0.001f, display).has_value());
}

TEST(HudRules, CreatureBarsOnlyBetweenZeroAndFull) {
  Mob zombie;
  zombie.kind = MobZombie;  // 6 points
  zombie.health = 6;
  EXPECT_FALSE(creatureBarFraction(zombie).has_value());
  zombie.health = 0;
  EXPECT_FALSE(creatureBarFraction(zombie).has_value());
  zombie.health = 3;
  ASSERT_TRUE(creatureBarFraction(zombie).has_value());
  EXPECT_FLOAT_EQ(*creatureBarFraction(zombie), 0.5f);
  Mob pig;
  pig.kind = MobPig;  // 2 points
  pig.health = 1;
  EXPECT_FLOAT_EQ(creatureBarFraction(pig).value_or(-1.0f), 0.5f);
  pig.health = 2;
  EXPECT_FALSE(creatureBarFraction(pig).has_value());
}

TEST(HudRules, PlacementOutlineOnlyOverAirOrFluid) {
  World world(7);
  createEmptyColumn(world, 0, 0);
  PickResult pick;
  pick.hit = true;
  pick.x = 1, pick.y = 5, pick.z = 1;
  pick.previousX = 1, pick.previousY = 6, pick.previousZ = 1;
  setBlockRaw(world, 1, 5, 1, blocks::Stone);
  EXPECT_TRUE(placementOutlineShown(world, pick));
  setBlockRaw(world, 1, 6, 1, blocks::Water);
  EXPECT_TRUE(placementOutlineShown(world, pick));
  setBlockRaw(world, 1, 6, 1, blocks::Dirt);
  EXPECT_FALSE(placementOutlineShown(world, pick));
  // A placement cell in a column that is not loaded, or no hit at all.
  pick.previousX = -1;
  EXPECT_FALSE(placementOutlineShown(world, pick));
  pick.previousX = 1;
  setBlockRaw(world, 1, 6, 1, 0);
  pick.hit = false;
  EXPECT_FALSE(placementOutlineShown(world, pick));
}

class HudSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setLanguage(LanguageEnglish);
    session.clock = [this] { return now; };
  }
  double now = 100.0;
  ClientSession session;
};

TEST_F(HudSessionTest, CreativePaletteFillsEmptyHotbarSlots) {
  session.player.mode = ModeCreative;
  session.inventory.slots[2] = {blocks::Bricks, 5, 0};
  const ItemStack palette = hotbarSlotContent(session, 3);
  EXPECT_EQ(palette.id, kCreativePalette[3]);
  EXPECT_EQ(palette.count, 1);  // one: no count drawn
  EXPECT_EQ(hotbarSlotContent(session, 2).id, blocks::Bricks);
  EXPECT_EQ(hotbarSlotContent(session, 2).count, 5);
  EXPECT_TRUE(hotbarSlotContent(session, 9).empty());  // not a hotbar slot
  EXPECT_TRUE(hotbarSlotContent(session, -1).empty());
  session.player.mode = ModeSurvival;
  EXPECT_TRUE(hotbarSlotContent(session, 3).empty());
  EXPECT_EQ(hotbarSlotContent(session, 2).count, 5);
}

TEST_F(HudSessionTest, DebugOverlayLines) {
  PlayerBody& p = session.player;
  p.x = 3.5f, p.y = -1.0f, p.z = -17.25f;
  p.yaw = -45.0f, p.pitch = 10.0f;
  p.mode = ModeSurvival;
  p.health = 7;
  session.timeOfDay = 0.25f;  // 0.25 × 24 + 6 = 12.0 → 12:00
  session.seed = 42;
  session.inventory.selected = 0;
  session.inventory.slots[0] = {blocks::Stone, 5, 0};
  UiFrameInfo frame;
  frame.fps = 50.0f;
  frame.apiVersion = (1u << 22) | (3u << 12) | 270u;
  frame.deviceName = "llvmpipe";
  frame.viewportWidth = 1280;
  frame.viewportHeight = 720;

  const std::vector<DebugLine> lines = debugOverlayLines(session, frame);
  EXPECT_EQ(lines.front().text, "Zorvander zk-110320");
  EXPECT_EQ(lines[1].text, "50 FPS  (20.00 ms)");
  EXPECT_TRUE(lines[1].separatorAfter);  // no refresh rate known
  ASSERT_NE(lineStartingWith(lines, "Chunk"), nullptr);
  // floor(−1) / 16 → −1, floor(−17.25) = −18 → −2.
  EXPECT_EQ(lineStartingWith(lines, "Chunk")->text, "Chunk  0 / -1 / -2");
  EXPECT_EQ(lineStartingWith(lines, "Block")->text, "Block  3 / -1 / -18");
  EXPECT_EQ(lineStartingWith(lines, "Facing")->text, "Facing East   yaw -45.0  pitch 10.0");
  EXPECT_EQ(lineStartingWith(lines, "Time")->text, "Time   12:00");
  EXPECT_EQ(lineStartingWith(lines, "Target")->text, "Target -");
  EXPECT_EQ(lineStartingWith(lines, "Held")->text, "Held   stone  x5");
  EXPECT_EQ(lineStartingWith(lines, "Mode")->text, "Mode Survival  HP 7/20");
  EXPECT_EQ(lineStartingWith(lines, "Vulkan")->text, "Vulkan 1.3.270");
  EXPECT_EQ(lineStartingWith(lines, "GPU")->text, "GPU llvmpipe");
  EXPECT_EQ(lineStartingWith(lines, "Net"), nullptr);
  EXPECT_EQ(lineStartingWith(lines, "World"), nullptr);
  EXPECT_TRUE(lines.back().disabled);
  EXPECT_EQ(lines.back().text, "Render distance 8 chunks, F4 spectator, / commands");

  // At y = −0.5 the block is still −1, so is the chunk; creative flight is noted; an
  // empty creative slot names its palette block without a count.
  p.y = -0.5f;
  p.mode = ModeCreative;
  p.flying = true;
  p.health = 20;
  session.inventory.slots[0] = {};
  session.worldName = "Alpha";
  session.networkRole = RoleHost;
  session.monitorRefreshRate = 60;
  frame.fps = 0.0f;
  const std::vector<DebugLine> again = debugOverlayLines(session, frame);
  EXPECT_EQ(again[1].text, "0 FPS  (0.00 ms)");
  EXPECT_EQ(again[2].text, "Screen refresh 60 Hz");
  EXPECT_TRUE(again[2].separatorAfter);
  EXPECT_EQ(lineStartingWith(again, "Chunk")->text, "Chunk  0 / -1 / -2");
  EXPECT_EQ(lineStartingWith(again, "Mode")->text, "Mode Creative (flying)  HP 20/20");
  EXPECT_EQ(lineStartingWith(again, "Held")->text, "Held   " + nameOf(kCreativePalette[0]));
  EXPECT_EQ(lineStartingWith(again, "World")->text, "World Alpha");
  EXPECT_EQ(lineStartingWith(again, "Net")->text, "Net   host   0 ms   0 remote");
}

TEST_F(HudSessionTest, DeathScreenButtons) {
  HeadlessUi ui;
  session.appState = AppDead;
  UiFrameInfo frame;
  const auto build = [&] { return buildInGameUi(session, frame).death; };
  const std::optional<ImVec2> respawn = ui.locate(build, "##dead", "Respawn");
  ASSERT_TRUE(respawn.has_value());
  EXPECT_EQ(ui.click(build, *respawn), DeathRespawn);
  const std::optional<ImVec2> quit = ui.locate(build, "##dead", "Quit to Menu");
  ASSERT_TRUE(quit.has_value());
  EXPECT_EQ(ui.click(build, *quit), DeathQuitToMenu);
}

TEST_F(HudSessionTest, EveryOverlayBuildsInOneFrame) {
  HeadlessUi ui;
  session.world = std::make_unique<World>(7);
  createEmptyColumn(*session.world, 0, 0);
  session.appState = AppPlaying;
  session.player.mode = ModeSurvival;
  session.player.health = 7;
  session.player.hurtTimer = 0.3f;
  session.miningProgress = 0.4f;
  session.weather = WeatherRain;
  session.minimap.filled = true;
  session.chatOpen = true;
  session.chatText = "/";
  session.inventoryOpen = true;
  session.cursorStack = {blocks::Stone, 12, 0};
  session.debugOverlay = true;
  Mob zombie;
  zombie.kind = MobZombie;
  zombie.health = 2;
  session.mobs.push_back(zombie);
  RemotePlayer remote;
  remote.known = true;
  remote.name = "Guest";
  session.remotePlayers.push_back(remote);
  session.messages.push_back({"hello", now});
  UiFrameInfo frame;
  frame.viewProjection = identity();
  frame.pick.hit = true;
  frame.texture = [](int layer) { return reinterpret_cast<ImTextureID>(static_cast<std::intptr_t>(layer + 1)); };
  const auto build = [&] { return buildInGameUi(session, frame); };
  InGameUiResult result = ui.frame(build);
  EXPECT_EQ(result.pause, PauseNone);
  EXPECT_EQ(result.death, DeathNone);
  for (Weather weather : {WeatherSnow, WeatherClear}) {
    session.weather = weather;
    ui.frame(build);
  }
  EXPECT_NE(ImGui::FindWindowByName("##inventory"), nullptr);
  EXPECT_NE(ImGui::FindWindowByName("##hotbar"), nullptr);
  EXPECT_NE(ImGui::FindWindowByName("##debug"), nullptr);
}

}  // namespace
}  // namespace zorv
