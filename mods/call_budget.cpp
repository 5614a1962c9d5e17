#include "mods/call_budget.h"

// The C++ build of Lua: its functions have C++ linkage, so no extern "C" wrapper.
#include <lauxlib.h>
#include <lua.h>

#include <algorithm>
#include <cstdio>

#include "mods/finalizers.h"
#include "mods/sandbox.h"

namespace zorv {
namespace {

// Fires every kBudgetHookInterval instructions. Once the call's budget is spent the hook
// switches the running thread to fire on every instruction, so that each further
// instruction raises again: a pcall around an endless loop cannot swallow the stop.
void budgetHook(lua_State* L, lua_Debug*);

}  // namespace

void spendBudget(lua_State* L) {
  ModRecord& mod = recordOf(L);
  if (mod.budget > 0) --mod.budget;
  if (mod.budget > 0) return;
  lua_sethook(L, budgetHook, LUA_MASKCOUNT, 1);
  luaL_error(L, "instruction budget exceeded");
}

namespace {

void budgetHook(lua_State* L, lua_Debug*) {
  if (recordOf(L).budget > 0 && lua_gethookcount(L) == 1) {
    // A coroutine left in per-instruction mode by an earlier, exhausted call.
    lua_sethook(L, budgetHook, LUA_MASKCOUNT, kBudgetHookInterval);
    return;
  }
  spendBudget(L);
}

}  // namespace

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

namespace {

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

}  // namespace

bool protectedCall(ModRecord& mod, lua_CFunction body, void* data, const char* activity) {
  const bool ok = runProtected(mod, body, data, activity);
  if (hasPendingFinalizers(mod.lua)) runProtected(mod, runPendingFinalizers, nullptr, "finalizers");
  return ok;
}

}  // namespace zorv
