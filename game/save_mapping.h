#pragma once
// Between the session and its level file: what a save holds and how a loaded one is
// applied.
#include "game/game_session.h"
#include "persist/level_save.h"

namespace zorv {

// Reads the level file of the named world.
bool readSave(const std::string& name, LevelSave& save);
// False when the save holds no usable player record; the player then starts at the spawn.
bool loadPlayer(GameSession& session, const LevelSave& save);
// The saved mobs and drops, with fresh entity ids.
void loadEntities(GameSession& session, const LevelSave& save);
// Whether the session has a named world of its own to write.
bool canSaveWorld(const GameSession& session);
// The level file's content: the game's state now and every recorded edit.
LevelSave levelSaveOf(const GameSession& session);

}  // namespace zorv
