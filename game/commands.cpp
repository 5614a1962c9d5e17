#include "game/commands.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "game/game_mod_context.h"
#include "game/game_session.h"
#include "game/player_rules.h"
#include "game/world_life_cycle.h"
#include "lang/localisation.h"
#include "mods/events.h"
#include "platform/text.h"
#include "platform/version.h"
#include "world/mobs.h"
#include "world/registry.h"
#include "world/terrain.h"
#include "world/types.h"
#include "world/world.h"

namespace zorv {

namespace {

using Arguments = std::istringstream;
using CommandHandler = void (*)(GameSession&, Arguments&);

constexpr float kTeleportLimit = static_cast<float>(kWorldLimit) + 1.0f;

void say(GameSession& session, const char* text) { addMessage(session, tr(text)); }

std::string nextWord(Arguments& args) {
  std::string word;
  args >> word;
  return word;
}

void helpCommand(GameSession& session, Arguments&) {
  static constexpr const char* kLines[] = {
      "Commands:",
      "/gamemode survival|creative|spectator  (or /gm 0|1|3)",
      "/spectator, /tp x y z, /spawn, /kill",
      "/time day|night|set <0-1>",
      "/seed, /save, /mobs <n>, /render <4-16>, /fov <55-100>",
      "/mods  (list loaded mods)",
      "/weather clear|rain|snow",
      "/fill x1 y1 z1 x2 y2 z2 <block>  (max 4096 blocks)",
      "/give <item> [count], /clear  (blocks, stick, wooden_pickaxe...)",
      "/village  (nearest village, /village tp)",
      "Right-click a villager: 8 planks for a bookshelf",
      "Right-click a crafting table for 3x3 recipes",
      "/debug, /version",
  };
  for (const char* line : kLines) say(session, line);
  if (session.networkRole == RoleClient) say(session, "Client: /time, /weather, /fill, /mobs and /save are host-only");
}

void gamemodeCommand(GameSession& session, Arguments& args) {
  const std::string word = lowerAscii(nextWord(args));
  if (word == "spectator" || word == "s" || word == "3") {
    setGameMode(session, ModeSpectator);
  } else if (word == "survival" || word == "0") {
    setGameMode(session, ModeSurvival);
  } else if (word == "creative" || word == "c" || word == "1") {
    setGameMode(session, ModeCreative);
  } else {
    say(session, "Usage: /gamemode survival|creative|spectator");
  }
}

void spectatorCommand(GameSession& session, Arguments&) { toggleSpectator(session); }

void tpCommand(GameSession& session, Arguments& args) {
  float x = 0.0f, y = 0.0f, z = 0.0f;
  // Coordinates beyond the world's horizontal limit cannot be turned into block cells.
  const auto inRange = [](float v) { return std::fabs(v) <= kTeleportLimit; };
  if (!(args >> x >> y >> z) || !inRange(x) || !inRange(y) || !inRange(z)) {
    say(session, "Usage: /tp x y z");
    return;
  }
  teleportPlayer(session, x, y, z);
  say(session, "Teleported");
}

void spawnCommand(GameSession& session, Arguments&) {
  returnToSpawn(session);
  say(session, "Returned to spawn");
}

void killCommand(GameSession& session, Arguments&) {
  returnToSpawn(session);
  queueSound(session, CueHurt);
  say(session, "Respawned");
}

void timeCommand(GameSession& session, Arguments& args) {
  const std::string word = nextWord(args);
  if (word == "day") {
    session.timeOfDay = 0.25f;
    say(session, "Time set to day");
  } else if (word == "night") {
    session.timeOfDay = 0.75f;
    say(session, "Time set to night");
  } else if (word == "set") {
    float value = 0.0f;
    if (!(args >> value)) {
      say(session, "Usage: /time set <0-1>");
      return;
    }
    session.timeOfDay = std::clamp(value, 0.0f, 1.0f);
    say(session, "Time set");
  } else {
    say(session, "Usage: /time day|night|set <0-1>");
  }
}

void seedCommand(GameSession& session, Arguments&) { addMessage(session, formatTranslated("Seed %u", session.seed)); }

void saveCommand(GameSession& session, Arguments&) { saveAndReport(session); }

void mobsCommand(GameSession& session, Arguments& args) {
  int count = 5;  // kept when no number follows; a malformed one reads as 0
  args >> count;
  count = std::clamp(count, 1, 20);
  std::vector<Mob> spawned = spawnMobs(*session.world, clockSeed(), count, playerEye(session));
  const int placed = static_cast<int>(spawned.size());
  session.mobs.insert(session.mobs.end(), spawned.begin(), spawned.end());
  assignEntityIds(session);
  addMessage(session, formatTranslated("Spawned %d mobs", placed));
}

void modsCommand(GameSession& session, Arguments&) {
  const std::vector<std::string> ids = modIds(session.mods);
  if (ids.empty()) {
    say(session, "No mods loaded");
    return;
  }
  addMessage(session, formatTranslated("%d mods", static_cast<int>(ids.size())));
  for (const std::string& id : ids) addMessage(session, "  " + id);
}

void renderCommand(GameSession& session, Arguments& args) {
  int chunks = 0;
  if (!(args >> chunks)) {
    say(session, "Usage: /render <4-16>");
    return;
  }
  session.preferences.renderDistance = std::clamp(chunks, 4, 16);
  if (session.view) session.view->setRenderDistance(session.preferences.renderDistance);
  addMessage(session, formatTranslated("Render distance %d", session.preferences.renderDistance));
}

void fovCommand(GameSession& session, Arguments& args) {
  float degrees = 0.0f;
  if (!(args >> degrees)) {
    say(session, "Usage: /fov <55-100>");
    return;
  }
  session.preferences.fieldOfView = std::clamp(degrees, 55.0f, 100.0f);
  addMessage(session, formatTranslated("FOV %d", static_cast<int>(session.preferences.fieldOfView)));
}

void debugCommand(GameSession& session, Arguments&) {
  const bool shown = session.view != nullptr && session.view->toggleDebugOverlay();
  say(session, shown ? "Debug overlay on" : "Debug overlay off");
}

void versionCommand(GameSession& session, Arguments&) { addMessage(session, std::string("Zorvander ") + kVersion); }

void weatherCommand(GameSession& session, Arguments& args) {
  const std::string word = nextWord(args);
  session.weatherTimer = 90.0f;
  if (word == "clear") {
    session.weather = WeatherClear;
    say(session, "Weather: clear");
  } else if (word == "rain") {
    session.weather = WeatherRain;
    say(session, "Weather: rain");
  } else if (word == "snow") {
    session.weather = WeatherSnow;
    say(session, "Weather: snow");
  } else {
    say(session, "Usage: /weather clear|rain|snow");
  }
}

// Cells of the span lo..hi, or 0 when it is longer than `cap` (the difference of two
// ints needs 64 bits).
std::int64_t spanLength(int lo, int hi, std::int64_t cap) {
  const std::int64_t length = static_cast<std::int64_t>(hi) - lo + 1;
  return length > cap ? 0 : length;
}

// Queues every loaded chunk from one chunk below to one above the box for re-meshing.
void queueBoxRemesh(World& world, int x0, int y0, int z0, int x1, int y1, int z1) {
  const int cy0 = std::max(chunkCoord(y0) - 1, kMinChunkY), cy1 = std::min(chunkCoord(y1) + 1, kMaxChunkY);
  for (int cy = cy0; cy <= cy1; ++cy) {
    for (int cz = chunkCoord(z0) - 1; cz <= chunkCoord(z1) + 1; ++cz) {
      for (int cx = chunkCoord(x0) - 1; cx <= chunkCoord(x1) + 1; ++cx) {
        const ChunkKey key{cx, cy, cz};
        if (findChunk(world, key) != nullptr) world.remeshSet.insert(key);
      }
    }
  }
}

void fillCommand(GameSession& session, Arguments& args) {
  int x1 = 0, y1 = 0, z1 = 0, x2 = 0, y2 = 0, z2 = 0;
  std::string name;
  if (!(args >> x1 >> y1 >> z1 >> x2 >> y2 >> z2 >> name)) {
    say(session, "Usage: /fill x1 y1 z1 x2 y2 z2 <block>");
    return;
  }
  const BlockId block = blockRegistry().find(name);
  if (block == kNoBlock) {
    addMessage(session, formatTranslated("Unknown block: %s", name.c_str()));
    return;
  }
  const int x0 = std::min(x1, x2), xEnd = std::max(x1, x2);
  const int z0 = std::min(z1, z2), zEnd = std::max(z1, z2);
  const int y0 = std::clamp(std::min(y1, y2), kMinY, kMaxY), yEnd = std::clamp(std::max(y1, y2), kMinY, kMaxY);
  const std::int64_t cells =
      spanLength(x0, xEnd, kMaxFillCells) * spanLength(y0, yEnd, kMaxFillCells) * spanLength(z0, zEnd, kMaxFillCells);
  if (cells == 0 || cells > kMaxFillCells) {
    say(session, "Too many blocks (max 4096)");
    return;
  }
  World& world = *session.world;
  for (int y = y0; y <= yEnd; ++y) {
    for (int z = z0; z <= zEnd; ++z) {
      for (int x = x0; x <= xEnd; ++x) setBlock(world, x, y, z, block);
    }
  }
  queueBoxRemesh(world, x0, y0, z0, xEnd, yEnd, zEnd);
  remeshChanged(session);
  addMessage(session, formatTranslated("Filled %d blocks", static_cast<int>(cells)));
}

void giveCommand(GameSession& session, Arguments& args) {
  const std::string name = nextWord(args);
  NamedStack stack;
  if (name.empty() || !resolveItemName(name, stack)) {
    say(session, "Usage: /give <item> [count]");
    return;
  }
  int count = 1;  // kept when no number follows; a malformed one reads as 0
  args >> count;
  count = std::clamp(count, 1, kMaxGiveCount);
  if (!session.inventory.add(stack.id, count, stack.durability)) {
    say(session, "Inventory full");
    return;
  }
  addMessage(session, formatTranslated("Gave %d %s", count, tr(nameOf(stack.id).c_str())));
}

void clearCommand(GameSession& session, Arguments&) {
  session.inventory.clear();
  session.cursorStack = {};
  say(session, "Inventory cleared");
}

void villageCommand(GameSession& session, Arguments& args) {
  const std::optional<NearestVillage> nearest = nearestVillage(session, playerEye(session));
  if (!nearest) {
    say(session, "No village within 800 blocks");
    return;
  }
  const VillageSite& site = nearest->site;
  const std::string name = villageDisplayName(session, site);
  if (nextWord(args) == "tp") {
    const float y = static_cast<float>(surfaceHeight(*session.world, site.x, site.z)) + 1.0f + 1.63f;
    teleportPlayer(session, static_cast<float>(site.x) + 0.5f, y, static_cast<float>(site.z) + 0.5f);
    addMessage(session, formatTranslated("Teleported to %s", name.c_str()));
    return;
  }
  addMessage(session, formatTranslated("%s  %d / %d  (%.0f blocks away)", name.c_str(), site.x, site.z,
                                       static_cast<double>(nearest->distance)));
}

// Who may run a built-in besides the local player.
enum CommandUse : std::uint8_t {
  UseAnywhere,        // every game, also a client's
  UseHostOnly,        // refused on a client: the host owns the world it changes
  UseHostAndConsole,  // host-only, and the dedicated server's console runs it too
  UseConsole,         // also on the dedicated server's console
  UseAlias,           // another name of a listed command: runs anywhere, never offered
};

struct BuiltinCommand {
  std::string_view name;
  CommandHandler run;
  CommandUse use;
};

// The one list of built-ins: completion offers them in this order, the server's console
// runs those marked for it.
constexpr BuiltinCommand kBuiltins[] = {
    {"help", helpCommand, UseAnywhere},           {"gamemode", gamemodeCommand, UseAnywhere},
    {"gm", gamemodeCommand, UseAlias},            {"spectator", spectatorCommand, UseAnywhere},
    {"tp", tpCommand, UseAnywhere},               {"spawn", spawnCommand, UseAnywhere},
    {"kill", killCommand, UseAnywhere},           {"time", timeCommand, UseHostAndConsole},
    {"seed", seedCommand, UseConsole},            {"save", saveCommand, UseHostAndConsole},
    {"mobs", mobsCommand, UseHostOnly},           {"mods", modsCommand, UseConsole},
    {"render", renderCommand, UseAnywhere},       {"fov", fovCommand, UseAnywhere},
    {"debug", debugCommand, UseAnywhere},         {"version", versionCommand, UseConsole},
    {"weather", weatherCommand, UseHostAndConsole}, {"fill", fillCommand, UseHostOnly},
    {"give", giveCommand, UseAnywhere},           {"clear", clearCommand, UseAnywhere},
    {"village", villageCommand, UseAnywhere},
};

bool isHostOnly(CommandUse use) { return use == UseHostOnly || use == UseHostAndConsole; }

const BuiltinCommand* findBuiltin(std::string_view word) {
  for (const BuiltinCommand& command : kBuiltins) {
    if (command.name == word) return &command;
  }
  return nullptr;
}

std::string restOfLine(Arguments& args) {
  std::string argument;
  std::getline(args, argument);
  argument.erase(0, argument.find_first_not_of(' '));
  return argument;
}

void runModCommandLine(GameSession& session, const std::string& word, Arguments& args, const std::string& player) {
  const std::string argument = restOfLine(args);
  std::string reply;
  if (!runModCommand(session.mods, word, argument, player, reply)) {
    addMessage(session, formatTranslated("Unknown command: %s (try /help)", word.c_str()));
    return;
  }
  if (!reply.empty()) addMessage(session, reply);
}

}  // namespace

void toggleSpectator(GameSession& session) {
  setGameMode(session, gameMode(session) == ModeSpectator ? session.modeBeforeSpectator : ModeSpectator);
}

void runCommand(GameSession& session, const std::string& line) {
  if (!line.empty()) addMessage(session, line);
  if (session.view) session.view->lineEntered(line);

  Arguments args(line.starts_with('/') ? line.substr(1) : line);
  const std::string word = lowerAscii(nextWord(args));
  if (word.empty()) return;
  if (!session.world && word != "version") {
    say(session, "No world loaded");
    return;
  }
  const BuiltinCommand* builtin = findBuiltin(word);
  if (builtin != nullptr && isHostOnly(builtin->use) && session.networkRole == RoleClient) {
    say(session, "Only the host can change the world");
    return;
  }
  if (builtin != nullptr) {
    builtin->run(session, args);
  } else {
    runModCommandLine(session, word, args, session.networkPlayerName);
  }
}

std::vector<std::string_view> completableCommandNames() {
  std::vector<std::string_view> names;
  for (const BuiltinCommand& command : kBuiltins) {
    if (command.use != UseAlias) names.push_back(command.name);
  }
  return names;
}

bool runsOnServerConsole(std::string_view word) {
  const BuiltinCommand* command = findBuiltin(word);
  return command != nullptr && (command->use == UseConsole || command->use == UseHostAndConsole);
}

void runServerModCommand(GameSession& session, const std::string& line) {
  Arguments args(line.starts_with('/') ? line.substr(1) : line);
  const std::string word = lowerAscii(nextWord(args));
  runModCommandLine(session, word, args, "server");
}

bool runPlayerModCommand(GameSession& session, std::int32_t playerId, const std::string& player,
                         const std::string& line, std::string& reply) {
  if (!line.starts_with('/')) return false;
  Arguments args(line.substr(1));
  const std::string word = lowerAscii(nextWord(args));
  if (word.empty()) return false;
  session.modContext->actFor(playerId);
  const bool ran = runModCommand(session.mods, word, restOfLine(args), player, reply);
  session.modContext->actFor(0);
  return ran;
}

}  // namespace zorv
