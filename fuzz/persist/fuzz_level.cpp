// Any input either fails to parse or parses into a save that encodes back to bytes which
// parse to the same save.
#include <cstdint>
#include <cstdlib>

#include "persist/level_save.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zorv::LevelSave save;
  if (!zorv::parseLevel({data, size}, save)) return 0;
  const std::vector<std::uint8_t> encoded = zorv::encodeLevel(save);
  zorv::LevelSave again;
  if (!zorv::parseLevel(encoded, again) || zorv::encodeLevel(again) != encoded) std::abort();
  return 0;
}
