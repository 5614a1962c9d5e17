// Flushing on another thread while the world goes on: staged columns stay readable,
// changes made meanwhile are left for the next flush, and failed writes lose nothing.
#include <gtest/gtest.h>

#include "persist/region_file.h"
#include "world/registry.h"
#include "world/world.h"
#include "scratch_folder.h"

namespace zorv {
namespace {

constexpr std::int32_t kSeed = 20261209;

std::size_t cellIndex(int x, int y, int z) {
  return static_cast<std::size_t>((y + 48) * 256 + (z & 15) * 16 + (x & 15));
}

class BackgroundFlushTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world = std::make_unique<World>(kSeed);
    setSaveFolder(*world, folder);
  }
  void TearDown() override { world.reset(); }
  BlockId storedBlock(int x, int y, int z) {
    ColumnSnapshot stored;
    if (!loadColumnFrom(folder, chunkCoord(x), chunkCoord(z), stored)) return kNoBlock;
    return stored.blocks[cellIndex(x, y, z)];
  }
  const testing::ScratchFolder scratch{"flush"};
  const std::filesystem::path folder = scratch.path();
  std::unique_ptr<World> world;
};

TEST_F(BackgroundFlushTest, StagedColumnsStayReadableAndLaterChangesWaitForTheNextFlush) {
  ensureColumn(*world, 2, 2);
  ASSERT_TRUE(flush(*world));  // the column is now known: unloading it drops it from memory
  setBlock(*world, 40, 60, 40, blocks::Bookshelf);

  bool levelWritten = false;
  startBackgroundFlush(*world, [&] { return levelWritten = true; });
  // While the write may still run: the column leaves memory and comes back from the
  // snapshot being written, whatever the file holds yet, and changes again.
  unloadFar(*world, 10000, 10000, 0);
  EXPECT_FALSE(world->pendingColumns.count({2, 2}));
  ensureColumn(*world, 2, 2);
  EXPECT_EQ(getBlock(*world, 40, 60, 40), blocks::Bookshelf);
  setBlock(*world, 41, 60, 40, blocks::Planks);

  const std::optional<ColumnWriteResult> result = finishBackgroundFlush(*world, true);
  ASSERT_TRUE(result.has_value());
  EXPECT_TRUE(result->levelWritten);
  EXPECT_TRUE(levelWritten);
  EXPECT_EQ(result->written, (std::vector<ColumnKey>{{2, 2}}));
  EXPECT_FALSE(finishBackgroundFlush(*world, true).has_value());  // nothing left to apply
  EXPECT_EQ(storedBlock(40, 60, 40), blocks::Bookshelf);
  EXPECT_NE(storedBlock(41, 60, 40), blocks::Planks);
  EXPECT_TRUE(world->dirtyColumns.count({2, 2}));

  ASSERT_TRUE(flush(*world));
  EXPECT_EQ(storedBlock(41, 60, 40), blocks::Planks);
  EXPECT_TRUE(world->dirtyColumns.empty());
}

TEST_F(BackgroundFlushTest, FailedRegionsGoBackToPendingUnlessNewerDataWasStaged) {
  ensureColumn(*world, 0, 0);
  ensureColumn(*world, -40, 0);
  setBlock(*world, 5, 50, 5, blocks::Bricks);
  setBlock(*world, -635, 50, 5, blocks::Bricks);
  const std::filesystem::path blocker = regionPathIn(folder, 0, 0).string() + ".tmp";
  std::filesystem::create_directories(blocker);  // region (0, 0) cannot be written

  startBackgroundFlush(*world, [] { return false; });
  const std::optional<ColumnWriteResult> failed = finishBackgroundFlush(*world, true);
  ASSERT_TRUE(failed.has_value());
  EXPECT_FALSE(failed->levelWritten);
  EXPECT_EQ(failed->written, (std::vector<ColumnKey>{{-40, 0}}));  // the other region still written
  EXPECT_TRUE(world->pendingColumns.count({0, 0}));
  EXPECT_EQ(world->pendingColumns.at({0, 0}).blocks[cellIndex(5, 50, 5)], blocks::Bricks);

  // Starting another flush first applies one still running; newer content replaces the
  // snapshot that went back to pending.
  setBlock(*world, 6, 50, 6, blocks::Planks);
  std::filesystem::remove(blocker);
  startBackgroundFlush(*world, {});
  startBackgroundFlush(*world, {});
  finishBackgroundFlush(*world, true);
  EXPECT_TRUE(world->pendingColumns.empty());
  EXPECT_EQ(storedBlock(5, 50, 5), blocks::Bricks);
  EXPECT_EQ(storedBlock(6, 50, 6), blocks::Planks);
  EXPECT_EQ(storedBlock(-635, 50, 5), blocks::Bricks);
}

TEST_F(BackgroundFlushTest, DestroyingTheWorldWaitsForTheWrite) {
  ensureColumn(*world, 1, 1);
  setBlock(*world, 20, 55, 20, blocks::Bookshelf);
  startBackgroundFlush(*world, {});
  world.reset();
  EXPECT_EQ(storedBlock(20, 55, 20), blocks::Bookshelf);
}

}  // namespace
}  // namespace zorv
