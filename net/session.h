#pragma once
// Host and client sessions over one UDP socket: the handshake that admits or rejects
// clients, player ids, silent-peer detection, orderly goodbyes, and the translation of
// every accepted message into a SessionEvent that the game drains once per frame.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/address.h"
#include "net/protocol.h"
#include "net/udp_socket.h"

namespace zorv {

inline constexpr std::uint32_t kInitialModFingerprint = 2166136261u;
inline constexpr double kHostPeerTimeout = 15.0;  // seconds of silence before a peer is dropped
inline constexpr double kClientTimeout = 12.0;    // seconds of silence, or without a welcome
inline constexpr std::size_t kDefaultMaxPlayers = 64;
// Peers still joining (their Welcome not yet acknowledged, so possibly a forged source
// address) in total and from one IPv4 address. They never take player slots; when a new
// Hello finds the limit reached, the oldest joining peer makes room.
inline constexpr std::size_t kMaxJoiningPeers = 64;
inline constexpr std::size_t kMaxJoiningPerAddress = 48;
inline constexpr int kMaxDatagramsPerPump = 512;
inline constexpr std::size_t kMaxPlayerNameLength = 20;

enum class SessionEventKind {
  JoinRequested,
  PeerGone,
  Welcomed,
  WorldReady,
  JoinRejected,
  PlayerMoved,
  PlayerNamed,
  PlayerLeft,
  EditRequested,
  EditsReceived,
  MobsReceived,
  DropsReceived,
  ClockReceived,
  ChatReceived,
  PickupGranted,
  MobAttacked,
  PickupRequested,
  Disconnected,
};

// One record for every kind; each kind fills the fields named beside them.
struct SessionEvent {
  SessionEventKind kind = SessionEventKind::Disconnected;
  // JoinRequested, PeerGone, PlayerMoved, PlayerNamed, PlayerLeft, EditRequested,
  // ChatReceived (host: the sender), MobAttacked, PickupRequested.
  std::int32_t playerId = 0;
  // JoinRequested and PlayerNamed: the name; JoinRejected and Disconnected: the reason;
  // ChatReceived: the text.
  std::string text;
  std::string sender;            // ChatReceived: the sender's name
  WelcomeMessage welcome;        // Welcomed
  PlayerStateMessage state;      // PlayerMoved (playerId also set)
  EditRequestMessage edit;       // EditRequested
  std::vector<BlockEdit> edits;  // EditsReceived
  std::vector<MobEntry> mobs;    // MobsReceived
  std::vector<DropEntry> drops;  // DropsReceived
  WorldClockMessage clock;       // ClockReceived
  PickupGrantMessage pickup;     // PickupGranted
  AttackMobMessage attack;       // MobAttacked
  std::int32_t dropId = 0;       // PickupRequested
};

struct Peer {
  Endpoint address;
  std::int32_t playerId = 0;  // 0 until admitted
  std::string name;
  PeerLink link;
  bool closing = false;
  bool welcomed = false;
  std::uint32_t welcomeSequence = 0;  // sequence number of the Welcome sent to it
  bool joined = false;                // past its handshake: holds a player slot
  double createdAt = 0;
  PlayerStateMessage lastState;  // the peer's last reported state (its id is the peer's)
  bool stateKnown = false;
};

struct NetSession {
  bool active = false;
  bool isHost = false;
  UdpSocket socket;
  std::int32_t localPlayerId = 0;
  std::int32_t nextPlayerId = 2;
  std::uint32_t modFingerprint = kInitialModFingerprint;
  std::vector<Peer> peers;  // host
  std::size_t maxPlayers = kDefaultMaxPlayers;  // host: players past their handshake
  std::vector<std::string> bannedNames;         // host: refused at Hello (any letter case)
  Peer server;              // client
  double connectedAt = 0;   // client: when `connect` ran
  std::vector<SessionEvent> events;
  RttState rtt;
  // Seconds on a monotonic clock; tests put their own clock here.
  std::function<double()> clock;
  // When set, outgoing datagrams go here instead of the socket (fuzzing, tests).
  std::function<void(const Endpoint& to, ByteView datagram)> transmitHook;
};

double sessionNow(const NetSession& session);

// On failure `error` holds "Could not create UDP socket" or "Port %u is already in use".
bool startHost(NetSession& session, std::uint16_t port, std::string& error);
// Returns once `Hello` is queued; the outcome arrives later as events.
bool connect(NetSession& session, const Endpoint& host, std::string_view playerName, std::string& error);
// Sends `Bye` three times when active, closes the socket and resets the session.
void shutdown(NetSession& session);
// Once per frame while active: receive, service every link, time-outs.
void pump(NetSession& session);
std::vector<SessionEvent> takeEvents(NetSession& session);

// The receive path of one datagram (what `pump` does with each one it reads).
void handleDatagram(NetSession& session, const Endpoint& from, ByteView datagram, double now);

// Bytes 32..126 only, at most 20 of them, without leading and trailing spaces; "Player"
// when nothing is left.
std::string sanitizePlayerName(std::string_view name);

Peer* findPeer(NetSession& session, std::int32_t playerId);
// Host: sends the peer `Bye` with the reason and drops it at the next pump (with `PeerGone`).
void disconnectPeer(NetSession& session, std::int32_t playerId, std::string_view reason);

// Host senders.
void sendWelcome(NetSession& session, std::int32_t playerId, const WelcomeMessage& welcome);
// In batches of 64 through the reliable queue.
void sendEditsTo(NetSession& session, std::int32_t playerId, std::span<const BlockEdit> edits);
void broadcastEdits(NetSession& session, std::span<const BlockEdit> edits);
void sendPlayerInfoTo(NetSession& session, std::int32_t toPlayerId, const PlayerInfoMessage& info);
// To every welcomed peer except `exceptPlayerId`.
void broadcastPlayerInfo(NetSession& session, std::int32_t exceptPlayerId, const PlayerInfoMessage& info);
void broadcastPlayerLeft(NetSession& session, std::int32_t playerId);
// Queued behind the edit batches already queued for the peer.
void sendReady(NetSession& session, std::int32_t playerId);
// To every welcomed peer except `exceptPlayerId` (0 excludes nobody).
void broadcastChat(NetSession& session, std::int32_t exceptPlayerId, std::string_view sender, std::string_view text);
// To one peer.
void sendChatTo(NetSession& session, std::int32_t playerId, std::string_view sender, std::string_view text);
// To every welcomed peer except the player the state belongs to.
void broadcastPlayerState(NetSession& session, const PlayerStateMessage& state);
void broadcastClock(NetSession& session, const WorldClockMessage& clock);
void sendMobSnapshot(NetSession& session, std::int32_t playerId, std::span<const MobEntry> mobs);
void sendDropSnapshot(NetSession& session, std::int32_t playerId, std::span<const DropEntry> drops);
void sendPickupGrant(NetSession& session, std::int32_t playerId, const PickupGrantMessage& grant);
std::vector<std::int32_t> welcomedPlayerIds(const NetSession& session);

// Client senders.
void sendOwnState(NetSession& session, const PlayerStateMessage& state);
void requestEdit(NetSession& session, const EditRequestMessage& request);
void sendChat(NetSession& session, std::string_view text);
void attackMob(NetSession& session, const AttackMobMessage& attack);
void requestPickup(NetSession& session, std::int32_t dropId);

}  // namespace zorv
