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

using Cell = FluidCell;

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

using CellState = FluidCellState;

std::size_t cellIndex(Cell cell) {
  return static_cast<std::size_t>(chunkIndex(cell.x & 15, cell.y & 15, cell.z & 15));
}

// Chunks whose tables the world keeps between queue passes; beyond this many (17 KiB
// each) they are dropped when the next pass starts.
constexpr std::size_t kMaxKeptChunkStates = 512;

FluidChunkState& keptState(FluidScratch& scratch, const ChunkKey& key) {
  std::unique_ptr<FluidChunkState>& state = scratch.chunks[key];
  if (state == nullptr) state = std::make_unique<FluidChunkState>();
  return *state;
}

// Moves a counter of the scratch on. When it wraps, the number stored in every table is
// forgotten, since an old number could otherwise come round again and look current.
void advance(FluidScratch& scratch, std::uint32_t& counter, std::uint32_t FluidChunkState::*stored) {
  if (++counter != 0) return;
  for (auto& [key, state] : scratch.chunks) (*state).*stored = 0;
  counter = 1;
}

// The cells a body update has met, and block reads, both by chunk: the world chunk is
// looked up once per chunk the update touches, and neighbouring cells share cache lines.
// The chunk map does not change during an update (every cell written is loaded already),
// so the chunk pointers stay valid. The tables live in the world's fluid scratch and are
// reset when an update first reaches their chunk.
class BodyCells {
 public:
  explicit BodyCells(World& world) : world_(world), scratch_(world.fluidScratch) {
    advance(scratch_, scratch_.update, &FluidChunkState::update);
  }

  // Only cells of loaded chunks may hold fluid: flowing into an unloaded column would
  // generate it and overwrite its terrain.
  bool usable(Cell cell) {
    return inWorldBounds(cell.x, cell.y, cell.z) && chunkOf(cell).chunk != nullptr;
  }
  BlockId block(Cell cell) {
    const Chunk* chunk = chunkOf(cell).chunk;
    return chunk == nullptr || !inWorldBounds(cell.x, cell.y, cell.z) ? kAir : chunk->blocks[cellIndex(cell)];
  }
  CellState& state(Cell cell) { return chunkOf(cell).cells[cellIndex(cell)]; }
  FluidChunkState& chunkOf(Cell cell) {
    // Arithmetic shifts are floor divisions by 16.
    return chunk({cell.x >> 4, cell.y >> 4, cell.z >> 4});
  }
  FluidChunkState& chunk(const ChunkKey& key) {
    if (last_.state != nullptr && last_.key == key) return *last_.state;
    CacheEntry& entry = cache_[ChunkKeyHash{}(key) % cache_.size()];
    if (entry.state == nullptr || !(entry.key == key)) entry = {key, &currentState(key)};
    last_ = entry;
    return *entry.state;
  }

 private:
  struct CacheEntry {
    ChunkKey key;
    FluidChunkState* state = nullptr;
  };

  // The chunk's table, reset if it still holds an earlier update's notes.
  FluidChunkState& currentState(const ChunkKey& key) {
    FluidChunkState& state = keptState(scratch_, key);
    if (state.update != scratch_.update) {
      state.update = scratch_.update;
      state.chunk = findChunk(world_, key);
      state.queued = 0;
      state.cells.fill({});
    }
    return state;
  }

  World& world_;
  FluidScratch& scratch_;
  std::array<CacheEntry, 61> cache_{};
  CacheEntry last_;
};

// A first-in first-out list that is only appended to while it is being read; the
// storage is one of the world's reused lists.
template <class T>
struct WorkList {
  explicit WorkList(std::vector<T>& storage) : items(storage) { items.clear(); }
  std::vector<T>& items;
  std::size_t next = 0;
  bool empty() const { return next == items.size(); }
  T pop() { return items[next++]; }
};

std::vector<Cell>& cleared(std::vector<Cell>& list) {
  list.clear();
  return list;
}

// One recomputation of the connected body of one fluid, started from one cell: finds the
// cells the fluid may occupy (air and flowing cells at or below the start, connected to
// it) and the sources touching them, gives every reachable cell its distance from the
// nearest source, then writes the difference into the world.
class BodyUpdate {
 public:
  BodyUpdate(World& world, FluidKind fluid, Cell start)
      : world_(world),
        cells_(world),
        fluid_(fluid),
        start_(start),
        sources_(cleared(world.fluidScratch.sources)),
        toExplore_(world.fluidScratch.toExplore),
        visited_(cleared(world.fluidScratch.visited)),
        feeders_(cleared(world.fluidScratch.feeders)) {}

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
    WorkList<Cell> wave(world_.fluidScratch.wave);
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

  // The queueing of setBlock and of a level change, asked of the world's sets once per
  // chunk (and of the fluid queues once per cell) rather than once per edit: nothing takes
  // from those sets while the update runs, so a repeated request would change nothing.
  void queueOnce(FluidChunkState& chunk, FluidChunkState::Queued flag, auto&& queue) {
    if ((chunk.queued & flag) != 0) return;
    chunk.queued |= flag;
    queue();
  }
  void markColumnChanged(Cell cell, bool relight) {
    FluidChunkState& chunk = cells_.chunkOf(cell);
    const ColumnKey column{chunkCoord(cell.x), chunkCoord(cell.z)};
    queueOnce(chunk, FluidChunkState::ColumnDirty, [&] { world_.dirtyColumns.insert(column); });
    if (relight) queueOnce(chunk, FluidChunkState::ColumnRelit, [&] { queueRelight(world_, column.cx, column.cz); });
    forEachChunkShowing(cell.x, cell.y, cell.z, [&](const ChunkKey& key) {
      queueOnce(cells_.chunk(key), FluidChunkState::Remeshed, [&] { world_.remeshSet.insert(key); });
    });
  }
  // wakeFluid, skipping the queues the cell is known to be in already.
  void wake(Cell cell) {
    if (!world_.fluidsEnabled || !inWorldBounds(cell.x, cell.y, cell.z)) return;
    const BlockId id = cells_.block(cell);
    const bool water = id == blocks::Water || id == kAir, lava = id == blocks::Lava || id == kAir;
    std::uint8_t& woken = cells_.state(cell).woken;
    const auto wanted = static_cast<std::uint8_t>((water ? FluidChunkState::WaterQueued : 0) |
                                                  (lava ? FluidChunkState::LavaQueued : 0));
    if ((wanted & ~woken) == 0) return;
    woken |= wanted;
    const BlockKey key = cell.key();
    if (water) world_.waterQueue.push(key);
    if (lava) world_.lavaQueue.push(key);
  }
  // setBlock of a loaded cell.
  void edit(Cell cell, BlockId id) {
    storeEdit(world_, cell.x, cell.y, cell.z, id);
    markColumnChanged(cell, true);
    wake(cell);
    for (const auto& d : kSixNeighbours) wake(cell.offset(d));
  }

  // Writes the new levels; the cells still hold what discovery saw, since each cell is
  // written at most once here.
  void apply() {
    for (const Cell& cell : visited_) {
      const BlockKey key = cell.key();
      const CellState& state = cells_.state(cell);
      if (state.kind == CellState::Flowing) {
        if (state.assigned == 0) {
          edit(cell, kAir);
        } else if (state.assigned != state.stored) {
          world_.fluidLevels[key] = state.assigned;
          if (world_.captureEnabled) world_.captureSet.insert(key);
          markColumnChanged(cell, false);
        }
      } else if (state.assigned != 0) {
        edit(cell, fluid_.block);
        world_.fluidLevels[key] = state.assigned;  // the edit erased any level
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
    const std::uint32_t pass = world_.fluidScratch.pass;
    const auto mark = [&](Cell cell) {
      FluidChunkState& chunk = cells_.chunkOf(cell);
      if (chunk.pass != pass) {
        chunk.pass = pass;
        chunk.processed.reset();
      }
      chunk.processed.set(cellIndex(cell));
    };
    for (const Cell& cell : visited_) mark(cell);
    for (const Cell& cell : sources_) mark(cell);
  }

  World& world_;
  BodyCells cells_;  // sources and region cells met so far, and block reads
  FluidKind fluid_;
  Cell start_;
  std::vector<Cell>& sources_;
  WorkList<Cell> toExplore_;
  std::vector<Cell>& visited_;
  std::vector<Cell>& feeders_;
};

void updateBody(World& world, FluidKind fluid, Cell start) { BodyUpdate(world, fluid, start).run(); }

bool processedThisPass(const FluidScratch& scratch, BlockKey key) {
  const Cell cell{blockKeyX(key), blockKeyY(key), blockKeyZ(key)};
  const auto found = scratch.chunks.find({cell.x >> 4, cell.y >> 4, cell.z >> 4});
  return found != scratch.chunks.end() && found->second->pass == scratch.pass &&
         found->second->processed.test(cellIndex(cell));
}

// Takes up to `take` cells from the queue and updates the body of each one that no
// earlier update of this pass has covered.
void processQueue(World& world, UniqueQueue<BlockKeySet>& queue, int take) {
  FluidScratch& scratch = world.fluidScratch;
  if (scratch.chunks.size() > kMaxKeptChunkStates) scratch.chunks.clear();
  advance(scratch, scratch.pass, &FluidChunkState::pass);
  for (int i = 0; i < take && !queue.empty(); ++i) {
    const BlockKey key = queue.pop();
    if (processedThisPass(scratch, key)) continue;
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
