#pragma once
// The instruction budget of one call into a mod: a count hook that charges every
// kBudgetHookInterval VM instructions, the charge for work done inside library functions,
// and the protected call every entry into a mod goes through.

#include <cstdint>

struct lua_State;

namespace zorv {

struct ModRecord;

// Takes one unit of the call's budget; once it is spent, raises (and keeps raising).
void spendBudget(lua_State* L);
// Work done inside library functions, counted in instructions: each kBudgetHookInterval
// of it takes one unit, the remainder carries over to the next charge.
void spendWork(lua_State* L, std::uint64_t instructions);

// Runs `body` with `data` as a protected call under a fresh budget, then the finalizers
// that came due meanwhile, under a budget of their own. Everything the call does
// (building its arguments included) is protected, so a memory error can never reach the
// panic handler. A failure is reported as "[mod:ID] ACTIVITY failed: TEXT"; false then.
bool protectedCall(ModRecord& mod, int (*body)(lua_State*), void* data, const char* activity);

}  // namespace zorv
