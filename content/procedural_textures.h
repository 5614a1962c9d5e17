#pragma once
// Built-in tile images: every tile is painted by a deterministic function of
// (tile index, x, y) on a 16 × 16 design grid, so the game ships no image files.

#include <cstdint>

namespace zorv {

struct Texel {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
  friend bool operator==(const Texel&, const Texel&) = default;
};

constexpr int kDesignGridSize = 16;

// The built-in texel of `tile` at design coordinates (x, y), both 0..15. Tiles
// without a built-in painting (mod tiles) are a flat dark grey.
Texel proceduralTexel(std::uint32_t tile, int x, int y);

// The integer finaliser behind every texture hash (wrap-around arithmetic).
std::uint32_t textureMix(std::uint32_t v);
// The low 24 bits of `h` as a value in [0, 1].
double textureHash01(std::uint32_t h);
// Smooth value noise on the integer lattice, continuous across cells.
double textureNoise(double a, double b, std::int32_t seed);

}  // namespace zorv
