#pragma once
// __gc metamethods for mods, run under the instruction budget. Lua runs finalizers with
// hooks switched off, so a mod's finalizer must never be the one Lua calls: setmetatable
// hides the __gc field from Lua for the moment the metatable is set (the object is
// then never marked for finalization) and ties the object to a sentinel whose own C
// finalizer only queues it. The queue is run after each call into the mod, under one
// call's budget; what the budget does not cover waits for the next call. Each object's
// finalizer runs once; objects still alive when the mod is unloaded are not finalized.

struct lua_State;

namespace zorv {

// Replaces the global setmetatable.
void installFinalizers(lua_State* L);

bool hasPendingFinalizers(lua_State* L);

// Protected-call body: runs queued finalizers until none is left or half the budget is spent.
// A failing finalizer is reported once (the first of a run by its text, the others counted).
int runPendingFinalizers(lua_State* L);

}  // namespace zorv
