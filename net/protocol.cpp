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

std::uint32_t loadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void storeU32(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void storeU16(std::uint8_t* p, std::uint16_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}

// Runs `read` over the payload and reports whether every field was present and sound.
template <class Read>
bool readAll(ByteView payload, Read read) {
  ByteReader reader(payload);
  read(reader);
  return reader.valid;
}

Bytes singleString(std::string_view text) {
  ByteWriter writer;
  writer.str(text);
  return std::move(writer.bytes);
}

// Reads a one-byte count and then that many entries; a count above `maxCount` invalidates
// the message.
template <class Entry, class ReadEntry>
bool readList(ByteView payload, std::size_t maxCount, std::vector<Entry>& out, ReadEntry readEntry) {
  ByteReader reader(payload);
  const std::size_t count = reader.u8();
  if (!reader.valid || count > maxCount) return false;
  std::vector<Entry> entries(count);
  for (Entry& entry : entries) {
    readEntry(reader, entry);
    if (!reader.valid) return false;
  }
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
  header.sequence = loadU32(&datagram[7]);
  header.ack = loadU32(&datagram[11]);
  return header;
}

void ByteWriter::u16(std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void ByteWriter::u32(std::uint32_t value) {
  std::uint8_t raw[4];
  storeU32(raw, value);
  bytes.insert(bytes.end(), raw, raw + 4);
}

void ByteWriter::f32(float value) { u32(std::bit_cast<std::uint32_t>(value)); }

void ByteWriter::str(std::string_view text) {
  const std::size_t length = std::min(text.size(), kMaxStringBytes);
  u16(static_cast<std::uint16_t>(length));
  bytes.insert(bytes.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
}

bool ByteReader::take(std::size_t count) {
  if (!valid || data.size() - offset < count) {
    valid = false;
    return false;
  }
  return true;
}

std::uint8_t ByteReader::u8() {
  if (!take(1)) return 0;
  return data[offset++];
}

std::uint16_t ByteReader::u16() {
  if (!take(2)) return 0;
  const auto value = static_cast<std::uint16_t>(data[offset] | data[offset + 1] << 8);
  offset += 2;
  return value;
}

std::uint32_t ByteReader::u32() {
  if (!take(4)) return 0;
  const std::uint32_t value = loadU32(&data[offset]);
  offset += 4;
  return value;
}

float ByteReader::f32() {
  const float value = std::bit_cast<float>(u32());
  if (std::isfinite(value)) return value;
  valid = false;
  return 0.0f;
}

std::string ByteReader::str() {
  const std::size_t length = u16();
  if (!take(length)) return {};
  std::string text(reinterpret_cast<const char*>(data.data() + offset), length);
  offset += length;
  return text;
}

Bytes encodeHello(const HelloMessage& message) {
  ByteWriter writer;
  writer.u32(message.revision);
  writer.u32(message.modFingerprint);
  writer.str(message.name);
  return std::move(writer.bytes);
}

bool decodeHello(ByteView payload, HelloMessage& out) {
  HelloMessage message;
  if (!readAll(payload, [&](ByteReader& r) {
        message.revision = r.u32();
        message.modFingerprint = r.u32();
        message.name = r.str();
      })) {
    return false;
  }
  out = std::move(message);
  return true;
}

Bytes encodeWelcome(const WelcomeMessage& message) {
  ByteWriter writer;
  writer.i32(message.playerId);
  writer.u32(message.seed);
  writer.f32(message.spawnX);
  writer.f32(message.spawnY);
  writer.f32(message.spawnZ);
  writer.f32(message.timeOfDay);
  writer.u8(message.weather);
  writer.str(message.hostName);
  return std::move(writer.bytes);
}

bool decodeWelcome(ByteView payload, WelcomeMessage& out) {
  WelcomeMessage message;
  if (!readAll(payload, [&](ByteReader& r) {
        message.playerId = r.i32();
        message.seed = r.u32();
        message.spawnX = r.f32();
        message.spawnY = r.f32();
        message.spawnZ = r.f32();
        message.timeOfDay = r.f32();
        message.weather = r.u8();
        message.hostName = r.str();
      })) {
    return false;
  }
  out = std::move(message);
  return true;
}

Bytes encodeReason(std::string_view reason) { return singleString(reason); }

bool decodeReason(ByteView payload, std::string& out) {
  std::string reason;
  if (!readAll(payload, [&](ByteReader& r) { reason = r.str(); })) return false;
  out = std::move(reason);
  return true;
}

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
    edit.x = static_cast<std::int32_t>(loadU32(p));
    edit.y = static_cast<std::int32_t>(loadU32(p + 4));
    edit.z = static_cast<std::int32_t>(loadU32(p + 8));
    edit.block = static_cast<std::uint16_t>(p[12] | p[13] << 8);
    edit.fluidLevel = p[14];
  }
  return true;
}

Bytes encodeEditRequest(const EditRequestMessage& message) {
  ByteWriter writer;
  writer.i32(message.x);
  writer.i32(message.y);
  writer.i32(message.z);
  writer.u16(message.block);
  writer.u8(message.gameMode);
  writer.u16(message.heldItem);
  return std::move(writer.bytes);
}

bool decodeEditRequest(ByteView payload, EditRequestMessage& out) {
  EditRequestMessage message;
  if (!readAll(payload, [&](ByteReader& r) {
        message.x = r.i32();
        message.y = r.i32();
        message.z = r.i32();
        message.block = r.u16();
        message.gameMode = r.u8();
        message.heldItem = r.u16();
      })) {
    return false;
  }
  out = message;
  return true;
}

Bytes encodePlayerState(const PlayerStateMessage& message) {
  ByteWriter writer;
  writer.i32(message.playerId);
  writer.f32(message.x);
  writer.f32(message.y);
  writer.f32(message.z);
  writer.f32(message.yaw);
  writer.f32(message.pitch);
  writer.u8(message.gameMode);
  writer.u8(message.health);
  writer.u8(message.flying);
  return std::move(writer.bytes);
}

bool decodePlayerState(ByteView payload, PlayerStateMessage& out) {
  PlayerStateMessage message;
  if (!readAll(payload, [&](ByteReader& r) {
        message.playerId = r.i32();
        message.x = r.f32();
        message.y = r.f32();
        message.z = r.f32();
        message.yaw = r.f32();
        message.pitch = r.f32();
        message.gameMode = r.u8();
        message.health = r.u8();
        message.flying = r.u8();
      })) {
    return false;
  }
  out = message;
  return true;
}

Bytes encodeWorldClock(const WorldClockMessage& message) {
  ByteWriter writer;
  writer.f32(message.timeOfDay);
  writer.u8(message.weather);
  return std::move(writer.bytes);
}

bool decodeWorldClock(ByteView payload, WorldClockMessage& out) {
  WorldClockMessage message;
  if (!readAll(payload, [&](ByteReader& r) {
        message.timeOfDay = r.f32();
        message.weather = r.u8();
      })) {
    return false;
  }
  out = message;
  return true;
}

Bytes encodeMobSnapshot(std::span<const MobEntry> mobs) {
  const std::size_t count = std::min(mobs.size(), kMaxSnapshotEntries);
  ByteWriter writer;
  writer.u8(static_cast<std::uint8_t>(count));
  for (std::size_t i = 0; i < count; ++i) {
    const MobEntry& mob = mobs[i];
    writer.i32(mob.id);
    writer.f32(mob.x);
    writer.f32(mob.y);
    writer.f32(mob.z);
    writer.f32(mob.heading);
    writer.u8(mob.type);
    writer.u8(mob.health);
    writer.u8(mob.flags);
  }
  return std::move(writer.bytes);
}

bool decodeMobSnapshot(ByteView payload, std::vector<MobEntry>& out) {
  return readList<MobEntry>(payload, kMaxSnapshotEntries, out, [](ByteReader& r, MobEntry& mob) {
    mob.id = r.i32();
    mob.x = r.f32();
    mob.y = r.f32();
    mob.z = r.f32();
    mob.heading = r.f32();
    mob.type = r.u8();
    mob.health = r.u8();
    mob.flags = r.u8();
  });
}

Bytes encodeDropSnapshot(std::span<const DropEntry> drops) {
  const std::size_t count = std::min(drops.size(), kMaxSnapshotEntries);
  ByteWriter writer;
  writer.u8(static_cast<std::uint8_t>(count));
  for (std::size_t i = 0; i < count; ++i) {
    const DropEntry& drop = drops[i];
    writer.i32(drop.id);
    writer.f32(drop.x);
    writer.f32(drop.y);
    writer.f32(drop.z);
    writer.u16(drop.item);
    writer.u16(drop.durability);
    writer.u16(drop.count);
    writer.f32(drop.age);
  }
  return std::move(writer.bytes);
}

bool decodeDropSnapshot(ByteView payload, std::vector<DropEntry>& out) {
  return readList<DropEntry>(payload, kMaxSnapshotEntries, out, [](ByteReader& r, DropEntry& drop) {
    drop.id = r.i32();
    drop.x = r.f32();
    drop.y = r.f32();
    drop.z = r.f32();
    drop.item = r.u16();
    drop.durability = r.u16();
    drop.count = r.u16();
    drop.age = r.f32();
  });
}

Bytes encodePlayerInfo(const PlayerInfoMessage& message) {
  ByteWriter writer;
  writer.i32(message.playerId);
  writer.str(message.name);
  return std::move(writer.bytes);
}

bool decodePlayerInfo(ByteView payload, PlayerInfoMessage& out) {
  PlayerInfoMessage message;
  if (!readAll(payload, [&](ByteReader& r) {
        message.playerId = r.i32();
        message.name = r.str();
      })) {
    return false;
  }
  out = std::move(message);
  return true;
}

Bytes encodeInt32(std::int32_t value) {
  ByteWriter writer;
  writer.i32(value);
  return std::move(writer.bytes);
}

bool decodeInt32(ByteView payload, std::int32_t& out) {
  std::int32_t value = 0;
  if (!readAll(payload, [&](ByteReader& r) { value = r.i32(); })) return false;
  out = value;
  return true;
}

Bytes encodeHostChat(const ChatMessage& message) {
  ByteWriter writer;
  writer.str(message.sender);
  writer.str(message.text);
  return std::move(writer.bytes);
}

bool decodeHostChat(ByteView payload, ChatMessage& out) {
  ChatMessage message;
  if (!readAll(payload, [&](ByteReader& r) {
        message.sender = r.str();
        message.text = r.str();
      })) {
    return false;
  }
  out = std::move(message);
  return true;
}

Bytes encodeClientChat(std::string_view text) { return singleString(text); }

bool decodeClientChat(ByteView payload, ChatMessage& out) {
  ChatMessage message;
  if (!readAll(payload, [&](ByteReader& r) { message.text = r.str(); })) return false;
  out = std::move(message);
  return true;
}

Bytes encodePickupGrant(const PickupGrantMessage& message) {
  ByteWriter writer;
  writer.i32(message.dropId);
  writer.u16(message.item);
  writer.u16(message.durability);
  writer.u16(message.count);
  return std::move(writer.bytes);
}

bool decodePickupGrant(ByteView payload, PickupGrantMessage& out) {
  PickupGrantMessage message;
  if (!readAll(payload, [&](ByteReader& r) {
        message.dropId = r.i32();
        message.item = r.u16();
        message.durability = r.u16();
        message.count = r.u16();
      })) {
    return false;
  }
  out = message;
  return true;
}

Bytes encodeAttackMob(const AttackMobMessage& message) {
  ByteWriter writer;
  writer.i32(message.mobId);
  writer.u8(message.damage);
  return std::move(writer.bytes);
}

bool decodeAttackMob(ByteView payload, AttackMobMessage& out) {
  AttackMobMessage message;
  if (!readAll(payload, [&](ByteReader& r) {
        message.mobId = r.i32();
        message.damage = r.u8();
      })) {
    return false;
  }
  out = message;
  return true;
}

Bytes encodeNonce(std::uint32_t nonce) {
  ByteWriter writer;
  writer.u32(nonce);
  return std::move(writer.bytes);
}

bool decodeNonce(ByteView payload, std::uint32_t& out) {
  std::uint32_t nonce = 0;
  if (!readAll(payload, [&](ByteReader& r) { nonce = r.u32(); })) return false;
  out = nonce;
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

LinkStatus serviceLink(PeerLink& link, double now, bool isHost, RttState& rtt, const Transmit& transmit) {
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
  flushQueue(link, now, transmit);
  return LinkStatus::Alive;
}

void onPong(RttState& rtt, std::uint32_t nonce, double now) {
  if (rtt.lastPingNonce == 0 || nonce != rtt.lastPingNonce) return;
  addRttSample(rtt, (now - rtt.lastPingTime) * 1000.0);
}

}  // namespace zorv
