#include "net/protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace zorv {
namespace {

// Every proper prefix of a valid payload must be rejected as a whole.
template <class Decode>
void expectPrefixesInvalid(const Bytes& payload, Decode decode) {
  for (std::size_t length = 0; length < payload.size(); ++length) {
    EXPECT_FALSE(decode(ByteView(payload.data(), length))) << "prefix of " << length << " bytes";
  }
  EXPECT_TRUE(decode(ByteView(payload)));
}

Bytes bytesOf(std::initializer_list<int> values) {
  Bytes out;
  for (const int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

TEST(DatagramHeader, LayoutIsNineteenLittleEndianBytes) {
  const std::uint8_t payload[] = {0xAA, 0xBB};
  const Bytes reliable = buildDatagram({MessageType::BlockEdits, true, 0x01020304, 0x0A0B0C0D}, payload);
  EXPECT_EQ(reliable, bytesOf({'Z',  'K',  'N',  'P',  2, 5, 1, 0x04, 0x03, 0x02, 0x01,
                               0x0D, 0x0C, 0x0B, 0x0A, 0, 0, 0, 0,    0xAA, 0xBB}));
  // An unreliable message carries sequence 0 whatever the caller put there.
  const Bytes unreliable = buildDatagram({MessageType::Ping, false, 77, 9}, {});
  EXPECT_EQ(unreliable, bytesOf({'Z', 'K', 'N', 'P', 2, 18, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0}));

  const auto header = parseHeader(reliable);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->type, MessageType::BlockEdits);
  EXPECT_TRUE(header->reliable);
  EXPECT_EQ(header->sequence, 0x01020304u);
  EXPECT_EQ(header->ack, 0x0A0B0C0Du);

  // Exactly 19 bytes with the reliable flag: a message with an empty payload.
  const Bytes ready = buildDatagram({MessageType::Ready, true, 3, 0}, {});
  ASSERT_EQ(ready.size(), 19u);
  ASSERT_TRUE(parseHeader(ready));
  EXPECT_TRUE(parseHeader(ready)->reliable);

  EXPECT_FALSE(parseHeader(ByteView(ready.data(), 18)));
  Bytes foreign = ready;
  foreign[0] = 'X';
  EXPECT_FALSE(parseHeader(foreign));
  Bytes otherVersion = ready;
  otherVersion[4] = 3;
  EXPECT_FALSE(parseHeader(otherVersion));
  // Reserved bytes and unknown flag bits are ignored on reading.
  Bytes reserved = ready;
  reserved[6] = 0xFF;
  reserved[16] = 0x55;
  ASSERT_TRUE(parseHeader(reserved));
  EXPECT_TRUE(parseHeader(reserved)->reliable);
}

TEST(DatagramHeader, DirectionFilterAcceptsOnlyEachSidesTypes) {
  const std::vector<int> host = {1, 6, 7, 13, 15, 16, 17, 18};
  const std::vector<int> client = {2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13, 14, 17, 19};
  for (int type = 0; type < 256; ++type) {
    const auto message = static_cast<MessageType>(type);
    EXPECT_EQ(hostAccepts(message), std::find(host.begin(), host.end(), type) != host.end()) << type;
    EXPECT_EQ(clientAccepts(message), std::find(client.begin(), client.end(), type) != client.end()) << type;
  }
}

TEST(MessageCodec, HelloAndWelcomeHaveTheirByteLayout) {
  const Bytes hello = encodeHello({4, 0x811C9DC5, "Ab"});
  EXPECT_EQ(hello, bytesOf({4, 0, 0, 0, 0xC5, 0x9D, 0x1C, 0x81, 2, 0, 'A', 'b'}));
  HelloMessage decodedHello;
  ASSERT_TRUE(decodeHello(hello, decodedHello));
  EXPECT_EQ(decodedHello.revision, 4u);
  EXPECT_EQ(decodedHello.modFingerprint, 0x811C9DC5u);
  EXPECT_EQ(decodedHello.name, "Ab");
  expectPrefixesInvalid(hello, [](ByteView p) {
    HelloMessage m;
    return decodeHello(p, m);
  });

  const WelcomeMessage welcome{-2, 4242, 10.0f, 30.0f, -10.5f, 0.25f, 2, "HostTest"};
  const Bytes encoded = encodeWelcome(welcome);
  // 4 + 4 + 4 * 4 + 1 + 2 + 8 bytes; 1.0f is 0x3F800000, 0.25f is 0x3E800000.
  ASSERT_EQ(encoded.size(), 35u);
  EXPECT_EQ(Bytes(encoded.begin(), encoded.begin() + 8), bytesOf({0xFE, 0xFF, 0xFF, 0xFF, 0x92, 0x10, 0, 0}));
  EXPECT_EQ(Bytes(encoded.begin() + 20, encoded.begin() + 25), bytesOf({0, 0, 0x80, 0x3E, 2}));
  WelcomeMessage decoded;
  ASSERT_TRUE(decodeWelcome(encoded, decoded));
  EXPECT_EQ(decoded.playerId, -2);
  EXPECT_EQ(decoded.seed, 4242u);
  EXPECT_EQ(decoded.spawnX, 10.0f);
  EXPECT_EQ(decoded.spawnY, 30.0f);
  EXPECT_EQ(decoded.spawnZ, -10.5f);
  EXPECT_EQ(decoded.timeOfDay, 0.25f);
  EXPECT_EQ(decoded.weather, 2);
  EXPECT_EQ(decoded.hostName, "HostTest");
  expectPrefixesInvalid(encoded, [](ByteView p) {
    WelcomeMessage m;
    return decodeWelcome(p, m);
  });
}

TEST(MessageCodec, EveryOtherMessageRoundTripsAndRejectsTruncation) {
  const std::vector<BlockEdit> edits = {{1, -48, -1048575, 3, 255}, {-7, 63, 12, 0x8001, 7}};
  const Bytes editsPayload = encodeBlockEdits(edits);
  ASSERT_EQ(editsPayload.size(), 2u + 2 * 15);
  EXPECT_EQ(Bytes(editsPayload.begin(), editsPayload.begin() + 17),
            bytesOf({2, 0, 1, 0, 0, 0, 0xD0, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0xF0, 0xFF, 3, 0, 255}));
  std::vector<BlockEdit> decodedEdits;
  ASSERT_TRUE(decodeBlockEdits(editsPayload, kClientMaxEditsPerMessage, decodedEdits));
  EXPECT_EQ(decodedEdits, edits);
  expectPrefixesInvalid(editsPayload, [](ByteView p) {
    std::vector<BlockEdit> m;
    return decodeBlockEdits(p, 512, m);
  });

  const Bytes request = encodeEditRequest({5, 6, -7, 19, 1, 0x8003});
  EXPECT_EQ(request, bytesOf({5, 0, 0, 0, 6, 0, 0, 0, 0xF9, 0xFF, 0xFF, 0xFF, 19, 0, 1, 3, 0x80}));
  EditRequestMessage decodedRequest;
  ASSERT_TRUE(decodeEditRequest(request, decodedRequest));
  EXPECT_EQ(decodedRequest.z, -7);
  EXPECT_EQ(decodedRequest.block, 19);
  EXPECT_EQ(decodedRequest.gameMode, 1);
  EXPECT_EQ(decodedRequest.heldItem, 0x8003);
  expectPrefixesInvalid(request, [](ByteView p) {
    EditRequestMessage m;
    return decodeEditRequest(p, m);
  });

  const Bytes state = encodePlayerState({3, 1.5f, 2.5f, -3.5f, 0.5f, -0.25f, 2, 255, 1});
  ASSERT_EQ(state.size(), 27u);
  PlayerStateMessage decodedState;
  ASSERT_TRUE(decodePlayerState(state, decodedState));
  EXPECT_EQ(decodedState.playerId, 3);
  EXPECT_EQ(decodedState.z, -3.5f);
  EXPECT_EQ(decodedState.pitch, -0.25f);
  EXPECT_EQ(decodedState.gameMode, 2);
  EXPECT_EQ(decodedState.health, 255);
  EXPECT_EQ(decodedState.flying, 1);
  expectPrefixesInvalid(state, [](ByteView p) {
    PlayerStateMessage m;
    return decodePlayerState(p, m);
  });

  const Bytes clock = encodeWorldClock({0.75f, 1});
  EXPECT_EQ(clock, bytesOf({0, 0, 0x40, 0x3F, 1}));
  expectPrefixesInvalid(clock, [](ByteView p) {
    WorldClockMessage m;
    return decodeWorldClock(p, m);
  });

  const std::vector<MobEntry> mobs = {{9, 1, 2, 3, 0.5f, 2, 7, 3}};
  const Bytes mobPayload = encodeMobSnapshot(mobs);
  ASSERT_EQ(mobPayload.size(), 1u + 23);
  std::vector<MobEntry> decodedMobs;
  ASSERT_TRUE(decodeMobSnapshot(mobPayload, decodedMobs));
  ASSERT_EQ(decodedMobs.size(), 1u);
  EXPECT_EQ(decodedMobs[0].id, 9);
  EXPECT_EQ(decodedMobs[0].heading, 0.5f);
  EXPECT_EQ(decodedMobs[0].flags, 3);
  expectPrefixesInvalid(mobPayload, [](ByteView p) {
    std::vector<MobEntry> m;
    return decodeMobSnapshot(p, m);
  });

  const std::vector<DropEntry> drops = {{4, 1, 2, 3, 0x8002, 59, 65535, 1.25f}};
  const Bytes dropPayload = encodeDropSnapshot(drops);
  ASSERT_EQ(dropPayload.size(), 1u + 26);
  std::vector<DropEntry> decodedDrops;
  ASSERT_TRUE(decodeDropSnapshot(dropPayload, decodedDrops));
  EXPECT_EQ(decodedDrops[0].item, 0x8002);
  EXPECT_EQ(decodedDrops[0].durability, 59);
  EXPECT_EQ(decodedDrops[0].count, 65535);
  EXPECT_EQ(decodedDrops[0].age, 1.25f);
  expectPrefixesInvalid(dropPayload, [](ByteView p) {
    std::vector<DropEntry> m;
    return decodeDropSnapshot(p, m);
  });

  const Bytes info = encodePlayerInfo({7, "Zed"});
  EXPECT_EQ(info, bytesOf({7, 0, 0, 0, 3, 0, 'Z', 'e', 'd'}));
  expectPrefixesInvalid(info, [](ByteView p) {
    PlayerInfoMessage m;
    return decodePlayerInfo(p, m);
  });

  const Bytes left = encodeInt32(-3);
  EXPECT_EQ(left, bytesOf({0xFD, 0xFF, 0xFF, 0xFF}));
  expectPrefixesInvalid(left, [](ByteView p) {
    std::int32_t m;
    return decodeInt32(p, m);
  });

  const Bytes hostChat = encodeHostChat({"Al", "hi"});
  EXPECT_EQ(hostChat, bytesOf({2, 0, 'A', 'l', 2, 0, 'h', 'i'}));
  ChatMessage chat;
  ASSERT_TRUE(decodeHostChat(hostChat, chat));
  EXPECT_EQ(chat.sender, "Al");
  EXPECT_EQ(chat.text, "hi");
  expectPrefixesInvalid(hostChat, [](ByteView p) {
    ChatMessage m;
    return decodeHostChat(p, m);
  });
  ASSERT_TRUE(decodeClientChat(encodeClientChat("yo"), chat));
  EXPECT_EQ(chat.text, "yo");

  const Bytes grant = encodePickupGrant({11, 0x8004, 131, 64});
  EXPECT_EQ(grant, bytesOf({11, 0, 0, 0, 4, 0x80, 131, 0, 64, 0}));
  expectPrefixesInvalid(grant, [](ByteView p) {
    PickupGrantMessage m;
    return decodePickupGrant(p, m);
  });

  const Bytes attack = encodeAttackMob({12, 5});
  EXPECT_EQ(attack, bytesOf({12, 0, 0, 0, 5}));
  expectPrefixesInvalid(attack, [](ByteView p) {
    AttackMobMessage m;
    return decodeAttackMob(p, m);
  });

  const Bytes nonce = encodeNonce(0xDEADBEEF);
  EXPECT_EQ(nonce, bytesOf({0xEF, 0xBE, 0xAD, 0xDE}));
  expectPrefixesInvalid(nonce, [](ByteView p) {
    std::uint32_t m;
    return decodeNonce(p, m);
  });

  std::string reason;
  ASSERT_TRUE(decodeReason(encodeReason("Disconnected"), reason));
  EXPECT_EQ(reason, "Disconnected");
}

TEST(MessageCodec, StringsAreCappedAndCountsBounded) {
  const std::string longText(300, 'x');
  const Bytes chat = encodeClientChat(longText);
  ASSERT_EQ(chat.size(), 202u);
  EXPECT_EQ(chat[0], 200);
  EXPECT_EQ(chat[1], 0);

  // A string count beyond the remaining bytes invalidates the message.
  std::string reason = "kept";
  EXPECT_FALSE(decodeReason(bytesOf({5, 0, 'a', 'b'}), reason));
  EXPECT_EQ(reason, "kept");
  // A reader accepts any count that fits, longer than a writer produces.
  Bytes longString = bytesOf({0x2C, 0x01});
  longString.resize(2 + 300, 'y');
  ASSERT_TRUE(decodeReason(longString, reason));
  EXPECT_EQ(reason.size(), 300u);

  // Writers cap lists: 64 edits, 40 mobs and drops.
  const std::vector<BlockEdit> manyEdits(100);
  EXPECT_EQ(encodeBlockEdits(manyEdits).size(), 2u + 64 * 15);
  const std::vector<MobEntry> manyMobs(50);
  EXPECT_EQ(encodeMobSnapshot(manyMobs)[0], 40);
  const std::vector<DropEntry> manyDrops(50);
  EXPECT_EQ(encodeDropSnapshot(manyDrops)[0], 40);

  // Readers ignore counts above their limits, even when the entries are there.
  Bytes edits = bytesOf({0x01, 0x02});  // 513
  edits.resize(2 + 513 * 15, 0);
  std::vector<BlockEdit> decoded;
  EXPECT_FALSE(decodeBlockEdits(edits, kClientMaxEditsPerMessage, decoded));
  edits[0] = 0x00;  // 512
  edits.resize(2 + 512 * 15);
  EXPECT_TRUE(decodeBlockEdits(edits, kClientMaxEditsPerMessage, decoded));
  EXPECT_EQ(decoded.size(), 512u);
  Bytes mobs(1 + 41 * 23, 0);
  mobs[0] = 41;
  std::vector<MobEntry> decodedMobs;
  EXPECT_FALSE(decodeMobSnapshot(mobs, decodedMobs));
  Bytes drops(1 + 41 * 26, 0);
  drops[0] = 41;
  std::vector<DropEntry> decodedDrops;
  EXPECT_FALSE(decodeDropSnapshot(drops, decodedDrops));
}

TEST(MessageCodec, FloatsThatAreNotFiniteMakeTheMessageMalformed) {
  for (const float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity()}) {
    PlayerStateMessage state{2, 1, 2, 3, 0, 0, 1, 20, 0};
    state.y = bad;
    PlayerStateMessage decoded;
    EXPECT_FALSE(decodePlayerState(encodePlayerState(state), decoded));
    WelcomeMessage welcome;
    welcome.timeOfDay = bad;
    EXPECT_FALSE(decodeWelcome(encodeWelcome(welcome), welcome));
    const std::vector<DropEntry> drops = {{1, 0, 0, 0, 1, 0, 1, bad}};
    std::vector<DropEntry> decodedDrops;
    EXPECT_FALSE(decodeDropSnapshot(encodeDropSnapshot(drops), decodedDrops));
    WorldClockMessage clock{bad, 0};
    EXPECT_FALSE(decodeWorldClock(encodeWorldClock(clock), clock));
  }
}

// Two links joined by hand: what one side transmits is kept for the test to deliver.
struct Wire {
  std::vector<Bytes> sent;
  Transmit transmit() {
    return [this](ByteView datagram) { sent.emplace_back(datagram.begin(), datagram.end()); };
  }
};

struct Received {
  std::vector<std::pair<MessageType, Bytes>> messages;
  Deliver deliver() {
    return [this](MessageType type, ByteView payload) {
      messages.emplace_back(type, Bytes(payload.begin(), payload.end()));
    };
  }
};

void feed(PeerLink& link, const Bytes& datagram, double now, RttState& rtt, const Deliver& deliver) {
  const auto header = parseHeader(datagram);
  ASSERT_TRUE(header);
  receiveDatagram(link, *header, ByteView(datagram).subspan(kHeaderSize), now, rtt, deliver);
}

std::uint32_t sequenceOf(const Bytes& datagram) { return parseHeader(datagram)->sequence; }

TEST(Reliability, DuplicatesDroppedAndOutOfOrderDeliveredInOrder) {
  PeerLink sender, receiver;
  Wire wire;
  RttState rtt;
  for (std::uint8_t i = 1; i <= 3; ++i) {
    const std::uint8_t payload[] = {i};
    sendMessage(sender, MessageType::Chat, payload, true, 0.0, wire.transmit());
  }
  ASSERT_EQ(wire.sent.size(), 3u);
  EXPECT_EQ(sequenceOf(wire.sent[0]), 1u);
  EXPECT_EQ(sequenceOf(wire.sent[2]), 3u);
  EXPECT_EQ(sender.nextSendSeq, 4u);
  EXPECT_EQ(sender.inFlight.size(), 3u);

  Received got;
  feed(receiver, wire.sent[0], 0.01, rtt, got.deliver());
  feed(receiver, wire.sent[0], 0.02, rtt, got.deliver());  // duplicate
  feed(receiver, wire.sent[2], 0.03, rtt, got.deliver());  // ahead: held
  EXPECT_EQ(got.messages.size(), 1u);
  feed(receiver, wire.sent[2], 0.04, rtt, got.deliver());  // held twice: kept once
  feed(receiver, wire.sent[1], 0.05, rtt, got.deliver());
  ASSERT_EQ(got.messages.size(), 3u);
  for (std::uint8_t i = 0; i < 3; ++i) EXPECT_EQ(got.messages[i].second, Bytes{static_cast<std::uint8_t>(i + 1)});
  EXPECT_EQ(receiver.nextExpectedSeq, 4u);
  EXPECT_TRUE(receiver.pending.empty());
  EXPECT_EQ(receiver.lastHeard, 0.05);

  // Unreliable messages are delivered at once and carry the cumulative acknowledgement.
  Wire back;
  sendMessage(receiver, MessageType::PlayerState, {}, false, 0.1, back.transmit());
  EXPECT_EQ(parseHeader(back.sent[0])->ack, 3u);
  EXPECT_EQ(parseHeader(back.sent[0])->sequence, 0u);
  feed(sender, back.sent[0], 0.1, rtt, got.deliver());
  EXPECT_TRUE(sender.inFlight.empty());
  EXPECT_EQ(got.messages.back().first, MessageType::PlayerState);
}

TEST(Reliability, OnlyTheReceiveWindowAheadIsKept) {
  PeerLink receiver;
  RttState rtt;
  Received got;
  auto reliable = [](std::uint32_t sequence) { return buildDatagram({MessageType::Chat, true, sequence, 0}, {}); };
  feed(receiver, reliable(128), 0, rtt, got.deliver());  // 127 ahead of 1: kept
  feed(receiver, reliable(129), 0, rtt, got.deliver());  // 128 ahead: dropped
  feed(receiver, reliable(0xFFFFFFFF), 0, rtt, got.deliver());
  EXPECT_EQ(receiver.pending.size(), 1u);
  for (std::uint32_t s = 1; s <= 127; ++s) feed(receiver, reliable(s), 0, rtt, got.deliver());
  EXPECT_EQ(got.messages.size(), 128u);
  EXPECT_EQ(receiver.nextExpectedSeq, 129u);
  feed(receiver, reliable(129), 0, rtt, got.deliver());  // resent: now in order
  EXPECT_EQ(receiver.nextExpectedSeq, 130u);
}

TEST(Reliability, QueueAssignsSequenceNumbersOnLeavingAndKeepsTheWindow) {
  PeerLink link;
  Wire wire;
  RttState rtt;
  for (int i = 0; i < 188; ++i) enqueueMessage(link, MessageType::BlockEdits, {}, 0.0, wire.transmit());
  EXPECT_EQ(link.inFlight.size(), 128u);
  EXPECT_EQ(link.sendQueue.size(), 60u);
  // A message sent directly overtakes the queue and takes the next free number.
  sendMessage(link, MessageType::Ready, {}, true, 0.0, wire.transmit());
  EXPECT_EQ(sequenceOf(wire.sent.back()), 129u);

  // An acknowledgement of 10 frees ten places; the queue refills them with 130..139.
  Received got;
  feed(link, buildDatagram({MessageType::PlayerState, false, 0, 10}, {}), 0.05, rtt, got.deliver());
  EXPECT_EQ(link.inFlight.size(), 119u);
  flushQueue(link, 0.05, wire.transmit());
  EXPECT_EQ(link.inFlight.size(), 128u);
  EXPECT_EQ(link.sendQueue.size(), 51u);
  EXPECT_EQ(sequenceOf(wire.sent.back()), 138u);
  EXPECT_EQ(parseHeader(wire.sent.back())->type, MessageType::BlockEdits);
}

TEST(Reliability, AcknowledgementsOfUnsentNumbersAreIgnored) {
  PeerLink link;
  Wire wire;
  RttState rtt;
  Received got;
  for (int i = 0; i < 3; ++i) sendMessage(link, MessageType::Chat, {}, true, 0.0, wire.transmit());
  feed(link, buildDatagram({MessageType::Pong, false, 0, 10}, {}), 0.1, rtt, got.deliver());
  EXPECT_EQ(link.inFlight.size(), 3u);
  feed(link, buildDatagram({MessageType::Pong, false, 0, 4}, {}), 0.1, rtt, got.deliver());
  EXPECT_EQ(link.inFlight.size(), 3u);
  feed(link, buildDatagram({MessageType::Pong, false, 0, 2}, {}), 0.1, rtt, got.deliver());
  ASSERT_EQ(link.inFlight.size(), 1u);
  EXPECT_EQ(link.inFlight.front().sequence, 3u);
  EXPECT_EQ(got.messages.size(), 3u);  // the messages themselves still arrive
}

TEST(Reliability, ThirteenTransmissionsThenTheLinkFails) {
  PeerLink link;
  Wire wire;
  RttState rtt;
  sendMessage(link, MessageType::Welcome, {}, true, 0.0, wire.transmit());
  enqueueMessage(link, MessageType::BlockEdits, {}, 0.0, wire.transmit());
  link.sendQueue.push_back({MessageType::BlockEdits, {}});  // waits, as if the window were full
  std::size_t transmissions = 0;
  double now = 0.0;
  LinkStatus status = LinkStatus::Alive;
  for (int step = 1; step <= 12; ++step) {
    now = step * 0.33;
    wire.sent.clear();
    status = serviceLink(link, now, true, rtt, wire.transmit());
    ASSERT_EQ(status, LinkStatus::Alive) << step;
    // Each step resends both in-flight messages (and flushes the queued one once).
    transmissions += static_cast<std::size_t>(
        std::count_if(wire.sent.begin(), wire.sent.end(), [](const Bytes& d) { return sequenceOf(d) == 1; }));
  }
  EXPECT_EQ(transmissions + 1, 13u);  // the first send plus 12 retransmissions
  EXPECT_EQ(link.inFlight.front().retransmissions, 12u);

  // Not yet due: nothing happens.
  wire.sent.clear();
  EXPECT_EQ(serviceLink(link, now + 0.3, true, rtt, wire.transmit()), LinkStatus::Alive);
  EXPECT_TRUE(wire.sent.empty());
  link.sendQueue.push_back({MessageType::BlockEdits, {}});
  const std::size_t inFlight = link.inFlight.size();
  EXPECT_EQ(serviceLink(link, now + 0.33, true, rtt, wire.transmit()), LinkStatus::Failed);
  EXPECT_TRUE(wire.sent.empty());
  EXPECT_EQ(link.inFlight.size(), inFlight);  // no flushing in the failing call
}

TEST(Reliability, RoundTripEstimateAndPings) {
  PeerLink link;
  Wire wire;
  RttState rtt;
  Received got;
  sendMessage(link, MessageType::Chat, {}, true, 0.0, wire.transmit());
  feed(link, buildDatagram({MessageType::Pong, false, 0, 1}, {}), 0.125, rtt, got.deliver());
  EXPECT_EQ(rtt.rttMs, 125);
  sendMessage(link, MessageType::Chat, {}, true, 1.0, wire.transmit());
  feed(link, buildDatagram({MessageType::Pong, false, 0, 2}, {}), 1.25, rtt, got.deliver());
  EXPECT_EQ(rtt.rttMs, 162);  // trunc(0.7 * 125 + 0.3 * 250)
  sendMessage(link, MessageType::Chat, {}, true, 2.0, wire.transmit());
  feed(link, buildDatagram({MessageType::Pong, false, 0, 3}, {}), 7.0, rtt, got.deliver());
  EXPECT_EQ(rtt.rttMs, 162);  // 5000 ms and more is no sample

  // A client pings when more than 0.2 s passed; a host never does.
  RttState clientRtt;
  PeerLink clientLink;
  Wire pings;
  for (int step = 1; step <= 8; ++step) serviceLink(clientLink, step * 0.125, false, clientRtt, pings.transmit());
  ASSERT_EQ(pings.sent.size(), 4u);  // at 0.25, 0.5, 0.75 and 1.0
  std::uint32_t nonce = 0;
  ASSERT_TRUE(decodeNonce(ByteView(pings.sent[3]).subspan(kHeaderSize), nonce));
  EXPECT_EQ(nonce, 4u);
  EXPECT_EQ(parseHeader(pings.sent[3])->type, MessageType::Ping);
  EXPECT_FALSE(parseHeader(pings.sent[3])->reliable);
  onPong(clientRtt, 3, 1.05);  // an older nonce: no sample
  EXPECT_EQ(clientRtt.rttMs, 0);
  onPong(clientRtt, 4, 1.05);
  EXPECT_EQ(clientRtt.rttMs, 50);
  onPong(clientRtt, 4, 7.0);  // pongs have no upper bound: trunc(0.7 * 50 + 0.3 * 6000)
  EXPECT_EQ(clientRtt.rttMs, 1835);

  PeerLink hostLink;
  Wire none;
  for (int step = 1; step <= 8; ++step) serviceLink(hostLink, step * 0.125, true, rtt, none.transmit());
  EXPECT_TRUE(none.sent.empty());
}

TEST(Reliability, OversizedPayloadsAreNeverSent) {
  PeerLink link;
  Wire wire;
  const Bytes tooLong(kMaxPayload + 1, 0);
  sendMessage(link, MessageType::Chat, tooLong, true, 0.0, wire.transmit());
  EXPECT_TRUE(wire.sent.empty());
  EXPECT_TRUE(link.inFlight.empty());
  EXPECT_EQ(link.nextSendSeq, 1u);
  const Bytes largest(kMaxPayload, 0);
  sendMessage(link, MessageType::Chat, largest, true, 0.0, wire.transmit());
  ASSERT_EQ(wire.sent.size(), 1u);
  EXPECT_EQ(wire.sent[0].size(), kMaxDatagram);
}

}  // namespace
}  // namespace zorv
