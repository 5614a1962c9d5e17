#pragma once
// The loop-back network test: a host and a client in one process exchange the handshake,
// a 12,000-edit world transfer, the ready message and one edit request over UDP.

#include <cstddef>
#include <cstdio>
#include <string>

namespace zorv {

inline constexpr unsigned kNetTestPort = 27891;
inline constexpr int kNetTestSeed = 4242;
inline constexpr int kNetTestMaxIterations = 1500;
inline constexpr std::size_t kNetTestEdits = 12000;

struct NetTestOutcome {
  bool started = false;  // false: `startError` says which endpoint failed and why
  std::string startError;
  bool joined = false;
  bool welcomed = false;
  bool ready = false;
  std::size_t editsReceived = 0;
  std::size_t editsSent = 0;
  bool editRequest = false;
  bool world = false;      // the client world holds the last transferred edit
  int iterations = 0;      // loop iterations used (at most 1,500)
  double loopSeconds = 0;  // wall time of the loop
  int failures = 0;        // 0 or 1
};

// Runs the exchange on the UDP port given, without printing.
NetTestOutcome runNetExchange(unsigned port);

// "--nettest": runs the exchange on port 27891, prints the summary line (or the start-up
// failure) on `out` and returns the exit status.
int runNetTest(std::FILE* out = stdout);

}  // namespace zorv
