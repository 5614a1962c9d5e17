#include "world/world.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "world/terrain.h"

namespace zorv {
namespace {

constexpr std::int32_t kSeed = 20261018;

TEST(WorldCoordinates, FloorDivisionAndBlockKeysRoundTrip) {
  EXPECT_EQ(chunkCoord(-1), -1);
  EXPECT_EQ(localCoord(-1), 15);
  EXPECT_EQ(chunkCoord(-16), -1);
  EXPECT_EQ(localCoord(-16), 0);
  EXPECT_EQ(chunkCoord(-17), -2);
  EXPECT_EQ(chunkCoord(15), 0);
  EXPECT_EQ(chunkCoord(16), 1);

  for (int x : {-kWorldLimit, -635, -1, 0, 1, 56, kWorldLimit}) {
    for (int y : {kMinY, -1, 0, 40, kMaxY}) {
      for (int z : {-kWorldLimit, -17, 0, 405, kWorldLimit}) {
        const BlockKey key = packBlockKey(x, y, z);
        EXPECT_EQ(blockKeyX(key), x);
        EXPECT_EQ(blockKeyY(key), y);
        EXPECT_EQ(blockKeyZ(key), z);
        EXPECT_EQ(key & 0x7FF00ull, 0u);  // bits 8..18 stay clear
        EXPECT_EQ(key >> 61, 0u);
      }
    }
  }
  EXPECT_EQ(packBlockKey(0, 0, 0), (0x100000ull << 40) | (0x100000ull << 19) | 64u);
  EXPECT_EQ(unpackRelightColumn(packRelightColumn(-40, 25)), (ColumnKey{-40, 25}));
  EXPECT_NE(packColumn(-1, 0), packColumn(0, -1));
}

TEST(WorldAccess, ReadsOutsideTheWorldAndUnloadedChunksFollowTheRules) {
  World world(kSeed);
  EXPECT_EQ(getBlock(world, 0, 64, 0), kAir);
  EXPECT_EQ(getBlock(world, 0, -49, 0), kAir);
  EXPECT_EQ(skyLight(world, 0, 64, 0), 15);
  EXPECT_EQ(skyLight(world, 0, -49, 0), 0);
  EXPECT_EQ(skyLight(world, 5, 10, 5), 15);  // not loaded
  EXPECT_EQ(blockLight(world, 5, 10, 5), 0);
  EXPECT_TRUE(world.chunks.empty());  // reads never load anything

  setBlock(world, kWorldLimit + 1, 10, 0, blocks::Stone);
  setBlock(world, 0, 64, 0, blocks::Stone);
  EXPECT_EQ(getBlock(world, kWorldLimit + 1, 10, 0), kAir);
  EXPECT_TRUE(world.chunks.empty());
  EXPECT_TRUE(world.edits.empty());
}

TEST(WorldAccess, SetBlockRecordsAndQueuesEverythingThatDependsOnTheCell) {
  World world(kSeed);
  setBlock(world, 56, 40, 56, blocks::Grass);
  EXPECT_EQ(getBlock(world, 56, 40, 56), blocks::Grass);
  EXPECT_TRUE(isColumnLoaded(world, 3, 3));

  // An interior cell remeshes only its own chunk.
  world.remeshSet.clear();
  setBlock(world, 56, 40, 56, blocks::Stone);
  EXPECT_EQ(world.remeshSet.size(), 1u);
  EXPECT_TRUE(world.remeshSet.count({3, 2, 3}));

  // A corner cell remeshes the chunks across each face it touches.
  world.remeshSet.clear();
  setBlock(world, 48, 47, 63, blocks::Stone);
  EXPECT_EQ(world.remeshSet.size(), 4u);
  for (ChunkKey key : {ChunkKey{3, 2, 3}, ChunkKey{2, 2, 3}, ChunkKey{3, 3, 3}, ChunkKey{3, 2, 4}}) {
    EXPECT_TRUE(world.remeshSet.count(key)) << key.cx << " " << key.cy << " " << key.cz;
  }
  // No chunk exists above the top row.
  world.remeshSet.clear();
  setBlock(world, 56, kMaxY, 56, blocks::Stone);
  EXPECT_FALSE(world.remeshSet.count({3, 4, 3}));

  const BlockKey key = packBlockKey(56, 40, 56);
  EXPECT_EQ(world.edits.at(key), blocks::Stone);
  const auto& columnEdits = world.columnEdits.at({3, 3});
  EXPECT_EQ(std::count(columnEdits.begin(), columnEdits.end(), key), 1);  // one entry per position
  EXPECT_TRUE(world.dirtyColumns.count({3, 3}));
  EXPECT_TRUE(world.relightQueue.contains(packRelightColumn(3, 3)));

  // Fluid levels are cleared and the cell and its neighbours are woken.
  world.fluidLevels[packBlockKey(56, 50, 56)] = 3;
  setBlock(world, 56, 50, 56, kAir);
  EXPECT_FALSE(world.fluidLevels.count(packBlockKey(56, 50, 56)));
  EXPECT_TRUE(world.waterQueue.contains(packBlockKey(56, 50, 56)));
  EXPECT_TRUE(world.lavaQueue.contains(packBlockKey(56, 51, 56)));
}

TEST(WorldAccess, CaptureReportsChangedBlocksOnceAndOnlyWhileEnabled) {
  World world(kSeed);
  setBlock(world, 35, 48, 35, blocks::Bricks);
  EXPECT_TRUE(takeCapture(world).empty());

  setCaptureEnabled(world, true);
  setBlock(world, 35, 48, 35, blocks::Stone);
  setBlock(world, 35, 48, 35, blocks::Bricks);
  const std::vector<CapturedBlock> captured = takeCapture(world);
  ASSERT_EQ(captured.size(), 1u);
  EXPECT_EQ(captured[0].x, 35);
  EXPECT_EQ(captured[0].y, 48);
  EXPECT_EQ(captured[0].z, 35);
  EXPECT_EQ(captured[0].id, blocks::Bricks);
  EXPECT_TRUE(takeCapture(world).empty());
}

TEST(WorldAccess, RawWritesDuringGenerationStayInsideTheGeneratingColumn) {
  World world(kSeed);
  createEmptyColumn(world, 0, 0);
  world.generating = true;
  world.generatingCx = 0;
  world.generatingCz = 0;
  setBlockRaw(world, 5, 10, 5, blocks::Stone);
  setBlockRaw(world, 16, 10, 5, blocks::Stone);  // column (1, 0): dropped, not generated
  world.generating = false;
  EXPECT_EQ(getBlock(world, 5, 10, 5), blocks::Stone);
  EXPECT_FALSE(isColumnLoaded(world, 1, 0));
  EXPECT_TRUE(world.edits.empty());
  EXPECT_TRUE(world.remeshSet.empty());
}

TEST(WorldColumns, NegativeColumnsGenerateUnloadAndReplayTheirEdits) {
  World world(kSeed);
  ensureColumn(world, -40, 25);
  ASSERT_TRUE(isColumnLoaded(world, -40, 25));
  EXPECT_EQ(world.chunks.size(), 7u);
  EXPECT_EQ(getBlock(world, -635, kMinY, 405), blocks::Bedrock);

  const int y = surfaceHeight(world, -635, 405) + 1;
  setBlock(world, -635, y, 405, blocks::Bookshelf);
  ensureColumn(world, 0, 0);
  unloadFar(world, 0, 0, 2);
  EXPECT_FALSE(isColumnLoaded(world, -40, 25));
  EXPECT_TRUE(isColumnLoaded(world, 0, 0));
  EXPECT_EQ(getBlock(world, -635, y, 405), kAir);

  ensureColumn(world, -40, 25);
  EXPECT_EQ(getBlock(world, -635, y, 405), blocks::Bookshelf);

  // Everything goes with radius 0 around a far column; the edit map is kept.
  unloadFar(world, 10000, 10000, 0);
  EXPECT_TRUE(world.chunks.empty());
  EXPECT_EQ(world.edits.at(packBlockKey(-635, y, 405)), blocks::Bookshelf);
}

TEST(WorldColumns, EnsureColumnsAroundCoversTheChebyshevSquare) {
  World world(kSeed);
  ensureColumnsAround(world, -1, 17, 1);  // column (−1, 1)
  for (int cx = -2; cx <= 0; ++cx) {
    for (int cz = 0; cz <= 2; ++cz) EXPECT_TRUE(isColumnLoaded(world, cx, cz));
  }
  EXPECT_EQ(world.chunks.size(), 9u * kChunksPerColumn);
}

TEST(WorldEdits, SavedEditsApplyNowOrWhenTheColumnComesBack) {
  World world(kSeed);
  ensureColumn(world, 0, 0);
  applySavedEdit(world, 3, 45, 3, blocks::Water, 4);
  EXPECT_EQ(getBlock(world, 3, 45, 3), blocks::Water);
  EXPECT_EQ(fluidLevel(world, 3, 45, 3), 4);
  EXPECT_TRUE(world.waterQueue.contains(packBlockKey(3, 45, 3)));

  applySavedEdit(world, 4, 45, 3, blocks::Stone, 2);  // not a fluid: no level kept
  EXPECT_EQ(fluidLevel(world, 4, 45, 3), 0);
  applySavedEdit(world, 5, 45, 3, 0x7000, -1);  // unknown ids become air
  EXPECT_EQ(world.edits.at(packBlockKey(5, 45, 3)), kAir);

  applySavedEdit(world, 100, 20, 100, blocks::Bricks, -1);  // column (6, 6) is not loaded
  EXPECT_FALSE(isColumnLoaded(world, 6, 6));
  ensureColumn(world, 6, 6);
  EXPECT_EQ(getBlock(world, 100, 20, 100), blocks::Bricks);
}

TEST(WorldFluids, DisablingFluidsEmptiesTheQueuesAndStopsWakeUps) {
  World world(kSeed);
  ensureColumn(world, 0, 0);
  setBlock(world, 8, 60, 8, kAir);
  EXPECT_FALSE(world.waterQueue.empty());
  setFluidsEnabled(world, false);
  EXPECT_TRUE(world.waterQueue.empty());
  EXPECT_TRUE(world.lavaQueue.empty());
  setBlock(world, 8, 61, 8, kAir);
  EXPECT_TRUE(world.waterQueue.empty());
}

template <class KeySet>
class KeySetTest : public ::testing::Test {};
using KeySets = ::testing::Types<FlatKeySet, BlockKeySet>;
TYPED_TEST_SUITE(KeySetTest, KeySets);

TYPED_TEST(KeySetTest, AgreesWithAnOrderedSetThroughInsertsErasesAndClears) {
  // Neighbouring positions (keys that differ in few bits), plus the two extreme keys.
  std::vector<std::uint64_t> pool{0, ~std::uint64_t{0}};
  for (int x = -5; x < 5; ++x) {
    for (int y = 50; y < 53; ++y) {
      for (int z = -5; z < 5; ++z) pool.push_back(packBlockKey(x, y, z));
    }
  }
  TypeParam set;
  std::set<std::uint64_t> model;
  std::mt19937 random(7);
  for (int round = 0; round < 3; ++round) {
    for (int op = 0; op < 6000; ++op) {
      const std::uint64_t key = pool[random() % pool.size()];
      // Inserting twice as often as erasing fills the set, so runs of neighbours form.
      if (random() % 3 != 0) {
        ASSERT_EQ(set.insert(key), model.insert(key).second) << op;
      } else {
        ASSERT_EQ(set.erase(key), model.erase(key) == 1) << op;
      }
      if (op % 500 == 0) {
        ASSERT_EQ(set.size(), model.size());
        for (std::uint64_t k : pool) ASSERT_EQ(set.contains(k), model.count(k) == 1) << k;
      }
    }
    while (!model.empty()) {  // emptying it by erases leaves nothing reachable behind
      ASSERT_TRUE(set.erase(*model.begin()));
      model.erase(model.begin());
    }
    for (std::uint64_t k : pool) ASSERT_FALSE(set.contains(k));
    for (int i = 0; i < 100; ++i) set.insert(pool[static_cast<std::size_t>(i)]);
    set.clear();  // and a cleared one is reused by the next round
    EXPECT_EQ(set.size(), 0u);
    for (std::uint64_t k : pool) ASSERT_FALSE(set.contains(k));
  }
}

}  // namespace
}  // namespace zorv
