#include "world/mesher.h"

#include <algorithm>
#include <bit>
#include <memory>
#include <optional>

#include "world/registry.h"

namespace zorv {
namespace {

// ---- Face and corner tables -------------------------------------------------------------

enum class TexColumn : std::uint8_t { Side, Top, Bottom };

struct FaceDef {
  std::array<int, 3> normal, u, v;
  float shade;
  TexColumn tex;
};

// Order fixed: every loop over faces walks this table.
constexpr std::array<FaceDef, 6> kFaces{{
    {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}, 0.76f, TexColumn::Side},
    {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}, 0.76f, TexColumn::Side},
    {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}, 1.0f, TexColumn::Top},
    {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}, 0.48f, TexColumn::Bottom},
    {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}, 0.88f, TexColumn::Side},
    {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}, 0.88f, TexColumn::Side},
}};
enum Face : int { PosX = 0, NegX = 1, PosY = 2, NegY = 3, PosZ = 4, NegZ = 5 };

constexpr std::array<int, 4> kCornerSu{-1, 1, 1, -1};
constexpr std::array<int, 4> kCornerSv{-1, -1, 1, 1};
constexpr std::array<float, 4> kCornerTexU{0.0f, 1.0f, 1.0f, 0.0f};
constexpr std::array<float, 4> kCornerTexV{1.0f, 1.0f, 0.0f, 0.0f};

constexpr std::array<float, 4> kAoFactor{0.42f, 0.62f, 0.81f, 1.0f};

// For face f and corner k, whether each axis takes the box's upper bound. The direction
// normal + su·u + sv·v has every component ±1 because the three axes are orthogonal.
using CornerAxes = std::array<std::array<std::array<bool, 3>, 4>, 6>;
constexpr CornerAxes makeCornerAxes() {
  CornerAxes table{};
  for (int f = 0; f < 6; ++f) {
    for (int k = 0; k < 4; ++k) {
      for (int a = 0; a < 3; ++a) {
        const FaceDef& face = kFaces[f];
        table[f][k][a] = face.normal[a] + kCornerSu[k] * face.u[a] + kCornerSv[k] * face.v[a] > 0;
      }
    }
  }
  return table;
}
constexpr CornerAxes kCornerUpper = makeCornerAxes();

// ---- Snapshot addressing ----------------------------------------------------------------

constexpr int kStrideY = kSnapshotSize * kSnapshotSize;
constexpr int kStrideZ = kSnapshotSize;
constexpr int snapshotStep(const std::array<int, 3>& d) { return d[1] * kStrideY + d[2] * kStrideZ + d[0]; }

// Snapshot offsets, relative to the meshed cell, of the cells a cube face reads.
struct FaceSteps {
  int front = 0;
  std::array<int, 4> alongU{}, alongV{};  // from the front cell: su·u and sv·v per corner
};
constexpr std::array<FaceSteps, 6> makeFaceSteps() {
  std::array<FaceSteps, 6> steps{};
  for (int f = 0; f < 6; ++f) {
    steps[f].front = snapshotStep(kFaces[f].normal);
    for (int k = 0; k < 4; ++k) {
      steps[f].alongU[k] = kCornerSu[k] * snapshotStep(kFaces[f].u);
      steps[f].alongV[k] = kCornerSv[k] * snapshotStep(kFaces[f].v);
    }
  }
  return steps;
}
constexpr std::array<FaceSteps, 6> kFaceSteps = makeFaceSteps();

// AO factor × face shade for each face and occlusion level.
constexpr std::array<std::array<float, 4>, 6> makeShadeTable() {
  std::array<std::array<float, 4>, 6> table{};
  for (int f = 0; f < 6; ++f) {
    for (int level = 0; level < 4; ++level) table[f][level] = kAoFactor[level] * kFaces[f].shade;
  }
  return table;
}
constexpr auto kAoShade = makeShadeTable();

// Average light of `count` cells whose levels sum to `sum`, as sum / (15 × count); 0 for none.
constexpr int kMaxAveraged = 4;
using LightTable = std::array<std::array<float, 15 * kMaxAveraged + 1>, kMaxAveraged + 1>;
constexpr LightTable makeLightTable() {
  LightTable table{};
  for (int count = 1; count <= kMaxAveraged; ++count) {
    for (int sum = 0; sum <= 15 * count; ++sum) {
      table[count][sum] = static_cast<float>(sum) / (15.0f * static_cast<float>(count));
    }
  }
  return table;
}
constexpr LightTable kAveragedLight = makeLightTable();

float lightFraction(int level) { return kAveragedLight[1][level & 15]; }

// ---- Quad emission ----------------------------------------------------------------------

// An axis-aligned box in world units; a face of it is one quad.
struct Box {
  std::array<float, 3> lower, upper;
};

struct QuadShading {
  std::array<float, 4> shade, sky, block;
};

QuadShading uniformShading(float shade, float sky, float block) {
  return {{shade, shade, shade, shade}, {sky, sky, sky, sky}, {block, block, block, block}};
}

// Appends face `face` of `box` as four vertices in corner order plus its six indices.
void emitQuad(Mesh& mesh, int face, const Box& box, std::int32_t layer, const QuadShading& shading) {
  const auto base = static_cast<std::uint32_t>(mesh.vertices.size());
  std::array<MeshVertex, 4> quad;
  for (int k = 0; k < 4; ++k) {
    const auto& upper = kCornerUpper[face][k];
    quad[k] = {upper[0] ? box.upper[0] : box.lower[0],
               upper[1] ? box.upper[1] : box.lower[1],
               upper[2] ? box.upper[2] : box.lower[2],
               kCornerTexU[k],
               kCornerTexV[k],
               shading.shade[k],
               layer,
               shading.sky[k],
               shading.block[k]};
  }
  mesh.vertices.insert(mesh.vertices.end(), quad.begin(), quad.end());
  const std::array<std::uint32_t, 6> indices{base, base + 1, base + 2, base, base + 2, base + 3};
  mesh.indices.insert(mesh.indices.end(), indices.begin(), indices.end());
}

Box unitBox(float x, float y, float z) { return {{x, y, z}, {x + 1.0f, y + 1.0f, z + 1.0f}}; }

void reserveQuads(Mesh& mesh, std::size_t quads) {
  mesh.vertices.reserve(mesh.vertices.size() + 4 * quads);
  mesh.indices.reserve(mesh.indices.size() + 6 * quads);
}

// ---- Block properties -------------------------------------------------------------------

struct BlockTraits {
  bool opaque = false;
  bool fluid = false;
  std::array<std::int32_t, 3> tex{};  // indexed by TexColumn
};

BlockTraits traitsOf(const BlockDef& def) { return {def.opaque, def.fluid, {def.texSide, def.texTop, def.texBottom}}; }

// The registry's meshing-relevant fields, copied once so lookups are plain array reads.
// The last entry is the registry's fallback, used for every id at or beyond its count.
class TraitTable {
 public:
  TraitTable() {
    const BlockRegistry& registry = blockRegistry();
    const std::size_t count = registry.count();
    traits_.reserve(count + 1);
    for (std::size_t id = 0; id <= count; ++id) {
      traits_.push_back(traitsOf(registry.get(static_cast<BlockId>(std::min<std::size_t>(id, kNoBlock)))));
    }
  }
  const BlockTraits& operator[](BlockId id) const { return traits_[std::min<std::size_t>(id, traits_.size() - 1)]; }

 private:
  std::vector<BlockTraits> traits_;
};

std::int32_t texture(const BlockTraits& traits, TexColumn column) { return traits.tex[static_cast<int>(column)]; }

// ---- Per-build scan ---------------------------------------------------------------------

constexpr int cellOf(int x, int y, int z) { return snapshotIndex(x, y, z); }
constexpr std::array<int, 3> localOf(int cell) {
  return {cell % kSnapshotSize - 1, cell / kStrideY - 1, cell / kStrideZ % kSnapshotSize - 1};
}

// What the passes need to know about the chunk, derived from the snapshot in one sweep.
struct ChunkScan {
  std::array<std::uint8_t, kSnapshotCells> opaque;   // 0 or 1 for every padded cell
  std::array<std::uint8_t, kChunkCells> visibleFaces;  // bit f: cube face f is shown (chunkIndex order)
  std::array<std::uint16_t, kChunkCells> torchCells;  // snapshot indices, pass order
  std::array<std::uint16_t, kChunkCells> fluidCells;
  int torchCount = 0, fluidCount = 0;
  std::size_t cubeQuads = 0;
};

// Fills the opacity grid; true when every padded cell is opaque (nothing can be seen).
bool markOpaque(const ChunkSnapshot& snapshot, const TraitTable& traits, ChunkScan& scan) {
  std::uint8_t all = 1;
  for (int i = 0; i < kSnapshotCells; ++i) {
    const std::uint8_t opaque = traits[snapshot.blocks[i]].opaque ? 1 : 0;
    scan.opaque[i] = opaque;
    all &= opaque;
  }
  return all != 0;
}

std::uint8_t visibleFaceMask(const ChunkScan& scan, int cell) {
  unsigned mask = 0;
  for (int f = 0; f < 6; ++f) mask |= static_cast<unsigned>(scan.opaque[cell + kFaceSteps[f].front] ^ 1u) << f;
  return static_cast<std::uint8_t>(mask);
}

void classifyCells(const ChunkSnapshot& snapshot, const TraitTable& traits, ChunkScan& scan) {
  for (int y = 0; y < kChunkSize; ++y) {
    for (int z = 0; z < kChunkSize; ++z) {
      for (int x = 0; x < kChunkSize; ++x) {
        const int cell = cellOf(x, y, z);
        const BlockId id = snapshot.blocks[cell];
        const BlockTraits& block = traits[id];
        const std::uint8_t mask = block.opaque && !block.fluid ? visibleFaceMask(scan, cell) : 0;
        scan.visibleFaces[chunkIndex(x, y, z)] = mask;
        scan.cubeQuads += static_cast<std::size_t>(std::popcount(mask));
        if (id == blocks::Torch) scan.torchCells[scan.torchCount++] = static_cast<std::uint16_t>(cell);
        if (block.fluid) scan.fluidCells[scan.fluidCount++] = static_cast<std::uint16_t>(cell);
      }
    }
  }
}

// World position of the chunk's local origin.
std::array<float, 3> chunkOrigin(const ChunkKey& key) {
  return {static_cast<float>(key.cx * kChunkSize), static_cast<float>(key.cy * kChunkSize),
          static_cast<float>(key.cz * kChunkSize)};
}

Box cellBox(const std::array<float, 3>& origin, const std::array<int, 3>& local) {
  return unitBox(origin[0] + static_cast<float>(local[0]), origin[1] + static_cast<float>(local[1]),
                 origin[2] + static_cast<float>(local[2]));
}

// ---- Cube pass --------------------------------------------------------------------------

// Occlusion and averaged light at the four corners of face `face` of the cube in `cell`.
QuadShading cubeShading(const ChunkSnapshot& snapshot, const ChunkScan& scan, int cell, int face) {
  const FaceSteps& steps = kFaceSteps[face];
  const int front = cell + steps.front;
  QuadShading shading;
  for (int k = 0; k < 4; ++k) {
    const std::array<int, 4> cells{front, front + steps.alongU[k], front + steps.alongV[k],
                                   front + steps.alongU[k] + steps.alongV[k]};
    const int side1 = scan.opaque[cells[1]], side2 = scan.opaque[cells[2]], corner = scan.opaque[cells[3]];
    const int level = (side1 & side2) != 0 ? 0 : 3 - side1 - side2 - corner;
    int count = 0, skySum = 0, blockSum = 0;
    for (const int c : cells) {
      const int clear = scan.opaque[c] ^ 1;
      count += clear;
      skySum += clear * snapshot.sky[c];
      blockSum += clear * snapshot.blockLight[c];
    }
    shading.shade[k] = kAoShade[face][level];
    shading.sky[k] = kAveragedLight[count][skySum];
    shading.block[k] = kAveragedLight[count][blockSum];
  }
  return shading;
}

void cubePass(const ChunkSnapshot& snapshot, const TraitTable& traits, const ChunkScan& scan, Mesh& mesh) {
  const std::array<float, 3> origin = chunkOrigin(snapshot.key);
  for (int y = 0; y < kChunkSize; ++y) {
    for (int z = 0; z < kChunkSize; ++z) {
      for (int x = 0; x < kChunkSize; ++x) {
        unsigned mask = scan.visibleFaces[chunkIndex(x, y, z)];
        if (mask == 0) continue;
        const int cell = cellOf(x, y, z);
        const BlockTraits& block = traits[snapshot.blocks[cell]];
        const Box box = cellBox(origin, {x, y, z});
        for (; mask != 0; mask &= mask - 1) {
          const int face = std::countr_zero(mask);
          emitQuad(mesh, face, box, texture(block, kFaces[face].tex), cubeShading(snapshot, scan, cell, face));
        }
      }
    }
  }
}

// ---- Torch pass -------------------------------------------------------------------------

// A 2/16 × 10/16 × 2/16 post standing in the middle of the cell; no bottom.
constexpr std::array<int, 5> kTorchFaces{PosZ, NegZ, PosX, NegX, PosY};

void torchPass(const ChunkSnapshot& snapshot, const TraitTable& traits, const ChunkScan& scan, Mesh& mesh) {
  const std::array<float, 3> origin = chunkOrigin(snapshot.key);
  const std::int32_t layer = texture(traits[blocks::Torch], TexColumn::Side);
  for (int i = 0; i < scan.torchCount; ++i) {
    const int cell = scan.torchCells[i];
    const Box unit = cellBox(origin, localOf(cell));
    const Box post{{unit.lower[0] + 7.0f / 16.0f, unit.lower[1], unit.lower[2] + 7.0f / 16.0f},
                   {unit.lower[0] + 9.0f / 16.0f, unit.lower[1] + 10.0f / 16.0f, unit.lower[2] + 9.0f / 16.0f}};
    const QuadShading shading =
        uniformShading(1.0f, lightFraction(snapshot.sky[cell]), lightFraction(snapshot.blockLight[cell]));
    for (const int face : kTorchFaces) emitQuad(mesh, face, post, layer, shading);
  }
}

// ---- Fluid pass -------------------------------------------------------------------------

struct FluidStyle {
  Mesh* mesh;
  float baseShade;
  float levelStep;
  std::int32_t layer;
};

constexpr std::int32_t kWaterLayer = 13;
constexpr std::int32_t kLavaLayer = 14;

FluidStyle fluidStyle(BlockId id, ChunkMesh& out) {
  if (id == blocks::Water) return {&out.water, 0.95f, 0.12f, kWaterLayer};
  return {&out.main, 1.0f, 0.25f, kLavaLayer};
}

// Height of the fluid surface in `cell` (0..1 above the cell's floor).
float surfaceHeight(const ChunkSnapshot& snapshot, int cell, float levelStep) {
  if (snapshot.blocks[cell + kStrideY] == snapshot.blocks[cell]) return 1.0f;
  return 1.0f - static_cast<float>(snapshot.fluidLevels[cell]) * levelStep;
}

// The vertical extent of one fluid face, in block units above the cell's floor.
struct Span {
  float from = 0.0f, to = 0.0f;
};

// Where face `face` of the fluid in `cell` is drawn; nullopt when it is hidden. The top
// shows unless the same fluid or an opaque block lies above, the bottom only over air; a
// side rises from the floor beside a see-through block and from the neighbour's surface
// beside a lower body of the same fluid.
std::optional<Span> fluidFaceSpan(const ChunkSnapshot& snapshot, const ChunkScan& scan, int cell, int face,
                                  float height, float levelStep) {
  const int neighbour = cell + kFaceSteps[face].front;
  const BlockId fluid = snapshot.blocks[cell];
  const BlockId other = snapshot.blocks[neighbour];
  const bool clear = scan.opaque[neighbour] == 0;
  float from = 0.0f;
  bool shown = false;
  if (face == PosY) {
    shown = other != fluid && clear;
  } else if (face == NegY) {
    shown = other == kAir;
  } else if (other == fluid) {
    from = surfaceHeight(snapshot, neighbour, levelStep);
    shown = height > from + 0.001f;
  } else {
    shown = clear;
  }
  if (!shown) return std::nullopt;
  return Span{from, height};
}

// Top and bottom carry the cell's light; sides are lit as open sky with no block light.
void emitFluidCell(const ChunkSnapshot& snapshot, const ChunkScan& scan, int cell, const Box& unit,
                   const FluidStyle& style) {
  const float height = surfaceHeight(snapshot, cell, style.levelStep);
  for (int face = 0; face < 6; ++face) {
    const std::optional<Span> span = fluidFaceSpan(snapshot, scan, cell, face, height, style.levelStep);
    if (!span) continue;
    const bool flat = face == PosY || face == NegY;
    const float shade = style.baseShade * kFaces[face].shade;
    const QuadShading shading = flat ? uniformShading(shade, lightFraction(snapshot.sky[cell]),
                                                      lightFraction(snapshot.blockLight[cell]))
                                     : uniformShading(shade, 1.0f, 0.0f);
    const Box extent{{unit.lower[0], unit.lower[1] + span->from, unit.lower[2]},
                     {unit.upper[0], unit.lower[1] + span->to, unit.upper[2]}};
    emitQuad(*style.mesh, face, extent, style.layer, shading);
  }
}

void fluidPass(const ChunkSnapshot& snapshot, const ChunkScan& scan, ChunkMesh& out) {
  const std::array<float, 3> origin = chunkOrigin(snapshot.key);
  for (int i = 0; i < scan.fluidCount; ++i) {
    const int cell = scan.fluidCells[i];
    emitFluidCell(snapshot, scan, cell, cellBox(origin, localOf(cell)), fluidStyle(snapshot.blocks[cell], out));
  }
}

}  // namespace

void takeChunkSnapshot(const World& world, const ChunkKey& key, ChunkSnapshot& snapshot) {
  const BlockRegistry& registry = blockRegistry();
  snapshot.key = key;
  const int baseX = key.cx * kChunkSize, baseY = key.cy * kChunkSize, baseZ = key.cz * kChunkSize;
  for (int y = -1; y <= kChunkSize; ++y) {
    for (int z = -1; z <= kChunkSize; ++z) {
      for (int x = -1; x <= kChunkSize; ++x) {
        const int wx = baseX + x, wy = baseY + y, wz = baseZ + z;
        const int cell = snapshotIndex(x, y, z);
        const BlockId id = getBlock(world, wx, wy, wz);
        snapshot.blocks[cell] = id;
        snapshot.fluidLevels[cell] = registry.get(id).fluid ? fluidLevel(world, wx, wy, wz) : 0;
        snapshot.sky[cell] = static_cast<std::uint8_t>(skyLight(world, wx, wy, wz));
        snapshot.blockLight[cell] = static_cast<std::uint8_t>(blockLight(world, wx, wy, wz));
      }
    }
  }
}

ChunkMesh buildChunkMesh(const ChunkSnapshot& snapshot) {
  const TraitTable traits;
  ChunkScan scan;
  ChunkMesh out;
  if (markOpaque(snapshot, traits, scan)) return out;
  classifyCells(snapshot, traits, scan);
  reserveQuads(out.main, scan.cubeQuads + 5 * static_cast<std::size_t>(scan.torchCount));
  cubePass(snapshot, traits, scan, out.main);
  torchPass(snapshot, traits, scan, out.main);
  fluidPass(snapshot, scan, out);
  return out;
}

ChunkMesh meshChunk(World& world, const ChunkKey& key) {
  ensureColumn(world, key.cx, key.cz);
  auto snapshot = std::make_unique<ChunkSnapshot>();
  takeChunkSnapshot(world, key, *snapshot);
  return buildChunkMesh(*snapshot);
}

Mesh buildBlockPreview(BlockId id) {
  Mesh mesh;
  if (id == kAir) return mesh;
  const BlockTraits block = traitsOf(blockRegistry().get(id));
  const Box cube{{-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}};
  reserveQuads(mesh, kFaces.size());
  for (int face = 0; face < 6; ++face) {
    emitQuad(mesh, face, cube, texture(block, kFaces[face].tex), uniformShading(kFaces[face].shade, 1.0f, 0.0f));
  }
  return mesh;
}

Mesh buildItemSprite(int tile) {
  Mesh mesh;
  reserveQuads(mesh, 2);
  const QuadShading shading = uniformShading(1.0f, 1.0f, 0.0f);
  // The +Z face of a zero-depth box runs x from 0.05 to 0.95; the −X face runs z likewise.
  emitQuad(mesh, PosZ, {{0.05f, 0.05f, 0.5f}, {0.95f, 0.95f, 0.5f}}, tile, shading);
  emitQuad(mesh, NegX, {{0.5f, 0.05f, 0.05f}, {0.5f, 0.95f, 0.95f}}, tile, shading);
  return mesh;
}

}  // namespace zorv
