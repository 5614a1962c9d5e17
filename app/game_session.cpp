#include "app/game_session.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

#include "app/game_mod_context.h"
#include "mods/events.h"
#include "persist/level_save.h"
#include "platform/platform.h"
#include "sound/sound_effects.h"
#include "ui/localisation.h"
#include "world/fluids.h"
#include "world/light.h"
#include "world/registry.h"
#include "world/terrain.h"

namespace zorv {
namespace {

constexpr float kStartX = 96.5f, kStartY = 50.0f, kStartZ = 96.5f;
constexpr float kStartYaw = -90.0f, kStartPitch = -12.0f;
constexpr int kMaxHealth = 20;
constexpr float kFirstWeatherChange = 75.0f;
constexpr float kMinimapFirstFrame = 999.0f;  // larger than the interval: drawn on the first frame
constexpr int kInitialMobs = 14;
constexpr int kVillagerRadius = 640;
constexpr int kLoadJobs = 4096;
constexpr int kCreateRadius = 3;  // chunks made present and meshed around a new spawn
constexpr int kLoadRadius = 2;    // chunks made present around a loaded player
constexpr int kSpawnSearchRadius = 512;
constexpr int kSpawnSearchStep = 8;
constexpr int kSpawnVillageClearance = 32;
constexpr int kNearestVillageRange = 800;

int floorInt(float value) { return static_cast<int>(std::floor(value)); }

double monotonicSeconds() { return static_cast<double>(platform::monotonicNanos()) * 1e-9; }

// The length of `text` cut to at most `limit` bytes without splitting a UTF-8 character.
std::size_t utf8Cut(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
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

// Whether a saved block-or-item number means something to the registries.
bool isKnownNumber(std::uint16_t number) {
  if (number == 0) return false;
  if (number >= kFirstItem) return itemRegistry().isItem(number);
  return number < blockRegistry().count();
}

std::uint16_t clampToU16(std::int32_t value) { return static_cast<std::uint16_t>(std::clamp(value, 0, 0xFFFF)); }

int maxMobHealth(std::uint8_t type) {
  switch (type) {
    case MobPig: return 2;
    case MobVillager: return 4;
    case MobZombie: return 6;
    default: return 3;
  }
}

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
  mob.health = std::clamp(saved.health, 1, maxMobHealth(saved.type));
  return mob;
}

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
  session.fovCurrent = session.settings.fieldOfView;
  session.weatherTimer = kFirstWeatherChange;
  session.minimapTimer = kMinimapFirstFrame;
  session.remotePlayers.clear();
  session.regenTimer = 0.0f;
  session.regenStepTimer = 0.0f;
  session.lavaTimer = 0.0f;
  session.mobHitCooldown = 0.0f;
  session.attackCooldown = 0.0f;
  session.miningX = session.miningY = session.miningZ = kNoMiningCell;
  session.miningProgress = 0.0f;
  session.chatOpen = false;
  session.chatText.clear();
}

void replaceWorld(GameSession& session, std::uint32_t seed, const std::string& name) {
  session.worldName = name;
  session.seed = seed;
  if (session.renderer) session.renderer->clearChunkMeshes();
  session.streamer.reset();
  session.world.reset();  // the old world's region data is released before the new one opens
  session.world = std::make_unique<World>(static_cast<std::int32_t>(seed));
  const std::filesystem::path folder = worldFolder(name);
  if (!folder.empty()) setSaveFolder(*session.world, folder);
}

// Capture and fluids by role; then the chunks around the player are lit, meshed and
// handed to the renderer (cleared by replaceWorld) in one go.
void prepareWorldArea(GameSession& session, Vec3 centre) {
  World& world = *session.world;
  setCaptureEnabled(world, session.networkRole == RoleHost);
  setFluidsEnabled(world, session.networkRole != RoleClient);
  session.streamer.setRenderDistance(session.settings.renderDistance);
  // One ring further than the meshed area, so every meshed chunk sees lit neighbours.
  ensureColumnsAround(world, floorInt(centre.x), floorInt(centre.z), kCreateRadius + 1);
  processRelightQueue(world, kLoadJobs);
  if (session.renderer) {
    session.streamer.preload(world, *session.renderer, centre, kCreateRadius);
  }
  world.remeshSet.clear();  // everything queued so far was just meshed
}

void raiseOutOfBlocks(const World& world, PlayerBody& player) {
  while (player.y < static_cast<float>(kMaxY + 8) && collidesAt(world, {player.x, player.y, player.z})) {
    player.y += 1.0f;
  }
}

}  // namespace

GameSession::GameSession() : modContext(std::make_unique<GameModContext>(*this)), clock(monotonicSeconds) {
  resetPlayer(player);
  player.lookSensitivity = settings.mouseSensitivity;
}

GameSession::~GameSession() = default;

GameMode gameMode(const GameSession& session) { return static_cast<GameMode>(session.player.mode); }

const char* gameModeName(GameMode mode) {
  switch (mode) {
    case ModeSurvival: return "Survival";
    case ModeSpectator: return "Spectator";
    default: return "Creative";
  }
}

const char* weatherName(Weather weather) {
  switch (weather) {
    case WeatherRain: return "Rain";
    case WeatherSnow: return "Snow";
    default: return "Clear";
  }
}

const char* weatherChangeText(Weather weather) {
  switch (weather) {
    case WeatherRain: return "It starts to rain";
    case WeatherSnow: return "It starts to snow";
    default: return "The sky clears";
  }
}

void addMessage(GameSession& session, const std::string& text) {
  LogEntry entry{text.substr(0, utf8Cut(text, kMaxMessageBytes)), session.clock ? session.clock() : 0.0};
  std::printf("[log] %s\n", entry.text.c_str());
  std::fflush(stdout);
  session.messages.push_back(std::move(entry));
  while (session.messages.size() > kMessageLogCapacity) session.messages.pop_front();
}

std::uint32_t clockSeed() {
  const std::uint64_t nanos = platform::monotonicNanos();
  return static_cast<std::uint32_t>(nanos >> 32) ^ static_cast<std::uint32_t>(nanos);
}

void setGameMode(GameSession& session, GameMode mode) {
  PlayerBody& player = session.player;
  const GameMode current = gameMode(session);
  if (mode == current) {
    addMessage(session, formatTranslated("Already in %s mode", tr(gameModeName(mode))));
    return;
  }
  if (mode == ModeSpectator) {
    session.spectatorReturn = {player.x, player.y, player.z};
    session.modeBeforeSpectator = current;
    session.flyingBeforeSpectator = player.flying;
    player.mode = mode;
    player.flying = false;
  } else {
    bool flying = player.flying;
    if (current == ModeSpectator) {
      player.x = session.spectatorReturn.x;
      player.y = session.spectatorReturn.y;
      player.z = session.spectatorReturn.z;
      flying = session.flyingBeforeSpectator;
    }
    player.mode = mode;
    player.flying = flying && mode == ModeCreative;
  }
  player.vx = 0.0f;
  player.vz = 0.0f;
  player.fallDistance = 0.0f;
  if (mode == ModeSurvival && player.health <= 0) player.health = 1;
  addMessage(session, formatTranslated("Game mode: %s", tr(gameModeName(mode))));
}

void hurtPlayer(GameSession& session, int amount) {
  PlayerBody& player = session.player;
  if (gameMode(session) != ModeSurvival || amount <= 0 || player.health <= 0) return;
  player.hurtTimer = 0.5f;
  session.regenTimer = 0.0f;
  player.health = std::max(0, player.health - amount);
  playSound(SoundHurt);
}

void wearHeldTool(GameSession& session) {
  ItemStack& slot = session.inventory.slots[static_cast<std::size_t>(session.inventory.selected)];
  if (slot.count <= 0 || !itemRegistry().isItem(slot.id)) return;
  const std::int32_t maximum = itemRegistry().getItem(slot.id).durability;
  if (maximum == 0) return;
  const std::int32_t remaining = slot.durability == 0 ? maximum : slot.durability;
  slot.durability = remaining - 1;
  if (remaining == 1) {
    slot = {};
    addMessage(session, tr("Your tool broke"));
  }
}

std::uint16_t heldItem(const GameSession& session) {
  const ItemStack& slot = session.inventory.selectedStack();
  return slot.count > 0 ? slot.id : 0;
}

int heldAttackDamage(const GameSession& session) {
  const ItemStack& slot = session.inventory.selectedStack();
  if (slot.count <= 0 || !itemRegistry().isItem(slot.id)) return 1;
  return std::max(1, itemRegistry().getItem(slot.id).damage);
}

void assignEntityIds(GameSession& session) {
  for (Mob& mob : session.mobs) {
    if (mob.id == 0) mob.id = session.nextEntityId++;
  }
  for (Drop& drop : session.drops) {
    if (drop.entityId == 0) drop.entityId = session.nextEntityId++;
  }
}

void setAppState(GameSession& session, AppState state) {
  if (state == session.appState) return;
  // Leaving Playing with the inventory open must not lose the stacks it held.
  if (session.inventoryOpen) returnHeldStacks(session);
  session.appState = state;
  session.inventoryOpen = false;
  session.mouseTracking = false;
  session.cursorCaptured = state == AppPlaying;
  session.particles.clear();
}

void openInventory(GameSession& session, int tab) {
  session.inventoryTab = tab;
  session.inventoryOpen = true;
  session.mouseTracking = false;
  session.cursorCaptured = false;
}

void closeInventory(GameSession& session) {
  returnHeldStacks(session);
  session.inventoryTab = 0;
  session.inventoryOpen = false;
  session.mouseTracking = false;
  session.cursorCaptured = session.appState == AppPlaying && !session.chatOpen;
}

float daylightFactor(float timeOfDay) {
  const float wave = std::sin(2.0f * std::numbers::pi_v<float> * timeOfDay) * 0.5f + 0.5f;
  return std::clamp(wave * 0.82f + 0.18f, 0.18f, 1.0f);
}

Vec3 sunDirection(float timeOfDay) {
  const float angle = 2.0f * std::numbers::pi_v<float> * timeOfDay;
  float x = std::cos(angle), y = std::sin(angle);
  if (y < 0.08f) {
    x = -x;
    y = -y;
  }
  const float length = std::sqrt(x * x + y * y + 0.35f * 0.35f);
  return {x / length, y / length, 0.35f / length};
}

std::string inGameClock(float timeOfDay) {
  double hoursOfDay = std::fmod(24.0 * static_cast<double>(timeOfDay) + 6.0, 24.0);
  if (hoursOfDay < 0.0) hoursOfDay += 24.0;
  const double whole = std::floor(hoursOfDay);
  const int minutes = std::min(59, static_cast<int>(std::floor((hoursOfDay - whole) * 60.0)));
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(whole), minutes);
  return text;
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
  session.menuStatus.clear();
  replaceWorld(session, seed, name);
  World& world = *session.world;

  resetPlayer(session.player);
  session.spawnPoint = findSpawnPoint(world);
  PlayerBody& player = session.player;
  player.x = session.spawnPoint.x;
  player.y = session.spawnPoint.y;
  player.z = session.spawnPoint.z;
  ensureColumnsAround(world, floorInt(player.x), floorInt(player.z), kCreateRadius);

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
      sitesWithin(world, floorInt(session.spawnPoint.x), floorInt(session.spawnPoint.z), kVillagerRadius).size();
  if (villages > 0) addMessage(session, formatTranslated("%d village(s) nearby", static_cast<int>(villages)));
}

namespace {

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

}  // namespace

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
  ensureColumnsAround(world, floorInt(player.x), floorInt(player.z), kLoadRadius);
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
  session.remotePlayers.clear();

  if (session.renderer) session.renderer->clearChunkMeshes();
  session.streamer.reset();
  session.world.reset();

  session.mobs.clear();
  session.drops.clear();
  session.particles.clear();
  session.inventoryOpen = false;
  session.cursorStack = {};
  session.craftingGrid = {};
  session.menuStatus = saveFailed ? failure : std::string();  // the menu shows what went wrong
  session.deleteConfirmOpen = false;
  session.menuScreen = MenuMain;
  refreshWorldList(session);
  setAppState(session, AppMenu);
}

void refreshWorldList(GameSession& session) {
  session.worldList = listWorlds();
  const int count = static_cast<int>(session.worldList.size());
  if (count == 0) {
    session.selectedWorld = -1;
  } else if (session.selectedWorld < 0 || session.selectedWorld >= count) {
    session.selectedWorld = 0;
  }
}

std::optional<NearestVillage> nearestVillage(GameSession& session, Vec3 position) {
  if (!session.world) return std::nullopt;
  std::optional<NearestVillage> nearest;
  for (const VillageSite& site :
       sitesWithin(*session.world, floorInt(position.x), floorInt(position.z), kNearestVillageRange)) {
    const float dx = static_cast<float>(site.x) + 0.5f - position.x;
    const float dz = static_cast<float>(site.z) + 0.5f - position.z;
    const float distance = std::sqrt(dx * dx + dz * dz);
    if (!nearest || distance < nearest->distance) nearest = NearestVillage{site, distance};
  }
  return nearest;
}

std::string villageDisplayName(const GameSession& session, const VillageSite& site) {
  return villageName(site, static_cast<std::int32_t>(session.seed), language() == LanguageChinese);
}

namespace {

std::uint32_t packColour(float r, float g, float b) {
  const auto channel = [](float value) { return static_cast<std::uint32_t>(std::clamp(value, 0.0f, 255.0f)); };
  return channel(r) | channel(g) << 8 | channel(b) << 16 | 0xFF000000u;
}

std::uint32_t minimapColour(World& world, int x, int z) {
  const int h = surfaceHeight(world, x, z);
  if (h < 30) {
    const float d = static_cast<float>(std::clamp(30 - h, 0, 12));
    return packColour(42.0f + 2.0f * d, 82.0f + 2.0f * d, 145.0f + 3.0f * d);
  }
  float r = 92.0f, g = 150.0f, b = 70.0f;
  if (h <= 32) {
    r = 205.0f, g = 190.0f, b = 140.0f;
  } else {
    switch (surfaceBiome(world, x, z)) {
      case BiomeForest: r = 68.0f, g = 118.0f, b = 54.0f; break;
      case BiomeDesert: r = 210.0f, g = 192.0f, b = 136.0f; break;
      case BiomeSnow: r = 228.0f, g = 236.0f, b = 244.0f; break;
      default: break;
    }
  }
  const float shade = std::clamp(static_cast<float>(h) / 72.0f, 0.0f, 1.0f) * 0.34f + 0.76f;
  return packColour(r * shade, g * shade, b * shade);
}

constexpr std::size_t kMinimapCacheLimit = 1 << 16;

}  // namespace

void updateMinimap(GameSession& session) {
  if (!session.world) return;
  MinimapGrid& grid = session.minimap;
  grid.originX = floorInt(session.player.x) - 64;
  grid.originZ = floorInt(session.player.z) - 64;
  auto& cache = session.minimapColourCache;
  if (cache.seed != session.world->seed || cache.colours.size() > kMinimapCacheLimit) {
    cache.colours.clear();
    cache.seed = session.world->seed;
  }
  for (int i = 0; i < kMinimapSize; ++i) {
    for (int j = 0; j < kMinimapSize; ++j) {
      const int x = grid.originX + 2 * j, z = grid.originZ + 2 * i;
      const auto [entry, added] = cache.colours.try_emplace(packColumn(x, z), 0u);
      if (added) entry->second = minimapColour(*session.world, x, z);
      grid.colours[static_cast<std::size_t>(i * kMinimapSize + j)] = entry->second;
    }
  }
  grid.filled = true;
}

void remeshChanged(GameSession& session) {
  if (!session.world) return;
  if (session.renderer) {
    session.streamer.remeshChanged(*session.world, *session.renderer);
  } else {
    session.world->remeshSet.clear();
  }
}

// ---------------------------------------------------------------------------------------
// The in-world step, mouse actions and breaking.

namespace {

constexpr float kDayLength = 180.0f;
constexpr float kLavaInterval = 0.6f;
constexpr int kLavaDamage = 2;
constexpr float kRegenDelay = 8.0f;
constexpr float kRegenInterval = 3.0f;
constexpr float kStepLength = 2.4f;
constexpr float kMinimapInterval = 0.45f;
constexpr float kVillageCheckInterval = 0.5f;
constexpr int kVillageCheckRange = 24;
constexpr double kModTickInterval = 0.05;
constexpr double kAutosaveInterval = 5.0;
constexpr int kChunkJobsPerStep = 6;
constexpr float kVoidDepth = -64.0f;
constexpr float kMobReach = 4.5f;
constexpr float kMobHalfSize = 0.4f;
constexpr float kAttackCooldown = 0.45f;
constexpr float kMobHitCooldown = 1.2f;
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

Vec3 playerEye(const GameSession& session) { return {session.player.x, session.player.y, session.player.z}; }

bool inSurvival(const GameSession& session) { return gameMode(session) == ModeSurvival; }
bool isClient(const GameSession& session) { return session.networkRole == RoleClient; }

MoveInput movementInput(const GameSession& session, const MovementKeys& keys) {
  const PlayerBody& player = session.player;
  const bool spectator = gameMode(session) == ModeSpectator;
  const Vec3 ahead = player.flying ? lookDirection(player.yaw, player.pitch) : forward(player.yaw);
  const Vec3 side = right(player.yaw);
  MoveInput input;
  const auto add = [&](const Vec3& v, float sign) {
    input.dx += v.x * sign;
    input.dy += v.y * sign;
    input.dz += v.z * sign;
  };
  if (keys.forward) add(ahead, 1.0f);
  if (keys.back) add(ahead, -1.0f);
  if (keys.left) add(side, -1.0f);
  if (keys.right) add(side, 1.0f);
  if (player.flying || spectator) {
    if (keys.jump) input.dy += 1.0f;
    if (keys.descend) input.dy -= 1.0f;
  }
  input.jump = keys.jump && !player.flying && !spectator;
  input.sprint = keys.sprint;
  return input;
}

void applyLava(GameSession& session, float dt) {
  const PlayerBody& player = session.player;
  const BlockId feet =
      getBlock(*session.world, floorInt(player.x), floorInt(player.y - 0.9f), floorInt(player.z));
  if (feet != blocks::Lava || !inSurvival(session)) {
    session.lavaTimer = 0.0f;
    return;
  }
  session.lavaTimer += dt;
  if (session.lavaTimer > kLavaInterval) {
    hurtPlayer(session, kLavaDamage);
    session.lavaTimer = 0.0f;
  }
}

void regenerate(GameSession& session, float dt) {
  session.regenTimer += dt;
  PlayerBody& player = session.player;
  if (!inSurvival(session) || player.health < 1 || player.health > 19 || session.regenTimer <= kRegenDelay) return;
  session.regenStepTimer += dt;
  if (session.regenStepTimer > kRegenInterval) {
    player.health += 1;
    session.regenStepTimer = 0.0f;
  }
}

void easeFieldOfView(GameSession& session, float dt, const MoveInput& input, bool sprint) {
  const float length = std::sqrt(input.dx * input.dx + input.dy * input.dy + input.dz * input.dz);
  const float setting = session.settings.fieldOfView;
  const float target = sprint && length > 0.001f ? setting + 6.0f : setting;
  session.fovCurrent += (target - session.fovCurrent) * std::min(8.0f * dt, 1.0f);
  session.fovCurrent = std::clamp(session.fovCurrent, 50.0f, 110.0f);
}

void countFootsteps(GameSession& session, float dt) {
  const PlayerBody& player = session.player;
  const float speed = std::sqrt(player.vx * player.vx + player.vz * player.vz);
  if (player.flying || gameMode(session) == ModeSpectator || !player.onGround || speed <= 0.5f) {
    session.stepDistance = 0.0f;
    return;
  }
  session.stepDistance += dt * speed;
  if (session.stepDistance > kStepLength) {
    playSound(SoundStep);
    session.stepDistance = 0.0f;
  }
}

bool sameCentre(const VillageSite& a, const VillageSite& b) { return a.x == b.x && a.z == b.z; }

void trackVillages(GameSession& session, float dt) {
  session.villageTimer += dt;
  if (session.villageTimer <= kVillageCheckInterval) return;
  session.villageTimer = 0.0f;
  const float x = session.player.x, z = session.player.z;
  std::optional<VillageSite> inside;
  for (const VillageSite& site : sitesWithin(*session.world, floorInt(x), floorInt(z), kVillageCheckRange)) {
    const float dx = static_cast<float>(site.x) + 0.5f - x, dz = static_cast<float>(site.z) + 0.5f - z;
    if (static_cast<float>(site.radius * site.radius) >= dx * dx + dz * dz) {
      inside = site;
      break;
    }
  }
  const bool wasInside = session.currentVillage != -1;
  if (wasInside && (!inside || !sameCentre(*inside, session.currentVillageSite))) {
    addMessage(session, formatTranslated("Leaving %s", villageDisplayName(session, session.currentVillageSite).c_str()));
  }
  if (inside && (!wasInside || !sameCentre(*inside, session.currentVillageSite))) {
    addMessage(session, formatTranslated("Entered %s", villageDisplayName(session, *inside).c_str()));
  }
  if (inside) {
    session.currentVillage = 0;
    session.currentVillageSite = *inside;
  } else {
    session.currentVillage = -1;
  }
}

}  // namespace

void changeWeather(GameSession& session, float dt) {
  session.weatherTimer -= dt;
  if (session.weatherTimer > 0.0f) return;
  const std::uint32_t seed = clockSeed();
  session.weatherTimer = static_cast<float>(seed % 120 + 70);
  const std::uint32_t draw = seed % 100;
  const Weather next = draw < 55 ? WeatherClear : draw < 85 ? WeatherRain : WeatherSnow;
  if (next == session.weather) return;
  session.weather = next;
  addMessage(session, tr(weatherChangeText(next)));
}

std::vector<PlayerTarget> mobTargets(const GameSession& session) {
  std::vector<PlayerTarget> players;
  const PlayerBody& player = session.player;
  if (session.hasLocalPlayer) players.push_back({player.x, player.y, player.z, player.mode});
  for (const RemotePlayer& remote : session.remotePlayers) {
    if (remote.known) players.push_back({remote.x, remote.y, remote.z, remote.mode});
  }
  return players;
}

namespace {

float wrapAngle(float angle) {
  constexpr float pi = std::numbers::pi_v<float>;
  angle = std::fmod(angle + pi, 2.0f * pi);
  if (angle < 0.0f) angle += 2.0f * pi;
  return angle - pi;
}

// A client shows what the host simulates: drops only age and spin, mobs turn smoothly.
void animateReceivedEntities(GameSession& session, float dt) {
  for (Drop& drop : session.drops) {
    drop.age += dt;
    drop.bobPhase += 2.2f * dt;
  }
  const float blend = std::min(12.0f * dt, 1.0f);
  for (Mob& mob : session.mobs) mob.displayedYaw += wrapAngle(mob.targetYaw - mob.displayedYaw) * blend;
}

void simulateEntities(GameSession& session, float dt) {
  updateMobs(*session.world, session.mobs, dt, mobTargets(session));
  updateDrops(*session.world, session.drops, playerEye(session), session.inventory,
              gameMode(session) != ModeSpectator, dt);
}

void moveParticles(GameSession& session, float dt) {
  for (Particle& particle : session.particles) {
    particle.vy -= 20.0f * dt;
    particle.x += particle.vx * dt;
    particle.y += particle.vy * dt;
    particle.z += particle.vz * dt;
    particle.life -= dt;
  }
  std::erase_if(session.particles, [](const Particle& particle) { return particle.life <= 0.0f; });
}

}  // namespace

void burnAndSpawnZombies(GameSession& session, float dt) {
  World& world = *session.world;
  const float daylight = daylightFactor(session.timeOfDay);
  session.burnTimer = std::max(0.0f, session.burnTimer - dt);
  if (daylight > 0.7f && session.burnTimer == 0.0f) {
    bool burned = false;
    for (Mob& mob : session.mobs) {
      if (mob.kind != MobZombie || skyLight(world, floorInt(mob.x), floorInt(mob.y), floorInt(mob.z)) <= 13) continue;
      mob.health -= 1;
      mob.hurtTimer = 0.25f;
      burned = true;
    }
    std::erase_if(session.mobs, [](const Mob& mob) { return mob.kind == MobZombie && mob.health <= 0; });
    if (burned) session.burnTimer = 1.0f;
  }
  session.spawnTimer -= dt;
  if (daylight < 0.35f && session.spawnTimer <= 0.0f) {
    session.spawnTimer = 7.0f;
    // Around the local player; a dedicated server has none and spawns around each client.
    for (const PlayerTarget& target : mobTargets(session)) {
      const auto zombies =
          std::count_if(session.mobs.begin(), session.mobs.end(), [](const Mob& mob) { return mob.kind == MobZombie; });
      if (zombies > 5) break;
      const std::vector<Mob> spawned = spawnZombies(world, clockSeed(), 2, {target.x, target.y, target.z});
      session.mobs.insert(session.mobs.end(), spawned.begin(), spawned.end());
      assignEntityIds(session);
      if (session.hasLocalPlayer) break;
    }
  }
}

namespace {

void mobsHitPlayer(GameSession& session, float dt) {
  if (!inSurvival(session)) {
    session.mobHitCooldown = 0.0f;
    return;
  }
  session.mobHitCooldown = std::max(0.0f, session.mobHitCooldown - dt);
  if (session.mobHitCooldown > 0.0f) return;
  PlayerBody& player = session.player;
  for (const Mob& mob : session.mobs) {
    if (mob.kind != MobSlime && mob.kind != MobZombie) continue;
    if (mob.hurtTimer > 0.0f) continue;
    const float dx = player.x - mob.x, dz = player.z - mob.z;
    if (std::sqrt(dx * dx + dz * dz) >= 1.35f || std::abs(player.y - mob.y) >= 1.9f) continue;
    hurtPlayer(session, mob.kind == MobZombie ? 3 : 1);
    const float ux = dx + 0.001f, uy = player.y - mob.y + 0.001f, uz = dz + 0.001f;
    const float length = std::sqrt(ux * ux + uy * uy + uz * uz);
    player.vx += ux / length * 5.0f;
    player.vz += uz / length * 5.0f;
    player.vy = 3.0f;  // replaces the vertical part of the push
    session.mobHitCooldown = kMobHitCooldown;
    return;
  }
}

void smoothRemotePlayers(GameSession& session, float dt) {
  const float blend = std::min(14.0f * dt, 1.0f);
  for (RemotePlayer& remote : session.remotePlayers) {
    remote.shownX += (remote.x - remote.shownX) * blend;
    remote.shownY += (remote.y - remote.shownY) * blend;
    remote.shownZ += (remote.z - remote.shownZ) * blend;
  }
}

}  // namespace

void advanceClock(GameSession& session, float dt) {
  session.timeOfDay += dt / kDayLength;
  if (session.timeOfDay >= 1.0f) session.timeOfDay -= 1.0f;
}

void runHostWorldRules(GameSession& session, float dt) {
  if (!session.world) return;
  changeWeather(session, dt);
  fluidStep(*session.world, dt);
  session.modTickTimer += dt;
  if (session.modTickTimer >= kModTickInterval) {
    tick(session.mods, session.modTickTimer);
    session.modTickTimer = 0.0f;
  }
}

void autosaveAndRunChunkJobs(GameSession& session, float dt) {
  if (!session.world) return;
  session.autosaveTimer += dt;
  if (const auto autosaved = finishBackgroundFlush(*session.world, false)) {
    // Said once when saving starts to fail, not at every autosave after it.
    const bool failed = !autosaved->regionsWritten || !autosaved->levelWritten;
    if (failed && !session.saveFailing) addMessage(session, formatTranslated("Could not save %s", session.worldName.c_str()));
    session.saveFailing = failed;
  }
  // A slow disk may still be writing the previous autosave: the step never waits for it,
  // the next step tries again.
  if (session.autosaveTimer >= kAutosaveInterval && !backgroundFlushRunning(*session.world)) {
    session.autosaveTimer = 0.0;
    saveWorldInBackground(session);
  }
  processRelightQueue(*session.world, kChunkJobsPerStep);
  remeshChanged(session);
}

void stepWorld(GameSession& session, float dt, const MovementKeys& keys) {
  if (!session.world) return;
  World& world = *session.world;
  PlayerBody& player = session.player;
  const bool client = isClient(session);

  if (keys.hotbarKey >= 0 && keys.hotbarKey < kHotbarSlots) session.inventory.select(keys.hotbarKey);

  const MoveInput input = movementInput(session, keys);
  player.lookSensitivity = session.settings.mouseSensitivity;
  ensureColumnsAround(world, floorInt(player.x), floorInt(player.z), 1);
  const int fallDamage = step(player, world, dt, input);
  if (fallDamage > 0) hurtPlayer(session, fallDamage);

  if (player.y < kVoidDepth) {
    player.x = session.spawnPoint.x;
    player.y = session.spawnPoint.y;
    player.z = session.spawnPoint.z;
    player.vx = 0.0f;
    player.vz = 0.0f;
  }

  applyLava(session, dt);
  regenerate(session, dt);
  easeFieldOfView(session, dt, input, keys.sprint);
  countFootsteps(session, dt);

  if (!client) advanceClock(session, dt);

  session.minimapTimer += dt;
  if (session.minimapTimer > kMinimapInterval) {
    updateMinimap(session);
    session.minimapTimer = 0.0f;
  }

  trackVillages(session, dt);

  if (!client) runHostWorldRules(session, dt);
  autosaveAndRunChunkJobs(session, dt);

  if (client) {
    animateReceivedEntities(session, dt);
  } else {
    simulateEntities(session, dt);
  }

  moveParticles(session, dt);
  if (!client) burnAndSpawnZombies(session, dt);
  mobsHitPlayer(session, dt);

  if (player.health < 1 && session.appState == AppPlaying) {
    setAppState(session, AppDead);
    addMessage(session, tr("You died"));
  }

  smoothRemotePlayers(session, dt);

  if (session.renderer) session.streamer.update(world, *session.renderer, playerEye(session));
}

bool allowBlockChange(GameSession& session, int x, int y, int z, BlockId block, bool isPlace) {
  if (session.networkRole == RoleClient || session.mods.mods.empty()) return true;
  const std::string& name = blockRegistry().get(block).id;
  const std::string player = effectivePlayerName(session.profile);
  return isPlace ? blockPlace(session.mods, x, y, z, name, player, session.localPlayerId)
                 : blockBreak(session.mods, x, y, z, name, player, session.localPlayerId);
}

namespace {

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
    playSound(SoundHurt);
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
  playSound(SoundHurt);
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
      const Vec3 centre{static_cast<float>(target.x) + 0.5f, static_cast<float>(target.y) + 0.5f,
                        static_cast<float>(target.z) + 0.5f};
      spawnDrop(session.drops, centre, def.drop, 1, 0);
      assignEntityIds(session);
    }
    wearHeldTool(session);
    playSound(SoundBreak);
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
  playSound(SoundPlace);
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
  playSound(SoundPlace);
  if (inSurvival(session)) session.inventory.consumeSelected(1);
}

}  // namespace

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
      playSound(SoundBreak);
    }
  }
  if (!buttons.leftDown || !target.hit || mob >= 0) forgetMiningCell(session);

  if (!buttons.rightPressed) return;
  if (mob >= 0 && session.mobs[static_cast<std::size_t>(mob)].kind == MobVillager) {
    trade(session);
  } else if (target.hit && inSurvival(session) &&
             getBlock(*session.world, target.x, target.y, target.z) == blocks::CraftingTable) {
    openInventory(session, 3);
    playSound(SoundPlace);
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

  if (y >= kMaxY || getBlock(world, x, y + 1, z) != blocks::Torch) return;
  setBlock(world, x, y + 1, z, kAir);
  remeshChanged(session);
  if (isClient(session)) {
    requestEdit(session.net, {x, y + 1, z, kAir, ModeSurvival, 0});
  } else if (inSurvival(session)) {
    spawnDrop(session.drops, {static_cast<float>(x) + 0.5f, static_cast<float>(y) + 1.5f, static_cast<float>(z) + 0.5f},
              blocks::Torch, 1, 0);
    assignEntityIds(session);
  }
}

}  // namespace zorv
