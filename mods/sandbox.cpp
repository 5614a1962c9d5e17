#include "mods/sandbox.h"

// The C++ build of Lua: its functions have C++ linkage, so no extern "C" wrapper.
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>
#include <system_error>

#include "mods/bounded_patterns.h"
#include "mods/data_files.h"
#include "mods/finalizers.h"
#include "mods/library_limits.h"
#include "mods/loader.h"
#include "mods/mod_context.h"
#include "platform/platform.h"
#include "world/registry.h"
#include "world/types.h"
#include "platform/text.h"

namespace zorv {
namespace {

namespace fs = std::filesystem;

constexpr const char* kEventRegistrations[kModEventCount] = {"on_block_break", "on_block_place", "on_tick",
                                                            "on_player_join", "on_player_leave"};


// --- memory and instruction limits ---------------------------------------------------

// Fires every kBudgetHookInterval instructions. Once the call's budget is spent the hook
// switches the running thread to fire on every instruction, so that each further
// instruction raises again: a pcall around an endless loop cannot swallow the stop.
void budgetHook(lua_State* L, lua_Debug*);

// Takes one unit of the call's budget; once it is spent, raises (and keeps raising).
void spendBudget(lua_State* L) {
  ModRecord& mod = recordOf(L);
  if (mod.budget > 0) --mod.budget;
  if (mod.budget > 0) return;
  lua_sethook(L, budgetHook, LUA_MASKCOUNT, 1);
  luaL_error(L, "instruction budget exceeded");
}

void budgetHook(lua_State* L, lua_Debug*) {
  if (recordOf(L).budget > 0 && lua_gethookcount(L) == 1) {
    // A coroutine left in per-instruction mode by an earlier, exhausted call.
    lua_sethook(L, budgetHook, LUA_MASKCOUNT, kBudgetHookInterval);
    return;
  }
  spendBudget(L);
}

// Work done inside library functions, counted in instructions: each kBudgetHookInterval
// of it takes one unit, the remainder carries over to the next charge.
void spendWork(lua_State* L, std::uint64_t instructions) {
  ModRecord& mod = recordOf(L);
  const std::uint64_t interval = kBudgetHookInterval;
  const std::uint64_t units = instructions / interval + (mod.workCarry + instructions % interval) / interval;
  mod.workCarry = (mod.workCarry + instructions % interval) % interval;
  if (units > static_cast<std::uint64_t>(std::max(mod.budget, 0))) {
    mod.budget = 1;
    spendBudget(L);  // raises
  }
  mod.budget -= static_cast<std::int32_t>(units);
}

void beginCall(ModRecord& mod) {
  mod.budget = kCallBudget;
  mod.editsThisCall = 0;
  mod.dropsThisCall = 0;
  lua_sethook(mod.lua, budgetHook, LUA_MASKCOUNT, kBudgetHookInterval);
}

int tracebackHandler(lua_State* L) {
  const char* message = lua_isstring(L, 1) ? lua_tostring(L, 1) : "unknown error";
  luaL_traceback(L, L, message, 1);
  return 1;
}

// Runs `body` with `data` as a protected call under a fresh budget. Everything the call
// does (building its arguments included) is protected, so a memory error can never reach
// the panic handler. A failure is reported as "[mod:ID] ACTIVITY failed: TEXT".
bool runProtected(ModRecord& mod, lua_CFunction body, void* data, const char* activity) {
  lua_State* L = mod.lua;
  const int top = lua_gettop(L);
  lua_pushcfunction(L, tracebackHandler);
  lua_pushcfunction(L, body);
  lua_pushlightuserdata(L, data);
  beginCall(mod);
  const int status = lua_pcall(L, 1, 0, top + 1);
  lua_sethook(L, nullptr, 0, 0);
  if (status != LUA_OK) {
    const char* text = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : "unknown error";
    std::fprintf(stderr, "[mod:%s] %s failed: %s\n", mod.id.c_str(), activity, text);
  }
  lua_settop(L, top);
  return status == LUA_OK;
}

// runProtected, then the finalizers that came due meanwhile, under a budget of their own.
bool protectedCall(ModRecord& mod, lua_CFunction body, void* data, const char* activity) {
  const bool ok = runProtected(mod, body, data, activity);
  if (hasPendingFinalizers(mod.lua)) runProtected(mod, runPendingFinalizers, nullptr, "finalizers");
  return ok;
}

// --- argument helpers ------------------------------------------------------------------

ModContext* contextOf(lua_State* L) { return recordOf(L).context; }

ModContext& requireContext(lua_State* L) {
  ModContext* context = contextOf(L);
  if (!context) luaL_error(L, "no mod context");
  return *context;
}

// An integer argument that fits 32 bits; false for larger magnitudes (outside any world).
bool checkInt32(lua_State* L, int index, int& out) {
  const lua_Integer value = luaL_checkinteger(L, index);
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return false;
  out = static_cast<int>(value);
  return true;
}

bool optCount(lua_State* L, int index, int& out) {
  const lua_Integer value = luaL_optinteger(L, index, 1);
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return false;
  out = static_cast<int>(value);
  return true;
}

// Counts one more request of this call; beyond `limit` it is refused, reported once per call.
bool withinCallLimit(const ModRecord& mod, int& used, int limit, const char* function) {
  if (used == limit)
    std::fprintf(stderr, "[mod:%s] %s refused: more than %d in one call\n", mod.id.c_str(), function, limit);
  if (used > limit) return false;
  return ++used <= limit;
}

// --- the zorv table ----------------------------------------------------------------------

int apiGetBlock(lua_State* L) {
  int x = 0, y = 0, z = 0;
  const bool inRange = checkInt32(L, 1, x) & checkInt32(L, 2, y) & checkInt32(L, 3, z);
  ModContext* context = contextOf(L);
  std::string name;
  if (context && inRange && context->getBlock(x, y, z, name))
    lua_pushlstring(L, name.data(), name.size());
  else
    lua_pushnil(L);
  return 1;
}

int apiSetBlock(lua_State* L) {
  int x = 0, y = 0, z = 0;
  const bool inRange = checkInt32(L, 1, x) & checkInt32(L, 2, y) & checkInt32(L, 3, z);
  const std::string name = checkText(L, 4);
  ModRecord& mod = recordOf(L);
  const bool allowed =
      mod.context && inRange && withinCallLimit(mod, mod.editsThisCall, kMaxEditsPerCall, "set_block");
  lua_pushboolean(L, allowed && mod.context->setBlock(x, y, z, name));
  return 1;
}

int apiMessage(lua_State* L) {
  const std::string text = checkText(L, 1);
  if (ModContext* context = contextOf(L)) context->message(text);
  return 0;
}

int apiGive(lua_State* L) {
  const std::string name = checkText(L, 1);
  int count = 0;
  const bool inRange = optCount(L, 2, count);
  ModContext* context = contextOf(L);
  lua_pushboolean(L, context && inRange && context->give(name, count));
  return 1;
}

int apiPlayerPosition(lua_State* L) {
  float x = 0.0f, y = 0.0f, z = 0.0f;
  if (ModContext* context = contextOf(L)) context->playerPosition(x, y, z);
  lua_pushnumber(L, x);
  lua_pushnumber(L, y);
  lua_pushnumber(L, z);
  return 3;
}

float checkFiniteFloat(lua_State* L, int index) {
  const lua_Number value = luaL_checknumber(L, index);
  if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max())
    luaL_argerror(L, index, "finite number expected");
  return static_cast<float>(value);
}

// Nobody is moved beyond the world's edge: such a position is refused (false). Heights
// are brought between the bottom layer and just above the top one.
int apiTeleport(lua_State* L) {
  const float x = checkFiniteFloat(L, 1);
  const float y = checkFiniteFloat(L, 2);
  const float z = checkFiniteFloat(L, 3);
  constexpr auto kEdge = static_cast<float>(kWorldLimit);
  ModContext* context = contextOf(L);
  const bool inside = std::fabs(x) <= kEdge && std::fabs(z) <= kEdge;
  if (context && inside)
    context->teleport(x, std::clamp(y, static_cast<float>(kMinY), static_cast<float>(kMaxY + 1)), z);
  lua_pushboolean(L, context && inside);
  return 1;
}

int apiSpawnDrop(lua_State* L) {
  int x = 0, y = 0, z = 0, count = 0;
  bool inRange = checkInt32(L, 1, x) & checkInt32(L, 2, y) & checkInt32(L, 3, z);
  const std::string name = checkText(L, 4);
  inRange = optCount(L, 5, count) && inRange;
  ModRecord& mod = recordOf(L);
  const bool allowed =
      mod.context && inRange && withinCallLimit(mod, mod.dropsThisCall, kMaxDropsPerCall, "spawn_drop");
  lua_pushboolean(L, allowed && mod.context->spawnDrop(x, y, z, name, count));
  return 1;
}

int apiIsHost(lua_State* L) {
  ModContext* context = contextOf(L);
  lua_pushboolean(L, context && context->isHost());
  return 1;
}

void logLine(lua_State* L, const std::string& text) {
  const ModRecord& mod = recordOf(L);
  const std::string line = "[" + mod.id + "] " + text;
  if (mod.context)
    mod.context->log(line);
  else
    std::printf("%s\n", line.c_str());
}

int apiLog(lua_State* L) {
  logLine(L, checkText(L, 1));
  return 0;
}

int sandboxPrint(lua_State* L) {
  const int count = lua_gettop(L);
  std::string line;
  for (int i = 1; i <= count; ++i) {
    std::size_t length = 0;
    const char* text = luaL_tolstring(L, i, &length);
    if (i > 1) line += '\t';
    line.append(text, length);
    lua_pop(L, 1);
  }
  logLine(L, line);
  return 0;
}

// --- register_block --------------------------------------------------------------------

std::string optStringField(lua_State* L, const char* key) {
  std::string value;
  const int type = lua_getfield(L, 1, key);
  if (type == LUA_TSTRING) {
    std::size_t length = 0;
    const char* text = lua_tolstring(L, -1, &length);
    value.assign(text, length);
  } else if (type != LUA_TNIL) {
    luaL_error(L, "register_block: '%s' must be a string", key);
  }
  lua_pop(L, 1);
  return value;
}

bool optBoolField(lua_State* L, const char* key, bool fallback) {
  const int type = lua_getfield(L, 1, key);
  const bool value = type == LUA_TNIL ? fallback : lua_toboolean(L, -1) != 0;
  lua_pop(L, 1);
  return value;
}

float optHardness(lua_State* L) {
  float value = 1.0f;
  const int type = lua_getfield(L, 1, "hardness");
  if (type != LUA_TNIL) {
    int isNumber = 0;
    const lua_Number number = lua_tonumberx(L, -1, &isNumber);
    if (!isNumber || !std::isfinite(number) || std::fabs(number) > 1.0e6)
      luaL_error(L, "register_block: 'hardness' must be a finite number");
    value = static_cast<float>(number);
  }
  lua_pop(L, 1);
  return value;
}

// Layer name of a mod texture: mod id, '_', the file's stem reduced to [a-z0-9_-].
std::string modLayerName(const std::string& modId, const std::string& textureName) {
  std::string stem;
  for (char c : lowerAscii(fs::path(textureName).stem().string()))
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-') stem += c;
  return modId + "_" + (stem.empty() ? std::string("texture") : stem);
}

int resolveTexture(lua_State* L, ModRecord& mod, std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  if (name.back() == '/' || name.find('\0') != std::string::npos || !isSafeRelativePath(name))
    luaL_error(L, "register_block: texture name '%s' leaves the package", name.c_str());
  BlockRegistry& registry = blockRegistry();
  const fs::path file = mod.packageDir / name;
  std::error_code error;
  if (!fs::is_regular_file(file, error) && name.find('.') == std::string::npos) {
    const int builtin = registry.findTile(name);
    if (builtin >= 0 && builtin < kBuiltinTileCount) return builtin;
  }
  const std::string layerName = modLayerName(mod.id, name);
  int layer = registry.findTile(layerName);
  if (layer < 0) {
    if (mod.textureLayersAdded >= kMaxTextureLayersPerMod || registry.tileCount() >= kMaxTextureLayers) {
      std::fprintf(stderr, "[mod:%s] texture layer limit reached (%d per mod, %d in all)\n", mod.id.c_str(),
                   kMaxTextureLayersPerMod, kMaxTextureLayers);
      luaL_error(L, "register_block: too many texture layers");
    }
    layer = registry.addTile(layerName);
    ++mod.textureLayersAdded;
  }
  registry.setTileSource(layer, file.string());
  return layer;
}

// The block whose full id is `fullId`. The registry's own find also accepts short names,
// which would make one mod's "gem" (or "stone") stand for another's.
BlockId findExactBlock(const BlockRegistry& registry, const std::string& fullId) {
  for (std::size_t i = 0; i < registry.count(); ++i)
    if (registry.get(static_cast<BlockId>(i)).id == fullId) return static_cast<BlockId>(i);
  return kNoBlock;
}

int apiRegisterBlock(lua_State* L) {
  requireContext(L);
  luaL_checktype(L, 1, LUA_TTABLE);
  ModRecord& mod = recordOf(L);
  std::string id = optStringField(L, "id");
  if (id.empty()) return luaL_error(L, "register_block: 'id' is required");
  const std::string fullId = lowerAscii(id.find(':') == std::string::npos ? mod.id + ":" + id : id);
  BlockRegistry& registry = blockRegistry();
  if (findExactBlock(registry, fullId) != kNoBlock) {
    std::fprintf(stderr, "[mod:%s] block %s already registered\n", mod.id.c_str(), fullId.c_str());
    lua_pushlstring(L, fullId.data(), fullId.size());
    return 1;
  }
  if (mod.blocksRegistered >= kMaxBlocksPerMod) {
    std::fprintf(stderr, "[mod:%s] block limit reached (%d per mod)\n", mod.id.c_str(), kMaxBlocksPerMod);
    return luaL_error(L, "register_block: too many blocks");
  }

  BlockDef def;
  def.id = fullId;
  def.name = optStringField(L, "name");
  if (def.name.empty()) def.name = fullId.substr(fullId.find(':') + 1);
  const std::string texture = optStringField(L, "texture");
  std::array<std::string, 3> faces = {optStringField(L, "top"), optStringField(L, "side"),
                                      optStringField(L, "bottom")};
  for (std::string& face : faces)
    if (face.empty()) face = texture;
  const auto firstGiven = std::find_if(faces.begin(), faces.end(), [](const std::string& f) { return !f.empty(); });
  if (firstGiven == faces.end()) return luaL_error(L, "register_block: 'texture' is required");
  const std::string fallbackFace = *firstGiven;
  for (std::string& face : faces)
    if (face.empty()) face = fallbackFace;

  std::map<std::string, int> layers;  // each texture name resolves once per call
  std::array<int, 3> faceLayers{};
  for (std::size_t i = 0; i < faces.size(); ++i) {
    auto found = layers.find(faces[i]);
    if (found == layers.end()) found = layers.emplace(faces[i], resolveTexture(L, mod, faces[i])).first;
    faceLayers[i] = found->second;
  }
  def.texTop = faceLayers[0];
  def.texSide = faceLayers[1];
  def.texBottom = faceLayers[2];
  def.solid = optBoolField(L, "solid", true);
  def.opaque = optBoolField(L, "opaque", true);
  def.cutout = optBoolField(L, "cutout", false);
  def.hardness = optHardness(L);
  const std::string drop = optStringField(L, "drop");

  const BlockId block = registry.registerBlock(std::move(def));
  if (block == kNoBlock) return luaL_error(L, "register_block: block registry is full");
  ++mod.blocksRegistered;
  if (!drop.empty()) {
    const BlockId dropped = registry.find(drop);
    if (dropped != kNoBlock)
      registry.setDrop(block, dropped);
    else
      std::fprintf(stderr, "[mod:%s] unknown drop %s\n", mod.id.c_str(), drop.c_str());
  }
  lua_pushlstring(L, fullId.data(), fullId.size());
  return 1;
}

int apiRegisterCommand(lua_State* L) {
  requireContext(L);
  std::string name = lowerAscii(checkText(L, 1));
  luaL_checktype(L, 2, LUA_TFUNCTION);
  if (!name.empty() && name.front() == '/') name.erase(0, 1);
  ModRecord& mod = recordOf(L);
  auto existing = mod.commands.find(name);
  if (existing == mod.commands.end() && mod.commands.size() >= kMaxCommandsPerMod) {
    std::fprintf(stderr, "[mod:%s] command limit reached (%zu per mod)\n", mod.id.c_str(), kMaxCommandsPerMod);
    return luaL_error(L, "register_command: too many commands");
  }
  lua_pushvalue(L, 2);
  const int reference = luaL_ref(L, LUA_REGISTRYINDEX);
  if (existing != mod.commands.end()) {
    luaL_unref(L, LUA_REGISTRYINDEX, existing->second);
    existing->second = reference;
  } else {
    mod.commands.emplace(std::move(name), reference);
  }
  return 0;
}

// --- event registrations -----------------------------------------------------------------

int registerHandler(lua_State* L) {
  const auto event = static_cast<std::size_t>(lua_tointeger(L, lua_upvalueindex(1)));
  requireContext(L);
  luaL_checktype(L, 1, LUA_TFUNCTION);
  ModRecord& mod = recordOf(L);
  std::vector<int>& list = mod.handlers[event];
  if (list.size() >= static_cast<std::size_t>(kMaxHandlersPerEvent)) {
    std::fprintf(stderr, "[mod:%s] %s refused: at most %d handlers per event\n", mod.id.c_str(),
                 kEventRegistrations[event], kMaxHandlersPerEvent);
    return luaL_error(L, "%s: too many handlers", kEventRegistrations[event]);
  }
  lua_pushvalue(L, 1);
  list.push_back(luaL_ref(L, LUA_REGISTRYINDEX));
  return 0;
}

// --- the state ---------------------------------------------------------------------------

// xpcall whose message handler runs after the failed call has unwound. The standard one
// runs the handler while the error is being raised, and an error raised by the budget
// hook is raised with hooks switched off: an endless handler would never be stopped.
// Without the debug library a handler cannot look at the failed call's stack, so
// scripts see the same results.
constexpr std::string_view kSandboxXpcall = R"lua(
local pcall, type, error = pcall, type, error
local function finish(handler, ok, ...)
  if ok then return true, ... end
  local _, result = pcall(handler, (...))
  return false, result
end
function xpcall(f, handler, ...)
  if type(handler) ~= 'function' then
    error("bad argument #2 to 'xpcall' (function expected, got " .. type(handler) .. ")", 2)
  end
  return finish(handler, pcall(f, ...))
end
)lua";

int setUpState(lua_State* L) {
  const ModRecord& mod = recordOf(L);
  const luaL_Reg libraries[] = {{LUA_GNAME, luaopen_base},         {LUA_STRLIBNAME, luaopen_string},
                                {LUA_TABLIBNAME, luaopen_table},   {LUA_MATHLIBNAME, luaopen_math},
                                {LUA_UTF8LIBNAME, luaopen_utf8},   {LUA_COLIBNAME, luaopen_coroutine}};
  for (const luaL_Reg& library : libraries) {
    luaL_requiref(L, library.name, library.func, 1);
    lua_pop(L, 1);
  }
  if (luaL_loadbufferx(L, kSandboxXpcall.data(), kSandboxXpcall.size(), "=sandbox", "t") != LUA_OK)
    return lua_error(L);
  lua_call(L, 0, 0);
  for (const char* name : {"dofile", "loadfile", "load", "require", "package"}) {
    lua_pushnil(L);
    lua_setglobal(L, name);
  }
  lua_pushcfunction(L, sandboxPrint);
  lua_setglobal(L, "print");
  installLibraryLimits(L, spendWork);
  lua_getglobal(L, LUA_STRLIBNAME);
  installBoundedPatterns(L, spendBudget);
  lua_pop(L, 1);
  installFinalizers(L);

  const luaL_Reg api[] = {{"get_block", apiGetBlock},
                          {"set_block", apiSetBlock},
                          {"message", apiMessage},
                          {"give", apiGive},
                          {"player_position", apiPlayerPosition},
                          {"teleport", apiTeleport},
                          {"spawn_drop", apiSpawnDrop},
                          {"is_host", apiIsHost},
                          {"log", apiLog},
                          {"data_dir", dataDir},
                          {"data_read", dataRead},
                          {"data_write", dataWrite},
                          {"register_block", apiRegisterBlock},
                          {"register_command", apiRegisterCommand},
                          {nullptr, nullptr}};
  luaL_newlib(L, api);
  lua_pushinteger(L, 1);
  lua_setfield(L, -2, "api_version");
  lua_pushlstring(L, mod.id.data(), mod.id.size());
  lua_setfield(L, -2, "mod");
  lua_setglobal(L, "zorv");

  for (std::size_t event = 0; event < kModEventCount; ++event) {
    lua_pushinteger(L, static_cast<lua_Integer>(event));
    lua_pushcclosure(L, registerHandler, 1);
    lua_setglobal(L, kEventRegistrations[event]);
  }
  return 0;
}

struct ScriptChunk {
  std::string text;
  std::string chunkName;
};

int runScript(lua_State* L) {
  const auto& chunk = *static_cast<const ScriptChunk*>(lua_touserdata(L, 1));
  if (luaL_loadbufferx(L, chunk.text.data(), chunk.text.size(), chunk.chunkName.c_str(), "t") != LUA_OK)
    return lua_error(L);
  lua_call(L, 0, 0);
  return 0;
}

// The whole file, or empty when it cannot be read or exceeds what a mod could hold.
std::string readScript(const fs::path& path) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error || size == 0 || size > kModMemoryLimit) return {};
  FileHandle file(std::fopen(path.c_str(), "rb"));
  if (!file) return {};
  std::string text(static_cast<std::size_t>(size), '\0');
  text.resize(std::fread(text.data(), 1, text.size(), file.get()));
  return text;
}

// --- dispatch bodies -----------------------------------------------------------------------

struct BlockCall {
  int handler;
  const BlockEventInfo* info;
  bool cancelled = false;
};

void setStringField(lua_State* L, const char* key, const std::string& value) {
  lua_pushlstring(L, value.data(), value.size());
  lua_setfield(L, -2, key);
}

void setIntegerField(lua_State* L, const char* key, lua_Integer value) {
  lua_pushinteger(L, value);
  lua_setfield(L, -2, key);
}

int callBlockHandler(lua_State* L) {
  auto& call = *static_cast<BlockCall*>(lua_touserdata(L, 1));
  lua_rawgeti(L, LUA_REGISTRYINDEX, call.handler);
  lua_createtable(L, 0, 7);
  setIntegerField(L, "x", call.info->x);
  setIntegerField(L, "y", call.info->y);
  setIntegerField(L, "z", call.info->z);
  setStringField(L, "block", call.info->block);
  setStringField(L, "player", call.info->player);
  setIntegerField(L, "player_id", call.info->playerId);
  lua_pushboolean(L, 0);
  lua_setfield(L, -2, "cancelled");
  lua_pushvalue(L, -1);
  lua_insert(L, 2);  // keep the table to read `cancelled` after the call
  lua_call(L, 1, 0);
  lua_pushliteral(L, "cancelled");
  call.cancelled = lua_rawget(L, 2) != LUA_TNIL && lua_toboolean(L, -1);
  return 0;
}

struct PlayerCall {
  int handler;
  int playerId;
  const std::string* player;
};

int callPlayerHandler(lua_State* L) {
  const auto& call = *static_cast<const PlayerCall*>(lua_touserdata(L, 1));
  lua_rawgeti(L, LUA_REGISTRYINDEX, call.handler);
  lua_createtable(L, 0, 2);
  setIntegerField(L, "id", call.playerId);
  setStringField(L, "player", *call.player);
  lua_call(L, 1, 0);
  return 0;
}

struct TickCall {
  int handler;
  double seconds;
};

int callTickHandler(lua_State* L) {
  const auto& call = *static_cast<const TickCall*>(lua_touserdata(L, 1));
  lua_rawgeti(L, LUA_REGISTRYINDEX, call.handler);
  lua_pushnumber(L, call.seconds);
  lua_call(L, 1, 0);
  return 0;
}

struct CommandCall {
  int function;
  const std::string* argument;
  const std::string* player;
  std::string* reply;
};

int callCommand(lua_State* L) {
  const auto& call = *static_cast<const CommandCall*>(lua_touserdata(L, 1));
  lua_rawgeti(L, LUA_REGISTRYINDEX, call.function);
  lua_pushlstring(L, call.argument->data(), call.argument->size());
  lua_pushlstring(L, call.player->data(), call.player->size());
  lua_call(L, 2, 1);
  if (lua_isstring(L, -1)) {
    std::size_t length = 0;
    const char* text = lua_tolstring(L, -1, &length);
    call.reply->assign(text, length);
  }
  return 0;
}

}  // namespace

ModRecord& recordOf(lua_State* L) { return **static_cast<ModRecord**>(lua_getextraspace(L)); }

std::string checkText(lua_State* L, int index) {
  std::size_t length = 0;
  const char* text = luaL_checklstring(L, index, &length);
  return std::string(text, length);
}

ModRecord::~ModRecord() {
  if (lua) lua_close(lua);
}

std::unique_ptr<ModRecord> createMod(const std::string& id, const fs::path& packageDir, const fs::path& dataDir,
                                     ModContext* context, MemoryPool* pool) {
  auto mod = std::make_unique<ModRecord>();
  mod->memory.pool = pool ? pool : &sharedModMemory();
  mod->id = id;
  mod->packageDir = packageDir;
  mod->dataDir = dataDir;
  mod->context = context;
  mod->lua = lua_newstate(limitedAlloc, &mod->memory);
  if (!mod->lua) {
    std::fprintf(stderr, "[mod:%s] failed to create Lua state\n", id.c_str());
    return nullptr;
  }
  *static_cast<ModRecord**>(lua_getextraspace(mod->lua)) = mod.get();
  lua_pushcfunction(mod->lua, setUpState);
  if (lua_pcall(mod->lua, 0, 0, 0) != LUA_OK) {
    std::fprintf(stderr, "[mod:%s] failed to create Lua state\n", id.c_str());
    return nullptr;
  }

  const fs::path scriptPath = packageDir / "main.lua";
  ScriptChunk chunk{readScript(scriptPath), "@" + scriptPath.string()};
  if (chunk.text.empty()) {
    std::fprintf(stderr, "[mod:%s] main.lua is empty\n", id.c_str());
    return nullptr;
  }
  // A mod refused while loading takes back the blocks and texture layers it registered.
  BlockRegistry& registry = blockRegistry();
  const std::size_t blocksBefore = registry.count();
  const int tilesBefore = registry.tileCount();
  if (!protectedCall(*mod, runScript, &chunk, "load")) {
    registry.truncate(blocksBefore, tilesBefore);
    return nullptr;
  }
  std::printf("mod: %s loaded\n", id.c_str());
  return mod;
}

bool dispatchBlockEvent(ModRecord& mod, ModEvent event, const BlockEventInfo& info) {
  const std::vector<int>& handlers = mod.handlers[static_cast<std::size_t>(event)];
  const std::size_t count = handlers.size();  // handlers added meanwhile wait for the next event
  for (std::size_t i = 0; i < count; ++i) {
    BlockCall call{handlers[i], &info};
    if (protectedCall(mod, callBlockHandler, &call, "block event") && call.cancelled) return false;
  }
  return true;
}

void dispatchPlayerEvent(ModRecord& mod, ModEvent event, int playerId, const std::string& player) {
  const std::vector<int>& handlers = mod.handlers[static_cast<std::size_t>(event)];
  const std::size_t count = handlers.size();
  for (std::size_t i = 0; i < count; ++i) {
    PlayerCall call{handlers[i], playerId, &player};
    protectedCall(mod, callPlayerHandler, &call, "player event");
  }
}

void dispatchTick(ModRecord& mod, double seconds) {
  const std::vector<int>& handlers = mod.handlers[static_cast<std::size_t>(ModEvent::Tick)];
  const std::size_t count = handlers.size();
  for (std::size_t i = 0; i < count; ++i) {
    TickCall call{handlers[i], seconds};
    protectedCall(mod, callTickHandler, &call, "tick");
  }
}

bool dispatchCommand(ModRecord& mod, const std::string& name, const std::string& argument,
                     const std::string& player, std::string& reply) {
  const auto found = mod.commands.find(name);
  if (found == mod.commands.end()) return false;
  CommandCall call{found->second, &argument, &player, &reply};
  protectedCall(mod, callCommand, &call, "command");
  return true;
}

}  // namespace zorv
