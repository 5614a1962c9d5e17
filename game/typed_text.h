#pragma once
// Values typed into the menus or given on a command line.
#include <cstdint>
#include <optional>
#include <string_view>

namespace zorv {

// A UDP port typed by the user: decimal digits only, 1 to 65535; nothing when invalid.
std::optional<std::uint16_t> parsePortText(std::string_view text);
// The seed of a new world: FNV-1a of the typed bytes, or the clock seed when empty.
std::uint32_t seedFromText(std::string_view text);

}  // namespace zorv
