#include "app/game_session.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "app/game_mod_context.h"
#include "persist/level_save.h"
#include "platform/platform.h"
#include "sound/sound_effects.h"
#include "ui/localisation.h"
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
// handed to the renderer in one go.
void prepareWorldArea(GameSession& session, Vec3 centre) {
  World& world = *session.world;
  setCaptureEnabled(world, session.networkRole == RoleHost);
  setFluidsEnabled(world, session.networkRole != RoleClient);
  if (session.renderer) session.renderer->clearChunkMeshes();
  session.streamer.reset();
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
  if (!session.world || session.worldName.empty() || session.networkRole == RoleClient) return false;
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
  const bool written = writeLevel(session.worldName, save);
  flush(*session.world);
  return written;
}

void stopNetworking(GameSession& session) {
  if (session.net.active) shutdown(session.net);
  session.networkRole = RoleOffline;
}

void leaveWorld(GameSession& session) {
  if (session.networkRole == RoleHost && session.world && !session.worldName.empty()) saveWorld(session);
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
  session.menuStatus.clear();
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

}  // namespace

void updateMinimap(GameSession& session) {
  if (!session.world) return;
  MinimapGrid& grid = session.minimap;
  grid.originX = floorInt(session.player.x) - 64;
  grid.originZ = floorInt(session.player.z) - 64;
  for (int i = 0; i < kMinimapSize; ++i) {
    for (int j = 0; j < kMinimapSize; ++j) {
      grid.colours[static_cast<std::size_t>(i * kMinimapSize + j)] =
          minimapColour(*session.world, grid.originX + 2 * j, grid.originZ + 2 * i);
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

}  // namespace zorv
