// Cost of calling into mods: one block event to one handler, one tick to ten mods,
// loading twenty small packages; and how long single library calls inside a script can
// run (the budget counts VM instructions only, so time spent inside C is not counted).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "mods/events.h"
#include "mods/loader.h"
#include "mods/mod_context.h"

namespace zorv {
namespace {

namespace fs = std::filesystem;

class QuietContext : public TestModContext {
 public:
  void log(const std::string&) override {}
};

class Scratch {
 public:
  Scratch() : path_(fs::temp_directory_path() / ("zorv_mods_bench_" + std::to_string(std::random_device{}()))) {
    fs::create_directories(path_);
  }
  ~Scratch() {
    std::error_code error;
    fs::remove_all(path_, error);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Sends standard output (the "mod: ... loaded" lines) to /dev/null while alive.
class SilencedStdout {
 public:
  SilencedStdout() : saved_(dup(STDOUT_FILENO)) {
    std::fflush(stdout);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  ~SilencedStdout() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }

 private:
  int saved_;
};

// Loads `count` packages that all run `script`.
void loadCopies(ModHost& host, const Scratch& scratch, ModContext& context, int count, const std::string& script) {
  const fs::path mods = scratch.path() / "mods";
  fs::create_directories(mods);
  for (int i = 0; i < count; ++i) writeArchive(mods / ("m" + std::to_string(100 + i) + ".zip"), {{"main.lua", script}});
  SilencedStdout silenced;
  loadMods(host, mods, &context);
}

void BM_BlockEventToOneHandler(benchmark::State& state) {
  Scratch scratch;
  QuietContext context;
  ModHost host;
  loadCopies(host, scratch, context, 1,
             "on_block_break(function(e) if e.block == 'zorvander:grass' then e.cancelled = true end end)");
  for (auto _ : state) benchmark::DoNotOptimize(blockBreak(host, 1, 2, 3, "zorvander:stone", "tester", 1));
}
BENCHMARK(BM_BlockEventToOneHandler);

void BM_TickToTenMods(benchmark::State& state) {
  Scratch scratch;
  QuietContext context;
  ModHost host;
  loadCopies(host, scratch, context, 10, "elapsed = 0 on_tick(function(dt) elapsed = elapsed + dt end)");
  for (auto _ : state) tick(host, 0.05);
}
BENCHMARK(BM_TickToTenMods);

void BM_LoadTwentyPackages(benchmark::State& state) {
  Scratch scratch;
  QuietContext context;
  ModHost host;
  const std::string script =
      "local count = 0\n"
      "on_block_break(function(e) count = count + 1 end)\n"
      "zorv.register_command('count', function() return count end)\n";
  loadCopies(host, scratch, context, 20, script);
  {
    SilencedStdout silenced;
    for (auto _ : state) loadMods(host, scratch.path() / "mods", &context);
  }
  state.counters["mods"] = static_cast<double>(host.mods.size());
}
BENCHMARK(BM_LoadTwentyPackages)->Unit(benchmark::kMillisecond);

// One command that makes a single library call; the time is what one call can take.
void libraryCall(benchmark::State& state, const char* body) {
  Scratch scratch;
  QuietContext context;
  ModHost host;
  loadCopies(host, scratch, context, 1, std::string("zorv.register_command('probe', function() ") + body + " end)");
  std::string reply;
  for (auto _ : state) runModCommand(host, "probe", "", "tester", reply);
  state.SetLabel(reply.substr(0, 40));
}
BENCHMARK_CAPTURE(libraryCall, rep_30MiB, "return #string.rep('x', 30 * 1024 * 1024)")
    ->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(libraryCall, concat_4M, "local t = {} for i = 1, 40000 do t[i] = 'abcdefgh' end "
                  "local s = table.concat(t) for i = 1, 5 do s = s .. s end return #s")
    ->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(libraryCall, find_backtrack_200, "local s = string.rep('a', 200) "
                  "return tostring(s:find('.-.-.-b'))")
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(libraryCall, find_greedy_20k, "local s = string.rep('a', 20000) "
                  "return tostring(s:find('a*b'))")
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(libraryCall, gsub_trim_200k, "local s = ' ' .. string.rep('a ', 100000) "
                  "return #s:gsub('^%s*(.-)%s*$', '%1')")
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(libraryCall, sort_40k, "local t = {} for i = 1, 40000 do t[i] = (i * 7919) % 40000 end "
                  "table.sort(t) return t[1]")
    ->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace zorv
