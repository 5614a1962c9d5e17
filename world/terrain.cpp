#include "world/terrain.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "world/villages.h"
#include "world/vec.h"

namespace zorv {
namespace {

constexpr std::uint32_t kMulX = 0x8DA6B343u, kMulY = 0xD8163841u, kMulZ = 0xCB1AB31Fu, kMulS = 0x9E3779B9u;

std::uint32_t u32(std::int32_t value) { return static_cast<std::uint32_t>(value); }
std::uint32_t u32(int value, int offset) { return static_cast<std::uint32_t>(value) + static_cast<std::uint32_t>(offset); }

float lerp(float from, float to, float t) { return from + (to - from) * t; }

// The seven 3D fields of the cave and ore generator, sampled every 4 blocks.
enum Field : int { FieldA, FieldB, FieldC, FieldD, FieldE, FieldF, FieldG, kFieldCount };
constexpr int kGridXZ = 5;   // samples 0, 4, .., 16 along x and z
constexpr int kGridY = 29;   // samples y = −48, −44, .., 64
constexpr int kGridYStride = 32;  // padded so the per-layer loops run in whole vectors

struct FieldGrid {
  // [field][zs][xs][ys]: the layers of one sample column lie side by side.
  std::array<float, kFieldCount * kGridXZ * kGridXZ * kGridYStride> samples{};
  float& at(int field, int xs, int ys, int zs) { return samples[offset(field, xs, zs) + static_cast<std::size_t>(ys)]; }
  const float* layers(int field, int xs, int zs) const { return &samples[offset(field, xs, zs)]; }
  static std::size_t offset(int field, int xs, int zs) {
    return static_cast<std::size_t>(((field * kGridXZ + zs) * kGridXZ + xs) * kGridYStride);
  }
};

void sampleFields(FieldGrid& grid, std::int32_t seed, int cx, int cz) {
  const auto n3 = [seed](float x, float y, float z, float scale, float yScale, int offset) {
    return noise3(scale * x, yScale * y, scale * z, static_cast<std::int32_t>(u32(seed, offset)));
  };
  for (int ys = 0; ys < kGridY; ++ys) {
    for (int zs = 0; zs < kGridXZ; ++zs) {
      for (int xs = 0; xs < kGridXZ; ++xs) {
        const float x = static_cast<float>(16 * cx + 4 * xs);
        const float y = static_cast<float>(4 * ys + kMinY);
        const float z = static_cast<float>(16 * cz + 4 * zs);
        grid.at(FieldA, xs, ys, zs) = 0.65f * n3(x, y, z, 0.015f, 0.035f, 31) + 0.35f * n3(x, y, z, 0.03f, 0.07f, 132);
        grid.at(FieldB, xs, ys, zs) = 0.65f * n3(x, y, z, 0.015f, 0.035f, 67) + 0.35f * n3(x, y, z, 0.03f, 0.07f, 168);
        grid.at(FieldC, xs, ys, zs) =
            0.45f * n3(x, y, z, 0.065f, 0.065f * 1.6f, 97) + 0.55f * n3(x, y, z, 0.028f, 0.028f * 1.6f, 53);
        grid.at(FieldD, xs, ys, zs) = n3(x, y, z, 0.025f, 0.025f, 131);
        grid.at(FieldE, xs, ys, zs) = n3(x, y, z, 0.09f, 0.09f, 211);
        grid.at(FieldF, xs, ys, zs) = n3(x, y, z, 0.1f, 0.1f, 307);
        grid.at(FieldG, xs, ys, zs) = n3(x, y, z, 0.11f, 0.11f, 401);
      }
    }
  }
}

// The fields of one (lx, lz) cell column, already interpolated along x and z.
struct CellFields {
  std::array<std::array<float, kGridYStride>, kFieldCount> layers;

  // Interpolation along y between the two samples around y.
  float at(int field, int y) const {
    const auto offset = static_cast<unsigned>(y - kMinY);
    const unsigned ys = offset / 4;
    return lerp(layers[field][ys], layers[field][ys + 1], static_cast<float>(offset % 4) / 4.0f);
  }
};

void interpolateCell(const FieldGrid& grid, int lx, int lz, CellFields& cell) {
  const int xs = lx / 4, zs = lz / 4;
  const float fx = static_cast<float>(lx % 4) / 4.0f, fz = static_cast<float>(lz % 4) / 4.0f;
  for (int field = 0; field < kFieldCount; ++field) {
    const float* s00 = grid.layers(field, xs, zs);
    const float* s10 = grid.layers(field, xs + 1, zs);
    const float* s01 = grid.layers(field, xs, zs + 1);
    const float* s11 = grid.layers(field, xs + 1, zs + 1);
    float* out = cell.layers[field].data();
    for (int ys = 0; ys < kGridYStride; ++ys) {
      out[ys] = lerp(lerp(s00[ys], s10[ys], fx), lerp(s01[ys], s11[ys], fx), fz);
    }
  }
}

// The seven chunks of the column being generated, written directly.
struct ColumnChunks {
  std::array<Chunk*, kChunksPerColumn> chunks{};
  int cx = 0, cz = 0;

  ColumnChunks(World& world, int columnX, int columnZ) : cx(columnX), cz(columnZ) {
    for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) chunks[cy - kMinChunkY] = findChunk(world, {cx, cy, cz});
  }
  // Writes that fall outside the column or the height range are dropped.
  void set(int x, int y, int z, BlockId id) {
    if (chunkCoord(x) != cx || chunkCoord(z) != cz || y < kMinY || y > kMaxY) return;
    cell(x, y, z) = id;
  }
  BlockId& cell(int x, int y, int z) {
    return chunks[chunkCoord(y) - kMinChunkY]->blocks[chunkIndex(localCoord(x), localCoord(y), localCoord(z))];
  }
};

bool bedrockChance(std::int32_t seed, int x, int z, int seedOffset, std::uint32_t salt, float chance) {
  return fin24((u32(x) * kMulX) ^ (u32(z) * kMulZ) ^ (u32(seed, seedOffset) * kMulS) ^ salt) < chance;
}

BlockId undergroundBlock(std::int32_t seed, int x, int y, int z, const CellFields& fields) {
  if (y == kMinY) return blocks::Bedrock;
  if (y == kMinY + 1 && bedrockChance(seed, x, z, 911, 0x53EBAC11u, 0.55f)) return blocks::Bedrock;
  if (y == kMinY + 2 && bedrockChance(seed, x, z, 913, 0x2C01E452u, 0.22f)) return blocks::Bedrock;
  if (y <= 0 && fields.at(FieldG, y) > 0.875f) return blocks::DiamondOre;
  if (y <= 34 && fields.at(FieldF, y) > 0.845f) return blocks::IronOre;
  if (fields.at(FieldE, y) > 0.82f) return blocks::CoalOre;
  return blocks::Stone;
}

bool isCarved(int y, int h, const CellFields& fields) {
  const float tunnel = fields.at(FieldD, y) * 0.022f + 0.012f;
  if (tunnel > std::fabs(fields.at(FieldA, y) - 0.5f) && tunnel > std::fabs(fields.at(FieldB, y) - 0.5f)) return true;
  const float p = std::clamp(static_cast<float>(h + 8 - y) / 56.0f, 0.0f, 1.0f);
  const float q = std::clamp(static_cast<float>(y - h + 14) / 14.0f, 0.0f, 1.0f);
  return fields.at(FieldC, y) > 0.83f - 0.14f * p + 0.1f * q;
}

void fillCellColumn(ColumnChunks& column, std::int32_t seed, int x, int z, const CellFields& fields) {
  const int h = terrainHeight(seed, x, z);
  const int biome = terrainBiome(seed, x, z);
  const bool sandy = h <= 32 || biome == BiomeDesert;
  const int caveCeiling = h >= kSeaLevel ? h : h - 6;
  for (int y = kMinY; y <= h; ++y) {
    BlockId id;
    if (sandy && y >= h - 3) {
      id = blocks::Sand;
    } else if (!sandy && y == h) {
      id = biome == BiomeSnow ? blocks::Snow : blocks::Grass;
    } else if (!sandy && y >= h - 2) {
      id = blocks::Dirt;
    } else {
      id = undergroundBlock(seed, x, y, z, fields);
    }
    // The bedrock rows lie below the lowest carvable layer.
    if (y >= kMinY + 3 && y <= caveCeiling && isCarved(y, h, fields)) {
      id = y <= -20 ? blocks::Lava : kAir;
    }
    column.cell(x, y, z) = id;
  }
  for (int y = h + 1; y <= kSeaLevel; ++y) column.cell(x, y, z) = blocks::Water;
}

void fillTerrain(World& world, ColumnChunks& column) {
  FieldGrid grid;
  sampleFields(grid, world.seed, column.cx, column.cz);
  CellFields fields;
  for (int lz = 0; lz < kChunkSize; ++lz) {
    for (int lx = 0; lx < kChunkSize; ++lx) {
      interpolateCell(grid, lx, lz, fields);
      fillCellColumn(column, world.seed, 16 * column.cx + lx, 16 * column.cz + lz, fields);
    }
  }
}

// Leaves go only into air, so trunks and earlier canopies win over later leaves.
void placeLeaves(ColumnChunks& column, int x, int y, int z) {
  if (chunkCoord(x) != column.cx || chunkCoord(z) != column.cz) return;
  if (column.cell(x, y, z) == kAir) column.cell(x, y, z) = blocks::Leaves;
}

void placeTree(ColumnChunks& column, int x, int z, int h, int trunk) {
  for (int y = h + 1; y <= h + trunk; ++y) column.set(x, y, z, blocks::Wood);
  const int top = h + trunk;
  for (int dz = -2; dz <= 2; ++dz) {
    for (int dx = -2; dx <= 2; ++dx) {
      const bool inner = std::abs(dx) <= 1 && std::abs(dz) <= 1;
      const bool corner = std::abs(dx) == 1 && std::abs(dz) == 1;
      if (inner) placeLeaves(column, x + dx, top - 2, z + dz);
      placeLeaves(column, x + dx, top - 1, z + dz);
      placeLeaves(column, x + dx, top, z + dz);
      if (inner && !corner) placeLeaves(column, x + dx, top + 1, z + dz);
    }
  }
}

// Trees stand on a 6-block lattice; each lattice point decides by its own hash.
void plantTrees(World& world, ColumnChunks& column) {
  const std::int32_t seed = world.seed;
  const int x0 = 16 * column.cx - 2, z0 = 16 * column.cz - 2;
  const int firstX = x0 + floorMod(3 - x0, 6), firstZ = z0 + floorMod(3 - z0, 6);
  for (int z = firstZ; z <= z0 + 19; z += 6) {
    for (int x = firstX; x <= x0 + 19; x += 6) {
      const int biome = terrainBiome(seed, x, z);
      const int h = terrainHeight(seed, x, z);
      if (biome > BiomeForest || h <= 32) continue;
      std::uint32_t e = (u32((z - 3) / 6) * kMulY) ^ (u32((x - 3) / 6) * kMulX) ^ (386392147u - u32(seed) * 887442657u);
      e = (e ^ (e >> 13)) * 0x85EBCA6Bu;
      std::uint64_t r = e ^ (e >> 16);
      r = r * 0x5851F42D4C957F2Dull + 0x14057B7EF767814Full;
      const std::uint64_t chance = biome == BiomeForest ? 45 : 12;
      if (r % 100 >= chance) continue;
      const int trunk = static_cast<int>((r >> 8) % 3) + 4;
      if (h + trunk + 3 >= 64) continue;
      placeTree(column, x, z, h, trunk);
    }
  }
}

template <class Visit>
void forEachSiteAround(World& world, int x, int z, Visit visit) {
  for (const VillageSite& site : world.villageSites) visit(site);
  for (int j = floorDiv(z - 136, kVillageCellSize); j <= floorDiv(z - 24, kVillageCellSize); ++j) {
    for (int i = floorDiv(x - 136, kVillageCellSize); i <= floorDiv(x - 24, kVillageCellSize); ++i) {
      if (const std::optional<VillageSite> site = cellSite(world, i, j)) visit(*site);
    }
  }
}

}  // namespace

float fin24(std::uint32_t h) {
  const std::uint32_t h1 = (h ^ (h >> 13)) * 0x85EBCA6Bu;
  return static_cast<float>((h1 ^ (h1 >> 16)) & 0xFFFFFFu) / 16777215.0f;
}

// t² first, then the product: the other order differs in the last bit and moves the
// terrain height by a block at a few points in a million.
float smoothStep(float t) { return (3.0f - 2.0f * t) * (t * t); }

float fractal2(float a, float b, int octaves, std::int32_t s) {
  float sum = 0.0f, total = 0.0f, amp = 0.5f;
  for (int i = 0; i < octaves; ++i) {
    const int ix = floorToInt(a), iz = floorToInt(b);
    const float fx = smoothStep(a - static_cast<float>(ix)), fz = smoothStep(b - static_cast<float>(iz));
    const std::uint32_t k = u32(i) * 562604859u - u32(s) * 887442657u;
    const std::uint32_t x0 = u32(ix) * kMulX, x1 = u32(ix, 1) * kMulX;
    const std::uint32_t z0 = u32(iz) * kMulY, z1 = u32(iz, 1) * kMulY;
    const float near = lerp(fin24(x0 ^ z0 ^ k), fin24(x1 ^ z0 ^ k), fx);
    const float far = lerp(fin24(x0 ^ z1 ^ k), fin24(x1 ^ z1 ^ k), fx);
    sum += lerp(near, far, fz) * amp;
    total += amp;
    amp *= 0.5f;
    a *= 2.0f;
    b *= 2.0f;
  }
  return sum / total;
}

float noise3(float x, float y, float z, std::int32_t s) {
  const int ix = floorToInt(x), iy = floorToInt(y), iz = floorToInt(z);
  const float fx = smoothStep(x - static_cast<float>(ix));
  const float fy = smoothStep(y - static_cast<float>(iy));
  const float fz = smoothStep(z - static_cast<float>(iz));
  const std::uint32_t salt = u32(s) * kMulS;
  const std::uint32_t hx[2] = {u32(ix) * kMulX, u32(ix, 1) * kMulX};
  const std::uint32_t hy[2] = {u32(iy) * kMulY, u32(iy, 1) * kMulY};
  const std::uint32_t hz[2] = {u32(iz) * kMulZ, u32(iz, 1) * kMulZ};
  float alongZ[2];
  for (int r = 0; r < 2; ++r) {
    float alongY[2];
    for (int q = 0; q < 2; ++q) {
      const std::uint32_t base = hy[q] ^ hz[r] ^ salt;
      alongY[q] = lerp(fin24(hx[0] ^ base), fin24(hx[1] ^ base), fx);
    }
    alongZ[r] = lerp(alongY[0], alongY[1], fy);
  }
  return lerp(alongZ[0], alongZ[1], fz);
}

int terrainHeight(std::int32_t seed, int x, int z) {
  const float fx = static_cast<float>(x), fz = static_cast<float>(z);
  const float f = fractal2(0.0045f * fx, 0.0045f * fz, 4, seed);
  const float g = std::clamp((f - 0.58f) / 0.22f, 0.0f, 1.0f);
  const float r = fractal2(0.008f * fx + 50.0f, 0.008f * fz - 30.0f, 3, static_cast<std::int32_t>(u32(seed, 23)));
  const float d = fractal2(0.018f * fx, 0.018f * fz, 4, static_cast<std::int32_t>(u32(seed, 11)));
  const float v = (d - 0.5f) * 9.0f + ((f - 0.5f) * 22.0f + 32.0f) + (1.0f - std::fabs(2.0f * r - 1.0f)) * smoothStep(g) * 15.0f;
  return std::clamp(static_cast<int>(v), 3, 56);
}

int terrainBiome(std::int32_t seed, int x, int z) {
  const float fx = static_cast<float>(x), fz = static_cast<float>(z);
  const float m = fractal2(0.0035f * fx + 100.0f, 0.0035f * fz + 200.0f, 2, static_cast<std::int32_t>(u32(seed, 7)));
  const float c = fractal2(0.0024f * fx + 400.0f, 0.0024f * fz - 250.0f, 3, static_cast<std::int32_t>(u32(seed, 53)));
  if (c < 0.2f) return BiomeSnow;
  if (m < 0.4f) return BiomeDesert;
  if (m > 0.62f) return BiomeForest;
  return BiomeGrassland;
}

void generateColumn(World& world, int cx, int cz) {
  world.generating = true;
  world.generatingCx = cx;
  world.generatingCz = cz;
  createEmptyColumn(world, cx, cz);
  ColumnChunks column(world, cx, cz);
  fillTerrain(world, column);
  queueRelightAround(world, cx, cz);
  plantTrees(world, column);
  buildVillagesInColumn(world, cx, cz);
  world.generating = false;
  replayColumnEdits(world, cx, cz);
}

int surfaceHeight(World& world, int x, int z) {
  const int h = terrainHeight(world.seed, x, z);
  int result = h;
  forEachSiteAround(world, x, z, [&](const VillageSite& site) {
    const float m = distanceToSite(site, x, z);
    if (m <= static_cast<float>(site.radius) || (m <= static_cast<float>(site.radius + 12) && h >= kSeaLevel)) {
      result = flattenedLevel(site, m, h);
    }
  });
  return result;
}

int surfaceBiome(World& world, int x, int z) {
  const int h = terrainHeight(world.seed, x, z);
  bool flattened = false;
  forEachSiteAround(world, x, z, [&](const VillageSite& site) {
    const float m = distanceToSite(site, x, z);
    flattened = flattened || m <= static_cast<float>(site.radius) ||
                (m <= static_cast<float>(site.radius + 12) && h >= kSeaLevel);
  });
  return flattened ? BiomeGrassland : terrainBiome(world.seed, x, z);
}

}  // namespace zorv
