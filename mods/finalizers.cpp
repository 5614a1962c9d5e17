#include "mods/finalizers.h"

// The C++ build of Lua: its functions have C++ linkage, so no extern "C" wrapper.
#include <lauxlib.h>
#include <lua.h>

#include <cstdio>

#include "mods/sandbox.h"

namespace zorv {
namespace {

// Registry keys: their addresses are unique.
const char kSentinels = 0;     // object -> sentinel, weak keys
const char kSentinelMeta = 0;  // the sentinels' metatable, {__gc = queueObject}
const char kPending = 0;       // objects whose finalizer is due, in order

// A sentinel's finalizer: its object is unreachable now, so its finalizer is due.
int queueObject(lua_State* L) {
  lua_rawgetp(L, LUA_REGISTRYINDEX, &kPending);
  lua_rawgeti(L, 1, 1);
  lua_rawseti(L, -2, static_cast<lua_Integer>(lua_rawlen(L, -2)) + 1);
  return 0;
}

void attachSentinel(lua_State* L, int object) {
  lua_rawgetp(L, LUA_REGISTRYINDEX, &kSentinels);
  lua_pushvalue(L, object);
  if (lua_rawget(L, -2) != LUA_TNIL) {  // finalized already through an earlier metatable
    lua_pop(L, 2);
    return;
  }
  lua_pop(L, 1);
  lua_pushvalue(L, object);
  lua_createtable(L, 1, 0);
  lua_pushvalue(L, object);
  lua_rawseti(L, -2, 1);
  lua_rawgetp(L, LUA_REGISTRYINDEX, &kSentinelMeta);
  lua_setmetatable(L, -2);
  lua_rawset(L, -3);
  lua_pop(L, 1);
}

void setGcField(lua_State* L, int metatable, int value) {
  lua_pushliteral(L, "__gc");
  if (value == 0)
    lua_pushnil(L);
  else
    lua_pushvalue(L, value);
  lua_rawset(L, metatable);
}

// setmetatable(t, mt) with the real function (upvalue 1); mt.__gc is hidden from it.
int finalizingSetmetatable(lua_State* L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  const int type = lua_type(L, 2);
  luaL_argexpected(L, type == LUA_TNIL || type == LUA_TTABLE, 2, "nil or table");
  lua_settop(L, 2);
  lua_pushliteral(L, "__gc");
  const bool finalized = type == LUA_TTABLE && lua_rawget(L, 2) != LUA_TNIL;  // slot 3: the finalizer
  if (finalized) setGcField(L, 2, 0);
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_pushvalue(L, 1);
  lua_pushvalue(L, 2);
  const int status = lua_pcall(L, 2, 1, 0);
  if (finalized) setGcField(L, 2, 3);
  if (status != LUA_OK) return lua_error(L);
  if (finalized) attachSentinel(L, 1);
  return 1;
}

void report(const ModRecord& mod, lua_State* L) {
  const char* text = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : "unknown error";
  std::fprintf(stderr, "[mod:%s] finalizer failed: %s\n", mod.id.c_str(), text);
}

}  // namespace

void installFinalizers(lua_State* L) {
  lua_newtable(L);
  lua_newtable(L);
  lua_pushliteral(L, "k");
  lua_setfield(L, -2, "__mode");
  lua_setmetatable(L, -2);
  lua_rawsetp(L, LUA_REGISTRYINDEX, &kSentinels);
  lua_newtable(L);
  lua_rawsetp(L, LUA_REGISTRYINDEX, &kPending);
  lua_newtable(L);
  lua_pushcfunction(L, queueObject);
  lua_setfield(L, -2, "__gc");
  lua_rawsetp(L, LUA_REGISTRYINDEX, &kSentinelMeta);

  lua_getglobal(L, "setmetatable");
  lua_pushcclosure(L, finalizingSetmetatable, 1);
  lua_setglobal(L, "setmetatable");
}

bool hasPendingFinalizers(lua_State* L) {
  lua_rawgetp(L, LUA_REGISTRYINDEX, &kPending);
  const bool pending = lua_rawlen(L, -1) > 0;
  lua_pop(L, 1);
  return pending;
}

int runPendingFinalizers(lua_State* L) {
  const ModRecord& mod = recordOf(L);
  lua_rawgetp(L, LUA_REGISTRYINDEX, &kPending);
  const int pending = lua_gettop(L);
  int failures = 0;
  // A finalizer starts only while half the budget is left, so that an ordinary one is
  // never cut short; the rest of the queue waits for the next call.
  for (auto count = static_cast<lua_Integer>(lua_rawlen(L, pending)); count > 0 && mod.budget > kCallBudget / 2;
       count = static_cast<lua_Integer>(lua_rawlen(L, pending))) {
    lua_rawgeti(L, pending, count);
    lua_pushnil(L);
    lua_rawseti(L, pending, count);  // taken off first: it runs once, whatever happens
    // The finalizer is whatever the metatable holds now, as Lua itself would look it up.
    if (!lua_getmetatable(L, -1) || (lua_pushliteral(L, "__gc"), lua_rawget(L, -2)) == LUA_TNIL) {
      lua_settop(L, pending);
      continue;
    }
    lua_rotate(L, pending + 1, 1);  // finalizer, object, metatable
    lua_pop(L, 1);
    if (lua_pcall(L, 1, 0, 0) != LUA_OK && failures++ == 0) report(mod, L);
    lua_settop(L, pending);
  }
  if (failures > 1) std::fprintf(stderr, "[mod:%s] %d more finalizers failed\n", mod.id.c_str(), failures - 1);
  return 0;
}

}  // namespace zorv
