#include "net/protocol.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace zorv {
namespace {

constexpr std::uint8_t kMagic[4] = {'Z', 'K', 'N', 'P'};
constexpr std::uint8_t kReliableFlag = 0x01;
constexpr double kMaxAckSampleMs = 5000.0;
constexpr std::size_t kBlockEditBytes = 15;

void storeU32(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void storeU16(std::uint8_t* p, std::uint16_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}

// Adapters that let one field list per message drive both writing and reading.
struct FieldWriter {
  PayloadWriter& writer;
  void field(std::uint8_t value) { writer.u8(value); }
  void field(std::uint16_t value) { writer.u16(value); }
  void field(std::uint32_t value) { writer.u32(value); }
  void field(std::int32_t value) { writer.i32(value); }
  void field(float value) { writer.f32(value); }
  void field(const std::string& value) { writer.str(value); }
  template <class... Values>
  void operator()(const Values&... values) {
    (field(values), ...);
  }
};

struct FieldReader {
  PayloadReader& reader;
  void field(std::uint8_t& value) { value = reader.u8(); }
  void field(std::uint16_t& value) { value = reader.u16(); }
  void field(std::uint32_t& value) { value = reader.u32(); }
  void field(std::int32_t& value) { value = reader.i32(); }
  void field(float& value) { value = reader.f32(); }
  void field(std::string& value) { value = reader.str(); }
  template <class... Values>
  void operator()(Values&... values) {
    (field(values), ...);
  }
};

// The wire order of each message's fields (`Self` is the message, const when writing).
template <class Message>
struct Fields;

template <>
struct Fields<HelloMessage> {
  template <class Io, class Self>
  static void visit(Io& io, Self& m) {
    io(m.revision, m.modFingerprint, m.name);
  }
};
template <>
struct Fields<WelcomeMessage> {
  template <class Io, class Self>
  static void visit(Io& io, Self& m) {
    io(m.playerId, m.seed, m.spawnX, m.spawnY, m.spawnZ, m.timeOfDay, m.weather, m.hostName);
  }
};
template <>
struct Fields<EditRequestMessage> {
  template <class Io, class Self>
  static void visit(Io& io, Self& m) {
    io(m.x, m.y, m.z, m.block, m.gameMode, m.heldItem);
  }
};
template <>
struct Fields<PlayerStateMessage> {
  template <class Io, class Self>
  static void visit(Io& io, Self& m) {
    io(m.playerId, m.x, m.y, m.z, m.yaw, m.pitch, m.gameMode, m.health, m.flying);
  }
};
template <>
struct Fields<WorldClockMessage> {
  template <class Io, class Self>
  static void visit(Io& io, Self& m) {
    io(m.timeOfDay, m.weather);
  }
};
template <>
struct Fields<MobEntry> {
  template <class Io, class Self>
  static void visit(Io& io, Self& m) {
    io(m.id, m.x, m.y, m.z, m.heading, m.type, m.health, m.flags);
  }
};
template <>
struct Fields<DropEntry> {
  template <class Io, class Self>
  static void visit(Io& io, Self& m) {
    io(m.id, m.x, m.y, m.z, m.item, m.durability, m.count, m.age);
  }
};
template <>
struct Fields<PlayerInfoMessage> {
  template <class Io, class Self>
  static void visit(Io& io, Self& m) {
    io(m.playerId, m.name);
  }
};
template <>
struct Fields<ChatMessage> {  // host to client
  template <class Io, class Self>
  static void visit(Io& io, Self& m) {
    io(m.sender, m.text);
  }
};
template <>
struct Fields<PickupGrantMessage> {
  template <class Io, class Self>
  static void visit(Io& io, Self& m) {
    io(m.dropId, m.item, m.durability, m.count);
  }
};
template <>
struct Fields<AttackMobMessage> {
  template <class Io, class Self>
  static void visit(Io& io, Self& m) {
    io(m.mobId, m.damage);
  }
};

template <class Message>
Bytes encodeFields(const Message& message) {
  PayloadWriter writer;
  FieldWriter io{writer};
  Fields<Message>::visit(io, message);
  return std::move(writer.bytes);
}

// Fills `out` only when every field was present and sound.
template <class Message>
bool decodeFields(ByteView payload, Message& out) {
  PayloadReader reader(payload);
  FieldReader io{reader};
  Message message;
  Fields<Message>::visit(io, message);
  if (!reader.ok) return false;
  out = std::move(message);
  return true;
}

// Payloads of one field.
template <class Value>
Bytes encodeValue(const Value& value) {
  PayloadWriter writer;
  FieldWriter{writer}(value);
  return std::move(writer.bytes);
}

template <class Value>
bool decodeValue(ByteView payload, Value& out) {
  PayloadReader reader(payload);
  Value value{};
  FieldReader{reader}(value);
  if (!reader.ok) return false;
  out = std::move(value);
  return true;
}

// A one-byte count (at most kMaxSnapshotEntries written) and that many entries.
template <class Entry>
Bytes encodeSnapshot(std::span<const Entry> entries) {
  const std::size_t count = std::min(entries.size(), kMaxSnapshotEntries);
  PayloadWriter writer;
  writer.u8(static_cast<std::uint8_t>(count));
  FieldWriter io{writer};
  for (std::size_t i = 0; i < count; ++i) Fields<Entry>::visit(io, entries[i]);
  return std::move(writer.bytes);
}

// A count above kMaxSnapshotEntries invalidates the message.
template <class Entry>
bool decodeSnapshot(ByteView payload, std::vector<Entry>& out) {
  PayloadReader reader(payload);
  const std::size_t count = reader.u8();
  if (!reader.ok || count > kMaxSnapshotEntries) return false;
  std::vector<Entry> entries(count);
  FieldReader io{reader};
  for (Entry& entry : entries) Fields<Entry>::visit(io, entry);
  if (!reader.ok) return false;
  out = std::move(entries);
  return true;
}

}  // namespace

bool hostAccepts(MessageType type) {
  switch (type) {
    case MessageType::Hello:
    case MessageType::EditRequest:
    case MessageType::PlayerState:
    case MessageType::Chat:
    case MessageType::AttackMob:
    case MessageType::PickupRequest:
    case MessageType::Bye:
    case MessageType::Ping:
      return true;
    default:
      return false;
  }
}

bool clientAccepts(MessageType type) {
  const auto value = static_cast<std::uint8_t>(type);
  return (value >= 2 && value <= 5) || (value >= 7 && value <= 14) || type == MessageType::Bye ||
         type == MessageType::Pong;
}

Bytes buildDatagram(const DatagramHeader& header, ByteView payload) {
  Bytes datagram(kHeaderSize + payload.size(), 0);
  std::memcpy(datagram.data(), kMagic, 4);
  datagram[4] = kProtocolVersion;
  datagram[5] = static_cast<std::uint8_t>(header.type);
  datagram[6] = header.reliable ? kReliableFlag : 0;
  storeU32(&datagram[7], header.reliable ? header.sequence : 0);
  storeU32(&datagram[11], header.ack);
  if (!payload.empty()) std::memcpy(datagram.data() + kHeaderSize, payload.data(), payload.size());
  return datagram;
}

std::optional<DatagramHeader> parseHeader(ByteView datagram) {
  if (datagram.size() < kHeaderSize || std::memcmp(datagram.data(), kMagic, 4) != 0 ||
      datagram[4] != kProtocolVersion) {
    return std::nullopt;
  }
  DatagramHeader header;
  header.type = static_cast<MessageType>(datagram[5]);
  header.reliable = (datagram[6] & kReliableFlag) != 0;
  header.sequence = loadLittleU32(&datagram[7]);
  header.ack = loadLittleU32(&datagram[11]);
  return header;
}

void PayloadWriter::str(std::string_view text) {
  const std::size_t length = std::min(text.size(), kMaxStringBytes);
  u16(static_cast<std::uint16_t>(length));
  bytes.insert(bytes.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
}

float PayloadReader::f32() {
  const float value = ByteReader::f32();
  if (std::isfinite(value)) return value;
  ok = false;
  return 0.0f;
}

std::string PayloadReader::str() {
  const std::size_t length = u16();
  if (!take(length)) return {};
  return std::string(reinterpret_cast<const char*>(data.data() + position - length), length);
}

Bytes encodeHello(const HelloMessage& message) { return encodeFields(message); }
bool decodeHello(ByteView payload, HelloMessage& out) { return decodeFields(payload, out); }
Bytes encodeWelcome(const WelcomeMessage& message) { return encodeFields(message); }
bool decodeWelcome(ByteView payload, WelcomeMessage& out) { return decodeFields(payload, out); }
Bytes encodeReason(std::string_view reason) { return encodeValue(std::string(reason)); }
bool decodeReason(ByteView payload, std::string& out) { return decodeValue(payload, out); }
Bytes encodeEditRequest(const EditRequestMessage& message) { return encodeFields(message); }
bool decodeEditRequest(ByteView payload, EditRequestMessage& out) { return decodeFields(payload, out); }
Bytes encodePlayerState(const PlayerStateMessage& message) { return encodeFields(message); }
bool decodePlayerState(ByteView payload, PlayerStateMessage& out) { return decodeFields(payload, out); }
Bytes encodeWorldClock(const WorldClockMessage& message) { return encodeFields(message); }
bool decodeWorldClock(ByteView payload, WorldClockMessage& out) { return decodeFields(payload, out); }
Bytes encodeMobSnapshot(std::span<const MobEntry> mobs) { return encodeSnapshot(mobs); }
bool decodeMobSnapshot(ByteView payload, std::vector<MobEntry>& out) { return decodeSnapshot(payload, out); }
Bytes encodeDropSnapshot(std::span<const DropEntry> drops) { return encodeSnapshot(drops); }
bool decodeDropSnapshot(ByteView payload, std::vector<DropEntry>& out) { return decodeSnapshot(payload, out); }
Bytes encodePlayerInfo(const PlayerInfoMessage& message) { return encodeFields(message); }
bool decodePlayerInfo(ByteView payload, PlayerInfoMessage& out) { return decodeFields(payload, out); }
Bytes encodeInt32(std::int32_t value) { return encodeValue(value); }
bool decodeInt32(ByteView payload, std::int32_t& out) { return decodeValue(payload, out); }
Bytes encodeHostChat(const ChatMessage& message) { return encodeFields(message); }
bool decodeHostChat(ByteView payload, ChatMessage& out) { return decodeFields(payload, out); }
Bytes encodeClientChat(std::string_view text) { return encodeValue(std::string(text)); }

bool decodeClientChat(ByteView payload, ChatMessage& out) {
  std::string text;
  if (!decodeValue(payload, text)) return false;
  out = {{}, std::move(text)};
  return true;
}

Bytes encodePickupGrant(const PickupGrantMessage& message) { return encodeFields(message); }
bool decodePickupGrant(ByteView payload, PickupGrantMessage& out) { return decodeFields(payload, out); }
Bytes encodeAttackMob(const AttackMobMessage& message) { return encodeFields(message); }
bool decodeAttackMob(ByteView payload, AttackMobMessage& out) { return decodeFields(payload, out); }
Bytes encodeNonce(std::uint32_t nonce) { return encodeValue(nonce); }
bool decodeNonce(ByteView payload, std::uint32_t& out) { return decodeValue(payload, out); }

// Bulk transfers carry thousands of these, so both directions work on whole entries
// instead of field by field.
Bytes encodeBlockEdits(std::span<const BlockEdit> edits) {
  const std::size_t count = std::min(edits.size(), kHostEditsPerMessage);
  Bytes payload(2 + count * kBlockEditBytes);
  std::uint8_t* p = payload.data();
  storeU16(p, static_cast<std::uint16_t>(count));
  p += 2;
  for (std::size_t i = 0; i < count; ++i, p += kBlockEditBytes) {
    const BlockEdit& edit = edits[i];
    storeU32(p, static_cast<std::uint32_t>(edit.x));
    storeU32(p + 4, static_cast<std::uint32_t>(edit.y));
    storeU32(p + 8, static_cast<std::uint32_t>(edit.z));
    storeU16(p + 12, edit.block);
    p[14] = edit.fluidLevel;
  }
  return payload;
}

bool decodeBlockEdits(ByteView payload, std::size_t maxCount, std::vector<BlockEdit>& out) {
  if (payload.size() < 2) return false;
  const std::size_t count = static_cast<std::size_t>(payload[0] | payload[1] << 8);
  if (count > maxCount || payload.size() - 2 < count * kBlockEditBytes) return false;
  out.resize(count);
  const std::uint8_t* p = payload.data() + 2;
  for (std::size_t i = 0; i < count; ++i, p += kBlockEditBytes) {
    BlockEdit& edit = out[i];
    edit.x = static_cast<std::int32_t>(loadLittleU32(p));
    edit.y = static_cast<std::int32_t>(loadLittleU32(p + 4));
    edit.z = static_cast<std::int32_t>(loadLittleU32(p + 8));
    edit.block = static_cast<std::uint16_t>(p[12] | p[13] << 8);
    edit.fluidLevel = p[14];
  }
  return true;
}

void addRttSample(RttState& rtt, double sampleMs) {
  if (rtt.rttMs == 0) {
    rtt.rttMs = static_cast<std::int32_t>(sampleMs);
  } else {
    rtt.rttMs = static_cast<std::int32_t>(0.7 * rtt.rttMs + 0.3 * sampleMs);
  }
}

void sendMessage(PeerLink& link, MessageType type, ByteView payload, bool reliable, double now,
                 const Transmit& transmit) {
  if (payload.size() > kMaxPayload) return;
  DatagramHeader header;
  header.type = type;
  header.reliable = reliable;
  header.ack = link.nextExpectedSeq - 1;
  if (reliable) header.sequence = link.nextSendSeq++;
  Bytes datagram = buildDatagram(header, payload);
  transmit(datagram);
  if (reliable) link.inFlight.push_back({header.sequence, std::move(datagram), now, 0});
}

void enqueueMessage(PeerLink& link, MessageType type, ByteView payload, double now, const Transmit& transmit) {
  link.sendQueue.push_back({type, Bytes(payload.begin(), payload.end())});
  flushQueue(link, now, transmit);
}

void flushQueue(PeerLink& link, double now, const Transmit& transmit) {
  while (!link.sendQueue.empty() && link.inFlight.size() < kSendWindow) {
    QueuedMessage message = std::move(link.sendQueue.front());
    link.sendQueue.pop_front();
    sendMessage(link, message.type, message.payload, true, now, transmit);
  }
}

namespace {

// Removes what the peer acknowledged. An acknowledgement of a sequence number this side
// never sent comes from a broken or hostile peer and is ignored as a whole.
void applyAck(PeerLink& link, std::uint32_t ack, double now, RttState& rtt) {
  if (ack == 0 || ack >= link.nextSendSeq) return;
  while (!link.inFlight.empty() && link.inFlight.front().sequence <= ack) {
    const double sampleMs = (now - link.inFlight.front().lastSent) * 1000.0;
    if (sampleMs >= 0.0 && sampleMs < kMaxAckSampleMs) addRttSample(rtt, sampleMs);
    link.inFlight.pop_front();
  }
}

}  // namespace

void receiveDatagram(PeerLink& link, const DatagramHeader& header, ByteView payload, double now, RttState& rtt,
                     const Deliver& deliver) {
  link.lastHeard = now;
  applyAck(link, header.ack, now, rtt);
  if (!header.reliable) {
    deliver(header.type, payload);
    return;
  }
  const std::uint32_t sequence = header.sequence;
  if (sequence < link.nextExpectedSeq) return;  // duplicate
  if (sequence > link.nextExpectedSeq) {
    // Only the window a sender can have in flight is kept; anything beyond is resent later.
    if (sequence - link.nextExpectedSeq < kReceiveWindow) {
      link.pending.try_emplace(sequence, PendingMessage{header.type, Bytes(payload.begin(), payload.end())});
    }
    return;
  }
  // The number advances before delivery, so a reply sent by the handler acknowledges it.
  ++link.nextExpectedSeq;
  deliver(header.type, payload);
  for (auto next = link.pending.find(link.nextExpectedSeq); next != link.pending.end();
       next = link.pending.find(link.nextExpectedSeq)) {
    const PendingMessage message = std::move(next->second);
    link.pending.erase(next);
    ++link.nextExpectedSeq;
    deliver(message.type, message.payload);
  }
}

LinkStatus serviceLink(PeerLink& link, double now, bool isHost, RttState& rtt, const Transmit& transmit,
                       bool holdQueue) {
  if (!isHost && now - rtt.lastPingTime > kPingInterval) {
    rtt.lastPingNonce = rtt.nextPingNonce++;
    rtt.lastPingTime = now;
    sendMessage(link, MessageType::Ping, encodeNonce(rtt.lastPingNonce), false, now, transmit);
  }
  for (InFlightMessage& message : link.inFlight) {
    if (now - message.lastSent < kResendInterval) continue;
    if (message.retransmissions > kMaxRetransmissions) return LinkStatus::Failed;
    transmit(message.datagram);
    message.lastSent = now;
    ++message.retransmissions;
  }
  if (!holdQueue) flushQueue(link, now, transmit);
  return LinkStatus::Alive;
}

void onPong(RttState& rtt, std::uint32_t nonce, double now) {
  if (rtt.lastPingNonce == 0 || nonce != rtt.lastPingNonce) return;
  addRttSample(rtt, (now - rtt.lastPingTime) * 1000.0);
}

}  // namespace zorv
