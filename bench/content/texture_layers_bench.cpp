// Start-up cost of the texture layers: painting every built-in tile, and reading a
// zip pack that replaces every tile.

#include <benchmark/benchmark.h>
#include <stb_image_write.h>
#include <unistd.h>
#include <zip.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "content/procedural_textures.h"
#include "content/resource_packs.h"

namespace zorv {
namespace {

namespace fs = std::filesystem;

// Level-0 texels of all 58 built-in layers at the layer size given as the argument.
void BM_PaintBuiltinLayers(benchmark::State& state) {
  const int layerSize = static_cast<int>(state.range(0));
  const LayerImages none;
  for (auto _ : state) {
    for (int layer = 0; layer < kBuiltinTileCount; ++layer) benchmark::DoNotOptimize(layerTexels(none, layer, layerSize));
  }
  state.SetItemsProcessed(state.iterations() * kBuiltinTileCount * layerSize * layerSize);
}
BENCHMARK(BM_PaintBuiltinLayers)->Arg(16)->Arg(256)->Unit(benchmark::kMillisecond);

void appendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(context);
  out->insert(out->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
}

// A zip pack with a 64 × 64 PNG for every built-in tile, decoded into layer images.
void BM_BuildLayerImagesFromZipPack(benchmark::State& state) {
  const fs::path dir = fs::temp_directory_path() / ("zorv_bench_pack_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::vector<std::vector<std::uint8_t>> images;
  {
    int error = 0;
    zip_t* archive = zip_open((dir / "all.zip").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    const TileTable& tiles = blockRegistry().tiles();
    images.reserve(tiles.names.size());
    for (std::size_t i = 0; i < tiles.names.size(); ++i) {
      std::vector<std::uint8_t> pixels(64 * 64 * 4);
      for (std::size_t p = 0; p < pixels.size(); ++p) pixels[p] = static_cast<std::uint8_t>(p * 7 + i * 13);
      images.emplace_back();
      stbi_write_png_to_func(appendBytes, &images.back(), 64, 64, 4, pixels.data(), 64 * 4);
      zip_source_t* source = zip_source_buffer(archive, images.back().data(), images.back().size(), 0);
      zip_file_add(archive, ("textures/block/" + tiles.names[i] + ".png").c_str(), source, 0);
    }
    zip_close(archive);
  }
  // The per-pack report line would drown the benchmark's own output.
  std::fflush(stdout);
  const int savedStdout = ::dup(1);
  std::FILE* devNull = std::fopen("/dev/null", "w");
  ::dup2(::fileno(devNull), 1);
  for (auto _ : state) benchmark::DoNotOptimize(buildLayerImages(dir, dir / "no_assets"));
  std::fflush(stdout);
  ::dup2(savedStdout, 1);
  ::close(savedStdout);
  std::fclose(devNull);
  fs::remove_all(dir);
}
BENCHMARK(BM_BuildLayerImagesFromZipPack)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zorv
