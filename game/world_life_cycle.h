#pragma once
// A played world's life: finding the spawn, creating, loading, saving and leaving it,
// and resetting the player.
#include "game/game_session.h"

namespace zorv {

Vec3 findSpawnPoint(World& world);

void createWorld(GameSession& session, std::uint32_t seed, const std::string& name);

bool loadWorld(GameSession& session, const std::string& name);

bool saveWorld(GameSession& session);

// The autosave: the same state is written on another thread while the game goes on; the
// next step that finds it done applies it to the world.
void saveWorldInBackground(GameSession& session);

void leaveWorld(GameSession& session);


void respawnPlayer(GameSession& session);

// Stops hosting or disconnects; the role becomes Offline.
void stopNetworking(GameSession& session);

// Saves, refreshes the world list and says "Saved <name>" or "Could not save <name>".
bool saveAndReport(GameSession& session);
// Forgets the played world: the view's meshes, the world itself, and the other players
// and entities in it.
void dropWorld(GameSession& session);
// Moves the player up until the body is free of blocks (at most to 8 above the world).
void raiseOutOfBlocks(const World& world, PlayerBody& player);
// The player at the start pose with full health; the look sensitivity is kept.
void resetPlayer(PlayerBody& player);
// Adds a stack to the inventory; what does not fit is dropped at the player's feet.
void returnStack(GameSession& session, const ItemStack& stack);
// Puts the cursor stack and then the crafting grid back into the inventory.
void returnHeldStacks(GameSession& session);

}  // namespace zorv
