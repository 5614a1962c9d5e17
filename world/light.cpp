#include "world/light.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "world/registry.h"

namespace zorv {
namespace {

constexpr int kMaxLight = 15;
constexpr int kLayerCells = kChunkSize * kChunkSize;  // one y layer of a column
constexpr int kLastLayer = kWorldHeight - 1;
static_assert(kChunkSize == 16, "cell indices are decoded with shifts by 4 and 8");

// The column scratch orders cells as lx + 16·lz + 256·(y + 48), so chunk cy occupies one
// contiguous run laid out exactly like the chunk's own arrays.
constexpr int chunkBase(int cy) { return (cy - kMinChunkY) * kChunkCells; }

// One side of the column: the offset to the face neighbour and where the shared edge lies,
// as chunk indices of the layer ly = 0 plus a stride along the edge.
struct Face {
  int dx, dz;
  int ownStart;        // first edge cell on this side
  int neighbourStart;  // the neighbour's cell touching it
  int stride;
};

// −x, +x, −z, +z.
constexpr std::array<Face, 4> kFaces = {{
    {-1, 0, chunkIndex(0, 0, 0), chunkIndex(kChunkSize - 1, 0, 0), kChunkSize},
    {1, 0, chunkIndex(kChunkSize - 1, 0, 0), chunkIndex(0, 0, 0), kChunkSize},
    {0, -1, chunkIndex(0, 0, 0), chunkIndex(0, 0, kChunkSize - 1), 1},
    {0, 1, chunkIndex(0, 0, kChunkSize - 1), chunkIndex(0, 0, 0), 1},
}};

int attenuation(int opacity) { return std::max(opacity, 1); }

void describe(const BlockDef& def, std::uint8_t& opacity, std::uint8_t& light) {
  opacity = def.lightOpacity;
  light = def.lightEmission > 1 ? std::min<std::uint8_t>(def.lightEmission, kMaxLight) : 0;
}

// Reads every block of the column once: its opacity, and the block light of emitters.
// Every scratch cell is written, which also clears the previous relight's values; cells
// of a chunk that is not loaded read as air.
void readColumnBlocks(const World& world, int cx, int cz, RelightScratch& scratch) {
  const BlockRegistry& registry = blockRegistry();
  for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) {
    std::uint8_t* opacity = scratch.opacity.data() + chunkBase(cy);
    std::uint8_t* block = scratch.block.data() + chunkBase(cy);
    const Chunk* chunk = findChunk(world, {cx, cy, cz});
    if (chunk == nullptr) {
      std::memset(opacity, 0, kChunkCells);
      std::memset(block, 0, kChunkCells);
      continue;
    }
    BlockId lastId = chunk->blocks[0];
    std::uint8_t lastOpacity = 0, lastLight = 0;
    describe(registry.get(lastId), lastOpacity, lastLight);
    for (int i = 0; i < kChunkCells; ++i) {
      if (chunk->blocks[i] != lastId) {  // runs of one block are the rule: look up on change
        lastId = chunk->blocks[i];
        describe(registry.get(lastId), lastOpacity, lastLight);
      }
      opacity[i] = lastOpacity;
      block[i] = lastLight;
    }
  }
}

// Daylight falling straight down: each block takes its opacity off, and a block that
// would leave nothing ends it for everything below. Falling light never exceeds 15, so a
// fully opaque block (15) always ends it.
void fillSky(RelightScratch& scratch) {
  std::array<std::uint8_t, kLayerCells> falling;
  falling.fill(kMaxLight);
  for (int layer = kLastLayer; layer >= 0; --layer) {
    const std::uint8_t* opacity = scratch.opacity.data() + layer * kLayerCells;
    for (int i = 0; i < kLayerCells; ++i) {
      falling[i] = static_cast<std::uint8_t>(falling[i] > opacity[i] ? falling[i] - opacity[i] : 0);
    }
    std::memcpy(scratch.sky.data() + layer * kLayerCells, falling.data(), kLayerCells);
  }
}

// Calls visit(ownIndex, neighbourChunk, neighbourIndex) for each pair of touching cells
// across `face`, over every chunk of the neighbour column that is loaded.
template <class Visit>
void forEachEdgePair(const World& world, int cx, int cz, const Face& face, Visit&& visit) {
  for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) {
    const Chunk* neighbour = findChunk(world, {cx + face.dx, cy, cz + face.dz});
    if (neighbour == nullptr) continue;
    for (int ly = 0; ly < kChunkSize; ++ly) {
      for (int t = 0; t < kChunkSize; ++t) {
        const int offset = ly * kLayerCells + t * face.stride;
        visit(chunkBase(cy) + face.ownStart + offset, *neighbour, face.neighbourStart + offset);
      }
    }
  }
}

void raiseFromNeighbour(std::uint8_t& value, int neighbourValue, int loss) {
  if (neighbourValue > 1 && neighbourValue - loss > value) value = static_cast<std::uint8_t>(neighbourValue - loss);
}

// Light entering through the sides from the stored values of the loaded face neighbours.
void seedFromNeighbours(const World& world, int cx, int cz, RelightScratch& scratch) {
  for (const Face& face : kFaces) {
    if (!isColumnLoaded(world, cx + face.dx, cz + face.dz)) continue;
    forEachEdgePair(world, cx, cz, face, [&](int own, const Chunk& neighbour, int other) {
      const int loss = attenuation(scratch.opacity[own]);
      raiseFromNeighbour(scratch.sky[own], neighbour.sky[other], loss);
      raiseFromNeighbour(scratch.block[own], neighbour.blockLight[other], loss);
    });
  }
}

// Raises a neighbour to `level` when it is darker, and stacks it while it can pass light on.
inline void offer(std::uint8_t* values, int next, int level, int*& top) {
  if (values[next] >= level) return;
  values[next] = static_cast<std::uint8_t>(level);
  if (level > 1) *top++ = next;
}

// Spreads light inside the column until every lit cell's neighbours hold at least its
// value less their attenuation. A depth-first stack of cell indices; the result does not
// depend on the visiting order.
void spread(std::uint8_t* values, const std::uint8_t* opacity, std::vector<int>& stack) {
  constexpr std::size_t kFanOut = 6;  // pushes one popped cell can add
  if (stack.size() < kColumnCells + kFanOut) stack.resize(kColumnCells + kFanOut);
  int* top = stack.data();
  for (int i = 0; i < kColumnCells; ++i) {
    if (values[i] > 1) *top++ = i;
  }
  while (top != stack.data()) {
    const int cell = *--top;
    const int v = values[cell];
    if (v < 2) continue;
    if (static_cast<std::size_t>(top - stack.data()) + kFanOut > stack.size()) {
      const std::ptrdiff_t depth = top - stack.data();
      stack.resize(stack.size() * 2);  // kept for later relights
      top = stack.data() + depth;
    }
    const int lx = cell & (kChunkSize - 1), lz = (cell >> 4) & (kChunkSize - 1), layer = cell >> 8;
    if (lx < kChunkSize - 1) offer(values, cell + 1, v - attenuation(opacity[cell + 1]), top);
    if (lx > 0) offer(values, cell - 1, v - attenuation(opacity[cell - 1]), top);
    if (layer < kLastLayer) offer(values, cell + kLayerCells, v - attenuation(opacity[cell + kLayerCells]), top);
    if (layer > 0) offer(values, cell - kLayerCells, v - attenuation(opacity[cell - kLayerCells]), top);
    if (lz < kChunkSize - 1) offer(values, cell + kChunkSize, v - attenuation(opacity[cell + kChunkSize]), top);
    if (lz > 0) offer(values, cell - kChunkSize, v - attenuation(opacity[cell - kChunkSize]), top);
  }
}

void queueRemeshRing(World& world, int cx, int cy, int cz) {
  for (int dz = -1; dz <= 1; ++dz) {
    for (int dx = -1; dx <= 1; ++dx) world.remeshSet.insert({cx + dx, cy, cz + dz});
  }
}

// Copies one array of the scratch over a chunk's; true when anything differed.
bool storeInto(std::array<std::uint8_t, kChunkCells>& target, const std::uint8_t* source) {
  if (std::memcmp(target.data(), source, kChunkCells) == 0) return false;
  std::memcpy(target.data(), source, kChunkCells);
  return true;
}

// Writes the column's light into its loaded chunks and has every chunk whose light changed
// remeshed, together with the chunks around it that sample its light at their borders.
void storeColumn(World& world, int cx, int cz, const RelightScratch& scratch) {
  for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) {
    Chunk* chunk = findChunk(world, {cx, cy, cz});
    if (chunk == nullptr) continue;
    const bool skyChanged = storeInto(chunk->sky, scratch.sky.data() + chunkBase(cy));
    const bool blockChanged = storeInto(chunk->blockLight, scratch.block.data() + chunkBase(cy));
    if (skyChanged || blockChanged) queueRemeshRing(world, cx, cy, cz);
  }
}

// Whether some stored value across `face` is darker than this column's light reaching it.
bool neighbourTooDark(const World& world, int cx, int cz, const Face& face, const RelightScratch& scratch) {
  const BlockRegistry& registry = blockRegistry();
  bool tooDark = false;
  forEachEdgePair(world, cx, cz, face, [&](int own, const Chunk& neighbour, int other) {
    if (tooDark || (scratch.sky[own] < 2 && scratch.block[own] < 2)) return;
    const int loss = attenuation(registry.get(neighbour.blocks[other]).lightOpacity);
    tooDark = neighbour.sky[other] < scratch.sky[own] - loss || neighbour.blockLight[other] < scratch.block[own] - loss;
  });
  return tooDark;
}

// Whether this column's new light along `face` is below what its chunks stored before. The
// neighbour was lit partly from the old values and must be relit, or light of a removed
// emitter next to the edge would keep bouncing back from it.
bool edgeDimmed(const World& world, int cx, int cz, const Face& face, const RelightScratch& scratch) {
  for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) {
    const Chunk* chunk = findChunk(world, {cx, cy, cz});
    if (chunk == nullptr) continue;
    for (int ly = 0; ly < kChunkSize; ++ly) {
      for (int t = 0; t < kChunkSize; ++t) {
        const int index = face.ownStart + ly * kLayerCells + t * face.stride;
        const int own = chunkBase(cy) + index;
        if (scratch.sky[own] < chunk->sky[index] || scratch.block[own] < chunk->blockLight[index]) return true;
      }
    }
  }
  return false;
}

// Queues each loaded face neighbour that this column's new light leaves too dark, or that
// was lit from edge values which have just gone down. Runs before the new light is stored.
void queueNeighboursNeedingRelight(World& world, int cx, int cz, const RelightScratch& scratch) {
  for (const Face& face : kFaces) {
    const int nx = cx + face.dx, nz = cz + face.dz;
    if (!isColumnLoaded(world, nx, nz)) continue;
    if (edgeDimmed(world, cx, cz, face, scratch) || neighbourTooDark(world, cx, cz, face, scratch)) {
      queueRelight(world, nx, nz);
    }
  }
}

}  // namespace

void relightColumn(World& world, int cx, int cz) {
  if (!isColumnLoaded(world, cx, cz)) return;
  RelightScratch& scratch = world.relightScratch;
  readColumnBlocks(world, cx, cz, scratch);
  fillSky(scratch);
  seedFromNeighbours(world, cx, cz, scratch);
  spread(scratch.sky.data(), scratch.opacity.data(), scratch.work);
  spread(scratch.block.data(), scratch.opacity.data(), scratch.work);
  queueNeighboursNeedingRelight(world, cx, cz, scratch);
  storeColumn(world, cx, cz, scratch);
}

int processRelightQueue(World& world, int budget) {
  int relit = 0;
  while (relit < budget && !world.relightQueue.empty()) {
    const ColumnKey column = unpackRelightColumn(world.relightQueue.pop());
    if (!isColumnLoaded(world, column.cx, column.cz)) continue;
    relightColumn(world, column.cx, column.cz);
    ++relit;
  }
  return relit;
}

}  // namespace zorv
