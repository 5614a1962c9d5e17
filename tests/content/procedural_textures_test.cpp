#include "content/procedural_textures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

namespace zorv {
namespace {

Texel rgb(int r, int g, int b, int a = 255) {
  return Texel{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b),
               static_cast<std::uint8_t>(a)};
}

void expectTexel(std::uint32_t tile, int x, int y, Texel expected) {
  const Texel got = proceduralTexel(tile, x, y);
  EXPECT_EQ(got, expected) << "tile " << tile << " at (" << x << ", " << y << "): got (" << int(got.r) << ", "
                           << int(got.g) << ", " << int(got.b) << ", " << int(got.a) << ")";
}

TEST(ProceduralTextures, HashAndNoiseFollowTheirFormulas) {
  EXPECT_EQ(textureMix(0), 0u);
  EXPECT_EQ(textureMix(1), 1274139792u);  // 1 · 1274126177, then ^ (v >> 16)
  EXPECT_DOUBLE_EQ(textureHash01(0xFFFFFF), 1.0);
  EXPECT_DOUBLE_EQ(textureHash01(0xFF000000u), 0.0);
  // At a lattice point the noise is the corner hash of c = i·374761393 + j·668265263 − seed·2048144777.
  const std::uint32_t corner = 2u * 374761393u + 3u * 668265263u - 7u * 2048144777u;
  EXPECT_DOUBLE_EQ(textureNoise(2.0, 3.0, 7), textureHash01(textureMix(corner)));
  EXPECT_NEAR(textureNoise(0.5, 0.5, 7), 0.46518783063816016, 1e-12);
  // Smoothstep weights keep it continuous across cell boundaries.
  EXPECT_NEAR(textureNoise(2.0 - 1e-9, 3.0, 7), textureNoise(2.0, 3.0, 7), 1e-6);
  EXPECT_NEAR(textureNoise(2.5, 3.0 - 1e-9, 7), textureNoise(2.5, 3.0, 7), 1e-6);
}

TEST(ProceduralTextures, SpotValues) {
  // Noise-based tiles, worked out from the recipes by a separate implementation.
  expectTexel(3, 5, 7, rgb(120, 122, 127));   // stone, interior
  expectTexel(3, 0, 9, rgb(117, 119, 124));   // stone, border −14
  expectTexel(0, 6, 6, rgb(101, 158, 54));    // grass_top
  expectTexel(0, 1, 1, rgb(87, 143, 47));     // grass_top, border −4
  expectTexel(13, 4, 4, rgb(93, 158, 226, 190));
  expectTexel(13, 10, 2, rgb(53, 102, 172, 190));
  expectTexel(21, 4, 4, rgb(118, 113, 108));  // gravel
  expectTexel(21, 0, 0, rgb(96, 91, 86));     // gravel, pebble edge −30
  // Fixed colours of the designs.
  expectTexel(12, 7, 13, rgb(110, 62, 58));   // pig mouth
  expectTexel(12, 6, 9, rgb(84, 44, 42));     // pig nostril before snout
  expectTexel(12, 7, 9, rgb(216, 126, 120));  // snout
  expectTexel(10, 4, 5, rgb(24, 44, 24));     // slime pupil before eye white
  expectTexel(10, 3, 5, rgb(228, 238, 214));  // slime eye white
  expectTexel(20, 5, 7, rgb(74, 58, 40));     // bookshelf board
  expectTexel(20, 6, 4, rgb(58, 44, 30));     // bookshelf gap
  expectTexel(19, 5, 4, rgb(108, 102, 96));   // brick mortar row
  expectTexel(16, 7, 8, rgb(54, 56, 62));     // empty heart inside
  expectTexel(15, 2, 2, rgb(255, 98, 106));   // full heart: (240, 78, 86) + 20, clamped
  expectTexel(15, 0, 0, rgb(0, 0, 0, 0));     // outside the heart curve
  expectTexel(29, 7, 7, rgb(200, 152, 108));  // iron ore, dark ((7 + 7) mod 3 ≠ 0)
  expectTexel(28, 12, 2, rgb(28, 28, 32));    // coal ore, dark
  expectTexel(30, 3, 3, rgb(210, 255, 250));  // diamond ore, bright
  expectTexel(37, 6, 2, rgb(180, 140, 90));   // wooden pickaxe head, +22 for y < 4
  expectTexel(37, 12, 4, rgb(134, 94, 44));   // wooden pickaxe head, −24 for x > 9, y > 3
  expectTexel(52, 7, 5, rgb(118, 254, 246));  // diamond sword blade, +26 on x = 7
  expectTexel(52, 8, 5, rgb(78, 214, 206));   // diamond sword blade, −14
  expectTexel(53, 7, 3, rgb(255, 236, 150));  // torch flame top
  expectTexel(53, 6, 6, rgb(224, 150, 50));   // torch flame bottom
  expectTexel(36, 7, 7, rgb(235, 255, 255));  // diamond highlight
  expectTexel(35, 3, 3, rgb(0, 0, 0, 0));     // ingot: above its rows
  expectTexel(55, 4, 6, rgb(14, 16, 12));     // zombie eye
}

TEST(ProceduralTextures, TilesWithoutAPaintingAreFlatGrey) {
  for (std::uint32_t tile : {58u, 59u, 200u, 0xFFFFFFFFu}) {
    for (int y = 0; y < 16; y += 5) {
      for (int x = 0; x < 16; x += 3) expectTexel(tile, x, y, rgb(58, 58, 64));
    }
  }
}

TEST(ProceduralTextures, AlphaRules) {
  const std::set<std::uint32_t> shaped = {15, 16, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45,
                                          46, 47, 48, 49, 50, 51, 52, 53};
  for (std::uint32_t tile = 0; tile < 58; ++tile) {
    int transparent = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        const Texel t = proceduralTexel(tile, x, y);
        if (tile == 13) {
          EXPECT_EQ(t.a, 190) << "water at " << x << "," << y;
        } else if (t.a == 0) {
          ++transparent;
          EXPECT_EQ(t, rgb(0, 0, 0, 0)) << "tile " << tile;
        } else {
          EXPECT_EQ(t.a, 255) << "tile " << tile << " at " << x << "," << y;
        }
      }
    }
    if (shaped.count(tile) != 0) {
      EXPECT_GT(transparent, 0) << "tile " << tile << " should have a shape";
      EXPECT_LT(transparent, 256) << "tile " << tile << " should not be empty";
    } else {
      EXPECT_EQ(transparent, 0) << "tile " << tile << " should be opaque";
    }
  }
}

TEST(ProceduralTextures, SameInputsGiveSamePixelsInAnyOrder) {
  std::vector<Texel> forward, backward;
  for (std::uint32_t tile = 0; tile < 60; ++tile)
    for (int i = 0; i < 256; ++i) forward.push_back(proceduralTexel(tile, i % 16, i / 16));
  for (int k = 60 * 256 - 1; k >= 0; --k) {
    const int i = k % 256;
    backward.push_back(proceduralTexel(static_cast<std::uint32_t>(k / 256), i % 16, i / 16));
  }
  std::reverse(backward.begin(), backward.end());
  EXPECT_EQ(forward, backward);
  // The noise tiles really vary across the tile.
  std::set<std::uint32_t> stoneColours;
  for (int i = 0; i < 256; ++i) {
    const Texel t = proceduralTexel(3, i % 16, i / 16);
    stoneColours.insert(std::uint32_t{t.r} << 16 | std::uint32_t{t.g} << 8 | t.b);
  }
  EXPECT_GT(stoneColours.size(), 8u);
}

}  // namespace
}  // namespace zorv
