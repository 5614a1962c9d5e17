#include "game/game_mod_context.h"

#include <cmath>
#include <cstdio>

#include "game/game_session.h"
#include "game/player_rules.h"
#include "world/registry.h"

namespace zorv {

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
  // A dedicated server has no player of its own whose inventory could take the items.
  if (!session_.hasLocalPlayer || count <= 0 || !resolveItemName(name, stack)) return false;
  return session_.inventory.add(stack.id, count, stack.durability);
}

void GameModContext::playerPosition(float& x, float& y, float& z) {
  if (!session_.hasLocalPlayer) {  // a dedicated server answers with the spawn, where its players start
    x = session_.spawnPoint.x;
    y = session_.spawnPoint.y;
    z = session_.spawnPoint.z;
    return;
  }
  x = session_.player.x;
  y = session_.player.y;
  z = session_.player.z;
}

void GameModContext::teleport(float x, float y, float z) {
  if (!session_.hasLocalPlayer) return;  // nobody to move, and no columns to load for nobody
  teleportPlayer(session_, x, y, z);
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
