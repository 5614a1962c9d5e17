#include "checks/scenes.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <set>

#include "checks/scene_layout.h"
#include "checks/self_test.h"
#include "client/client_session.h"
#include "client/minimap.h"
#include "game/commands.h"
#include "game/world_life_cycle.h"
#include "render/vulkan_renderer.h"
#include "ui/hud.h"
#include "ui/menus.h"
#include "ui/session_frame.h"
#include "world/light.h"
#include "world/registry.h"
#include "world/terrain.h"

namespace zorv {
namespace {

constexpr int kSceneFrames = 3;
constexpr int kScenePreloadRadius = 8;
constexpr float kSceneFps = 60.0f;
constexpr int kVillageSearchRadius = 800;

enum class SceneUi { Menu, ViewOnly, InGame };

SceneUi uiOf(const std::string& name) {
  static const std::set<std::string> menus{"main", "worlds", "multiplayer"};
  static const std::set<std::string> viewOnly{"hero",  "landscape", "village", "cave",    "torch", "mob",   "pig",
                                              "villager", "shadow", "drops",   "players", "rain",  "zombie"};
  if (menus.count(name)) return SceneUi::Menu;
  if (viewOnly.count(name)) return SceneUi::ViewOnly;
  return SceneUi::InGame;
}

MenuScreen menuScreenOf(const std::string& name) {
  if (name == "worlds") return MenuWorlds;
  if (name == "multiplayer") return MenuMultiplayer;
  return MenuMain;
}

Vec3 cellCentre(int x, int y, int z) {
  return {static_cast<float>(x) + 0.5f, static_cast<float>(y), static_cast<float>(z) + 0.5f};
}

// Height of the top block of a column, with the column generated.
int groundAt(World& world, int x, int z) {
  ensureColumn(world, floorDiv(x, kChunkSize), floorDiv(z, kChunkSize));
  return surfaceHeight(world, x, z);
}

const Mob* firstMobOfKind(const std::vector<Mob>& mobs, std::uint8_t kind) {
  for (const Mob& mob : mobs)
    if (mob.kind == kind) return &mob;
  return mobs.empty() ? nullptr : &mobs.front();
}

std::optional<VillageSite> villageNearSpawn(ClientSession& session, int generatedChunks) {
  const std::optional<NearestVillage> nearest = nearestVillage(session, session.spawnPoint);
  if (!nearest || nearest->distance > static_cast<float>(kVillageSearchRadius)) return std::nullopt;
  ensureColumnsAround(*session.world, nearest->site.x, nearest->site.z, generatedChunks);
  return nearest->site;
}

// Runs queued relight jobs and hands every re-meshed chunk to the renderer.
void runChunkJobs(ClientSession& session, int jobs) {
  processRelightQueue(*session.world, jobs);
  remeshChanged(session);
}

// The camera of a scene before its extras; prints the cave search's line.
SceneCamera sceneCamera(ClientSession& session, const std::string& name) {
  World& world = *session.world;
  const Vec3 spawn = session.spawnPoint;
  const SceneCamera standard = defaultSceneCamera(spawn);
  if (name == "menu") return {{spawn.x, spawn.y + 22.0f, spawn.z + 55.0f}, {spawn.x, spawn.y - 4.0f, spawn.z - 10.0f}};
  if (name == "mob" || name == "pig" || name == "villager") {
    const std::uint8_t kind = name == "pig" ? MobPig : name == "villager" ? MobVillager : MobSlime;
    const Mob* mob = firstMobOfKind(session.mobs, kind);
    return mob ? creatureCloseUp(*mob) : standard;
  }
  if (name == "hero" || name == "rain" || name == "players") {
    if (const auto village = villageNearSpawn(session, 6)) return villageHero(*village);
    return {{spawn.x, spawn.y + 14.0f, spawn.z}, spawn};
  }
  if (name == "village" || name == "survival" || name == "inventory") {
    if (const auto village = villageNearSpawn(session, 3)) return villageOverview(*village);
    return standard;
  }
  if (name == "landscape") return findLandscapeLookout(world, spawn).value_or(standard);
  return standard;
}

// The cave search, reported on the console.
std::optional<CaveSpot> searchCave(ClientSession& session) {
  const std::optional<CaveSpot> spot = findCaveSpot(*session.world, session.spawnPoint);
  const CaveSpot shown = spot.value_or(CaveSpot{});
  std::printf("cave scene: found=%d spot=%d %d %d\n", spot ? 1 : 0, shown.x, shown.y, shown.z);
  std::fflush(stdout);
  return spot;
}

float sceneTimeOfDay(const std::string& name, float unchanged) {
  static const std::set<std::string> afternoon{"mob", "pig", "villager", "hero", "rain", "players", "landscape"};
  if (afternoon.count(name)) return 0.44f;
  if (name == "cave") return 0.5f;
  if (name == "torch" || name == "zombie") return 0.62f;
  if (name == "shadow") return 0.4f;
  return unchanged;
}

void placeStanding(ClientSession& session, const SceneCamera& camera, float ahead, float sideways, BlockId block,
                   int height) {
  const GroundCell cell = groundCellAhead(camera, ahead, sideways);
  const int ground = groundAt(*session.world, cell.x, cell.z);
  for (int level = 1; level <= height; ++level) setBlock(*session.world, cell.x, ground + level, cell.z, block);
}

float yawTowards(Vec3 from, Vec3 to) { return std::atan2(to.z - from.z, to.x - from.x); }

void addRemotePlayers(ClientSession& session, const SceneCamera& camera) {
  struct Visitor {
    std::int32_t id;
    const char* name;
    float sideways;
  };
  static constexpr Visitor kVisitors[] = {{7, "Ayla", -1.7f}, {8, "Bram", 1.7f}};
  for (const Visitor& visitor : kVisitors) {
    const GroundCell cell = groundCellAhead(camera, 7.5f, visitor.sideways);
    const int ground = groundAt(*session.world, cell.x, cell.z);
    RemotePlayer player;
    player.id = visitor.id;
    player.name = visitor.name;
    const Vec3 feet = cellCentre(cell.x, ground + 1, cell.z);
    player.x = player.shownX = feet.x;
    player.y = player.shownY = feet.y + kEyeHeight;
    player.z = player.shownZ = feet.z;
    player.yaw = yawTowards(feet, camera.eye);
    player.health = 20;
    player.known = true;
    session.remotePlayers.push_back(player);
  }
}

void addZombies(ClientSession& session, const SceneCamera& camera) {
  for (float sideways : {-1.6f, 0.0f, 1.6f}) {
    const GroundCell cell = groundCellAhead(camera, 4.5f, sideways);
    const int ground = groundAt(*session.world, cell.x, cell.z);
    Mob zombie;
    zombie.kind = MobZombie;
    zombie.health = 6;
    const Vec3 centre = cellCentre(cell.x, ground + 1, cell.z);
    zombie.x = zombie.homeX = centre.x;
    zombie.y = zombie.homeY = centre.y + 0.4f;  // the 0.8 box stands on the ground
    zombie.z = zombie.homeZ = centre.z;
    zombie.targetYaw = zombie.displayedYaw = yawTowards(centre, camera.eye);
    session.mobs.push_back(zombie);
  }
  assignEntityIds(session);
}

void addDrops(ClientSession& session, const SceneCamera& camera) {
  struct Placed {
    BlockId block;
    float sideways;
  };
  static constexpr Placed kDrops[] = {{blocks::Dirt, -0.85f}, {blocks::Bricks, 0.0f}, {blocks::Bookshelf, 0.85f}};
  float dx = camera.target.x - camera.eye.x, dz = camera.target.z - camera.eye.z;
  const float length = std::max(std::sqrt(dx * dx + dz * dz), 1e-6f);
  dx /= length;
  dz /= length;
  for (const Placed& placed : kDrops) {
    const GroundCell cell = groundCellAhead(camera, 3.0f, placed.sideways);
    const int ground = groundAt(*session.world, cell.x, cell.z);
    const Vec3 position{camera.eye.x + 3.0f * dx - placed.sideways * dz, static_cast<float>(ground + 1) + 1.15f,
                        camera.eye.z + 3.0f * dz + placed.sideways * dx};
    spawnDrop(session.drops, position, placed.block, 1, 0);
  }
  assignEntityIds(session);
}

void fillInventory(Inventory& inventory, std::initializer_list<std::pair<BlockId, int>> stacks) {
  inventory.clear();
  for (const auto& [block, count] : stacks) inventory.add(block, count, 0);
}

// The stone wall of the "fill" scene, built through the fill command; returns its centre.
Vec3 buildFillWall(ClientSession& session, const SceneCamera& camera) {
  const int x = floorToInt(camera.eye.x);
  const int z = floorToInt(camera.eye.z) - 8;
  const int ground = groundAt(*session.world, x, z);
  char command[128];
  std::snprintf(command, sizeof command, "/fill %d %d %d %d %d %d stone", x - 2, ground + 1, z, x + 2, ground + 4, z);
  runCommand(session, command);
  return {static_cast<float>(x) + 0.5f, static_cast<float>(ground) + 3.0f, static_cast<float>(z) + 0.5f};
}

// One block of the last registered type, 4 ahead and 1 below the eye; returns its centre.
Vec3 placeLastBlockType(ClientSession& session, const SceneCamera& camera) {
  const std::size_t count = blockRegistry().count();
  const GroundCell cell = groundCellAhead(camera, 4.0f, 0.0f);
  const int y = floorToInt(camera.eye.y) - 1;
  const std::string& id = blockRegistry().get(static_cast<BlockId>(count - 1)).id;
  char command[192];
  std::snprintf(command, sizeof command, "/fill %d %d %d %d %d %d %s", cell.x, y, cell.z, cell.x, y, cell.z, id.c_str());
  runCommand(session, command);
  return {static_cast<float>(cell.x) + 0.5f, static_cast<float>(y) + 0.5f, static_cast<float>(cell.z) + 0.5f};
}

// The extras of the table that change the world or the camera's target.
void applyExtras(ClientSession& session, SceneCamera& camera, const std::string& name, const std::optional<CaveSpot>& cave) {
  static const std::set<std::string> survivalScenes{"survival", "inventory", "dead", "torch", "zombie", "drops", "shadow"};
  if (survivalScenes.count(name)) setGameMode(session, ModeSurvival);
  World& world = *session.world;
  if (name == "cave" && cave) {
    setBlock(world, cave->x + 2, cave->y, cave->z, blocks::Torch);
    if (getBlock(world, cave->x + 5, cave->y, cave->z) == kAir) setBlock(world, cave->x + 5, cave->y, cave->z, blocks::Torch);
  } else if (name == "fill") {
    camera.target = buildFillWall(session, camera);
  } else if (name == "mod" && blockRegistry().count() > 15) {
    camera.target = placeLastBlockType(session, camera);
  } else if (name == "players") {
    addRemotePlayers(session, camera);
  } else if (name == "cmd") {
    session.chatOpen = true;
    session.chatText = "/help";
  } else if (name == "survival") {
    session.player.health = 13;
    fillInventory(session.inventory, {{blocks::Planks, 24}, {blocks::Cobblestone, 13}, {blocks::Wood, 8}, {blocks::Dirt, 5}});
    for (Mob& mob : session.mobs) {
      if (mob.kind != MobSlime) continue;
      mob.health = 1;
      break;
    }
  } else if (name == "inventory") {
    fillInventory(session.inventory, {{blocks::Planks, 37}, {blocks::Cobblestone, 21}, {blocks::Wood, 12},
                                      {blocks::Bookshelf, 3}, {blocks::Gravel, 9}, {blocks::Bricks, 16}, {blocks::Sand, 7}});
    session.inventory.slots[10] = ItemStack{blocks::Dirt, 43, 0};
    session.inventory.slots[14] = ItemStack{blocks::Leaves, 6, 0};
    session.inventory.selected = 1;
  } else if (name == "spectator") {
    setGameMode(session, ModeSpectator);
  } else if (name == "dead") {
    session.player.health = 0;
  } else if (name == "rain") {
    session.weather = WeatherRain;
  } else if (name == "torch") {
    for (float sideways : {-2.0f, 0.0f, 2.0f}) placeStanding(session, camera, 4.0f, sideways, blocks::Torch, 1);
  } else if (name == "zombie") {
    addZombies(session, camera);
    placeStanding(session, camera, 3.0f, 0.0f, blocks::Torch, 1);
  } else if (name == "drops") {
    addDrops(session, camera);
  } else if (name == "shadow") {
    const float offsets[3] = {-3.0f, 0.0f, 3.0f};
    const int heights[3] = {3, 5, 4};
    for (int i = 0; i < 3; ++i) placeStanding(session, camera, 7.0f, offsets[i], blocks::Cobblestone, heights[i]);
  }
}

int chunkJobsOf(const std::string& name) {
  if (name == "torch" || name == "zombie") return 4096;
  if (name == "cave" || name == "shadow") return 256;
  return 0;
}

// Stands the player at the eye looking at the target (pitch kept off the poles).
void placePlayer(ClientSession& session, const SceneCamera& camera) {
  const ViewAngles angles = anglesToward(camera);
  session.player.x = camera.eye.x;
  session.player.y = camera.eye.y;
  session.player.z = camera.eye.z;
  session.player.vx = session.player.vy = session.player.vz = 0.0f;
  session.player.yaw = angles.yaw;
  session.player.pitch = std::clamp(angles.pitch, -89.0f, 89.0f);
}

void buildWorldScene(ClientSession& session, VulkanRenderer& renderer, const std::string& name) {
  createWorld(session, static_cast<std::uint32_t>(kCheckSeed), kSceneWorld);
  session.timeOfDay = sceneTimeOfDay(name, session.timeOfDay);
  const bool isCave = name == "cave";
  const std::optional<CaveSpot> cave = isCave ? searchCave(session) : std::nullopt;
  SceneCamera camera = cave ? caveCamera(*cave) : sceneCamera(session, name);
  applyExtras(session, camera, name, cave);
  placePlayer(session, camera);
  setAppState(session, name == "menu" ? AppPaused : name == "dead" ? AppDead : AppPlaying);
  if (name == "inventory") openInventory(session, 2);
  if (isCave) session.streamer.setRenderDistance(6);
  session.streamer.preload(*session.world, renderer, camera.eye, isCave ? 6 : kScenePreloadRadius);
  if (const int jobs = chunkJobsOf(name)) runChunkJobs(session, jobs);
  remeshChanged(session);
  updateMinimap(session);
  if (name == "survival") {
    const FrameView view = playerView(session, kFixedFovRadians, 16.0f / 9.0f);
    if (view.target.hit) {
      session.miningX = view.target.x;
      session.miningY = view.target.y;
      session.miningZ = view.target.z;
      session.miningProgress = 0.55f;
    }
  }
}

void applySceneSky(VulkanRenderer& renderer, const ClientSession& session, const std::string& name) {
  SkyInputs sky = sessionSky(session);
  if (session.world) sky.fogDistance = name == "landscape" ? 200.0f : 128.0f;
  renderer.setEnvironment(sky.daylight, sky.fogDistance, sky.sunDirection);
  renderer.setEffects(session.settings.shadowsEnabled, session.settings.postProcessingEnabled);
}

void buildSceneUi(VulkanRenderer& renderer, ClientSession& session, const FrameView& view, SceneUi ui,
                  const std::string& name, int width, int height) {
  switch (ui) {
    case SceneUi::Menu:
      buildMainMenu(session);
      break;
    case SceneUi::ViewOnly:
      if (name == "players") drawNameTags(session, uiFrameInfo(renderer, session, view, kSceneFps, width, height));
      if (name == "rain") drawWeatherOverlay(session, uiFrameInfo(renderer, session, view, kSceneFps, width, height));
      break;
    case SceneUi::InGame: {
      UiFrameInfo info = uiFrameInfo(renderer, session, view, kSceneFps, width, height);
      info.forceDebug = name != "inventory";
      buildInGameUi(session, info);
      break;
    }
  }
}

}  // namespace

int runSceneCapture(ClientSession& session, VulkanRenderer& renderer, GLFWwindow* window,
                    const std::filesystem::path& output, const std::string& name) {
  const SceneUi ui = uiOf(name);
  if (ui == SceneUi::Menu) {
    session.appState = AppMenu;
    session.menuScreen = menuScreenOf(name);
  } else {
    buildWorldScene(session, renderer, name);
  }
  applySceneSky(renderer, session, name);
  int width = 0, height = 0;
  glfwGetFramebufferSize(window, &width, &height);
  const float aspect = height > 0 ? static_cast<float>(width) / static_cast<float>(height) : 16.0f / 9.0f;
  for (int frame = 0; frame < kSceneFrames; ++frame) {
    glfwPollEvents();
    const FrameView view = playerView(session, kFixedFovRadians, aspect);
    renderer.beginUiFrame();
    buildSceneUi(renderer, session, view, ui, name, width, height);
    drawSessionFrame(renderer, session, view, frame + 1 == kSceneFrames ? &output : nullptr);
  }
  return 0;
}

}  // namespace zorv
