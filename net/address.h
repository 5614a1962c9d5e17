#pragma once
// Server addresses: parsing the typed text (optional port, bracket syntax), IPv4
// literals, DNS SRV records "_zorvander._udp.<host>." for bare names, then name resolution.
// Every failure produces one user-facing message.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace zorv {

inline constexpr std::uint16_t kDefaultGamePort = 27632;

// An IPv4 socket address, both fields in host byte order.
struct Endpoint {
  std::uint32_t address = 0;
  std::uint16_t port = 0;
  friend bool operator==(const Endpoint&, const Endpoint&) = default;
};

// 127.0.0.1 on `port`.
Endpoint loopbackEndpoint(std::uint16_t port);
// "a.b.c.d:port".
std::string formatEndpoint(const Endpoint& endpoint);

struct ServerAddress {
  std::string host;
  std::uint16_t port = kDefaultGamePort;
  bool portGiven = false;
};

bool parseServerAddress(std::string_view text, std::uint16_t defaultPort, ServerAddress& out, std::string& error);

struct SrvRecord {
  std::uint16_t priority = 0;
  std::uint16_t weight = 0;
  std::uint16_t port = 0;
  std::string target;
};

// Keeps the records of the lowest priority (in order) and picks one by weight (a weight
// of 0 counts as 1) with `random`. Null when no record has a target.
const SrvRecord* chooseSrvRecord(std::span<const SrvRecord> records, std::uint32_t random);

// The name server to ask for SRV records: the system's configuration, or one given
// server reached through a private resolver state.
struct NameServer {
  bool useSystem = true;
  Endpoint server;
};

// Looks up "_zorvander._udp.<host>." and picks a record; false when there is none usable
// (empty target or port 0 included).
bool lookupGameSrv(const std::string& host, std::string& target, std::uint16_t& port,
                   const NameServer& nameServer = {});

// The SRV step of resolution, replaceable so tests can see whether a query happens.
using SrvLookup = std::function<bool(const std::string& host, std::string& target, std::uint16_t& port)>;

// Parse, SRV lookup for a bare name without a port, then getaddrinfo (IPv4, UDP).
// The default SRV lookup asks the system's name server.
bool resolveServer(std::string_view text, std::uint16_t defaultPort, Endpoint& out, std::string& error,
                   const SrvLookup& srvLookup = {});

}  // namespace zorv
