// Writes the seed corpus of the fuzz targets: small valid files of every format and
// version, made by the writers themselves or laid out field by field.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/byte_io.h"
#include "persist/level_save.h"
#include "persist/region_file.h"

namespace zorv {
namespace {

void writeSeed(const std::filesystem::path& folder, const std::string& name, const std::vector<std::uint8_t>& bytes) {
  std::filesystem::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

LevelSave sampleLevel(bool withPlayer) {
  LevelSave save;
  save.seed = 20261018;
  save.timeOfDay = 0.25f;
  save.weather = 1;
  save.hasPlayer = withPlayer;
  save.player.slots = {{3, 64, 0}, {-2, 1, 30}};
  save.mobs = {{1, 2, 3, 1, 2, 3, 0.5f, 1.0f, 2, 4}};
  save.drops = {{4, 5, 6, 7, 0, 3, 2.0f}};
  save.edits = {{-200, 50, -200, 5, 255}, {1, 2, 3, 8, 4}};
  return save;
}

// A legacy player file of the given version with two slots.
std::vector<std::uint8_t> legacyPlayer(std::uint32_t version) {
  std::vector<std::uint8_t> bytes;
  ByteWriter writer{bytes};
  writer.text("ZORVPLYR");
  writer.u32(version);
  for (float value : {96.5f, 50.0f, 96.5f, -90.0f, -12.0f}) writer.f32(value);
  writer.u8(0);
  writer.i32(20);
  writer.u8(1);
  writer.u8(2);
  writer.u32(2);
  for (int slot = 0; slot < 2; ++slot) {
    if (version == 1) {
      writer.u8(static_cast<std::uint8_t>(3 + slot));
    } else {
      writer.i16(static_cast<std::int16_t>(slot == 0 ? 3 : -5));
    }
    writer.u16(10);
    if (version == 3) writer.u16(7);
  }
  return bytes;
}

// A legacy world file of version 1 or 2, whose drop and edit records are shorter.
std::vector<std::uint8_t> legacyWorld(std::uint32_t version) {
  std::vector<std::uint8_t> bytes;
  ByteWriter writer{bytes};
  writer.text("ZORVWRLD");
  writer.u32(version);
  writer.u32(31337);
  writer.f32(0.5f);
  writer.u8(0);
  writer.u32(0);
  writer.u32(1);
  for (float value : {1.0f, 2.0f, 3.0f}) writer.f32(value);
  if (version == 1) {
    writer.u8(4);
  } else {
    writer.i16(-4);
  }
  writer.u16(2);
  writer.f32(1.0f);
  writer.u32(1);
  for (std::int32_t value : {5, 6, 7}) writer.i32(value);
  if (version == 1) {
    writer.u8(9);
  } else {
    writer.u16(9);
  }
  writer.u8(255);
  return bytes;
}

RegionMap sampleRegion() {
  RegionMap region;
  ColumnSnapshot column{0, 0, std::vector<std::uint16_t>(kSnapshotBlocks, 0), {}};
  for (std::size_t i = 0; i < 256 * 40; ++i) column.blocks[i] = static_cast<std::uint16_t>(i % 7 == 0 ? 3 : 1);
  region[{0, 0}] = column;
  column.fluidLevels = {{33, 0, 2, 5}};
  region[{2, 0}] = column;
  return region;
}

}  // namespace
}  // namespace zorv

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_corpus <folder>\n");
    return 2;
  }
  using namespace zorv;
  const std::filesystem::path root = argv[1];
  writeSeed(root / "level", "player", encodeLevel(sampleLevel(true)));
  writeSeed(root / "level", "no_player", encodeLevel(sampleLevel(false)));
  writeSeed(root / "legacy_world", "version3", encodeLegacyWorld(sampleLevel(false)));
  for (std::uint32_t version : {1u, 2u}) {
    writeSeed(root / "legacy_world", "version" + std::to_string(version), legacyWorld(version));
  }
  for (std::uint32_t version : {1u, 2u, 3u}) {
    writeSeed(root / "legacy_player", "version" + std::to_string(version), legacyPlayer(version));
  }
  writeSeed(root / "region", "two_columns", encodeRegion(-1, 2, sampleRegion()).value());
  RegionMap single;
  single[{31, 31}] = sampleRegion().at({2, 0});
  writeSeed(root / "region", "one_column", encodeRegion(0, 0, single).value());
  std::printf("fuzz corpus: %s\n", root.string().c_str());
  return 0;
}
