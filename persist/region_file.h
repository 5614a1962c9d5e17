#pragma once
// Region files: snapshots of modified world columns, 32 × 32 columns per file
// (saves/NAME/region/r.RX.RZ.rgn.zorvk), each column compressed on its own with zlib.
// Readers treat the file as hostile: every entry is checked against the file's size,
// the region's 32 × 32 slots and the column's cell count before anything is inflated
// or allocated, so a damaged file fails to load instead of exhausting memory.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace zorv {

constexpr int kRegionColumns = 32;         // columns along each side of a region
constexpr int kSnapshotBlocks = 28672;      // 16 × 16 × 112 block ids of one column
constexpr std::size_t kColumnHeaderBytes = 57348;  // block ids and the fluid count
constexpr std::size_t kFluidEntryBytes = 13;
// Reader limits: entries in one file, fluid entries of one column (one per cell), and
// the largest uncompressed length an index entry may claim.
constexpr std::uint32_t kMaxRegionEntries = 4096;
constexpr std::uint32_t kMaxColumnFluids = kSnapshotBlocks;
constexpr std::uint64_t kMaxColumnBytes = kColumnHeaderBytes + kFluidEntryBytes * 1000000ull;

struct FluidEntry {
  std::int32_t x = 0, y = 0, z = 0;  // world block coordinates
  std::uint8_t level = 0;
  friend bool operator==(const FluidEntry&, const FluidEntry&) = default;
};

// One column as exchanged with region files: block ids at (y + 48)·256 + bz·16 + bx.
struct ColumnSnapshot {
  std::int32_t cx = 0, cz = 0;
  std::vector<std::uint16_t> blocks;
  std::vector<FluidEntry> fluidLevels;
  friend bool operator==(const ColumnSnapshot&, const ColumnSnapshot&) = default;
};

// Region slot (lx, lz) → snapshot, ordered by lx, then lz.
using RegionMap = std::map<std::pair<int, int>, ColumnSnapshot>;

// Region coordinate of a column (floor division by 32).
int regionCoord(int columnCoord);

// worldFolder(name)/region/r.RX.RZ.rgn.zorvk; empty for an invalid world name.
std::filesystem::path regionPath(std::string_view worldName, int rx, int rz);
std::filesystem::path regionPathIn(const std::filesystem::path& worldFolder, int rx, int rz);

// True only when every entry was read, inflated and decoded; `region` is left untouched otherwise.
bool parseRegion(std::span<const std::uint8_t> bytes, RegionMap& region);
// Writes the whole map through the temporary-file protocol.
// Fails without writing when a snapshot cannot be stored as the reader expects (slot
// outside 0..31, more fluid entries than cells) or compression fails.
bool writeRegion(const std::filesystem::path& path, int rx, int rz, const RegionMap& region);
std::optional<std::vector<std::uint8_t>> encodeRegion(int rx, int rz, const RegionMap& region);

// A column's serialised (uncompressed) form and its decoding; decoding fails on fewer than
// 57,348 bytes or fewer than the fluid entries need, and ignores bytes beyond them.
std::vector<std::uint8_t> serializeColumn(const ColumnSnapshot& snapshot);
bool decodeColumn(std::span<const std::uint8_t> bytes, ColumnSnapshot& snapshot);

// The stored snapshot of column (cx, cz); false when the region file is missing, its
// header or index is damaged, it holds no entry for the column or that entry does not
// decode. Only the column's own entry is inflated: loading costs the same in a full
// region as in an empty one, and a damaged entry of another column does not hide it.
bool loadColumn(std::string_view worldName, int cx, int cz, ColumnSnapshot& snapshot);
bool loadColumnFrom(const std::filesystem::path& worldFolder, int cx, int cz, ColumnSnapshot& snapshot);

// Merges the snapshots into their region files, one region after another; stops with false
// at the first region that cannot be written. A region file that exists but holds columns
// that cannot be read is copied beside itself (NAME.damaged), reported once on standard
// error with the number of unreadable columns, and rewritten with its readable columns and
// the new snapshots. A file that cannot be read at all is left as it is and its group
// counts as not written, so the snapshots stay with the caller.
// The columns (cx, cz) that the region files of a world folder hold entries for.
std::vector<std::pair<int, int>> storedColumnsIn(const std::filesystem::path& worldFolder);

bool flushColumnsTo(const std::filesystem::path& worldFolder, const std::vector<ColumnSnapshot>& snapshots);

}  // namespace zorv
