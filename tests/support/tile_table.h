#pragma once
// Bounds-checked look-ups in the block registry's tile table for tests.

#include <string>

#include "world/registry.h"

namespace zorv::testing {

inline const std::string& tileEntry(const std::vector<std::string>& column, int index) {
  static const std::string none;
  return index >= 0 && static_cast<std::size_t>(index) < column.size() ? column[static_cast<std::size_t>(index)] : none;
}

// The tile's lower-case name; empty outside the table.
inline const std::string& tileName(const BlockRegistry& registry, int index) {
  return tileEntry(registry.tiles().names, index);
}

// The image a mod tile is read from; empty for built-in tiles and outside the table.
inline const std::string& tileSource(const BlockRegistry& registry, int index) {
  return tileEntry(registry.tiles().sources, index);
}

}  // namespace zorv::testing
