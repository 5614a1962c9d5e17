// Throughput of whole-column relights over settled generated terrain.

#include <benchmark/benchmark.h>

#include "world/light.h"
#include "world/terrain.h"

namespace zorv {
namespace {

void BM_RelightColumn(benchmark::State& state) {
  constexpr int kSide = 8;
  World world(20261018);
  for (int cz = 0; cz < kSide; ++cz) {
    for (int cx = 0; cx < kSide; ++cx) ensureColumn(world, cx, cz);
  }
  for (int cz = 0; cz < kSide; ++cz) {
    for (int cx = 0; cx < kSide; ++cx) queueRelight(world, cx, cz);
  }
  processRelightQueue(world, 4096);
  world.remeshSet.clear();

  for (auto _ : state) {
    for (int cz = 0; cz < kSide; ++cz) {
      for (int cx = 0; cx < kSide; ++cx) relightColumn(world, cx, cz);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
  state.counters["requeued"] = static_cast<double>(world.relightQueue.size());
}
BENCHMARK(BM_RelightColumn)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zorv
