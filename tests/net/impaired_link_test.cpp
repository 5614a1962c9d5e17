// The world transfer over a bad link, for real: loop-back UDP through a relay that drops
// 30 % of the datagrams, duplicates 10 % and reorders them. Every edit must still arrive
// exactly once and in order, and neither side may give up on the link.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "net/session.h"

namespace zorv {
namespace {

constexpr std::size_t kEdits = 12000;

// Forwards datagrams between a client (on `front`) and a host (through `back`), impaired.
class ImpairedRelay {
 public:
  explicit ImpairedRelay(std::uint16_t hostPort) : host_(loopbackEndpoint(hostPort)) {
    EXPECT_EQ(front_.open(0), UdpSocket::OpenResult::Ok);
    EXPECT_EQ(back_.open(0), UdpSocket::OpenResult::Ok);
  }
  std::uint16_t clientFacingPort() const { return front_.localPort(); }

  // Moves what waits in both directions; datagrams held back last time go out after
  // this time's, which reorders them.
  void step() {
    relay(front_, back_, heldToHost_, [&](const Endpoint& from) {
      client_ = from;
      return host_;
    });
    relay(back_, front_, heldToClient_, [&](const Endpoint&) { return client_; });
  }

  std::size_t dropped = 0, duplicated = 0, reordered = 0, forwarded = 0;

 private:
  template <class Destination>
  void relay(const UdpSocket& in, const UdpSocket& out, std::vector<std::pair<Endpoint, Bytes>>& held,
             Destination destination) {
    std::vector<std::pair<Endpoint, Bytes>> holdNext;
    std::array<std::uint8_t, kReceiveBufferSize> buffer;
    Endpoint from;
    while (const std::optional<std::size_t> length = in.receiveFrom(buffer, from)) {
      const Endpoint to = destination(from);
      const Bytes datagram(buffer.begin(),
                           buffer.begin() + static_cast<std::ptrdiff_t>(std::min(*length, buffer.size())));
      if (chance_(random_) < 0.30) {
        ++dropped;
        continue;
      }
      const int copies = chance_(random_) < 0.10 ? 2 : 1;
      duplicated += copies - 1;
      for (int copy = 0; copy < copies; ++copy) {
        if (chance_(random_) < 0.25) {
          holdNext.emplace_back(to, datagram);
          ++reordered;
        } else {
          out.sendTo(to, datagram);
          ++forwarded;
        }
      }
    }
    for (const auto& [to, datagram] : held) out.sendTo(to, datagram);
    held = std::move(holdNext);
  }

  Endpoint host_, client_;
  UdpSocket front_, back_;
  std::vector<std::pair<Endpoint, Bytes>> heldToHost_, heldToClient_;
  std::mt19937 random_{20261018};
  std::uniform_real_distribution<double> chance_{0.0, 1.0};
};

TEST(ImpairedLink, TwelveThousandEditsArriveExactlyOnceAndInOrder) {
  std::vector<BlockEdit> edits(kEdits);
  for (std::size_t i = 0; i < kEdits; ++i) {
    const auto n = static_cast<std::int32_t>(i);
    edits[i] = {n, 20, 2 * n, 3, 255};
  }
  NetSession host, client;
  std::string error;
  ASSERT_TRUE(startHost(host, 0, error)) << error;
  ImpairedRelay relay(host.socket.localPort());
  ASSERT_TRUE(connect(client, loopbackEndpoint(relay.clientFacingPort()), "Tester", error)) << error;

  std::vector<BlockEdit> received;
  bool ready = false, welcomed = false, linkFailed = false;
  const auto start = std::chrono::steady_clock::now();
  const auto deadline = start + std::chrono::seconds(60);
  double lastState = 0;
  while (std::chrono::steady_clock::now() < deadline && !linkFailed && (received.size() < kEdits || !ready)) {
    pump(host);
    for (const SessionEvent& event : takeEvents(host)) {
      if (event.kind == SessionEventKind::JoinRequested) {
        sendWelcome(host, event.playerId, {0, 4242, 10, 30, 10, 0.25f, 0, "HostTest"});
        sendEditsTo(host, event.playerId, edits);
        sendPlayerInfoTo(host, event.playerId, {1, "HostTest"});
        sendReady(host, event.playerId);
      }
      linkFailed = linkFailed || event.kind == SessionEventKind::PeerGone;
    }
    relay.step();
    pump(client);
    for (const SessionEvent& event : takeEvents(client)) {
      if (event.kind == SessionEventKind::EditsReceived) {
        received.insert(received.end(), event.edits.begin(), event.edits.end());
      }
      welcomed = welcomed || event.kind == SessionEventKind::Welcomed;
      ready = ready || event.kind == SessionEventKind::WorldReady;
      linkFailed = linkFailed || event.kind == SessionEventKind::Disconnected;
    }
    // The game reports its player 20 times a second; each report carries the acknowledgement.
    const double now = sessionNow(client);
    if (welcomed && now - lastState >= 0.05) {
      sendOwnState(client, {});
      lastState = now;
    }
    relay.step();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("impaired link: %zu edits in %.2f s (dropped %zu, duplicated %zu, reordered %zu, forwarded %zu)\n",
              received.size(), seconds, relay.dropped, relay.duplicated, relay.reordered, relay.forwarded);

  EXPECT_FALSE(linkFailed);
  EXPECT_TRUE(welcomed);
  EXPECT_TRUE(ready);
  ASSERT_EQ(received.size(), kEdits);
  EXPECT_EQ(received, edits);  // exactly once each, in order
  EXPECT_GT(relay.dropped, 0u);
  EXPECT_GT(relay.duplicated, 0u);
  EXPECT_GT(relay.reordered, 0u);
  shutdown(client);
  shutdown(host);
}

}  // namespace
}  // namespace zorv
