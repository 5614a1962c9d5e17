#include "checks/net_test.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "net/session.h"
#include "world/types.h"
#include "world/world.h"

namespace zorv {
namespace {

constexpr const char* kHostName = "HostTest";
constexpr const char* kClientName = "Tester";
constexpr float kSpawnX = 10, kSpawnY = 30, kSpawnZ = 10;

// Edit i at (i, 20, 2i): stone, no fluid level.
std::vector<BlockEdit> worldEdits() {
  std::vector<BlockEdit> edits(kNetTestEdits);
  for (std::size_t i = 0; i < edits.size(); ++i) {
    const auto n = static_cast<std::int32_t>(i);
    edits[i] = {n, 20, 2 * n, blocks::Stone, 255};
  }
  return edits;
}

// The host's side of a join: welcome, the whole edit list, the player list, ready.
void welcomeJoiner(NetSession& host, std::int32_t playerId, const std::vector<BlockEdit>& edits) {
  WelcomeMessage welcome;
  welcome.seed = kNetTestSeed;
  welcome.spawnX = kSpawnX;
  welcome.spawnY = kSpawnY;
  welcome.spawnZ = kSpawnZ;
  welcome.timeOfDay = 0.25f;
  welcome.hostName = kHostName;
  sendWelcome(host, playerId, welcome);
  sendEditsTo(host, playerId, edits);
  sendPlayerInfoTo(host, playerId, {1, kHostName});
  sendReady(host, playerId);
}

}  // namespace

NetTestOutcome runNetExchange(unsigned port) {
  NetTestOutcome outcome;
  NetSession host, client;
  std::string error;
  const auto udpPort = static_cast<std::uint16_t>(port);
  if (!startHost(host, udpPort, error)) {
    outcome.startError = "nettest: host failed: " + error;
    return outcome;
  }
  if (!connect(client, loopbackEndpoint(udpPort), kClientName, error)) {
    outcome.startError = "nettest: client failed: " + error;
    shutdown(host);
    return outcome;
  }
  outcome.started = true;
  const std::vector<BlockEdit> edits = worldEdits();
  outcome.editsSent = edits.size();
  World clientWorld(kNetTestSeed);
  bool editSent = false;

  const auto loopStart = std::chrono::steady_clock::now();
  for (outcome.iterations = 1; outcome.iterations <= kNetTestMaxIterations; ++outcome.iterations) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    pump(host);
    for (const SessionEvent& event : takeEvents(host)) {
      if (event.kind == SessionEventKind::JoinRequested) {
        outcome.joined = true;
        welcomeJoiner(host, event.playerId, edits);
      } else if (event.kind == SessionEventKind::EditRequested) {
        outcome.editRequest = true;
      }
    }
    pump(client);
    for (const SessionEvent& event : takeEvents(client)) {
      if (event.kind == SessionEventKind::Welcomed) {
        const WelcomeMessage& w = event.welcome;
        outcome.welcomed = outcome.welcomed || (w.seed == static_cast<std::uint32_t>(kNetTestSeed) &&
                                                w.spawnX == kSpawnX && w.spawnY == kSpawnY && w.spawnZ == kSpawnZ);
      } else if (event.kind == SessionEventKind::EditsReceived) {
        for (const BlockEdit& edit : event.edits) setBlock(clientWorld, edit.x, edit.y, edit.z, edit.block);
        outcome.editsReceived += event.edits.size();
      } else if (event.kind == SessionEventKind::WorldReady) {
        outcome.ready = true;
      }
    }
    if (outcome.welcomed && outcome.ready && !editSent) {
      requestEdit(client, {12, 31, 12, blocks::Planks, 0, 0});
      editSent = true;
    }
    if (outcome.joined && outcome.welcomed && outcome.ready && outcome.editRequest &&
        outcome.editsReceived == outcome.editsSent) {
      break;
    }
  }
  outcome.iterations = std::min(outcome.iterations, kNetTestMaxIterations);
  outcome.loopSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - loopStart).count();

  const BlockEdit& last = edits.back();
  ensureColumn(clientWorld, chunkCoord(last.x), chunkCoord(last.z));
  outcome.world = getBlock(clientWorld, last.x, last.y, last.z) == blocks::Stone;
  const bool passed = outcome.joined && outcome.welcomed && outcome.ready && outcome.editRequest &&
                      outcome.editsReceived == outcome.editsSent && outcome.world;
  outcome.failures = passed ? 0 : 1;
  shutdown(client);
  shutdown(host);
  return outcome;
}

int runNetTest(std::FILE* out) {
  const NetTestOutcome outcome = runNetExchange(kNetTestPort);
  if (!outcome.started) {
    std::fprintf(out, "%s\n", outcome.startError.c_str());
    return 1;
  }
  std::fprintf(out, "nettest: joined=%d welcomed=%d ready=%d edits=%zu/%zu editRequest=%d world=%d failures=%d\n",
               outcome.joined, outcome.welcomed, outcome.ready, outcome.editsReceived, outcome.editsSent,
               outcome.editRequest, outcome.world, outcome.failures);
  std::fflush(out);
  return outcome.failures;
}

}  // namespace zorv
