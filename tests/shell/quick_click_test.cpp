// A click whose press and release both arrive between two frames, as on a slow machine:
// the interface library spreads them over two frames, so the menus' buttons still press.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "client/client_session.h"
#include "headless_ui.h"
#include "lang/localisation.h"
#include "temporary_saves.h"
#include "ui/hud.h"
#include "ui/inventory_screen.h"
#include "ui/menus.h"

namespace zorv {
namespace {

using testing::HeadlessUi;

// Queues the motion to `at`, the press and the release before one frame, then runs
// `frames` frames and returns what each built.
template <typename Build>
auto quickClick(HeadlessUi& ui, Build&& build, ImVec2 at, int frames) {
  ImGuiIO& io = ImGui::GetIO();
  io.AddMousePosEvent(at.x, at.y);
  io.AddMouseButtonEvent(ImGuiMouseButton_Left, true);
  io.AddMouseButtonEvent(ImGuiMouseButton_Left, false);
  std::vector<decltype(build())> results;
  for (int frame = 0; frame < frames; ++frame) results.push_back(ui.frame(build));
  return results;
}

template <typename Result>
long count(const std::vector<Result>& results, Result wanted) {
  return std::count(results.begin(), results.end(), wanted);
}

class QuickClick : public ::testing::Test {
 protected:
  void SetUp() override { setLanguage(LanguageEnglish); }

  testing::TemporarySaves saves;
  ClientSession session;
  HeadlessUi ui;
  UiFrameInfo frame;
};

TEST_F(QuickClick, MenusPauseAndDeathScreenTakeAClickWithinOneFrame) {
  const auto mainMenu = [&] { return buildMainMenu(session); };
  const std::optional<ImVec2> singleplayer = ui.locate(mainMenu, "##mainmenu", "Singleplayer");
  ASSERT_TRUE(singleplayer.has_value());
  quickClick(ui, mainMenu, *singleplayer, 3);
  EXPECT_EQ(session.menuScreen, MenuWorlds);

  const std::optional<ImVec2> create = ui.locate(mainMenu, "##mainmenu", "Create and Play");
  ASSERT_TRUE(create.has_value());
  EXPECT_EQ(count(quickClick(ui, mainMenu, *create, 4), MenuCreateAndPlay), 1);

  session.appState = AppPaused;
  const auto pause = [&] { return buildPauseMenu(session, frame); };
  const std::optional<ImVec2> resume = ui.locate(pause, "Paused###paused", "Resume");
  ASSERT_TRUE(resume.has_value());
  EXPECT_EQ(count(quickClick(ui, pause, *resume, 4), PauseResume), 1);

  session.appState = AppDead;
  const auto death = [&] { return buildInGameUi(session, frame).death; };
  const std::optional<ImVec2> respawn = ui.locate(death, "##dead", "Respawn");
  ASSERT_TRUE(respawn.has_value());
  EXPECT_EQ(count(quickClick(ui, death, *respawn, 4), DeathRespawn), 1);
}

TEST_F(QuickClick, InventorySlotTakesAClickWithinOneFrame) {
  session.inventoryOpen = true;
  session.inventory.slots[9] = {blocks::Stone, 40, 0};
  const auto inventory = [&] {
    buildInventoryWindow(session, {});
    return 0;
  };
  const std::optional<ImVec2> slot = ui.locate(inventory, "##inventory", 9, "##slot");
  ASSERT_TRUE(slot.has_value());
  quickClick(ui, inventory, *slot, 3);
  EXPECT_EQ(session.cursorStack.count, 40);
  EXPECT_TRUE(session.inventory.slots[9].empty());
}

}  // namespace
}  // namespace zorv
