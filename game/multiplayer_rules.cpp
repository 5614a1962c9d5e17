#include "game/multiplayer_rules.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "world/physics.h"
#include "world/registry.h"

namespace zorv {
namespace {

constexpr float kMinPickupAge = 0.35f;
constexpr float kPickupHorizontalReach = 1.3f;
constexpr float kPickupBelow = -1.9f;  // lowest drop height relative to the player
constexpr float kPickupAbove = 1.5f;   // highest
constexpr float kHurtFlash = 0.25f;
constexpr float kAttackFleeTime = 4.0f;
constexpr std::uint16_t kMaxWireCount = 65535;

float squaredDistance(Vec3 a, float x, float y, float z) {
  const float dx = x - a.x, dy = y - a.y, dz = z - a.z;
  return dx * dx + dy * dy + dz * dz;
}

float horizontalDistance(Vec3 a, float x, float z) { return std::hypot(x - a.x, z - a.z); }

std::uint16_t wireCount(std::int32_t count) {
  return static_cast<std::uint16_t>(std::clamp<std::int32_t>(count, 0, kMaxWireCount));
}

// Indices of the entities within `range` of `centre`, nearest first, at most 40.
template <class Entity>
std::vector<std::size_t> nearestWithin(std::span<const Entity> entities, Vec3 centre, float range) {
  std::vector<std::pair<float, std::size_t>> near;
  for (std::size_t i = 0; i < entities.size(); ++i) {
    const float d = squaredDistance(centre, entities[i].x, entities[i].y, entities[i].z);
    if (d <= range * range) near.emplace_back(d, i);
  }
  std::stable_sort(near.begin(), near.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  if (near.size() > kMaxSnapshotEntries) near.resize(kMaxSnapshotEntries);
  std::vector<std::size_t> indices;
  indices.reserve(near.size());
  for (const auto& entry : near) indices.push_back(entry.second);
  return indices;
}

}  // namespace

std::vector<MobEntry> mobSnapshotAround(std::span<const Mob> mobs, Vec3 centre) {
  std::vector<MobEntry> entries;
  for (const std::size_t i : nearestWithin(mobs, centre, kMobSnapshotRange)) {
    const Mob& mob = mobs[i];
    MobEntry entry;
    entry.id = mob.id;
    entry.x = mob.x;
    entry.y = mob.y;
    entry.z = mob.z;
    entry.heading = mob.targetYaw;
    entry.type = mob.kind;
    entry.health = static_cast<std::uint8_t>(std::clamp(mob.health, 0, 255));
    entry.flags = static_cast<std::uint8_t>((mob.walking ? 1 : 0) | (mob.hurtTimer > 0.0f ? 2 : 0));
    entries.push_back(entry);
  }
  return entries;
}

std::vector<DropEntry> dropSnapshotAround(std::span<const Drop> drops, Vec3 centre) {
  std::vector<DropEntry> entries;
  for (const std::size_t i : nearestWithin(drops, centre, kDropSnapshotRange)) {
    const Drop& drop = drops[i];
    entries.push_back({drop.entityId, drop.x, drop.y, drop.z, drop.item, drop.durability, wireCount(drop.count),
                       drop.age});
  }
  return entries;
}

std::vector<Mob> mobsFromSnapshot(std::span<const Mob> previous, std::span<const MobEntry> entries) {
  std::vector<Mob> mobs;
  mobs.reserve(entries.size());
  for (const MobEntry& entry : entries) {
    Mob& mob = mobs.emplace_back();
    mob.id = entry.id;
    mob.x = mob.homeX = entry.x;
    mob.y = mob.homeY = entry.y;
    mob.z = mob.homeZ = entry.z;
    mob.targetYaw = entry.heading;
    mob.kind = entry.type;
    mob.health = entry.health;
    mob.walking = (entry.flags & 1) != 0;
    mob.hurtTimer = (entry.flags & 2) != 0 ? kHurtFlash : 0.0f;
    const auto old = std::find_if(previous.begin(), previous.end(), [&](const Mob& m) { return m.id == entry.id; });
    mob.displayedYaw = old != previous.end() ? old->displayedYaw : entry.heading;
    if (old != previous.end()) mob.animationTime = old->animationTime;
  }
  return mobs;
}

std::vector<Drop> dropsFromSnapshot(std::span<const DropEntry> entries) {
  std::vector<Drop> drops;
  drops.reserve(entries.size());
  for (const DropEntry& entry : entries) {
    Drop& drop = drops.emplace_back();
    drop.entityId = entry.id;
    drop.x = entry.x;
    drop.y = entry.y;
    drop.z = entry.z;
    drop.item = entry.item;
    drop.durability = entry.durability;
    drop.count = entry.count == 0 ? 1 : entry.count;
    drop.age = entry.age;
    drop.bobPhase = entry.age * 2.2f;
    drop.onGround = true;
  }
  return drops;
}

bool withinReach(Vec3 from, int x, int y, int z, float reach) {
  const float d = squaredDistance(from, static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f,
                                  static_cast<float>(z) + 0.5f);
  return d <= reach * reach;  // false for NaN
}

EditVerdict checkEditRequest(const World& world, Vec3 reference, const EditRequestMessage& request) {
  const int x = request.x, y = request.y, z = request.z;
  if (!inWorldBounds(x, y, z)) return EditVerdict::Ignore;
  if (!withinReach(reference, x, y, z, kEditReach)) return EditVerdict::Reject;
  const BlockRegistry& registry = blockRegistry();
  const BlockId current = getBlock(world, x, y, z);
  const bool replaceable = current == kAir || registry.get(current).fluid;
  if (request.block == kAir) return replaceable ? EditVerdict::Reject : EditVerdict::Break;
  if (request.block == blocks::Torch && (y - 1 < kMinY || !registry.get(getBlock(world, x, y - 1, z)).solid)) {
    return EditVerdict::Reject;
  }
  if (request.block >= registry.count() || !replaceable || overlapsCell(reference, x, y, z)) return EditVerdict::Reject;
  return EditVerdict::Place;
}

namespace {

BlockEdit editEntry(const World& world, int x, int y, int z, BlockId id) {
  const std::uint8_t level = blockRegistry().get(id).fluid ? fluidLevel(world, x, y, z) : kNoFluidLevel;
  return {x, y, z, id, level};
}

}  // namespace

BlockEdit blockEditAt(const World& world, int x, int y, int z) { return editEntry(world, x, y, z, getBlock(world, x, y, z)); }

BlockEdit storedBlockEditAt(World& world, int x, int y, int z) {
  return editEntry(world, x, y, z, blockAnywhere(world, x, y, z));
}

bool applyMobAttack(std::vector<Mob>& mobs, Vec3 attacker, std::int32_t mobId, std::uint8_t damage) {
  const auto found = std::find_if(mobs.begin(), mobs.end(), [mobId](const Mob& mob) { return mob.id == mobId; });
  if (found == mobs.end()) return false;
  Mob& mob = *found;
  const float distanceSq = squaredDistance(attacker, mob.x, mob.y, mob.z);
  if (!(distanceSq <= kAttackReach * kAttackReach)) return false;
  mob.health -= std::clamp<std::int32_t>(damage, 1, 10);
  mob.hurtTimer = kHurtFlash;
  mob.fleeTimer = kAttackFleeTime;
  const float distance = std::sqrt(distanceSq);
  Vec3 away{1.0f, 0.0f, 0.0f};
  if (distance >= 0.001f) {
    away = {(mob.x - attacker.x) / distance, (mob.y - attacker.y) / distance, (mob.z - attacker.z) / distance};
  }
  mob.vx += 5.0f * away.x;
  mob.vz += 5.0f * away.z;
  mob.vy = 3.5f;
  if (mob.health < 1) mobs.erase(found);
  return true;
}

std::optional<PickupGrantMessage> takeRequestedDrop(std::vector<Drop>& drops, Vec3 requester, std::int32_t dropId) {
  const auto found = std::find_if(drops.begin(), drops.end(), [&](const Drop& drop) {
    const float rise = drop.y - requester.y;
    return drop.entityId == dropId && drop.age >= kMinPickupAge &&
           horizontalDistance(requester, drop.x, drop.z) <= kPickupHorizontalReach && rise >= kPickupBelow &&
           rise <= kPickupAbove;
  });
  if (dropId == 0 || found == drops.end()) return std::nullopt;
  const PickupGrantMessage grant{found->entityId, found->item, found->durability, wireCount(found->count)};
  drops.erase(found);
  return grant;
}

std::int32_t pickupCandidate(std::span<const Drop> drops, Vec3 player, const Inventory& inventory) {
  for (const Drop& drop : drops) {
    const float rise = drop.y - player.y;
    if (drop.entityId != 0 && drop.age >= kMinPickupAge &&
        horizontalDistance(player, drop.x, drop.z) < kPickupHorizontalReach && rise > kPickupBelow &&
        rise < kPickupAbove && inventory.canAdd(drop.item, drop.count, drop.durability)) {
      return drop.entityId;
    }
  }
  return 0;
}

std::string printableLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte == 127) c = ' ';
  }
  return line;
}

}  // namespace zorv
