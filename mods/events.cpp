#include "mods/events.h"

#include <algorithm>
#include <cctype>

#include "mods/mod_context.h"
#include "platform/text.h"

namespace zorv {
namespace {

bool dispatching(const ModHost& host) { return host.enabled && !host.mods.empty(); }

// Block and player events belong to the authoritative game: a client never runs them.
bool runsWorldEvents(const ModHost& host) { return dispatching(host) && (!host.context || host.context->isHost()); }

bool blockEvent(ModHost& host, ModEvent event, const BlockEventInfo& info) {
  if (!runsWorldEvents(host)) return true;
  for (const std::unique_ptr<ModRecord>& mod : host.mods)
    if (!dispatchBlockEvent(*mod, event, info)) return false;
  return true;
}

void playerEvent(ModHost& host, ModEvent event, int playerId, const std::string& player) {
  if (!runsWorldEvents(host)) return;
  for (const std::unique_ptr<ModRecord>& mod : host.mods) dispatchPlayerEvent(*mod, event, playerId, player);
}

}  // namespace

bool blockBreak(ModHost& host, int x, int y, int z, const std::string& block, const std::string& player,
                int playerId) {
  return blockEvent(host, ModEvent::BlockBreak, BlockEventInfo{x, y, z, block, player, playerId});
}

bool blockPlace(ModHost& host, int x, int y, int z, const std::string& block, const std::string& player,
                int playerId) {
  return blockEvent(host, ModEvent::BlockPlace, BlockEventInfo{x, y, z, block, player, playerId});
}

void playerJoined(ModHost& host, int playerId, const std::string& player) {
  playerEvent(host, ModEvent::PlayerJoin, playerId, player);
}

void playerLeft(ModHost& host, int playerId, const std::string& player) {
  playerEvent(host, ModEvent::PlayerLeave, playerId, player);
}

void tick(ModHost& host, double seconds) {
  if (!dispatching(host)) return;
  for (const std::unique_ptr<ModRecord>& mod : host.mods) dispatchTick(*mod, seconds);
}

bool runModCommand(ModHost& host, const std::string& name, const std::string& argument, const std::string& player,
                   std::string& reply) {
  if (!dispatching(host)) return false;
  const std::string key = lowerAscii(name);
  return std::any_of(host.mods.begin(), host.mods.end(), [&](const std::unique_ptr<ModRecord>& mod) {
    return dispatchCommand(*mod, key, argument, player, reply);
  });
}

}  // namespace zorv
