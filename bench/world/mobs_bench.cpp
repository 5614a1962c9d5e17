// One mob step for 200 mobs of every kind on generated terrain around a survival player.

#include <benchmark/benchmark.h>

#include "world/mobs.h"
#include "world/terrain.h"
#include <algorithm>

namespace zorv {
namespace {

void BM_UpdateMobs(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  World world(20261018);
  const Vec3 centre{24.5f, 0.0f, 24.5f};
  ensureColumnsAround(world, 24, 24, 3);
  std::vector<Mob> mobs;
  for (std::uint32_t seed = 1; mobs.size() < count && seed < 64; ++seed) {
    for (Mob& mob : spawnMobs(world, seed, 40, centre)) mobs.push_back(mob);
  }
  mobs.resize(std::min(mobs.size(), count));
  // Every kind takes part: slimes circle, zombies chase, villagers walk home, pigs wander.
  for (std::size_t i = 0; i < mobs.size(); ++i) mobs[i].kind = static_cast<std::uint8_t>(i % kMobKinds);
  const std::vector<PlayerTarget> players = {
      {centre.x, static_cast<float>(surfaceHeight(world, 24, 24)) + 2.62f, centre.z, 1}};
  seedWanderRandom(1);

  for (auto _ : state) {
    updateMobs(world, mobs, 1.0f / 60.0f, players);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(mobs.size()));
  state.counters["mobs"] = static_cast<double>(mobs.size());
}
BENCHMARK(BM_UpdateMobs)->Arg(200)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zorv
