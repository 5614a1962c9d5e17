#include "world/fluids.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

namespace zorv {
namespace {

constexpr int kFloorY = 50;  // fluids are placed on the layer above it

// Loaded columns of air (no terrain) from one column west of `fromX` to one column east
// of `toX`, z from −32 to 31, with a stone floor spanning x from `fromX` to `toX` and z
// from −12 to 12.
struct FlatArea {
  World world{20261018};

  FlatArea(int fromX, int toX, int floorY = kFloorY) {
    for (int cx = chunkCoord(fromX) - 1; cx <= chunkCoord(toX) + 1; ++cx) {
      for (int cz = -2; cz <= 1; ++cz) createEmptyColumn(world, cx, cz);
    }
    addFloor(fromX, toX, floorY);
  }
  void addFloor(int fromX, int toX, int y) {
    for (int z = -12; z <= 12; ++z) {
      for (int x = fromX; x <= toX; ++x) setBlockRaw(world, x, y, z, blocks::Stone);
    }
  }
  void steps(int count, float dt) {
    for (int i = 0; i < count; ++i) fluidStep(world, dt);
  }
  BlockId at(int x, int y, int z = 0) const { return getBlock(world, x, y, z); }
  int level(int x, int y, int z = 0) const { return fluidLevel(world, x, y, z); }
  // Every water and lava cell with its level, for comparing whole states.
  std::map<std::tuple<int, int, int>, std::pair<BlockId, int>> fluidCells() const {
    std::map<std::tuple<int, int, int>, std::pair<BlockId, int>> cells;
    for (const auto& [key, chunk] : world.chunks) {
      for (int i = 0; i < kChunkCells; ++i) {
        const BlockId id = chunk->blocks[i];
        if (id != blocks::Water && id != blocks::Lava) continue;
        const int x = key.cx * 16 + i % 16, z = key.cz * 16 + (i / 16) % 16, y = key.cy * 16 + i / 256;
        cells[{x, y, z}] = {id, level(x, y, z)};
      }
    }
    return cells;
  }
};

TEST(Fluids, WaterSpreadsSevenCellsOnFlatGroundAndRecedesWithoutItsSource) {
  FlatArea area(280, 320);
  const int y = kFloorY + 1;
  setBlock(area.world, 300, y, 0, blocks::Water);
  area.steps(40, 0.2f);

  EXPECT_EQ(area.at(300, y), blocks::Water);
  EXPECT_EQ(area.level(300, y), 0);  // still a source
  for (int d = 1; d <= 7; ++d) {
    EXPECT_EQ(area.at(300 + d, y), blocks::Water) << d;
    EXPECT_EQ(area.level(300 + d, y), d) << d;
    EXPECT_EQ(area.level(300 - d, y), d) << d;
    EXPECT_EQ(area.level(300, y, d), d) << d;
  }
  EXPECT_EQ(area.at(308, y), kAir);
  EXPECT_EQ(area.at(292, y), kAir);
  // The level is the walking distance from the source.
  EXPECT_EQ(area.level(302, y, 2), 4);
  EXPECT_EQ(area.level(304, y, -3), 7);
  EXPECT_EQ(area.at(304, y, 4), kAir);
  // Nothing climbs: the layer above stays dry.
  EXPECT_EQ(area.at(300, y + 1), kAir);
  EXPECT_EQ(area.at(301, y + 1), kAir);
  EXPECT_EQ(area.fluidCells().size(), 1u + 4u * (1 + 2 + 3 + 4 + 5 + 6 + 7));

  setBlock(area.world, 300, y, 0, kAir);
  area.steps(40, 0.2f);
  EXPECT_EQ(area.at(301, y), kAir);
  EXPECT_TRUE(area.fluidCells().empty());
  EXPECT_TRUE(area.world.fluidLevels.empty());
}

TEST(Fluids, LavaReachesThreeCellsOnlyOnceItsSlowerClockElapses) {
  FlatArea area(340, 380);
  const int y = kFloorY + 1;
  setBlock(area.world, 360, y, 0, blocks::Lava);
  area.steps(1, 0.1f);  // below both intervals
  EXPECT_EQ(area.at(361, y), kAir);
  EXPECT_FLOAT_EQ(area.world.lavaAccumulator, 0.1f);
  fluidStep(area.world, 0.6f);  // 0.7 s: the lava clock elapses and restarts at 0
  EXPECT_EQ(area.at(361, y), blocks::Lava);
  EXPECT_EQ(area.world.lavaAccumulator, 0.0f);

  area.steps(10, 1.0f);
  EXPECT_EQ(area.at(360, y), blocks::Lava);
  EXPECT_EQ(area.level(360, y), 0);
  EXPECT_EQ(area.at(363, y), blocks::Lava);
  EXPECT_EQ(area.level(363, y), 3);
  EXPECT_EQ(area.at(364, y), kAir);
  EXPECT_EQ(area.level(361, y, 1), 2);
  EXPECT_EQ(area.fluidCells().size(), 1u + 4u * (1 + 2 + 3));
}

TEST(Fluids, WaterQuenchesTheLavaItTouchesIntoCobblestone) {
  FlatArea area(400, 440);
  const int y = kFloorY + 1;
  setBlock(area.world, 420, y, 0, blocks::Lava);
  setBlock(area.world, 421, y, 0, blocks::Water);
  area.steps(10, 1.0f);
  EXPECT_EQ(area.at(420, y), blocks::Cobblestone);
  EXPECT_EQ(area.at(421, y), blocks::Water);
  // Lava never got to spread before it was quenched, and water flowed past the stone.
  EXPECT_EQ(area.at(418, y), blocks::Water);
  EXPECT_EQ(area.level(418, y), 5);  // around the cobblestone: 421 → 420 ± z → 419 → 418

  // A lava update quenches its own cells that touch water.
  FlatArea lavaFirst(400, 440);
  setBlock(lavaFirst.world, 410, y, 0, blocks::Water);
  setFluidsEnabled(lavaFirst.world, false);
  setBlock(lavaFirst.world, 411, y, 0, blocks::Lava);  // not woken: fluids are off
  setFluidsEnabled(lavaFirst.world, true);
  updateFluidAt(lavaFirst.world, 411, y, 0);
  EXPECT_EQ(lavaFirst.at(411, y), blocks::Cobblestone);
}

TEST(Fluids, DisabledFluidsIgnoreEditsUntilEnabledAndWokenAgain) {
  FlatArea area(280, 320);
  const int y = kFloorY + 1;
  setFluidsEnabled(area.world, false);
  setBlock(area.world, 300, y, 0, blocks::Water);
  setBlock(area.world, 302, y, 0, blocks::Stone);
  area.steps(20, 0.2f);
  EXPECT_EQ(area.at(301, y), kAir);
  EXPECT_TRUE(area.world.waterQueue.empty());

  setFluidsEnabled(area.world, true);
  area.steps(20, 0.2f);
  EXPECT_EQ(area.at(301, y), kAir);  // nothing woke it

  setBlock(area.world, 302, y, 0, kAir);  // an edit next to... a cell next to the water
  area.steps(20, 0.2f);
  EXPECT_EQ(area.at(301, y), blocks::Water);
  EXPECT_EQ(area.level(307, y), 7);

  // Turning fluids off drops whatever was queued.
  setBlock(area.world, 300, y, 0, kAir);
  setFluidsEnabled(area.world, false);
  EXPECT_TRUE(area.world.waterQueue.empty());
  EXPECT_TRUE(area.world.lavaQueue.empty());
  area.steps(20, 0.2f);
  EXPECT_EQ(area.at(301, y), blocks::Water);
}

TEST(Fluids, WaterFallsFromALedgeAndNeverRisesAboveTheWokenCell) {
  FlatArea area(280, 302);
  area.addFloor(303, 330, kFloorY - 3);
  const int y = kFloorY + 1;
  setBlock(area.world, 300, y, 0, blocks::Water);
  area.steps(15, 0.2f);
  EXPECT_EQ(area.level(302, y), 2);
  EXPECT_EQ(area.level(303, y), 3);
  EXPECT_EQ(area.at(303, y - 1), blocks::Water);
  EXPECT_EQ(area.level(303, y - 1), 1);  // a fall starts again at level 1
  EXPECT_EQ(area.at(303, kFloorY - 2), blocks::Water);
  EXPECT_EQ(area.level(303, kFloorY - 2), 1);

  // An air cell under an orphaned flowing cell: its body ends at its own height, so the
  // cell above is left alone by this update.
  FlatArea orphan(280, 320);
  setBlockRaw(orphan.world, 300, y + 1, 0, blocks::Water);
  orphan.world.fluidLevels[packBlockKey(300, y + 1, 0)] = 3;
  updateFluidAt(orphan.world, 300, y, 0);
  EXPECT_EQ(orphan.at(300, y + 1), blocks::Water);
  EXPECT_EQ(orphan.at(300, y), kAir);
  EXPECT_TRUE(orphan.world.waterQueue.contains(packBlockKey(300, y + 1, 0)));  // woken instead
  // Updated from itself it has no source and recedes.
  updateFluidAt(orphan.world, 300, y + 1, 0);
  EXPECT_EQ(orphan.at(300, y + 1), kAir);
}

TEST(Fluids, SettledWaterStaysSettledAndEditsReachCaptureAndRemeshing) {
  FlatArea area(280, 302);
  area.addFloor(303, 330, kFloorY - 1);  // one step down
  const int y = kFloorY + 1;
  setBlock(area.world, 300, y, 0, blocks::Water);
  area.steps(100, 0.2f);
  const auto settled = area.fluidCells();
  EXPECT_EQ(area.level(303, y - 1), 1);
  // A settled body writes nothing, so the queues run dry instead of churning.
  EXPECT_TRUE(area.world.waterQueue.empty());
  area.world.remeshSet.clear();
  area.steps(100, 0.2f);
  EXPECT_TRUE(area.world.remeshSet.empty());
  EXPECT_EQ(area.fluidCells(), settled);

  setCaptureEnabled(area.world, true);
  area.world.remeshSet.clear();
  setBlock(area.world, 299, y, 0, blocks::Water);  // a second source shortens the west side
  area.steps(10, 0.2f);
  EXPECT_EQ(area.level(298, y), 1);
  const std::vector<CapturedBlock> captured = takeCapture(area.world);
  bool levelChangeCaptured = false;
  for (const CapturedBlock& c : captured) levelChangeCaptured |= c.x == 298 && c.y == y && c.z == 0;
  EXPECT_TRUE(levelChangeCaptured);
  EXPECT_TRUE(area.world.remeshSet.count({chunkCoord(298), chunkCoord(y), 0}));
}

TEST(Fluids, FluidsStopAtUnloadedColumnsInsteadOfGeneratingThem) {
  FlatArea area(280, 319);
  // Column 20 (x 320..335) is the last loaded one; the water runs against its far edge.
  const int y = kFloorY + 1;
  area.addFloor(321, 335, kFloorY);
  setBlock(area.world, 333, y, 0, blocks::Water);
  area.steps(40, 0.2f);
  EXPECT_EQ(area.level(335, y), 2);
  EXPECT_FALSE(isColumnLoaded(area.world, 21, 0));
}

TEST(Fluids, ColumnsReplacedBetweenStepsAreReadAfresh) {
  FlatArea area(280, 320);
  const int y = kFloorY + 1;
  setBlock(area.world, 300, y, 0, blocks::Water);
  area.steps(40, 0.2f);
  ASSERT_EQ(area.level(303, y), 3);

  // The same columns come back empty: nothing of the old body may be read any more.
  unloadFar(area.world, 1000, 1000, 0);
  for (int cx = chunkCoord(280) - 1; cx <= chunkCoord(320) + 1; ++cx) {
    for (int cz = -2; cz <= 1; ++cz) createEmptyColumn(area.world, cx, cz);
  }
  area.addFloor(280, 320, kFloorY);
  setBlock(area.world, 310, y, 0, blocks::Water);
  area.steps(40, 0.2f);
  EXPECT_EQ(area.at(300, y), kAir);
  EXPECT_EQ(area.level(303, y), 7);
  EXPECT_EQ(area.at(302, y), kAir);
  EXPECT_EQ(area.level(317, y), 7);
  EXPECT_EQ(area.at(318, y), kAir);
  EXPECT_EQ(area.fluidCells().size(), 1u + 4u * (1 + 2 + 3 + 4 + 5 + 6 + 7));
}

}  // namespace
}  // namespace zorv
