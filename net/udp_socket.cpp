#include "net/udp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace zorv {
namespace {

constexpr int kReceiveBufferBytes = 1 << 20;

sockaddr_in toSockaddr(const Endpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(endpoint.address);
  address.sin_port = htons(endpoint.port);
  return address;
}

}  // namespace

UdpSocket::UdpSocket(UdpSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

UdpSocket::OpenResult UdpSocket::open(std::optional<std::uint16_t> bindPort) {
  close();
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
  if (fd_ < 0) return OpenResult::CreateFailed;
  // A whole send window of full datagrams (128 × 1,200 bytes plus kernel overhead) must
  // fit, or a bulk transfer loses most of each window and waits for resends.
  const int receiveBuffer = kReceiveBufferBytes;
  (void)::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  if (bindPort) {
    const sockaddr_in address = toSockaddr({INADDR_ANY, *bindPort});
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      close();
      return OpenResult::BindFailed;
    }
  }
  return OpenResult::Ok;
}

void UdpSocket::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::uint16_t UdpSocket::localPort() const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

void UdpSocket::sendTo(const Endpoint& to, std::span<const std::uint8_t> datagram) const {
  if (fd_ < 0) return;
  const sockaddr_in address = toSockaddr(to);
  (void)::sendto(fd_, datagram.data(), datagram.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address),
                 sizeof address);
}

std::optional<std::size_t> UdpSocket::receiveFrom(std::span<std::uint8_t> buffer, Endpoint& from) const {
  if (fd_ < 0) return std::nullopt;
  for (;;) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    const ssize_t received =
        ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_TRUNC, reinterpret_cast<sockaddr*>(&address), &length);
    if (received < 0) {
      // An ICMP error of an earlier send surfaces here; it says nothing about what waits.
      if (errno == ECONNREFUSED || errno == EINTR) continue;
      return std::nullopt;
    }
    from = {ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)};
    return static_cast<std::size_t>(received);  // MSG_TRUNC: the full length, even when cut
  }
}

}  // namespace zorv
