// The dedicated server under load, in this process over loop-back UDP: eight clients that
// speak the protocol walk around the spawn and edit blocks while the server steps; and
// the time from `Hello` to a joining game's first frame in a world of 50,000 edits.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <numeric>
#include <thread>
#include <vector>

#include "server/dedicated_server.h"
#include "game/multiplayer.h"
#include "persist/level_save.h"
#include "temporary_saves.h"

namespace zorv {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLoadClients = 8;
constexpr float kStep = static_cast<float>(kServerStepSeconds);

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// This thread's processor time: the step's own work, without the waits of a busy machine.
double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double percentile99(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, values.size() * 99 / 100)];
}

std::uint16_t freePort() {
  UdpSocket probe;
  probe.open(0);
  return probe.localPort();
}

// A server whose outgoing bytes are counted.
struct CountedServer {
  DedicatedServer server;
  std::size_t bytesSent = 0;

  explicit CountedServer(const char* world) {
    std::string error;
    if (!startDedicatedServer(server, {world, freePort(), "bench"}, error)) {
      std::fprintf(stderr, "bench: %s\n", error.c_str());
    }
    NetSession& net = server.session.net;
    net.transmitHook = [this, &net](const Endpoint& to, ByteView datagram) {
      bytesSent += datagram.size();
      net.socket.sendTo(to, datagram);
    };
  }
  ~CountedServer() {
    server.session.net.transmitHook = nullptr;
    stopDedicatedServer(server);
  }
  std::uint16_t port() const { return server.port; }
};

constexpr float kWalkingSpeed = 4.3f;  // blocks per second

// A protocol-level player: walks a circle around the spawn, or straight away from it into
// terrain the server has to generate, and edits a cell above itself.
struct WalkingClient {
  NetSession net;
  Vec3 centre{};
  float angle = 0.0f;
  bool roaming = false;
  int frames = 0;
  bool ready = false;
  bool placed = false;

  void join(std::uint16_t port, int index) {
    std::string error;
    connect(net, loopbackEndpoint(port), "Walker" + std::to_string(index), error);
    angle = static_cast<float>(index) * 2.0f * 3.14159265f / kLoadClients;
  }
  void frame() {
    pump(net);
    for (const SessionEvent& event : takeEvents(net)) {
      if (event.kind == SessionEventKind::Welcomed) {
        centre = {event.welcome.spawnX, event.welcome.spawnY, event.welcome.spawnZ};
      }
      if (event.kind == SessionEventKind::WorldReady) ready = true;
    }
    if (!ready) return;
    PlayerStateMessage state;
    state.y = centre.y;
    if (roaming) {
      const float distance = 8.0f + kWalkingSpeed * kStep * static_cast<float>(frames);
      state.x = centre.x + distance * std::cos(angle);
      state.z = centre.z + distance * std::sin(angle);
    } else {
      angle += 0.02f;
      state.x = centre.x + 8.0f * std::cos(angle);
      state.z = centre.z + 8.0f * std::sin(angle);
    }
    sendOwnState(net, state);
    if (++frames % 10 != 0) return;  // an edit every half second
    const int x = static_cast<int>(std::floor(state.x)), y = static_cast<int>(std::floor(state.y)) + 3;
    const int z = static_cast<int>(std::floor(state.z));
    requestEdit(net, {x, y, z, placed ? kAir : blocks::Planks, 0, 0});
    placed = !placed;
  }
};

void ServerStepWithEightWalkingClients(benchmark::State& state) {
  testing::TemporarySaves saves;
  CountedServer counted("Load");
  std::vector<WalkingClient> clients(kLoadClients);
  for (int i = 0; i < kLoadClients; ++i) {
    clients[static_cast<std::size_t>(i)].join(counted.port(), i);
    clients[static_cast<std::size_t>(i)].roaming = state.range(0) == 1;
  }
  const Clock::time_point joinStart = Clock::now();
  while (!std::all_of(clients.begin(), clients.end(), [](const WalkingClient& c) { return c.ready; }) &&
         secondsSince(joinStart) < 30.0) {
    for (WalkingClient& client : clients) client.frame();
    stepDedicatedServer(counted.server, kStep);
  }
  counted.bytesSent = 0;
  // Wall times of every step and of those without and with the autosave; processor times.
  std::vector<double> allStepMs, stepMs, saveStepMs, stepCpuMs, saveStepCpuMs;
  for (auto _ : state) {
    for (WalkingClient& client : clients) client.frame();
    const Clock::time_point start = Clock::now();
    const double cpuStart = threadCpuSeconds();
    stepDedicatedServer(counted.server, kStep);
    const double seconds = secondsSince(start);
    state.SetIterationTime(seconds);
    allStepMs.push_back(seconds * 1000.0);
    const bool saved = counted.server.session.autosaveTimer == 0.0;
    (saved ? saveStepCpuMs : stepCpuMs).push_back((threadCpuSeconds() - cpuStart) * 1000.0);
    (saved ? saveStepMs : stepMs).push_back(seconds * 1000.0);
  }
  state.counters["autosave_steps"] = static_cast<double>(saveStepMs.size());
  state.counters["autosave_step_max_ms"] =
      saveStepMs.empty() ? 0.0 : *std::max_element(saveStepMs.begin(), saveStepMs.end());
  const double simulated = static_cast<double>(allStepMs.size()) * kStep;
  state.counters["clients"] = static_cast<double>(counted.server.session.remotePlayers.size());
  state.counters["mobs"] = static_cast<double>(counted.server.session.mobs.size());
  const double totalMs = std::accumulate(allStepMs.begin(), allStepMs.end(), 0.0);
  state.counters["step_mean_ms"] = totalMs / static_cast<double>(allStepMs.size());
  state.counters["step_p99_ms"] = percentile99(allStepMs);
  state.counters["step_p99_ms_without_autosave"] = percentile99(stepMs);
  state.counters["step_cpu_p99_ms_without_autosave"] = percentile99(stepCpuMs);
  state.counters["autosave_step_cpu_max_ms"] =
      saveStepCpuMs.empty() ? 0.0 : *std::max_element(saveStepCpuMs.begin(), saveStepCpuMs.end());
  state.counters["out_bytes_per_s_per_client"] = static_cast<double>(counted.bytesSent) / simulated / kLoadClients;
  state.counters["recorded_edits"] = static_cast<double>(counted.server.session.world->edits.size());
  state.counters["loaded_chunks"] = static_cast<double>(counted.server.session.world->chunks.size());
}
// Range 0: circling the spawn; range 1: walking away from it at walking speed.
BENCHMARK(ServerStepWithEightWalkingClients)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(600)
    ->Unit(benchmark::kMillisecond);

// Real pacing: the server steps 20 times a second, the joining game draws 60 frames.
void JoinWorldWithFiftyThousandEdits(benchmark::State& state) {
  testing::TemporarySaves saves;
  CountedServer counted("Big");
  World& world = *counted.server.session.world;
  const int sx = static_cast<int>(std::floor(counted.server.session.spawnPoint.x));
  const int sz = static_cast<int>(std::floor(counted.server.session.spawnPoint.z));
  for (int i = 0; i < 50000; ++i) setBlock(world, sx - 125 + i % 250, 63, sz - 100 + i / 250, blocks::Bricks);
  takeCapture(world);
  for (int i = 0; i < 40; ++i) stepDedicatedServer(counted.server, kStep);  // relight what it can before timing
  for (auto _ : state) {
    GameSession client;
    std::string error;
    const Clock::time_point start = Clock::now();
    connect(client.net, loopbackEndpoint(counted.port()), "Joiner", error);
    client.networkRole = RoleClient;
    Clock::time_point nextServer = start, nextFrame = start;
    while (client.appState != AppPlaying && secondsSince(start) < 60.0) {
      const Clock::time_point now = Clock::now();
      if (now >= nextServer) {
        stepDedicatedServer(counted.server, kStep);
        nextServer += std::chrono::milliseconds(50);
      }
      if (now >= nextFrame) {
        updateMultiplayer(client, 1.0f / 60.0f);
        nextFrame += std::chrono::microseconds(16667);
      }
      std::this_thread::sleep_until(std::min(nextServer, nextFrame));
    }
    state.SetIterationTime(secondsSince(start));
    state.counters["edits_received"] = static_cast<double>(client.world ? client.world->edits.size() : 0);
    shutdown(client.net);
    for (int i = 0; i < 5; ++i) stepDedicatedServer(counted.server, kStep);
  }
}
BENCHMARK(JoinWorldWithFiftyThousandEdits)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zorv
