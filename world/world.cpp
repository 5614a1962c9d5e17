#include "world/world.h"

#include <cstdlib>

#include "world/fluids.h"
#include "world/registry.h"
#include "world/terrain.h"
#include "world/villages.h"

namespace zorv {
namespace {

ColumnKey columnOf(int x, int z) { return {chunkCoord(x), chunkCoord(z)}; }

// Stores an id into a loaded chunk; false when the chunk is absent.
bool storeBlock(World& world, int x, int y, int z, BlockId id) {
  Chunk* chunk = findChunk(world, {chunkCoord(x), chunkCoord(y), chunkCoord(z)});
  if (chunk == nullptr) return false;
  chunk->blocks[chunkIndex(localCoord(x), localCoord(y), localCoord(z))] = id;
  return true;
}

void recordEdit(World& world, int x, int y, int z, BlockId id) {
  const BlockKey key = packBlockKey(x, y, z);
  if (world.edits.insert_or_assign(key, id).second) world.columnEdits[columnOf(x, z)].push_back(key);
}

}  // namespace

void queueRemeshAround(World& world, int x, int y, int z) {
  const int cx = chunkCoord(x), cy = chunkCoord(y), cz = chunkCoord(z);
  const int lx = localCoord(x), ly = localCoord(y), lz = localCoord(z);
  world.remeshSet.insert({cx, cy, cz});
  if (lx == 0) world.remeshSet.insert({cx - 1, cy, cz});
  if (lx == kChunkSize - 1) world.remeshSet.insert({cx + 1, cy, cz});
  if (ly == 0 && cy > kMinChunkY) world.remeshSet.insert({cx, cy - 1, cz});
  if (ly == kChunkSize - 1 && cy < kMaxChunkY) world.remeshSet.insert({cx, cy + 1, cz});
  if (lz == 0) world.remeshSet.insert({cx, cy, cz - 1});
  if (lz == kChunkSize - 1) world.remeshSet.insert({cx, cy, cz + 1});
}

namespace {

bool loadStoredColumn(World&, int, int) {
  // Worlds are not bound to a save folder yet, so there is never stored column data.
  return false;
}

}  // namespace

World::World(std::int32_t worldSeed) : seed(worldSeed) {
  relightScratch.sky.assign(kColumnCells, 0);
  relightScratch.block.assign(kColumnCells, 0);
  relightScratch.opacity.assign(kColumnCells, 0);
  villageSites.push_back(findSpawnVillage(seed));
}

Chunk* findChunk(World& world, const ChunkKey& key) {
  auto found = world.chunks.find(key);
  return found == world.chunks.end() ? nullptr : found->second.get();
}

const Chunk* findChunk(const World& world, const ChunkKey& key) {
  auto found = world.chunks.find(key);
  return found == world.chunks.end() ? nullptr : found->second.get();
}

BlockId getBlock(const World& world, int x, int y, int z) {
  if (!inWorldBounds(x, y, z)) return kAir;
  const Chunk* chunk = findChunk(world, {chunkCoord(x), chunkCoord(y), chunkCoord(z)});
  return chunk == nullptr ? kAir : chunk->blocks[chunkIndex(localCoord(x), localCoord(y), localCoord(z))];
}

int skyLight(const World& world, int x, int y, int z) {
  if (y > kMaxY) return 15;
  if (y < kMinY) return 0;
  if (!inWorldBounds(x, y, z)) return 15;
  const Chunk* chunk = findChunk(world, {chunkCoord(x), chunkCoord(y), chunkCoord(z)});
  return chunk == nullptr ? 15 : chunk->sky[chunkIndex(localCoord(x), localCoord(y), localCoord(z))];
}

int blockLight(const World& world, int x, int y, int z) {
  if (!inWorldBounds(x, y, z)) return 0;
  const Chunk* chunk = findChunk(world, {chunkCoord(x), chunkCoord(y), chunkCoord(z)});
  return chunk == nullptr ? 0 : chunk->blockLight[chunkIndex(localCoord(x), localCoord(y), localCoord(z))];
}

std::uint8_t fluidLevel(const World& world, int x, int y, int z) {
  if (!inWorldBounds(x, y, z)) return 0;
  auto found = world.fluidLevels.find(packBlockKey(x, y, z));
  return found == world.fluidLevels.end() ? 0 : found->second;
}

void setBlockRaw(World& world, int x, int y, int z, BlockId id) {
  if (!inWorldBounds(x, y, z)) return;
  const ColumnKey column = columnOf(x, z);
  if (world.generating && (column.cx != world.generatingCx || column.cz != world.generatingCz)) return;
  ensureColumn(world, column.cx, column.cz);
  storeBlock(world, x, y, z, id);
}

void setBlock(World& world, int x, int y, int z, BlockId id) {
  if (!inWorldBounds(x, y, z)) return;
  setBlockRaw(world, x, y, z, id);
  recordEdit(world, x, y, z, id);
  const BlockKey key = packBlockKey(x, y, z);
  world.fluidLevels.erase(key);
  if (world.captureEnabled) world.captureSet.insert(key);
  const ColumnKey column = columnOf(x, z);
  world.dirtyColumns.insert(column);
  queueRelight(world, column.cx, column.cz);
  queueRemeshAround(world, x, y, z);
  wakeAround(world, x, y, z);
}

void applySavedEdit(World& world, int x, int y, int z, BlockId id, int level) {
  if (!inWorldBounds(x, y, z)) return;
  const BlockRegistry& registry = blockRegistry();
  if (id >= registry.count()) id = kAir;
  recordEdit(world, x, y, z, id);
  const BlockKey key = packBlockKey(x, y, z);
  const bool fluid = registry.get(id).fluid;
  if (level != -1 && fluid) {
    world.fluidLevels[key] = static_cast<std::uint8_t>(level);
  } else {
    world.fluidLevels.erase(key);
  }
  if (!storeBlock(world, x, y, z, id)) return;  // replayed when the column comes back
  if (fluid) wakeAround(world, x, y, z);
  queueRelight(world, chunkCoord(x), chunkCoord(z));
}

bool isColumnLoaded(const World& world, int cx, int cz) { return findChunk(world, {cx, 0, cz}) != nullptr; }

void ensureColumn(World& world, int cx, int cz) {
  if (isColumnLoaded(world, cx, cz)) return;
  if (loadStoredColumn(world, cx, cz)) return;
  generateColumn(world, cx, cz);
}

void ensureColumnsAround(World& world, int x, int z, int radius) {
  const int cx0 = chunkCoord(x), cz0 = chunkCoord(z);
  for (int cz = cz0 - radius; cz <= cz0 + radius; ++cz) {
    for (int cx = cx0 - radius; cx <= cx0 + radius; ++cx) ensureColumn(world, cx, cz);
  }
}

void unloadFar(World& world, int cx0, int cz0, int radius) {
  std::vector<ColumnKey> dropped;
  for (const auto& [key, chunk] : world.chunks) {
    if (key.cy == 0 && (std::abs(key.cx - cx0) > radius || std::abs(key.cz - cz0) > radius)) {
      dropped.push_back({key.cx, key.cz});
    }
  }
  for (const ColumnKey& column : dropped) {
    for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) world.chunks.erase({column.cx, cy, column.cz});
  }
}

void createEmptyColumn(World& world, int cx, int cz) {
  for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) world.chunks[{cx, cy, cz}] = std::make_unique<Chunk>();
}

void queueRelight(World& world, int cx, int cz) { world.relightQueue.push(packRelightColumn(cx, cz)); }

void queueRelightAround(World& world, int cx, int cz) {
  queueRelight(world, cx, cz);
  queueRelight(world, cx - 1, cz);
  queueRelight(world, cx + 1, cz);
  queueRelight(world, cx, cz - 1);
  queueRelight(world, cx, cz + 1);
}

void replayColumnEdits(World& world, int cx, int cz) {
  auto found = world.columnEdits.find({cx, cz});
  if (found == world.columnEdits.end()) return;
  for (BlockKey key : found->second) {
    storeBlock(world, blockKeyX(key), blockKeyY(key), blockKeyZ(key), world.edits[key]);
  }
}

void setFluidsEnabled(World& world, bool enabled) {
  world.fluidsEnabled = enabled;
  if (!enabled) {
    world.waterQueue.clear();
    world.lavaQueue.clear();
  }
}

void setCaptureEnabled(World& world, bool enabled) { world.captureEnabled = enabled; }

std::vector<CapturedBlock> takeCapture(World& world) {
  std::vector<CapturedBlock> captured;
  captured.reserve(world.captureSet.size());
  for (BlockKey key : world.captureSet) {
    const int x = blockKeyX(key), y = blockKeyY(key), z = blockKeyZ(key);
    captured.push_back({x, y, z, getBlock(world, x, y, z)});
  }
  world.captureSet.clear();
  return captured;
}

}  // namespace zorv
