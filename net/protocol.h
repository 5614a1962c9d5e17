#pragma once
// The datagram protocol: the 19-byte header, field and string encoding, the byte layout of
// every message, and the per-peer reliability layer (sequence numbers, cumulative
// acknowledgements, resending, a send window, in-order delivery, round-trip time).
// Time is passed in by the caller (seconds, monotonic), so the layer runs on any clock.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/byte_io.h"

namespace zorv {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

inline constexpr std::uint8_t kProtocolVersion = 2;
inline constexpr std::uint32_t kClientRevision = 4;
inline constexpr std::size_t kHeaderSize = 19;
inline constexpr std::size_t kMaxPayload = 1181;
inline constexpr std::size_t kMaxDatagram = kHeaderSize + kMaxPayload;
inline constexpr std::size_t kReceiveBufferSize = 1264;
inline constexpr std::size_t kMaxStringBytes = 200;
inline constexpr std::size_t kSendWindow = 128;           // unacknowledged reliable messages per peer
inline constexpr std::size_t kReceiveWindow = 128;        // reliable messages kept ahead of the next expected
inline constexpr double kResendInterval = 0.32;           // seconds
inline constexpr std::uint32_t kMaxRetransmissions = 11;  // one more retransmission fails the link
inline constexpr double kPingInterval = 0.2;              // seconds
inline constexpr std::size_t kHostEditsPerMessage = 64;
inline constexpr std::size_t kClientMaxEditsPerMessage = 512;
inline constexpr std::size_t kMaxSnapshotEntries = 40;

enum class MessageType : std::uint8_t {
  Hello = 1,
  Welcome = 2,
  Reject = 3,
  Ready = 4,
  BlockEdits = 5,
  EditRequest = 6,
  PlayerState = 7,
  WorldClock = 8,
  MobSnapshot = 9,
  DropSnapshot = 10,
  PlayerInfo = 11,
  PlayerLeft = 12,
  Chat = 13,
  PickupGrant = 14,
  AttackMob = 15,
  PickupRequest = 16,
  Bye = 17,
  Ping = 18,
  Pong = 19,
};

// The direction filter: which received types each side acts on.
bool hostAccepts(MessageType type);
bool clientAccepts(MessageType type);

struct DatagramHeader {
  MessageType type = MessageType::Hello;
  bool reliable = false;
  std::uint32_t sequence = 0;
  std::uint32_t ack = 0;
};

// The header followed by the payload; the payload must fit (kMaxPayload).
Bytes buildDatagram(const DatagramHeader& header, ByteView payload);
// Nothing for a datagram of 18 bytes or fewer, another magic or another version.
std::optional<DatagramHeader> parseHeader(ByteView datagram);

// Payload fields in the little-endian encoding the save files share; strings are cut to
// their first 200 bytes.
struct PayloadWriter {
  Bytes bytes;

  void u8(std::uint8_t value) { fields().u8(value); }
  void u16(std::uint16_t value) { fields().u16(value); }
  void u32(std::uint32_t value) { fields().u32(value); }
  void i32(std::int32_t value) { fields().i32(value); }
  void f32(float value) { fields().f32(value); }
  void str(std::string_view text);

 private:
  ByteWriter fields() { return ByteWriter{bytes}; }
};

// Reading past the end yields zeros and marks the message invalid (`ok` false); so does a
// float that is not finite.
struct PayloadReader : ByteReader {
  explicit PayloadReader(ByteView payload) : ByteReader{payload} {}
  float f32();
  std::string str();
};

// Message payloads. Readers return false for an invalid message (truncated, a string
// count past the end, a float that is not finite, a count above its limit).
struct HelloMessage {
  std::uint32_t revision = kClientRevision;
  std::uint32_t modFingerprint = 0;
  std::string name;
};
struct WelcomeMessage {
  std::int32_t playerId = 0;
  std::uint32_t seed = 0;
  float spawnX = 0, spawnY = 0, spawnZ = 0;
  float timeOfDay = 0;
  std::uint8_t weather = 0;
  std::string hostName;
};
struct BlockEdit {
  std::int32_t x = 0, y = 0, z = 0;
  std::uint16_t block = 0;
  std::uint8_t fluidLevel = 255;  // 255: not a fluid
  friend bool operator==(const BlockEdit&, const BlockEdit&) = default;
};
struct EditRequestMessage {
  std::int32_t x = 0, y = 0, z = 0;
  std::uint16_t block = 0;  // 0 breaks
  std::uint8_t gameMode = 0;
  std::uint16_t heldItem = 0;
};
struct PlayerStateMessage {
  std::int32_t playerId = 0;
  float x = 0, y = 0, z = 0;
  float yaw = 0, pitch = 0;  // radians
  std::uint8_t gameMode = 0;
  std::uint8_t health = 20;
  std::uint8_t flying = 0;
};
struct WorldClockMessage {
  float timeOfDay = 0;
  std::uint8_t weather = 0;
};
struct MobEntry {
  std::int32_t id = 0;
  float x = 0, y = 0, z = 0;
  float heading = 0;
  std::uint8_t type = 0, health = 0, flags = 0;  // flags: bit 0 walking, bit 1 recently hurt
};
struct DropEntry {
  std::int32_t id = 0;
  float x = 0, y = 0, z = 0;
  std::uint16_t item = 0;  // int16 on the wire: the same 16 bits
  std::uint16_t durability = 0;
  std::uint16_t count = 0;
  float age = 0;
};
struct PickupGrantMessage {
  std::int32_t dropId = 0;
  std::uint16_t item = 0;  // int16 on the wire
  std::uint16_t durability = 0;
  std::uint16_t count = 0;
};
struct AttackMobMessage {
  std::int32_t mobId = 0;
  std::uint8_t damage = 0;
};
struct PlayerInfoMessage {
  std::int32_t playerId = 0;
  std::string name;
};
struct ChatMessage {
  std::string sender;  // only host to client
  std::string text;
};

Bytes encodeHello(const HelloMessage& message);
bool decodeHello(ByteView payload, HelloMessage& out);
Bytes encodeWelcome(const WelcomeMessage& message);
bool decodeWelcome(ByteView payload, WelcomeMessage& out);
// `Reject` and `Bye`: one reason string.
Bytes encodeReason(std::string_view reason);
bool decodeReason(ByteView payload, std::string& out);
// At most kHostEditsPerMessage entries are written; callers split larger lists.
Bytes encodeBlockEdits(std::span<const BlockEdit> edits);
bool decodeBlockEdits(ByteView payload, std::size_t maxCount, std::vector<BlockEdit>& out);
Bytes encodeEditRequest(const EditRequestMessage& message);
bool decodeEditRequest(ByteView payload, EditRequestMessage& out);
Bytes encodePlayerState(const PlayerStateMessage& message);
bool decodePlayerState(ByteView payload, PlayerStateMessage& out);
Bytes encodeWorldClock(const WorldClockMessage& message);
bool decodeWorldClock(ByteView payload, WorldClockMessage& out);
// Snapshot writers write at most 40 entries; readers reject a count above 40.
Bytes encodeMobSnapshot(std::span<const MobEntry> mobs);
bool decodeMobSnapshot(ByteView payload, std::vector<MobEntry>& out);
Bytes encodeDropSnapshot(std::span<const DropEntry> drops);
bool decodeDropSnapshot(ByteView payload, std::vector<DropEntry>& out);
Bytes encodePlayerInfo(const PlayerInfoMessage& message);
bool decodePlayerInfo(ByteView payload, PlayerInfoMessage& out);
// `PlayerLeft` and `PickupRequest`: one int32.
Bytes encodeInt32(std::int32_t value);
bool decodeInt32(ByteView payload, std::int32_t& out);
// Host to client carries the sender's name; client to host only the text.
Bytes encodeHostChat(const ChatMessage& message);
bool decodeHostChat(ByteView payload, ChatMessage& out);
Bytes encodeClientChat(std::string_view text);
bool decodeClientChat(ByteView payload, ChatMessage& out);
Bytes encodePickupGrant(const PickupGrantMessage& message);
bool decodePickupGrant(ByteView payload, PickupGrantMessage& out);
Bytes encodeAttackMob(const AttackMobMessage& message);
bool decodeAttackMob(ByteView payload, AttackMobMessage& out);
// `Ping` and `Pong`: one uint32 nonce.
Bytes encodeNonce(std::uint32_t nonce);
bool decodeNonce(ByteView payload, std::uint32_t& out);

// Writes one datagram to the peer (the socket, or a test double).
using Transmit = std::function<void(ByteView datagram)>;
// Receives one delivered message.
using Deliver = std::function<void(MessageType type, ByteView payload)>;

struct InFlightMessage {
  std::uint32_t sequence = 0;
  Bytes datagram;
  double lastSent = 0;
  std::uint32_t retransmissions = 0;
};
struct QueuedMessage {
  MessageType type = MessageType::Hello;
  Bytes payload;
};
struct PendingMessage {
  MessageType type = MessageType::Hello;
  Bytes payload;
};

// Reliability state of one peer.
struct PeerLink {
  std::uint32_t nextSendSeq = 1;
  std::uint32_t nextExpectedSeq = 1;
  std::deque<InFlightMessage> inFlight;
  std::deque<QueuedMessage> sendQueue;
  std::map<std::uint32_t, PendingMessage> pending;  // by sequence number
  double lastHeard = 0;
};

// Endpoint-wide round-trip estimate and ping state.
struct RttState {
  std::int32_t rttMs = 0;
  std::uint32_t nextPingNonce = 1;
  std::uint32_t lastPingNonce = 0;
  double lastPingTime = 0;
};

// Folds one sample into the estimate: the first is taken as it is, later ones weigh 0.3.
void addRttSample(RttState& rtt, double sampleMs);

// Sends one message; a reliable one takes the next sequence number and is kept in flight.
// A payload over kMaxPayload is dropped silently.
void sendMessage(PeerLink& link, MessageType type, ByteView payload, bool reliable, double now,
                 const Transmit& transmit);
// Appends a reliable message to the queue and flushes it.
void enqueueMessage(PeerLink& link, MessageType type, ByteView payload, double now, const Transmit& transmit);
// Sends queued messages while fewer than kSendWindow are in flight.
void flushQueue(PeerLink& link, double now, const Transmit& transmit);

// The receive path for one datagram whose header parsed: acknowledgement, then delivery
// of the message (unreliable at once, reliable exactly once and in sequence order).
void receiveDatagram(PeerLink& link, const DatagramHeader& header, ByteView payload, double now, RttState& rtt,
                     const Deliver& deliver);

enum class LinkStatus { Alive, Failed };
// Per-frame work: a client pings every 0.2 s; unacknowledged messages are resent every
// 0.32 s and the link fails when one would need a thirteenth transmission; then the
// queue is flushed (not after a failure).
// `holdQueue` keeps the queue back (a peer that has not yet shown it receives anything).
LinkStatus serviceLink(PeerLink& link, double now, bool isHost, RttState& rtt, const Transmit& transmit,
                       bool holdQueue = false);

// A client's handling of a `Pong`: a sample when the nonce is that of the last ping.
void onPong(RttState& rtt, std::uint32_t nonce, double now);

}  // namespace zorv
