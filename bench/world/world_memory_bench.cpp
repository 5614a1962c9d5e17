// Heap bytes a loaded column costs: chunk storage plus the chunk map's own nodes.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include "world/terrain.h"
#include "world/world.h"

namespace zorv {
namespace {

std::size_t heapInUse() { return mallinfo2().uordblks; }

void BM_LoadedColumnMemory(benchmark::State& state) {
  constexpr int kSide = 8;
  double bytesPerColumn = 0.0;
  for (auto _ : state) {
    World world(20261018);
    const std::size_t before = heapInUse();
    for (int cz = 0; cz < kSide; ++cz) {
      for (int cx = 0; cx < kSide; ++cx) ensureColumn(world, cx, cz);
    }
    bytesPerColumn = static_cast<double>(heapInUse() - before) / (kSide * kSide);
    benchmark::DoNotOptimize(world.chunks.size());
  }
  state.counters["bytes_per_column"] = bytesPerColumn;
  state.counters["chunk_storage_per_column"] = static_cast<double>(kChunksPerColumn * sizeof(Chunk));
}
BENCHMARK(BM_LoadedColumnMemory)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zorv
