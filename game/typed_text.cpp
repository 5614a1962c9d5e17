#include "game/typed_text.h"

#include "game/game_session.h"
#include "mods/loader.h"

namespace zorv {

namespace {

constexpr std::uint32_t kLargestPortPrefix = 6553;  // one more digit after it cannot stay below 65536

}  // namespace

std::optional<std::uint16_t> parsePortText(std::string_view text) {
  std::uint32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9' || value > kLargestPortPrefix) return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

std::uint32_t seedFromText(std::string_view text) {
  return text.empty() ? clockSeed() : fnv1a(kFingerprintBasis, text);
}

}  // namespace zorv
