// Any input either fails to parse or yields columns that encode into a region file which
// parses to the same blocks and fluid entries (coordinates follow the header written).
#include <cstdint>
#include <cstdlib>

#include "persist/region_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zorv::RegionMap region;
  if (!zorv::parseRegion({data, size}, region)) return 0;
  const auto encoded = zorv::encodeRegion(0, 0, region);
  zorv::RegionMap again;
  if (!encoded || !zorv::parseRegion(*encoded, again) || again.size() != region.size()) std::abort();
  for (auto it = region.begin(), other = again.begin(); it != region.end(); ++it, ++other) {
    if (it->first != other->first || it->second.blocks != other->second.blocks ||
        it->second.fluidLevels != other->second.fluidLevels) {
      std::abort();
    }
  }
  return 0;
}
