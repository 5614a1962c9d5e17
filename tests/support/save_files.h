#pragma once
// Conveniences over the save files that only tests need: a region file read whole, column
// snapshots merged into a world named under the saves root, and a file written with the
// common save header.

#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

#include "persist/level_save.h"
#include "persist/region_file.h"
#include "persist/save_file.h"

namespace zorv::testing {

// True only when every entry was read, inflated and decoded; `region` is left untouched otherwise.
inline bool readRegion(const std::filesystem::path& path, RegionMap& region) {
  const auto bytes = readFileBytes(path);
  return bytes && parseRegion(*bytes, region);
}

// flushColumnsTo for the world `worldName` of the saves root; false for an invalid name.
inline bool flushColumns(std::string_view worldName, const std::vector<ColumnSnapshot>& snapshots) {
  return isValidWorldName(worldName) && flushColumnsTo(worldFolder(worldName), snapshots);
}

// An 8-byte magic, a uint32 version and the body `writeBody` appends, written through the
// temporary-file protocol.
inline bool writeFileAtomically(const std::filesystem::path& destination, std::string_view magic, std::uint32_t version,
                                const std::function<void(ByteWriter&)>& writeBody) {
  std::vector<std::uint8_t> bytes;
  ByteWriter writer{bytes};
  writer.text(magic);
  writer.u32(version);
  writeBody(writer);
  return writeBytesAtomically(destination, bytes);
}

}  // namespace zorv::testing
