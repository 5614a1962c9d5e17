#include "net/admission.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace zorv {
namespace {

// Peers holding a player slot; with `orAcknowledged`, also those whose acknowledgement
// arrived in this pump and that take their slot at its end.
std::size_t playerCount(const NetSession& session, bool orAcknowledged) {
  return static_cast<std::size_t>(std::count_if(session.peers.begin(), session.peers.end(), [&](const Peer& peer) {
    const bool holds = peer.joined || (orAcknowledged && peer.playerId != 0 && !isJoining(peer));
    return holds && !peer.closing;
  }));
}

bool isBanned(const NetSession& session, std::string_view name) {
  const auto sameLetters = [](std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
  };
  return std::any_of(session.bannedNames.begin(), session.bannedNames.end(),
                     [&](const std::string& banned) { return sameLetters(banned, name); });
}

// Drops a peer that is still joining. One not yet welcomed leaves no trace: its join
// request is taken back before the game sees it.
void dropJoiner(NetSession& session, Peer& peer) {
  peer.closing = true;
  if (peer.welcomed || peer.playerId == 0) return;
  std::erase_if(session.events, [&](const SessionEvent& event) {
    return event.kind == SessionEventKind::JoinRequested && event.playerId == peer.playerId;
  });
  peer.playerId = 0;
}

}  // namespace

const char* helloRejection(const NetSession& session, const HelloMessage& hello) {
  if (hello.revision != kClientRevision) return "Client and host versions do not match";
  if (hello.modFingerprint != session.modFingerprint) return "Mod lists do not match";
  if (isBanned(session, sanitizePlayerName(hello.name))) return "You are banned from this server";
  if (playerCount(session, true) >= session.maxPlayers) return "Server is full";
  return nullptr;
}

void makeRoomForJoiner(NetSession& session, const Endpoint& from) {
  std::size_t total = 0, fromAddress = 0;
  Peer* oldest = nullptr;
  Peer* oldestFromAddress = nullptr;
  for (Peer& peer : session.peers) {
    if (peer.closing || !isJoining(peer)) continue;
    ++total;
    if (oldest == nullptr) oldest = &peer;
    if (peer.address.address != from.address) continue;
    ++fromAddress;
    if (oldestFromAddress == nullptr) oldestFromAddress = &peer;
  }
  if (fromAddress >= kMaxJoiningPerAddress) {
    dropJoiner(session, *oldestFromAddress);
  } else if (total >= kMaxJoiningPeers) {
    dropJoiner(session, *oldest);
  }
}

void takePlayerSlot(NetSession& session, Peer& peer) {
  if (peer.joined || peer.playerId == 0 || isJoining(peer)) return;
  if (playerCount(session, false) >= session.maxPlayers) return disconnectPeer(session, peer.playerId, "Server is full");
  peer.joined = true;
}

bool isJoining(const Peer& peer) {
  if (!peer.welcomed) return true;
  const std::deque<InFlightMessage>& inFlight = peer.link.inFlight;
  return !inFlight.empty() && inFlight.front().sequence <= peer.welcomeSequence;
}

bool isPositionInWorld(float x, float y, float z) {
  constexpr float kHorizontal = 1048576.0f;  // the far side of the last block
  constexpr float kVertical = 4096.0f;
  return std::isfinite(x) && std::isfinite(y) && std::isfinite(z) && std::fabs(x) <= kHorizontal &&
         std::fabs(z) <= kHorizontal && std::fabs(y) <= kVertical;
}

}  // namespace zorv
