#include "world/world.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <system_error>

#include "persist/save_progress.h"
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
  forEachChunkShowing(x, y, z, [&](const ChunkKey& key) { world.remeshSet.insert(key); });
}

namespace {

using ColumnFluids = std::unordered_map<ColumnKey, std::vector<FluidEntry>, ColumnKeyHash>;

// The stored fluid levels of the given columns, grouped by column in one pass.
ColumnFluids fluidsOfColumns(const World& world, const std::unordered_set<ColumnKey, ColumnKeyHash>& columns) {
  ColumnFluids grouped;
  for (const auto& [key, level] : world.fluidLevels) {
    const int x = blockKeyX(key), y = blockKeyY(key), z = blockKeyZ(key);
    const ColumnKey column = columnOf(x, z);
    if (columns.count(column) != 0) grouped[column].push_back({x, y, z, level});
  }
  return grouped;
}

ColumnSnapshot copyColumn(const World& world, int cx, int cz, std::vector<FluidEntry> fluids) {
  ColumnSnapshot snapshot{cx, cz, std::vector<std::uint16_t>(kColumnCells, kAir), std::move(fluids)};
  for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) {
    const Chunk* chunk = findChunk(world, {cx, cy, cz});
    if (chunk == nullptr) continue;
    std::copy(chunk->blocks.begin(), chunk->blocks.end(), snapshot.blocks.begin() + (cy - kMinChunkY) * kChunkCells);
  }
  return snapshot;
}

bool isClean(const World& world, const ColumnKey& column) {
  return world.knownColumns.count(column) != 0 && world.dirtyColumns.count(column) == 0;
}

// Copies the loaded columns that are not clean into the pending map. A pending snapshot of
// a loaded column can only be left over from a failed flush, so the live copy replaces it.
void stageColumns(World& world, const std::vector<ColumnKey>& columns) {
  std::unordered_set<ColumnKey, ColumnKeyHash> staged;
  for (const ColumnKey& column : columns) {
    if (!isClean(world, column)) staged.insert(column);
  }
  if (staged.empty()) return;
  ColumnFluids fluids = fluidsOfColumns(world, staged);
  for (const ColumnKey& column : staged) {
    world.pendingColumns[column] = copyColumn(world, column.cx, column.cz, std::move(fluids[column]));
  }
}

std::vector<ColumnKey> loadedColumns(const World& world) {
  std::vector<ColumnKey> columns;
  for (const auto& [key, chunk] : world.chunks) {
    if (key.cy == 0) columns.push_back({key.cx, key.cz});
  }
  return columns;
}

// Stages the loaded columns that are not clean and takes every pending snapshot out,
// grouped by region in ascending (rx, rz). The staged columns lose their dirty mark, so a
// change made while they are written marks them again for the next flush.
std::vector<std::vector<ColumnSnapshot>> takeStagedColumns(World& world) {
  if (world.saveFolder.empty()) {
    world.pendingColumns.clear();
    world.dirtyColumns.clear();
    return {};
  }
  stageColumns(world, loadedColumns(world));
  std::map<std::pair<int, int>, std::vector<ColumnSnapshot>> byRegion;
  for (auto& [column, snapshot] : world.pendingColumns) {
    world.dirtyColumns.erase(column);
    byRegion[{regionCoord(column.cx), regionCoord(column.cz)}].push_back(std::move(snapshot));
  }
  world.pendingColumns.clear();
  std::vector<std::vector<ColumnSnapshot>> regions;
  for (auto& [region, snapshots] : byRegion) regions.push_back(std::move(snapshots));
  return regions;
}

std::size_t stagedCount(const std::vector<std::vector<ColumnSnapshot>>& regions) {
  std::size_t count = 0;
  for (const auto& snapshots : regions) count += snapshots.size();
  return count;
}

// Merges each region's snapshots into its file (a region that fails does not stop the
// others), then runs `level` (the level file). The level file goes last so that it is
// never ahead of the region files; while they may be ahead of it, a marker in the folder
// says so, and it goes only once everything was written and no column of an earlier cut-off
// save is left to correct (`staleLeft`). Touches no world state: it may run on another thread.
ColumnWriteResult writeStagedColumns(const std::filesystem::path& folder,
                                     const std::vector<std::vector<ColumnSnapshot>>& regions,
                                     const std::function<bool()>& level, bool staleLeft) {
  ColumnWriteResult result;
  // Without the marker a cut-off save could not be told apart later: nothing is written.
  const bool marked = !level || regions.empty() || markSaveUnfinished(folder);
  for (const auto& snapshots : regions) {
    if (!marked || !flushColumnsTo(folder, snapshots)) continue;
    for (const ColumnSnapshot& snapshot : snapshots) result.written.push_back({snapshot.cx, snapshot.cz});
  }
  result.regionsWritten = result.written.size() == stagedCount(regions);
  if (!level) return result;
  if (const auto& pause = betweenSaveWritesHook()) pause();
  result.levelWritten = level();
  if (result.levelWritten && result.regionsWritten && !staleLeft) markSaveFinished(folder);
  return result;
}

// Written columns match their files now. An unwritten snapshot goes back to pending for
// the next flush unless a newer one of the column was staged meanwhile.
void applyWriteResult(World& world, const std::vector<std::vector<ColumnSnapshot>>& regions,
                      const ColumnWriteResult& result) {
  const std::unordered_set<ColumnKey, ColumnKeyHash> written(result.written.begin(), result.written.end());
  for (const auto& snapshots : regions) {
    for (const ColumnSnapshot& snapshot : snapshots) {
      const ColumnKey column{snapshot.cx, snapshot.cz};
      if (written.count(column) != 0) {
        world.knownColumns.insert(column);
      } else {
        world.pendingColumns.try_emplace(column, snapshot);
      }
    }
  }
}

// The snapshot of a column that a background flush is writing; null when it holds none.
const ColumnSnapshot* columnBeingWritten(const World& world, int cx, int cz) {
  if (!world.backgroundFlush.regions) return nullptr;
  for (const auto& snapshots : *world.backgroundFlush.regions) {
    for (const ColumnSnapshot& snapshot : snapshots) {
      if (snapshot.cx == cx && snapshot.cz == cz) return &snapshot;
    }
  }
  return nullptr;
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

void storeEdit(World& world, int x, int y, int z, BlockId id) {
  setBlockRaw(world, x, y, z, id);
  recordEdit(world, x, y, z, id);
  const BlockKey key = packBlockKey(x, y, z);
  world.fluidLevels.erase(key);
  if (world.captureEnabled) world.captureSet.insert(key);
}

void setBlock(World& world, int x, int y, int z, BlockId id) {
  if (!inWorldBounds(x, y, z)) return;
  storeEdit(world, x, y, z, id);
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

bool isColumnInWorld(int cx, int cz) {
  constexpr int kLimit = chunkCoord(kWorldLimit);
  return cx >= -kLimit - 1 && cx <= kLimit && cz >= -kLimit - 1 && cz <= kLimit;
}

void ensureColumn(World& world, int cx, int cz) {
  if (!isColumnInWorld(cx, cz) || isColumnLoaded(world, cx, cz)) return;
  if (loadStoredColumn(world, cx, cz)) return;
  generateColumn(world, cx, cz);
  // The region file may hold changes its level file never listed: the column comes from
  // the seed and the edit record instead, and its entry is replaced at the next save.
  if (world.staleColumns.erase({cx, cz}) != 0) world.dirtyColumns.insert({cx, cz});
}

void ensureColumnsAround(World& world, int x, int z, int radius) {
  const int cx0 = chunkCoord(x), cz0 = chunkCoord(z);
  for (int cz = cz0 - radius; cz <= cz0 + radius; ++cz) {
    for (int cx = cx0 - radius; cx <= cx0 + radius; ++cx) ensureColumn(world, cx, cz);
  }
}

void unloadFar(World& world, int cx0, int cz0, int radius) {
  const ColumnKey centre{cx0, cz0};
  unloadFarFromAll(world, {&centre, 1}, radius);
}

void unloadFarFromAll(World& world, std::span<const ColumnKey> centres, int radius) {
  const auto near = [&](const ChunkKey& key) {
    return std::any_of(centres.begin(), centres.end(), [&](const ColumnKey& centre) {
      return std::abs(key.cx - centre.cx) <= radius && std::abs(key.cz - centre.cz) <= radius;
    });
  };
  std::vector<ColumnKey> dropped;
  for (const auto& [key, chunk] : world.chunks) {
    if (key.cy == 0 && !near(key)) dropped.push_back({key.cx, key.cz});
  }
  if (!world.saveFolder.empty()) stageColumns(world, dropped);
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

bool replayColumnEdits(World& world, int cx, int cz) {
  auto found = world.columnEdits.find({cx, cz});
  if (found == world.columnEdits.end()) return false;
  bool changed = false;
  for (BlockKey key : found->second) {
    const int x = blockKeyX(key), y = blockKeyY(key), z = blockKeyZ(key);
    const BlockId id = world.edits[key];
    changed = changed || getBlock(world, x, y, z) != id;
    storeBlock(world, x, y, z, id);
  }
  return changed;
}

void setSaveFolder(World& world, const std::filesystem::path& folder) {
  world.saveFolder = folder;
  world.staleColumns.clear();
  if (folder.empty()) return;
  removeLeftoverTemporaries(folder);
  if (!saveWasUnfinished(folder)) return;
  for (const auto& [cx, cz] : storedColumnsIn(folder)) world.staleColumns.insert({cx, cz});
}

std::function<void()>& betweenSaveWritesHook() {
  static std::function<void()> hook;
  return hook;
}

bool loadStoredColumn(World& world, int cx, int cz) {
  if (world.saveFolder.empty()) return false;
  // Unwritten data first: pending snapshots, then those a background flush is writing,
  // whose file may not hold them yet. Either leaves the column dirty.
  ColumnSnapshot snapshot;
  const auto pending = world.pendingColumns.find({cx, cz});
  const ColumnSnapshot* beingWritten =
      pending == world.pendingColumns.end() ? columnBeingWritten(world, cx, cz) : nullptr;
  const bool fromPending = pending != world.pendingColumns.end() || beingWritten != nullptr;
  if (pending != world.pendingColumns.end()) {
    snapshot = std::move(pending->second);
    world.pendingColumns.erase(pending);
  } else if (beingWritten != nullptr) {
    snapshot = *beingWritten;
  } else if (world.staleColumns.count({cx, cz}) != 0 || !loadColumnFrom(world.saveFolder, cx, cz, snapshot)) {
    return false;
  }
  createEmptyColumn(world, cx, cz);
  const std::size_t blockCount = blockRegistry().count();
  const std::size_t stored = std::min<std::size_t>(snapshot.blocks.size(), kColumnCells);
  for (std::size_t i = 0; i < stored; ++i) {
    const int cy = static_cast<int>(i / kChunkCells) + kMinChunkY;
    const BlockId id = snapshot.blocks[i] < blockCount ? snapshot.blocks[i] : kAir;
    world.chunks[{cx, cy, cz}]->blocks[i % kChunkCells] = id;
  }
  for (const FluidEntry& fluid : snapshot.fluidLevels) {
    // Entries outside the column or the world can only come from a damaged file; an
    // edited cell keeps the level recorded with its edit.
    if (!inWorldBounds(fluid.x, fluid.y, fluid.z) || !(columnOf(fluid.x, fluid.z) == ColumnKey{cx, cz})) continue;
    const BlockKey key = packBlockKey(fluid.x, fluid.y, fluid.z);
    if (world.edits.count(key) == 0) world.fluidLevels[key] = fluid.level;
  }
  world.knownColumns.insert({cx, cz});
  // The edit record wins over the stored snapshot, which an interrupted save or a failed
  // region write may have left behind it; a corrected column is written again.
  if (fromPending || replayColumnEdits(world, cx, cz)) {
    world.dirtyColumns.insert({cx, cz});
  } else {
    world.dirtyColumns.erase({cx, cz});
  }
  queueRelightAround(world, cx, cz);
  return true;
}

BlockId blockAnywhere(World& world, int x, int y, int z) {
  if (!inWorldBounds(x, y, z)) return kAir;
  const ColumnKey column = columnOf(x, z);
  if (isColumnLoaded(world, column.cx, column.cz)) return getBlock(world, x, y, z);
  if (const auto edited = world.edits.find(packBlockKey(x, y, z)); edited != world.edits.end()) return edited->second;
  if (const auto pending = world.pendingColumns.find(column); pending != world.pendingColumns.end()) {
    const std::size_t index = static_cast<std::size_t>((y - kMinY) * kChunkSize * kChunkSize) +
                              static_cast<std::size_t>(localCoord(z) * kChunkSize + localCoord(x));
    const auto& blocks = pending->second.blocks;
    return index < blocks.size() && blocks[index] < blockRegistry().count() ? blocks[index] : kAir;
  }
  ensureColumn(world, column.cx, column.cz);
  const BlockId id = getBlock(world, x, y, z);
  // Unloaded again as any far column is: a correction made while loading stays pending.
  if (!world.saveFolder.empty()) stageColumns(world, {column});
  for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) world.chunks.erase({column.cx, cy, column.cz});
  return id;
}

ColumnSnapshot snapshotColumn(const World& world, int cx, int cz) {
  ColumnFluids fluids = fluidsOfColumns(world, {{cx, cz}});
  return copyColumn(world, cx, cz, std::move(fluids[{cx, cz}]));
}

bool flush(World& world, const std::function<bool()>& level) {
  finishBackgroundFlush(world, true);
  const auto regions = takeStagedColumns(world);
  const ColumnWriteResult result = writeStagedColumns(world.saveFolder, regions, level, !world.staleColumns.empty());
  applyWriteResult(world, regions, result);
  return result.regionsWritten && result.levelWritten;
}

void startBackgroundFlush(World& world, std::function<bool()> level) {
  finishBackgroundFlush(world, true);
  auto regions = std::make_shared<const std::vector<std::vector<ColumnSnapshot>>>(takeStagedColumns(world));
  auto write = [regions, folder = world.saveFolder, level = std::move(level), staleLeft = !world.staleColumns.empty()] {
    return writeStagedColumns(folder, *regions, level, staleLeft);
  };
  world.backgroundFlush.regions = regions;
  try {
    world.backgroundFlush.result = std::async(std::launch::async, write);
  } catch (const std::system_error&) {
    world.backgroundFlush.result = std::async(std::launch::deferred, write);  // no thread: write when collected
  }
}

bool backgroundFlushRunning(const World& world) { return world.backgroundFlush.result.valid(); }

std::optional<ColumnWriteResult> finishBackgroundFlush(World& world, bool wait) {
  ColumnWriteJob& job = world.backgroundFlush;
  if (!job.result.valid()) return std::nullopt;
  if (!wait && job.result.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return std::nullopt;
  ColumnWriteResult result = job.result.get();
  applyWriteResult(world, *job.regions, result);
  job.regions.reset();
  return result;
}

std::vector<SavedEdit> savedEdits(const World& world) {
  std::vector<SavedEdit> saved;
  saved.reserve(world.edits.size());
  for (const auto& [key, id] : world.edits) {
    const auto level = world.fluidLevels.find(key);
    saved.push_back({blockKeyX(key), blockKeyY(key), blockKeyZ(key), id,
                     level == world.fluidLevels.end() ? kNoFluidLevel : level->second});
  }
  return saved;
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
