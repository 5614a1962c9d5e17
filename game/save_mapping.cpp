#include "game/save_mapping.h"

#include <algorithm>
#include <cmath>

#include "game/world_life_cycle.h"
#include "world/registry.h"

namespace zorv {
namespace {

// Whether a saved block-or-item number means something to the registries.
bool isKnownNumber(std::uint16_t number) {
  if (number == 0) return false;
  if (number >= kFirstItem) return itemRegistry().isItem(number);
  return number < blockRegistry().count();
}

std::uint16_t clampToU16(std::int32_t value) { return static_cast<std::uint16_t>(std::clamp(value, 0, 0xFFFF)); }

Mob loadedMob(const SavedMob& saved) {
  Mob mob;
  mob.x = saved.x;
  mob.y = saved.y;
  mob.z = saved.z;
  mob.homeX = saved.homeX;
  mob.homeY = saved.homeY;
  mob.homeZ = saved.homeZ;
  mob.targetYaw = saved.heading;
  mob.displayedYaw = saved.heading;
  mob.decisionTimer = saved.wanderTimer;
  mob.kind = saved.type;
  mob.health = std::clamp(saved.health, 1, mobKindInfo(saved.type).health);
  return mob;
}

}  // namespace

bool readSave(const std::string& name, LevelSave& save) {
  if (readLevel(name, save)) return true;
  if (!readLegacyWorld(name, save)) return false;
  PlayerSave player;
  save.hasPlayer = readLegacyPlayer(name, player);
  if (save.hasPlayer) save.player = player;
  return true;
}

// False when the save holds no usable player record; the player then starts at the spawn.
bool loadPlayer(GameSession& session, const LevelSave& save) {
  resetPlayer(session.player);
  session.inventory.clear();
  session.inventory.select(0);
  if (!save.hasPlayer) return false;
  const PlayerSave& stored = save.player;
  // A position that is not a number would break every collision test: start at the spawn.
  const bool placed = std::isfinite(stored.x) && std::isfinite(stored.y) && std::isfinite(stored.z);
  PlayerBody& player = session.player;
  if (placed) {
    player.x = stored.x;
    player.y = stored.y;
    player.z = stored.z;
  }
  player.yaw = stored.yaw;
  player.pitch = std::clamp(stored.pitch, -89.0f, 89.0f);
  player.flying = stored.flying;
  player.health = std::clamp(stored.health, 1, kMaxHealth);
  player.mode = stored.gameMode == ModeSurvival ? ModeSurvival : ModeCreative;
  const std::size_t slots = std::min<std::size_t>(stored.slots.size(), kInventorySlots);
  for (std::size_t i = 0; i < slots; ++i) {
    const SavedSlot& slot = stored.slots[i];
    const auto id = static_cast<std::uint16_t>(slot.item);
    if (slot.count == 0 || !isKnownNumber(id)) continue;
    session.inventory.slots[i] = {id, std::min<std::int32_t>(slot.count, kMaxStack), slot.durability};
  }
  session.inventory.select(std::min<std::int32_t>(stored.selectedSlot, kHotbarSlots - 1));
  return placed;
}

void loadEntities(GameSession& session, const LevelSave& save) {
  session.mobs.clear();
  for (const SavedMob& saved : save.mobs) {
    if (saved.type < kMobKinds) session.mobs.push_back(loadedMob(saved));
  }
  session.drops.clear();
  for (const SavedDrop& saved : save.drops) {
    const auto item = static_cast<std::uint16_t>(saved.item);
    if (!isKnownNumber(item)) continue;
    Drop drop;
    drop.x = saved.x;
    drop.y = saved.y;
    drop.z = saved.z;
    drop.item = item;
    drop.durability = saved.durability;
    drop.count = saved.count == 0 ? 1 : saved.count;
    drop.age = std::isfinite(saved.age) ? std::max(0.0f, saved.age) : 0.0f;
    session.drops.push_back(drop);
  }
  session.nextEntityId = 1;
  assignEntityIds(session);
}

bool canSaveWorld(const GameSession& session) {
  return session.world && !session.worldName.empty() && session.networkRole != RoleClient;
}

// The level file's content: the game's state now and every recorded edit.
LevelSave levelSaveOf(const GameSession& session) {
  LevelSave save;
  save.seed = session.seed;
  save.timeOfDay = session.timeOfDay;
  save.weather = session.weather;
  save.hasPlayer = true;
  const PlayerBody& player = session.player;
  save.player.x = player.x;
  save.player.y = player.y;
  save.player.z = player.z;
  save.player.yaw = player.yaw;
  save.player.pitch = player.pitch;
  save.player.flying = player.flying;
  save.player.health = player.health;
  save.player.gameMode = player.mode;
  save.player.selectedSlot = static_cast<std::uint8_t>(session.inventory.selected);
  for (const ItemStack& slot : session.inventory.slots) {
    const bool empty = slot.empty();
    save.player.slots.push_back({static_cast<std::int16_t>(empty ? 0 : slot.id),
                                 empty ? std::uint16_t{0} : clampToU16(slot.count), clampToU16(slot.durability)});
  }
  for (const Mob& mob : session.mobs) {
    save.mobs.push_back({mob.x, mob.y, mob.z, mob.homeX, mob.homeY, mob.homeZ, mob.targetYaw, mob.decisionTimer,
                         mob.kind, mob.health});
  }
  for (const Drop& drop : session.drops) {
    save.drops.push_back({drop.x, drop.y, drop.z, static_cast<std::int16_t>(drop.item), drop.durability,
                          clampToU16(drop.count), drop.age});
  }
  save.edits = savedEdits(*session.world);
  return save;
}

}  // namespace zorv
