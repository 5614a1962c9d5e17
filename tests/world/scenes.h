#pragma once
// Hand-built scenes in empty columns for the movement, mob and drop tests.

#include "world/world.h"

namespace zorv::test {

// Loads empty (all air) columns covering the blocks from (x0, z0) to (x1, z1).
inline void loadEmptyArea(World& world, int x0, int z0, int x1, int z1) {
  for (int cz = chunkCoord(z0); cz <= chunkCoord(z1); ++cz) {
    for (int cx = chunkCoord(x0); cx <= chunkCoord(x1); ++cx) createEmptyColumn(world, cx, cz);
  }
}

// Sets every cell of the inclusive box to `id` without side effects.
inline void fillCells(World& world, int x0, int y0, int z0, int x1, int y1, int z1, BlockId id) {
  for (int y = y0; y <= y1; ++y) {
    for (int z = z0; z <= z1; ++z) {
      for (int x = x0; x <= x1; ++x) setBlockRaw(world, x, y, z, id);
    }
  }
}

}  // namespace zorv::test
