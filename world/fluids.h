#pragma once
// Waking fluid cells after a change next to them; the timed fluid step uses the queues.

#include "world/world.h"

namespace zorv {

// Queues water cells on the water queue, lava cells on the lava queue and air cells on
// both, while fluids are enabled and the position is inside the world.
void wakeFluid(World& world, int x, int y, int z);
// wakeFluid at the position and its six neighbours (+x, −x, +y, −y, +z, −z).
void wakeAround(World& world, int x, int y, int z);

}  // namespace zorv
