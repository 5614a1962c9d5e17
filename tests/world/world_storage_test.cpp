// Stored and pending columns: how a world with a save folder moves columns between
// memory, pending snapshots and region files.
#include <gtest/gtest.h>

#include <memory>

#include "scratch_folder.h"
#include <stdlib.h>

#include "persist/region_file.h"
#include "world/registry.h"
#include "world/world.h"

namespace zorv {
namespace {

constexpr std::int32_t kSeed = 20261018;

class WorldStorageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch = std::make_unique<zorv::testing::ScratchFolder>("world");
    folder = scratch->path();
  }
  void TearDown() override { scratch.reset(); }
  std::unique_ptr<World> openWorld() {
    auto world = std::make_unique<World>(kSeed);
    setSaveFolder(*world, folder);
    return world;
  }
  std::unique_ptr<zorv::testing::ScratchFolder> scratch;
  std::filesystem::path folder;
};

TEST_F(WorldStorageTest, UnloadedEditsComeBackFromPendingThenFromDisk) {
  auto world = openWorld();
  ensureColumn(*world, -40, 25);
  setBlock(*world, -635, 60, 405, blocks::Bookshelf);
  setBlock(*world, -640, 61, 400, blocks::Water);
  world->fluidLevels[packBlockKey(-640, 61, 400)] = 5;
  unloadFar(*world, 10000, 10000, 0);
  EXPECT_FALSE(isColumnLoaded(*world, -40, 25));
  EXPECT_TRUE(world->pendingColumns.count({-40, 25}));
  EXPECT_FALSE(std::filesystem::exists(regionPathIn(folder, -2, 0)));  // nothing written before a flush

  ensureColumn(*world, -40, 25);
  EXPECT_EQ(getBlock(*world, -635, 60, 405), blocks::Bookshelf);
  EXPECT_FALSE(world->pendingColumns.count({-40, 25}));
  EXPECT_TRUE(world->dirtyColumns.count({-40, 25}));  // came from pending: still unsaved

  ASSERT_TRUE(flush(*world));
  EXPECT_TRUE(std::filesystem::is_regular_file(regionPathIn(folder, -2, 0)));
  EXPECT_TRUE(world->pendingColumns.empty());
  EXPECT_TRUE(world->dirtyColumns.empty());

  // A fresh world knows no edits, so the block can only come from the region file.
  auto fresh = openWorld();
  ASSERT_TRUE(fresh->edits.empty());
  ensureColumn(*fresh, -40, 25);
  EXPECT_EQ(getBlock(*fresh, -635, 60, 405), blocks::Bookshelf);
  EXPECT_EQ(getBlock(*fresh, -640, 61, 400), blocks::Water);
  EXPECT_EQ(fluidLevel(*fresh, -640, 61, 400), 5);
  EXPECT_FALSE(fresh->dirtyColumns.count({-40, 25}));
  for (int y = kMinY; y <= kMaxY; ++y) EXPECT_EQ(getBlock(*fresh, -630, y, 410), getBlock(*world, -630, y, 410)) << y;

  // A column that came from disk unchanged is clean and is not staged again.
  unloadFar(*fresh, 10000, 10000, 0);
  EXPECT_TRUE(fresh->pendingColumns.empty());
  // A generated column matches nothing stored yet: the next flush writes it, after which
  // it is clean as well.
  ensureColumn(*fresh, 3, 3);
  ASSERT_TRUE(flush(*fresh));
  EXPECT_TRUE(std::filesystem::exists(regionPathIn(folder, 0, 0)));
  unloadFar(*fresh, 10000, 10000, 0);
  EXPECT_TRUE(fresh->pendingColumns.empty());
}

TEST_F(WorldStorageTest, FailedRegionWritesStayPendingAndNewerContentWins) {
  auto world = openWorld();
  setBlock(*world, 5, 50, 5, blocks::Bricks);      // region (0, 0)
  setBlock(*world, -600, 50, 5, blocks::Bricks);  // region (−2, 0)
  std::filesystem::create_directories(regionPathIn(folder, 0, 0).string() + ".tmp");  // blocks that write
  EXPECT_FALSE(flush(*world));
  EXPECT_TRUE(world->pendingColumns.count({0, 0}));
  EXPECT_FALSE(world->pendingColumns.count({-38, 0}));
  EXPECT_TRUE(std::filesystem::exists(regionPathIn(folder, -2, 0)));

  // The column is still loaded and changes again before it is unloaded: the newer
  // content, not the snapshot of the failed flush, reaches the disk.
  setBlock(*world, 6, 50, 6, blocks::Planks);
  unloadFar(*world, 10000, 10000, 0);
  std::filesystem::remove(regionPathIn(folder, 0, 0).string() + ".tmp");
  ASSERT_TRUE(flush(*world));
  EXPECT_TRUE(world->pendingColumns.empty());
  ColumnSnapshot stored;
  ASSERT_TRUE(loadColumnFrom(folder, 0, 0, stored));
  EXPECT_EQ(stored.blocks[static_cast<std::size_t>((50 + 48) * 256 + 5 * 16 + 5)], blocks::Bricks);
  EXPECT_EQ(stored.blocks[static_cast<std::size_t>((50 + 48) * 256 + 6 * 16 + 6)], blocks::Planks);
}

TEST_F(WorldStorageTest, StoredColumnsAreSanitisedOnLoad) {
  ColumnSnapshot snapshot{2, -1, std::vector<std::uint16_t>(kColumnCells, blocks::Stone), {}};
  snapshot.blocks[0] = 60000;                                         // unknown id → air
  snapshot.fluidLevels = {{33, 0, -10, 4}, {500, 0, 500, 2}};  // the second lies outside the column
  ASSERT_TRUE(flushColumnsTo(folder, {snapshot}));
  auto world = openWorld();
  ensureColumn(*world, 2, -1);
  EXPECT_EQ(getBlock(*world, 32, kMinY, -16), kAir);
  EXPECT_EQ(getBlock(*world, 40, 0, -10), blocks::Stone);
  EXPECT_EQ(fluidLevel(*world, 33, 0, -10), 4);
  EXPECT_EQ(world->fluidLevels.count(packBlockKey(500, 0, 500)), 0u);
  EXPECT_TRUE(world->relightQueue.contains(packRelightColumn(3, -1)));

  // Without a folder: nothing is read, and a flush only forgets what was unsaved.
  World memoryOnly(kSeed);
  ensureColumn(memoryOnly, 2, -1);
  EXPECT_EQ(getBlock(memoryOnly, 32, kMinY, -16), blocks::Bedrock);
  setBlock(memoryOnly, 33, 0, -10, blocks::Lava);
  EXPECT_TRUE(flush(memoryOnly));
  EXPECT_TRUE(memoryOnly.dirtyColumns.empty());

  const std::vector<SavedEdit> saved = savedEdits(memoryOnly);
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0], (SavedEdit{33, 0, -10, blocks::Lava, kNoFluidLevel}));
}

}  // namespace
}  // namespace zorv
