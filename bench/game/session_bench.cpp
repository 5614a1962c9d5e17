// The session's per-frame cost and the cost of creating a world, both without a renderer.
// The in-world step runs on a generated world with 40 mobs, 100 drops and 200 particles,
// restored before every step so that the load stays the same; its mean and 99th
// percentile are reported as counters.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "client/client_session.h"
#include "game/game_session.h"
#include "persist/level_save.h"
#include "temporary_saves.h"
#include "game/world_life_cycle.h"
#include "game/player_rules.h"
#include "client/minimap.h"

namespace zorv {
namespace {

constexpr std::uint32_t kSeed = 20261018;

// Silences the "[log]" echo of the session's messages while a benchmark runs.
struct QuietStdout {
  QuietStdout() {
    std::fflush(stdout);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::close(null);
  }
  ~QuietStdout() {
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
  }
  const int saved = ::dup(STDOUT_FILENO);
};

void fillEntities(ClientSession& session) {
  const Vec3 spawn = session.spawnPoint;
  std::vector<Mob> mobs = session.mobs;
  mobs.resize(std::min<std::size_t>(mobs.size(), 40));
  for (std::size_t i = mobs.size(); i < 40; ++i) {
    Mob mob;
    mob.kind = static_cast<std::uint8_t>(i % kMobKinds);
    mob.health = mobKindInfo(mob.kind).health;
    mob.x = spawn.x + static_cast<float>(i % 8) * 2.0f - 8.0f;
    mob.y = spawn.y;
    mob.z = spawn.z + static_cast<float>(i / 8) * 2.0f - 5.0f;
    mob.homeX = mob.x, mob.homeY = mob.y, mob.homeZ = mob.z;
    mobs.push_back(mob);
  }
  session.mobs = mobs;
  session.drops.clear();
  for (int i = 0; i < 100; ++i) {
    Drop drop;
    drop.x = spawn.x + static_cast<float>(i % 10) * 1.5f - 7.0f;
    drop.y = spawn.y;
    drop.z = spawn.z + static_cast<float>(i / 10) * 1.5f + 3.0f;
    drop.item = static_cast<std::uint16_t>(1 + i % 5);
    drop.count = 1;
    session.drops.push_back(drop);
  }
  session.particles.clear();
  for (int i = 0; i < 200; ++i) {
    Particle particle;
    particle.x = spawn.x, particle.y = spawn.y, particle.z = spawn.z;
    particle.vx = static_cast<float>(i % 7) - 3.0f;
    particle.vy = 4.0f;
    particle.life = particle.totalLife = 0.55f;
    particle.baseSize = 0.1f;
    session.particles.push_back(particle);
  }
  assignEntityIds(session);
}

void BM_InWorldStep(benchmark::State& state) {
  testing::TemporarySaves saves;
  QuietStdout quiet;
  ClientSession session;
  createWorld(session, kSeed, "SessionBench");
  session.appState = AppPlaying;
  session.player.mode = ModeSurvival;
  fillEntities(session);
  const std::vector<Mob> mobs = session.mobs;
  const std::vector<Drop> drops = session.drops;
  const std::vector<Particle> particles = session.particles;
  const Vec3 start{session.player.x, session.player.y, session.player.z};
  std::vector<double> seconds;
  for (auto _ : state) {
    session.mobs = mobs;
    session.drops = drops;
    session.particles = particles;
    session.player.x = start.x, session.player.y = start.y, session.player.z = start.z;
    session.player.health = 20;
    session.appState = AppPlaying;
    const auto begin = std::chrono::steady_clock::now();
    stepWorld(session, 1.0f / 60.0f, MovementKeys{});
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - begin;
    state.SetIterationTime(elapsed.count());
    seconds.push_back(elapsed.count());
  }
  std::sort(seconds.begin(), seconds.end());
  const double mean = std::accumulate(seconds.begin(), seconds.end(), 0.0) / static_cast<double>(seconds.size());
  const std::size_t p99 = std::min(seconds.size() - 1, static_cast<std::size_t>(std::ceil(0.99 * static_cast<double>(seconds.size()))) - 1);
  state.counters["mean_us"] = mean * 1e6;
  state.counters["p99_us"] = seconds[p99] * 1e6;
  state.counters["max_us"] = seconds.back() * 1e6;  // a step that autosaves
  state.counters["mobs"] = static_cast<double>(mobs.size());
  state.counters["drops"] = static_cast<double>(drops.size());
  state.counters["particles"] = static_cast<double>(particles.size());
}
BENCHMARK(BM_InWorldStep)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

void BM_UpdateMinimap(benchmark::State& state) {
  testing::TemporarySaves saves;
  QuietStdout quiet;
  ClientSession session;
  createWorld(session, kSeed, "SessionBench");
  for (auto _ : state) updateMinimap(session);
}
BENCHMARK(BM_UpdateMinimap)->Unit(benchmark::kMicrosecond);

// createWorld without a renderer: spawn search, the columns around the spawn, mobs and
// villagers, and the first lighting.
void BM_CreateWorldHeadless(benchmark::State& state) {
  testing::TemporarySaves saves;
  QuietStdout quiet;
  ClientSession session;
  for (auto _ : state) createWorld(session, kSeed, "SessionBench");
}
BENCHMARK(BM_CreateWorldHeadless)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zorv
