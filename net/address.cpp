#include "net/address.h"

#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <netdb.h>
#include <netinet/in.h>
#include <resolv.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "net/net_text.h"
#include "platform/platform.h"

namespace zorv {
namespace {

constexpr std::string_view kWhitespace = " \t\r\n";
constexpr std::size_t kMaxSystemMessage = 1023;

std::string_view trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kWhitespace);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kWhitespace);
  return text.substr(first, last - first + 1);
}

bool fail(std::string& error, const char* english) {
  error = netText(english);
  return false;
}

// Decimal digits only, 1..65535, leading zeros allowed.
bool parsePort(std::string_view text, std::uint16_t& port) {
  text = trim(text);
  if (text.empty()) return false;
  std::uint32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
    if (value > 65535) return false;
  }
  if (value == 0) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}

bool isIpv4Literal(const std::string& host) {
  in_addr parsed{};
  return inet_pton(AF_INET, host.c_str(), &parsed) == 1;
}

// The operating system's text for a resolver error, on one line.
std::string resolverErrorText(int code, int savedErrno) {
  std::string text = code == EAI_SYSTEM ? std::strerror(savedErrno) : gai_strerror(code);
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  if (text.size() > kMaxSystemMessage) text.resize(kMaxSystemMessage);
  return text;
}

// The SRV answer records of a DNS response, in order.
std::vector<SrvRecord> srvAnswers(const unsigned char* answer, int length) {
  std::vector<SrvRecord> records;
  ns_msg message{};
  if (ns_initparse(answer, length, &message) != 0) return records;
  const int count = ns_msg_count(message, ns_s_an);
  for (int i = 0; i < count; ++i) {
    ns_rr record{};
    if (ns_parserr(&message, ns_s_an, i, &record) != 0) break;
    if (ns_rr_type(record) != ns_t_srv || ns_rr_rdlen(record) < 7) continue;
    const unsigned char* data = ns_rr_rdata(record);
    char target[NS_MAXDNAME];
    if (dn_expand(ns_msg_base(message), ns_msg_end(message), data + 6, target, sizeof target) < 0) continue;
    records.push_back({static_cast<std::uint16_t>(ns_get16(data)), static_cast<std::uint16_t>(ns_get16(data + 2)),
                       static_cast<std::uint16_t>(ns_get16(data + 4)), target});
  }
  return records;
}

std::uint32_t clockRandom() {
  const std::uint64_t nanos = platform::monotonicNanos();
  return static_cast<std::uint32_t>(nanos >> 32) ^ static_cast<std::uint32_t>(nanos);
}

}  // namespace

Endpoint loopbackEndpoint(std::uint16_t port) { return {INADDR_LOOPBACK, port}; }

std::string formatEndpoint(const Endpoint& endpoint) {
  in_addr address{};
  address.s_addr = htonl(endpoint.address);
  char text[INET_ADDRSTRLEN];
  if (inet_ntop(AF_INET, &address, text, sizeof text) == nullptr) std::strcpy(text, "0.0.0.0");
  return std::string(text) + ":" + std::to_string(endpoint.port);
}

bool parseServerAddress(std::string_view text, std::uint16_t defaultPort, ServerAddress& out, std::string& error) {
  text = trim(text);
  if (text.empty()) return fail(error, "Enter a server address");
  ServerAddress result;
  result.port = defaultPort;
  std::string_view host;
  std::string_view portText;
  bool hasPortText = false;
  if (text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return fail(error, "Missing closing bracket");
    host = text.substr(1, close - 1);
    if (close + 1 < text.size()) {
      if (text[close + 1] != ':') return fail(error, "Unexpected characters after address");
      hasPortText = true;
      portText = text.substr(close + 2);
    }
  } else {
    const std::size_t first = text.find(':');
    if (first == std::string_view::npos || first != text.rfind(':')) {
      host = text;
    } else {
      host = text.substr(0, first);
      hasPortText = true;
      portText = text.substr(first + 1);
    }
  }
  if (hasPortText) {
    result.portGiven = true;
    if (!parsePort(portText, result.port)) return fail(error, "Invalid port");
  }
  host = trim(host);
  if (host.empty()) return fail(error, "Enter a server address");
  result.host = std::string(host);
  out = std::move(result);
  return true;
}

const SrvRecord* chooseSrvRecord(std::span<const SrvRecord> records, std::uint32_t random) {
  std::vector<const SrvRecord*> kept;
  for (const SrvRecord& record : records) {
    if (record.target.empty()) continue;
    if (!kept.empty() && record.priority > kept.front()->priority) continue;
    if (!kept.empty() && record.priority < kept.front()->priority) kept.clear();
    kept.push_back(&record);
  }
  if (kept.empty()) return nullptr;
  std::uint64_t total = 0;
  for (const SrvRecord* record : kept) total += std::max<std::uint16_t>(record->weight, 1);
  std::uint64_t draw = random % total;
  for (const SrvRecord* record : kept) {
    const std::uint64_t count = std::max<std::uint16_t>(record->weight, 1);
    if (count > draw) return record;
    draw -= count;
  }
  return kept.back();
}

bool lookupGameSrv(const std::string& host, std::string& target, std::uint16_t& port, const NameServer& nameServer) {
  if (host.empty()) return false;
  const std::string query = "_zorvander._udp." + host + ".";
  struct __res_state state;
  std::memset(&state, 0, sizeof state);
  if (res_ninit(&state) != 0) {
    res_nclose(&state);
    return false;
  }
  if (!nameServer.useSystem) {
    state.nscount = 1;
    state.nsaddr_list[0] = {};
    state.nsaddr_list[0].sin_family = AF_INET;
    state.nsaddr_list[0].sin_addr.s_addr = htonl(nameServer.server.address);
    state.nsaddr_list[0].sin_port = htons(nameServer.server.port);
    state.retry = 1;
  }
  unsigned char answer[NS_MAXMSG];
  const int length = res_nquery(&state, query.c_str(), ns_c_in, ns_t_srv, answer, sizeof answer);
  res_nclose(&state);
  if (length <= 0) return false;
  const std::vector<SrvRecord> records = srvAnswers(answer, length);
  const SrvRecord* chosen = chooseSrvRecord(records, clockRandom());
  if (chosen == nullptr || chosen->target.empty() || chosen->port == 0) return false;
  target = chosen->target;
  port = chosen->port;
  return true;
}

bool resolveServer(std::string_view text, std::uint16_t defaultPort, Endpoint& out, std::string& error,
                   const SrvLookup& srvLookup) {
  ServerAddress address;
  if (!parseServerAddress(text, defaultPort, address, error)) return false;
  const bool isLiteral = isIpv4Literal(address.host);
  if (!isLiteral && address.host.find(':') != std::string::npos) {
    return fail(error, "IPv6 addresses are not supported yet");
  }
  if (!isLiteral && !address.portGiven) {
    std::string target;
    std::uint16_t srvPort = 0;
    const bool found =
        srvLookup ? srvLookup(address.host, target, srvPort) : lookupGameSrv(address.host, target, srvPort);
    if (found) {
      address.host = target;
      address.port = srvPort;
    }
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_protocol = IPPROTO_UDP;
  if (isLiteral) hints.ai_flags = AI_NUMERICHOST;  // a literal never asks a name server
  addrinfo* results = nullptr;
  const int code = getaddrinfo(address.host.c_str(), std::to_string(address.port).c_str(), &hints, &results);
  const int savedErrno = errno;
  if (code != 0 || results == nullptr) {
    if (results != nullptr) freeaddrinfo(results);
    const std::string reason = code != 0 ? resolverErrorText(code, savedErrno) : gai_strerror(EAI_NONAME);
    error = netFormat("Could not resolve server: %s", reason.c_str());
    return false;
  }
  const auto* resolved = reinterpret_cast<const sockaddr_in*>(results->ai_addr);
  const Endpoint endpoint{ntohl(resolved->sin_addr.s_addr), ntohs(resolved->sin_port)};
  freeaddrinfo(results);
  if (endpoint.address == INADDR_BROADCAST) return fail(error, "Could not resolve server");
  out = endpoint;
  return true;
}

}  // namespace zorv
