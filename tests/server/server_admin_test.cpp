// The server process as an operator and an attacker meet it: a real client joins while
// Hellos pour in from fresh source ports, the console removes, bans, pardons and talks to
// players, a full server says so, and a save that cannot be written ends the server with
// a failure instead of a false "Saved".

#include <cstdio>

#include "net/protocol.h"
#include "net/session.h"
#include "persist/save_file.h"
#include "server_process.h"

namespace zorv::testing {
namespace {

constexpr double kJoinSeconds = 20.0;
constexpr const char* kWorld = "Ops";

// Hellos that never go on, each from a new source port, at a steady rate.
class HelloFlood {
 public:
  HelloFlood(std::uint16_t port, double perSecond) : target_(loopbackEndpoint(port)), perSecond_(perSecond) {}
  // Sends what the rate allows since the first call.
  void run() {
    const auto now = std::chrono::steady_clock::now();
    if (!started_) {
      started_ = true;
      start_ = now;
    }
    const double due = std::chrono::duration<double>(now - start_).count() * perSecond_;
    const Bytes hello =
        buildDatagram({MessageType::Hello, true, 1, 0}, encodeHello({kClientRevision, kInitialModFingerprint, "Flood"}));
    for (; sent_ < static_cast<long>(due); ++sent_) {
      UdpSocket socket;  // a fresh socket: a port the server has not seen
      if (socket.open(std::nullopt) == UdpSocket::OpenResult::Ok) socket.sendTo(target_, hello);
    }
  }
  long sent() const { return sent_; }

 private:
  Endpoint target_;
  double perSecond_;
  bool started_ = false;
  std::chrono::steady_clock::time_point start_;
  long sent_ = 0;
};

TEST(ServerAdmin, ARealClientJoinsWithinTwoSecondsDuringAHelloFlood) {
  ServerFolder folder;
  const std::uint16_t port = freeUdpPort();
  ServerProcess server(folder, {kWorld, std::to_string(port)});
  ASSERT_TRUE(server.waitFor("[log] Hosting", kJoinSeconds)) << server.output();
  HelloFlood flood(port, 500.0);
  const auto floodStart = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - floodStart < std::chrono::seconds(2)) {
    flood.run();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    server.output();  // keep the console pipe drained
  }
  const auto joinStart = std::chrono::steady_clock::now();
  HeadlessClient real(port, "Real");
  ASSERT_TRUE(real.runUntil([&] { return real.playing(); }, 10.0, [&] {
    flood.run();
    server.output();
  })) << server.output().substr(0, 2000);
  const double joinSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - joinStart).count();
  // It stays in while the flood goes on.
  real.runUntil([] { return false; }, 2.0, [&] {
    flood.run();
    server.output();
  });
  EXPECT_TRUE(real.playing());
  EXPECT_TRUE(real.session.net.active);
  std::printf("hello flood: %ld Hellos at 500/s from fresh ports; the real client played after %.3f s\n", flood.sent(),
              joinSeconds);
  RecordProperty("joinSeconds", std::to_string(joinSeconds));
  EXPECT_LT(joinSeconds, 2.0);
  EXPECT_GT(flood.sent(), 1500);
}

bool hasMessagePart(const HeadlessClient& client, const std::string& part) {
  for (const LogEntry& entry : client.session.messages) {
    if (entry.text.find(part) != std::string::npos) return true;
  }
  return false;
}

TEST(ServerAdmin, KickBanPardonSayAndAFullServer) {
  ServerFolder folder;
  const std::uint16_t port = freeUdpPort();
  ServerProcess server(folder, {kWorld, std::to_string(port), "--max-players", "1"});
  ASSERT_TRUE(server.waitFor("[log] Hosting", kJoinSeconds)) << server.output();

  auto alpha = std::make_unique<HeadlessClient>(port, "Alpha");
  ASSERT_TRUE(alpha->runUntil([&] { return alpha->playing(); }, kJoinSeconds)) << server.output();
  server.whileWaiting = [&] { alpha->frame(); };
  EXPECT_TRUE(server.waitFor("[log] Alpha joined from 127.0.0.1:", 5.0)) << server.output();

  // One player is all this server takes.
  HeadlessClient beta(port, "Beta");
  ASSERT_TRUE(beta.runUntil([&] { return !beta.session.net.active; }, kJoinSeconds, [&] { alpha->frame(); }));
  EXPECT_TRUE(beta.hasMessage("Join failed: Server is full")) << beta.session.messages.back().text;

  server.type("/say hello everyone");
  ASSERT_TRUE(alpha->runUntil([&] { return alpha->hasMessage("Server: hello everyone"); }, 5.0)) << server.output();

  server.type("/kick alpha being rude");
  ASSERT_TRUE(alpha->runUntil([&] { return !alpha->session.net.active || !alpha->playing(); }, 5.0));
  EXPECT_TRUE(hasMessagePart(*alpha, "being rude"));
  EXPECT_TRUE(server.waitFor("[log] Alpha (127.0.0.1:", 5.0)) << server.output();
  server.whileWaiting = nullptr;

  // A banned name is refused with the reason, whatever its letter case, until pardoned.
  server.type("/ban ALPHA");
  ASSERT_TRUE(server.waitFor("[log] Banned ALPHA", 5.0)) << server.output();
  const auto bans = readFileBytes(folder.saves() / kWorld / "bans.txt");
  ASSERT_TRUE(bans.has_value());
  EXPECT_EQ(std::string(bans->begin(), bans->end()), "ALPHA\n");
  alpha = std::make_unique<HeadlessClient>(port, "Alpha");
  ASSERT_TRUE(alpha->runUntil([&] { return !alpha->session.net.active; }, kJoinSeconds));
  EXPECT_TRUE(alpha->hasMessage("Join failed: You are banned from this server"));
  server.type("/pardon alpha");
  ASSERT_TRUE(server.waitFor("[log] Pardoned alpha", 5.0)) << server.output();
  alpha = std::make_unique<HeadlessClient>(port, "Alpha");
  EXPECT_TRUE(alpha->runUntil([&] { return alpha->playing(); }, kJoinSeconds)) << server.output();
  server.signal(SIGTERM);
  EXPECT_EQ(server.waitExit(10.0), std::optional<int>(0));
  const auto after = readFileBytes(folder.saves() / kWorld / "bans.txt");
  ASSERT_TRUE(after.has_value());
  EXPECT_TRUE(after->empty());
}

TEST(ServerAdmin, ASaveThatCannotBeWrittenEndsTheServerWithAFailure) {
  for (const bool bySignal : {false, true}) {
    ServerFolder folder;
    const std::uint16_t port = freeUdpPort();
    ServerProcess server(folder, {kWorld, std::to_string(port)});
    ASSERT_TRUE(server.waitFor("[log] Hosting", kJoinSeconds)) << server.output();
    // The level file's temporary name is taken by a folder: no save can complete.
    std::filesystem::create_directories(folder.saves() / kWorld / "level.dat.tmp");
    server.type("/save");
    EXPECT_TRUE(server.waitFor("[log] Could not save Ops", 10.0)) << server.output();
    if (bySignal) {
      server.signal(SIGTERM);
    } else {
      server.type("/stop");
    }
    const std::optional<int> status = server.waitExit(10.0);
    ASSERT_TRUE(status.has_value());
    EXPECT_NE(*status, 0);
    EXPECT_EQ(server.output().find("[log] Saved Ops"), std::string::npos) << server.output();
  }
  // --help and --version end at once with success; an unknown option is no world name.
  ServerFolder folder;
  for (const char* flag : {"--help", "--version"}) {
    ServerProcess asked(folder, {flag});
    EXPECT_EQ(asked.waitExit(10.0), std::optional<int>(0));
    EXPECT_NE(asked.output().find(std::string(flag) == "--help" ? "usage: zorvander-server" : "Zorvander zk-110320"),
              std::string::npos);
  }
  ServerProcess unknown(folder, {"--world-name"});
  EXPECT_EQ(unknown.waitExit(10.0), std::optional<int>(2));
  EXPECT_FALSE(std::filesystem::exists(folder.saves()));
}

}  // namespace
}  // namespace zorv::testing
