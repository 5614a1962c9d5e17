#pragma once
// Water and lava: a block change wakes the fluid cells around it, and the timed step
// recomputes each woken cell's whole connected fluid body at once. A fluid cell is the
// block plus a level in the world's fluid-level map: no entry is a source, levels
// 1..7 (water) or 1..3 (lava) are flowing cells at that distance from a source.

#include "world/world.h"

namespace zorv {

constexpr float kWaterStepInterval = 0.15f;
constexpr float kLavaStepInterval = 0.7f;
constexpr int kWaterCellsPerStep = 32;
constexpr int kLavaCellsPerStep = 16;
constexpr int kMaxWaterLevel = 7;
constexpr int kMaxLavaLevel = 3;
// Most cells one body update visits; the rest of a larger body waits for a later update.
constexpr std::size_t kMaxFluidBodyCells = 20000;

// Queues water cells on the water queue, lava cells on the lava queue and air cells on
// both, while fluids are enabled and the position is inside the world.
void wakeFluid(World& world, int x, int y, int z);
// wakeFluid at the position and its six neighbours (+x, −x, +y, −y, +z, −z).
void wakeAround(World& world, int x, int y, int z);

// Advances both fluid clocks by `dt` seconds; each fluid whose interval elapsed updates
// the bodies of the cells taken from its queue.
void fluidStep(World& world, float dt);
// Updates the body of the fluid in this cell, or for an air cell the water and the lava
// bodies next to it. Other blocks are left alone.
void updateFluidAt(World& world, int x, int y, int z);

}  // namespace zorv
