#include "world/mobs.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

#include "world/physics.h"
#include "world/registry.h"
#include "world/terrain.h"
#include "world/villages.h"

namespace zorv {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kMobHalfSize = 0.4f;
constexpr float kSubStep = 0.05f;  // longest move between collision tests of mobs and drops
constexpr float kGravity = 28.0f;
// Enough to lift the box over one block (peak 1.29, like the player's jump); 7 blocks/s
// would peak at 0.875 and leave every mob stuck at the foot of a one-block step.
constexpr float kHopSpeed = 8.5f;
constexpr float kFleeSpeedFactor = 1.7f;
constexpr float kVoidY = -64.0f, kRescueY = 40.0f;
constexpr float kSpawnLift = 1.4f;  // box centre above the ground cell

constexpr float kDropHalfSize = 0.15f;
constexpr int kMaxDropSubSteps = 256;
constexpr float kDropMergeDistance = 0.6f;
constexpr float kPickUpDelay = 0.35f;
constexpr float kDropLifetime = 300.0f;

constexpr std::array<MobKindInfo, kMobKinds> kKindInfo{{
    {3, 1.3f, 0.65f},   // slime
    {2, 1.7f, 0.8f},    // pig
    {4, 1.05f, 0.96f},  // villager
    {6, 1.35f, 1.8f},   // zombie
}};

// ---- Spawning ---------------------------------------------------------------------------

// The integer recurrences of spawning (32-bit unsigned, wrapping).
std::uint32_t offsetStep(std::uint32_t a) { return a * 1664525u + 1013904223u; }
std::uint32_t nextStep(std::uint32_t a) { return a * 389569705u + 1196435762u; }
std::uint32_t finalStep(std::uint32_t a) { return a * 0xAF490A95u - 775096599u; }

int truncated(float value) { return static_cast<int>(std::clamp(value, -2.0e9f, 2.0e9f)); }

Vec3 spawnPosition(int x, int h, int z) {
  return {static_cast<float>(x) + 0.5f, static_cast<float>(h) + kSpawnLift, static_cast<float>(z) + 0.5f};
}

bool mobBoxFree(const World& world, const Vec3& centre) {
  return !boxCollides(world, {centre.x - kMobHalfSize, centre.y - kMobHalfSize, centre.z - kMobHalfSize},
                      {centre.x + kMobHalfSize, centre.y + kMobHalfSize, centre.z + kMobHalfSize});
}

bool isSolidBlock(const World& world, int x, int y, int z) { return blockRegistry().get(getBlock(world, x, y, z)).solid; }

void ensureColumnAt(World& world, int x, int z) { ensureColumn(world, chunkCoord(x), chunkCoord(z)); }

Mob newMob(std::uint8_t kind, const Vec3& position, float yaw, float decisionTimer) {
  Mob mob;
  mob.x = mob.homeX = position.x;
  mob.y = mob.homeY = position.y;
  mob.z = mob.homeZ = position.z;
  mob.targetYaw = mob.displayedYaw = yaw;
  mob.decisionTimer = decisionTimer;
  mob.kind = kind;
  mob.health = mobKindInfo(kind).health;
  return mob;
}

float yawFrom(std::uint32_t state) { return static_cast<float>(state % 6283u) / 1000.0f; }
float millis(std::uint32_t value) { return static_cast<float>(value) / 1000.0f; }

// ---- Behaviour --------------------------------------------------------------------------

std::uint32_t wanderState = 0x2545F491u;

std::uint32_t nextWander() {
  wanderState ^= wanderState << 13;
  wanderState ^= wanderState >> 17;
  wanderState ^= wanderState << 5;
  return wanderState;
}

float wrapAngle(float angle) {
  angle = std::remainder(angle, 2.0f * kPi);
  return std::isfinite(angle) ? angle : 0.0f;
}

float horizontalDistance(float dx, float dz) { return std::sqrt(dx * dx + dz * dz); }

struct Sighting {
  const PlayerTarget* player = nullptr;
  float dx = 0.0f, dy = 0.0f, dz = 0.0f;  // from the mob to the player
  float horizontal = 0.0f;
};

// The nearest player in 3D, among survival players only when `survivalOnly`.
std::optional<Sighting> nearestPlayer(const Mob& mob, std::span<const PlayerTarget> players, bool survivalOnly) {
  std::optional<Sighting> best;
  float bestSquared = std::numeric_limits<float>::infinity();
  for (const PlayerTarget& player : players) {
    if (survivalOnly && player.mode != 1) continue;
    const float dx = player.x - mob.x, dy = player.y - mob.y, dz = player.z - mob.z;
    const float squared = dx * dx + dy * dy + dz * dz;
    if (squared < bestSquared) {
      bestSquared = squared;
      best = Sighting{&player, dx, dy, dz, horizontalDistance(dx, dz)};
    }
  }
  return best;
}

void walkTowards(Mob& mob, float dx, float dz) {
  mob.walking = true;
  mob.targetYaw = std::atan2(dz, dx);
}

void wander(Mob& mob, std::uint32_t walkChance, float baseTime) {
  if (mob.decisionTimer > 0.0f) return;
  mob.decisionTimer = millis(nextWander() % 3000u) + baseTime;
  mob.walking = nextWander() % 100u < walkChance;
  mob.targetYaw = static_cast<float>(nextWander() % 62832u) / 10000.0f;
}

void villagerDecision(Mob& mob) {
  const float dx = mob.homeX - mob.x, dz = mob.homeZ - mob.z;
  if (horizontalDistance(dx, dz) > 8.0f) {
    walkTowards(mob, dx, dz);
  } else {
    wander(mob, 45, 2.0f);
  }
}

void zombieDecision(Mob& mob, std::span<const PlayerTarget> players) {
  const std::optional<Sighting> target = nearestPlayer(mob, players, true);
  if (target && target->horizontal <= 20.0f && std::fabs(target->dy) <= 10.0f && target->horizontal > 0.8f) {
    mob.approaching = true;
    walkTowards(mob, target->dx, target->dz);
    return;
  }
  mob.approaching = false;
  wander(mob, 50, 2.0f);
}

// Keeps about 1.1 blocks from the player: walks in when far, then circles while the radial
// weight pulls it back to that distance.
void circle(Mob& mob, const Sighting& target) {
  if (mob.decisionTimer <= 0.0f) {
    mob.decisionTimer = millis(nextWander() % 4000u) + 4.0f;
    mob.circlingDirection = (nextWander() & 1u) != 0 ? 1.0f : -1.0f;
  }
  const float distance = target.horizontal;
  const float w = std::clamp((distance - 1.1f) * 1.5f, -1.0f, 1.0f);
  const float ux = target.dx / distance, uz = target.dz / distance, s = mob.circlingDirection;
  mob.targetYaw = std::atan2(w * uz + ux * s, w * ux - uz * s);
  mob.walking = true;
}

void slimeDecision(Mob& mob, std::span<const PlayerTarget> players) {
  const std::optional<Sighting> target = nearestPlayer(mob, players, true);
  if (!target || target->horizontal > 10.0f || std::fabs(target->dy) > 6.0f) {
    mob.approaching = false;
    wander(mob, 65, 1.5f);
    return;
  }
  if (target->horizontal > 2.25f) mob.approaching = true;
  if (target->horizontal < 1.25f) mob.approaching = false;
  if (mob.approaching) {
    walkTowards(mob, target->dx, target->dz);
  } else if (target->horizontal > 0.0001f) {
    circle(mob, *target);
  } else {
    mob.walking = false;
  }
}

void chooseDirection(Mob& mob, std::span<const PlayerTarget> players) {
  if (mob.fleeTimer > 0.0f) {
    if (const std::optional<Sighting> nearest = nearestPlayer(mob, players, false)) {
      walkTowards(mob, -nearest->dx, -nearest->dz);
      return;
    }
  }
  switch (mob.kind) {
    case MobVillager: villagerDecision(mob); break;
    case MobZombie: zombieDecision(mob, players); break;
    case MobPig: wander(mob, 65, 1.5f); break;
    default: slimeDecision(mob, players); break;
  }
}

// Moves one coordinate of a box with half size `half` in sub-steps of at most 0.05;
// the first sub-step that overlaps a solid block is undone. True when blocked.
bool moveBoxAxis(const World& world, Vec3& centre, float Vec3::*axis, float displacement, float half) {
  while (std::fabs(displacement) > 0.00001f) {
    const float stepSize = std::clamp(displacement, -kSubStep, kSubStep);
    centre.*axis += stepSize;
    if (boxCollides(world, {centre.x - half, centre.y - half, centre.z - half},
                    {centre.x + half, centre.y + half, centre.z + half})) {
      centre.*axis -= stepSize;
      return true;
    }
    displacement -= stepSize;
  }
  return false;
}

struct BlockedAxes {
  bool x = false, z = false;
};

// Moves a mob or drop box by its velocity × dt along x, then z, then y. A blocked y move
// stops the vertical motion and, when it was downward, puts the body on the ground.
template <class Body>
BlockedAxes moveBody(const World& world, Body& body, float dt, float half) {
  Vec3 centre{body.x, body.y, body.z};
  BlockedAxes blocked;
  blocked.x = moveBoxAxis(world, centre, &Vec3::x, body.vx * dt, half);
  blocked.z = moveBoxAxis(world, centre, &Vec3::z, body.vz * dt, half);
  if (moveBoxAxis(world, centre, &Vec3::y, body.vy * dt, half)) {
    if (body.vy < 0.0f) body.onGround = true;
    body.vy = 0.0f;
  }
  body.x = centre.x;
  body.y = centre.y;
  body.z = centre.z;
  return blocked;
}

void moveMob(const World& world, Mob& mob, float dt) {
  float speed = mob.walking ? mobKindInfo(mob.kind).walkSpeed : 0.0f;
  if (mob.fleeTimer > 0.0f) speed *= kFleeSpeedFactor;
  mob.vx = std::cos(mob.targetYaw) * speed;
  mob.vz = std::sin(mob.targetYaw) * speed;
  mob.vy -= kGravity * dt;
  mob.onGround = false;
  const BlockedAxes blocked = moveBody(world, mob, dt, kMobHalfSize);
  // Walking into a block while standing: hop up onto it.
  if ((blocked.x || blocked.z) && mob.onGround) mob.vy = kHopSpeed;
}

void updateMob(const World& world, Mob& mob, float dt, std::span<const PlayerTarget> players) {
  mob.decisionTimer -= dt;
  mob.hurtTimer = std::max(mob.hurtTimer - dt, 0.0f);
  mob.fleeTimer = std::max(mob.fleeTimer - dt, 0.0f);
  mob.animationTime += dt;
  mob.displayedYaw += wrapAngle(mob.targetYaw - mob.displayedYaw) * std::min(10.0f * dt, 1.0f);

  chooseDirection(mob, players);
  moveMob(world, mob, dt);

  if (!(mob.y >= kVoidY)) {
    mob.y = kRescueY;
    mob.vx = mob.vy = mob.vz = 0.0f;
  }
}

// ---- Drops ------------------------------------------------------------------------------

int dropSubSteps(const Drop& drop, float dt) {
  const float largest = std::max({std::fabs(drop.vx * dt), std::fabs(drop.vy * dt), std::fabs(drop.vz * dt)});
  if (!(largest > 0.0f)) return 1;
  return static_cast<int>(std::clamp(std::ceil(largest / kSubStep), 1.0f, static_cast<float>(kMaxDropSubSteps)));
}

void moveDrop(const World& world, Drop& drop, float dt) {
  const int steps = dropSubSteps(drop, dt);
  const float slice = dt / static_cast<float>(steps);
  drop.onGround = false;
  for (int i = 0; i < steps; ++i) {
    const BlockedAxes blocked = moveBody(world, drop, slice, kDropHalfSize);
    if (blocked.x) drop.vx = 0.0f;
    if (blocked.z) drop.vz = 0.0f;
  }
}

int cellOf(float coordinate) { return static_cast<int>(std::floor(std::clamp(coordinate, -2.0e9f, 2.0e9f))); }

bool withinPickUpReach(const Drop& drop, const Vec3& player) {
  const float dy = drop.y - player.y;
  return horizontalDistance(drop.x - player.x, drop.z - player.z) < 1.3f && dy > -1.9f && dy < 1.5f;
}

// Advances one drop; false when it is gone (expired, burnt or picked up).
bool updateDrop(const World& world, Drop& drop, const Vec3& player, Inventory& inventory, bool canPickUp, float dt) {
  drop.age += dt;
  drop.bobPhase += 2.2f * dt;
  if (drop.age > kDropLifetime || !(drop.y >= kVoidY)) return false;
  const int x = cellOf(drop.x), y = cellOf(drop.y), z = cellOf(drop.z);
  if (!isColumnLoaded(world, chunkCoord(x), chunkCoord(z))) return true;
  const BlockId inside = getBlock(world, x, y, z);
  if (inside == blocks::Lava) return false;
  if (inside == blocks::Water) {
    drop.vy -= 5.5f * dt;
    const float damping = std::max(1.0f - 4.0f * dt, 0.0f);
    drop.vx *= damping;
    drop.vy *= damping;
    drop.vz *= damping;
  } else {
    drop.vy -= 22.0f * dt;
  }
  moveDrop(world, drop, dt);
  if (drop.onGround) {
    const float friction = std::max(1.0f - 7.0f * dt, 0.0f);
    drop.vx *= friction;
    drop.vz *= friction;
  }
  const bool pickedUp = canPickUp && drop.age > kPickUpDelay && withinPickUpReach(drop, player) &&
                        inventory.canAdd(drop.item, drop.count, drop.durability) &&
                        inventory.add(drop.item, drop.count, drop.durability);
  return !pickedUp;
}

// ---- Models -----------------------------------------------------------------------------

struct ModelBox {
  Vec3 lower, upper;
  int tile, frontTile;
  float shade;
};

Mesh buildModel(std::initializer_list<ModelBox> boxes) {
  Mesh mesh;
  for (const ModelBox& box : boxes) appendModelBox(mesh, box.lower, box.upper, box.tile, box.frontTile, box.shade);
  return mesh;
}

// Legs, body, arms and head of the upright figures (player and zombie share legs, body and head).
Mesh buildFigure(int legTile, int bodyTile, int headTile, int faceTile, const ModelBox& leftArm, const ModelBox& rightArm) {
  return buildModel({
      {{-0.12f, 0.0f, -0.195f}, {0.12f, 0.72f, -0.045f}, legTile, legTile, 0.82f},
      {{-0.12f, 0.0f, 0.045f}, {0.12f, 0.72f, 0.195f}, legTile, legTile, 0.82f},
      {{-0.14f, 0.72f, -0.24f}, {0.14f, 1.42f, 0.24f}, bodyTile, bodyTile, 1.0f},
      leftArm,
      rightArm,
      {{-0.22f, 1.42f, -0.22f}, {0.22f, 1.8f, 0.22f}, headTile, faceTile, 1.0f},
  });
}

}  // namespace

const MobKindInfo& mobKindInfo(std::uint8_t kind) { return kKindInfo[kind < kMobKinds ? kind : 0u]; }

std::vector<Mob> spawnMobs(World& world, std::uint32_t seed, int n, const Vec3& centre) {
  std::vector<Mob> mobs;
  const int cx = truncated(centre.x), cz = truncated(centre.z);
  std::uint32_t a = seed ^ 0xA5A5A5A5u;
  for (int attempt = 0; attempt < 10 * n && static_cast<int>(mobs.size()) < n; ++attempt) {
    const int dx = static_cast<int>((offsetStep(a) >> 8) % 41u);
    std::uint32_t e = nextStep(a);
    const int dz = static_cast<int>((e >> 8) % 41u);
    const int x = cx + dx - 20, z = cz + dz - 20;
    const bool awayFromCentre = std::abs(dx - 20) > 3 || std::abs(dz - 20) > 3;
    if (awayFromCentre && inWorldBounds(x, 0, z)) {
      const int h = surfaceHeight(world, x, z);
      if (h > 30) {
        ensureColumnAt(world, x, z);
        const BlockId ground = getBlock(world, x, h, z);
        const Vec3 position = spawnPosition(x, h, z);
        if ((ground == blocks::Grass || ground == blocks::Dirt || ground == blocks::Sand) && mobBoxFree(world, position)) {
          e = finalStep(a);
          const std::uint8_t kind = (e & 0x30000u) == 0 ? MobPig : MobSlime;
          mobs.push_back(newMob(kind, position, yawFrom(e), millis(e % 3000u) + 0.5f));
        }
      }
    }
    a = e;
  }
  return mobs;
}

std::vector<Mob> spawnVillagers(World& world, std::uint32_t seed, const Vec3& centre, int radius) {
  std::vector<Mob> villagers;
  std::uint32_t a = seed ^ 0xC0FFEEu;
  for (const VillageSite& site : sitesWithin(world, truncated(centre.x), truncated(centre.z), radius)) {
    std::uint32_t e = offsetStep(a);
    const int count = static_cast<int>((e >> 8) % 3u) + 3;
    for (int v = 0; v < count; ++v) {
      for (int attempt = 0; attempt < 16; ++attempt) {
        const int x = site.x - 7 + static_cast<int>((offsetStep(e) >> 8) % 15u);
        a = nextStep(e);
        const int z = site.z - 7 + static_cast<int>((a >> 8) % 15u);
        ensureColumnAt(world, x, z);
        const int h = surfaceHeight(world, x, z);
        const Vec3 position = spawnPosition(x, h, z);
        if (isSolidBlock(world, x, h, z) && mobBoxFree(world, position)) {
          a = finalStep(e);
          villagers.push_back(newMob(MobVillager, position, yawFrom(a), millis(a % 2000u)));
          break;
        }
        e = a;
      }
      e = a;
    }
  }
  return villagers;
}

std::vector<Mob> spawnZombies(World& world, std::uint32_t seed, int n, const Vec3& centre) {
  std::vector<Mob> zombies;
  const int cx = truncated(centre.x), cz = truncated(centre.z);
  std::uint32_t a = seed ^ 0x51ED270Bu;
  for (int attempt = 0; attempt < 24 * n && static_cast<int>(zombies.size()) < n; ++attempt) {
    std::uint32_t c = nextStep(a);
    const int dz = static_cast<int>((c >> 8) % 41u) - 20;
    const int dx = static_cast<int>((offsetStep(a) >> 8) % 41u) - 20;
    const int squared = dx * dx + dz * dz;
    const int x = cx + dx, z = cz + dz;
    if (squared >= 144 && squared <= 400 && inWorldBounds(x, 0, z)) {
      ensureColumnAt(world, x, z);
      const int h = surfaceHeight(world, x, z);
      const Vec3 position = spawnPosition(x, h, z);
      if (h > 0 && isSolidBlock(world, x, h, z) && getBlock(world, x, h + 1, z) == kAir &&
          getBlock(world, x, h + 2, z) == kAir && blockLight(world, x, h + 1, z) < 8 && mobBoxFree(world, position)) {
        c = finalStep(a);
        zombies.push_back(newMob(MobZombie, position, yawFrom(c), 0.0f));
      }
    }
    a = c;
  }
  return zombies;
}

void seedWanderRandom(std::uint32_t state) { wanderState = state != 0 ? state : 0x2545F491u; }

void updateMobs(const World& world, std::vector<Mob>& mobs, float dt, std::span<const PlayerTarget> players) {
  for (Mob& mob : mobs) updateMob(world, mob, dt, players);
}

void spawnDrop(std::vector<Drop>& drops, const Vec3& position, std::uint16_t item, std::int32_t count,
               std::uint16_t durability) {
  if (item == 0 || count <= 0) return;
  if (durability == 0) {
    for (Drop& drop : drops) {
      const float dx = drop.x - position.x, dy = drop.y - position.y, dz = drop.z - position.z;
      if (drop.item != item || drop.durability != 0 ||
          dx * dx + dy * dy + dz * dz > kDropMergeDistance * kDropMergeDistance) {
        continue;
      }
      // Saturate instead of wrapping: a merged pile never turns negative.
      drop.count = static_cast<std::int32_t>(
          std::min<std::int64_t>(std::int64_t{drop.count} + count, std::numeric_limits<std::int32_t>::max()));
      drop.age = std::min(drop.age, kPickUpDelay);
      return;
    }
  }
  Drop drop;
  drop.x = position.x;
  drop.y = position.y;
  drop.z = position.z;
  drop.item = item;
  drop.count = count;
  drop.durability = durability;
  drop.bobPhase = static_cast<float>(drops.size() % 8) * 0.35f;
  drops.push_back(drop);
}

void updateDrops(const World& world, std::vector<Drop>& drops, const Vec3& player, Inventory& inventory,
                 bool canPickUp, float dt) {
  std::erase_if(drops, [&](Drop& drop) { return !updateDrop(world, drop, player, inventory, canPickUp, dt); });
}

Mesh mobMesh(std::uint8_t kind) {
  switch (kind) {
    case MobSlime:
      return buildModel({{{-0.35f, -0.4f, -0.35f}, {0.35f, 0.25f, 0.35f}, 9, 10, 1.0f}});
    case MobPig: {
      Mesh mesh;
      for (const float x : {-0.16f, 0.16f}) {
        for (const float z : {-0.22f, 0.22f}) {
          appendModelBox(mesh, {x - 0.065f, -0.4f, z - 0.065f}, {x + 0.065f, -0.12f, z + 0.065f}, 11, 11, 0.85f);
        }
      }
      appendModelBox(mesh, {-0.25f, -0.12f, -0.32f}, {0.25f, 0.2f, 0.32f}, 11, 11, 1.0f);
      appendModelBox(mesh, {0.2f, 0.04f, -0.18f}, {0.56f, 0.4f, 0.18f}, 11, 12, 1.05f);
      return mesh;
    }
    case MobVillager:
      return buildModel({
          {{-0.08f, -0.4f, -0.17f}, {0.08f, -0.05f, -0.01f}, 23, 23, 0.78f},
          {{-0.08f, -0.4f, 0.01f}, {0.08f, -0.05f, 0.17f}, 23, 23, 0.78f},
          {{-0.22f, -0.06f, -0.14f}, {0.22f, 0.28f, 0.14f}, 23, 23, 1.0f},
          {{-0.1f, -0.05f, -0.32f}, {0.1f, 0.24f, -0.22f}, 23, 23, 0.9f},
          {{-0.1f, -0.05f, 0.22f}, {0.1f, 0.24f, 0.32f}, 23, 23, 0.9f},
          {{-0.13f, 0.28f, -0.13f}, {0.13f, 0.56f, 0.13f}, 24, 22, 1.0f},
      });
    case MobZombie:
      return buildFigure(54, 56, 54, 55, {{0.1f, 1.02f, -0.35f}, {0.62f, 1.16f, -0.21f}, 54, 54, 0.9f},
                         {{0.1f, 1.02f, 0.21f}, {0.62f, 1.16f, 0.35f}, 54, 54, 0.9f});
    default:
      return {};
  }
}

Mesh playerMesh() {
  return buildFigure(27, 26, 24, 25, {{-0.11f, 0.74f, -0.4f}, {0.11f, 1.36f, -0.26f}, 26, 26, 0.78f},
                     {{-0.11f, 0.74f, 0.26f}, {0.11f, 1.36f, 0.4f}, 26, 26, 0.78f});
}

Mesh particleMesh() { return buildModel({{{-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}, 0, 0, 1.0f}}); }

}  // namespace zorv
