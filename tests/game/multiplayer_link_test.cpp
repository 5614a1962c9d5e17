// A host and a client game on loop-back UDP in one process, both sending through a link
// that loses, duplicates and reorders datagrams: the client must still end with the
// host's world, whether the edits came with the join, were made by the host during play
// or were asked for by the client.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "game/multiplayer.h"
#include "session_test_support.h"
#include "world/registry.h"
#include "game/world_life_cycle.h"

namespace zorv {
namespace {

// Replaces a session's sending: 30 % of datagrams are lost, 10 % go twice, and 20 % are
// held back until the next frame, behind later ones.
class ImpairedSender {
 public:
  ImpairedSender(NetSession& session, std::uint32_t seed) : session_(session), random_(seed) {
    session.transmitHook = [this](const Endpoint& to, ByteView datagram) { impair(to, datagram); };
  }
  ~ImpairedSender() { session_.transmitHook = nullptr; }
  void releaseHeld() {
    for (const auto& [to, bytes] : std::exchange(held_, {})) session_.socket.sendTo(to, bytes);
  }
  int lost = 0, duplicated = 0, reordered = 0;

 private:
  void impair(const Endpoint& to, ByteView datagram) {
    if (chance_(random_) < 0.30) {
      ++lost;
      return;
    }
    if (chance_(random_) < 0.20) {
      ++reordered;
      held_.emplace_back(to, Bytes(datagram.begin(), datagram.end()));
      return;
    }
    session_.socket.sendTo(to, datagram);
    if (chance_(random_) < 0.10) {
      ++duplicated;
      session_.socket.sendTo(to, datagram);
    }
  }
  NetSession& session_;
  std::mt19937 random_;
  std::uniform_real_distribution<double> chance_{0.0, 1.0};
  std::vector<std::pair<Endpoint, Bytes>> held_;
};

struct LinkedGames {
  testing::TemporarySaves saves;
  GameSession host, client;
  std::unique_ptr<ImpairedSender> hostLink, clientLink;

  LinkedGames() {
    std::string error;
    EXPECT_TRUE(startHost(host.net, 0, error)) << error;
    host.networkRole = RoleHost;
    host.localPlayerId = 1;
    host.networkPlayerName = "Hoster";
    createWorld(host, 20261209, "Linked");
    EXPECT_TRUE(connect(client.net, loopbackEndpoint(host.net.socket.localPort()), "Guest", error)) << error;
    client.networkRole = RoleClient;
    hostLink = std::make_unique<ImpairedSender>(host.net, 1);
    clientLink = std::make_unique<ImpairedSender>(client.net, 2);
  }

  void frame() {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    hostLink->releaseHeld();
    clientLink->releaseHeld();
    updateMultiplayer(host, 0.02f);
    updateMultiplayer(client, 0.02f);
  }
  bool runUntil(const std::function<bool()>& done, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      frame();
    }
    return true;
  }
  // Every reliable message of both sides acknowledged, nothing left queued.
  bool settled() const {
    const Peer& toClient = host.net.peers.front();
    const PeerLink& toHost = client.net.server.link;
    return toClient.link.inFlight.empty() && toClient.link.sendQueue.empty() && toHost.inFlight.empty() &&
           toHost.sendQueue.empty();
  }
};

BlockId blockAt(GameSession& session, int x, int y, int z) {
  ensureColumn(*session.world, chunkCoord(x), chunkCoord(z));
  return getBlock(*session.world, x, y, z);
}

TEST(MultiplayerLink, ClientEndsWithTheHostsWorldOverALossyDuplicatingReorderingLink) {
  LinkedGames games;
  GameSession& host = games.host;
  GameSession& client = games.client;
  const int sx = static_cast<int>(std::floor(host.spawnPoint.x));
  const int sz = static_cast<int>(std::floor(host.spawnPoint.z));
  // Recorded before the join: 600 edits, ten edit batches.
  for (int i = 0; i < 600; ++i) setBlock(*host.world, sx - 30 + i % 60, 62, sz - 5 + i / 60, blocks::Bricks);

  ASSERT_TRUE(games.runUntil([&] { return client.appState == AppPlaying; }, 20.0));
  EXPECT_EQ(blockAt(client, sx - 30, 62, sz - 5), blocks::Bricks);  // the edit list came before Ready
  EXPECT_EQ(blockAt(client, sx + 29, 62, sz + 4), blocks::Bricks);

  // The host builds while the client asks for blocks around itself.
  for (int i = 0; i < 200; ++i) setBlock(*host.world, sx - 10 + i % 20, 61, sz - 5 + i / 20, blocks::Planks);
  games.runUntil([] { return false; }, 0.3);  // the host learns where the client stands
  const int cx = static_cast<int>(std::floor(client.player.x));
  const int cy = static_cast<int>(std::floor(client.player.y)) + 3;
  const int cz = static_cast<int>(std::floor(client.player.z));
  std::vector<std::array<int, 3>> asked;
  for (int dx = -2; dx <= 2; ++dx) {
    for (int dz = -2; dz <= 2; ++dz) {
      asked.push_back({cx + dx, cy, cz + dz});
      setBlock(*client.world, cx + dx, cy, cz + dz, blocks::Cobblestone);
      requestEdit(client.net, {cx + dx, cy, cz + dz, blocks::Cobblestone, ModeCreative, 0});
    }
  }
  ASSERT_TRUE(games.runUntil([&] { return games.settled(); }, 30.0));
  games.runUntil([] { return false; }, 0.2);

  EXPECT_GT(games.hostLink->lost + games.clientLink->lost, 0);
  EXPECT_GT(games.hostLink->duplicated, 0);
  EXPECT_GT(games.hostLink->reordered, 0);
  ASSERT_EQ(client.appState, AppPlaying);
  ASSERT_EQ(host.remotePlayers.size(), 1u);
  int mismatches = 0;
  for (const auto& [key, id] : host.world->edits) {
    const int x = blockKeyX(key), y = blockKeyY(key), z = blockKeyZ(key);
    mismatches += blockAt(client, x, y, z) != getBlock(*host.world, x, y, z) ? 1 : 0;
  }
  for (const auto& cell : asked) {
    EXPECT_EQ(blockAt(client, cell[0], cell[1], cell[2]), blockAt(host, cell[0], cell[1], cell[2]));
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GE(host.world->edits.size(), 800u);
  EXPECT_EQ(getBlock(*host.world, cx, cy, cz), blocks::Cobblestone);
}

}  // namespace
}  // namespace zorv
