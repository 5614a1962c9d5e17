#include "mods/world_api.h"

// The C++ build of Lua: its functions have C++ linkage, so no extern "C" wrapper.
#include <lauxlib.h>
#include <lua.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "mods/mod_context.h"
#include "mods/sandbox.h"
#include "world/types.h"

namespace zorv {
namespace {

ModContext* contextOf(lua_State* L) { return recordOf(L).context; }

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

// Nobody is moved beyond the world's edge: such a position is refused (false), as is a
// teleport the context has nobody to move for. Heights are brought between the bottom
// layer and just above the top one.
int apiTeleport(lua_State* L) {
  const float x = checkFiniteFloat(L, 1);
  const float y = checkFiniteFloat(L, 2);
  const float z = checkFiniteFloat(L, 3);
  constexpr auto kEdge = static_cast<float>(kWorldLimit);
  ModContext* context = contextOf(L);
  const bool inside = std::fabs(x) <= kEdge && std::fabs(z) <= kEdge;
  const float height = std::clamp(y, static_cast<float>(kMinY), static_cast<float>(kMaxY + 1));
  lua_pushboolean(L, context && inside && context->teleport(x, height, z));
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

}  // namespace

void addWorldFunctions(lua_State* L) {
  const luaL_Reg functions[] = {{"get_block", apiGetBlock},
                                {"set_block", apiSetBlock},
                                {"message", apiMessage},
                                {"give", apiGive},
                                {"player_position", apiPlayerPosition},
                                {"teleport", apiTeleport},
                                {"spawn_drop", apiSpawnDrop},
                                {"is_host", apiIsHost},
                                {"log", apiLog},
                                {nullptr, nullptr}};
  luaL_setfuncs(L, functions, 0);
  lua_pushcfunction(L, sandboxPrint);
  lua_setglobal(L, "print");
}

}  // namespace zorv
