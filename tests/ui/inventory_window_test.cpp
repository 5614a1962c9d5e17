#include <gtest/gtest.h>

#include "client/client_session.h"
#include "headless_ui.h"
#include "ui/inventory_screen.h"
#include "lang/localisation.h"
#include "ui/menus.h"

namespace zorv {
namespace {

using testing::HeadlessUi;

class InventoryWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setLanguage(LanguageEnglish);
    session.inventoryOpen = true;
    session.inventoryTab = 2;
  }
  auto window() {
    return [this] {
      buildInventoryWindow(session, {});
      return 0;
    };
  }
  void clickSlot(int slot) {
    const std::optional<ImVec2> at = ui.locate(window(), "##inventory", slot, "##slot");
    ASSERT_TRUE(at.has_value()) << slot;
    ui.click(window(), *at);
  }

  ClientSession session;
  HeadlessUi ui;
};

TEST_F(InventoryWindowTest, ClicksMoveStacksThroughTheHand) {
  session.inventory.slots[9] = {blocks::Stone, 40, 0};
  session.inventory.slots[10] = {blocks::Stone, 30, 0};
  clickSlot(9);
  EXPECT_EQ(session.cursorStack.count, 40);
  EXPECT_TRUE(session.inventory.slots[9].empty());
  clickSlot(10);
  EXPECT_EQ(session.inventory.slots[10].count, 64);
  EXPECT_EQ(session.cursorStack.count, 6);
  clickSlot(0);  // a hotbar slot
  EXPECT_EQ(session.inventory.slots[0].id, blocks::Stone);
  EXPECT_EQ(session.inventory.slots[0].count, 6);
  EXPECT_TRUE(session.cursorStack.empty());
}

TEST_F(InventoryWindowTest, SmallGridShowsFourCellsAndTheResultCrafts) {
  EXPECT_TRUE(ui.locate(window(), "##inventory", 100 + 4, "##craft").has_value());
  EXPECT_FALSE(ui.locate(window(), "##inventory", 100 + 2, "##craft").has_value());
  session.inventoryTab = 3;
  EXPECT_TRUE(ui.locate(window(), "##inventory", 100 + 8, "##craft").has_value());

  // Planks in cells 0 and 3 make four sticks; the result click uses one of each.
  session.inventoryTab = 2;
  session.craftingGrid[0] = {blocks::Planks, 2, 0};
  session.craftingGrid[3] = {blocks::Planks, 1, 0};
  const std::optional<ImVec2> result = ui.locate(window(), "##inventory", "##result");
  ASSERT_TRUE(result.has_value());
  ui.click(window(), *result);
  EXPECT_EQ(session.cursorStack.id, 0x8000);
  EXPECT_EQ(session.cursorStack.count, 4);
  EXPECT_EQ(session.craftingGrid[0].count, 1);
  EXPECT_TRUE(session.craftingGrid[3].empty());
  // Without a match the result click changes nothing.
  ui.click(window(), *result);
  EXPECT_EQ(session.cursorStack.count, 4);
  EXPECT_EQ(session.craftingGrid[0].count, 1);

  // The hand's sticks go into a crafting cell like into any slot.
  const std::optional<ImVec2> cell = ui.locate(window(), "##inventory", 100 + 1, "##craft");
  ASSERT_TRUE(cell.has_value());
  ui.click(window(), *cell);
  EXPECT_EQ(session.craftingGrid[1].count, 4);
  EXPECT_TRUE(session.cursorStack.empty());
}

TEST(PauseSettings, RenderDistanceSliderReachesTheStreamer) {
  setLanguage(LanguageEnglish);
  ClientSession session;
  HeadlessUi ui;
  UiFrameInfo frame;
  const char* window = "Paused###paused";
  const auto pause = [&] { return buildPauseMenu(session, frame); };
  EXPECT_FALSE(ui.locate(pause, window, "Render distance").has_value());  // settings closed
  const std::optional<ImVec2> header = ui.locate(pause, window, "Settings###settings");
  ASSERT_TRUE(header.has_value());
  ui.click(pause, *header);
  const std::optional<ImVec2> slider = ui.locate(pause, window, "Render distance");
  ASSERT_TRUE(slider.has_value());
  // Pressing near the slider's left end picks a short distance.
  EXPECT_EQ(ui.click(pause, *slider), PauseNone);
  EXPECT_LT(session.preferences.renderDistance, 8);
  EXPECT_GE(session.preferences.renderDistance, 4);
  EXPECT_EQ(session.streamer.renderDistance(), session.preferences.renderDistance);
}

}  // namespace
}  // namespace zorv
