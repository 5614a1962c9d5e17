// Region flushing against zlib alone, column loading from a full region, and a level save
// with 50,000 edits.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <zlib.h>

#include <random>

#include "persist/level_save.h"
#include "persist/region_file.h"

namespace zorv {
namespace {

// Terrain-like content: bedrock, stone with scattered ores and caves, dirt, grass, air.
ColumnSnapshot terrainColumn(int cx, int cz) {
  std::mt19937 random(static_cast<unsigned>(cx * 7919 + cz));
  ColumnSnapshot column{cx, cz, std::vector<std::uint16_t>(kSnapshotBlocks, 0), {}};
  for (int bz = 0; bz < 16; ++bz) {
    for (int bx = 0; bx < 16; ++bx) {
      const int surface = 20 + static_cast<int>(random() % 20);
      for (int y = -48; y <= surface; ++y) {
        std::uint16_t id = y == -48 ? 20 : y == surface ? 1 : y > surface - 4 ? 2 : 3;
        const auto roll = static_cast<unsigned>(random() % 100);
        if (id == 3 && roll < 2) id = static_cast<std::uint16_t>(15 + roll);
        if (id == 3 && roll >= 95) id = 0;
        column.blocks[static_cast<std::size_t>((y + 48) * 256 + bz * 16 + bx)] = id;
      }
    }
  }
  column.fluidLevels = {{cx * 16, 30, cz * 16, 3}};
  return column;
}

std::vector<ColumnSnapshot> regionOfColumns(int count) {
  std::vector<ColumnSnapshot> columns;
  for (int i = 0; i < count; ++i) columns.push_back(terrainColumn(i % 32, i / 32));
  return columns;
}

std::filesystem::path scratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zorv_bench_XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

void BM_ZlibCompress100Columns(benchmark::State& state) {
  std::vector<std::vector<std::uint8_t>> serialised;
  for (const ColumnSnapshot& column : regionOfColumns(100)) serialised.push_back(serializeColumn(column));
  std::vector<std::uint8_t> out(compressBound(static_cast<uLong>(serialised[0].size() + 64)));
  for (auto _ : state) {
    for (const auto& data : serialised) {
      uLongf size = static_cast<uLongf>(out.size());
      compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), Z_DEFAULT_COMPRESSION);
      benchmark::DoNotOptimize(size);
    }
  }
}
BENCHMARK(BM_ZlibCompress100Columns)->Unit(benchmark::kMillisecond);

// Flushing into a region file that does not exist yet (range 0) or that already holds the
// same 100 columns, which are read, inflated and merged first (range 1).
void BM_Flush100Columns(benchmark::State& state) {
  const std::filesystem::path folder = scratchFolder();
  const std::vector<ColumnSnapshot> columns = regionOfColumns(100);
  const bool merge = state.range(0) == 1;
  if (merge) flushColumnsTo(folder, columns);
  for (auto _ : state) {
    if (!merge) {
      state.PauseTiming();
      std::filesystem::remove(regionPathIn(folder, 0, 0));
      state.ResumeTiming();
    }
    if (!flushColumnsTo(folder, columns)) state.SkipWithError("flush failed");
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_Flush100Columns)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The usual autosave: two changed columns merged into a region file of 300 stored ones,
// which are checked but not compressed again.
void BM_FlushTwoColumnsIntoStoredRegion(benchmark::State& state) {
  const std::filesystem::path folder = scratchFolder();
  const std::vector<ColumnSnapshot> stored = regionOfColumns(300);
  flushColumnsTo(folder, stored);
  const std::vector<ColumnSnapshot> changed(stored.begin(), stored.begin() + 2);
  for (auto _ : state) {
    if (!flushColumnsTo(folder, changed)) state.SkipWithError("flush failed");
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_FlushTwoColumnsIntoStoredRegion)->Unit(benchmark::kMillisecond);

void BM_LoadColumnFromFullRegion(benchmark::State& state) {
  const std::filesystem::path folder = scratchFolder();
  flushColumnsTo(folder, regionOfColumns(1024));
  ColumnSnapshot column;
  for (auto _ : state) {
    if (!loadColumnFrom(folder, 17, 9, column)) state.SkipWithError("load failed");
  }
  state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(regionPathIn(folder, 0, 0)));
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LoadColumnFromFullRegion)->Unit(benchmark::kMillisecond);

void BM_LevelSaveAndLoad50000Edits(benchmark::State& state) {
  const std::filesystem::path folder = scratchFolder();
  setSavesRoot(folder);
  LevelSave save;
  save.hasPlayer = true;
  save.edits.resize(50000);
  for (std::size_t i = 0; i < save.edits.size(); ++i) {
    save.edits[i] = {static_cast<std::int32_t>(i % 997), static_cast<std::int32_t>(i % 112) - 48,
                     static_cast<std::int32_t>(i / 997), static_cast<std::uint16_t>(i % 20), 255};
  }
  LevelSave loaded;
  for (auto _ : state) {
    if (!writeLevel("Bench", save) || !readLevel("Bench", loaded)) state.SkipWithError("save or load failed");
  }
  setSavesRoot({});
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LevelSaveAndLoad50000Edits)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zorv
