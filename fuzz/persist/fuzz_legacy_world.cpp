// Any input either fails to parse or yields a save that the current legacy writer
// (version 3) stores and reads back unchanged.
#include <cstdint>
#include <cstdlib>

#include "persist/level_save.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zorv::LevelSave save;
  if (!zorv::parseLegacyWorld({data, size}, save)) return 0;
  const std::vector<std::uint8_t> encoded = zorv::encodeLegacyWorld(save);
  zorv::LevelSave again;
  if (!zorv::parseLegacyWorld(encoded, again) || zorv::encodeLegacyWorld(again) != encoded) std::abort();
  return 0;
}
