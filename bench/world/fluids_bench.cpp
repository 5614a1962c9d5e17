// One fluid step over a walled lake of about 20,000 water cells: recomputing the settled
// body, and flooding it from dry ground (every cell written through setBlock).

#include <benchmark/benchmark.h>

#include "world/fluids.h"

namespace zorv {
namespace {

constexpr int kSide = 141;         // inner side of the basin
constexpr int kSourceSpacing = 8;  // sources on a grid, flowing water between them
constexpr int kFloor = 50;
constexpr int kSurface = kFloor + 1;

bool isSourceCell(int x, int z) { return x % kSourceSpacing == 0 && z % kSourceSpacing == 0; }

// Empty columns with a stone basin: floor at y = 50, a one-block wall around x, z in 0..140.
void buildBasin(World& world) {
  for (int cx = -1; cx <= kSide / kChunkSize + 1; ++cx) {
    for (int cz = -1; cz <= kSide / kChunkSize + 1; ++cz) createEmptyColumn(world, cx, cz);
  }
  for (int z = -1; z <= kSide; ++z) {
    for (int x = -1; x <= kSide; ++x) {
      setBlockRaw(world, x, kFloor, z, blocks::Stone);
      const bool wall = x < 0 || z < 0 || x == kSide || z == kSide;
      setBlockRaw(world, x, kSurface, z, wall ? blocks::Stone : isSourceCell(x, z) ? blocks::Water : kAir);
    }
  }
}

void clearFlowingWater(World& world) {
  for (int z = 0; z < kSide; ++z) {
    for (int x = 0; x < kSide; ++x) {
      if (!isSourceCell(x, z)) setBlockRaw(world, x, kSurface, z, kAir);
    }
  }
  world.fluidLevels.clear();
  world.waterQueue.clear();
  world.lavaQueue.clear();
  world.remeshSet.clear();
  world.relightQueue.clear();
}

std::size_t waterCells(const World& world) {
  std::size_t count = 0;
  for (int z = 0; z < kSide; ++z) {
    for (int x = 0; x < kSide; ++x) count += getBlock(world, x, kSurface, z) == blocks::Water;
  }
  return count;
}

void BM_FluidStepSettledBody(benchmark::State& state) {
  World world(20261018);
  buildBasin(world);
  updateFluidAt(world, 0, kSurface, 0);
  world.waterQueue.clear();
  world.lavaQueue.clear();
  for (auto _ : state) {
    wakeFluid(world, 3, kSurface, 3);
    fluidStep(world, kWaterStepInterval);
  }
  state.counters["water_cells"] = static_cast<double>(waterCells(world));
}
BENCHMARK(BM_FluidStepSettledBody)->Unit(benchmark::kMillisecond);

void BM_FluidStepFloodsBody(benchmark::State& state) {
  World world(20261018);
  buildBasin(world);
  for (auto _ : state) {
    state.PauseTiming();
    clearFlowingWater(world);
    wakeFluid(world, 0, kSurface, 0);
    state.ResumeTiming();
    fluidStep(world, kWaterStepInterval);
  }
  state.counters["water_cells"] = static_cast<double>(waterCells(world));
}
BENCHMARK(BM_FluidStepFloodsBody)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zorv
