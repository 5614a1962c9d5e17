#include "world/fluids.h"

#include <array>
#include <memory>
#include <unordered_map>
#include <vector>

namespace zorv {
namespace {

struct FluidKind {
  BlockId block;
  std::uint8_t maxLevel;
};
constexpr FluidKind kWater{blocks::Water, kMaxWaterLevel};
constexpr FluidKind kLava{blocks::Lava, kMaxLavaLevel};

struct Cell {
  int x = 0, y = 0, z = 0;
  Cell offset(const std::array<int, 3>& d) const { return {x + d[0], y + d[1], z + d[2]}; }
  BlockKey key() const { return packBlockKey(x, y, z); }
};

constexpr std::array<std::array<int, 3>, 6> kSixNeighbours{
    {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}}};
// Where a fluid goes from a cell: sideways and down, never up.
constexpr std::array<std::array<int, 3>, 4> kSideways{{{1, 0, 0}, {-1, 0, 0}, {0, 0, 1}, {0, 0, -1}}};
constexpr std::array<int, 3> kDown{0, -1, 0};

bool hasNeighbour(const World& world, Cell cell, BlockId id) {
  for (const auto& d : kSixNeighbours) {
    const Cell n = cell.offset(d);
    if (getBlock(world, n.x, n.y, n.z) == id) return true;
  }
  return false;
}

// What one body update knows about a cell it met.
struct CellState {
  enum Kind : std::uint8_t { Unmet, Source, Air, Flowing };
  Kind kind = Unmet;
  std::uint8_t stored = 0;    // a flowing cell's level when it was met
  std::uint8_t assigned = 0;  // level from the nearest source; 0 = unreachable
};

// The cells a body update has met, and block reads, both by chunk: the world chunk is
// looked up once per chunk the update touches, and neighbouring cells share cache lines.
// The chunk map does not change during an update (every cell written is loaded already),
// so the chunk pointers stay valid.
class BodyCells {
 public:
  explicit BodyCells(const World& world) : world_(world) {}

  // Only cells of loaded chunks may hold fluid: flowing into an unloaded column would
  // generate it and overwrite its terrain.
  bool usable(Cell cell) {
    return inWorldBounds(cell.x, cell.y, cell.z) && recordOf(cell).chunk != nullptr;
  }
  BlockId block(Cell cell) {
    const Chunk* chunk = recordOf(cell).chunk;
    return chunk == nullptr || !inWorldBounds(cell.x, cell.y, cell.z) ? kAir : chunk->blocks[indexOf(cell)];
  }
  CellState& state(Cell cell) { return recordOf(cell).cells[indexOf(cell)]; }

 private:
  struct ChunkRecord {
    const Chunk* chunk = nullptr;
    std::array<CellState, kChunkCells> cells{};
  };
  struct CacheEntry {
    ChunkKey key;
    ChunkRecord* record = nullptr;
  };

  static std::size_t indexOf(Cell cell) {
    return static_cast<std::size_t>(chunkIndex(cell.x & 15, cell.y & 15, cell.z & 15));
  }
  ChunkRecord& recordOf(Cell cell) {
    // Arithmetic shifts are floor divisions by 16.
    const ChunkKey key{cell.x >> 4, cell.y >> 4, cell.z >> 4};
    if (last_.record != nullptr && last_.key == key) return *last_.record;
    CacheEntry& entry = cache_[ChunkKeyHash{}(key) % cache_.size()];
    if (entry.record == nullptr || !(entry.key == key)) entry = {key, &findOrAddRecord(key)};
    last_ = entry;
    return *entry.record;
  }
  ChunkRecord& findOrAddRecord(const ChunkKey& key) {
    std::unique_ptr<ChunkRecord>& record = records_[key];
    if (record == nullptr) {
      record = std::make_unique<ChunkRecord>();
      record->chunk = findChunk(world_, key);
    }
    return *record;
  }

  const World& world_;
  std::unordered_map<ChunkKey, std::unique_ptr<ChunkRecord>, ChunkKeyHash> records_;
  std::array<CacheEntry, 61> cache_{};
  CacheEntry last_;
};

// A first-in first-out list that is only appended to while it is being read.
template <class T>
struct WorkList {
  std::vector<T> items;
  std::size_t next = 0;
  bool empty() const { return next == items.size(); }
  T pop() { return items[next++]; }
};

// One recomputation of the connected body of one fluid, started from one cell: finds the
// cells the fluid may occupy (air and flowing cells at or below the start, connected to
// it) and the sources touching them, gives every reachable cell its distance from the
// nearest source, then writes the difference into the world.
class BodyUpdate {
 public:
  BodyUpdate(World& world, FluidKind fluid, Cell start) : world_(world), cells_(world), fluid_(fluid), start_(start) {}

  void run() {
    discover();
    if (!feeders_.empty()) {
      deferToFeeders();
      return;
    }
    assignLevels();
    apply();
    quench();
    markProcessed();
  }

 private:
  // The stored level of a fluid cell, 0 for a source.
  std::uint8_t storedLevel(BlockKey key) const {
    auto found = world_.fluidLevels.find(key);
    return found == world_.fluidLevels.end() ? 0 : found->second;
  }

  // Meets a cell for the first time: sources are recorded and spread to their
  // neighbours, air and flowing cells at or below the start join the region. With
  // `regionOnly` a source is left to be found again from a region cell next to it.
  void meet(Cell cell, bool regionOnly) {
    if (!cells_.usable(cell)) return;
    const BlockId id = cells_.block(cell);
    const bool fluid = id == fluid_.block;
    if (!fluid && id != kAir) return;
    const std::uint8_t level = fluid ? storedLevel(cell.key()) : 0;
    const bool source = fluid && level == 0;
    if (source ? regionOnly : cell.y > start_.y) return;
    CellState& state = cells_.state(cell);
    if (state.kind != CellState::Unmet) return;
    state.kind = source ? CellState::Source : fluid ? CellState::Flowing : CellState::Air;
    state.stored = level;
    if (source) {
      sources_.push_back(cell);
      for (const auto& d : kSixNeighbours) meet(cell.offset(d), true);
    } else {
      toExplore_.items.push_back(cell);
    }
  }

  void discover() {
    toExplore_.items.reserve(kMaxFluidBodyCells);
    visited_.reserve(kMaxFluidBodyCells);
    meet(start_, false);
    while (!toExplore_.empty() && visited_.size() < kMaxFluidBodyCells) {
      const Cell cell = toExplore_.pop();
      visited_.push_back(cell);
      noteFeeder(cell);
      for (const auto& d : kSixNeighbours) {
        const Cell n = cell.offset(d);
        if (cells_.state(n).kind == CellState::Unmet) meet(n, false);
      }
    }
  }

  // Flowing fluid right above a cell of the start's layer falls into this body, but lies
  // outside it: the body cannot tell whether that fluid still has a source.
  void noteFeeder(Cell cell) {
    if (cell.y != start_.y) return;
    const Cell above = cell.offset({0, 1, 0});
    if (!cells_.usable(above) || cells_.block(above) != fluid_.block) return;
    if (storedLevel(above.key()) != 0) feeders_.push_back(above);
  }

  // Recomputing only the lower part of a body fed from above would make it recede and be
  // refilled over and over. The update from the feeding cell covers this body as well, so
  // wake that one and leave the cells as they are.
  void deferToFeeders() {
    for (const Cell& feeder : feeders_) wakeFluid(world_, feeder.x, feeder.y, feeder.z);
    markProcessed();
  }

  // Lowers a region cell to `level` when it has none or a higher one.
  void offerLevel(Cell cell, std::uint8_t level, WorkList<Cell>& wave) {
    CellState& state = cells_.state(cell);
    if (state.kind == CellState::Unmet || state.kind == CellState::Source) return;
    if (state.assigned != 0 && state.assigned <= level) return;
    state.assigned = level;
    wave.items.push_back(cell);
  }

  // A breadth-first wave from the sources; falling fluid starts again at level 1.
  void assignLevels() {
    WorkList<Cell> wave;
    wave.items.reserve(visited_.size());
    for (const Cell& source : sources_) {
      for (const auto& d : kSideways) offerLevel(source.offset(d), 1, wave);
      offerLevel(source.offset(kDown), 1, wave);
    }
    while (!wave.empty()) {
      const Cell cell = wave.pop();
      const int next = cells_.state(cell).assigned + 1;
      if (next <= fluid_.maxLevel) {
        for (const auto& d : kSideways) offerLevel(cell.offset(d), static_cast<std::uint8_t>(next), wave);
      }
      offerLevel(cell.offset(kDown), 1, wave);
    }
  }

  void markLevelChanged(Cell cell, BlockKey key) {
    if (world_.captureEnabled) world_.captureSet.insert(key);
    world_.dirtyColumns.insert({chunkCoord(cell.x), chunkCoord(cell.z)});
    queueRemeshAround(world_, cell.x, cell.y, cell.z);
  }

  // Writes the new levels; the cells still hold what discovery saw, since each cell is
  // written at most once here.
  void apply() {
    for (const Cell& cell : visited_) {
      const BlockKey key = cell.key();
      const CellState& state = cells_.state(cell);
      if (state.kind == CellState::Flowing) {
        if (state.assigned == 0) {
          setBlock(world_, cell.x, cell.y, cell.z, kAir);
        } else if (state.assigned != state.stored) {
          world_.fluidLevels[key] = state.assigned;
          markLevelChanged(cell, key);
        }
      } else if (state.assigned != 0) {
        setBlock(world_, cell.x, cell.y, cell.z, fluid_.block);
        world_.fluidLevels[key] = state.assigned;  // setBlock erased any level
      }
    }
  }

  bool touches(Cell cell, BlockId id) {
    for (const auto& d : kSixNeighbours) {
      if (cells_.block(cell.offset(d)) == id) return true;
    }
    return false;
  }

  void quenchIfTouchingWater(Cell cell) {
    if (cells_.block(cell) == blocks::Lava && touches(cell, blocks::Water)) {
      setBlock(world_, cell.x, cell.y, cell.z, blocks::Cobblestone);
    }
  }

  // Lava that touches water turns into cobblestone. Every cell written here and in
  // `apply` is loaded already, so the reader's cached chunks stay valid.
  void quench() {
    const auto quenchAround = [&](Cell cell) {
      if (fluid_.block == blocks::Lava) {
        quenchIfTouchingWater(cell);
      } else if (cells_.block(cell) == blocks::Water) {
        if (!touches(cell, blocks::Lava)) return;
        for (const auto& d : kSixNeighbours) quenchIfTouchingWater(cell.offset(d));
      }
    };
    for (const Cell& source : sources_) quenchAround(source);
    for (const Cell& cell : visited_) quenchAround(cell);
  }

  // Other queued cells of this body are skipped for the rest of the step.
  void markProcessed() {
    world_.processedThisStep.reserve(world_.processedThisStep.size() + visited_.size() + sources_.size());
    for (const Cell& cell : visited_) world_.processedThisStep.insert(cell.key());
    for (const Cell& cell : sources_) world_.processedThisStep.insert(cell.key());
  }

  World& world_;
  BodyCells cells_;  // sources and region cells met so far, and block reads
  FluidKind fluid_;
  Cell start_;
  std::vector<Cell> sources_;
  WorkList<Cell> toExplore_;
  std::vector<Cell> visited_;
  std::vector<Cell> feeders_;
};

void updateBody(World& world, FluidKind fluid, Cell start) { BodyUpdate(world, fluid, start).run(); }

void processQueue(World& world, UniqueQueue<BlockKey>& queue, int take) {
  world.processedThisStep.clear();
  for (int i = 0; i < take && !queue.empty(); ++i) {
    const BlockKey key = queue.pop();
    if (world.processedThisStep.count(key) != 0) continue;
    updateFluidAt(world, blockKeyX(key), blockKeyY(key), blockKeyZ(key));
  }
}

}  // namespace

void wakeFluid(World& world, int x, int y, int z) {
  if (!world.fluidsEnabled || !inWorldBounds(x, y, z)) return;
  const BlockId id = getBlock(world, x, y, z);
  const BlockKey key = packBlockKey(x, y, z);
  if (id == blocks::Water || id == kAir) world.waterQueue.push(key);
  if (id == blocks::Lava || id == kAir) world.lavaQueue.push(key);
}

void wakeAround(World& world, int x, int y, int z) {
  wakeFluid(world, x, y, z);
  for (const auto& d : kSixNeighbours) wakeFluid(world, x + d[0], y + d[1], z + d[2]);
}

void fluidStep(World& world, float dt) {
  world.waterAccumulator += dt;
  world.lavaAccumulator += dt;
  if (world.waterAccumulator >= kWaterStepInterval) {
    world.waterAccumulator = 0.0f;
    processQueue(world, world.waterQueue, kWaterCellsPerStep);
  }
  if (world.lavaAccumulator >= kLavaStepInterval) {
    world.lavaAccumulator = 0.0f;
    processQueue(world, world.lavaQueue, kLavaCellsPerStep);
  }
}

void updateFluidAt(World& world, int x, int y, int z) {
  const Cell cell{x, y, z};
  const BlockId id = getBlock(world, x, y, z);
  if (id == blocks::Water) {
    updateBody(world, kWater, cell);
  } else if (id == blocks::Lava) {
    updateBody(world, kLava, cell);
  } else if (id == kAir) {
    if (hasNeighbour(world, cell, blocks::Water)) updateBody(world, kWater, cell);
    if (hasNeighbour(world, cell, blocks::Lava)) updateBody(world, kLava, cell);
  }
}

}  // namespace zorv
