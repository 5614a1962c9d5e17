// Any input either fails to parse or yields a player whose slots respect the reader's limit.
#include <cstdint>
#include <cstdlib>

#include "persist/level_save.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zorv::PlayerSave player;
  if (!zorv::parseLegacyPlayer({data, size}, player)) return 0;
  if (player.slots.size() > zorv::kMaxSavedSlots || player.slots.size() * 3 > size) std::abort();
  return 0;
}
