#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "client/client_session.h"
#include "shell/game_shell.h"
#include "persist/level_save.h"
#include "game/world_life_cycle.h"
#include "scratch_folder.h"

namespace zorv {
namespace {

// A saves folder of its own for each case, removed afterwards.
class ShutdownSave : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = std::make_unique<testing::ScratchFolder>("shutdown");
    root_ = scratch_->path();
    setSavesRoot(root_);
  }
  void TearDown() override {
    setSavesRoot({});
    scratch_.reset();
  }
  std::unique_ptr<testing::ScratchFolder> scratch_;
  std::filesystem::path root_;
};

int savedCount(const LevelSave& save, std::int16_t item) {
  int count = 0;
  for (const SavedSlot& slot : save.player.slots)
    if (slot.item == item) count += slot.count;
  return count;
}

TEST_F(ShutdownSave, ClosingTheWindowKeepsTheStacksHeldInTheInventoryScreen) {
  ClientSession session;
  createWorld(session, 7, "exit_test");
  setGameMode(session, ModeSurvival);
  session.appState = AppPlaying;
  openInventory(session, 2);
  session.cursorStack = ItemStack{blocks::Bricks, 17, 0};
  session.craftingGrid[0] = ItemStack{blocks::Planks, 3, 0};

  finishGame(session);

  EXPECT_FALSE(session.inventoryOpen);
  LevelSave save;
  ASSERT_TRUE(readLevel("exit_test", save));
  EXPECT_EQ(savedCount(save, static_cast<std::int16_t>(blocks::Bricks)), 17);
  EXPECT_EQ(savedCount(save, static_cast<std::int16_t>(blocks::Planks)), 3);
}

TEST_F(ShutdownSave, AClientLeavesTheHostsWorldUnsaved) {
  ClientSession session;
  createWorld(session, 7, "client_copy");
  std::filesystem::remove(worldFolder("client_copy") / "level.dat");
  session.networkRole = RoleClient;
  finishGame(session);
  EXPECT_FALSE(std::filesystem::exists(worldFolder("client_copy") / "level.dat"));
  EXPECT_EQ(session.networkRole, RoleOffline);
}

}  // namespace
}  // namespace zorv
