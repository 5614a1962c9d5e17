#include "world/fluids.h"

namespace zorv {

void wakeFluid(World& world, int x, int y, int z) {
  if (!world.fluidsEnabled || !inWorldBounds(x, y, z)) return;
  const BlockId id = getBlock(world, x, y, z);
  const BlockKey key = packBlockKey(x, y, z);
  if (id == blocks::Water || id == kAir) world.waterQueue.push(key);
  if (id == blocks::Lava || id == kAir) world.lavaQueue.push(key);
}

void wakeAround(World& world, int x, int y, int z) {
  wakeFluid(world, x, y, z);
  wakeFluid(world, x + 1, y, z);
  wakeFluid(world, x - 1, y, z);
  wakeFluid(world, x, y + 1, z);
  wakeFluid(world, x, y - 1, z);
  wakeFluid(world, x, y, z + 1);
  wakeFluid(world, x, y, z - 1);
}

}  // namespace zorv
