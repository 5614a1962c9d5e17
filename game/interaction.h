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

// Drops one `item` at the centre of a cell and gives it an entity id.
void dropAtCell(GameSession& session, int x, int y, int z, std::uint16_t item);

// A torch needs the block below it: removes one standing on the cell (x, y, z), dropping
// it as an item when `dropIt`. Returns whether there was one.
bool removeTorchAbove(GameSession& session, int x, int y, int z, bool dropIt);

}  // namespace zorv
