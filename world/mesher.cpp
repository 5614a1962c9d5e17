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
  for (int k = 0; k < 4; ++k) {
    const auto& upper = kCornerUpper[face][k];
    mesh.vertices.emplace_back(upper[0] ? box.upper[0] : box.lower[0], upper[1] ? box.upper[1] : box.lower[1],
                               upper[2] ? box.upper[2] : box.lower[2], kCornerTexU[k], kCornerTexV[k],
                               shading.shade[k], layer, shading.sky[k], shading.block[k]);
  }
  for (const std::uint32_t corner : {0u, 1u, 2u, 0u, 2u, 3u}) mesh.indices.push_back(base + corner);
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

std::int32_t texture(const BlockTraits& traits, TexColumn column) { return traits.tex[static_cast<int>(column)]; }

// What each pass makes of a block, one 16-bit lane per pass: shifting the value left by a
// cell's x lets one row of 16 cells gather all four masks with a single OR per cell.
enum KindLane : unsigned { LaneOpaque = 0, LaneCube = 16, LaneTorch = 32, LaneFluid = 48 };

std::uint64_t kindLanes(BlockId id, const BlockTraits& traits) {
  const bool cube = traits.opaque && !traits.fluid;
  return std::uint64_t{traits.opaque} << LaneOpaque | std::uint64_t{cube} << LaneCube |
         std::uint64_t{id == blocks::Torch} << LaneTorch | std::uint64_t{traits.fluid} << LaneFluid;
}

// The registry's meshing-relevant fields, copied once per build so lookups are plain array
// reads. The last entry is the registry's fallback, used for every id at or beyond its count.
class TraitTable {
 public:
  TraitTable() {
    const BlockRegistry& registry = blockRegistry();
    const std::size_t count = registry.count();
    traits_.reserve(count + 1);
    lanes_.reserve(count + 1);
    for (std::size_t id = 0; id <= count; ++id) {
      const auto block = static_cast<BlockId>(std::min<std::size_t>(id, kNoBlock));
      traits_.push_back(traitsOf(registry.get(block)));
      lanes_.push_back(kindLanes(id == count ? kNoBlock : block, traits_.back()));
    }
  }
  const BlockTraits& operator[](BlockId id) const { return traits_[slot(id)]; }
  std::uint64_t lanes(BlockId id) const { return lanes_[slot(id)]; }

 private:
  std::size_t slot(BlockId id) const { return std::min<std::size_t>(id, traits_.size() - 1); }

  std::vector<BlockTraits> traits_;
  std::vector<std::uint64_t> lanes_;
};

// ---- Per-build scan ---------------------------------------------------------------------

// A row is the 18 cells of the snapshot along x at one (y, z); bit x + 1 holds local x.
constexpr int kRows = kSnapshotSize * kSnapshotSize;
constexpr std::uint32_t kFullRow = (1u << kSnapshotSize) - 1;
constexpr int rowOf(int y, int z) { return (y + 1) * kSnapshotSize + (z + 1); }
// Interior rows (y, z in 0..15) hold local x at bit x.
constexpr int interiorRow(int y, int z) { return y * kChunkSize + z; }
using InteriorRows = std::array<std::uint32_t, kChunkSize * kChunkSize>;

// Per-cell light term: bit 0 is set for a cell that is not opaque; bits 3..8 carry its sky
// level and bits 9..14 its block level, both 0 for opaque cells. The sum of four terms holds
// the count of open cells and the sums of their levels in separate fields.
constexpr unsigned kSkyShift = 3, kBlockShift = 9, kCountMask = 7, kSumMask = 63;

unsigned lightTerm(bool opaque, std::uint8_t sky, std::uint8_t block) {
  return opaque ? 0u : 1u | (sky & 15u) << kSkyShift | (block & 15u) << kBlockShift;
}

// The light terms of one row's 18 cells; `opaqueRow` has bit x set for each opaque cell.
// The first 16 cells form a loop of fixed length testing constant bits, which vectorises.
void fillLightTerms(std::uint32_t opaqueRow, const std::uint8_t* sky, const std::uint8_t* block, std::uint16_t* out) {
  constexpr std::array<std::uint32_t, 16> kCellBit = [] {
    std::array<std::uint32_t, 16> bits{};
    for (unsigned x = 0; x < bits.size(); ++x) bits[x] = 1u << x;
    return bits;
  }();
  for (int x = 0; x < 16; ++x) {
    out[x] = static_cast<std::uint16_t>(lightTerm((opaqueRow & kCellBit[x]) != 0, sky[x], block[x]));
  }
  for (int x = 16; x < kSnapshotSize; ++x) {
    out[x] = static_cast<std::uint16_t>(lightTerm((opaqueRow >> x & 1u) != 0, sky[x], block[x]));
  }
}

bool isOpaque(std::uint16_t term) { return (term & 1u) == 0; }

// What the passes need to know about the chunk, derived from the snapshot in one sweep.
struct ChunkScan {
  std::array<std::uint16_t, kSnapshotCells> light;  // light term of every padded cell
  std::array<std::uint32_t, kRows> opaqueRows;
  InteriorRows cubeRows, torchRows, fluidRows;
  std::array<std::array<std::uint32_t, 6>, kChunkSize * kChunkSize> shownFaces;  // per face, cubes showing it
  InteriorRows shownCubes;                                                        // cubes showing any face
};

// Fills everything but the shown faces; true when every padded cell is opaque.
bool scanCells(const ChunkSnapshot& snapshot, const TraitTable& traits, ChunkScan& scan) {
  std::uint32_t allOpaque = kFullRow;
  for (int row = 0; row < kRows; ++row) {
    const int first = row * kSnapshotSize;
    const BlockId* ids = &snapshot.blocks[first];
    std::uint64_t lanes = 0;  // cells x = 0..15, i.e. row bits 1..16
    for (int x = 0; x < kChunkSize; ++x) lanes |= traits.lanes(ids[x + 1]) << x;
    const auto opaque = static_cast<std::uint32_t>((lanes >> LaneOpaque & 0xFFFFu) << 1 |
                                                   (traits.lanes(ids[0]) & 1u) |
                                                   (traits.lanes(ids[kSnapshotSize - 1]) & 1u) << (kSnapshotSize - 1));
    scan.opaqueRows[row] = opaque;
    allOpaque &= opaque;
    if (opaque == kFullRow) {
      std::fill_n(&scan.light[first], kSnapshotSize, std::uint16_t{0});
    } else {
      fillLightTerms(opaque, &snapshot.sky[first], &snapshot.blockLight[first], &scan.light[first]);
    }
    const int y = row / kSnapshotSize - 1, z = row % kSnapshotSize - 1;
    if (y < 0 || y >= kChunkSize || z < 0 || z >= kChunkSize) continue;
    scan.cubeRows[interiorRow(y, z)] = static_cast<std::uint32_t>(lanes >> LaneCube & 0xFFFFu);
    scan.torchRows[interiorRow(y, z)] = static_cast<std::uint32_t>(lanes >> LaneTorch & 0xFFFFu);
    scan.fluidRows[interiorRow(y, z)] = static_cast<std::uint32_t>(lanes >> LaneFluid & 0xFFFFu);
  }
  return allOpaque == kFullRow;
}

// Portable to CPUs without a population-count instruction.
int bitCount(std::uint64_t bits) {
  bits = bits - (bits >> 1 & 0x5555555555555555u);
  bits = (bits & 0x3333333333333333u) + (bits >> 2 & 0x3333333333333333u);
  return static_cast<int>(((bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0Fu) * 0x0101010101010101u >> 56);
}

// Marks the cube faces whose front cell is not opaque; returns how many there are.
std::size_t findShownFaces(ChunkScan& scan) {
  std::size_t shown = 0;
  for (int y = 0; y < kChunkSize; ++y) {
    for (int z = 0; z < kChunkSize; ++z) {
      const int row = rowOf(y, z), inner = interiorRow(y, z);
      const std::uint32_t cubes = scan.cubeRows[inner];
      scan.shownCubes[inner] = 0;
      if (cubes == 0) continue;
      std::array<std::uint64_t, 2> packed{};  // the six 16-bit masks side by side, counted together
      for (int f = 0; f < 6; ++f) {
        const std::array<int, 3>& n = kFaces[f].normal;
        const std::uint32_t front = scan.opaqueRows[row + n[1] * kSnapshotSize + n[2]] >> (1 + n[0]);
        const std::uint32_t faces = cubes & ~front;
        scan.shownFaces[inner][f] = faces;
        scan.shownCubes[inner] |= faces;
        packed[f / 4] |= std::uint64_t{faces} << (16 * (f % 4));
      }
      shown += static_cast<std::size_t>(bitCount(packed[0]) + bitCount(packed[1]));
    }
  }
  return shown;
}

// Calls visit(x, y, z) for every set cell of `rows`, y outer, then z, then x.
template <class Visit>
void forEachCell(const InteriorRows& rows, Visit&& visit) {
  for (int y = 0; y < kChunkSize; ++y) {
    for (int z = 0; z < kChunkSize; ++z) {
      for (std::uint32_t bits = rows[interiorRow(y, z)]; bits != 0; bits &= bits - 1) {
        visit(std::countr_zero(bits), y, z);
      }
    }
  }
}

std::size_t cellCount(const InteriorRows& rows) {
  std::size_t count = 0;
  for (const std::uint32_t row : rows) count += static_cast<std::size_t>(bitCount(row));
  return count;
}

// The cell's unit box in world coordinates.
Box cellBox(const ChunkKey& key, int x, int y, int z) {
  return unitBox(static_cast<float>(key.cx * kChunkSize + x), static_cast<float>(key.cy * kChunkSize + y),
                 static_cast<float>(key.cz * kChunkSize + z));
}

// ---- Cube pass --------------------------------------------------------------------------

// Occlusion level by (side 1, side 2, diagonal) opacity: 0 when both sides are opaque.
constexpr std::array<int, 8> kOcclusionLevel = [] {
  std::array<int, 8> levels{};
  for (int bits = 0; bits < 8; ++bits) {
    const int side1 = bits & 1, side2 = bits >> 1 & 1, corner = bits >> 2 & 1;
    levels[bits] = side1 != 0 && side2 != 0 ? 0 : 3 - side1 - side2 - corner;
  }
  return levels;
}();

// Occlusion and averaged light at the four corners of face `face` of the cube in `cell`.
QuadShading cubeShading(const ChunkScan& scan, int cell, int face) {
  const FaceSteps& steps = kFaceSteps[face];
  const int front = cell + steps.front;
  const unsigned centre = scan.light[front];
  QuadShading shading;
  for (int k = 0; k < 4; ++k) {
    const unsigned side1 = scan.light[front + steps.alongU[k]];
    const unsigned side2 = scan.light[front + steps.alongV[k]];
    const unsigned corner = scan.light[front + steps.alongU[k] + steps.alongV[k]];
    const unsigned blocked = (~side1 & 1u) | (~side2 & 1u) << 1 | (~corner & 1u) << 2;
    const unsigned sum = centre + side1 + side2 + corner;
    const unsigned count = sum & kCountMask;
    shading.shade[k] = kAoShade[face][kOcclusionLevel[blocked]];
    shading.sky[k] = kAveragedLight[count][sum >> kSkyShift & kSumMask];
    shading.block[k] = kAveragedLight[count][sum >> kBlockShift & kSumMask];
  }
  return shading;
}

void cubePass(const ChunkSnapshot& snapshot, const TraitTable& traits, const ChunkScan& scan, Mesh& mesh) {
  forEachCell(scan.shownCubes, [&](int x, int y, int z) {
    const int cell = snapshotIndex(x, y, z);
    const BlockTraits& block = traits[snapshot.blocks[cell]];
    const Box box = cellBox(snapshot.key, x, y, z);
    const auto& shown = scan.shownFaces[interiorRow(y, z)];
    for (int face = 0; face < 6; ++face) {
      if ((shown[face] >> x & 1u) == 0) continue;
      emitQuad(mesh, face, box, texture(block, kFaces[face].tex), cubeShading(scan, cell, face));
    }
  });
}

// ---- Torch pass -------------------------------------------------------------------------

// A 2/16 × 10/16 × 2/16 post standing in the middle of the cell; no bottom.
constexpr std::array<int, 5> kTorchFaces{PosZ, NegZ, PosX, NegX, PosY};

void torchPass(const ChunkSnapshot& snapshot, const TraitTable& traits, const ChunkScan& scan, Mesh& mesh) {
  const std::int32_t layer = texture(traits[blocks::Torch], TexColumn::Side);
  forEachCell(scan.torchRows, [&](int x, int y, int z) {
    const int cell = snapshotIndex(x, y, z);
    const std::array<float, 3>& at = cellBox(snapshot.key, x, y, z).lower;
    const Box post{{at[0] + 7.0f / 16.0f, at[1], at[2] + 7.0f / 16.0f},
                   {at[0] + 9.0f / 16.0f, at[1] + 10.0f / 16.0f, at[2] + 9.0f / 16.0f}};
    const QuadShading shading =
        uniformShading(1.0f, lightFraction(snapshot.sky[cell]), lightFraction(snapshot.blockLight[cell]));
    for (const int face : kTorchFaces) emitQuad(mesh, face, post, layer, shading);
  });
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
  const bool clear = !isOpaque(scan.light[neighbour]);
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
  forEachCell(scan.fluidRows, [&](int x, int y, int z) {
    const int cell = snapshotIndex(x, y, z);
    emitFluidCell(snapshot, scan, cell, cellBox(snapshot.key, x, y, z), fluidStyle(snapshot.blocks[cell], out));
  });
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
  auto scan = std::make_unique_for_overwrite<ChunkScan>();  // every field is written before it is read
  ChunkMesh out;
  if (scanCells(snapshot, traits, *scan)) return out;
  const std::size_t cubeQuads = findShownFaces(*scan);
  reserveQuads(out.main, cubeQuads + kTorchFaces.size() * cellCount(scan->torchRows));
  cubePass(snapshot, traits, *scan, out.main);
  torchPass(snapshot, traits, *scan, out.main);
  fluidPass(snapshot, *scan, out);
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

void appendModelBox(Mesh& mesh, const Vec3& lower, const Vec3& upper, int tile, int frontTile, float shade) {
  reserveQuads(mesh, kFaces.size());
  const Box box{{lower.x, lower.y, lower.z}, {upper.x, upper.y, upper.z}};
  for (int face = 0; face < 6; ++face) {
    emitQuad(mesh, face, box, face == PosX ? frontTile : tile, uniformShading(kFaces[face].shade * shade, 1.0f, 0.0f));
  }
}

}  // namespace zorv
