// Meshing throughput over generated, lit terrain: every chunk of an 8 × 8-column area,
// snapshotted once, then meshed from the snapshots on one thread.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "world/light.h"
#include "world/mesh_merge.h"
#include "world/mesher.h"
#include "world/world.h"

namespace zorv {
namespace {

std::vector<std::unique_ptr<ChunkSnapshot>> snapshotArea() {
  constexpr int kSide = 8;
  World world(20261018);
  for (int cz = 0; cz < kSide; ++cz) {
    for (int cx = 0; cx < kSide; ++cx) ensureColumn(world, cx, cz);
  }
  while (!world.relightQueue.empty()) processRelightQueue(world, 64);
  std::vector<std::unique_ptr<ChunkSnapshot>> snapshots;
  for (int cz = 0; cz < kSide; ++cz) {
    for (int cx = 0; cx < kSide; ++cx) {
      for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) {
        snapshots.push_back(std::make_unique<ChunkSnapshot>());
        takeChunkSnapshot(world, {cx, cy, cz}, *snapshots.back());
      }
    }
  }
  return snapshots;
}

void BM_MeshGeneratedChunks(benchmark::State& state) {
  const std::vector<std::unique_ptr<ChunkSnapshot>> snapshots = snapshotArea();
  std::size_t quads = 0;
  for (auto _ : state) {
    for (const auto& snapshot : snapshots) {
      const ChunkMesh mesh = buildChunkMesh(*snapshot);
      quads += (mesh.main.indices.size() + mesh.water.indices.size()) / 6;
      benchmark::DoNotOptimize(mesh.main.vertices.data());
      benchmark::DoNotOptimize(mesh.water.vertices.data());
    }
  }
  const double chunks = static_cast<double>(snapshots.size()) * static_cast<double>(state.iterations());
  state.counters["quads_per_second"] = benchmark::Counter(static_cast<double>(quads), benchmark::Counter::kIsRate);
  state.counters["chunks_per_second"] = benchmark::Counter(chunks, benchmark::Counter::kIsRate);
  state.counters["quads_per_pass"] = static_cast<double>(quads) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_MeshGeneratedChunks)->Unit(benchmark::kMillisecond);

// The merge pass the streamer runs after meshing, and how many quads it leaves.
void BM_MergeGeneratedChunks(benchmark::State& state) {
  const std::vector<std::unique_ptr<ChunkSnapshot>> snapshots = snapshotArea();
  std::vector<ChunkMesh> meshes;
  std::size_t before = 0, after = 0;
  for (const auto& snapshot : snapshots) {
    meshes.push_back(buildChunkMesh(*snapshot));
    before += (meshes.back().main.indices.size() + meshes.back().water.indices.size()) / 6;
  }
  for (auto _ : state) {
    after = 0;
    for (const ChunkMesh& mesh : meshes) {
      ChunkMesh merged = mesh;
      mergeCoplanarQuads(merged);
      after += (merged.main.indices.size() + merged.water.indices.size()) / 6;
      benchmark::DoNotOptimize(merged.main.vertices.data());
    }
  }
  state.counters["quads_before"] = static_cast<double>(before);
  state.counters["quads_after"] = static_cast<double>(after);
  state.counters["chunks_per_second"] =
      benchmark::Counter(static_cast<double>(meshes.size()) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MergeGeneratedChunks)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zorv
