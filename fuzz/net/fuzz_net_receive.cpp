// libFuzzer target for the receive path: arbitrary datagrams reach a host and a client
// (header parsing, reliability state, every message reader, the session handlers).
//
// Input layout: a series of records, each one control byte and a 16-bit little-endian
// length followed by that many datagram bytes. The control byte picks the sending peer
// (low two bits) and how far the clock moves before the datagram (high bits, 10 ms steps).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/session.h"

namespace {

constexpr zorv::Endpoint kServer{0x7F000001, 27632};

void prepare(zorv::NetSession& session, const double& now) {
  session.clock = [&now] { return now; };
  session.transmitHook = [](const zorv::Endpoint&, zorv::ByteView) {};
}

// The host side of the game: joins are answered the way the game answers them.
void answerJoins(zorv::NetSession& host) {
  for (const zorv::SessionEvent& event : zorv::takeEvents(host)) {
    if (event.kind != zorv::SessionEventKind::JoinRequested) continue;
    zorv::sendWelcome(host, event.playerId, {0, 4242, 10, 30, 10, 0.25f, 0, "Fuzz"});
    const zorv::BlockEdit edits[3] = {{1, 2, 3, 4, 255}, {5, 6, 7, 8, 3}, {9, 10, 11, 0, 255}};
    zorv::sendEditsTo(host, event.playerId, edits);
    zorv::sendReady(host, event.playerId);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  double now = 100.0;
  zorv::NetSession host, client;
  prepare(host, now);
  prepare(client, now);
  std::string error;
  if (!zorv::startHost(host, 0, error) || !zorv::connect(client, kServer, "Fuzz", error)) return 0;
  // Everything arrives through handleDatagram and leaves through the hooks.
  host.socket.close();
  client.socket.close();

  std::size_t offset = 0;
  while (size - offset >= 3) {
    const std::uint8_t control = data[offset];
    const std::size_t length = static_cast<std::size_t>(data[offset + 1] | data[offset + 2] << 8);
    offset += 3;
    const std::size_t available = std::min(length, size - offset);
    const zorv::ByteView datagram(data + offset, available);
    offset += available;

    now += 0.01 * (control >> 2);
    const zorv::Endpoint peer{0x7F000002, static_cast<std::uint16_t>(40000 + (control & 3))};
    zorv::handleDatagram(host, peer, datagram, now);
    zorv::handleDatagram(client, kServer, datagram, now);
    answerJoins(host);
    (void)zorv::takeEvents(client);
    zorv::pump(host);
    zorv::pump(client);
  }
  zorv::shutdown(client);
  zorv::shutdown(host);
  return 0;
}
