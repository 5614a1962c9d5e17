#include "terrain_reference.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace zorv::reference {
namespace {

constexpr std::uint32_t kX = 0x8DA6B343u;
constexpr std::uint32_t kY = 0xD8163841u;
constexpr std::uint32_t kZ = 0xCB1AB31Fu;
constexpr std::uint32_t kS = 0x9E3779B9u;

std::uint32_t bits(std::int64_t value) { return static_cast<std::uint32_t>(value); }

float mix(float a, float b, float t) { return a + (b - a) * t; }

int floorInt(float value) { return static_cast<int>(std::floor(value)); }

// ---------------------------------------------------------------- column being built

struct Column {
  int cx = 0, cz = 0;
  std::vector<BlockId> cells = std::vector<BlockId>(static_cast<std::size_t>(kColumnCells), kAir);

  bool inside(int x, int y, int z) const {
    return floorDiv(x, 16) == cx && floorDiv(z, 16) == cz && y >= kMinY && y <= kMaxY;
  }
  BlockId get(int x, int y, int z) const {
    return inside(x, y, z) ? cells[columnIndex(x - 16 * cx, y, z - 16 * cz)] : kAir;
  }
  void set(int x, int y, int z, BlockId id) {
    if (inside(x, y, z)) cells[columnIndex(x - 16 * cx, y, z - 16 * cz)] = id;
  }
};

// ---------------------------------------------------------------- the seven 3D fields

constexpr int kFieldCount = 7;

// Samples [field][xs][ys][zs] at x = 16cx + 4xs, y = 4ys − 48, z = 16cz + 4zs.
struct Fields {
  std::vector<float> samples = std::vector<float>(kFieldCount * 5 * 29 * 5);
  float& sample(int field, int xs, int ys, int zs) {
    return samples[static_cast<std::size_t>(((field * 5 + xs) * 29 + ys) * 5 + zs)];
  }
  float sample(int field, int xs, int ys, int zs) const {
    return samples[static_cast<std::size_t>(((field * 5 + xs) * 29 + ys) * 5 + zs)];
  }

  // Interpolated along x, then z, then y.
  float at(int field, int lx, int y, int lz) const {
    const int xs = lx / 4, zs = lz / 4, ys = (y + 48) / 4;
    const float fx = static_cast<float>(lx % 4) / 4.0f;
    const float fz = static_cast<float>(lz % 4) / 4.0f;
    const float fy = static_cast<float>((y + 48) % 4) / 4.0f;
    float layer[2];
    for (int k = 0; k < 2; ++k) {
      const float nearZ = mix(sample(field, xs, ys + k, zs), sample(field, xs + 1, ys + k, zs), fx);
      const float farZ = mix(sample(field, xs, ys + k, zs + 1), sample(field, xs + 1, ys + k, zs + 1), fx);
      layer[k] = mix(nearZ, farZ, fz);
    }
    return mix(layer[0], layer[1], fy);
  }
};

Fields sampleFields(std::int32_t s, int cx, int cz) {
  Fields fields;
  const auto n = [s](float x, float y, float z, int offset) {
    return noise3(x, y, z, static_cast<std::int32_t>(bits(std::int64_t{s} + offset)));
  };
  for (int xs = 0; xs <= 4; ++xs) {
    for (int ys = 0; ys <= 28; ++ys) {
      for (int zs = 0; zs <= 4; ++zs) {
        const float x = static_cast<float>(16 * cx + 4 * xs);
        const float y = static_cast<float>(4 * ys - 48);
        const float z = static_cast<float>(16 * cz + 4 * zs);
        fields.sample(0, xs, ys, zs) =
            0.65f * n(0.015f * x, 0.035f * y, 0.015f * z, 31) + 0.35f * n(0.03f * x, 0.07f * y, 0.03f * z, 132);
        fields.sample(1, xs, ys, zs) =
            0.65f * n(0.015f * x, 0.035f * y, 0.015f * z, 67) + 0.35f * n(0.03f * x, 0.07f * y, 0.03f * z, 168);
        fields.sample(2, xs, ys, zs) = 0.45f * n(0.065f * x, 0.065f * 1.6f * y, 0.065f * z, 97) +
                                       0.55f * n(0.028f * x, 0.028f * 1.6f * y, 0.028f * z, 53);
        fields.sample(3, xs, ys, zs) = n(0.025f * x, 0.025f * y, 0.025f * z, 131);
        fields.sample(4, xs, ys, zs) = n(0.09f * x, 0.09f * y, 0.09f * z, 211);
        fields.sample(5, xs, ys, zs) = n(0.1f * x, 0.1f * y, 0.1f * z, 307);
        fields.sample(6, xs, ys, zs) = n(0.11f * x, 0.11f * y, 0.11f * z, 401);
      }
    }
  }
  return fields;
}

// ---------------------------------------------------------------- terrain cells

bool bedrockRoll(std::int32_t s, int x, int z, int seedOffset, std::uint32_t salt, float chance) {
  const std::uint32_t h = (bits(x) * kX) ^ (bits(z) * kZ) ^ (bits(std::int64_t{s} + seedOffset) * kS) ^ salt;
  return fin24(h) < chance;
}

BlockId oreCascade(const Fields& f, int lx, int y, int lz) {
  if (y <= 0 && f.at(6, lx, y, lz) > 0.875f) return blocks::DiamondOre;
  if (y <= 34 && f.at(5, lx, y, lz) > 0.845f) return blocks::IronOre;
  if (f.at(4, lx, y, lz) > 0.82f) return blocks::CoalOre;
  return blocks::Stone;
}

bool carved(const Fields& f, int lx, int y, int lz, int h) {
  const float t = f.at(3, lx, y, lz) * 0.022f + 0.012f;
  if (t > std::abs(f.at(0, lx, y, lz) - 0.5f) && t > std::abs(f.at(1, lx, y, lz) - 0.5f)) return true;
  const float p = std::clamp(static_cast<float>(h + 8 - y) / 56.0f, 0.0f, 1.0f);
  const float q = std::clamp(static_cast<float>(y - h + 14) / 14.0f, 0.0f, 1.0f);
  return f.at(2, lx, y, lz) > 0.83f - 0.14f * p + 0.1f * q;
}

void fillTerrain(Column& col, std::int32_t s) {
  const Fields f = sampleFields(s, col.cx, col.cz);
  for (int lz = 0; lz < 16; ++lz) {
    for (int lx = 0; lx < 16; ++lx) {
      const int x = 16 * col.cx + lx, z = 16 * col.cz + lz;
      const int h = height(s, x, z), b = biome(s, x, z);
      const int ceiling = h >= 30 ? h : h - 6;
      const bool sandy = h <= 32 || b == 2;
      for (int y = -48; y <= h; ++y) {
        BlockId id = blocks::Stone;
        bool cavesAllowed = true;
        if (sandy && y >= h - 3) {
          id = blocks::Sand;
        } else if (!sandy && y == h) {
          id = b == 3 ? blocks::Snow : blocks::Grass;
        } else if (!sandy && (y == h - 1 || y == h - 2)) {
          id = blocks::Dirt;
        } else if (y == -48) {
          id = blocks::Bedrock;
          cavesAllowed = false;
        } else if (y == -47 && bedrockRoll(s, x, z, 911, 0x53EBAC11u, 0.55f)) {
          id = blocks::Bedrock;
          cavesAllowed = false;
        } else if (y == -46 && bedrockRoll(s, x, z, 913, 0x2C01E452u, 0.22f)) {
          id = blocks::Bedrock;
          cavesAllowed = false;
        } else {
          id = oreCascade(f, lx, y, lz);
        }
        if (cavesAllowed && y >= -45 && y <= ceiling && carved(f, lx, y, lz, h)) {
          id = y <= -20 ? blocks::Lava : kAir;
        }
        col.set(x, y, z, id);
      }
      for (int y = h + 1; y <= 30; ++y) col.set(x, y, z, blocks::Water);
    }
  }
}

// ---------------------------------------------------------------- trees

void leaf(Column& col, int x, int y, int z) {
  if (col.inside(x, y, z) && col.get(x, y, z) == kAir) col.set(x, y, z, blocks::Leaves);
}

void growTree(Column& col, const TreeCandidate& tree) {
  for (int y = tree.ground + 1; y <= tree.ground + tree.trunk; ++y) col.set(tree.x, y, tree.z, blocks::Wood);
  const int top = tree.ground + tree.trunk;
  // Canopy layers bottom to top: half-width, and whether the corners are left out.
  const std::array<std::array<int, 3>, 4> layers{{{top - 2, 1, 0}, {top - 1, 2, 0}, {top, 2, 0}, {top + 1, 1, 1}}};
  for (const auto& [y, reach, noCorners] : layers) {
    for (int dz = -reach; dz <= reach; ++dz) {
      for (int dx = -reach; dx <= reach; ++dx) {
        if (noCorners && std::abs(dx) == reach && std::abs(dz) == reach) continue;
        leaf(col, tree.x + dx, y, tree.z + dz);
      }
    }
  }
}

// ---------------------------------------------------------------- villages

float distanceTo(const Site& site, int x, int z) {
  const float dx = static_cast<float>(x) - (static_cast<float>(site.x) + 0.5f);
  const float dz = static_cast<float>(z) - (static_cast<float>(site.z) + 0.5f);
  return std::sqrt(dx * dx + dz * dz);
}

bool clearable(BlockId id) { return id != kAir && id != blocks::Lava && id != blocks::Torch; }

void clearRange(Column& col, int x, int z, int fromY, int toY) {
  for (int y = fromY; y <= toY; ++y) {
    if (clearable(col.get(x, y, z))) col.set(x, y, z, kAir);
  }
}

void flatten(Column& col, std::int32_t s, const Site& site) {
  for (int z = 16 * col.cz; z < 16 * col.cz + 16; ++z) {
    for (int x = 16 * col.cx; x < 16 * col.cx + 16; ++x) {
      const int h = height(s, x, z);
      const float m = distanceTo(site, x, z);
      const auto radius = static_cast<float>(site.radius);
      if (m > radius && h < 30) continue;
      int level = site.level;
      if (m > radius) {
        const float blend = smooth(std::min((m - radius) / 12.0f, 1.0f)) * static_cast<float>(h - site.level) +
                            static_cast<float>(site.level);
        level = std::clamp(static_cast<int>(std::round(blend)), 2, 60);
      }
      for (int y = level + 1; y <= std::max(h, level) + 10 && y <= 63; ++y) col.set(x, y, z, kAir);
      for (int y = h + 1; y <= level; ++y) col.set(x, y, z, blocks::Dirt);
      col.set(x, level, z, blocks::Grass);
    }
  }
}

void buildHouse(Column& col, int hx, int hz, int y, int a, int b) {
  int dx = 0, dz = 0;
  if (std::abs(hx - a) < std::abs(hz - b)) {
    dz = hz < b ? 1 : -1;
  } else {
    dx = hx < a ? 1 : -1;
  }
  for (int x = hx - 3; x <= hx + 3; ++x) {
    for (int z = hz - 3; z <= hz + 3; ++z) {
      col.set(x, y, z, blocks::Cobblestone);
      clearRange(col, x, z, y + 1, y + 8);
    }
  }
  for (int x = hx - 3; x <= hx + 3; ++x) {
    for (int z = hz - 3; z <= hz + 3; ++z) {
      const bool edgeX = std::abs(x - hx) == 3, edgeZ = std::abs(z - hz) == 3;
      if (!edgeX && !edgeZ) continue;
      col.set(x, y + 1, z, blocks::Cobblestone);
      for (int wy = y + 2; wy <= y + 3; ++wy) col.set(x, wy, z, edgeX && edgeZ ? blocks::Cobblestone : blocks::Planks);
    }
  }
  col.set(hx + 3 * dx, y + 1, hz + 3 * dz, kAir);
  col.set(hx + 3 * dx, y + 2, hz + 3 * dz, kAir);
  col.set(hx, y + 2, hz - 3, kAir);
  col.set(hx, y + 2, hz + 3, kAir);
  col.set(hx - 3 * dx, y + 2, hz, kAir);
  for (int k = 0; k <= 3; ++k) {
    for (int x = hx - 3; x <= hx + 3; ++x) {
      col.set(x, y + 4 + k, hz - 3 + k, blocks::Bricks);
      col.set(x, y + 4 + k, hz + 3 - k, blocks::Bricks);
    }
  }
  for (int k = 0; k <= 2; ++k) {
    for (int gz = k - 2; gz <= 2 - k; ++gz) {
      col.set(hx - 3, y + 4 + k, hz + gz, blocks::Planks);
      col.set(hx + 3, y + 4 + k, hz + gz, blocks::Planks);
    }
  }
  col.set(hx - 2, y + 1, hz - 2, blocks::Bookshelf);
  col.set(hx - 2, y + 2, hz - 2, blocks::Bookshelf);
  col.set(hx + 1, y + 1, hz + 1, blocks::Planks);
  col.set(hx + 2, y + 1, hz + 1, blocks::Planks);
}

void gravelAlongX(Column& col, int x0, int x1, int z, int y) {
  for (int x = std::min(x0, x1); x <= std::max(x0, x1); ++x) {
    col.set(x, y, z, blocks::Gravel);
    col.set(x, y, z + 1, blocks::Gravel);
  }
}

void gravelAlongZ(Column& col, int x, int z0, int z1, int y) {
  for (int z = std::min(z0, z1); z <= std::max(z0, z1); ++z) {
    col.set(x, y, z, blocks::Gravel);
    col.set(x + 1, y, z, blocks::Gravel);
  }
}

void buildVillage(Column& col, const Site& site) {
  const int a = site.x, b = site.z, y = site.level;
  for (int dx = -2; dx <= 2; ++dx) {
    for (int dz = -2; dz <= 2; ++dz) {
      col.set(a + dx, y, b + dz, blocks::Cobblestone);
      clearRange(col, a + dx, b + dz, y + 1, y + 4);
      if (std::abs(dx) <= 1 && std::abs(dz) <= 1) {
        col.set(a + dx, y - 1, b + dz, blocks::Water);
        col.set(a + dx, y, b + dz, blocks::Water);
      }
      if (std::abs(dx) == 2 && std::abs(dz) == 2) {
        for (int py = y + 1; py <= y + 3; ++py) col.set(a + dx, py, b + dz, blocks::Wood);
      }
    }
  }
  for (int dx = -2; dx <= 2; ++dx) {
    for (int dz = -2; dz <= 2; ++dz) col.set(a + dx, y + 4, b + dz, blocks::Planks);
  }
  const std::array<std::pair<int, int>, 4> houses{{{-12, -12}, {12, -12}, {-12, 12}, {12, 12}}};
  for (const auto& [l, h] : houses) buildHouse(col, a + l, b + h, y, a, b);
  for (const auto& [l, h] : houses) {
    const int mx = a + l + (l > 0 ? 5 : -5);
    gravelAlongX(col, a, mx, b, y);
    gravelAlongZ(col, mx, b, b + h, y);
    gravelAlongX(col, mx, a + l + (l > 0 ? 3 : -3), b + h, y);
  }
  for (const auto& [lx, lz] : std::array<std::pair<int, int>, 4>{{{7, 7}, {7, -7}, {-7, 7}, {-7, -7}}}) {
    col.set(a + lx, y, b + lz, blocks::Cobblestone);
    col.set(a + lx, y + 1, b + lz, blocks::Wood);
    col.set(a + lx, y + 2, b + lz, blocks::Wood);
    col.set(a + lx, y + 3, b + lz, blocks::Lava);
  }
}

}  // namespace

// ---------------------------------------------------------------- noise

float fin24(std::uint32_t h) {
  const std::uint32_t h1 = (h ^ (h >> 13)) * 0x85EBCA6Bu;
  return static_cast<float>((h1 ^ (h1 >> 16)) & 0xFFFFFFu) / 16777215.0f;
}

float smooth(float t) {
  const float square = t * t;
  return (3.0f - 2.0f * t) * square;
}

float fractal2(float a, float b, int octaves, std::int32_t s) {
  float sum = 0.0f, total = 0.0f, amp = 0.5f;
  for (int i = 0; i < octaves; ++i) {
    const int ix = floorInt(a), iz = floorInt(b);
    const float fx = smooth(a - static_cast<float>(ix)), fz = smooth(b - static_cast<float>(iz));
    const std::uint32_t k = bits(i) * 562604859u - bits(s) * 887442657u;
    const auto corner = [&](int p, int q) {
      return fin24((bits(std::int64_t{ix} + p) * kX) ^ (bits(std::int64_t{iz} + q) * kY) ^ k);
    };
    const float n = mix(mix(corner(0, 0), corner(1, 0), fx), mix(corner(0, 1), corner(1, 1), fx), fz);
    sum += n * amp;
    total += amp;
    amp *= 0.5f;
    a *= 2.0f;
    b *= 2.0f;
  }
  return sum / total;
}

float noise3(float x, float y, float z, std::int32_t s) {
  const int ix = floorInt(x), iy = floorInt(y), iz = floorInt(z);
  const float fx = smooth(x - static_cast<float>(ix));
  const float fy = smooth(y - static_cast<float>(iy));
  const float fz = smooth(z - static_cast<float>(iz));
  const auto corner = [&](int p, int q, int r) {
    return fin24((bits(std::int64_t{ix} + p) * kX) ^ (bits(std::int64_t{iy} + q) * kY) ^
                 (bits(std::int64_t{iz} + r) * kZ) ^ (bits(s) * kS));
  };
  float planes[2];
  for (int r = 0; r < 2; ++r) {
    planes[r] = mix(mix(corner(0, 0, r), corner(1, 0, r), fx), mix(corner(0, 1, r), corner(1, 1, r), fx), fy);
  }
  return mix(planes[0], planes[1], fz);
}

int height(std::int32_t seed, int x, int z) {
  const auto s = [seed](int offset) { return static_cast<std::int32_t>(bits(std::int64_t{seed} + offset)); };
  const float X = static_cast<float>(x), Z = static_cast<float>(z);
  const float f = fractal2(0.0045f * X, 0.0045f * Z, 4, seed);
  const float g = std::clamp((f - 0.58f) / 0.22f, 0.0f, 1.0f);
  const float r = fractal2(0.008f * X + 50.0f, 0.008f * Z - 30.0f, 3, s(23));
  const float d = fractal2(0.018f * X, 0.018f * Z, 4, s(11));
  float v = (d - 0.5f) * 9.0f;
  v += (f - 0.5f) * 22.0f + 32.0f;
  v += (1.0f - std::abs(2.0f * r - 1.0f)) * smooth(g) * 15.0f;
  return std::clamp(static_cast<int>(v), 3, 56);
}

int biome(std::int32_t seed, int x, int z) {
  const auto s = [seed](int offset) { return static_cast<std::int32_t>(bits(std::int64_t{seed} + offset)); };
  const float X = static_cast<float>(x), Z = static_cast<float>(z);
  const float m = fractal2(0.0035f * X + 100.0f, 0.0035f * Z + 200.0f, 2, s(7));
  const float c = fractal2(0.0024f * X + 400.0f, 0.0024f * Z - 250.0f, 3, s(53));
  if (c < 0.2f) return 3;
  if (m < 0.4f) return 2;
  if (m > 0.62f) return 1;
  return 0;
}

// ---------------------------------------------------------------- village sites

std::optional<Site> siteOnFlatGround(std::int32_t seed, int x, int z, int reach, int maxSpread) {
  int low = 1000, high = -1000;
  for (int dz = -reach; dz <= reach; dz += 8) {
    for (int dx = -reach; dx <= reach; dx += 8) {
      const int h = height(seed, x + dx, z + dz), b = biome(seed, x + dx, z + dz);
      if (h < 34 || b == 2 || b == 3) return std::nullopt;
      low = std::min(low, h);
      high = std::max(high, h);
    }
  }
  if (high - low > maxSpread) return std::nullopt;
  return Site{x, z, (low + high) / 2, 20};
}

SpawnVillage spawnVillage(std::int32_t seed) {
  for (int r = 0; r <= 560; r += 16) {
    for (int z = -r; z <= r; z += 16) {
      for (int x = -r; x <= r; x += 16) {
        if (std::max(std::abs(x), std::abs(z)) != r) continue;
        if (const auto site = siteOnFlatGround(seed, x, z, 16, 6)) return {*site, false};
      }
    }
  }
  return {{0, 0, std::max(height(seed, 0, 0), 34), 20}, true};
}

CellCandidate cellCandidate(std::int32_t seed, int i, int j) {
  std::uint32_t d = ((bits(seed) ^ 0x5EEDA11u) * 0xCB1AB31Fu) ^ (bits(j) * 0xD8163841u) ^ (bits(i) * 0x8DA6B343u);
  d = (d ^ (d >> 13)) * 0x85EBCA6Bu;
  CellCandidate candidate;
  candidate.chanceRoll = (d ^ (d >> 16)) % 100;
  candidate.x = static_cast<int>(((d >> 8) ^ (d >> 24)) % 41) + 160 * i + 60;
  candidate.z = static_cast<int>((d >> 16) % 41) + 160 * j + 60;
  return candidate;
}

std::optional<Site> cellSite(std::int32_t seed, const Site& spawn, int i, int j) {
  const CellCandidate c = cellCandidate(seed, i, j);
  if (c.chanceRoll >= 55) return std::nullopt;
  const std::int64_t dx = c.x - spawn.x, dz = c.z - spawn.z;
  if (dx * dx + dz * dz < 12100) return std::nullopt;
  return siteOnFlatGround(seed, c.x, c.z, 32, 7);
}

std::vector<Site> sitesNearRect(std::int32_t seed, const Site& spawn, int x0, int z0, int x1, int z1) {
  const auto within = [&](const Site& site) {
    return site.x >= x0 - 32 && site.x <= x1 + 32 && site.z >= z0 - 32 && site.z <= z1 + 32;
  };
  std::vector<Site> sites;
  if (within(spawn)) sites.push_back(spawn);
  for (int j = floorDiv(z0 - 132, 160); j <= floorDiv(z1 - 28, 160) + 1; ++j) {
    for (int i = floorDiv(x0 - 132, 160); i <= floorDiv(x1 - 28, 160) + 1; ++i) {
      if (const auto site = cellSite(seed, spawn, i, j); site && within(*site)) sites.push_back(*site);
    }
  }
  return sites;
}

std::string villageName(int x, int z, std::int32_t seed, bool chinese) {
  static const char* const englishPrefix[] = {"Oak", "Stone", "Moss", "Raven", "Brook", "Ash", "Fern", "Gale"};
  static const char* const englishSuffix[] = {"vale", "ford", "holm", "wick", "brook", "stead", "field", "hollow"};
  static const char* const chinesePrefix[] = {"橡木", "石头", "苔藓", "乌鸦", "溪水", "白蜡", "蕨草", "疾风"};
  static const char* const chineseSuffix[] = {"谷", "渡", "岛", "镇", "溪", "庄", "原", "堡"};
  std::uint32_t h = (bits(z) * 0xD8163841u) ^ ((bits(seed) ^ 0x9A11u) * 0xCB1AB31Fu) ^ (bits(x) * 0x8DA6B343u);
  h ^= h >> 13;
  h *= 0x85EBCA6Bu;
  h ^= h >> 16;
  const std::string prefix = chinese ? chinesePrefix[h & 7] : englishPrefix[h & 7];
  return prefix + (chinese ? chineseSuffix[(h >> 8) & 7] : englishSuffix[(h >> 8) & 7]);
}

// ---------------------------------------------------------------- columns

std::vector<TreeCandidate> treeCandidates(std::int32_t seed, int cx, int cz) {
  std::vector<TreeCandidate> trees;
  for (int z = 16 * cz - 2; z <= 16 * cz + 17; ++z) {
    if (floorMod(z, 6) != 3) continue;
    for (int x = 16 * cx - 2; x <= 16 * cx + 17; ++x) {
      if (floorMod(x, 6) != 3) continue;
      TreeCandidate tree{x, z, height(seed, x, z), biome(seed, x, z)};
      if (tree.biome > 1 || tree.ground <= 32) continue;
      std::uint32_t e = (bits((z - 3) / 6) * kY) ^ (bits((x - 3) / 6) * kX) ^ (386392147u - bits(seed) * 887442657u);
      e = (e ^ (e >> 13)) * 0x85EBCA6Bu;
      std::uint64_t r = e ^ (e >> 16);
      r = r * 0x5851F42D4C957F2Dull + 0x14057B7EF767814Full;
      tree.chanceRoll = static_cast<unsigned>(r % 100);
      tree.trunk = static_cast<int>((r >> 8) % 3) + 4;
      tree.planted = tree.chanceRoll < (tree.biome == 1 ? 45u : 12u) && tree.ground + tree.trunk + 3 < 64;
      trees.push_back(tree);
    }
  }
  return trees;
}

std::vector<BlockId> column(std::int32_t seed, int cx, int cz) {
  Column col{cx, cz};
  fillTerrain(col, seed);
  for (const TreeCandidate& tree : treeCandidates(seed, cx, cz)) {
    if (tree.planted) growTree(col, tree);
  }
  return villagesOver(seed, cx, cz, std::move(col.cells));
}

std::vector<BlockId> villagesOver(std::int32_t seed, int cx, int cz, std::vector<BlockId> cells) {
  Column col{cx, cz, std::move(cells)};
  const Site spawn = spawnVillage(seed).site;
  for (const Site& site : sitesNearRect(seed, spawn, 16 * cx, 16 * cz, 16 * cx + 15, 16 * cz + 15)) {
    flatten(col, seed, site);
    buildVillage(col, site);
  }
  return col.cells;
}

}  // namespace zorv::reference
