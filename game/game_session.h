#pragma once
// The game session: the one object that holds a played world together with everything
// around it (player, mobs, drops, particles, inventory, clock, weather, messages,
// preferences, network endpoint, mod host), and the rules applied to it every frame.
//
// The session never sees a window: the main loop reads the keyboard and mouse into the
// input records below and applies `cursorCaptured` to the real cursor. Meshes leave only
// through the `SessionView` a player's program installs; without one (tests, the dedicated
// server) every mesh hand-over is skipped. Sounds leave as queued cues.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "game/player_preferences.h"
#include "game/sound_cues.h"
#include "game/session_view.h"
#include "mods/loader.h"
#include "net/session.h"
#include "world/inventory.h"
#include "world/mobs.h"
#include "world/physics.h"
#include "world/vec.h"
#include "world/villages.h"
#include "world/world.h"

namespace zorv {

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
inline constexpr int kNoMiningCell = -100000;
inline constexpr int kMaxHealth = 20;

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
  bool inventoryOpen = false;

  // The local player (eye position, velocity, view, mode, health, fall, hurt timer).
  PlayerBody player;
  // Set by a teleport: the player stays where they were put (no gravity, no movement)
  // until the columns around them exist, then is raised out of any blocks there.
  bool heldForTerrain = false;

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

  // The field of view eased towards the setting (sprinting widens it).
  float fovCurrent = 70.0f;

  PlayerPreferences preferences;

  std::deque<LogEntry> messages;  // at most 40, oldest first

  // Network.
  NetSession net;
  NetRole networkRole = RoleOffline;
  std::int32_t localPlayerId = 0;
  std::string networkPlayerName = kDefaultPlayerName;
  NetSendTimers sendTimers;

  // Mods.
  ModHost mods;
  std::unique_ptr<GameModContext> modContext;

  // What shows the world to a player; null without one (a server, most tests).
  SessionView* view = nullptr;
  std::function<double()> clock;  // seconds; the window's clock in the game

  // Sounds asked for since the last frame, oldest first (see queueSound).
  std::deque<SoundCue> soundCues;

  // Whether the player flew when Spectator was entered: Creative flight resumes on return.
  bool flyingBeforeSpectator = false;

  // False on a dedicated server: there is no local player to simulate, send or announce.
  bool hasLocalPlayer = true;
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

// The player's eye position.
Vec3 playerEye(const GameSession& session);
bool inSurvival(const GameSession& session);
bool isClient(const GameSession& session);
// The local player's name: the one the view holds, else kDefaultPlayerName.
std::string localPlayerName(const GameSession& session);
// Queues a sound for the player's program, dropping the oldest beyond kMaxQueuedSoundCues.
void queueSound(GameSession& session, SoundCue cue);

// Stores the state, closes the inventory, forgets the cursor position, captures the
// cursor only while Playing and clears the particles; nothing when unchanged.
void setAppState(GameSession& session, AppState state);
void openInventory(GameSession& session, int tab);
void closeInventory(GameSession& session);

struct NearestVillage {
  VillageSite site;
  float distance = 0.0f;
};
std::optional<NearestVillage> nearestVillage(GameSession& session, Vec3 position);
std::string villageDisplayName(const GameSession& session, const VillageSite& site);

// Hands re-meshed chunks to the view (when there is one); without one the set is emptied.
void remeshChanged(GameSession& session);

}  // namespace zorv
