#pragma once
// zorv.get_block, set_block, message, give, player_position, teleport, spawn_drop,
// is_host and log, and the global print: what a mod asks of the game, all through its
// record's ModContext, with the number of edits and drops per call bounded.

struct lua_State;

namespace zorv {

// Adds those functions to the table on top of the stack and replaces the global print
// with one that writes a log line as zorv.log does.
void addWorldFunctions(lua_State* L);

}  // namespace zorv
