#pragma once
// The host smoke test of "--hosttest": a throw-away world hosted once in Chinese, the
// hosting line printed, the world deleted again.

namespace zorv {

struct ClientSession;

inline constexpr const char* kHostTestWorld = "__hosttest__";
inline constexpr const char* kHostTestPlayer = "HostTest";
inline constexpr unsigned kHostTestPort = 27892;

// Prints "hosttest: <hosting line>" and returns 0, or the failure and 1.
int runHostTest(ClientSession& session);

}  // namespace zorv
