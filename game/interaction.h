#pragma once
// What the player does to the world with the mouse: attack, mine, place, trade, and the
// mods' say over block changes.
#include "game/game_session.h"

namespace zorv {

bool allowBlockChange(GameSession& session, int x, int y, int z, BlockId block, bool isPlace);

// Attack, mine, place, trade and open a crafting table with the look ray's target.
void mouseActions(GameSession& session, float dt, const PickResult& target, const MouseButtons& buttons);

// Breaks the block at a cell: particles, air, re-mesh, torch support.
void breakBlock(GameSession& session, int x, int y, int z);

}  // namespace zorv
