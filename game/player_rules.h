#pragma once
// The local player's step: movement, lava, regeneration, field of view, footsteps,
// villages, mob hits, then the host rules and streaming.
#include "game/game_session.h"

namespace zorv {

// One in-world step while Playing with chat and inventory closed.
void stepWorld(GameSession& session, float dt, const MovementKeys& keys);

// Teleports the player to the spawn point (/spawn, /kill, a fall into the void).
void returnToSpawn(GameSession& session);
// Moves the player without horizontal momentum and loads nothing: the player is held
// there (no gravity, no movement) by the next steps until the columns around them exist,
// then raised out of any blocks.
void teleportPlayer(GameSession& session, float x, float y, float z);

}  // namespace zorv
