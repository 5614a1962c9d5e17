// A real SRV lookup: a private dnsmasq on a free loopback port serves the record, and the
// resolver is pointed at it through a private resolver state.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "net/address.h"
#include "net/udp_socket.h"

extern char** environ;

namespace zorv {
namespace {

constexpr const char* kDnsmasq = "/usr/sbin/dnsmasq";

std::uint16_t freeLoopbackPort() {
  UdpSocket probe;
  if (probe.open(0) != UdpSocket::OpenResult::Ok) return 0;
  return probe.localPort();
}

// A dnsmasq that answers only from its command line, for as long as the object lives.
class DnsServer {
 public:
  DnsServer(std::uint16_t port, const std::vector<std::string>& srvHosts) : port_(port) {
    std::vector<std::string> args = {
        kDnsmasq,      "--keep-in-foreground",    "--conf-file=/dev/null",      "--no-hosts",
        "--no-resolv", "--bind-interfaces",       "--listen-address=127.0.0.1", "--port=" + std::to_string(port),
        "--pid-file=", "--log-facility=/dev/null"};
    if (getuid() == 0) args.push_back("--user=root");
    for (const std::string& srv : srvHosts) args.push_back("--srv-host=" + srv);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, kDnsmasq, nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
  }
  ~DnsServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  bool running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
  NameServer nameServer() const { return {false, loopbackEndpoint(port_)}; }

  // Waits until the server answers a query for `host` (it needs a moment to start).
  bool waitUntilAnswering(const std::string& host) const {
    for (int attempt = 0; attempt < 100 && running(); ++attempt) {
      std::string target;
      std::uint16_t port = 0;
      if (lookupGameSrv(host, target, port, nameServer())) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

 private:
  std::uint16_t port_;
  pid_t pid_ = -1;
};

TEST(SrvLookup, DnsmasqRecordDecidesTargetAndPort) {
  // A missing test tool is a failure, not a skip: the lookup would go untested.
  ASSERT_EQ(access(kDnsmasq, X_OK), 0) << kDnsmasq << " is missing (package dnsmasq-base)";
  const std::uint16_t port = freeLoopbackPort();
  ASSERT_NE(port, 0);
  DnsServer server(port,
                   {"_zorvander._udp.localhost,localhost,25000,1,5", "_zorvander._udp.other.test,127.0.0.1,1,0,0"});
  ASSERT_TRUE(server.waitUntilAnswering("localhost")) << "dnsmasq did not answer on port " << port;

  std::string target;
  std::uint16_t srvPort = 0;
  ASSERT_TRUE(lookupGameSrv("localhost", target, srvPort, server.nameServer()));
  EXPECT_EQ(target, "localhost");
  EXPECT_EQ(srvPort, 25000);

  const SrvLookup viaServer = [&](const std::string& host, std::string& t, std::uint16_t& p) {
    return lookupGameSrv(host, t, p, server.nameServer());
  };
  Endpoint endpoint;
  std::string error;
  ASSERT_TRUE(resolveServer("localhost", kDefaultGamePort, endpoint, error, viaServer)) << error;
  EXPECT_EQ(endpoint, loopbackEndpoint(25000));

  // No record for the name: the lookup fails and resolution keeps the typed host and 27632.
  EXPECT_FALSE(lookupGameSrv("nothing.test", target, srvPort, server.nameServer()));
  DnsServer empty(freeLoopbackPort(), {"_zorvander._udp.other.test,127.0.0.1,1,0,0"});
  ASSERT_TRUE(empty.waitUntilAnswering("other.test"));
  const SrvLookup viaEmpty = [&](const std::string& host, std::string& t, std::uint16_t& p) {
    return lookupGameSrv(host, t, p, empty.nameServer());
  };
  ASSERT_TRUE(resolveServer("localhost", kDefaultGamePort, endpoint, error, viaEmpty)) << error;
  EXPECT_EQ(endpoint, loopbackEndpoint(27632));
}

}  // namespace
}  // namespace zorv
