#pragma once
// The game session: the one object that holds a played world together with everything
// around it (player, mobs, drops, particles, inventory, clock, weather, messages,
// settings, network endpoint, mod host), and the rules applied to it every frame.
//
// The session never sees a window: the main loop reads the keyboard and mouse into the
// input records below and applies `cursorCaptured` to the real cursor. The renderer is
// reached only through the `Renderer` interface, and may be absent (tests, the dedicated
// server), in which case every mesh hand-over is skipped.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/settings.h"
#include "mods/loader.h"
#include "net/session.h"
#include "render/renderer.h"
#include "world/inventory.h"
#include "world/mobs.h"
#include "world/physics.h"
#include "world/streamer.h"
#include "world/vec.h"
#include "world/villages.h"
#include "world/world.h"

namespace zorv {

enum AppState : std::uint8_t { AppMenu = 0, AppPlaying = 1, AppPaused = 2, AppDead = 3 };
enum MenuScreen : std::uint8_t { MenuMain = 0, MenuWorlds = 1, MenuMultiplayer = 2, MenuConnecting = 3 };
enum GameMode : std::uint8_t { ModeCreative = 0, ModeSurvival = 1, ModeSpectator = 2 };
enum Weather : std::uint8_t { WeatherClear = 0, WeatherRain = 1, WeatherSnow = 2 };
enum NetRole : std::uint8_t { RoleOffline = 0, RoleHost = 1, RoleClient = 2 };

// Codes the user-interface builders return to the main loop.
enum MenuAction : std::uint8_t {
  MenuNone = 0, MenuCreateAndPlay = 1, MenuPlaySelected = 2, MenuDeleteSelected = 3, MenuHostSelected = 4,
  MenuHostNew = 5, MenuJoinServer = 6, MenuCancelConnecting = 7, MenuQuit = 8
};
enum PauseAction : std::uint8_t { PauseNone = 0, PauseResume = 1, PauseSave = 2, PauseToMenu = 3, PauseQuit = 4 };
enum DeathAction : std::uint8_t { DeathNone = 0, DeathRespawn = 1, DeathQuitToMenu = 2 };

inline constexpr std::size_t kMessageLogCapacity = 40;
inline constexpr std::size_t kMaxMessageBytes = 511;
inline constexpr std::size_t kMaxChatBytes = 200;
inline constexpr int kMinimapSize = 64;
inline constexpr int kNoMiningCell = -100000;

// The block a Creative player places from an empty hotbar slot.
inline constexpr std::array<BlockId, 9> kCreativePalette = {1, 2, 3, 11, 4, 5, 10, 18, 19};

struct LogEntry {
  std::string text;
  double time = 0.0;  // session clock when added
};

struct RemotePlayer {
  std::int32_t id = 0;
  std::string name;
  float x = 0.0f, y = 0.0f, z = 0.0f;               // last received (y is eye height)
  float shownX = 0.0f, shownY = 0.0f, shownZ = 0.0f;  // smoothed towards the received position
  float yaw = 0.0f, pitch = 0.0f;                   // radians, as received
  std::uint8_t mode = 0;
  std::int32_t health = 20;
  bool flying = false;
  bool known = false;  // a state has been received
};

struct MinimapGrid {
  std::array<std::uint32_t, kMinimapSize * kMinimapSize> colours{};  // red in the low byte
  int originX = 0, originZ = 0;
  bool filled = false;
};

// Timers of the periodic network sends.
struct NetSendTimers {
  float playerState = 0.0f;
  float snapshots = 0.0f;
  float clock = 0.0f;
  float pickup = 0.2f;
};

// Keys the in-world step reads, sampled by the main loop each frame.
struct MovementKeys {
  bool forward = false, back = false, left = false, right = false;
  bool jump = false;     // Space held
  bool descend = false;  // Left Shift held
  bool sprint = false;   // Left Ctrl held
  int hotbarKey = -1;    // 0..8 while one of the keys 1 to 9 is down, else -1
};

// Mouse buttons for the in-world actions: held state and this frame's presses.
struct MouseButtons {
  bool leftDown = false;
  bool leftPressed = false;
  bool rightPressed = false;
};

class GameModContext;

struct GameSession {
  GameSession();
  ~GameSession();
  GameSession(const GameSession&) = delete;
  GameSession& operator=(const GameSession&) = delete;

  // Application state, driven by the main loop.
  AppState appState = AppMenu;
  MenuScreen menuScreen = MenuMain;
  bool chatOpen = false;
  bool chatForTalk = false;
  std::string chatText;
  std::vector<std::string> chatHistory;  // oldest first, at most 30
  int historyIndex = -1;
  bool inventoryOpen = false;
  bool mouseTracking = false;
  bool cursorCaptured = false;  // what the main loop applies to the window's cursor
  bool screenshotRequested = false;
  std::string menuStatus;
  bool deleteConfirmOpen = false;
  std::vector<std::string> worldList;
  int selectedWorld = -1;
  bool quitRequested = false;  // the main loop asks the window to close

  // The local player (eye position, velocity, view, mode, health, fall, hurt timer).
  PlayerBody player;

  // The played world; absent in the menus and while connecting.
  std::unique_ptr<World> world;
  std::string worldName;  // save folder name; empty for a world received from a host
  std::uint32_t seed = 0;
  Vec3 spawnPoint{};
  float timeOfDay = 0.22f;
  Weather weather = WeatherClear;

  // Entities.
  std::vector<Mob> mobs;
  std::vector<Drop> drops;
  std::vector<Particle> particles;
  std::vector<RemotePlayer> remotePlayers;
  std::int32_t nextEntityId = 1;

  // Inventory: slots 0..8 are the hotbar.
  Inventory inventory;
  ItemStack cursorStack;
  CraftingGrid craftingGrid{};
  int inventoryTab = 0;  // 2 the personal 2 × 2 grid, 3 a crafting table

  // Timers (seconds).
  float regenTimer = 0.0f;
  float regenStepTimer = 0.0f;
  float lavaTimer = 0.0f;
  float stepDistance = 0.0f;
  float mobHitCooldown = 0.0f;
  float attackCooldown = 0.0f;
  int miningX = kNoMiningCell, miningY = kNoMiningCell, miningZ = kNoMiningCell;
  float miningProgress = 0.0f;
  double autosaveTimer = 0.0;
  bool saveFailing = false;  // the last autosave did not write every file
  float minimapTimer = 0.0f;
  float modTickTimer = 0.0f;
  float burnTimer = 0.0f;
  float spawnTimer = 0.0f;
  float weatherTimer = 75.0f;
  float villageTimer = 0.0f;

  // Village the player stands in.
  int currentVillage = -1;
  VillageSite currentVillageSite{};

  // Spectator memory.
  Vec3 spectatorReturn{};
  GameMode modeBeforeSpectator = ModeCreative;

  // Display.
  float fovCurrent = 70.0f;
  bool minimapOn = true;
  MinimapGrid minimap;
  bool debugOverlay = false;
  int monitorRefreshRate = 0;

  Settings settings;
  Profile profile;

  std::deque<LogEntry> messages;  // at most 40, oldest first

  // Network.
  NetSession net;
  NetRole networkRole = RoleOffline;
  std::int32_t localPlayerId = 0;
  std::string networkPlayerName = "Player";
  NetSendTimers sendTimers;

  // Mods.
  ModHost mods;
  std::unique_ptr<GameModContext> modContext;

  // Collaborators. `renderer` may be null; the streamer hands meshes to it when present.
  Renderer* renderer = nullptr;
  ChunkStreamer streamer;
  std::function<double()> clock;  // seconds; the window's clock in the game

  // Whether the player flew when Spectator was entered: Creative flight resumes on return.
  bool flyingBeforeSpectator = false;

  // False on a dedicated server: there is no local player to simulate, send or announce.
  bool hasLocalPlayer = true;

  // The cursor position of the last motion, meaningful while `mouseTracking` is set.
  double cursorX = 0.0, cursorY = 0.0;

  // Minimap colours of columns already sampled, keyed by packColumn(x, z), for the world
  // seed they were sampled with: a column's surface height and class depend only on the
  // seed and its position.
  struct MinimapColourCache {
    std::int32_t seed = 0;
    std::unordered_map<std::uint64_t, std::uint32_t> colours;
  } minimapColourCache;
};

GameMode gameMode(const GameSession& session);
const char* gameModeName(GameMode mode);   // untranslated
const char* weatherName(Weather weather);  // untranslated
// "The sky clears", "It starts to rain" or "It starts to snow" (untranslated).
const char* weatherChangeText(Weather weather);

// Appends an already translated and formatted line (cut at 511 bytes), drops the oldest
// beyond 40, and prints "[log] <text>" on standard output.
void addMessage(GameSession& session, const std::string& text);

// The monotonic clock in nanoseconds folded to 32 bits (high XOR low).
std::uint32_t clockSeed();

void setGameMode(GameSession& session, GameMode mode);
void hurtPlayer(GameSession& session, int amount);
void wearHeldTool(GameSession& session);
std::uint16_t heldItem(const GameSession& session);
int heldAttackDamage(const GameSession& session);
void assignEntityIds(GameSession& session);

// Stores the state, closes the inventory, forgets the cursor position, captures the
// cursor only while Playing and clears the particles; nothing when unchanged.
void setAppState(GameSession& session, AppState state);
void openInventory(GameSession& session, int tab);
void closeInventory(GameSession& session);

Vec3 findSpawnPoint(World& world);
void createWorld(GameSession& session, std::uint32_t seed, const std::string& name);
bool loadWorld(GameSession& session, const std::string& name);
bool saveWorld(GameSession& session);
// The autosave: the same state is written on another thread while the game goes on; the
// next step that finds it done applies it to the world.
void saveWorldInBackground(GameSession& session);
void leaveWorld(GameSession& session);
void refreshWorldList(GameSession& session);
void respawnPlayer(GameSession& session);
// Stops hosting or disconnects; the role becomes Offline.
void stopNetworking(GameSession& session);

struct NearestVillage {
  VillageSite site;
  float distance = 0.0f;
};
std::optional<NearestVillage> nearestVillage(GameSession& session, Vec3 position);
std::string villageDisplayName(const GameSession& session, const VillageSite& site);

bool allowBlockChange(GameSession& session, int x, int y, int z, BlockId block, bool isPlace);
void updateMinimap(GameSession& session);

// Daylight of the time of day without the weather factor, and the sun's direction.
float daylightFactor(float timeOfDay);
Vec3 sunDirection(float timeOfDay);
// The in-game clock "%02d:%02d" of a time of day.
std::string inGameClock(float timeOfDay);

// One in-world step while Playing with chat and inventory closed.
void stepWorld(GameSession& session, float dt, const MovementKeys& keys);

// Host rules of the step that need no local player (the dedicated server runs them too).
// The day clock (a day lasts 180 s).
void advanceClock(GameSession& session, float dt);
// Weather, the fluid step and the mods' tick.
void runHostWorldRules(GameSession& session, float dt);
// The periodic autosave, then the queued chunk jobs and the renderer's meshes.
void autosaveAndRunChunkJobs(GameSession& session, float dt);
// The weather timer and its random change.
void changeWeather(GameSession& session, float dt);
// Zombies burning by day and night spawns near the players.
void burnAndSpawnZombies(GameSession& session, float dt);
// The players mobs react to: the local one (unless there is none) and every remote
// player that has reported a position.
std::vector<PlayerTarget> mobTargets(const GameSession& session);
// Attack, mine, place, trade and open a crafting table with the look ray's target.
void mouseActions(GameSession& session, float dt, const PickResult& target, const MouseButtons& buttons);
// Breaks the block at a cell: particles, air, re-mesh, torch support.
void breakBlock(GameSession& session, int x, int y, int z);
// Hands re-meshed chunks to the renderer (when there is one).
void remeshChanged(GameSession& session);

}  // namespace zorv
