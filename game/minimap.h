#pragma once
// The minimap's colours around the player.
#include "game/game_session.h"

namespace zorv {

void updateMinimap(GameSession& session);

}  // namespace zorv
