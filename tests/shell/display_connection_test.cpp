#include "shell/display_connection.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace zorv {
namespace {

constexpr std::size_t kFrameBytes = 1280 * 720 * 4;

// Bytes a non-blocking write puts into the socket before it would block, nobody reading.
std::size_t bytesTakenWithoutReader(int socket) {
  fcntl(socket, F_SETFL, fcntl(socket, F_GETFL) | O_NONBLOCK);
  const std::vector<char> frame(kFrameBytes, 7);
  std::size_t written = 0;
  while (written < frame.size()) {
    const ssize_t n = write(socket, frame.data() + written, frame.size() - written);
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  return written;
}

struct SocketPair {
  int ends[2] = {-1, -1};
  SocketPair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0); }
  ~SocketPair() {
    close(ends[0]);
    close(ends[1]);
  }
};

TEST(DisplayConnection, AWidenedSocketTakesAWholeFrameWithoutWaitingForTheReader) {
  EXPECT_EQ(widenSendBuffer(-1, kDisplaySendBufferBytes), 0);

  // With the default buffer a frame does not fit: the writer waits for the reader.
  SocketPair plain;
  EXPECT_LT(bytesTakenWithoutReader(plain.ends[0]), kFrameBytes);

  SocketPair widened;
  const int size = widenSendBuffer(widened.ends[0], kDisplaySendBufferBytes);
  EXPECT_GT(size, 0);
  long systemMaximum = 0;
  std::ifstream("/proc/sys/net/core/wmem_max") >> systemMaximum;
  if (2 * systemMaximum < static_cast<long>(kFrameBytes + kFrameBytes / 8)) GTEST_SKIP() << "the system caps send buffers at " << systemMaximum;
  EXPECT_EQ(bytesTakenWithoutReader(widened.ends[0]), kFrameBytes);
}

}  // namespace
}  // namespace zorv
