#include "world/fluids.h"

#include <array>
#include <deque>
#include <unordered_map>
#include <unordered_set>
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

// Block reads through a one-chunk cache: the cells of a body are mostly neighbours, and
// the chunk map does not change while a body is being discovered.
class CachedReader {
 public:
  explicit CachedReader(const World& world) : world_(world) {}

  // Only cells of loaded chunks may hold fluid: flowing into an unloaded column would
  // generate it and overwrite its terrain.
  bool usable(Cell cell) {
    return inWorldBounds(cell.x, cell.y, cell.z) && chunkAt(cell) != nullptr;
  }
  BlockId block(Cell cell) {
    const Chunk* chunk = chunkAt(cell);
    return chunk == nullptr ? kAir : chunk->blocks[chunkIndex(localCoord(cell.x), localCoord(cell.y), localCoord(cell.z))];
  }

 private:
  const Chunk* chunkAt(Cell cell) {
    const ChunkKey key{chunkCoord(cell.x), chunkCoord(cell.y), chunkCoord(cell.z)};
    if (!valid_ || !(key == key_)) {
      chunk_ = findChunk(world_, key);
      key_ = key;
      valid_ = true;
    }
    return chunk_;
  }

  const World& world_;
  ChunkKey key_;
  const Chunk* chunk_ = nullptr;
  bool valid_ = false;
};

// One recomputation of the connected body of one fluid, started from one cell: finds the
// cells the fluid may occupy (air and flowing cells at or below the start, connected to
// it) and the sources touching them, gives every reachable cell its distance from the
// nearest source, then writes the difference into the world.
class BodyUpdate {
 public:
  BodyUpdate(World& world, FluidKind fluid, Cell start) : world_(world), reader_(world), fluid_(fluid), start_(start) {}

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
  bool flowingLevel(BlockKey key, std::uint8_t& level) const {
    auto found = world_.fluidLevels.find(key);
    if (found == world_.fluidLevels.end()) return false;
    level = found->second;
    return true;
  }
  bool isSource(BlockId id, BlockKey key) const {
    return id == fluid_.block && world_.fluidLevels.find(key) == world_.fluidLevels.end();
  }

  // Takes a cell into the region when the fluid may occupy it.
  void consider(Cell cell) {
    if (cell.y > start_.y || !reader_.usable(cell)) return;
    const BlockKey key = cell.key();
    if (region_.count(key) != 0) return;
    const BlockId id = reader_.block(cell);
    if (id == kAir || (id == fluid_.block && !isSource(id, key))) {
      region_.emplace(key, 0);
      toExplore_.push_back(cell);
    }
  }

  void addSource(Cell cell, BlockKey key) {
    sourceKeys_.insert(key);
    sources_.push_back(cell);
    for (const auto& d : kSixNeighbours) consider(cell.offset(d));
  }

  void discover() {
    region_.reserve(2 * kMaxFluidBodyCells);
    visited_.reserve(kMaxFluidBodyCells);
    const BlockKey startKey = start_.key();
    if (reader_.usable(start_) && isSource(reader_.block(start_), startKey)) {
      addSource(start_, startKey);
    } else {
      consider(start_);
    }
    while (!toExplore_.empty() && visited_.size() < kMaxFluidBodyCells) {
      const Cell cell = toExplore_.front();
      toExplore_.pop_front();
      visited_.push_back(cell);
      noteFeeder(cell);
      for (const auto& d : kSixNeighbours) {
        const Cell n = cell.offset(d);
        if (!reader_.usable(n)) continue;
        const BlockKey key = n.key();
        if (sourceKeys_.count(key) != 0 || region_.count(key) != 0) continue;
        if (isSource(reader_.block(n), key)) {
          addSource(n, key);
        } else {
          consider(n);
        }
      }
    }
  }

  // Flowing fluid right above a cell of the start's layer falls into this body, but lies
  // outside it: the body cannot tell whether that fluid still has a source.
  void noteFeeder(Cell cell) {
    if (cell.y != start_.y) return;
    const Cell above = cell.offset({0, 1, 0});
    if (!reader_.usable(above) || reader_.block(above) != fluid_.block) return;
    if (!isSource(fluid_.block, above.key())) feeders_.push_back(above);
  }

  // Recomputing only the lower part of a body fed from above would make it recede and be
  // refilled over and over. The update from the feeding cell covers this body as well, so
  // wake that one and leave the cells as they are.
  void deferToFeeders() {
    for (const Cell& feeder : feeders_) wakeFluid(world_, feeder.x, feeder.y, feeder.z);
    markProcessed();
  }

  // Lowers a region cell to `level` when it has none or a higher one.
  void offerLevel(Cell cell, std::uint8_t level, std::deque<Cell>& wave) {
    auto found = region_.find(cell.key());
    if (found == region_.end() || (found->second != 0 && found->second <= level)) return;
    found->second = level;
    wave.push_back(cell);
  }

  // A breadth-first wave from the sources; falling fluid starts again at level 1.
  void assignLevels() {
    std::deque<Cell> wave;
    for (const Cell& source : sources_) {
      for (const auto& d : kSideways) offerLevel(source.offset(d), 1, wave);
      offerLevel(source.offset(kDown), 1, wave);
    }
    while (!wave.empty()) {
      const Cell cell = wave.front();
      wave.pop_front();
      const int next = region_.at(cell.key()) + 1;
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

  void apply() {
    for (const Cell& cell : visited_) {
      const BlockKey key = cell.key();
      const std::uint8_t assigned = region_.at(key);
      const BlockId id = getBlock(world_, cell.x, cell.y, cell.z);
      std::uint8_t stored = 0;
      if (id == fluid_.block && flowingLevel(key, stored)) {
        if (assigned == 0) {
          setBlock(world_, cell.x, cell.y, cell.z, kAir);
        } else if (assigned != stored) {
          world_.fluidLevels[key] = assigned;
          markLevelChanged(cell, key);
        }
      } else if (id == kAir && assigned != 0) {
        setBlock(world_, cell.x, cell.y, cell.z, fluid_.block);
        world_.fluidLevels[key] = assigned;  // setBlock erased any level
      }
    }
  }

  void quenchIfTouchingWater(Cell cell) {
    if (getBlock(world_, cell.x, cell.y, cell.z) == blocks::Lava && hasNeighbour(world_, cell, blocks::Water)) {
      setBlock(world_, cell.x, cell.y, cell.z, blocks::Cobblestone);
    }
  }

  // Lava that touches water turns into cobblestone.
  void quench() {
    const auto quenchAround = [&](Cell cell) {
      if (fluid_.block == blocks::Lava) {
        quenchIfTouchingWater(cell);
      } else if (getBlock(world_, cell.x, cell.y, cell.z) == blocks::Water) {
        for (const auto& d : kSixNeighbours) quenchIfTouchingWater(cell.offset(d));
      }
    };
    for (const Cell& source : sources_) quenchAround(source);
    for (const Cell& cell : visited_) quenchAround(cell);
  }

  // Other queued cells of this body are skipped for the rest of the step.
  void markProcessed() {
    for (const Cell& cell : visited_) world_.processedThisStep.insert(cell.key());
    for (BlockKey key : sourceKeys_) world_.processedThisStep.insert(key);
  }

  World& world_;
  CachedReader reader_;
  FluidKind fluid_;
  Cell start_;
  std::unordered_set<BlockKey> sourceKeys_;
  std::vector<Cell> sources_;
  std::unordered_map<BlockKey, std::uint8_t> region_;  // cell → assigned level, 0 = none yet
  std::deque<Cell> toExplore_;
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
