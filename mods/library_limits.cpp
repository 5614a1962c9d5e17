#include "mods/library_limits.h"

// The C++ build of Lua: its functions have C++ linkage, so no extern "C" wrapper.
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <limits>

#include "mods/sandbox.h"

namespace zorv {
namespace {

WorkCharge chargeWork = nullptr;  // the same for every state; set on installation

constexpr std::uint64_t kUnbounded = std::numeric_limits<std::uint64_t>::max();
// table.unpack refuses more results than a stack holds before doing any work.
constexpr std::uint64_t kMostResults = 1000000;

// Elements from `first` to `last` inclusive, saturating.
std::uint64_t spanCount(lua_Integer first, lua_Integer last) {
  if (last < first) return 0;
  const std::uint64_t gap = static_cast<std::uint64_t>(last) - static_cast<std::uint64_t>(first);
  return gap == kUnbounded ? kUnbounded : gap + 1;
}

std::uint64_t saturatingProduct(std::uint64_t a, std::uint64_t b) {
  if (a != 0 && b > kUnbounded / a) return kUnbounded;
  return a * b;
}

// An integer argument, `fallback` when absent; false when it is neither (the real
// function then raises its own error).
bool integerArgument(lua_State* L, int index, lua_Integer fallback, lua_Integer& value) {
  if (lua_isnoneornil(L, index)) {
    value = fallback;
    return true;
  }
  int isInteger = 0;
  value = lua_tointegerx(L, index, &isInteger);
  return isInteger != 0;
}

// The length of the table argument (its __len honoured); false for anything else.
bool tableLength(lua_State* L, int index, lua_Integer& length) {
  if (lua_type(L, index) != LUA_TTABLE) return false;
  length = luaL_len(L, index);
  return true;
}

// Elements from argument `firstIndex` (default 1) to `lastIndex` (default #list).
std::uint64_t rangeCost(lua_State* L, int firstIndex, int lastIndex) {
  lua_Integer length = 0, first = 0, last = 0;
  if (lua_isnoneornil(L, lastIndex) && !tableLength(L, 1, length)) return 0;
  if (!integerArgument(L, firstIndex, 1, first) || !integerArgument(L, lastIndex, length, last)) return 0;
  return spanCount(first, last);
}

std::uint64_t moveCost(lua_State* L) {
  lua_Integer first = 0, last = 0;
  if (!integerArgument(L, 2, 0, first) || !integerArgument(L, 3, 0, last)) return 0;
  return spanCount(first, last);
}

std::uint64_t concatCost(lua_State* L) { return rangeCost(L, 3, 4); }

std::uint64_t unpackCost(lua_State* L) {
  const std::uint64_t count = rangeCost(L, 2, 3);
  return count > kMostResults ? 0 : count;
}

// Inserting or removing at `position` shifts the elements after it.
std::uint64_t shiftCost(lua_State* L, int positionIndex) {
  lua_Integer length = 0, position = 0;
  if (lua_gettop(L) < positionIndex || !tableLength(L, 1, length)) return 0;
  if (!integerArgument(L, positionIndex, length, position)) return 0;
  return spanCount(position, length);
}

std::uint64_t insertCost(lua_State* L) { return lua_gettop(L) == 3 ? shiftCost(L, 2) : 0; }
std::uint64_t removeCost(lua_State* L) { return shiftCost(L, 2); }

// Comparisons in C run several times faster than VM instructions: a sort is charged one
// instruction per element, which still bounds the arrays a mod's memory can hold.
std::uint64_t sortCost(lua_State* L) {
  lua_Integer length = 0;
  if (!tableLength(L, 1, length) || length < 2) return 0;
  return static_cast<std::uint64_t>(length);
}

std::uint64_t repCost(lua_State* L) {
  std::size_t length = 0, separator = 0;
  lua_Integer count = 0;
  if (!lua_isstring(L, 1) || !integerArgument(L, 2, 0, count) || count <= 0) return 0;
  lua_tolstring(L, 1, &length);
  if (lua_isstring(L, 3)) lua_tolstring(L, 3, &separator);
  // A result larger than a mod may hold fails to allocate before any copying.
  const std::uint64_t bytes = saturatingProduct(length + separator, static_cast<std::uint64_t>(count));
  return bytes > kModMemoryLimit ? 0 : bytes / kBytesPerInstruction;
}

// Calls the real function (upvalue 1) with every argument and returns all it returns.
int forward(lua_State* L) {
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
  return lua_gettop(L);
}

template <std::uint64_t (*Cost)(lua_State*)>
int charged(lua_State* L) {
  const std::uint64_t cost = Cost(L);
  if (cost > 0 && chargeWork) chargeWork(L, cost);
  return forward(L);
}

// Repeating nothing answers at once: the library would copy nothing n times, and
// string.rep('', math.maxinteger) would spin for years.
int chargedRep(lua_State* L) {
  std::size_t length = 0, separator = 0;
  luaL_checklstring(L, 1, &length);
  luaL_checkinteger(L, 2);
  luaL_optlstring(L, 3, "", &separator);
  if (length + separator == 0) {
    lua_pushliteral(L, "");
    return 1;
  }
  return charged<repCost>(L);
}

void wrap(lua_State* L, const char* library, const luaL_Reg* functions) {
  lua_getglobal(L, library);
  for (const luaL_Reg* function = functions; function->name; ++function) {
    lua_getfield(L, -1, function->name);
    lua_pushcclosure(L, function->func, 1);
    lua_setfield(L, -2, function->name);
  }
  lua_pop(L, 1);
}

}  // namespace

void installLibraryLimits(lua_State* L, WorkCharge charge) {
  chargeWork = charge;
  static const luaL_Reg tableFunctions[] = {{"move", charged<moveCost>},     {"concat", charged<concatCost>},
                                            {"unpack", charged<unpackCost>}, {"insert", charged<insertCost>},
                                            {"remove", charged<removeCost>}, {"sort", charged<sortCost>},
                                            {nullptr, nullptr}};
  static const luaL_Reg stringFunctions[] = {{"rep", chargedRep}, {nullptr, nullptr}};
  wrap(L, LUA_TABLIBNAME, tableFunctions);
  wrap(L, LUA_STRLIBNAME, stringFunctions);
}

}  // namespace zorv
