#include "net/address.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zorv {
namespace {

struct Parsed {
  bool ok = false;
  ServerAddress address;
  std::string error;
};

Parsed parse(std::string_view text) {
  Parsed result;
  result.ok = parseServerAddress(text, kDefaultGamePort, result.address, result.error);
  return result;
}

TEST(ServerAddressParsing, HostsPortsAndBrackets) {
  Parsed domain = parse("play.example.org");
  ASSERT_TRUE(domain.ok);
  EXPECT_EQ(domain.address.host, "play.example.org");
  EXPECT_EQ(domain.address.port, 27632);
  EXPECT_FALSE(domain.address.portGiven);

  Parsed explicitPort = parse("play.example.org:25000");
  ASSERT_TRUE(explicitPort.ok);
  EXPECT_EQ(explicitPort.address.host, "play.example.org");
  EXPECT_EQ(explicitPort.address.port, 25000);
  EXPECT_TRUE(explicitPort.address.portGiven);

  Parsed trimmed = parse("  host:  80  ");
  ASSERT_TRUE(trimmed.ok);
  EXPECT_EQ(trimmed.address.host, "host");
  EXPECT_EQ(trimmed.address.port, 80);

  Parsed literal = parse("\t1.2.3.4\r\n");
  ASSERT_TRUE(literal.ok);
  EXPECT_EQ(literal.address.host, "1.2.3.4");
  EXPECT_EQ(literal.address.port, 27632);

  Parsed bracketed = parse("[::1]");
  ASSERT_TRUE(bracketed.ok);
  EXPECT_EQ(bracketed.address.host, "::1");
  EXPECT_FALSE(bracketed.address.portGiven);
  Parsed bracketedPort = parse("[ host ]:0080");
  ASSERT_TRUE(bracketedPort.ok);
  EXPECT_EQ(bracketedPort.address.host, "host");
  EXPECT_EQ(bracketedPort.address.port, 80);
  Parsed colons = parse("::1");  // two colons: all host, no port
  ASSERT_TRUE(colons.ok);
  EXPECT_EQ(colons.address.host, "::1");
  EXPECT_FALSE(colons.address.portGiven);

  Parsed highest = parse("h:65535");
  ASSERT_TRUE(highest.ok);
  EXPECT_EQ(highest.address.port, 65535);
  ServerAddress otherDefault;
  std::string error;
  ASSERT_TRUE(parseServerAddress("h", 1234, otherDefault, error));
  EXPECT_EQ(otherDefault.port, 1234);
}

TEST(ServerAddressParsing, EachFailureHasItsMessage) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "Enter a server address"},
      {" \t\r\n", "Enter a server address"},
      {":80", "Enter a server address"},
      {"[]", "Enter a server address"},
      {"[host", "Missing closing bracket"},
      {"[host]x", "Unexpected characters after address"},
      {"[host]:", "Invalid port"},
      {"host:", "Invalid port"},
      {"host:0", "Invalid port"},
      {"host:65536", "Invalid port"},
      {"host:99999999999999999999", "Invalid port"},
      {"host:8a", "Invalid port"},
      {"host:-1", "Invalid port"},
      {"host: 8 0", "Invalid port"},
  };
  for (const auto& [text, message] : cases) {
    const Parsed result = parse(text);
    EXPECT_FALSE(result.ok) << text;
    EXPECT_EQ(result.error, message) << text;
  }
}

TEST(ServerResolution, LiteralsSkipDnsAndIpv6IsRefused) {
  int srvQueries = 0;
  const SrvLookup counting = [&](const std::string&, std::string&, std::uint16_t&) {
    ++srvQueries;
    return false;
  };
  Endpoint endpoint;
  std::string error;
  ASSERT_TRUE(resolveServer("1.2.3.4", kDefaultGamePort, endpoint, error, counting));
  EXPECT_EQ(endpoint.address, 0x01020304u);
  EXPECT_EQ(endpoint.port, 27632);
  ASSERT_TRUE(resolveServer("10.0.0.1:9", kDefaultGamePort, endpoint, error, counting));
  EXPECT_EQ(endpoint.port, 9);
  EXPECT_EQ(srvQueries, 0);

  EXPECT_FALSE(resolveServer("[::1]", kDefaultGamePort, endpoint, error, counting));
  EXPECT_EQ(error, "IPv6 addresses are not supported yet");
  EXPECT_FALSE(resolveServer("::1", kDefaultGamePort, endpoint, error, counting));
  EXPECT_EQ(error, "IPv6 addresses are not supported yet");
  EXPECT_FALSE(resolveServer("host:8a", kDefaultGamePort, endpoint, error, counting));
  EXPECT_EQ(error, "Invalid port");
  EXPECT_EQ(srvQueries, 0);

  EXPECT_FALSE(resolveServer("255.255.255.255", kDefaultGamePort, endpoint, error, counting));
  EXPECT_EQ(error, "Could not resolve server");
}

TEST(ServerResolution, SrvOnlyForBareNamesAndItsAnswerReplacesHostAndPort) {
  std::vector<std::string> asked;
  const SrvLookup toLoopback = [&](const std::string& host, std::string& target, std::uint16_t& port) {
    asked.push_back(host);
    target = "127.0.0.1";
    port = 25001;
    return true;
  };
  Endpoint endpoint;
  std::string error;
  ASSERT_TRUE(resolveServer(" localhost ", kDefaultGamePort, endpoint, error, toLoopback));
  EXPECT_EQ(asked, std::vector<std::string>{"localhost"});
  EXPECT_EQ(endpoint, loopbackEndpoint(25001));

  // A port typed by the player wins: no SRV lookup.
  ASSERT_TRUE(resolveServer("localhost:25000", kDefaultGamePort, endpoint, error, toLoopback));
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(endpoint, loopbackEndpoint(25000));

  // An SRV failure is silent: the typed host and the default port.
  const SrvLookup none = [](const std::string&, std::string&, std::uint16_t&) { return false; };
  ASSERT_TRUE(resolveServer("localhost", kDefaultGamePort, endpoint, error, none));
  EXPECT_EQ(endpoint, loopbackEndpoint(27632));

  EXPECT_FALSE(resolveServer("name.invalid", kDefaultGamePort, endpoint, error, none));
  EXPECT_EQ(error.rfind("Could not resolve server: ", 0), 0u) << error;
  EXPECT_GT(error.size(), std::string("Could not resolve server: ").size());
  EXPECT_EQ(error.find('\n'), std::string::npos);
}

TEST(ServerResolution, EndpointsFormatAsDottedQuadAndPort) {
  EXPECT_EQ(formatEndpoint(loopbackEndpoint(27891)), "127.0.0.1:27891");
  EXPECT_EQ(formatEndpoint({0xC0A80001, 1}), "192.168.0.1:1");
  EXPECT_EQ(formatEndpoint({}), "0.0.0.0:0");
}

TEST(SrvChoice, LowestPriorityThenWeight) {
  const std::vector<SrvRecord> records = {
      {10, 100, 1000, "ten.example"},
      {5, 0, 2000, "five-a.example"},  // weight 0 counts as 1
      {5, 3, 3000, "five-b.example"},
      {7, 50, 4000, "seven.example"},
  };
  // Counts 1 and 3 for the two priority-5 records: draws 0 -> a; 1, 2, 3 -> b.
  EXPECT_EQ(chooseSrvRecord(records, 0)->target, "five-a.example");
  for (std::uint32_t draw : {1u, 2u, 3u}) EXPECT_EQ(chooseSrvRecord(records, draw)->target, "five-b.example");
  EXPECT_EQ(chooseSrvRecord(records, 4)->target, "five-a.example");           // 4 mod 4
  EXPECT_EQ(chooseSrvRecord(records, 0xFFFFFFFF)->target, "five-b.example");  // 3 mod 4

  // A lower priority seen later discards what was kept; records without a target do not count.
  const std::vector<SrvRecord> later = {{5, 1, 1, "a"}, {1, 1, 2, ""}, {3, 9, 3, "c"}, {3, 1, 4, "d"}};
  EXPECT_EQ(chooseSrvRecord(later, 8)->port, 3);
  EXPECT_EQ(chooseSrvRecord(later, 9)->port, 4);
  EXPECT_EQ(chooseSrvRecord(std::vector<SrvRecord>{{1, 1, 1, ""}}, 0), nullptr);
  EXPECT_EQ(chooseSrvRecord({}, 0), nullptr);
}

}  // namespace
}  // namespace zorv
