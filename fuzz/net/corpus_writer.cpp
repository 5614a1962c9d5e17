// Writes the fuzzer's starting corpus: valid datagram sequences in the fuzzer's input
// layout (control byte, 16-bit length, datagram), built with the protocol's own encoders.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "net/protocol.h"

namespace {

using zorv::Bytes;
using zorv::MessageType;

void append(Bytes& input, std::uint8_t control, MessageType type, bool reliable, std::uint32_t sequence,
            std::uint32_t ack, const Bytes& payload) {
  const Bytes datagram = zorv::buildDatagram({type, reliable, sequence, ack}, payload);
  input.push_back(control);
  input.push_back(static_cast<std::uint8_t>(datagram.size()));
  input.push_back(static_cast<std::uint8_t>(datagram.size() >> 8));
  input.insert(input.end(), datagram.begin(), datagram.end());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  const Bytes hello = zorv::encodeHello({4, 2166136261u, "Seed"});
  std::vector<Bytes> seeds(4);
  // A client joining and playing.
  append(seeds[0], 0, MessageType::Hello, true, 1, 0, hello);
  append(seeds[0], 4, MessageType::PlayerState, false, 0, 1, zorv::encodePlayerState({}));
  append(seeds[0], 4, MessageType::EditRequest, true, 2, 1, zorv::encodeEditRequest({1, 2, 3, 4, 0, 0}));
  append(seeds[0], 4, MessageType::Chat, true, 3, 2, zorv::encodeClientChat("hi"));
  append(seeds[0], 4, MessageType::Ping, false, 0, 2, zorv::encodeNonce(1));
  append(seeds[0], 4, MessageType::AttackMob, true, 5, 2, zorv::encodeAttackMob({1, 2}));
  append(seeds[0], 4, MessageType::PickupRequest, true, 4, 2, zorv::encodeInt32(7));
  append(seeds[0], 40, MessageType::Bye, true, 6, 3, zorv::encodeReason("Disconnected"));
  // What a host sends a client.
  append(seeds[1], 0, MessageType::Welcome, true, 1, 1, zorv::encodeWelcome({2, 4242, 1, 2, 3, 0.5f, 1, "Host"}));
  const std::vector<zorv::BlockEdit> edits(5, zorv::BlockEdit{1, 2, 3, 4, 255});
  append(seeds[1], 0, MessageType::BlockEdits, true, 3, 1, zorv::encodeBlockEdits(edits));
  append(seeds[1], 0, MessageType::Ready, true, 2, 1, {});
  append(seeds[1], 0, MessageType::PlayerInfo, true, 4, 1, zorv::encodePlayerInfo({1, "Host"}));
  append(seeds[1], 0, MessageType::PlayerLeft, true, 5, 1, zorv::encodeInt32(3));
  append(seeds[1], 0, MessageType::Chat, true, 6, 1, zorv::encodeHostChat({"Host", "hi"}));
  append(seeds[1], 0, MessageType::PickupGrant, true, 7, 1, zorv::encodePickupGrant({1, 2, 3, 4}));
  append(seeds[1], 0, MessageType::WorldClock, false, 0, 1, zorv::encodeWorldClock({0.5f, 1}));
  append(seeds[1], 0, MessageType::MobSnapshot, false, 0, 1, zorv::encodeMobSnapshot(std::vector<zorv::MobEntry>(2)));
  append(seeds[1], 0, MessageType::DropSnapshot, false, 0, 1,
         zorv::encodeDropSnapshot(std::vector<zorv::DropEntry>(2)));
  append(seeds[1], 0, MessageType::Pong, false, 0, 1, zorv::encodeNonce(1));
  append(seeds[1], 0, MessageType::Bye, true, 8, 1, zorv::encodeReason(""));
  // Rejections and several peers at once.
  append(seeds[2], 0, MessageType::Hello, true, 1, 0, zorv::encodeHello({3, 0, "Old"}));
  append(seeds[2], 1, MessageType::Hello, true, 1, 0, hello);
  append(seeds[2], 2, MessageType::Hello, true, 2, 0, hello);
  append(seeds[2], 0, MessageType::Reject, true, 1, 0, zorv::encodeReason("Mod lists do not match"));
  // Time passing: resends, pings and time-outs.
  append(seeds[3], 0, MessageType::Hello, true, 1, 0, hello);
  for (int i = 0; i < 20; ++i)
    append(seeds[3], 252, MessageType::PlayerState, false, 0, 0, zorv::encodePlayerState({}));
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    std::ofstream out(folder / ("seed" + std::to_string(i)), std::ios::binary);
    out.write(reinterpret_cast<const char*>(seeds[i].data()), static_cast<std::streamsize>(seeds[i].size()));
  }
  return 0;
}
