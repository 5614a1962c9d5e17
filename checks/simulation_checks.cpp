#include "checks/simulation_checks.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "checks/self_test.h"
#include "world/inventory.h"
#include "world/mobs.h"
#include "world/physics.h"
#include "world/registry.h"
#include "world/terrain.h"
#include "world/villages.h"
#include "world/world.h"

namespace zorv {
namespace {

constexpr float kTick = 1.0f / 60.0f;

// Scenes are built in a world of empty columns, so terrain never gets in the way.
struct Scene {
  World world{kCheckSeed};

  Scene(int x0, int z0, int x1, int z1) {
    for (int cz = chunkCoord(z0); cz <= chunkCoord(z1); ++cz) {
      for (int cx = chunkCoord(x0); cx <= chunkCoord(x1); ++cx) createEmptyColumn(world, cx, cz);
    }
  }
  void fill(int x0, int y0, int z0, int x1, int y1, int z1, BlockId id) {
    for (int y = y0; y <= y1; ++y) {
      for (int z = z0; z <= z1; ++z) {
        for (int x = x0; x <= x1; ++x) setBlockRaw(world, x, y, z, id);
      }
    }
  }
};

float horizontalDistance(const Mob& mob, const PlayerTarget& player) {
  return std::hypot(mob.x - player.x, mob.z - player.z);
}

bool isSolid(const World& world, int x, int y, int z) { return blockRegistry().get(getBlock(world, x, y, z)).solid; }

bool mobBoxFree(const World& world, const Mob& mob) {
  return !boxCollides(world, {mob.x - 0.4f, mob.y - 0.4f, mob.z - 0.4f}, {mob.x + 0.4f, mob.y + 0.4f, mob.z + 0.4f});
}

// Standing: the box is free and the cell under its bottom is solid.
bool standsInOpenSpace(const World& world, const Mob& mob) {
  return mobBoxFree(world, mob) && isSolid(world, floorToInt(mob.x), floorToInt(mob.y - 0.4f) - 1, floorToInt(mob.z));
}

template <class Predicate>
bool allOf(const std::vector<Mob>& mobs, Predicate predicate) {
  return !mobs.empty() && std::all_of(mobs.begin(), mobs.end(), predicate);
}

float modelHeight(const Mesh& mesh) {
  if (mesh.vertices.empty()) return 0.0f;
  const auto [low, high] = std::minmax_element(mesh.vertices.begin(), mesh.vertices.end(),
                                               [](const MeshVertex& a, const MeshVertex& b) { return a.y < b.y; });
  return high->y - low->y;
}

bool heightIs(const Mesh& mesh, float height) { return std::fabs(modelHeight(mesh) - height) < 0.001f; }

// A column of the world well above the sea near the origin, for spawning on land.
Vec3 landPosition(World& world) {
  for (int x = 0; x < 512; x += 8) {
    if (surfaceHeight(world, x, 8) > 36) return {static_cast<float>(x) + 0.5f, 0.0f, 8.5f};
  }
  return {0.5f, 0.0f, 8.5f};
}

}  // namespace

void checkMovementAndMobBehaviour(CheckReport& report) {
  Scene scene(-24, -24, 24, 24);
  // A pool two blocks deep (water top at 13) beside a bank one block higher (top at 14).
  scene.fill(-1, 10, 0, 8, 10, 0, blocks::Stone);
  scene.fill(-1, 11, 0, -1, 14, 0, blocks::Stone);
  scene.fill(0, 11, 0, 2, 12, 0, blocks::Water);
  scene.fill(3, 11, 0, 8, 13, 0, blocks::Stone);
  PlayerBody swimmer{.x = 1.5f, .y = 12.62f, .z = 0.5f, .mode = 1};
  MoveInput swim;
  swim.dx = 1.0f;
  swim.jump = true;
  bool climbed = false;
  for (int i = 0; i < 60 && !climbed; ++i) {
    step(swimmer, scene.world, kTick, swim);
    climbed = swimmer.y > 14.0f + kEyeHeight && swimmer.x > 3.3f;
  }
  report.check(climbed, "player can climb out of deep water");

  scene.fill(-20, 20, -20, 20, 20, 20, blocks::Stone);
  const float standing = 21.4f;  // mob box centre on that floor
  const auto slimeAt = [&](float x, float z) {
    Mob slime;
    slime.kind = MobSlime;
    slime.x = slime.homeX = x;
    slime.y = slime.homeY = standing;
    slime.z = slime.homeZ = z;
    slime.health = mobKindInfo(MobSlime).health;
    slime.decisionTimer = 2.5f;
    return slime;
  };
  std::vector<Mob> slimes = {slimeAt(0.5f, 0.5f)};
  const std::vector<PlayerTarget> creative = {{5.5f, standing + 1.22f, 0.5f, 0}};
  for (int i = 0; i < 120; ++i) updateMobs(scene.world, slimes, kTick, creative);
  report.check(std::fabs(slimes[0].x - creative[0].x) > 4.0f, "slimes ignore the player in creative mode");

  slimes = {slimeAt(0.5f, 0.5f)};
  const std::vector<PlayerTarget> survival = {{5.5f, standing + 1.22f, 0.5f, 1}};
  for (int i = 0; i < 300; ++i) updateMobs(scene.world, slimes, kTick, survival);
  const float distance = horizontalDistance(slimes[0], survival[0]);
  report.check(distance > 0.8f && distance < 1.8f, "survival slimes hold a standoff instead of standing on the player");
}

void checkPlayerPhysics(CheckReport& report) {
  Scene scene(40, 40, 70, 70);
  setBlockRaw(scene.world, 56, 40, 56, blocks::Grass);
  setBlockRaw(scene.world, 56, 41, 56, blocks::Stone);  // its top is y = 42
  report.check(!collidesAt(scene.world, {56.5f, 46.0f, 56.5f}), "player is free in open air");
  report.check(collidesAt(scene.world, {55.9f, 40.9f, 56.5f}), "player collides with solid block");

  PlayerBody body{.x = 56.5f, .y = 46.0f, .z = 56.5f, .mode = 1};
  for (int i = 0; i < 180; ++i) step(body, scene.world, kTick, {});
  report.check(std::fabs(body.y - (42.0f + kEyeHeight)) < 0.05f, "player lands on the block surface");
  report.check(body.onGround, "player reports onGround after landing");
  const float resting = body.y;
  MoveInput jump;
  jump.jump = true;
  step(body, scene.world, kTick, jump);
  report.check(body.y > resting && !body.onGround, "jump leaves the ground");

  const auto fallDamage = [&](std::uint8_t mode) {
    PlayerBody faller{.x = 56.5f, .y = 50.0f, .z = 56.5f, .mode = mode};
    int damage = 0;
    for (int i = 0; i < 240; ++i) damage += step(faller, scene.world, kTick, {});
    return damage;
  };
  report.check(fallDamage(1) > 0, "fall damage applies in survival mode");
  report.check(fallDamage(0) == 0, "fall damage is disabled in creative mode");
}

void checkMobSpawning(CheckReport& report, World& world) {
  const Mesh slime = mobMesh(MobSlime), pig = mobMesh(MobPig), villager = mobMesh(MobVillager);
  report.check(!slime.empty() && !pig.empty() && !villager.empty() && !playerMesh().empty(), "mob meshes built");
  report.check(heightIs(pig, 0.8f), "pig mesh is 0.8 units tall");
  report.check(heightIs(slime, 0.65f), "slime mesh is 0.65 units tall");
  report.check(heightIs(villager, 0.96f), "villager mesh is 0.96 units tall");
  report.check(heightIs(playerMesh(), 1.8f), "player mesh is 1.8 units tall");
  const Mesh particle = particleMesh();
  report.check(particle.vertices.size() == 24 && particle.indices.size() == 36 &&
                   std::all_of(particle.vertices.begin(), particle.vertices.end(),
                               [](const MeshVertex& v) {
                                 return std::fabs(v.x) == 0.5f && std::fabs(v.y) == 0.5f && std::fabs(v.z) == 0.5f;
                               }),
               "particle mesh is a cube");

  const std::vector<Mob> mobs = spawnMobs(world, static_cast<std::uint32_t>(world.seed), 14, landPosition(world));
  report.check(!mobs.empty(), "mobs spawned");
  report.check(allOf(mobs, [&](const Mob& mob) { return standsInOpenSpace(world, mob); }), "mobs spawn on solid ground");
  const bool kinds = allOf(mobs, [](const Mob& mob) {
    return (mob.kind == MobSlime || mob.kind == MobPig) && mob.health == mobKindInfo(mob.kind).health;
  });
  const bool pigAmongMany =
      mobs.size() <= 3 || std::any_of(mobs.begin(), mobs.end(), [](const Mob& mob) { return mob.kind == MobPig; });
  report.check(kinds && pigAmongMany, "mob types are assigned");
}

void checkVillagersAndZombies(CheckReport& report, World& world) {
  const std::vector<Mob> villagers = spawnVillagers(world, static_cast<std::uint32_t>(world.seed), {0.0f, 0.0f, 0.0f}, 640);
  const std::vector<VillageSite> sites = sitesWithin(world, 0, 0, 640);
  report.check(allOf(villagers,
                     [&](const Mob& mob) {
                       return mob.kind == MobVillager &&
                              std::any_of(sites.begin(), sites.end(), [&](const VillageSite& site) {
                                return std::fabs(mob.x - static_cast<float>(site.x) - 0.5f) <= 7.0f &&
                                       std::fabs(mob.z - static_cast<float>(site.z) - 0.5f) <= 7.0f;
                              });
                     }),
               "villagers spawn in villages");
  report.check(allOf(villagers, [&](const Mob& mob) { return standsInOpenSpace(world, mob); }),
               "villagers spawn in open space");

  const Mesh zombie = mobMesh(MobZombie);
  report.check(!zombie.empty() && heightIs(zombie, 1.8f), "zombie mesh is built");
  const Vec3 centre = landPosition(world);
  const std::vector<Mob> zombies = spawnZombies(world, static_cast<std::uint32_t>(world.seed), 2, centre);
  report.check(allOf(zombies,
                     [&](const Mob& mob) {
                       const int dx = floorToInt(mob.x) - static_cast<int>(centre.x);
                       const int dz = floorToInt(mob.z) - static_cast<int>(centre.z);
                       const int squared = dx * dx + dz * dz;
                       return mob.kind == MobZombie && squared >= 144 && squared <= 400 &&
                              blockLight(world, floorToInt(mob.x), floorToInt(mob.y - 0.4f), floorToInt(mob.z)) < 8;
                     }),
               "zombies spawn at night-range distance in the dark");
  report.check(allOf(zombies, [&](const Mob& mob) { return standsInOpenSpace(world, mob); }),
               "zombies spawn in open space");
}

void checkInventoryAndCrafting(CheckReport& report) {
  Inventory inventory;
  inventory.clear();
  report.check(inventory.isEmpty(), "inventory starts empty");
  report.check(inventory.add(blocks::Dirt, 70, 0), "inventory accepts more than one stack");
  report.check(inventory.countOf(blocks::Dirt) == 70, "inventory counts stacked items");
  report.check(inventory.slots[0].count == 64 && inventory.slots[1].count == 6, "stacks split at 64");
  inventory.select(0);
  report.check(inventory.consumeSelected(1) && inventory.countOf(blocks::Dirt) == 69, "selected stack is consumed");
  report.check(!inventory.consumeSelected(100) && inventory.countOf(blocks::Dirt) == 69,
               "cannot consume more than the stack holds");
  report.check(inventory.remove(blocks::Dirt, 69), "inventory removes items for trading");
  report.check(inventory.isEmpty(), "inventory empties after removing everything");
  report.check(!inventory.remove(blocks::Dirt, 1), "cannot remove items that are not there");

  const ItemId stick = itemRegistry().findItem("stick");
  bool planksEverywhere = true;
  for (std::size_t cell = 0; cell < 9; ++cell) {
    std::array<std::uint16_t, 9> grid{};
    grid[cell] = blocks::Wood;
    const std::optional<Recipe> match = matchRecipe(grid);
    planksEverywhere = planksEverywhere && match && match->result == blocks::Planks && match->count == 4;
  }
  report.check(planksEverywhere, "log crafts into planks anywhere in the grid");
  std::array<std::uint16_t, 9> grid{};
  grid[8] = blocks::Wood;
  report.check(matchRecipe(grid).has_value() && matchRecipe(grid)->result == blocks::Planks,
               "shapeless recipe matches in the corner");
  grid[1] = stick;
  report.check(!matchRecipe(grid).has_value(), "wrong ingredients match no recipe");
  const std::uint16_t p = blocks::Planks;
  const std::optional<Recipe> table = matchRecipe(std::array<std::uint16_t, 9>{0, 0, 0, 0, p, p, 0, p, p});
  report.check(table && table->result == blocks::CraftingTable, "2x2 planks craft a crafting table");
  const std::optional<Recipe> pickaxe = matchRecipe(std::array<std::uint16_t, 9>{p, p, p, 0, stick, 0, 0, stick, 0});
  const std::uint16_t c = blocks::Cobblestone;
  const std::optional<Recipe> stonePickaxe =
      matchRecipe(std::array<std::uint16_t, 9>{c, c, c, 0, stick, 0, 0, stick, 0});
  report.check(pickaxe && pickaxe->result == itemRegistry().findItem("wooden_pickaxe") && stonePickaxe &&
                   stonePickaxe->result == itemRegistry().findItem("stone_pickaxe"),
               "pickaxe recipe matches the 3x3 pattern");
}

void checkDrops(CheckReport& report) {
  Scene scene(-8, -8, 8, 8);
  scene.fill(-4, 10, -4, 4, 10, 4, blocks::Stone);
  std::vector<Drop> drops;
  spawnDrop(drops, {0.5f, 13.0f, 0.5f}, blocks::Dirt, 1, 0);
  spawnDrop(drops, {0.5f, 13.0f, 0.5f}, blocks::Dirt, 1, 0);
  report.check(drops.size() == 1 && drops[0].count == 2, "drops merge on spawn");

  Inventory full;
  for (ItemStack& slot : full.slots) slot = {blocks::Stone, 64, 0};
  const Vec3 away{5.5f, 12.62f, 5.5f}, onTop{0.5f, 12.62f, 0.5f};
  for (int i = 0; i < 300; ++i) updateDrops(scene.world, drops, away, full, true, kTick);
  report.check(drops.size() == 1 && drops[0].onGround && std::fabs(drops[0].y - 11.15f) < 0.06f,
               "drop lands on solid ground");
  updateDrops(scene.world, drops, onTop, full, true, kTick);
  report.check(drops.size() == 1 && full.countOf(blocks::Dirt) == 0, "full inventory leaves the drop on the ground");
  Inventory inventory;
  updateDrops(scene.world, drops, onTop, inventory, true, kTick);
  report.check(drops.empty() && inventory.countOf(blocks::Dirt) == 2, "drop is picked up into the inventory");
}

}  // namespace zorv
