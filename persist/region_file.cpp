#include "persist/region_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <zlib.h>

#include "platform/byte_io.h"
#include "persist/level_save.h"
#include "persist/save_file.h"

namespace zorv {
namespace {

constexpr std::string_view kRegionMagic = "ZORVRGN ";
constexpr std::uint32_t kRegionVersion = 1;
constexpr std::size_t kRegionHeaderBytes = 24;
constexpr std::size_t kIndexEntryBytes = 16;
// Far beyond any world's edge, and small enough that its column coordinates fit an int.
constexpr int kMaxRegionCoord = 1 << 24;
// The longest prefix of a column's data that decoding can use: block ids, the count and
// one fluid entry per cell. Bytes beyond it are inflated (to check the length) but not kept.
constexpr std::size_t kMaxMeaningfulColumnBytes = kColumnHeaderBytes + kFluidEntryBytes * kMaxColumnFluids;

struct IndexEntry {
  int lx = 0, lz = 0;
  std::uint32_t offset = 0, compressedLength = 0, length = 0;
};

struct RegionHeader {
  std::int32_t rx = 0, rz = 0;
  std::vector<IndexEntry> entries;
};

// Reads the header and the index and checks every entry before anything is inflated:
// slots inside the region and each used once, blobs inside the file, lengths within
// what a column can take. Without `unreadable` any bad entry fails the whole index; with
// it, bad entries are left out and counted, and only a damaged header or a short index fail.
bool readRegionHeader(std::span<const std::uint8_t> bytes, RegionHeader& header, int* unreadable = nullptr) {
  ByteReader reader{bytes};
  if (!reader.matches(kRegionMagic) || reader.u32() != kRegionVersion) return false;
  header.rx = reader.i32();
  header.rz = reader.i32();
  const std::uint32_t count = reader.u32();
  if (!reader.ok || count > kMaxRegionEntries || !reader.canHold(count, kIndexEntryBytes)) return false;
  std::array<bool, kRegionColumns * kRegionColumns> used{};
  header.entries.clear();
  header.entries.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    IndexEntry entry;
    entry.lx = reader.u16();
    entry.lz = reader.u16();
    entry.offset = reader.u32();
    entry.compressedLength = reader.u32();
    entry.length = reader.u32();
    const std::uint64_t end = std::uint64_t{entry.offset} + entry.compressedLength;
    const bool inRegion = entry.lx < kRegionColumns && entry.lz < kRegionColumns;
    bool* slot = inRegion ? &used[static_cast<std::size_t>(entry.lx * kRegionColumns + entry.lz)] : nullptr;
    if (slot == nullptr || *slot || end > bytes.size() || entry.length > kMaxColumnBytes) {
      if (unreadable == nullptr) return false;
      ++*unreadable;
      continue;
    }
    *slot = true;
    header.entries.push_back(entry);
  }
  return reader.ok;
}

// Inflates one zlib stream that must yield exactly `length` bytes, keeping at most the
// first `keep` of them: memory stays bounded whatever length the entry claims.
bool inflateExactly(std::span<const std::uint8_t> compressed, std::uint64_t length, std::size_t keep,
                    std::vector<std::uint8_t>& kept) {
  kept.assign(keep, 0);
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  stream.next_in = const_cast<Bytef*>(compressed.data());
  stream.avail_in = static_cast<uInt>(compressed.size());
  std::array<std::uint8_t, 16384> discard{};
  std::uint64_t produced = 0;
  bool ok = false;
  for (;;) {
    Bytef* target = discard.data();
    std::uint64_t room = std::min<std::uint64_t>(discard.size(), length + 1 - produced);
    if (produced < keep) {
      target = kept.data() + produced;
      room = keep - produced;
    }
    stream.next_out = target;
    stream.avail_out = static_cast<uInt>(room);
    const int result = inflate(&stream, Z_NO_FLUSH);
    produced += room - stream.avail_out;
    if (produced > length) break;
    if (result == Z_STREAM_END) {
      ok = produced == length;
      break;
    }
    if (result != Z_OK) break;
  }
  inflateEnd(&stream);
  return ok;
}

// 32·r + local with the wrap-around of 32-bit arithmetic: the header's coordinates come
// from the file and may be anything.
std::int32_t columnOfRegion(std::int32_t region, int local) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(region) * kRegionColumns + static_cast<std::uint32_t>(local));
}

// Inflates and decodes one checked index entry.
bool decodeEntry(std::span<const std::uint8_t> bytes, const RegionHeader& header, const IndexEntry& entry,
                 std::vector<std::uint8_t>& data, ColumnSnapshot& snapshot) {
  const std::size_t keep = static_cast<std::size_t>(std::min<std::uint64_t>(entry.length, kMaxMeaningfulColumnBytes));
  if (!inflateExactly(bytes.subspan(entry.offset, entry.compressedLength), entry.length, keep, data)) return false;
  if (!decodeColumn(data, snapshot)) return false;
  snapshot.cx = columnOfRegion(header.rx, entry.lx);
  snapshot.cz = columnOfRegion(header.rz, entry.lz);
  return true;
}

// Decodes every entry of a region file in index order and hands each entry with its
// snapshot to `visit`; false at the first entry that fails.
template <class Visit>
bool decodeRegion(std::span<const std::uint8_t> bytes, Visit visit) {
  RegionHeader header;
  if (!readRegionHeader(bytes, header)) return false;
  std::vector<std::uint8_t> data;
  for (const IndexEntry& entry : header.entries) {
    ColumnSnapshot snapshot;
    if (!decodeEntry(bytes, header, entry, data, snapshot)) return false;
    visit(entry, std::move(snapshot));
  }
  return true;
}

// A region's entries as they are stored: each column's compressed blob and its
// uncompressed length, by slot in region-map order.
struct StoredEntry {
  std::vector<std::uint8_t> compressed;
  std::uint32_t length = 0;
};
using StoredRegion = std::map<std::pair<int, int>, StoredEntry>;

// A snapshot compressed for storing; nothing when it cannot be stored as the reader
// expects (more fluid entries than cells) or compression fails.
std::optional<StoredEntry> compressColumn(const ColumnSnapshot& snapshot) {
  if (snapshot.fluidLevels.size() > kMaxColumnFluids) return std::nullopt;
  const std::vector<std::uint8_t> data = serializeColumn(snapshot);
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  StoredEntry entry{std::vector<std::uint8_t>(size), static_cast<std::uint32_t>(data.size())};
  if (compress2(entry.compressed.data(), &size, data.data(), static_cast<uLong>(data.size()), Z_DEFAULT_COMPRESSION) !=
      Z_OK) {
    return std::nullopt;
  }
  entry.compressed.resize(size);
  return entry;
}

bool isRegionSlot(const std::pair<int, int>& slot) {
  return slot.first >= 0 && slot.first < kRegionColumns && slot.second >= 0 && slot.second < kRegionColumns;
}

// Header, index and blobs of a region file.
std::vector<std::uint8_t> assembleRegion(int rx, int rz, const StoredRegion& region) {
  std::size_t total = kRegionHeaderBytes + kIndexEntryBytes * region.size();
  for (const auto& [slot, entry] : region) total += entry.compressed.size();
  std::vector<std::uint8_t> bytes(kRegionMagic.begin(), kRegionMagic.end());
  bytes.reserve(total);
  ByteWriter writer{bytes};
  writer.u32(kRegionVersion);
  writer.i32(rx);
  writer.i32(rz);
  writer.u32(static_cast<std::uint32_t>(region.size()));
  std::size_t offset = kRegionHeaderBytes + kIndexEntryBytes * region.size();
  for (const auto& [slot, entry] : region) {
    writer.u16(static_cast<std::uint16_t>(slot.first));
    writer.u16(static_cast<std::uint16_t>(slot.second));
    writer.u32(static_cast<std::uint32_t>(offset));
    writer.u32(static_cast<std::uint32_t>(entry.compressed.size()));
    writer.u32(entry.length);
    offset += entry.compressed.size();
  }
  for (const auto& [slot, entry] : region) bytes.insert(bytes.end(), entry.compressed.begin(), entry.compressed.end());
  return bytes;
}

// The entries of a region file that decode, kept compressed so that a merge does not
// compress them again, and the number of columns that could not be read.
struct ExistingRegion {
  StoredRegion entries;
  int unreadable = 0;
  bool damaged = false;  // the file is there but not every column of it could be read
  std::vector<std::uint8_t> bytes;
};

// Nothing when a file is there but cannot be read at all (a folder in its place, an I/O
// error); an empty region when there is no file.
std::optional<ExistingRegion> existingRegion(const std::filesystem::path& path) {
  std::error_code error;
  const auto status = std::filesystem::symlink_status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) return ExistingRegion{};
  if (error) return std::nullopt;
  auto bytes = readFileBytes(path);
  if (!bytes) return std::nullopt;
  ExistingRegion region;
  const std::span<const std::uint8_t> file{*bytes};
  RegionHeader header;
  if (!readRegionHeader(file, header, &region.unreadable)) {
    region.damaged = true;
    region.unreadable = -1;  // the index itself is lost: the count is unknown
  } else {
    std::vector<std::uint8_t> data;
    for (const IndexEntry& entry : header.entries) {
      ColumnSnapshot snapshot;
      if (!decodeEntry(file, header, entry, data, snapshot)) {
        ++region.unreadable;
        continue;
      }
      const auto blob = file.subspan(entry.offset, entry.compressedLength);
      region.entries[{entry.lx, entry.lz}] = {{blob.begin(), blob.end()}, entry.length};
    }
    region.damaged = region.unreadable > 0;
  }
  if (region.damaged) region.bytes = std::move(*bytes);
  return region;
}

// Keeps the damaged file's bytes beside it under a name no earlier copy has taken, and
// says once which file it was and how much of it was lost. False when no copy could be
// written: the file must then not be replaced.
bool keepDamagedCopy(const std::filesystem::path& path, const ExistingRegion& region) {
  std::filesystem::path copy = path;
  copy += ".damaged";
  std::error_code error;
  for (int n = 2; std::filesystem::exists(copy, error) && n < 1000; ++n) {
    copy = path;
    copy += ".damaged." + std::to_string(n);
  }
  if (!writeBytesAtomically(copy, region.bytes)) return false;
  if (region.unreadable < 0) {
    std::fprintf(stderr, "region: %s has a damaged index; no column could be read; copy kept as %s\n",
                 path.string().c_str(), copy.filename().string().c_str());
  } else {
    std::fprintf(stderr, "region: %s: %d column(s) could not be read; copy kept as %s\n", path.string().c_str(),
                 region.unreadable, copy.filename().string().c_str());
  }
  return true;
}

}  // namespace

int regionCoord(int columnCoord) {
  return columnCoord >= 0 ? columnCoord / kRegionColumns : -((-(columnCoord + 1)) / kRegionColumns) - 1;
}

std::filesystem::path regionPathIn(const std::filesystem::path& worldFolder, int rx, int rz) {
  return worldFolder / "region" / ("r." + std::to_string(rx) + "." + std::to_string(rz) + ".rgn.zorvk");
}

std::filesystem::path regionPath(std::string_view worldName, int rx, int rz) {
  if (!isValidWorldName(worldName)) return {};
  return regionPathIn(worldFolder(worldName), rx, rz);
}

std::vector<std::uint8_t> serializeColumn(const ColumnSnapshot& snapshot) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(kColumnHeaderBytes + kFluidEntryBytes * snapshot.fluidLevels.size());
  ByteWriter writer{bytes};
  for (std::size_t i = 0; i < kSnapshotBlocks; ++i) writer.u16(i < snapshot.blocks.size() ? snapshot.blocks[i] : 0);
  writer.u32(static_cast<std::uint32_t>(snapshot.fluidLevels.size()));
  for (const FluidEntry& fluid : snapshot.fluidLevels) {
    writer.i32(fluid.x);
    writer.i32(fluid.y);
    writer.i32(fluid.z);
    writer.u8(fluid.level);
  }
  return bytes;
}

bool decodeColumn(std::span<const std::uint8_t> bytes, ColumnSnapshot& snapshot) {
  if (bytes.size() < kColumnHeaderBytes) return false;
  ByteReader reader{bytes};
  ColumnSnapshot decoded;
  decoded.blocks.resize(kSnapshotBlocks);
  for (std::uint16_t& block : decoded.blocks) block = reader.u16();
  const std::uint32_t count = reader.u32();
  if (count > kMaxColumnFluids || !reader.canHold(count, kFluidEntryBytes)) return false;
  decoded.fluidLevels.resize(count);
  for (FluidEntry& fluid : decoded.fluidLevels) {
    fluid.x = reader.i32();
    fluid.y = reader.i32();
    fluid.z = reader.i32();
    fluid.level = reader.u8();
  }
  decoded.cx = snapshot.cx;
  decoded.cz = snapshot.cz;
  snapshot = std::move(decoded);
  return true;
}

bool parseRegion(std::span<const std::uint8_t> bytes, RegionMap& region) {
  RegionMap parsed;
  if (!decodeRegion(bytes, [&](const IndexEntry& entry, ColumnSnapshot&& snapshot) {
        parsed[{entry.lx, entry.lz}] = std::move(snapshot);
      })) {
    return false;
  }
  region = std::move(parsed);
  return true;
}

std::optional<std::vector<std::uint8_t>> encodeRegion(int rx, int rz, const RegionMap& region) {
  StoredRegion stored;
  for (const auto& [slot, snapshot] : region) {
    std::optional<StoredEntry> entry = isRegionSlot(slot) ? compressColumn(snapshot) : std::nullopt;
    if (!entry) return std::nullopt;
    stored[slot] = std::move(*entry);
  }
  return assembleRegion(rx, rz, stored);
}

bool writeRegion(const std::filesystem::path& path, int rx, int rz, const RegionMap& region) {
  const auto bytes = encodeRegion(rx, rz, region);
  return bytes && writeBytesAtomically(path, *bytes);
}

bool loadColumnFrom(const std::filesystem::path& worldFolder, int cx, int cz, ColumnSnapshot& snapshot) {
  const int rx = regionCoord(cx), rz = regionCoord(cz);
  const auto bytes = readFileBytes(regionPathIn(worldFolder, rx, rz));
  RegionHeader header;
  int unreadable = 0;  // other columns' bad index entries do not hide this one
  if (!bytes || !readRegionHeader(*bytes, header, &unreadable)) return false;
  const int lx = cx - rx * kRegionColumns, lz = cz - rz * kRegionColumns;
  const auto entry = std::find_if(header.entries.begin(), header.entries.end(),
                                  [&](const IndexEntry& e) { return e.lx == lx && e.lz == lz; });
  if (entry == header.entries.end()) return false;
  std::vector<std::uint8_t> data;
  ColumnSnapshot wanted;
  if (!decodeEntry(*bytes, header, *entry, data, wanted)) return false;
  snapshot = std::move(wanted);
  return true;
}

bool loadColumn(std::string_view worldName, int cx, int cz, ColumnSnapshot& snapshot) {
  return isValidWorldName(worldName) && loadColumnFrom(worldFolder(worldName), cx, cz, snapshot);
}

bool flushColumnsTo(const std::filesystem::path& worldFolder, const std::vector<ColumnSnapshot>& snapshots) {
  std::map<std::pair<int, int>, std::vector<const ColumnSnapshot*>> groups;
  for (const ColumnSnapshot& snapshot : snapshots) {
    groups[{regionCoord(snapshot.cx), regionCoord(snapshot.cz)}].push_back(&snapshot);
  }
  for (const auto& [regionKey, group] : groups) {
    const auto [rx, rz] = regionKey;
    const std::filesystem::path path = regionPathIn(worldFolder, rx, rz);
    std::optional<ExistingRegion> region = existingRegion(path);
    if (!region || (region->damaged && !keepDamagedCopy(path, *region))) return false;
    for (const ColumnSnapshot* snapshot : group) {
      std::optional<StoredEntry> entry = compressColumn(*snapshot);
      if (!entry) return false;
      region->entries[{snapshot->cx - rx * kRegionColumns, snapshot->cz - rz * kRegionColumns}] = std::move(*entry);
    }
    if (!writeBytesAtomically(path, assembleRegion(rx, rz, region->entries))) return false;
  }
  return true;
}

std::vector<std::pair<int, int>> storedColumnsIn(const std::filesystem::path& worldFolder) {
  std::vector<std::pair<int, int>> columns;
  std::error_code error;
  std::filesystem::directory_iterator files(worldFolder / "region", error);
  if (error) return columns;
  for (const auto& file : files) {
    int rx = 0, rz = 0, used = 0;
    const std::string name = file.path().filename().string();
    if (std::sscanf(name.c_str(), "r.%d.%d.rgn.zorvk%n", &rx, &rz, &used) != 2 ||
        static_cast<std::size_t>(used) != name.size() || std::abs(rx) > kMaxRegionCoord ||
        std::abs(rz) > kMaxRegionCoord || regionPathIn(worldFolder, rx, rz) != file.path()) {
      continue;
    }
    const auto bytes = readFileBytes(file.path());
    RegionHeader header;
    int unreadable = 0;
    if (!bytes || !readRegionHeader(*bytes, header, &unreadable)) continue;
    for (const IndexEntry& entry : header.entries) {
      columns.emplace_back(rx * kRegionColumns + entry.lx, rz * kRegionColumns + entry.lz);
    }
  }
  return columns;
}

}  // namespace zorv
