#pragma once
// The local player's step: movement, lava, regeneration, field of view, footsteps,
// villages, mob hits, then the host rules and streaming.
#include "game/game_session.h"

namespace zorv {

// One in-world step while Playing with chat and inventory closed.
void stepWorld(GameSession& session, float dt, const MovementKeys& keys);

}  // namespace zorv
