#include "game/game_mod_context.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "game/game_session.h"
#include "game/player_rules.h"
#include "net/session.h"
#include "world/registry.h"

namespace zorv {
namespace {

// What one pickup message can carry.
constexpr int kMostGrantedAtOnce = 65535;

}  // namespace

bool resolveItemName(const std::string& name, NamedStack& stack) {
  const BlockId block = blockRegistry().find(name);
  if (block != kNoBlock && block != kAir) {
    stack = {block, 0};
    return true;
  }
  const ItemId item = itemRegistry().findItem(name);
  if (item == 0) return false;
  stack = {item, itemRegistry().getItem(item).durability};
  return true;
}

bool GameModContext::getBlock(int x, int y, int z, std::string& name) {
  if (!session_.world || !inWorldBounds(x, y, z)) return false;
  name = blockRegistry().get(zorv::getBlock(*session_.world, x, y, z)).id;
  return true;
}

bool GameModContext::setBlock(int x, int y, int z, const std::string& name) {
  // A write outside the world would be dropped silently: report it as refused.
  if (!session_.world || !inWorldBounds(x, y, z)) return false;
  const BlockId block = blockRegistry().find(name);
  if (block == kNoBlock) return false;
  zorv::setBlock(*session_.world, x, y, z, block);
  return true;
}

void GameModContext::message(const std::string& text) { addMessage(session_, text); }

bool GameModContext::give(const std::string& name, int count) {
  NamedStack stack;
  if (count <= 0 || !resolveItemName(name, stack)) return false;
  if (actingFor_ != 0) return grantToRemotePlayer(stack, count);
  // A dedicated server has no player of its own whose inventory could take the items.
  if (!session_.hasLocalPlayer) return false;
  return session_.inventory.add(stack.id, count, stack.durability);
}

const RemotePlayer* GameModContext::actingRemotePlayer() const {
  if (actingFor_ == 0) return nullptr;
  const auto found = std::find_if(session_.remotePlayers.begin(), session_.remotePlayers.end(),
                                  [this](const RemotePlayer& player) { return player.id == actingFor_; });
  return found == session_.remotePlayers.end() ? nullptr : &*found;
}

bool GameModContext::grantToRemotePlayer(const NamedStack& stack, int count) {
  if (actingRemotePlayer() == nullptr) return false;  // left meanwhile
  // Drop id 0 names no drop: the player's game only adds the items and says so.
  const auto wireCount = static_cast<std::uint16_t>(std::min(count, kMostGrantedAtOnce));
  sendPickupGrant(session_.net, actingFor_,
                  {0, stack.id, static_cast<std::uint16_t>(stack.durability), wireCount});
  return true;
}

void GameModContext::playerPosition(float& x, float& y, float& z) {
  const RemotePlayer* remote = actingRemotePlayer();
  if (remote != nullptr && remote->known) {
    x = remote->x;
    y = remote->y;
    z = remote->z;
    return;
  }
  if (actingFor_ != 0 || !session_.hasLocalPlayer) {  // where players start
    x = session_.spawnPoint.x;
    y = session_.spawnPoint.y;
    z = session_.spawnPoint.z;
    return;
  }
  x = session_.player.x;
  y = session_.player.y;
  z = session_.player.z;
}

bool GameModContext::teleport(float x, float y, float z) {
  if (actingFor_ != 0 || !session_.hasLocalPlayer) return false;  // nobody here to move
  teleportPlayer(session_, x, y, z);
  return true;
}

bool GameModContext::spawnDrop(int x, int y, int z, const std::string& name, int count) {
  NamedStack stack;
  if (!session_.world || count < 1 || !resolveItemName(name, stack)) return false;
  const Vec3 centre{static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f, static_cast<float>(z) + 0.5f};
  zorv::spawnDrop(session_.drops, centre, stack.id, count, static_cast<std::uint16_t>(stack.durability));
  assignEntityIds(session_);
  return true;
}

bool GameModContext::isHost() { return session_.networkRole != RoleClient; }

void GameModContext::log(const std::string& text) {
  std::printf("[mod] %s\n", text.c_str());
  std::fflush(stdout);
}

}  // namespace zorv
