#include "game/world_life_cycle.h"

#include <algorithm>
#include <cmath>

#include "game/save_mapping.h"
#include "lang/localisation.h"
#include "world/light.h"
#include "world/terrain.h"

namespace zorv {
namespace {

constexpr float kStartX = 96.5f, kStartY = 50.0f, kStartZ = 96.5f;
constexpr float kStartYaw = -90.0f, kStartPitch = -12.0f;
constexpr float kFirstWeatherChange = 75.0f;
constexpr int kInitialMobs = 14;
constexpr int kVillagerRadius = 640;
constexpr int kLoadJobs = 4096;
constexpr int kCreateRadius = 3;  // chunks made present and meshed around a new spawn
constexpr int kLoadRadius = 2;    // chunks made present around a loaded player
constexpr int kSpawnSearchRadius = 512;
constexpr int kSpawnSearchStep = 8;
constexpr int kSpawnVillageClearance = 32;
// The state every freshly entered world starts from (create and load alike).
void resetWorldState(GameSession& session) {
  session.cursorStack = {};
  session.craftingGrid = {};
  session.inventoryOpen = false;
  session.inventoryTab = 0;
  session.currentVillage = -1;
  session.villageTimer = 0.0f;
  session.particles.clear();
  session.stepDistance = 0.0f;
  session.fovCurrent = session.preferences.fieldOfView;
  session.weatherTimer = kFirstWeatherChange;
  session.remotePlayers.clear();
  session.regenTimer = 0.0f;
  session.regenStepTimer = 0.0f;
  session.lavaTimer = 0.0f;
  session.mobHitCooldown = 0.0f;
  session.attackCooldown = 0.0f;
  session.miningX = session.miningY = session.miningZ = kNoMiningCell;
  session.miningProgress = 0.0f;
}

void replaceWorld(GameSession& session, std::uint32_t seed, const std::string& name) {
  session.worldName = name;
  session.seed = seed;
  dropWorld(session);  // the old world's region data is released before the new one opens
  session.world = std::make_unique<World>(static_cast<std::int32_t>(seed));
  const std::filesystem::path folder = worldFolder(name);
  if (!folder.empty()) setSaveFolder(*session.world, folder);
}

// Capture and fluids by role; then the chunks around the player are lit, meshed and
// handed to the view (cleared by replaceWorld) in one go.
void prepareWorldArea(GameSession& session, Vec3 centre) {
  World& world = *session.world;
  setCaptureEnabled(world, session.networkRole == RoleHost);
  setFluidsEnabled(world, session.networkRole != RoleClient);
  if (session.view) session.view->setRenderDistance(session.preferences.renderDistance);
  // One ring further than the meshed area, so every meshed chunk sees lit neighbours.
  ensureColumnsAround(world, floorToInt(centre.x), floorToInt(centre.z), kCreateRadius + 1);
  processRelightQueue(world, kLoadJobs);
  if (session.view) session.view->showArea(world, centre, kCreateRadius);
  world.remeshSet.clear();  // everything queued so far was just meshed
}

}  // namespace

void raiseOutOfBlocks(const World& world, PlayerBody& player) {
  while (player.y < static_cast<float>(kMaxY + 8) && collidesAt(world, {player.x, player.y, player.z})) {
    player.y += 1.0f;
  }
}

void dropWorld(GameSession& session) {
  if (session.view) session.view->forgetWorld();
  session.world.reset();
  session.remotePlayers.clear();
  session.mobs.clear();
  session.drops.clear();
}

void resetPlayer(PlayerBody& player) {
  const float sensitivity = player.lookSensitivity;
  player = PlayerBody{};
  player.x = kStartX;
  player.y = kStartY;
  player.z = kStartZ;
  player.yaw = kStartYaw;
  player.pitch = kStartPitch;
  player.lookSensitivity = sensitivity;
  player.health = kMaxHealth;
}

// Adds a stack to the inventory; what does not fit is dropped at the player's feet when
// a world is loaded, so nothing the player held disappears.
void returnStack(GameSession& session, const ItemStack& stack) {
  if (stack.empty()) return;
  Inventory& inventory = session.inventory;
  std::int32_t fits = stack.count;
  if (!inventory.canAdd(stack.id, stack.count, stack.durability)) {
    fits = stack.durability == 0 ? std::min(stack.count, inventory.roomFor(stack.id)) : 0;
  }
  if (fits > 0) inventory.add(stack.id, fits, stack.durability);
  const std::int32_t rest = stack.count - fits;
  if (rest <= 0 || !session.world) return;
  const Vec3 feet{session.player.x, session.player.y - kEyeHeight + 0.5f, session.player.z};
  spawnDrop(session.drops, feet, stack.id, rest, static_cast<std::uint16_t>(std::clamp(stack.durability, 0, 0xFFFF)));
  assignEntityIds(session);
}

// Puts the cursor stack and then the crafting grid back into the inventory.
void returnHeldStacks(GameSession& session) {
  returnStack(session, session.cursorStack);
  session.cursorStack = {};
  for (ItemStack& cell : session.craftingGrid) {
    returnStack(session, cell);
    cell = {};
  }
}

void respawnPlayer(GameSession& session) {
  PlayerBody& player = session.player;
  player.health = kMaxHealth;
  player.fallDistance = 0.0f;
  player.x = session.spawnPoint.x;
  player.y = session.spawnPoint.y;
  player.z = session.spawnPoint.z;
  player.vx = 0.0f;
  player.vz = 0.0f;
  player.hurtTimer = 0.0f;
  session.regenTimer = 0.0f;
  session.lavaTimer = 0.0f;
  setAppState(session, AppPlaying);
  addMessage(session, tr("Respawned"));
}

Vec3 findSpawnPoint(World& world) {
  std::optional<Vec3> found;
  for (int r = 0; r <= kSpawnSearchRadius && !found; r += kSpawnSearchStep) {
    for (int z = -r; z <= r && !found; z += kSpawnSearchStep) {
      for (int x = -r; x <= r && !found; x += kSpawnSearchStep) {
        if (std::max(std::abs(x), std::abs(z)) != r) continue;
        const int h = surfaceHeight(world, x, z);
        if (h < 32 || !sitesWithin(world, x, z, kSpawnVillageClearance).empty()) continue;
        ensureColumn(world, chunkCoord(x), chunkCoord(z));
        const BlockId surface = getBlock(world, x, h, z);
        if (surface != blocks::Grass && surface != blocks::Dirt && surface != blocks::Sand) continue;
        found = Vec3{static_cast<float>(x) + 0.5f, static_cast<float>(h) + 1.0f + kEyeHeight + 0.01f,
                     static_cast<float>(z) + 0.5f};
      }
    }
  }
  if (!found) {
    const int a = surfaceHeight(world, 0, 0);
    ensureColumn(world, 0, 0);
    found = Vec3{0.5f, static_cast<float>(a < 30 ? 31 : a + 1) + 1.63f, 0.5f};
  }
  PlayerBody probe;
  probe.x = found->x;
  probe.y = found->y;
  probe.z = found->z;
  raiseOutOfBlocks(world, probe);
  return {probe.x, probe.y, probe.z};
}

void createWorld(GameSession& session, std::uint32_t seed, const std::string& name) {
  if (session.view) session.view->setMenuStatus("");
  replaceWorld(session, seed, name);
  World& world = *session.world;

  resetPlayer(session.player);
  session.spawnPoint = findSpawnPoint(world);
  PlayerBody& player = session.player;
  player.x = session.spawnPoint.x;
  player.y = session.spawnPoint.y;
  player.z = session.spawnPoint.z;
  ensureColumnsAround(world, floorToInt(player.x), floorToInt(player.z), kCreateRadius);

  session.mobs = spawnMobs(world, seed, kInitialMobs, session.spawnPoint);
  const std::vector<Mob> villagers = spawnVillagers(world, seed, session.spawnPoint, kVillagerRadius);
  session.mobs.insert(session.mobs.end(), villagers.begin(), villagers.end());
  session.drops.clear();

  session.inventory.clear();
  session.inventory.select(0);
  resetWorldState(session);
  session.timeOfDay = 0.22f;
  session.weather = WeatherClear;
  session.nextEntityId = 1;
  assignEntityIds(session);

  prepareWorldArea(session, session.spawnPoint);

  addMessage(session, formatTranslated("World seed %u", seed));
  const std::size_t villages =
      sitesWithin(world, floorToInt(session.spawnPoint.x), floorToInt(session.spawnPoint.z), kVillagerRadius).size();
  if (villages > 0) addMessage(session, formatTranslated("%d village(s) nearby", static_cast<int>(villages)));
}

bool loadWorld(GameSession& session, const std::string& name) {
  LevelSave save;
  if (!readSave(name, save)) return false;

  replaceWorld(session, save.seed, name);
  World& world = *session.world;
  for (const SavedEdit& edit : save.edits) {
    applySavedEdit(world, edit.x, edit.y, edit.z, edit.block, edit.fluidLevel == kNoFluidLevel ? -1 : edit.fluidLevel);
  }

  const bool placed = loadPlayer(session, save);
  PlayerBody& player = session.player;
  session.spawnPoint = findSpawnPoint(world);
  if (!placed) {
    player.x = session.spawnPoint.x;
    player.y = session.spawnPoint.y;
    player.z = session.spawnPoint.z;
  }
  ensureColumnsAround(world, floorToInt(player.x), floorToInt(player.z), kLoadRadius);
  raiseOutOfBlocks(world, player);

  loadEntities(session, save);
  resetWorldState(session);
  session.timeOfDay = std::isfinite(save.timeOfDay) ? std::clamp(save.timeOfDay, 0.0f, 1.0f) : 0.0f;
  session.weather = save.weather < 3 ? static_cast<Weather>(save.weather) : WeatherClear;

  prepareWorldArea(session, {player.x, player.y, player.z});
  addMessage(session, formatTranslated("Loaded %s (seed %u)", name.c_str(), save.seed));
  return true;
}

bool saveWorld(GameSession& session) {
  if (!canSaveWorld(session)) return false;
  // An autosave still being written must land before this newer save, not after it.
  finishBackgroundFlush(*session.world, true);
  // Region files first, the level file last: its edit list is what a load trusts.
  return flush(*session.world, [folder = worldFolder(session.worldName), save = levelSaveOf(session)] {
    return writeLevelTo(folder, save);
  });
}

void saveWorldInBackground(GameSession& session) {
  if (!canSaveWorld(session)) return;
  startBackgroundFlush(*session.world, [folder = worldFolder(session.worldName), save = levelSaveOf(session)] {
    return writeLevelTo(folder, save);
  });
}

void stopNetworking(GameSession& session) {
  if (session.net.active) shutdown(session.net);
  session.networkRole = RoleOffline;
}

void leaveWorld(GameSession& session) {
  const bool saveFailed =
      session.networkRole == RoleHost && session.world && !session.worldName.empty() && !saveWorld(session);
  const std::string failure = formatTranslated("Could not save %s", session.worldName.c_str());
  if (saveFailed) addMessage(session, failure);
  stopNetworking(session);
  session.localPlayerId = 0;
  dropWorld(session);
  session.particles.clear();
  session.inventoryOpen = false;
  session.cursorStack = {};
  session.craftingGrid = {};
  if (session.view) {
    session.view->showMenu(MenuMain, saveFailed ? failure : std::string());  // the menu shows what went wrong
    session.view->worldListChanged();
  }
  setAppState(session, AppMenu);
}

bool saveAndReport(GameSession& session) {
  const bool saved = saveWorld(session);
  if (session.view) session.view->worldListChanged();
  // A failed write must not read as a success.
  addMessage(session, saved ? formatTranslated("Saved %s", session.worldName.c_str())
                            : formatTranslated("Could not save %s", session.worldName.c_str()));
  return saved;
}

}  // namespace zorv
