// Columns generated per second, village building and edit replay included.

#include <benchmark/benchmark.h>

#include "world/terrain.h"
#include "world/world.h"

namespace zorv {
namespace {

constexpr std::int32_t kSeed = 20261018;

// Walks a long strip of fresh columns; the world is dropped every 256 columns so
// memory stays flat, outside the timed part.
void BM_GenerateColumn(benchmark::State& state) {
  World world(kSeed);
  int generated = 0;
  for (auto _ : state) {
    generateColumn(world, generated % 64, generated / 64);
    if (++generated % 256 == 0) {
      state.PauseTiming();
      world.chunks.clear();
      world.relightQueue.clear();
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("items = columns");
}
BENCHMARK(BM_GenerateColumn)->Unit(benchmark::kMicrosecond);

void BM_TerrainHeight(benchmark::State& state) {
  int x = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(terrainHeight(kSeed, x, x * 3));
    ++x;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TerrainHeight);

}  // namespace
}  // namespace zorv
