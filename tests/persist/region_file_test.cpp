#include "persist/region_file.h"

#include <fstream>
#include <zlib.h>

#include "persist/save_file.h"
#include "save_test_support.h"
#include "save_files.h"

namespace zorv {
namespace {

using test::Bytes;
using testing::flushColumns;
using testing::readRegion;

class RegionFileTest : public test::SavesFolder {};

int blockIndex(int bx, int y, int bz) { return (y + 48) * 256 + bz * 16 + bx; }

// A column whose every height holds a different block, with a few fluid entries.
ColumnSnapshot sampleColumn(int cx, int cz, int salt) {
  ColumnSnapshot snapshot{cx, cz, std::vector<std::uint16_t>(kSnapshotBlocks, 0), {}};
  for (int y = -48; y <= 63; ++y) {
    for (int i = 0; i < 256; ++i) snapshot.blocks[static_cast<std::size_t>(blockIndex(i % 16, y, i / 16))] = static_cast<std::uint16_t>(y + 48 + salt + i % 3);
  }
  snapshot.fluidLevels = {{cx * 16 + 1, 20, cz * 16 + 2, 3}, {cx * 16 + 15, -48, cz * 16, 7}};
  return snapshot;
}

std::vector<std::uint8_t> zlibCompress(const std::vector<std::uint8_t>& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::vector<std::uint8_t> out(size);
  EXPECT_EQ(compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), Z_DEFAULT_COMPRESSION), Z_OK);
  out.resize(size);
  return out;
}

// A column's serialised form laid out by hand: 28672 ids, fluid count, fluid entries.
Bytes columnBytes(std::uint16_t fill, std::uint32_t fluidCount, std::size_t fluidEntries) {
  Bytes b;
  for (int i = 0; i < kSnapshotBlocks; ++i) b.u16(fill);
  b.u32(fluidCount);
  for (std::size_t i = 0; i < fluidEntries; ++i) b.i32(static_cast<std::int32_t>(i)).i32(-1).i32(2).u8(4);
  return b;
}

struct Blob {
  unsigned lx, lz;
  std::vector<std::uint8_t> compressed;
  std::uint32_t length;  // the uncompressed length the index claims
};

// A region file laid out by hand from header, index and blobs.
std::vector<std::uint8_t> regionBytes(std::int32_t rx, std::int32_t rz, const std::vector<Blob>& blobs,
                                      std::uint32_t version = 1) {
  Bytes b;
  b.text("ZORVRGN ").u32(version).i32(rx).i32(rz).u32(static_cast<std::uint32_t>(blobs.size()));
  std::uint32_t offset = 24 + 16 * static_cast<std::uint32_t>(blobs.size());
  for (const Blob& blob : blobs) {
    b.u16(blob.lx).u16(blob.lz).u32(offset).u32(static_cast<std::uint32_t>(blob.compressed.size())).u32(blob.length);
    offset += static_cast<std::uint32_t>(blob.compressed.size());
  }
  for (const Blob& blob : blobs) b.data.insert(b.data.end(), blob.compressed.begin(), blob.compressed.end());
  return b.data;
}

Blob blobOf(unsigned lx, unsigned lz, const Bytes& column) {
  return {lx, lz, zlibCompress(column.data), static_cast<std::uint32_t>(column.data.size())};
}

bool parses(const std::vector<std::uint8_t>& bytes) {
  RegionMap region;
  return parseRegion(bytes, region);
}

TEST(RegionPaths, FloorDivisionAndNames) {
  EXPECT_EQ(regionCoord(0), 0);
  EXPECT_EQ(regionCoord(31), 0);
  EXPECT_EQ(regionCoord(32), 1);
  EXPECT_EQ(regionCoord(-1), -1);
  EXPECT_EQ(regionCoord(-32), -1);
  EXPECT_EQ(regionCoord(-33), -2);
  EXPECT_EQ(regionCoord(-65536), -2048);
  EXPECT_EQ(regionPathIn("w", 0, 0), std::filesystem::path("w/region/r.0.0.rgn.zorvk"));
  EXPECT_EQ(regionPathIn("w", regionCoord(1), regionCoord(-33)), std::filesystem::path("w/region/r.0.-2.rgn.zorvk"));
  EXPECT_EQ(regionPathIn("w", -12, 7).filename(), "r.-12.7.rgn.zorvk");
  EXPECT_TRUE(regionPath("a|b", 0, 0).empty());
}

TEST_F(RegionFileTest, ColumnsRoundTripAndMergeIntoExistingFiles) {
  const ColumnSnapshot a = sampleColumn(1, -33, 0), b = sampleColumn(-1, -40, 5), c = sampleColumn(0, 0, 9);
  ASSERT_TRUE(flushColumns("W", {a, c}));
  EXPECT_TRUE(std::filesystem::is_regular_file(root / "saves/W/region/r.0.-2.rgn.zorvk"));
  EXPECT_TRUE(std::filesystem::is_regular_file(root / "saves/W/region/r.0.0.rgn.zorvk"));
  ColumnSnapshot loaded;
  ASSERT_TRUE(loadColumn("W", 1, -33, loaded));
  EXPECT_EQ(loaded, a);
  for (int y = -48; y <= 63; ++y) EXPECT_EQ(loaded.blocks[static_cast<std::size_t>(blockIndex(5, y, 9))], y + 48 + 2);
  EXPECT_FALSE(loadColumn("W", 2, -33, loaded));  // same region, no entry
  EXPECT_FALSE(loadColumn("W", 40, 40, loaded));  // no region file

  // b lies in region (−1, −2); a second flush into region (0, −2) keeps what was there.
  ColumnSnapshot a2 = a;
  a2.blocks[0] = 999;
  const ColumnSnapshot d = sampleColumn(31, -64, 3);
  ASSERT_TRUE(flushColumns("W", {b, a2, d}));
  RegionMap region;
  ASSERT_TRUE(readRegion(regionPath("W", 0, -2), region));
  ASSERT_EQ(region.size(), 2u);
  EXPECT_EQ(region.begin()->first, (std::pair<int, int>{1, 31}));
  EXPECT_EQ(region.begin()->second, a2);
  EXPECT_EQ(std::next(region.begin())->first, (std::pair<int, int>{31, 0}));
  EXPECT_EQ(std::next(region.begin())->second, d);
  ASSERT_TRUE(loadColumn("W", -1, -40, loaded));
  EXPECT_EQ(loaded, b);
  EXPECT_FALSE(std::filesystem::exists(regionPath("W", 0, -2).string() + ".tmp"));
}

TEST_F(RegionFileTest, WrittenFileFollowsTheLayout) {
  RegionMap region;
  region[{3, 0}] = sampleColumn(-29, 64, 1);
  region[{0, 5}] = ColumnSnapshot{-32, 69, std::vector<std::uint16_t>(kSnapshotBlocks, 7), {}};
  const std::vector<std::uint8_t> bytes = encodeRegion(-1, 2, region).value();
  ByteReader reader{bytes};
  ASSERT_TRUE(reader.matches("ZORVRGN "));
  EXPECT_EQ(reader.u32(), 1u);
  EXPECT_EQ(reader.i32(), -1);
  EXPECT_EQ(reader.i32(), 2);
  EXPECT_EQ(reader.u32(), 2u);
  std::uint32_t expectedOffset = 24 + 32;
  const std::vector<Bytes> serialised = {columnBytes(7, 0, 0), [] {
                                           Bytes b;
                                           const ColumnSnapshot s = sampleColumn(-29, 64, 1);
                                           for (std::uint16_t id : s.blocks) b.u16(id);
                                           b.u32(2);
                                           for (const FluidEntry& f : s.fluidLevels) b.i32(f.x).i32(f.y).i32(f.z).u8(f.level);
                                           return b;
                                         }()};
  for (int entry = 0; entry < 2; ++entry) {
    EXPECT_EQ(reader.u16(), entry == 0 ? 0 : 3);  // lx order
    EXPECT_EQ(reader.u16(), entry == 0 ? 5 : 0);
    const std::uint32_t offset = reader.u32(), compressed = reader.u32(), length = reader.u32();
    EXPECT_EQ(offset, expectedOffset);
    EXPECT_EQ(length, entry == 0 ? 57348u : 57348u + 26u);
    std::vector<std::uint8_t> inflated(length);
    uLongf size = length;
    ASSERT_EQ(uncompress(inflated.data(), &size, bytes.data() + offset, compressed), Z_OK);
    EXPECT_EQ(inflated, serialised[static_cast<std::size_t>(entry)].data);
    expectedOffset += compressed;
  }
  EXPECT_EQ(expectedOffset, bytes.size());
}

TEST(RegionDecoding, LengthBoundariesAndMismatches) {
  ColumnSnapshot snapshot;
  Bytes exact = columnBytes(3, 0, 0);
  ASSERT_EQ(exact.data.size(), 57348u);
  EXPECT_TRUE(decodeColumn(exact.data, snapshot));
  EXPECT_EQ(snapshot.blocks, std::vector<std::uint16_t>(kSnapshotBlocks, 3));
  EXPECT_FALSE(decodeColumn(std::span(exact.data).first(57347), snapshot));
  Bytes withFluids = columnBytes(1, 2, 2);
  EXPECT_TRUE(decodeColumn(withFluids.data, snapshot));
  EXPECT_EQ(snapshot.fluidLevels, (std::vector<FluidEntry>{{0, -1, 2, 4}, {1, -1, 2, 4}}));
  EXPECT_FALSE(decodeColumn(std::span(withFluids.data).first(withFluids.data.size() - 1), snapshot));
  Bytes trailing = columnBytes(1, 1, 2);  // bytes beyond the entries are ignored
  EXPECT_TRUE(decodeColumn(trailing.data, snapshot));

  EXPECT_TRUE(parses(regionBytes(0, 0, {blobOf(0, 0, exact)})));
  Bytes short1 = exact;
  short1.data.pop_back();
  EXPECT_FALSE(parses(regionBytes(0, 0, {blobOf(0, 0, short1)})));

  // The index claims one byte more, or one byte less, than the stream inflates to.
  Blob longer = blobOf(0, 0, exact), shorter = blobOf(1, 0, exact);
  longer.length += 1;
  shorter.length -= 1;
  EXPECT_FALSE(parses(regionBytes(0, 0, {blobOf(2, 2, exact), longer})));
  EXPECT_FALSE(parses(regionBytes(0, 0, {shorter})));
  Blob corrupt = blobOf(0, 0, exact);
  corrupt.compressed[corrupt.compressed.size() / 2] ^= 0x55;
  corrupt.compressed.back() ^= 0x01;  // the checksum
  EXPECT_FALSE(parses(regionBytes(0, 0, {corrupt})));

  // Coordinates come from the header and the index, not from the file name.
  RegionMap region;
  ASSERT_TRUE(parseRegion(regionBytes(-3, 4, {blobOf(31, 1, exact)}), region));
  EXPECT_EQ(region.at({31, 1}).cx, -3 * 32 + 31);
  EXPECT_EQ(region.at({31, 1}).cz, 4 * 32 + 1);
}

TEST(RegionDecoding, HostileIndexesAreRejectedBeforeInflating) {
  const Bytes column = columnBytes(2, 0, 0);
  const std::vector<std::uint8_t> valid = regionBytes(0, 0, {blobOf(0, 0, column), blobOf(4, 9, column)});
  ASSERT_TRUE(parses(valid));
  for (std::size_t size = 0; size < valid.size(); ++size) {
    EXPECT_FALSE(parses(std::vector<std::uint8_t>(valid.begin(), valid.begin() + static_cast<long>(size)))) << size;
  }
  EXPECT_FALSE(parses(regionBytes(0, 0, {blobOf(0, 0, column)}, 2)));
  EXPECT_FALSE(parses(regionBytes(0, 0, {blobOf(3, 3, column), blobOf(3, 3, column)})));  // duplicate
  EXPECT_FALSE(parses(regionBytes(0, 0, {blobOf(32, 0, column)})));
  EXPECT_FALSE(parses(regionBytes(0, 0, {blobOf(0, 65535, column)})));

  Blob huge = blobOf(0, 0, column);
  huge.length = static_cast<std::uint32_t>(kMaxColumnBytes + 1);
  EXPECT_FALSE(parses(regionBytes(0, 0, {huge})));

  // More fluid entries than a column has cells, with every byte present.
  EXPECT_FALSE(parses(regionBytes(0, 0, {blobOf(0, 0, columnBytes(0, 28673, 28673))})));
  EXPECT_TRUE(parses(regionBytes(0, 0, {blobOf(0, 0, columnBytes(0, 28672, 28672))})));
  EXPECT_FALSE(parses(regionBytes(0, 0, {blobOf(0, 0, columnBytes(0, 1000000, 3))})));

  // A blob reaching past the end of the file; an entry count beyond the limit.
  std::vector<std::uint8_t> pastEnd = valid;
  pastEnd.pop_back();  // the last blob now ends one byte beyond the file
  EXPECT_FALSE(parses(pastEnd));
  Bytes tooMany;
  tooMany.text("ZORVRGN ").u32(1).i32(0).i32(0).u32(4097);
  for (int i = 0; i < 4097; ++i) tooMany.u16(0).u16(0).u32(0).u32(0).u32(0);
  EXPECT_FALSE(parses(tooMany.data));
  std::vector<std::uint8_t> offsetPastEnd = valid;
  offsetPastEnd[24 + 4 + 3] = 0x7F;  // first offset far beyond the file
  EXPECT_FALSE(parses(offsetPastEnd));

  // A valid column whose stream inflates to the largest accepted length decodes without
  // holding all of it.
  Bytes padded = columnBytes(5, 0, 0);
  padded.data.resize(static_cast<std::size_t>(kMaxColumnBytes), 0);
  RegionMap region;
  ASSERT_TRUE(parseRegion(regionBytes(0, 0, {blobOf(0, 0, padded)}), region));
  EXPECT_EQ(region.at({0, 0}).blocks[100], 5);
}

TEST_F(RegionFileTest, DamagedRegionIsKeptBesideAFreshFileOfItsReadableColumns) {
  const ColumnSnapshot stored = sampleColumn(2, 2, 0);
  ASSERT_TRUE(flushColumns("W", {stored, sampleColumn(4, 4, 7)}));
  const std::filesystem::path path = regionPath("W", 0, 0);
  std::vector<std::uint8_t> damaged = readFileBytes(path).value();
  damaged[damaged.size() - 3] ^= 0xFF;  // inside the last blob, that of column (4, 4)
  ASSERT_TRUE(writeBytesAtomically(path, damaged));

  // Only the damaged column is absent (it regenerates); its neighbour still loads.
  ColumnSnapshot loaded;
  EXPECT_FALSE(loadColumn("W", 4, 4, loaded));
  ASSERT_TRUE(loadColumn("W", 2, 2, loaded));
  EXPECT_EQ(loaded, stored);
  EXPECT_FALSE(loadColumn("W", 6, 6, loaded));  // no entry

  // The next flush keeps the damaged bytes beside the file, says so once, and writes the
  // readable column with the new one, so later changes to good columns are kept.
  const ColumnSnapshot changed = sampleColumn(3, 3, 1);
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(flushColumns("W", {sampleColumn(-5, -5, 1), changed}));
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("r.0.0.rgn.zorvk: 1 column(s) could not be read; copy kept as r.0.0.rgn.zorvk.damaged"),
            std::string::npos)
      << said;
  EXPECT_EQ(readFileBytes(path.string() + ".damaged").value(), damaged);
  RegionMap fresh;
  ASSERT_TRUE(readRegion(path, fresh));  // every entry of the new file reads
  EXPECT_EQ(fresh.size(), 2u);
  EXPECT_EQ(fresh.at({2, 2}), stored);
  EXPECT_EQ(fresh.at({3, 3}), changed);
  EXPECT_TRUE(loadColumn("W", -5, -5, loaded));
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(flushColumns("W", {sampleColumn(2, 2, 5)}));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

  // A damaged index loses every column of the file, but the copy is still kept, under a
  // name no earlier copy took.
  std::vector<std::uint8_t> noIndex = readFileBytes(path).value();
  noIndex[24] = 0xEE;  // lx of the first entry, outside the region
  noIndex[20] = 0xFF;  // an entry count beyond the index
  ASSERT_TRUE(writeBytesAtomically(path, noIndex));
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(flushColumns("W", {changed}));
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("damaged index"), std::string::npos);
  EXPECT_EQ(readFileBytes(path.string() + ".damaged.2").value(), noIndex);
  ASSERT_TRUE(readRegion(path, fresh));
  EXPECT_EQ(fresh.size(), 1u);

  // A region file that cannot be written: the flush fails and nothing is replaced.
  std::filesystem::create_directories(regionPath("W", 5, 5).string() + ".tmp");
  EXPECT_FALSE(flushColumns("W", {sampleColumn(160, 160, 0)}));
  EXPECT_FALSE(std::filesystem::exists(regionPath("W", 5, 5)));
  EXPECT_FALSE(flushColumns("bad|name", {stored}));
  // A file that cannot be read at all (a folder in its place) is never replaced.
  std::filesystem::create_directories(regionPath("W", 7, 7));
  EXPECT_FALSE(flushColumns("W", {sampleColumn(224, 224, 0)}));
  EXPECT_TRUE(std::filesystem::is_directory(regionPath("W", 7, 7)));
}

}  // namespace
}  // namespace zorv
