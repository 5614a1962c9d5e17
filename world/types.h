#pragma once
// Numbers and coordinates shared by every part of the world model.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace zorv {

// One 16-bit value space for blocks and items: 0 air, bit 15 set = item.
using BlockId = std::uint16_t;
using ItemId = std::uint16_t;
constexpr BlockId kAir = 0;
constexpr BlockId kNoBlock = 0xFFFF;
constexpr ItemId kFirstItem = 0x8000;

// Built-in block ids; their numbering is part of the save format.
namespace blocks {
constexpr BlockId Grass = 1, Dirt = 2, Stone = 3, Sand = 4, Wood = 5, Leaves = 6, Snow = 7, Water = 8,
                  Lava = 9, Planks = 10, Cobblestone = 11, Bricks = 12, Bookshelf = 13, Gravel = 14,
                  CoalOre = 15, IronOre = 16, DiamondOre = 17, CraftingTable = 18, Torch = 19, Bedrock = 20;
}

constexpr int kChunkSize = 16;
constexpr int kChunkCells = kChunkSize * kChunkSize * kChunkSize;
constexpr int kMinY = -48;
constexpr int kMaxY = 63;
constexpr int kWorldHeight = kMaxY - kMinY + 1;  // 112 layers
constexpr int kMinChunkY = -3;
constexpr int kMaxChunkY = 3;
constexpr int kChunksPerColumn = kMaxChunkY - kMinChunkY + 1;
constexpr int kColumnCells = kChunksPerColumn * kChunkCells;  // 28,672
constexpr int kWorldLimit = (1 << 20) - 1;                    // |x|, |z| ≤ 1,048,575
constexpr int kSeaLevel = 30;

constexpr int floorDiv(int value, int divisor) {
  int quotient = value / divisor;
  return (value % divisor != 0 && ((value < 0) != (divisor < 0))) ? quotient - 1 : quotient;
}
constexpr int floorMod(int value, int divisor) { return value - floorDiv(value, divisor) * divisor; }
constexpr int chunkCoord(int block) { return floorDiv(block, kChunkSize); }
constexpr int localCoord(int block) { return floorMod(block, kChunkSize); }

constexpr bool inWorldBounds(int x, int y, int z) {
  return x >= -kWorldLimit && x <= kWorldLimit && z >= -kWorldLimit && z <= kWorldLimit && y >= kMinY &&
         y <= kMaxY;
}

// Cell index inside a chunk's arrays.
constexpr int chunkIndex(int lx, int ly, int lz) { return lx + kChunkSize * lz + kChunkSize * kChunkSize * ly; }

struct ChunkKey {
  int cx = 0, cy = 0, cz = 0;
  friend bool operator==(const ChunkKey&, const ChunkKey&) = default;
};

struct ColumnKey {
  int cx = 0, cz = 0;
  friend bool operator==(const ColumnKey&, const ColumnKey&) = default;
};

struct ChunkKeyHash {
  std::size_t operator()(const ChunkKey& key) const {
    return static_cast<std::size_t>((static_cast<std::int64_t>(key.cx) * 73856093) ^
                                    (static_cast<std::int64_t>(key.cy) * 83492791) ^
                                    (static_cast<std::int64_t>(key.cz) * 19349663));
  }
};

// Columns pack into 42 bits: ((cx + 2^20) mod 2^21) << 21 | ((cz + 2^20) mod 2^21).
constexpr std::uint64_t packColumn(int cx, int cz) {
  return ((static_cast<std::uint64_t>(static_cast<std::uint32_t>(cx + (1 << 20))) & 0x1FFFFF) << 21) |
         (static_cast<std::uint64_t>(static_cast<std::uint32_t>(cz + (1 << 20))) & 0x1FFFFF);
}

struct ColumnKeyHash {
  std::size_t operator()(const ColumnKey& key) const { return std::hash<std::uint64_t>{}(packColumn(key.cx, key.cz)); }
};

// A block position packed into 64 bits: x + 2^20 in bits 40..60, z + 2^20 in bits 19..39,
// y + 64 in bits 0..7.
using BlockKey = std::uint64_t;

constexpr BlockKey packBlockKey(int x, int y, int z) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(x + 0x100000) & 0x1FFFFF) << 40) |
         (static_cast<std::uint64_t>(static_cast<std::uint32_t>(z + 0x100000) & 0x1FFFFF) << 19) |
         (static_cast<std::uint64_t>(static_cast<std::uint32_t>(y + 64) & 0xFF));
}
constexpr int blockKeyX(BlockKey key) { return static_cast<int>((key >> 40) & 0x1FFFFF) - 0x100000; }
constexpr int blockKeyZ(BlockKey key) { return static_cast<int>((key >> 19) & 0x1FFFFF) - 0x100000; }
constexpr int blockKeyY(BlockKey key) { return static_cast<int>(key & 0xFF) - 64; }

// The relight queue's packing of a column: (cx << 32) | (cz as unsigned 32-bit).
constexpr std::uint64_t packRelightColumn(int cx, int cz) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(cx)) << 32) | static_cast<std::uint32_t>(cz);
}
constexpr ColumnKey unpackRelightColumn(std::uint64_t packed) {
  return {static_cast<int>(static_cast<std::uint32_t>(packed >> 32)), static_cast<int>(static_cast<std::uint32_t>(packed))};
}

}  // namespace zorv
