#include "mods/sandbox.h"

// The C++ build of Lua: its functions have C++ linkage, so no extern "C" wrapper.
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <cstdio>
#include <string_view>
#include <system_error>

#include "mods/bounded_patterns.h"
#include "mods/call_budget.h"
#include "mods/data_files.h"
#include "mods/finalizers.h"
#include "mods/library_limits.h"
#include "mods/registration_api.h"
#include "mods/world_api.h"
#include "world/registry.h"

namespace zorv {
namespace {

namespace fs = std::filesystem;

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
  installLibraryLimits(L, spendWork);
  lua_getglobal(L, LUA_STRLIBNAME);
  installBoundedPatterns(L, spendBudget);
  lua_pop(L, 1);
  installFinalizers(L);

  const luaL_Reg files[] = {{"data_dir", dataDir}, {"data_read", dataRead}, {"data_write", dataWrite}, {nullptr, nullptr}};
  luaL_newlib(L, files);
  addWorldFunctions(L);
  addRegistrationFunctions(L);
  lua_pushinteger(L, 1);
  lua_setfield(L, -2, "api_version");
  lua_pushlstring(L, mod.id.data(), mod.id.size());
  lua_setfield(L, -2, "mod");
  lua_setglobal(L, "zorv");

  installEventRegistrations(L);
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
