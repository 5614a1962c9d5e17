#pragma once
// zorv.register_block and zorv.register_command, and the global event registrations
// (on_block_break, on_block_place, on_tick, on_player_join, on_player_leave), each
// bounded per mod. Blocks are registered by their full id "modid:name".

struct lua_State;

namespace zorv {

// Adds register_block and register_command to the table on top of the stack.
void addRegistrationFunctions(lua_State* L);
// Sets the global on_* functions that register event handlers.
void installEventRegistrations(lua_State* L);

}  // namespace zorv
