#include "game/interaction.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "game/world_life_cycle.h"
#include "lang/localisation.h"
#include "mods/events.h"
#include "world/registry.h"

namespace zorv {
namespace {

constexpr float kMobReach = 4.5f;
constexpr float kMobHalfSize = 0.4f;
constexpr float kAttackCooldown = 0.45f;
constexpr int kTradePlanks = 8;
constexpr int kBreakParticles = 10;
constexpr float kBreakParticleLife = 0.55f;
// The particle generator shared by every break in the process (xorshift-32).
std::uint32_t nextParticleRandom() {
  static std::uint32_t state = 2463534242u;
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

// Uniform in [0, 2) in steps of 0.01.
float particleUnit() { return static_cast<float>(nextParticleRandom() % 200) / 100.0f; }
// Uniform in [−0.4, 0.4] in steps of 0.01.
float particleJitter() { return static_cast<float>(static_cast<int>(nextParticleRandom() % 81) - 40) / 100.0f; }

// Distance along the ray (unit direction) at which it enters the box, if it does.
std::optional<float> rayEntersBox(const Vec3& origin, const Vec3& direction, const Vec3& lower, const Vec3& upper) {
  float nearest = 0.0f, farthest = std::numeric_limits<float>::infinity();
  const float o[3] = {origin.x, origin.y, origin.z};
  const float d[3] = {direction.x, direction.y, direction.z};
  const float lo[3] = {lower.x, lower.y, lower.z};
  const float hi[3] = {upper.x, upper.y, upper.z};
  for (int axis = 0; axis < 3; ++axis) {
    if (std::abs(d[axis]) < 1e-9f) {
      if (o[axis] < lo[axis] || o[axis] > hi[axis]) return std::nullopt;
      continue;
    }
    float t0 = (lo[axis] - o[axis]) / d[axis], t1 = (hi[axis] - o[axis]) / d[axis];
    if (t0 > t1) std::swap(t0, t1);
    nearest = std::max(nearest, t0);
    farthest = std::min(farthest, t1);
    if (nearest > farthest) return std::nullopt;
  }
  return nearest;
}

// The mob the look ray meets before the targeted block, within reach; -1 when none.
int mobUnderCursor(const GameSession& session, const PickResult& target) {
  const Vec3 eye = playerEye(session);
  const Vec3 look = lookDirection(session.player.yaw, session.player.pitch);
  float blockDistance = std::numeric_limits<float>::infinity();
  if (target.hit) {
    const Vec3 lower{static_cast<float>(target.x), static_cast<float>(target.y), static_cast<float>(target.z)};
    if (auto entry = rayEntersBox(eye, look, lower, {lower.x + 1.0f, lower.y + 1.0f, lower.z + 1.0f})) {
      blockDistance = *entry;
    }
  }
  int best = -1;
  float bestDistance = kMobReach;
  for (std::size_t i = 0; i < session.mobs.size(); ++i) {
    const Mob& mob = session.mobs[i];
    const auto entry = rayEntersBox(eye, look, {mob.x - kMobHalfSize, mob.y - kMobHalfSize, mob.z - kMobHalfSize},
                                    {mob.x + kMobHalfSize, mob.y + kMobHalfSize, mob.z + kMobHalfSize});
    if (entry && *entry < bestDistance) {
      best = static_cast<int>(i);
      bestDistance = *entry;
    }
  }
  if (best >= 0 && blockDistance < bestDistance) return -1;
  return best;
}

void hitMob(GameSession& session, std::size_t index) {
  Mob& mob = session.mobs[index];
  const int damage = heldAttackDamage(session);
  session.attackCooldown = kAttackCooldown;
  if (isClient(session)) {
    attackMob(session.net, {mob.id, static_cast<std::uint8_t>(std::min(damage, 255))});
    mob.hurtTimer = 0.25f;
    queueSound(session, CueHurt);
    return;
  }
  const Vec3 look = lookDirection(session.player.yaw, session.player.pitch);
  mob.health -= damage;
  mob.hurtTimer = 0.25f;
  mob.fleeTimer = 4.0f;
  mob.vx += look.x * 5.0f;
  mob.vz += look.z * 5.0f;
  mob.vy = 3.5f;
  wearHeldTool(session);
  queueSound(session, CueHurt);
  if (session.mobs[index].health < 1) session.mobs.erase(session.mobs.begin() + static_cast<std::ptrdiff_t>(index));
}

void forgetMiningCell(GameSession& session) {
  session.miningX = session.miningY = session.miningZ = kNoMiningCell;
  session.miningProgress = 0.0f;
}

void sendEdit(GameSession& session, int x, int y, int z, BlockId block, std::uint16_t held) {
  if (isClient(session)) requestEdit(session.net, {x, y, z, block, session.player.mode, held});
}

void mine(GameSession& session, float dt, const PickResult& target) {
  if (target.x != session.miningX || target.y != session.miningY || target.z != session.miningZ) {
    session.miningX = target.x;
    session.miningY = target.y;
    session.miningZ = target.z;
    session.miningProgress = 0.0f;
  }
  const BlockId block = getBlock(*session.world, target.x, target.y, target.z);
  const BlockDef& def = blockRegistry().get(block);
  const std::uint16_t held = heldItem(session);
  const float seconds = breakTime(def, held);
  if (seconds <= 0.0f) return;
  session.miningProgress += dt / seconds;
  if (session.miningProgress < 1.0f) return;
  if (allowBlockChange(session, target.x, target.y, target.z, block, false)) {
    // A client's request for the cell goes out before the one for a torch it carried.
    sendEdit(session, target.x, target.y, target.z, kAir, held);
    breakBlock(session, target.x, target.y, target.z);
    if (!isClient(session) && canHarvest(def, held) && def.drop != 0) {
      dropAtCell(session, target.x, target.y, target.z, def.drop);
    }
    wearHeldTool(session);
    queueSound(session, CueBreak);
  }
  forgetMiningCell(session);
}

void trade(GameSession& session) {
  if (!inSurvival(session)) {
    addMessage(session, tr("Villagers only trade with survivors"));
    return;
  }
  if (!session.inventory.remove(blocks::Planks, kTradePlanks)) {
    addMessage(session, tr("Villagers want 8 planks"));
    return;
  }
  returnStack(session, {blocks::Bookshelf, 1, 0});
  addMessage(session, tr("Traded 8 planks for a bookshelf"));
  queueSound(session, CuePlace);
}

// The block a right click places: Survival uses the selected block, Creative the selected
// stack or, on an empty slot, the palette. kAir for none.
BlockId blockToPlace(const GameSession& session) {
  const ItemStack& slot = session.inventory.selectedStack();
  const bool isBlock = slot.count > 0 && slot.id >= 1 && slot.id < kFirstItem;
  if (inSurvival(session) || slot.count > 0) return isBlock ? slot.id : kAir;
  return kCreativePalette[static_cast<std::size_t>(session.inventory.selected)];
}

void place(GameSession& session, const PickResult& target) {
  World& world = *session.world;
  const int x = target.previousX, y = target.previousY, z = target.previousZ;
  const BlockId block = blockToPlace(session);
  if (block == blocks::Torch &&
      (y < kMinY + 1 || !blockRegistry().get(getBlock(world, x, y - 1, z)).solid)) {
    return;
  }
  const BlockId current = getBlock(world, x, y, z);
  if (!inWorldBounds(x, y, z) || (current != kAir && !blockRegistry().get(current).fluid) ||
      overlapsCell(playerEye(session), x, y, z)) {
    return;
  }
  if (block == kAir) {
    if (inSurvival(session)) addMessage(session, tr("Selected slot is empty"));
    return;
  }
  if (!allowBlockChange(session, x, y, z, block, true)) return;
  setBlock(world, x, y, z, block);
  remeshChanged(session);
  sendEdit(session, x, y, z, block, 0);
  queueSound(session, CuePlace);
  if (inSurvival(session)) session.inventory.consumeSelected(1);
}

}  // namespace

bool allowBlockChange(GameSession& session, int x, int y, int z, BlockId block, bool isPlace) {
  if (session.networkRole == RoleClient || session.mods.mods.empty()) return true;
  const std::string& name = blockRegistry().get(block).id;
  const std::string player = localPlayerName(session);
  return isPlace ? blockPlace(session.mods, x, y, z, name, player, session.localPlayerId)
                 : blockBreak(session.mods, x, y, z, name, player, session.localPlayerId);
}

void mouseActions(GameSession& session, float dt, const PickResult& target, const MouseButtons& buttons) {
  if (!session.world || gameMode(session) == ModeSpectator) return;
  session.attackCooldown = std::max(0.0f, session.attackCooldown - dt);
  const int mob = mobUnderCursor(session, target);

  if (buttons.leftPressed && mob >= 0 && session.attackCooldown <= 0.0f) {
    hitMob(session, static_cast<std::size_t>(mob));
  } else if (inSurvival(session) && buttons.leftDown && target.hit && mob < 0) {
    mine(session, dt, target);
  } else if (gameMode(session) == ModeCreative && buttons.leftPressed && target.hit && mob < 0) {
    const BlockId block = getBlock(*session.world, target.x, target.y, target.z);
    if (allowBlockChange(session, target.x, target.y, target.z, block, false)) {
      sendEdit(session, target.x, target.y, target.z, kAir, heldItem(session));
      breakBlock(session, target.x, target.y, target.z);
      queueSound(session, CueBreak);
    }
  }
  if (!buttons.leftDown || !target.hit || mob >= 0) forgetMiningCell(session);

  if (!buttons.rightPressed) return;
  if (mob >= 0 && session.mobs[static_cast<std::size_t>(mob)].kind == MobVillager) {
    trade(session);
  } else if (target.hit && inSurvival(session) &&
             getBlock(*session.world, target.x, target.y, target.z) == blocks::CraftingTable) {
    openInventory(session, 3);
    queueSound(session, CuePlace);
  } else if (target.hit) {
    place(session, target);
  }
}

void breakBlock(GameSession& session, int x, int y, int z) {
  if (!session.world) return;
  World& world = *session.world;
  const BlockDef& def = blockRegistry().get(getBlock(world, x, y, z));
  if (def.opaque) {
    for (int i = 0; i < kBreakParticles; ++i) {
      Particle particle;
      particle.x = static_cast<float>(x) + 0.5f + particleJitter();
      particle.y = static_cast<float>(y) + 0.5f + particleJitter();
      particle.z = static_cast<float>(z) + 0.5f + particleJitter();
      particle.vx = (particleUnit() - 1.0f) * 2.0f;
      particle.vy = (particleUnit() + 1.5f) * 2.0f;
      particle.vz = (particleUnit() - 1.0f) * 2.0f;
      particle.life = particle.totalLife = kBreakParticleLife;
      particle.baseSize = 0.08f + 0.012f * static_cast<float>(nextParticleRandom() % 5);
      particle.tile = def.texTop;
      session.particles.push_back(particle);
    }
  }
  setBlock(world, x, y, z, kAir);
  remeshChanged(session);

  if (!removeTorchAbove(session, x, y, z, !isClient(session) && inSurvival(session))) return;
  remeshChanged(session);
  if (isClient(session)) requestEdit(session.net, {x, y + 1, z, kAir, ModeSurvival, 0});
}

void dropAtCell(GameSession& session, int x, int y, int z, std::uint16_t item) {
  const Vec3 centre{static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f, static_cast<float>(z) + 0.5f};
  spawnDrop(session.drops, centre, item, 1, 0);
  assignEntityIds(session);
}

bool removeTorchAbove(GameSession& session, int x, int y, int z, bool dropIt) {
  World& world = *session.world;
  if (y >= kMaxY || getBlock(world, x, y + 1, z) != blocks::Torch) return false;
  setBlock(world, x, y + 1, z, kAir);
  if (dropIt) dropAtCell(session, x, y + 1, z, blocks::Torch);
  return true;
}

}  // namespace zorv
