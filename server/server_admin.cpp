#include "server/server_admin.h"

#include <algorithm>
#include <cctype>

#include "lang/localisation.h"
#include "net/address.h"
#include "persist/save_file.h"
#include "server/dedicated_server.h"

namespace zorv {
namespace {

bool sameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The first word and the rest of the line after it.
std::pair<std::string_view, std::string_view> firstWord(std::string_view text) {
  text = trimmed(text);
  const std::size_t end = std::min(text.find_first_of(" \t"), text.size());
  return {text.substr(0, end), trimmed(text.substr(end))};
}

const RemotePlayer* playerNamed(const GameSession& session, std::string_view name) {
  const auto found = std::find_if(session.remotePlayers.begin(), session.remotePlayers.end(),
                                  [&](const RemotePlayer& player) { return sameName(player.name, name); });
  return found == session.remotePlayers.end() ? nullptr : &*found;
}

void say(GameSession& session, const std::string& text) { addMessage(session, text); }

// The name a command names; empty, with the usage line said, when there is none.
std::string nameArgument(GameSession& session, std::string_view arguments, const char* usage) {
  const std::string name(firstWord(arguments).first);
  if (name.empty()) say(session, tr(usage));
  return name;
}

bool storeBans(DedicatedServer& server) {
  GameSession& session = server.session;
  if (writeBanList(worldFolder(session.worldName), session.net.bannedNames)) return true;
  say(session, formatTranslated("Could not write %s", kBanListName));
  return false;
}

}  // namespace

std::vector<std::string> readBanList(const std::filesystem::path& worldFolder) {
  std::vector<std::string> names;
  const auto bytes = readFileBytes(worldFolder / kBanListName);
  if (!bytes) return names;
  std::string_view rest(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    const std::string name = sanitizePlayerName(trimmed(rest.substr(0, end)));
    if (!trimmed(rest.substr(0, end)).empty()) names.push_back(name);
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  return names;
}

bool writeBanList(const std::filesystem::path& worldFolder, const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += name + "\n";
  return writeBytesAtomically(worldFolder / kBanListName,
                              {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

void kickCommand(DedicatedServer& server, std::string_view arguments) {
  GameSession& session = server.session;
  const auto [name, reason] = firstWord(arguments);
  if (name.empty()) return say(session, tr("Usage: /kick NAME [reason]"));
  const RemotePlayer* player = playerNamed(session, name);
  if (player == nullptr) return say(session, formatTranslated("No player named %s", std::string(name).c_str()));
  const std::string shown = player->name;
  disconnectPeer(session.net, player->id, reason.empty() ? std::string_view("Kicked by the server") : reason);
  say(session, formatTranslated("Kicked %s", shown.c_str()));
}

void banCommand(DedicatedServer& server, std::string_view arguments) {
  GameSession& session = server.session;
  const std::string name = nameArgument(session, arguments, "Usage: /ban NAME");
  if (name.empty()) return;
  std::vector<std::string>& banned = session.net.bannedNames;
  const std::string stored = sanitizePlayerName(name);
  if (std::none_of(banned.begin(), banned.end(), [&](const std::string& b) { return sameName(b, stored); })) {
    banned.push_back(stored);
    if (!storeBans(server)) return;
  }
  if (const RemotePlayer* player = playerNamed(session, stored)) {
    disconnectPeer(session.net, player->id, "You are banned from this server");
  }
  say(session, formatTranslated("Banned %s", stored.c_str()));
}

void pardonCommand(DedicatedServer& server, std::string_view arguments) {
  GameSession& session = server.session;
  const std::string name = nameArgument(session, arguments, "Usage: /pardon NAME");
  if (name.empty()) return;
  if (std::erase_if(session.net.bannedNames, [&](const std::string& b) { return sameName(b, name); }) == 0) {
    return say(session, formatTranslated("%s is not banned", name.c_str()));
  }
  if (storeBans(server)) say(session, formatTranslated("Pardoned %s", name.c_str()));
}

void sayCommand(DedicatedServer& server, std::string_view arguments) {
  GameSession& session = server.session;
  const std::string text(trimmed(arguments));
  if (text.empty()) return say(session, tr("Usage: /say TEXT"));
  broadcastChat(session.net, 0, kServerPlayerName, text);
  say(session, std::string(kServerPlayerName) + ": " + text);
}

void reportArrivals(DedicatedServer& server) {
  GameSession& session = server.session;
  std::map<std::int32_t, DedicatedServer::Present> now;
  for (const RemotePlayer& player : session.remotePlayers) {
    const auto known = server.present.find(player.id);
    if (known != server.present.end()) {
      now.emplace(player.id, known->second);
      continue;
    }
    const Peer* peer = findPeer(session.net, player.id);
    const DedicatedServer::Present arrived{player.name, peer != nullptr ? formatEndpoint(peer->address) : "?"};
    say(session, formatTranslated("%s joined from %s", arrived.name.c_str(), arrived.address.c_str()));
    now.emplace(player.id, arrived);
  }
  for (const auto& [id, gone] : server.present) {
    if (now.count(id) == 0) say(session, formatTranslated("%s (%s) left", gone.name.c_str(), gone.address.c_str()));
  }
  server.present = std::move(now);
}

}  // namespace zorv
