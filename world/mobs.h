#pragma once
// Creatures (slimes, pigs, villagers, zombies): spawning, behaviour and movement; item
// drops lying in the world with merging and pick-up; the box models of creatures, the
// player and particles.

#include <cstdint>
#include <span>
#include <vector>

#include "world/inventory.h"
#include "world/mesher.h"
#include "world/vec.h"
#include "world/world.h"

namespace zorv {

enum MobKind : std::uint8_t { MobSlime = 0, MobPig = 1, MobVillager = 2, MobZombie = 3 };
constexpr int kMobKinds = 4;

struct Mob {
  std::int32_t id = 0;          // entity id; 0 until the session numbers it
  float x = 0.0f, y = 0.0f, z = 0.0f;  // centre of the 0.8 collision box
  float vx = 0.0f, vy = 0.0f, vz = 0.0f;
  float homeX = 0.0f, homeY = 0.0f, homeZ = 0.0f;
  float targetYaw = 0.0f;  // radians
  float decisionTimer = 0.0f;
  bool walking = false;
  bool onGround = false;
  std::uint8_t kind = MobSlime;
  std::int32_t health = 0;
  float hurtTimer = 0.0f;
  float fleeTimer = 0.0f;
  float displayedYaw = 0.0f;  // eased towards targetYaw
  float animationTime = 0.0f;
  bool approaching = false;  // slime approaching or zombie chasing
  float circlingDirection = 1.0f;
};

// What the mobs see of a player: the eye position and the game mode (1 = survival).
struct PlayerTarget {
  float x = 0.0f, y = 0.0f, z = 0.0f;
  std::uint8_t mode = 0;
};

struct Drop {
  std::int32_t entityId = 0;  // 0 until the session numbers it
  float x = 0.0f, y = 0.0f, z = 0.0f;
  float vx = 0.0f, vy = 0.0f, vz = 0.0f;
  std::uint16_t item = 0;  // block or item number
  std::uint16_t durability = 0;
  std::int32_t count = 0;
  float age = 0.0f;
  float bobPhase = 0.0f;
  bool onGround = false;
};

struct Particle {
  float x = 0.0f, y = 0.0f, z = 0.0f;
  float vx = 0.0f, vy = 0.0f, vz = 0.0f;
  float life = 0.0f, totalLife = 0.0f;
  float baseSize = 0.0f;
  std::int32_t tile = 0;
};

struct MobKindInfo {
  std::int32_t health;
  float walkSpeed;  // blocks per second
  float modelHeight;
};
// Starting health, walking speed and model height of a kind; unknown kinds read as slimes.
const MobKindInfo& mobKindInfo(std::uint8_t kind);

// Slimes and pigs on grass, dirt or sand within 20 blocks of the centre (up to n).
std::vector<Mob> spawnMobs(World& world, std::uint32_t seed, int n, const Vec3& centre);
// Three to five villagers around the well of every village site within `radius`.
std::vector<Mob> spawnVillagers(World& world, std::uint32_t seed, const Vec3& centre, int radius);
// Up to n zombies on dark ground 12 to 20 blocks from the centre.
std::vector<Mob> spawnZombies(World& world, std::uint32_t seed, int n, const Vec3& centre);

// Restarts the wander random sequence that all mobs share (tests and replays).
void seedWanderRandom(std::uint32_t state);
// One behaviour and movement step of every mob, in list order.
void updateMobs(const World& world, std::vector<Mob>& mobs, float dt, std::span<const PlayerTarget> players);

// Adds a drop, or merges it into a drop of the same item within 0.6 blocks.
void spawnDrop(std::vector<Drop>& drops, const Vec3& position, std::uint16_t item, std::int32_t count,
               std::uint16_t durability);
// Ages, moves and picks up drops; drops in unloaded columns stay frozen.
void updateDrops(const World& world, std::vector<Drop>& drops, const Vec3& player, Inventory& inventory,
                 bool canPickUp, float dt);

// Box models in model space (+X is the front); empty for an unknown kind.
Mesh mobMesh(std::uint8_t kind);
Mesh playerMesh();
// A unit cube centred on the origin (24 vertices).
Mesh particleMesh();

}  // namespace zorv
