#pragma once
// Self-test checks of movement, mobs, drops, the inventory and crafting.

#include "checks/self_test.h"

namespace zorv {

struct World;

// Swimming out of a pool, and slimes facing creative and survival players.
void checkMovementAndMobBehaviour(CheckReport& report);
// The player box, landing, jumping and fall damage.
void checkPlayerPhysics(CheckReport& report);
// Model meshes, and slimes and pigs spawned around a land position of `world`.
void checkMobSpawning(CheckReport& report, World& world);
// Villagers in the villages around the origin and zombies in the dark.
void checkVillagersAndZombies(CheckReport& report, World& world);
void checkInventoryAndCrafting(CheckReport& report);
void checkDrops(CheckReport& report);

}  // namespace zorv
