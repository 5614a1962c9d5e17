// Cost of writing one 1280 × 720 screenshot (row conversion, statistics, deflate,
// chunks and the file), from a frame with smooth gradients and some noise.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "render/png_writer.h"

namespace zorv {
namespace {

void BM_WritePng1280x720(benchmark::State& state) {
  constexpr std::uint32_t kWidth = 1280, kHeight = 720;
  std::vector<std::uint8_t> pixels(std::size_t{kWidth} * kHeight * 4);
  std::uint32_t noise = 12345;
  for (std::uint32_t y = 0; y < kHeight; ++y)
    for (std::uint32_t x = 0; x < kWidth; ++x) {
      noise = noise * 1664525u + 1013904223u;
      std::uint8_t* p = &pixels[(std::size_t{y} * kWidth + x) * 4];
      p[0] = static_cast<std::uint8_t>(x / 6 + (noise >> 29));
      p[1] = static_cast<std::uint8_t>(y / 3);
      p[2] = static_cast<std::uint8_t>(200 - y / 4);
      p[3] = 255;
    }
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("zorv_bench_" + std::to_string(::getpid()) + ".png");
  const ScreenshotMetadata metadata{"Zorvander 0.1.0", "benchmark frame\nseed 20261018"};
  std::fflush(stdout);
  const int savedStdout = ::dup(1);
  std::FILE* devNull = std::fopen("/dev/null", "w");
  ::dup2(::fileno(devNull), 1);  // keeps the "capture:" lines out of the report
  for (auto _ : state) benchmark::DoNotOptimize(writePng(path, kWidth, kHeight, pixels.data(), true, metadata));
  std::fflush(stdout);
  ::dup2(savedStdout, 1);
  ::close(savedStdout);
  std::fclose(devNull);
  state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
  std::filesystem::remove(path);
}
BENCHMARK(BM_WritePng1280x720)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zorv
