// Chunk snapshots on the game thread, and streaming a fresh world up to render distance 8
// at 60 frames a second: how many frames it takes and what one update costs.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <time.h>

#include "null_renderer.h"
#include "world/light.h"
#include "client/streamer.h"
#include "world/terrain.h"

namespace zorv {
namespace {

constexpr std::int32_t kSeed = 20261018;

void BM_TakeChunkSnapshot(benchmark::State& state) {
  World world(kSeed);
  ensureColumnsAround(world, 8, 8, 1);
  processRelightQueue(world, 4096);
  auto snapshot = std::make_unique<ChunkSnapshot>();
  for (auto _ : state) {
    for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) {
      takeChunkSnapshot(world, {0, cy, 0}, *snapshot);
      benchmark::DoNotOptimize(snapshot->blocks.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * kChunksPerColumn);
  state.counters["us_per_chunk"] = benchmark::Counter(
      static_cast<double>(state.iterations() * kChunksPerColumn) * 1e-6,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_TakeChunkSnapshot)->Unit(benchmark::kMicrosecond);

// Takes meshes and forgets them; the streamer only needs somewhere to send them.
class CountingRenderer : public NullRenderer {
 public:
  int uploads = 0;
  void uploadChunkMesh(const ChunkKey&, const Mesh&) override { ++uploads; }
};

// CPU time of the calling thread: on a busy machine the wall time of an update also
// counts the time other processes held the core.
double threadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

double percentile99(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() * 99 / 100];
}

// From an empty world to every chunk within render distance 8 resident (17 × 17 columns
// of 7 chunks = 2,023; at 8 uploads a frame at least 253 frames).
void BM_StreamToRenderDistance8(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  constexpr auto kFrame = std::chrono::microseconds(16667);
  constexpr std::size_t kAll = 17u * 17u * 7u;
  std::vector<double> updateMs, updateCpuMs;
  for (auto _ : state) {
    World world(kSeed);
    ChunkStreamer streamer;
    streamer.setRenderDistance(8);
    CountingRenderer renderer;
    updateMs.clear();
    updateCpuMs.clear();
    while (streamer.residentCount() < kAll && updateMs.size() < 2000) {
      const Clock::time_point start = Clock::now();
      const double cpuStart = threadCpuMs();
      streamer.update(world, renderer, {8.0f, 40.0f, 8.0f});
      updateMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      updateCpuMs.push_back(threadCpuMs() - cpuStart);
      std::this_thread::sleep_until(start + kFrame);
    }
    streamer.shutdown();
  }
  state.counters["frames"] = static_cast<double>(updateMs.size());
  state.counters["p99_update_ms"] = percentile99(updateMs);
  state.counters["p99_update_cpu_ms"] = percentile99(updateCpuMs);
  state.counters["max_update_ms"] = *std::max_element(updateMs.begin(), updateMs.end());
}
BENCHMARK(BM_StreamToRenderDistance8)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
}  // namespace zorv
