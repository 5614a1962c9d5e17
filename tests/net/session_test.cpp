#include "net/session.h"

#include "net/admission.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zorv {
namespace {

// A host and clients joined by in-memory routes on one made-up clock: datagrams go
// where their address says, and nothing sleeps.
struct VirtualNet {
  struct Datagram {
    Endpoint from, to;
    Bytes bytes;
  };
  double now = 1000.0;
  const Endpoint hostAddress{0x0A000001, 27632};
  NetSession host;
  std::vector<std::unique_ptr<NetSession>> clients;
  std::vector<Endpoint> clientAddresses;
  std::deque<Datagram> wire;
  std::vector<std::vector<SessionEvent>> clientEvents;
  std::vector<SessionEvent> hostEvents;
  std::vector<bool> silent;  // a silent client is neither pumped nor delivered to

  VirtualNet() {
    setUp(host, hostAddress);
    std::string error;
    EXPECT_TRUE(startHost(host, 0, error)) << error;
  }
  ~VirtualNet() {
    for (auto& client : clients) client->transmitHook = nullptr;
    host.transmitHook = nullptr;
  }

  void setUp(NetSession& session, Endpoint self) {
    session.clock = [this] { return now; };
    session.transmitHook = [this, self](const Endpoint& to, ByteView bytes) {
      wire.push_back({self, to, Bytes(bytes.begin(), bytes.end())});
    };
  }

  std::size_t addClient(std::string_view name, std::uint32_t fingerprint = kInitialModFingerprint) {
    const Endpoint address{0x0A000100u + static_cast<std::uint32_t>(clients.size()), 40000};
    clients.push_back(std::make_unique<NetSession>());
    NetSession& client = *clients.back();
    setUp(client, address);
    client.modFingerprint = fingerprint;
    clientAddresses.push_back(address);
    clientEvents.emplace_back();
    silent.push_back(false);
    std::string error;
    EXPECT_TRUE(connect(client, hostAddress, name, error)) << error;
    return clients.size() - 1;
  }

  void deliver() {
    while (!wire.empty()) {
      Datagram datagram = std::move(wire.front());
      wire.pop_front();
      if (datagram.to == hostAddress) {
        handleDatagram(host, datagram.from, datagram.bytes, now);
        continue;
      }
      for (std::size_t i = 0; i < clients.size(); ++i) {
        if (clientAddresses[i] == datagram.to && !silent[i])
          handleDatagram(*clients[i], datagram.from, datagram.bytes, now);
      }
    }
  }

  // One frame: deliver what is on the wire, pump everyone, collect events; the host
  // answers joins with a welcome, an empty world and ready unless told otherwise.
  void frame(double dt, bool welcomeJoiners = true) {
    now += dt;
    deliver();
    pump(host);
    for (SessionEvent& event : takeEvents(host)) {
      if (event.kind == SessionEventKind::JoinRequested && welcomeJoiners) {
        sendWelcome(host, event.playerId, {0, 4242, 10, 30, 10, 0.5f, 0, "Host"});
        sendReady(host, event.playerId);
      }
      hostEvents.push_back(std::move(event));
    }
    for (std::size_t i = 0; i < clients.size(); ++i) {
      if (silent[i]) continue;
      pump(*clients[i]);
      for (SessionEvent& event : takeEvents(*clients[i])) clientEvents[i].push_back(std::move(event));
    }
    deliver();
  }

  void run(double seconds, double dt = 0.05, bool welcomeJoiners = true) {
    for (double t = 0; t < seconds; t += dt) frame(dt, welcomeJoiners);
  }
};

std::size_t countKind(const std::vector<SessionEvent>& events, SessionEventKind kind) {
  return static_cast<std::size_t>(
      std::count_if(events.begin(), events.end(), [&](const SessionEvent& e) { return e.kind == kind; }));
}

const SessionEvent* findKind(const std::vector<SessionEvent>& events, SessionEventKind kind) {
  const auto found = std::find_if(events.begin(), events.end(), [&](const SessionEvent& e) { return e.kind == kind; });
  return found == events.end() ? nullptr : &*found;
}

// The text of the first event of that kind; "(none)" when there is none.
std::string eventText(const std::vector<SessionEvent>& events, SessionEventKind kind) {
  const SessionEvent* event = findKind(events, kind);
  return event != nullptr ? event->text : "(none)";
}

Bytes helloDatagram(std::uint32_t sequence, std::uint32_t revision, std::string_view name = "Raw") {
  return buildDatagram({MessageType::Hello, true, sequence, 0},
                       encodeHello({revision, kInitialModFingerprint, std::string(name)}));
}

TEST(Session, PortInUseAndFreshStartState) {
  UdpSocket holder;
  ASSERT_EQ(holder.open(0), UdpSocket::OpenResult::Ok);
  const std::uint16_t port = holder.localPort();
  NetSession session;
  std::string error;
  EXPECT_FALSE(startHost(session, port, error));
  EXPECT_EQ(error, "Port " + std::to_string(port) + " is already in use");
  EXPECT_FALSE(session.active);

  ASSERT_TRUE(startHost(session, 0, error));
  EXPECT_TRUE(session.active);
  EXPECT_TRUE(session.isHost);
  EXPECT_EQ(session.localPlayerId, 1);
  EXPECT_EQ(session.nextPlayerId, 2);
  shutdown(session);
  EXPECT_FALSE(session.active);
  EXPECT_FALSE(session.socket.isOpen());
  shutdown(session);  // safe when inactive
}

TEST(Session, HandshakeGivesIdsThatAreNeverReused) {
  VirtualNet net;
  const std::size_t first = net.addClient("Alice");
  net.run(0.2);
  const std::size_t second = net.addClient("Bob");
  net.run(0.2);
  ASSERT_EQ(countKind(net.hostEvents, SessionEventKind::JoinRequested), 2u);
  EXPECT_EQ(net.hostEvents[0].playerId, 2);
  EXPECT_EQ(net.hostEvents[0].text, "Alice");
  EXPECT_EQ(net.hostEvents[1].playerId, 3);
  EXPECT_EQ(net.clients[first]->localPlayerId, 2);
  EXPECT_EQ(net.clients[second]->localPlayerId, 3);
  const SessionEvent* welcomed = findKind(net.clientEvents[first], SessionEventKind::Welcomed);
  ASSERT_NE(welcomed, nullptr);
  EXPECT_EQ(welcomed->welcome.seed, 4242u);
  EXPECT_EQ(welcomed->welcome.hostName, "Host");
  EXPECT_EQ(countKind(net.clientEvents[first], SessionEventKind::WorldReady), 1u);

  // The first leaves in order: three Byes, one PeerGone, a PlayerLeft to the other.
  shutdown(*net.clients[first]);
  EXPECT_EQ(
      std::count_if(net.wire.begin(), net.wire.end(),
                    [&](const VirtualNet::Datagram& d) { return parseHeader(d.bytes)->type == MessageType::Bye; }),
      3);
  net.run(0.2);
  ASSERT_EQ(countKind(net.hostEvents, SessionEventKind::PeerGone), 1u);
  EXPECT_EQ(findKind(net.hostEvents, SessionEventKind::PeerGone)->playerId, 2);
  const SessionEvent* left = findKind(net.clientEvents[second], SessionEventKind::PlayerLeft);
  ASSERT_NE(left, nullptr);
  EXPECT_EQ(left->playerId, 2);

  const std::size_t third = net.addClient("Carol");
  net.run(0.2);
  EXPECT_EQ(net.clients[third]->localPlayerId, 4);
  EXPECT_EQ(welcomedPlayerIds(net.host), (std::vector<std::int32_t>{3, 4}));
}

TEST(Session, RejectionsForRevisionAndModList) {
  VirtualNet net;
  // Revision 3: a Reject with its reason, and the peer is gone after that pump, unannounced.
  const Endpoint raw{0x0A0000FF, 5555};
  handleDatagram(net.host, raw, helloDatagram(1, 3), net.now);
  ASSERT_EQ(net.host.peers.size(), 1u);
  ASSERT_EQ(net.wire.size(), 1u);
  EXPECT_EQ(net.wire.front().to, raw);
  const auto header = parseHeader(net.wire.front().bytes);
  EXPECT_EQ(header->type, MessageType::Reject);
  EXPECT_TRUE(header->reliable);
  EXPECT_EQ(header->ack, 1u);
  std::string reason;
  ASSERT_TRUE(decodeReason(ByteView(net.wire.front().bytes).subspan(kHeaderSize), reason));
  EXPECT_EQ(reason, "Client and host versions do not match");
  net.wire.clear();
  net.frame(0.05);
  EXPECT_TRUE(net.host.peers.empty());
  EXPECT_TRUE(net.hostEvents.empty());

  const std::size_t modded = net.addClient("Modder", 12345);
  net.run(0.2);
  const SessionEvent* rejected = findKind(net.clientEvents[modded], SessionEventKind::JoinRejected);
  ASSERT_NE(rejected, nullptr);
  EXPECT_EQ(rejected->text, "Mod lists do not match");
  EXPECT_FALSE(net.clients[modded]->active);
  EXPECT_EQ(net.host.nextPlayerId, 2);  // no id was spent on either

  // An empty or unreadable reason becomes "Connection rejected".
  const std::size_t other = net.addClient("Other");
  handleDatagram(*net.clients[other], net.hostAddress, buildDatagram({MessageType::Reject, true, 1, 0}, {}), net.now);
  const std::vector<SessionEvent> events = takeEvents(*net.clients[other]);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, SessionEventKind::JoinRejected);
  EXPECT_EQ(events[0].text, "Connection rejected");
}

TEST(Session, SecondHelloIgnoredAndNamesSanitised) {
  VirtualNet net;
  const Endpoint raw{0x0A0000FE, 6000};
  handleDatagram(net.host, raw, helloDatagram(1, 4, "  abcdefghijklmnopqrstuvwxyz0123\x01  "), net.now);
  handleDatagram(net.host, raw, helloDatagram(2, 4, "Again"), net.now);
  const std::vector<SessionEvent> events = takeEvents(net.host);
  ASSERT_EQ(events.size(), 1u);
  // The first 20 printable bytes include the two leading spaces, which are then stripped.
  EXPECT_EQ(events[0].text, "abcdefghijklmnopqr");
  EXPECT_EQ(net.host.peers[0].name, "abcdefghijklmnopqr");

  EXPECT_EQ(sanitizePlayerName(std::string(30, 'x')), std::string(20, 'x'));
  EXPECT_EQ(sanitizePlayerName("   \t\x01\x7f  "), "Player");
  EXPECT_EQ(sanitizePlayerName(""), "Player");
  EXPECT_EQ(sanitizePlayerName(" A\xE4\xB8\xAD"
                               "b "),
            "Ab");
  EXPECT_EQ(sanitizePlayerName("                    x"), "Player");  // the 20 kept are spaces
}

TEST(Session, SilentPeersAreRemovedAfterFifteenSeconds) {
  VirtualNet net;
  const std::size_t quiet = net.addClient("Quiet");
  const std::size_t talker = net.addClient("Talker");
  net.run(0.5);
  ASSERT_EQ(welcomedPlayerIds(net.host).size(), 2u);
  net.silent[quiet] = true;
  net.run(14.5);  // 14.5 s of silence from the quiet one (its last ping was within 0.2 s)
  EXPECT_EQ(countKind(net.hostEvents, SessionEventKind::PeerGone), 0u);
  net.run(1.0);
  ASSERT_EQ(countKind(net.hostEvents, SessionEventKind::PeerGone), 1u);
  EXPECT_EQ(findKind(net.hostEvents, SessionEventKind::PeerGone)->playerId, 2);
  const SessionEvent* left = findKind(net.clientEvents[talker], SessionEventKind::PlayerLeft);
  ASSERT_NE(left, nullptr);
  EXPECT_EQ(left->playerId, 2);
  EXPECT_TRUE(net.clients[talker]->active);
}

TEST(Session, ClientTimesOutAfterTwelveSilentSeconds) {
  VirtualNet net;
  const std::size_t client = net.addClient("Waiting");
  net.run(0.5);
  ASSERT_EQ(net.clients[client]->localPlayerId, 2);
  // The host falls silent without anything in flight to the client.
  std::vector<SessionEvent> events;
  for (int i = 0; i < 400 && net.clients[client]->active; ++i) {
    net.now += 0.05;
    net.wire.clear();
    pump(*net.clients[client]);
  }
  events = takeEvents(*net.clients[client]);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, SessionEventKind::Disconnected);
  EXPECT_EQ(events[0].text, "Connection timed out");
  EXPECT_FALSE(net.clients[client]->active);
  EXPECT_TRUE(net.clients[client]->socket.isOpen());  // until shutdown
}

TEST(Session, UnansweredHelloEndsInTimeOutEvenWhenThePeerAcknowledges) {
  VirtualNet net;
  const std::size_t client = net.addClient("Ignored");
  net.run(11.9, 0.05, false);  // admitted, acknowledged and ponged, but never welcomed
  EXPECT_TRUE(net.clients[client]->active);
  EXPECT_EQ(net.clients[client]->server.link.inFlight.size(), 0u);
  net.run(0.3, 0.05, false);
  EXPECT_FALSE(net.clients[client]->active);
  const SessionEvent* ended = findKind(net.clientEvents[client], SessionEventKind::Disconnected);
  ASSERT_NE(ended, nullptr);
  EXPECT_EQ(ended->text, "Connection timed out");
}

TEST(Session, LostLinksEndSessions) {
  VirtualNet net;
  const std::size_t client = net.addClient("Lost");
  net.run(0.5);
  // The host stops answering: the client's next reliable message is sent 13 times, then lost.
  sendChat(*net.clients[client], "hello?");
  int chats = 0;
  for (int i = 0; i < 200 && net.clients[client]->active; ++i) {
    net.now += 0.05;
    pump(*net.clients[client]);
    for (const auto& d : net.wire) chats += parseHeader(d.bytes)->type == MessageType::Chat;
    net.wire.clear();
  }
  EXPECT_EQ(chats, 13);
  const std::vector<SessionEvent> events = takeEvents(*net.clients[client]);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().text, "Connection lost");

  // A host closes a peer whose link failed, announcing it as gone.
  VirtualNet other;
  const std::size_t peer = other.addClient("Gone");
  other.run(0.5);
  other.silent[peer] = true;
  broadcastChat(other.host, 0, "Host", "anyone?");
  other.run(5.0);
  EXPECT_EQ(countKind(other.hostEvents, SessionEventKind::PeerGone), 1u);
  EXPECT_TRUE(other.host.peers.empty());
}

TEST(Session, HelloFloodIsBoundedAndLeavesNothingBehind) {
  VirtualNet net;
  for (std::uint16_t port = 1; port <= 1000; ++port) {
    handleDatagram(net.host, {0x0B000001, port}, helloDatagram(1, 4), net.now);
  }
  const auto open = [](const NetSession& host) {
    return static_cast<std::size_t>(
        std::count_if(host.peers.begin(), host.peers.end(), [](const Peer& peer) { return !peer.closing; }));
  };
  // One address keeps at most its share of joining peers, the newest ones; those pushed
  // out before a Welcome leave no join request behind.
  EXPECT_EQ(open(net.host), kMaxJoiningPerAddress);
  EXPECT_EQ(net.host.events.size(), kMaxJoiningPerAddress);
  EXPECT_EQ(net.host.events.front().playerId, static_cast<std::int32_t>(2 + 1000 - kMaxJoiningPerAddress));
  // Many addresses together keep at most the total.
  for (std::uint32_t address = 0; address < 200; ++address) {
    handleDatagram(net.host, {0x0D000000 + address, 9}, helloDatagram(1, 4), net.now);
  }
  EXPECT_EQ(open(net.host), kMaxJoiningPeers);
  net.wire.clear();
  // Unknown addresses that send anything but a reliable Hello create nothing.
  handleDatagram(net.host, {0x0B000002, 1}, buildDatagram({MessageType::Ping, false, 0, 0}, encodeNonce(1)), net.now);
  handleDatagram(net.host, {0x0B000002, 2}, buildDatagram({MessageType::Hello, false, 0, 0}, {}), net.now);
  EXPECT_EQ(open(net.host), kMaxJoiningPeers);

  // A peer whose Hello never becomes deliverable stays unadmitted: its pings get no
  // answer and do not keep it alive.
  VirtualNet quiet;
  const Endpoint stuck{0x0C000001, 7};
  double sent = quiet.now;
  handleDatagram(quiet.host, stuck, helloDatagram(2, 4), sent);
  ASSERT_EQ(quiet.host.peers.size(), 1u);
  for (int i = 0; i < 160; ++i) {
    quiet.now += 0.1;
    handleDatagram(quiet.host, stuck, buildDatagram({MessageType::Ping, false, 0, 0}, encodeNonce(9)), quiet.now);
    pump(quiet.host);
  }
  EXPECT_TRUE(quiet.wire.empty());
  EXPECT_TRUE(quiet.host.peers.empty());
  EXPECT_TRUE(takeEvents(quiet.host).empty());

  // The flood's peers time out too.
  net.run(16.0, 0.1, false);
  EXPECT_TRUE(net.host.peers.empty());
}

// Hellos from new source ports of one address, as a forger sends them, every frame.
void floodHellos(VirtualNet& net, std::uint32_t address, std::uint16_t& port, int count) {
  for (int i = 0; i < count; ++i) {
    net.wire.push_back({{address, port++}, net.hostAddress, helloDatagram(1, 4, "Forged")});
  }
}

TEST(Session, ARealClientJoinsThroughAHelloFloodFromItsOwnAddress) {
  VirtualNet net;
  std::uint16_t port = 1;
  floodHellos(net, 0x0A000100, port, 200);
  net.run(0.5);  // the flood alone: the joining peers stay bounded
  EXPECT_LE(net.host.peers.size(), kMaxJoiningPerAddress + 1);
  // 500 forged Hellos a second from the client's own address, at 20 host steps a second,
  // before and after the client's own datagrams in every step.
  // What the host sends to forged addresses: their Welcomes and its resends, nothing more.
  std::map<MessageType, int> toForged;
  const auto deliverToWire = net.host.transmitHook;
  net.host.transmitHook = [&](const Endpoint& to, ByteView bytes) {
    if (to.port != 40000) ++toForged[parseHeader(bytes)->type];
    deliverToWire(to, bytes);
  };
  const std::size_t client = net.addClient("Real");
  for (int step = 0; step < 40; ++step) {
    floodHellos(net, 0x0A000100, port, 12);
    net.frame(0.025);
    floodHellos(net, 0x0A000100, port, 13);
    net.frame(0.025);
  }
  EXPECT_EQ(countKind(net.clientEvents[client], SessionEventKind::WorldReady), 1u);
  EXPECT_TRUE(net.clients[client]->active);
  const Peer* peer = findPeer(net.host, net.clients[client]->localPlayerId);
  ASSERT_NE(peer, nullptr);
  EXPECT_FALSE(isJoining(*peer));  // a player now: the flood cannot push it out
  EXPECT_LE(net.host.peers.size(), kMaxJoiningPerAddress + 1);
  EXPECT_GT(toForged[MessageType::Welcome], 0);
  EXPECT_EQ(toForged.size(), 1u) << "only Welcomes go to addresses that never answer";
}

TEST(Session, FullServersAndBannedNamesAreRejectedWithAReason) {
  VirtualNet net;
  net.host.maxPlayers = 1;
  net.host.bannedNames = {"mallory"};
  const std::size_t first = net.addClient("First");
  net.run(0.3);
  const std::size_t second = net.addClient("Second");
  const std::size_t banned = net.addClient("  MALLORY ");
  net.run(0.3);
  EXPECT_EQ(countKind(net.clientEvents[first], SessionEventKind::WorldReady), 1u);
  EXPECT_EQ(eventText(net.clientEvents[second], SessionEventKind::JoinRejected), "Server is full");
  // Two joining at once when one slot is left: the second to finish its handshake is told.
  net.host.maxPlayers = 2;
  const std::size_t racerA = net.addClient("RacerA");
  const std::size_t racerB = net.addClient("RacerB");
  net.run(0.3);
  EXPECT_EQ(countKind(net.clientEvents[racerA], SessionEventKind::WorldReady), 1u);
  EXPECT_EQ(eventText(net.clientEvents[racerB], SessionEventKind::Disconnected), "Server is full");
  net.host.maxPlayers = 1;
  shutdown(*net.clients[racerA]);
  net.run(0.3);
  EXPECT_EQ(eventText(net.clientEvents[banned], SessionEventKind::JoinRejected), "You are banned from this server");

  // A kicked player hears the reason in Bye and leaves with PeerGone; its slot is free.
  disconnectPeer(net.host, net.clients[first]->localPlayerId, "Kicked: spam");
  net.run(0.3);
  EXPECT_EQ(eventText(net.clientEvents[first], SessionEventKind::Disconnected), "Kicked: spam");
  EXPECT_EQ(countKind(net.hostEvents, SessionEventKind::PeerGone), 3u);  // the late racer, the leaver, the kicked
  const std::size_t third = net.addClient("Third");
  net.run(0.3);
  EXPECT_EQ(countKind(net.clientEvents[third], SessionEventKind::WorldReady), 1u);

  // Positions beyond the world's edge are ignored like non-finite ones.
  Peer& player = *findPeer(net.host, net.clients[third]->localPlayerId);
  net.hostEvents.clear();
  for (const float x : {1e9f, 3e38f, -1048577.0f, 1048575.5f}) {
    PlayerStateMessage state;
    state.x = x;
    state.y = 40.0f;
    sendMessage(net.clients[third]->server.link, MessageType::PlayerState, encodePlayerState(state), false, net.now,
                [&](ByteView bytes) { handleDatagram(net.host, player.address, bytes, net.now); });
  }
  ASSERT_EQ(countKind(takeEvents(net.host), SessionEventKind::PlayerMoved), 1u);
  EXPECT_FLOAT_EQ(player.lastState.x, 1048575.5f);
  EXPECT_TRUE(isPositionInWorld(-1048576.0f, -4096.0f, 0.0f));
  EXPECT_FALSE(isPositionInWorld(0.0f, 5000.0f, 0.0f));
}

TEST(Session, MessagesBecomeEventsAndTheFiltersHold) {
  VirtualNet net;
  const std::size_t client = net.addClient("Player");
  net.run(0.3);
  NetSession& c = *net.clients[client];
  sendOwnState(c, {99, 1, 2, 3, 0.5f, 0.25f, 1, 18, 1});
  requestEdit(c, {4, 5, 6, 0, 1, 0x8001});
  sendChat(c, "");  // empty chat raises nothing
  sendChat(c, "hi");
  attackMob(c, {17, 3});
  requestPickup(c, 21);
  net.hostEvents.clear();
  net.run(0.1);
  const std::vector<SessionEvent>& host = net.hostEvents;
  const SessionEvent* moved = findKind(host, SessionEventKind::PlayerMoved);
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(moved->playerId, 2);  // the peer's own id, not the one in the payload
  EXPECT_EQ(moved->state.health, 18);
  EXPECT_TRUE(findPeer(net.host, 2)->stateKnown);
  EXPECT_EQ(findPeer(net.host, 2)->lastState.z, 3.0f);
  ASSERT_NE(findKind(host, SessionEventKind::EditRequested), nullptr);
  EXPECT_EQ(findKind(host, SessionEventKind::EditRequested)->edit.heldItem, 0x8001);
  ASSERT_EQ(countKind(host, SessionEventKind::ChatReceived), 1u);
  EXPECT_EQ(findKind(host, SessionEventKind::ChatReceived)->sender, "Player");
  EXPECT_EQ(findKind(host, SessionEventKind::ChatReceived)->text, "hi");
  EXPECT_EQ(findKind(host, SessionEventKind::MobAttacked)->attack.damage, 3);
  EXPECT_EQ(findKind(host, SessionEventKind::PickupRequested)->dropId, 21);

  const std::vector<BlockEdit> edits(130, BlockEdit{1, 2, 3, 4, 255});
  broadcastEdits(net.host, edits);
  broadcastClock(net.host, {0.3f, 7});
  broadcastChat(net.host, 0, "Host", "welcome");
  broadcastPlayerState(net.host, {2, 0, 0, 0, 0, 0, 0, 20, 0});  // its own state: not sent back
  broadcastPlayerState(net.host, {1, 5, 6, 7, 0, 0, 0, 20, 0});
  sendMobSnapshot(net.host, 2, std::vector<MobEntry>(3));
  sendDropSnapshot(net.host, 2, std::vector<DropEntry>(2));
  sendPickupGrant(net.host, 2, {21, 0x8001, 0, 5});
  broadcastPlayerInfo(net.host, 0, {7, "Seven"});
  net.clientEvents[client].clear();
  net.run(0.1);
  const std::vector<SessionEvent>& got = net.clientEvents[client];
  ASSERT_EQ(countKind(got, SessionEventKind::EditsReceived), 3u);  // 64 + 64 + 2
  EXPECT_EQ(got[0].edits.size(), 64u);
  ASSERT_EQ(countKind(got, SessionEventKind::PlayerMoved), 1u);
  EXPECT_EQ(findKind(got, SessionEventKind::PlayerMoved)->playerId, 1);
  EXPECT_EQ(findKind(got, SessionEventKind::ClockReceived)->clock.weather, 7);
  EXPECT_EQ(findKind(got, SessionEventKind::ChatReceived)->sender, "Host");
  EXPECT_EQ(findKind(got, SessionEventKind::MobsReceived)->mobs.size(), 3u);
  EXPECT_EQ(findKind(got, SessionEventKind::DropsReceived)->drops.size(), 2u);
  EXPECT_EQ(findKind(got, SessionEventKind::PickupGranted)->pickup.count, 5);
  EXPECT_EQ(findKind(got, SessionEventKind::PlayerNamed)->text, "Seven");

  // Host-only types sent to a client, and anything from a stranger, are ignored.
  const std::size_t before = c.events.size();
  handleDatagram(c, net.hostAddress, buildDatagram({MessageType::EditRequest, false, 0, 0}, encodeEditRequest({})),
                 net.now);
  handleDatagram(
      c, {0x01010101, 27632},
      buildDatagram({MessageType::PlayerState, false, 0, 0}, encodePlayerState({5, 0, 0, 0, 0, 0, 0, 20, 0})), net.now);
  EXPECT_EQ(c.events.size(), before);
  // A NaN position is a malformed message: no event.
  handleDatagram(
      c, net.hostAddress,
      buildDatagram({MessageType::PlayerState, false, 0, 0}, encodePlayerState({5, NAN, 0, 0, 0, 0, 0, 20, 0})),
      net.now);
  EXPECT_EQ(c.events.size(), before);

  // The host says goodbye three times; the client hears it once, with the reason.
  shutdown(net.host);
  EXPECT_EQ(net.wire.size(), 3u);
  net.deliver();
  const std::vector<SessionEvent> bye = takeEvents(c);
  ASSERT_EQ(bye.size(), 1u);
  EXPECT_EQ(bye[0].kind, SessionEventKind::Disconnected);
  EXPECT_EQ(bye[0].text, "Disconnected");
  EXPECT_FALSE(c.active);
}

}  // namespace
}  // namespace zorv

namespace zorv {
namespace {

// A world larger than the send window: `Ready` must still come after its last edit batch.
TEST(Session, ReadyArrivesAfterEveryEditQueuedBeforeIt) {
  VirtualNet net;
  const std::size_t client = net.addClient("Alice");
  net.frame(0.05, false);
  ASSERT_EQ(countKind(net.hostEvents, SessionEventKind::JoinRequested), 1u);
  const std::int32_t id = net.hostEvents[0].playerId;
  std::vector<BlockEdit> edits(12000);
  for (std::size_t i = 0; i < edits.size(); ++i) edits[i] = {static_cast<std::int32_t>(i), 20, 0, 3, 255};
  sendWelcome(net.host, id, {0, 4242, 10, 30, 10, 0.5f, 0, "Host"});
  sendEditsTo(net.host, id, edits);
  sendReady(net.host, id);
  net.run(5.0, 0.05, false);

  const std::vector<SessionEvent>& events = net.clientEvents[client];
  std::size_t received = 0, receivedBeforeReady = 0;
  bool ready = false;
  for (const SessionEvent& event : events) {
    if (event.kind == SessionEventKind::EditsReceived) received += event.edits.size();
    if (event.kind == SessionEventKind::WorldReady) {
      ready = true;
      receivedBeforeReady = received;
    }
  }
  EXPECT_TRUE(ready);
  EXPECT_EQ(received, 12000u);
  EXPECT_EQ(receivedBeforeReady, 12000u);
}

}  // namespace
}  // namespace zorv
