#pragma once
// A non-blocking IPv4 UDP socket: the few POSIX calls the sessions need.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "net/address.h"

namespace zorv {

class UdpSocket {
 public:
  UdpSocket() = default;
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;
  UdpSocket(UdpSocket&& other) noexcept;
  UdpSocket& operator=(UdpSocket&& other) noexcept;
  ~UdpSocket() { close(); }

  enum class OpenResult { Ok, CreateFailed, BindFailed };
  // Creates the socket, makes it non-blocking and, when a port is given, binds it to any
  // local address on that port (0: a free one). A failed bind leaves the socket closed.
  OpenResult open(std::optional<std::uint16_t> bindPort);
  void close();
  bool isOpen() const { return fd_ >= 0; }
  // The locally bound port (0 when unknown).
  std::uint16_t localPort() const;

  // Best effort, like every datagram send.
  void sendTo(const Endpoint& to, std::span<const std::uint8_t> datagram) const;
  // Reads one waiting datagram into `buffer` and returns its full length; a length above
  // the buffer's size means it was cut. Nothing when none waits.
  std::optional<std::size_t> receiveFrom(std::span<std::uint8_t> buffer, Endpoint& from) const;

 private:
  int fd_ = -1;
};

}  // namespace zorv
