#pragma once
// The open world: loaded chunks, the record of edits, fluid levels, light, and the
// queues that tell lighting, meshing, fluids and network sync what changed.
// Out-of-range reads give air and out-of-range writes are dropped; nothing throws.

#include <array>
#include <bitset>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "persist/level_save.h"
#include "persist/region_file.h"
#include "world/types.h"

namespace zorv {

// What writing a batch of columns achieved: the columns whose region file was written and
// the result of the work run after them (the level file).
struct ColumnWriteResult {
  bool regionsWritten = true;  // every staged column
  bool levelWritten = true;
  std::vector<ColumnKey> written;
};

// A flush running on another thread. The staged snapshots, grouped by region, are read by
// both threads and changed by neither; they stay readable until the result is applied.
struct ColumnWriteJob {
  std::shared_ptr<const std::vector<std::vector<ColumnSnapshot>>> regions;
  std::future<ColumnWriteResult> result;
};

struct Chunk {
  std::array<BlockId, kChunkCells> blocks{};
  std::array<std::uint8_t, kChunkCells> sky{};
  std::array<std::uint8_t, kChunkCells> blockLight{};
};

// A set of 64-bit keys in one flat table (open addressing with linear probing): adding a
// key allocates nothing.
class FlatKeySet {
 public:
  bool insert(std::uint64_t key);  // false when already present
  bool erase(std::uint64_t key);   // false when absent
  bool contains(std::uint64_t key) const;
  std::size_t size() const { return size_; }
  void clear();  // keeps the table for reuse

 private:
  // 0 marks an empty slot, so the key 0 is kept beside the table.
  std::size_t homeSlot(std::uint64_t key) const;
  std::size_t slotOf(std::uint64_t key) const;  // the key's slot or the empty one ending its run
  void grow();

  std::vector<std::uint64_t> slots_;
  std::size_t size_ = 0;
  bool hasZero_ = false;
};

// A set of block keys kept as one bit per cell in tables of 16 × 16 × 16 cells: keys of
// neighbouring cells share a table, so the fluid queues, which take the cells around a
// whole body at once, touch few cache lines. Any 64-bit key can be stored.
class BlockKeySet {
 public:
  bool insert(BlockKey key);  // false when already present
  bool erase(BlockKey key);   // false when absent
  bool contains(BlockKey key) const;
  std::size_t size() const { return size_; }
  void clear();

 private:
  struct Table {
    std::bitset<kChunkCells> cells;
    std::size_t count = 0;
  };
  Table* find(std::uint64_t tableKey) const;

  std::unordered_map<std::uint64_t, std::unique_ptr<Table>> tables_;
  std::size_t size_ = 0;
  // The table used last, since consecutive keys mostly fall into the same one.
  mutable std::uint64_t lastKey_ = 0;
  mutable Table* last_ = nullptr;
};

// A first-in first-out queue that holds each key at most once.
template <class KeySet>
struct UniqueQueue {
  std::deque<std::uint64_t> order;
  KeySet members;

  bool push(std::uint64_t value) {
    if (!members.insert(value)) return false;
    order.push_back(value);
    return true;
  }
  std::uint64_t pop() {
    const std::uint64_t value = order.front();
    order.pop_front();
    members.erase(value);
    return value;
  }
  bool empty() const { return order.empty(); }
  std::size_t size() const { return order.size(); }
  bool contains(std::uint64_t value) const { return members.contains(value); }
  void clear() {
    order.clear();
    members.clear();
  }
};

// A cell as the fluid step walks it.
struct FluidCell {
  int x = 0, y = 0, z = 0;
  FluidCell offset(const std::array<int, 3>& d) const { return {x + d[0], y + d[1], z + d[2]}; }
  BlockKey key() const { return packBlockKey(x, y, z); }
};

// What one fluid body update knows about a cell.
struct FluidCellState {
  enum Kind : std::uint8_t { Unmet, Source, Air, Flowing };
  Kind kind = Unmet;
  std::uint8_t stored = 0;    // a flowing cell's level when it was met
  std::uint8_t assigned = 0;  // level from the nearest source; 0 = unreachable
  std::uint8_t woken = 0;     // FluidChunkState::WaterQueued / LavaQueued: queues known to hold the cell
};

// The cell states of one chunk, and which of the world's sets already hold what the
// update's edits in this chunk queue (valid for the update numbered `update` only), and
// the cells whose body a queue pass has updated (valid for the pass numbered `pass` only).
struct FluidChunkState {
  enum Queued : std::uint8_t { WaterQueued = 1, LavaQueued = 2, ColumnDirty = 4, ColumnRelit = 8, Remeshed = 16 };
  const Chunk* chunk = nullptr;  // looked up again by each update: columns come and go between updates
  std::uint32_t update = 0;
  std::uint8_t queued = 0;
  std::array<FluidCellState, kChunkCells> cells{};
  std::uint32_t pass = 0;
  std::bitset<kChunkCells> processed;
};

// Tables of the fluid step, kept across updates and steps: an update resets the chunks it
// touches instead of allocating them again, and a queue pass (taking cells from the water
// or the lava queue) starts with no cell processed by moving to a new pass number.
struct FluidScratch {
  std::unordered_map<ChunkKey, std::unique_ptr<FluidChunkState>, ChunkKeyHash> chunks;
  std::uint32_t update = 0;  // number of the running update; 0 is never used
  std::uint32_t pass = 0;    // number of the running queue pass; 0 is never used
  // Lists of the running update (one runs at a time), kept for their capacity.
  std::vector<FluidCell> sources, toExplore, visited, feeders, wave;
};

struct VillageSite {
  int x = 0, z = 0;   // well centre
  int y = 0;          // ground level of the village
  int radius = 20;
};

struct CellSiteMemo {
  bool hasSite = false;
  VillageSite site;
};

// Reusable buffers of one column relight (16 × 16 × 112 cells each).
struct RelightScratch {
  std::vector<std::uint8_t> sky;
  std::vector<std::uint8_t> block;
  std::vector<std::uint8_t> opacity;  // lightOpacity of every cell's block
  std::vector<int> work;
};

struct CapturedBlock {
  int x = 0, y = 0, z = 0;
  BlockId id = kAir;
};

struct World {
  explicit World(std::int32_t worldSeed);  // also finds the spawn village

  std::int32_t seed = 0;
  std::unordered_map<ChunkKey, std::unique_ptr<Chunk>, ChunkKeyHash> chunks;
  std::vector<VillageSite> villageSites;
  std::unordered_map<std::uint64_t, CellSiteMemo> villageCellMemo;  // keyed by packColumn(i, j)

  std::unordered_set<ColumnKey, ColumnKeyHash> dirtyColumns;  // changed since last staged for saving
  std::unordered_map<BlockKey, BlockId> edits;                // latest value of every edited position
  std::unordered_map<ColumnKey, std::vector<BlockKey>, ColumnKeyHash> columnEdits;
  std::unordered_map<BlockKey, std::uint8_t> fluidLevels;     // absent = source (level 0)

  UniqueQueue<BlockKeySet> waterQueue, lavaQueue;
  float waterAccumulator = 0.0f, lavaAccumulator = 0.0f;
  FluidScratch fluidScratch;  // also holds the cells processed in the running queue pass
  bool fluidsEnabled = true;

  std::unordered_set<ChunkKey, ChunkKeyHash> remeshSet;
  UniqueQueue<FlatKeySet> relightQueue;  // packRelightColumn values
  RelightScratch relightScratch;

  bool captureEnabled = false;
  std::unordered_set<BlockKey> captureSet;

  bool generating = false;
  int generatingCx = 0, generatingCz = 0;

  // Saving. Without a folder nothing is read from or written to region files.
  std::filesystem::path saveFolder;
  std::unordered_map<ColumnKey, ColumnSnapshot, ColumnKeyHash> pendingColumns;  // unloaded, not yet written
  std::unordered_set<ColumnKey, ColumnKeyHash> knownColumns;  // content matches disk or pending data
  // Columns whose region entry an interrupted save may have left ahead of the level file:
  // they are rebuilt from the seed and the edit record instead of being read.
  std::unordered_set<ColumnKey, ColumnKeyHash> staleColumns;
  // Declared last so that it is destroyed first: destroying the world waits for the write.
  ColumnWriteJob backgroundFlush;
};

// Chunk lookup; null when not loaded.
Chunk* findChunk(World& world, const ChunkKey& key);
const Chunk* findChunk(const World& world, const ChunkKey& key);

BlockId getBlock(const World& world, int x, int y, int z);
int skyLight(const World& world, int x, int y, int z);    // 15 above the top and where not loaded
int blockLight(const World& world, int x, int y, int z);  // 0 out of bounds and where not loaded
std::uint8_t fluidLevel(const World& world, int x, int y, int z);

// Stores an id with no side effects (generation, village building, test scaffolding).
// While a column is generating, writes outside it are dropped.
void setBlockRaw(World& world, int x, int y, int z, BlockId id);
// The edit path: records the edit, clears the fluid level, captures it for network
// sync, marks the column dirty, queues relight and remeshing, and wakes fluids.
void setBlock(World& world, int x, int y, int z, BlockId id);
// The writing half of setBlock, for an in-bounds cell: stores the id, records the edit,
// clears the fluid level and captures the change. The fluid step, which edits thousands of
// neighbouring cells at once, does the queueing half itself, once per chunk and cell.
void storeEdit(World& world, int x, int y, int z, BlockId id);
// Applies one edit of a loaded level save (level −1 = none).
void applySavedEdit(World& world, int x, int y, int z, BlockId id, int level);

bool isColumnLoaded(const World& world, int cx, int cz);
// Makes the column present: loads it from stored data if there is any, else generates it.
void ensureColumn(World& world, int cx, int cz);
void ensureColumnsAround(World& world, int x, int z, int radius);
// Drops every column farther than `radius` (Chebyshev) from (cx0, cz0).
void unloadFar(World& world, int cx0, int cz0, int radius);
// Drops every column farther than `radius` from each of the centres (all of them when
// there is none), as a server does around all of its players.
void unloadFarFromAll(World& world, std::span<const ColumnKey> centres, int radius);

// Calls `visit` with the chunk holding the cell and, where the cell lies on a chunk face,
// the chunk across it: the chunks whose meshes show the cell.
template <class Visit>
void forEachChunkShowing(int x, int y, int z, Visit&& visit) {
  const int cx = chunkCoord(x), cy = chunkCoord(y), cz = chunkCoord(z);
  const int lx = localCoord(x), ly = localCoord(y), lz = localCoord(z);
  visit(ChunkKey{cx, cy, cz});
  if (lx == 0) visit(ChunkKey{cx - 1, cy, cz});
  if (lx == kChunkSize - 1) visit(ChunkKey{cx + 1, cy, cz});
  if (ly == 0 && cy > kMinChunkY) visit(ChunkKey{cx, cy - 1, cz});
  if (ly == kChunkSize - 1 && cy < kMaxChunkY) visit(ChunkKey{cx, cy + 1, cz});
  if (lz == 0) visit(ChunkKey{cx, cy, cz - 1});
  if (lz == kChunkSize - 1) visit(ChunkKey{cx, cy, cz + 1});
}
// Queues every chunk showing the cell for remeshing.
void queueRemeshAround(World& world, int x, int y, int z);
// Inserts the 7 empty chunks of a column (replacing any that exist).
void createEmptyColumn(World& world, int cx, int cz);
// Queues a column and its four face neighbours for relight.
void queueRelightAround(World& world, int cx, int cz);
void queueRelight(World& world, int cx, int cz);
// Writes the recorded edits of a column back after it was generated or loaded; true when
// any cell changed.
bool replayColumnEdits(World& world, int cx, int cz);

// Whether a column lies inside the world's horizontal limits; no other is ever made.
bool isColumnInWorld(int cx, int cz);

// Binds the world to its folder: columns are then loaded from and flushed to its region
// files. Opening removes the temporary files a killed save left behind and, after a save
// cut off between its region and level writes, marks the stored columns as stale.
void setSaveFolder(World& world, const std::filesystem::path& folder);
// Called between a save's region writes and its level write, on the thread writing them
// (tests pause there to kill the process in that window).
std::function<void()>& betweenSaveWritesHook();
// Makes the column present from pending data or its region file; false when neither holds it.
bool loadStoredColumn(World& world, int cx, int cz);
// The block a cell holds whether or not its column is loaded: the loaded chunk, the edit
// record, pending data, the region file, else the seed's terrain. A column loaded only to
// answer is dropped again at once.
BlockId blockAnywhere(World& world, int x, int y, int z);
// A loaded column's blocks and fluid levels in the persisted order.
ColumnSnapshot snapshotColumn(const World& world, int cx, int cz);
// Writes every unsaved column to the region files, then runs `level` (the level file)
// when given. A region that cannot be written keeps its columns pending for the next
// flush; false when any region or `level` failed. A background flush still running is
// finished first.
bool flush(World& world, const std::function<bool()>& level = {});
// The same on another thread, so the game goes on while files are compressed, written and
// synced. Columns staged by it can be loaded again meanwhile; changes made meanwhile are
// left for the next flush.
void startBackgroundFlush(World& world, std::function<bool()> level);
// Applies a background flush that has ended (with `wait`, waits for it first): written
// columns become known, the others go back to pending. Nothing when none has ended.
std::optional<ColumnWriteResult> finishBackgroundFlush(World& world, bool wait);
// Whether a background flush was started and its result not yet applied.
bool backgroundFlushRunning(const World& world);
// Every recorded edit with the fluid level stored at its position (255 when none), for the level save.
std::vector<SavedEdit> savedEdits(const World& world);

void setFluidsEnabled(World& world, bool enabled);
void setCaptureEnabled(World& world, bool enabled);
std::vector<CapturedBlock> takeCapture(World& world);

}  // namespace zorv
