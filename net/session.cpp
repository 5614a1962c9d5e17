#include "net/session.h"

#include <algorithm>
#include <array>
#include <utility>

#include "net/admission.h"
#include "net/net_text.h"
#include "platform/platform.h"

namespace zorv {
namespace {

constexpr const char* kShutdownReason = "Disconnected";
constexpr int kByeRepeats = 3;

Transmit transmitTo(NetSession& session, const Endpoint& to) {
  return [&session, to](ByteView datagram) {
    if (session.transmitHook) {
      session.transmitHook(to, datagram);
    } else {
      session.socket.sendTo(to, datagram);
    }
  };
}

// A peer welcomed but not yet acknowledging gets nothing but its Welcome and the resends
// of it: reliable messages wait in its queue, unreliable ones are dropped. A Hello from a
// forged source address thus draws one datagram, not the world's edit list.
bool isHeldBack(const Peer& peer) { return peer.welcomed && isJoining(peer); }

void send(NetSession& session, Peer& peer, MessageType type, ByteView payload, bool reliable) {
  if (isHeldBack(peer)) {
    if (reliable) peer.link.sendQueue.push_back({type, Bytes(payload.begin(), payload.end())});
    return;
  }
  sendMessage(peer.link, type, payload, reliable, sessionNow(session), transmitTo(session, peer.address));
}

void enqueue(NetSession& session, Peer& peer, MessageType type, ByteView payload) {
  if (isHeldBack(peer)) return send(session, peer, type, payload, true);
  enqueueMessage(peer.link, type, payload, sessionNow(session), transmitTo(session, peer.address));
}

void raise(NetSession& session, SessionEvent event) { session.events.push_back(std::move(event)); }

SessionEvent eventOf(SessionEventKind kind, std::int32_t playerId = 0) {
  SessionEvent event;
  event.kind = kind;
  event.playerId = playerId;
  return event;
}

// Ends a client session with a reason: the game hears it, the socket stays open.
void endClient(NetSession& session, const char* english) {
  SessionEvent event = eventOf(SessionEventKind::Disconnected);
  event.text = netText(english);
  raise(session, std::move(event));
  session.active = false;
}

bool openSocket(NetSession& session, std::optional<std::uint16_t> bindPort, std::string& error) {
  switch (session.socket.open(bindPort)) {
    case UdpSocket::OpenResult::Ok:
      return true;
    case UdpSocket::OpenResult::CreateFailed:
      error = netText("Could not create UDP socket");
      return false;
    case UdpSocket::OpenResult::BindFailed:
      error = netFormat("Port %u is already in use", static_cast<unsigned>(bindPort.value_or(0)));
      return false;
  }
  return false;
}

Peer* findPeerByAddress(NetSession& session, const Endpoint& address) {
  const auto found = std::find_if(session.peers.begin(), session.peers.end(),
                                  [&](const Peer& peer) { return peer.address == address; });
  return found == session.peers.end() ? nullptr : &*found;
}

template <class Send>
void forEachWelcomedPeer(NetSession& session, std::int32_t exceptPlayerId, Send sendOne) {
  for (Peer& peer : session.peers) {
    if (peer.welcomed && !peer.closing && peer.playerId != exceptPlayerId) sendOne(peer);
  }
}

void handleHello(NetSession& session, Peer& peer, ByteView payload) {
  HelloMessage hello;
  if (peer.playerId != 0 || !decodeHello(payload, hello)) return;
  const char* rejection = helloRejection(session, hello);
  if (rejection != nullptr) {
    send(session, peer, MessageType::Reject, encodeReason(rejection), true);
    peer.closing = true;
    return;
  }
  peer.playerId = session.nextPlayerId++;
  peer.name = sanitizePlayerName(hello.name);
  peer.lastState = {};
  peer.stateKnown = false;
  peer.welcomed = false;
  SessionEvent event = eventOf(SessionEventKind::JoinRequested, peer.playerId);
  event.text = peer.name;
  raise(session, std::move(event));
}

void handleHostMessage(NetSession& session, Peer& peer, MessageType type, ByteView payload) {
  if (!hostAccepts(type) || peer.closing) return;
  if (type == MessageType::Hello) return handleHello(session, peer, payload);
  if (type == MessageType::Bye) {
    peer.closing = true;
    return;
  }
  // Everything else, pings included, only from admitted players: an unadmitted peer
  // gets no answers that could keep it alive.
  if (peer.playerId == 0) return;
  SessionEvent event = eventOf(SessionEventKind::Disconnected, peer.playerId);
  switch (type) {
    case MessageType::Ping: {
      std::uint32_t nonce = 0;
      if (decodeNonce(payload, nonce)) send(session, peer, MessageType::Pong, encodeNonce(nonce), false);
      return;
    }
    case MessageType::EditRequest:
      if (!decodeEditRequest(payload, event.edit)) return;
      event.kind = SessionEventKind::EditRequested;
      break;
    case MessageType::PlayerState:
      if (!decodePlayerState(payload, event.state) || !isPositionInWorld(event.state.x, event.state.y, event.state.z)) {
        return;
      }
      event.state.playerId = peer.playerId;
      peer.lastState = event.state;
      peer.stateKnown = true;
      event.kind = SessionEventKind::PlayerMoved;
      break;
    case MessageType::Chat: {
      ChatMessage chat;
      if (!decodeClientChat(payload, chat) || chat.text.empty()) return;
      event.kind = SessionEventKind::ChatReceived;
      event.sender = peer.name;
      event.text = std::move(chat.text);
      break;
    }
    case MessageType::AttackMob:
      if (!decodeAttackMob(payload, event.attack)) return;
      event.kind = SessionEventKind::MobAttacked;
      break;
    case MessageType::PickupRequest:
      if (!decodeInt32(payload, event.dropId)) return;
      event.kind = SessionEventKind::PickupRequested;
      break;
    default:
      return;
  }
  raise(session, std::move(event));
}

template <class Entries>
bool allInWorld(const Entries& entries) {
  return std::all_of(entries.begin(), entries.end(),
                     [](const auto& entry) { return isPositionInWorld(entry.x, entry.y, entry.z); });
}

// A reason received from the host, shown in this side's language when it is one of ours.
std::string receivedReason(ByteView payload, const char* whenEmpty) {
  std::string reason;
  if (!decodeReason(payload, reason) || reason.empty()) return netText(whenEmpty);
  return netText(reason.c_str());
}

void handleClientMessage(NetSession& session, MessageType type, ByteView payload, double now) {
  if (!clientAccepts(type) || !session.active) return;
  SessionEvent event;
  switch (type) {
    case MessageType::Welcome: {
      const WelcomeMessage& welcome = event.welcome;
      if (!decodeWelcome(payload, event.welcome) || !isPositionInWorld(welcome.spawnX, welcome.spawnY, welcome.spawnZ)) {
        return;
      }
      session.localPlayerId = event.welcome.playerId;
      // A ping goes out in this pump, carrying the acknowledgement that ends the joining
      // state on the host at once.
      session.rtt.lastPingTime = now - kPingInterval - 1.0;
      event.kind = SessionEventKind::Welcomed;
      event.playerId = event.welcome.playerId;
      break;
    }
    case MessageType::Reject:
      event.kind = SessionEventKind::JoinRejected;
      event.text = receivedReason(payload, "Connection rejected");
      session.active = false;
      break;
    case MessageType::Bye:
      event.kind = SessionEventKind::Disconnected;
      event.text = receivedReason(payload, "Host closed the connection");
      session.active = false;
      break;
    case MessageType::Ready:
      event.kind = SessionEventKind::WorldReady;
      break;
    case MessageType::BlockEdits:
      if (!decodeBlockEdits(payload, kClientMaxEditsPerMessage, event.edits)) return;
      event.kind = SessionEventKind::EditsReceived;
      break;
    case MessageType::PlayerState:
      if (!decodePlayerState(payload, event.state) || !isPositionInWorld(event.state.x, event.state.y, event.state.z)) {
        return;
      }
      event.kind = SessionEventKind::PlayerMoved;
      event.playerId = event.state.playerId;
      break;
    case MessageType::WorldClock:
      if (!decodeWorldClock(payload, event.clock)) return;
      event.kind = SessionEventKind::ClockReceived;
      break;
    case MessageType::MobSnapshot:
      if (!decodeMobSnapshot(payload, event.mobs) || !allInWorld(event.mobs)) return;
      event.kind = SessionEventKind::MobsReceived;
      break;
    case MessageType::DropSnapshot:
      if (!decodeDropSnapshot(payload, event.drops) || !allInWorld(event.drops)) return;
      event.kind = SessionEventKind::DropsReceived;
      break;
    case MessageType::PlayerInfo: {
      PlayerInfoMessage info;
      if (!decodePlayerInfo(payload, info)) return;
      event.kind = SessionEventKind::PlayerNamed;
      event.playerId = info.playerId;
      event.text = std::move(info.name);
      break;
    }
    case MessageType::PlayerLeft:
      if (!decodeInt32(payload, event.playerId)) return;
      event.kind = SessionEventKind::PlayerLeft;
      break;
    case MessageType::Chat: {
      ChatMessage chat;
      if (!decodeHostChat(payload, chat)) return;
      event.kind = SessionEventKind::ChatReceived;
      event.sender = std::move(chat.sender);
      event.text = std::move(chat.text);
      break;
    }
    case MessageType::PickupGrant:
      if (!decodePickupGrant(payload, event.pickup)) return;
      event.kind = SessionEventKind::PickupGranted;
      break;
    case MessageType::Pong: {
      std::uint32_t nonce = 0;
      if (decodeNonce(payload, nonce)) onPong(session.rtt, nonce, now);
      return;
    }
    default:
      return;
  }
  raise(session, std::move(event));
}

void handleHostDatagram(NetSession& session, const Endpoint& from, const DatagramHeader& header, ByteView payload,
                        double now) {
  Peer* peer = findPeerByAddress(session, from);
  if (peer == nullptr) {
    // Only a reliable Hello opens a peer, after making room among those still joining.
    if (header.type != MessageType::Hello || !header.reliable) return;
    makeRoomForJoiner(session, from);
    Peer created;
    created.address = from;
    created.createdAt = now;
    created.link.lastHeard = now;
    session.peers.push_back(std::move(created));
    peer = &session.peers.back();
  }
  if (peer->closing) return;
  const std::size_t index = static_cast<std::size_t>(peer - session.peers.data());
  receiveDatagram(peer->link, header, payload, now, session.rtt, [&](MessageType type, ByteView message) {
    // Handlers never add or remove peers, so the index stays valid.
    handleHostMessage(session, session.peers[index], type, message);
  });
}

void serviceHostPeers(NetSession& session, double now) {
  for (Peer& peer : session.peers) {
    if (peer.closing) continue;
    takePlayerSlot(session, peer);
    if (peer.closing) continue;
    // A peer that never got a player id has until its handshake deadline, whatever it sends.
    const double heard = peer.playerId != 0 ? peer.link.lastHeard : peer.createdAt;
    if (now - heard > kHostPeerTimeout ||
        serviceLink(peer.link, now, true, session.rtt, transmitTo(session, peer.address), isHeldBack(peer)) ==
            LinkStatus::Failed) {
      peer.closing = true;
    }
  }
  std::vector<std::int32_t> gone;
  std::erase_if(session.peers, [&](const Peer& peer) {
    if (peer.closing && peer.playerId != 0) gone.push_back(peer.playerId);
    return peer.closing;
  });
  for (const std::int32_t playerId : gone) {
    raise(session, eventOf(SessionEventKind::PeerGone, playerId));
    broadcastPlayerLeft(session, playerId);
  }
}

void serviceClient(NetSession& session, double now) {
  const bool silent = now - session.server.link.lastHeard > kClientTimeout;
  const bool unanswered = session.localPlayerId == 0 && now - session.connectedAt > kClientTimeout;
  if (silent || unanswered) return endClient(session, "Connection timed out");
  if (serviceLink(session.server.link, now, false, session.rtt, transmitTo(session, session.server.address)) ==
      LinkStatus::Failed) {
    endClient(session, "Connection lost");
  }
}

void resetSession(NetSession& session) {
  session.socket.close();
  session.active = false;
  session.isHost = false;
  session.localPlayerId = 0;
  session.peers.clear();
  session.server = Peer{};
  session.rtt = RttState{};
}

}  // namespace

double sessionNow(const NetSession& session) {
  if (session.clock) return session.clock();
  return static_cast<double>(platform::monotonicNanos()) * 1e-9;
}

bool startHost(NetSession& session, std::uint16_t port, std::string& error) {
  shutdown(session);
  session.events.clear();
  if (!openSocket(session, port, error)) return false;
  session.active = true;
  session.isHost = true;
  session.localPlayerId = 1;
  session.nextPlayerId = 2;
  session.peers.clear();
  session.rtt = RttState{};
  return true;
}

bool connect(NetSession& session, const Endpoint& host, std::string_view playerName, std::string& error) {
  shutdown(session);
  session.events.clear();
  if (!openSocket(session, std::nullopt, error)) return false;
  const double now = sessionNow(session);
  session.active = true;
  session.isHost = false;
  session.localPlayerId = 0;
  session.server = Peer{};
  session.server.address = host;
  session.server.createdAt = now;
  session.server.link.lastHeard = now;
  session.connectedAt = now;
  session.rtt = RttState{};
  session.rtt.lastPingTime = now;
  HelloMessage hello;
  hello.modFingerprint = session.modFingerprint;
  hello.name = sanitizePlayerName(playerName);
  enqueue(session, session.server, MessageType::Hello, encodeHello(hello));
  return true;
}

void shutdown(NetSession& session) {
  if (session.active) {
    const Bytes bye = encodeReason(kShutdownReason);
    for (int i = 0; i < kByeRepeats; ++i) {
      if (session.isHost) {
        for (Peer& peer : session.peers) send(session, peer, MessageType::Bye, bye, true);
      } else {
        send(session, session.server, MessageType::Bye, bye, true);
      }
    }
  }
  resetSession(session);
}

void handleDatagram(NetSession& session, const Endpoint& from, ByteView datagram, double now) {
  if (!session.active || datagram.size() > kReceiveBufferSize) return;
  const std::optional<DatagramHeader> header = parseHeader(datagram);
  if (!header) return;
  const ByteView payload = datagram.subspan(kHeaderSize);
  if (session.isHost) return handleHostDatagram(session, from, *header, payload, now);
  if (!(from == session.server.address)) return;
  receiveDatagram(session.server.link, *header, payload, now, session.rtt,
                  [&](MessageType type, ByteView message) { handleClientMessage(session, type, message, now); });
}

void pump(NetSession& session) {
  if (!session.active) return;
  const double now = sessionNow(session);
  std::array<std::uint8_t, kReceiveBufferSize> buffer;
  for (int i = 0; i < kMaxDatagramsPerPump && session.active; ++i) {
    Endpoint from;
    const std::optional<std::size_t> length = session.socket.receiveFrom(buffer, from);
    if (!length) break;
    if (*length > buffer.size()) continue;  // too long for any message: cut, so dropped
    handleDatagram(session, from, ByteView(buffer.data(), *length), now);
  }
  if (!session.active) return;
  if (session.isHost) {
    serviceHostPeers(session, now);
  } else {
    serviceClient(session, now);
  }
}

std::vector<SessionEvent> takeEvents(NetSession& session) { return std::exchange(session.events, {}); }

std::string sanitizePlayerName(std::string_view name) {
  std::string kept;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte > 126) continue;
    kept.push_back(c);
    if (kept.size() == kMaxPlayerNameLength) break;
  }
  const std::size_t first = kept.find_first_not_of(' ');
  if (first == std::string::npos) return "Player";
  return kept.substr(first, kept.find_last_not_of(' ') - first + 1);
}

void disconnectPeer(NetSession& session, std::int32_t playerId, std::string_view reason) {
  Peer* peer = findPeer(session, playerId);
  if (peer == nullptr || peer->closing) return;
  const Bytes bye = encodeReason(reason);
  for (int i = 0; i < kByeRepeats; ++i) send(session, *peer, MessageType::Bye, bye, true);
  peer->closing = true;
}

Peer* findPeer(NetSession& session, std::int32_t playerId) {
  if (playerId == 0) return nullptr;
  const auto found = std::find_if(session.peers.begin(), session.peers.end(),
                                  [&](const Peer& peer) { return peer.playerId == playerId; });
  return found == session.peers.end() ? nullptr : &*found;
}

void sendWelcome(NetSession& session, std::int32_t playerId, const WelcomeMessage& welcome) {
  Peer* peer = findPeer(session, playerId);
  if (peer == nullptr) return;
  WelcomeMessage message = welcome;
  message.playerId = playerId;
  peer->welcomeSequence = peer->link.nextSendSeq;
  send(session, *peer, MessageType::Welcome, encodeWelcome(message), true);
  peer->welcomed = true;
}

void sendEditsTo(NetSession& session, std::int32_t playerId, std::span<const BlockEdit> edits) {
  Peer* peer = findPeer(session, playerId);
  if (peer == nullptr) return;
  for (std::size_t first = 0; first < edits.size(); first += kHostEditsPerMessage) {
    const std::size_t count = std::min(kHostEditsPerMessage, edits.size() - first);
    enqueue(session, *peer, MessageType::BlockEdits, encodeBlockEdits(edits.subspan(first, count)));
  }
}

void broadcastEdits(NetSession& session, std::span<const BlockEdit> edits) {
  for (const std::int32_t playerId : welcomedPlayerIds(session)) sendEditsTo(session, playerId, edits);
}

void sendPlayerInfoTo(NetSession& session, std::int32_t toPlayerId, const PlayerInfoMessage& info) {
  if (Peer* peer = findPeer(session, toPlayerId))
    send(session, *peer, MessageType::PlayerInfo, encodePlayerInfo(info), true);
}

void broadcastPlayerInfo(NetSession& session, std::int32_t exceptPlayerId, const PlayerInfoMessage& info) {
  const Bytes payload = encodePlayerInfo(info);
  forEachWelcomedPeer(session, exceptPlayerId,
                      [&](Peer& peer) { send(session, peer, MessageType::PlayerInfo, payload, true); });
}

void broadcastPlayerLeft(NetSession& session, std::int32_t playerId) {
  const Bytes payload = encodeInt32(playerId);
  forEachWelcomedPeer(session, playerId,
                      [&](Peer& peer) { send(session, peer, MessageType::PlayerLeft, payload, true); });
}

// Through the queue, behind the edit batches queued before it: a reliable message is
// delivered in sequence order, so the client has every one of them when `Ready` arrives.
void sendReady(NetSession& session, std::int32_t playerId) {
  if (Peer* peer = findPeer(session, playerId)) enqueue(session, *peer, MessageType::Ready, {});
}

void broadcastChat(NetSession& session, std::int32_t exceptPlayerId, std::string_view sender, std::string_view text) {
  const Bytes payload = encodeHostChat({std::string(sender), std::string(text)});
  forEachWelcomedPeer(session, exceptPlayerId,
                      [&](Peer& peer) { send(session, peer, MessageType::Chat, payload, true); });
}

void sendChatTo(NetSession& session, std::int32_t playerId, std::string_view sender, std::string_view text) {
  if (Peer* peer = findPeer(session, playerId))
    send(session, *peer, MessageType::Chat, encodeHostChat({std::string(sender), std::string(text)}), true);
}

void broadcastPlayerState(NetSession& session, const PlayerStateMessage& state) {
  const Bytes payload = encodePlayerState(state);
  forEachWelcomedPeer(session, state.playerId,
                      [&](Peer& peer) { send(session, peer, MessageType::PlayerState, payload, false); });
}

void broadcastClock(NetSession& session, const WorldClockMessage& clock) {
  const Bytes payload = encodeWorldClock(clock);
  forEachWelcomedPeer(session, 0, [&](Peer& peer) { send(session, peer, MessageType::WorldClock, payload, false); });
}

void sendMobSnapshot(NetSession& session, std::int32_t playerId, std::span<const MobEntry> mobs) {
  if (Peer* peer = findPeer(session, playerId))
    send(session, *peer, MessageType::MobSnapshot, encodeMobSnapshot(mobs), false);
}

void sendDropSnapshot(NetSession& session, std::int32_t playerId, std::span<const DropEntry> drops) {
  if (Peer* peer = findPeer(session, playerId)) {
    send(session, *peer, MessageType::DropSnapshot, encodeDropSnapshot(drops), false);
  }
}

void sendPickupGrant(NetSession& session, std::int32_t playerId, const PickupGrantMessage& grant) {
  if (Peer* peer = findPeer(session, playerId))
    send(session, *peer, MessageType::PickupGrant, encodePickupGrant(grant), true);
}

std::vector<std::int32_t> welcomedPlayerIds(const NetSession& session) {
  std::vector<std::int32_t> ids;
  for (const Peer& peer : session.peers) {
    if (peer.welcomed && !peer.closing) ids.push_back(peer.playerId);
  }
  return ids;
}

void sendOwnState(NetSession& session, const PlayerStateMessage& state) {
  if (session.active && !session.isHost)
    send(session, session.server, MessageType::PlayerState, encodePlayerState(state), false);
}

void requestEdit(NetSession& session, const EditRequestMessage& request) {
  if (session.active && !session.isHost)
    enqueue(session, session.server, MessageType::EditRequest, encodeEditRequest(request));
}

void sendChat(NetSession& session, std::string_view text) {
  if (session.active && !session.isHost) enqueue(session, session.server, MessageType::Chat, encodeClientChat(text));
}

void attackMob(NetSession& session, const AttackMobMessage& attack) {
  if (session.active && !session.isHost)
    enqueue(session, session.server, MessageType::AttackMob, encodeAttackMob(attack));
}

void requestPickup(NetSession& session, std::int32_t dropId) {
  if (session.active && !session.isHost)
    enqueue(session, session.server, MessageType::PickupRequest, encodeInt32(dropId));
}

}  // namespace zorv
