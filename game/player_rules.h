#pragma once
// The local player's step: movement, lava, regeneration, field of view, footsteps,
// villages, mob hits, then the host rules and streaming.
#include "game/game_session.h"

namespace zorv {

// One in-world step while Playing with chat and inventory closed.
void stepWorld(GameSession& session, float dt, const MovementKeys& keys);

// Puts the player at the spawn point without horizontal momentum (/spawn, /kill, a fall
// into the void).
void returnToSpawn(GameSession& session);
// Moves the player without horizontal momentum and makes the columns within 2 chunks
// present (when there is a world).
void teleportPlayer(GameSession& session, float x, float y, float z);

}  // namespace zorv
