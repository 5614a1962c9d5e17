#include "content/procedural_textures.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace zorv {

namespace {

constexpr std::uint32_t kStepX = 374761393u;
constexpr std::uint32_t kStepY = 668265263u;

// Colours are signed while they are built and clamped only when stored.
struct Colour {
  int r = 0, g = 0, b = 0;
  Colour& operator+=(int offset) {
    r += offset;
    g += offset;
    b += offset;
    return *this;
  }
};

Texel opaque(Colour c) {
  auto channel = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
  return Texel{channel(c.r), channel(c.g), channel(c.b), 255};
}

constexpr Texel kTransparent{0, 0, 0, 0};

float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }
float noise(float a, float b, std::int32_t seed) { return static_cast<float>(textureNoise(a, b, seed)); }
float hash01(std::uint32_t h) { return static_cast<float>(textureHash01(h)); }
std::uint32_t wrap(std::int64_t key) { return static_cast<std::uint32_t>(key); }

// Per-texel hash with key `key` (negative keys wrap modulo 2^32); called with
// divided coordinates it hashes coarser cells.
std::uint32_t texelHash(int x, int y, std::int64_t key) {
  return textureMix(static_cast<std::uint32_t>(x) * kStepX + static_cast<std::uint32_t>(y) * kStepY + wrap(key));
}

// Colour ramp v·k + base per channel, each truncated to an integer.
Colour ramp(float v, std::array<float, 3> scale, std::array<int, 3> base) {
  return Colour{static_cast<int>(v * scale[0] + static_cast<float>(base[0])),
                static_cast<int>(v * scale[1] + static_cast<float>(base[1])),
                static_cast<int>(v * scale[2] + static_cast<float>(base[2]))};
}

int borderDistance(int x, int y) { return std::min({x, 15 - x, y, 15 - y}); }

// Darkens the outermost ring by `outer` and the next one by `inner`.
void border(Colour& c, int x, int y, int inner, int outer) {
  const int d = borderDistance(x, y);
  if (d == 0) c += -outer;
  if (d == 1) c += -inner;
}

bool in(int v, int lo, int hi) { return v >= lo && v <= hi; }

Colour stoneColour(int x, int y) {
  const float fx = static_cast<float>(x), fy = static_cast<float>(y);
  const float e = clamp01(0.3f * noise(0.9f * fx, 0.9f * fy, 12) + 0.7f * noise(0.32f * fx, 0.32f * fy, 11));
  Colour c = ramp(e, {50, 50, 48}, {96, 98, 104});
  if (std::fabs(noise(0.22f * fx, 0.16f * fy, 13) - 0.5f) < 0.018f) c += -40;
  if (texelHash(x, y, 1390744194) % 53 == 0) {
    c += 24;
  } else if (texelHash(x, y, -657400583) % 47 == 0) {
    c += -22;
  }
  return c;
}

Texel grassTop(int x, int y, float fx, float fy) {
  const float ce = noise(1.6f * fx, 0.65f * fy, 22);
  const float v = clamp01(noise(0.55f * fx, 0.55f * fy, 21));
  Colour c = ramp(v, {56, 60, 22}, {64, 118, 40});
  c += static_cast<int>((ce - 0.5f) * 22.0f);
  if (ce > 0.74f) {
    auto toward = [](int channel, int target) {
      return static_cast<int>(static_cast<float>(target - channel) * 0.55f + static_cast<float>(channel));
    };
    c = Colour{toward(c.r, 142), toward(c.g, 192), toward(c.b, 76)};
  }
  if (texelHash(x, y, 137310385) % 23 == 0) c += -18;
  border(c, x, y, 4, 12);
  return opaque(c);
}

Texel grassSide(int x, int y, float fx, float fy) {
  const int g = static_cast<int>(textureMix(static_cast<std::uint32_t>(x) * kStepX + 932021353u) % 3);
  Colour c;
  if (y < g + 3) {
    c = ramp(clamp01(noise(1.4f * fx, 0.8f * fy, 32)), {48, 46, 18}, {70, 128, 44});
    if (y == g + 2) c += -26;
  } else {
    c = ramp(clamp01(noise(0.6f * fx, 0.6f * fy, 33)), {42, 32, 20}, {98, 68, 44});
    if (texelHash(x / 3, y / 3, -917445682) % 11 == 0) c += -22;
    if (y > g + 9 && texelHash(x, y, 1329376837) % 41 == 0) c += -30;
  }
  return opaque(c);
}

Texel dirt(int x, int y, float fx, float fy) {
  const float v = clamp01(0.75f * noise(0.5f * fx, 0.5f * fy, 41) + 0.25f * noise(1.4f * fx, 1.4f * fy, 42));
  Colour c = ramp(v, {48, 36, 22}, {98, 66, 44});
  if (texelHash(x / 2, y / 2, 2124087805) % 17 == 0) c += -26;
  if (texelHash(x, y, 75943028) % 61 == 0) c += 20;
  border(c, x, y, 3, 10);
  return opaque(c);
}

Texel stone(int x, int y) {
  Colour c = stoneColour(x, y);
  border(c, x, y, 4, 14);
  return opaque(c);
}

Texel sand(int x, int y, float fx, float fy) {
  const float v = clamp01(noise(1.7f * fx, 1.7f * fy, 52));
  const int w = static_cast<int>(8.0f * std::sin(4.0f * noise(0.4f * fx, 0.4f * fy, 51) + 1.1f * (fx + 0.7f * fy)));
  Colour c = ramp(v, {34, 34, 32}, {196, 180, 134});
  c += w;
  if (texelHash(x, y, -1177490781) % 29 == 0) c += 18;
  border(c, x, y, 2, 8);
  return opaque(c);
}

Texel woodSide(int x, int y, float fx, float fy) {
  const float v = clamp01(0.3f * noise(2.2f * fx, 0.7f * fy, 62) + 0.7f * noise(1.15f * fx, 0.2f * fy, 61));
  Colour c = ramp(v, {56, 44, 26}, {92, 64, 38});
  if (x % 5 == 0) c += -26;
  if (x % 5 == 2) c += 10;
  if (texelHash(x / 2, y / 4, -184102071) % 19 == 0) c += -20;
  border(c, x, y, 4, 12);
  return opaque(c);
}

Texel woodTop(int x, int y, float fx, float fy) {
  const float r = std::hypot(fx - 7.5f, fy - 7.5f);
  if (r > 6.6f) {
    Colour c = ramp(clamp01(noise(0.8f * fx, 0.8f * fy, 71)), {36, 28, 16}, {92, 64, 38});
    border(c, x, y, 5, 16);
    return opaque(c);
  }
  const float a = clamp01(0.5f * std::sin(2.0f * noise(0.5f * fx, 0.5f * fy, 72) + 2.1f * r) + 0.5f);
  Colour c = ramp(a, {44, 40, 28}, {142, 104, 62});
  if (r < 1.4f) c += -16;
  return opaque(c);
}

Texel leaves(int x, int y, float fx, float fy) {
  const float p = noise(0.62f * fx, 0.62f * fy, 81);
  const float q = noise(1.5f * fx, 1.5f * fy, 82);
  Colour c = ramp(clamp01(0.65f * p + 0.35f * q), {58, 64, 24}, {34, 82, 30});
  if (q > 0.78f) {
    c += 18;
  } else if (p < 0.28f) {
    c += -22;
  }
  if (texelHash(x, y, 1802675349) % 37 == 0) c += -26;
  return opaque(c);
}

Texel snow(int x, int y, float fx, float fy) {
  Colour c = texelHash(x, y, 549241540) % 89 == 0 ? Colour{255, 255, 255}
                                                   : ramp(clamp01(noise(0.45f * fx, 0.45f * fy, 91)), {32, 24, 19}, {214, 226, 236});
  border(c, x, y, 2, 8);
  return opaque(c);
}

Texel slimeBody(int y, float fx, float fy) {
  if (noise(0.9f * fx, 0.9f * fy, 102) > 0.8f) return opaque({168, 222, 142});
  Colour c = ramp(clamp01(noise(0.5f * fx, 0.5f * fy, 101)), {50, 52, 30}, {72, 146, 66});
  if (y < 4) c += 20;
  if (y >= 13) c += -18;
  return opaque(c);
}

// Columns of eyes and similar paired features: 3..5 and 10..12.
bool inFeatureColumns(int x) { return in(x, 3, 5) || in(x, 10, 12); }
bool onPupilColumn(int x) { return x == 4 || x == 11; }

Texel slimeFace(int x, int y, float fx, float fy) {
  if ((onPupilColumn(x) && in(y, 5, 6)) || (in(x, 6, 9) && in(y, 10, 12))) return opaque({24, 44, 24});
  if (inFeatureColumns(x) && in(y, 4, 7)) return opaque({228, 238, 214});
  return opaque(ramp(clamp01(noise(0.5f * fx, 0.5f * fy, 111)), {50, 50, 30}, {76, 150, 68}));
}

Texel pigBody(int x, int y, float fx, float fy) {
  Colour c = ramp(clamp01(noise(0.6f * fx, 0.6f * fy, 121)), {28, 34, 32}, {212, 138, 130});
  if (y >= 12) c += 14;
  if (texelHash(x / 2, y / 3, -765559626) % 13 == 0) c += -12;
  border(c, x, y, 3, 10);
  return opaque(c);
}

Texel pigFace(int x, int y, float fx, float fy) {
  if (y == 13 && in(x, 6, 9)) return opaque({110, 62, 58});
  if ((x == 6 || x == 9) && in(y, 9, 10)) return opaque({84, 44, 42});
  if (in(x, 5, 10) && in(y, 8, 11)) return opaque({216, 126, 120});
  if (onPupilColumn(x) && y == 4) return opaque({20, 16, 16});
  if (inFeatureColumns(x) && in(y, 3, 5)) return opaque({60, 34, 32});
  return opaque(ramp(clamp01(noise(0.6f * fx, 0.6f * fy, 131)), {30, 36, 34}, {212, 138, 130}));
}

Texel water(int x, int y, float fx, float fy) {
  const float c = std::sin(3.2f * noise(0.35f * fx, 0.35f * fy, 141) + 0.85f * fx + 0.55f * fy);
  const float o = std::sin(4.0f * noise(0.25f * fx, 0.25f * fy, 142) + 0.4f * fx - 0.9f * fy);
  Colour colour = ramp(clamp01(0.25f * (o + c) + 0.5f), {44, 62, 60}, {30, 78, 148});
  colour += static_cast<int>(26.0f * std::max(o * c, 0.0f));
  if (texelHash(x, y, -826926983) % 43 == 0) colour += 22;
  Texel t = opaque(colour);
  t.a = 190;
  return t;
}

Texel lava(float fx, float fy) {
  const float p = std::sin(4.0f * noise(0.42f * fx, 0.42f * fy, 151) + 0.45f * fy + 0.75f * fx);
  Colour c;
  if (p > 0.55f) {
    c = ramp(clamp01((p - 0.55f) / 0.45f), {29, 130, 58}, {226, 76, 16});
  } else if (p > 0.15f) {
    c = {176, 48, 12};
  } else {
    c = ramp(clamp01((p + 1.0f) / 2.0f), {52, 14, 2}, {72, 18, 10});
  }
  if (noise(0.7f * fx, 0.7f * fy, 152) < 0.22f) c += -28;
  return opaque(c);
}

Texel heart(int x, int y, float fx, float fy, bool full) {
  const float u = (7.5f - fy) / 7.0f, w = (fx - 7.5f) / 7.0f;
  const float q = u * u + w * w - 1.0f;
  if (q * q * q - w * w * u * u * u > 0.0f) return kTransparent;
  if (!full) return opaque({54, 56, 62});
  Colour c = ramp(clamp01(1.0f - (static_cast<float>(x + y) - 4.0f) / 14.0f), {92, 56, 52}, {148, 22, 34});
  if (x <= 5 && y <= 5) c += 20;
  return opaque(c);
}

Texel planks(int x, int y, float fx, float fy) {
  const int r = y % 4;
  Colour c{96, 72, 46};
  if (r != 0) {
    c = ramp(clamp01(noise(1.4f * fx, 0.35f * fy, y / 4 + 161)), {36, 34, 26}, {168, 132, 86});
    if (r == 3) c += -14;
    if ((x == 2 || x == 13) && (r == 1 || r == 2)) c += -34;
  }
  if (texelHash(x, y / 4, -1086972082) % 29 == 0) c += -18;
  border(c, x, y, 2, 8);
  return opaque(c);
}

Texel cobblestone(int x, int y, float fx, float fy) {
  Colour c{66, 68, 72};
  if (noise(0.35f * fx, 0.35f * fy, 171) >= 0.4f) {
    c = ramp(clamp01(noise(0.7f * fx, 0.7f * fy, 172)), {48, 48, 46}, {118, 120, 124});
    if (noise(0.9f * fx, 0.9f * fy, 173) < 0.18f) c += -26;
  }
  if (texelHash(x, y, 105094370) % 71 == 0) c += 18;
  border(c, x, y, 3, 10);
  return opaque(c);
}

Texel bricks(int x, int y) {
  const int row = y / 4, shift = row % 2;
  Colour c{108, 102, 96};
  if (y % 4 != 0 && (x - 4 * shift) % 8 != 0) {
    const auto brick = static_cast<std::uint32_t>((x + 4 * shift) / 8 + 7 * row);
    c = ramp(hash01(textureMix(brick * kStepX - 1347017181u)), {44, 32, 24}, {146, 76, 62});
    if (y % 4 == 1) c += 12;
    if (y % 4 == 3) c += -12;
    if (texelHash(x, y, 899805338) % 37 == 0) c += -16;
  }
  border(c, x, y, 3, 10);
  return opaque(c);
}

Texel bookshelf(int x, int y, float fx, float fy) {
  if (!in(x, 2, 13) || !in(y, 2, 13))
    return opaque(ramp(clamp01(noise(1.4f * fx, 0.35f * fy, 191)), {44, 38, 28}, {142, 108, 68}));
  if (in(y, 7, 8)) return opaque({74, 58, 40});
  if (x % 3 == 0) return opaque({58, 44, 30});
  static constexpr std::array<Colour, 6> kBooks{
      {{142, 54, 52}, {58, 88, 146}, {178, 150, 66}, {62, 116, 74}, {128, 76, 142}, {188, 108, 52}}};
  const std::uint32_t key = y < 8 ? 1893194048u : 0x98ACC46Fu;
  Colour c = kBooks[textureMix(static_cast<std::uint32_t>(x / 3) * kStepX + key) % 6];
  c += static_cast<int>(texelHash(x, y, -154950729) % 13) - 6;
  return opaque(c);
}

Texel gravel(int x, int y) {
  const std::uint32_t h = texelHash(x / 3, y / 3, 639760239);
  Colour c = ramp(static_cast<float>(h & 0xFFu) / 255.0f, {60, 58, 54}, {104, 100, 96});
  const int dy = y % 3 - 1, dx = x % 3 - 1;
  if (static_cast<float>(dy * dy + dx * dx) > 1.6f) c += -30;
  if ((h >> 8) % 5 == 0) c += 16;
  return opaque(c);
}

Texel villagerFace(int x, int y, float fx, float fy) {
  if (y == 12 && in(x, 6, 9)) return opaque({124, 76, 62});
  if (in(x, 7, 8) && in(y, 6, 10)) return opaque({176, 126, 92});
  if (onPupilColumn(x) && y == 7) return opaque({40, 30, 28});
  if (inFeatureColumns(x) && in(y, 6, 7)) return opaque({232, 228, 214});
  if (y == 5 && in(x, 3, 12)) return opaque({70, 48, 34});
  if (y < 4) return opaque(ramp(hash01(texelHash(x, y, -414995828)), {32, 24, 14}, {64, 44, 30}));
  return opaque(ramp(clamp01(noise(0.7f * fx, 0.7f * fy, 211)), {34, 34, 28}, {188, 140, 104}));
}

Texel villagerCoat(int x, int y, float fx, float fy) {
  Colour c{58, 44, 30};
  if (!in(y, 6, 8)) {
    c = ramp(clamp01(noise(0.5f * fx, 0.5f * fy, 221)), {40, 32, 20}, {82, 62, 42});
    if (x % 4 == 0) c += -16;
    if (x % 4 == 2) c += 8;
  }
  if (texelHash(x, y, 578392882) % 43 == 0) c += -18;
  return opaque(c);
}

Texel villagerSkin(float fx, float fy) {
  return opaque(ramp(clamp01(noise(0.8f * fx, 0.8f * fy, 231)), {36, 36, 30}, {188, 140, 104}));
}

Texel playerFace(int x, int y, float fx, float fy) {
  if (y == 12 && in(x, 6, 9)) return opaque({132, 82, 70});
  if (onPupilColumn(x) && in(y, 7, 8)) return opaque({44, 66, 92});
  if (inFeatureColumns(x) && in(y, 6, 8)) return opaque({236, 238, 230});
  if (y <= 4) return opaque(ramp(hash01(texelHash(x, y, -1729796994)), {30, 26, 22}, {38, 34, 40}));
  return opaque(ramp(clamp01(noise(0.7f * fx, 0.7f * fy, 241)), {36, 36, 30}, {196, 148, 110}));
}

Texel playerShirt(int x, int y, float fx, float fy) {
  Colour c = ramp(clamp01(noise(0.55f * fx, 0.55f * fy, 251)), {30, 34, 32}, {62, 98, 126});
  if (in(y, 7, 8)) c += -18;
  if (texelHash(x, y, -736408284) % 47 == 0) c += -14;
  border(c, x, y, 2, 8);
  return opaque(c);
}

Texel playerPants(int x, int y, float fx, float fy) {
  Colour c = ramp(clamp01(noise(0.6f * fx, 0.6f * fy, 261)), {24, 28, 32}, {46, 54, 74});
  if (x % 4 == 0) c += -10;
  border(c, x, y, 2, 8);
  return opaque(c);
}

bool isOreTexel(int x, int y) {
  return (in(x, 3, 5) && in(y, 3, 4)) || (in(x, 10, 11) && in(y, 4, 6)) || (in(x, 4, 5) && in(y, 10, 11)) ||
         (in(x, 10, 11) && in(y, 10, 11)) || (x == 7 && y == 7) || (x == 8 && y == 8) || (x == 12 && y == 2);
}

// ore: 0 coal, 1 iron, 2 diamond.
Texel ore(int ore, int x, int y) {
  static constexpr std::array<std::array<Colour, 2>, 3> kOre{{
      {{{72, 72, 76}, {28, 28, 32}}},
      {{{238, 200, 160}, {200, 152, 108}}},
      {{{210, 255, 250}, {70, 214, 208}}},
  }};
  Colour c = isOreTexel(x, y) ? kOre[static_cast<std::size_t>(ore)][(x + y) % 3 == 0 ? 0 : 1] : stoneColour(x, y);
  border(c, x, y, 4, 12);
  return opaque(c);
}

Texel tableTop(int x, int y, float fx, float fy) {
  Colour c = ramp(clamp01(noise(0.6f * fx, 0.6f * fy, 271)), {40, 34, 24}, {132, 96, 56});
  if (borderDistance(x, y) == 0) {
    c += -46;
  } else {
    if (y % 4 == 0) c += -24;
    if (x == 5 || x == 10 || y == 5 || y == 10) c += -26;
  }
  return opaque(c);
}

Texel tableSide(int x, int y, float fx, float fy) {
  Colour c = ramp(clamp01(noise(0.6f * fx, 0.6f * fy, 281)), {40, 34, 22}, {126, 90, 52});
  if (y == 0) {
    c += -52;
  } else if (in(y, 1, 2) && inFeatureColumns(x)) {
    c += 6;
  } else if (y < 4) {
    c += -28;
  } else if (y % 4 == 0) {
    c += -22;
  }
  border(c, x, y, 3, 10);
  return opaque(c);
}

Texel stick(int x, int y) {
  if (!in(x + y, 14, 15) || !in(x, 3, 12)) return kTransparent;
  return opaque(ramp(hash01(texelHash(x, y, 990324037)), {34, 28, 16}, {124, 88, 50}));
}

Texel coal(int x, int y, float fx, float fy) {
  const float e = 1.15f * (fx - 7.5f) * (fx - 7.5f) + (fy - 8.0f) * (fy - 8.0f);
  if (e > 20.0f) return kTransparent;
  Colour c = ramp(clamp01(0.7f * hash01(texelHash(x, y, 1983712747))), {38, 38, 40}, {26, 26, 30});
  if (e < 6.0f && x + y <= 14) c += 26;
  return opaque(c);
}

Texel ironIngot(int x, int y) {
  if (!in(y, 4, 11)) return kTransparent;
  const int w = (11 - y) / 3;
  const int left = w + 2, right = 13 - w;
  if (!in(x, left, right)) return kTransparent;
  const float a = y == 4 ? 0.8f : 0.3f * hash01(texelHash(x, y, -1317865839));
  Colour c = ramp(a, {40, 40, 40}, {188, 190, 196});
  if (x == left) c += -34;
  if (y == 11) c += -44;
  return opaque(c);
}

Texel diamond(int y, float fx, float fy) {
  const float e = std::fabs(fx - 7.5f) + std::fabs(fy - 8.0f);
  if (e > 5.0f) return kTransparent;
  if (e < 2.0f && y <= 7) return opaque({235, 255, 255});
  return opaque(ramp(clamp01((8.0f - fy) / 12.0f + 0.4f), {96, 50, 50}, {44, 196, 190}));
}

enum ToolKind { Pickaxe = 0, Axe = 1, Shovel = 2, Sword = 3 };

bool isToolHead(int kind, int x, int y) {
  switch (kind) {
    case Pickaxe:
      return (y == 2 && in(x, 5, 10)) || (y == 3 && in(x, 3, 12)) || (y == 4 && (in(x, 2, 4) || in(x, 11, 13))) ||
             (y == 5 && (in(x, 2, 3) || in(x, 12, 13)));
    case Axe:
      return (in(x, 8, 12) && in(y, 2, 5)) || (in(x, 6, 7) && in(y, 4, 6));
    case Shovel:
      return in(x, 6, 9) && in(y, 1, 5);
    default:
      return (in(x, 7, 8) && in(y, 1, 9)) || (y == 10 && in(x, 5, 10)) || (in(x, 7, 8) && in(y, 11, 14));
  }
}

bool isToolHandle(int kind, int x, int y) {
  if (kind == Sword || !in(x + y, 14, 15)) return false;
  return kind == Pickaxe ? in(x, 3, 10) : in(x, 2, 8);
}

Texel tool(std::uint32_t tile, int x, int y) {
  static constexpr std::array<Colour, 4> kMaterial{{{158, 118, 68}, {138, 138, 142}, {214, 214, 220}, {92, 228, 220}}};
  const int kind = static_cast<int>((tile - 37) / 4);
  if (isToolHead(kind, x, y)) {
    Colour c = kMaterial[(tile - 37) % 4];
    if (kind == Sword && y < 10) {
      c += x == 7 ? 26 : -14;
    } else {
      if (y < 4 || x < 5) c += 22;
      if (x > 9 && y > 3) c += -24;
    }
    return opaque(c);
  }
  if (isToolHandle(kind, x, y)) return opaque(ramp(hash01(texelHash(x, y, -324477129)), {32, 26, 14}, {118, 84, 48}));
  return kTransparent;
}

Texel torch(int x, int y) {
  if (in(x, 6, 9) && in(y, 3, 6)) return y <= 4 ? opaque({255, 236, 150}) : opaque({224, 150, 50});
  if (in(x, 7, 8) && in(y, 7, 15)) return opaque(ramp(hash01(texelHash(x, y, 668911581)), {36, 28, 14}, {110, 78, 44}));
  return kTransparent;
}

Texel zombieSkin(int x, int y, float fx, float fy) {
  Colour c = ramp(clamp01(noise(0.7f * fx, 0.7f * fy, 341)), {42, 50, 22}, {62, 112, 52});
  if (texelHash(x, y, -385844486) % 31 == 0) c += -24;
  return opaque(c);
}

Texel zombieFace(int x, int y, float fx, float fy) {
  if (in(y, 6, 7) && inFeatureColumns(x)) return opaque({14, 16, 12});
  Colour c = ramp(clamp01(noise(0.7f * fx, 0.7f * fy, 351)), {42, 50, 22}, {62, 112, 52});
  if (in(y, 11, 12) && in(x, 6, 9)) c += -60;
  return opaque(c);
}

Texel zombieShirt(int x, int y, float fx, float fy) {
  Colour c = ramp(clamp01(noise(0.55f * fx, 0.55f * fy, 361)), {32, 40, 34}, {44, 92, 78});
  if (x % 7 == 3 && y % 5 != 0) c += -28;
  if (texelHash(x / 3, y / 3, 1600932934) % 13 == 0) c += -40;
  border(c, x, y, 2, 8);
  return opaque(c);
}

Texel bedrock(int x, int y, float fx, float fy) {
  Colour c = ramp(clamp01(noise(0.8f * fx, 0.8f * fy, 371)), {54, 54, 56}, {32, 32, 36});
  if (texelHash(x, y, -1700645652) % 5 == 0) c += -20;
  return opaque(c);
}

}  // namespace

std::uint32_t textureMix(std::uint32_t v) {
  v ^= v >> 13;
  v *= 1274126177u;
  return v ^ (v >> 16);
}

double textureHash01(std::uint32_t h) { return static_cast<double>(h & 0xFFFFFFu) / 16777215.0; }

double textureNoise(double a, double b, std::int32_t seed) {
  const double i = std::floor(a), j = std::floor(b);
  const double fa = a - i, fb = b - j;
  const std::uint32_t c = static_cast<std::uint32_t>(static_cast<std::int32_t>(i)) * kStepX +
                          static_cast<std::uint32_t>(static_cast<std::int32_t>(j)) * kStepY -
                          static_cast<std::uint32_t>(seed) * 2048144777u;
  const double p = textureHash01(textureMix(c));
  const double q = textureHash01(textureMix(c + kStepX));
  const double r = textureHash01(textureMix(c + kStepY));
  const double s = textureHash01(textureMix(c + kStepX + kStepY));
  const double sa = fa * fa * (3.0 - 2.0 * fa), sb = fb * fb * (3.0 - 2.0 * fb);
  const double top = p + (q - p) * sa, bottom = r + (s - r) * sa;
  return top + (bottom - top) * sb;
}

Texel proceduralTexel(std::uint32_t tile, int x, int y) {
  const float fx = static_cast<float>(x), fy = static_cast<float>(y);
  switch (tile) {
    case 0: return grassTop(x, y, fx, fy);
    case 1: return grassSide(x, y, fx, fy);
    case 2: return dirt(x, y, fx, fy);
    case 3: return stone(x, y);
    case 4: return sand(x, y, fx, fy);
    case 5: return woodSide(x, y, fx, fy);
    case 6: return woodTop(x, y, fx, fy);
    case 7: return leaves(x, y, fx, fy);
    case 8: return snow(x, y, fx, fy);
    case 9: return slimeBody(y, fx, fy);
    case 10: return slimeFace(x, y, fx, fy);
    case 11: return pigBody(x, y, fx, fy);
    case 12: return pigFace(x, y, fx, fy);
    case 13: return water(x, y, fx, fy);
    case 14: return lava(fx, fy);
    case 15: return heart(x, y, fx, fy, true);
    case 16: return heart(x, y, fx, fy, false);
    case 17: return planks(x, y, fx, fy);
    case 18: return cobblestone(x, y, fx, fy);
    case 19: return bricks(x, y);
    case 20: return bookshelf(x, y, fx, fy);
    case 21: return gravel(x, y);
    case 22: return villagerFace(x, y, fx, fy);
    case 23: return villagerCoat(x, y, fx, fy);
    case 24: return villagerSkin(fx, fy);
    case 25: return playerFace(x, y, fx, fy);
    case 26: return playerShirt(x, y, fx, fy);
    case 27: return playerPants(x, y, fx, fy);
    case 28: case 29: case 30: return ore(static_cast<int>(tile - 28), x, y);
    case 31: return tableTop(x, y, fx, fy);
    case 32: return tableSide(x, y, fx, fy);
    case 33: return stick(x, y);
    case 34: return coal(x, y, fx, fy);
    case 35: return ironIngot(x, y);
    case 36: return diamond(y, fx, fy);
    case 53: return torch(x, y);
    case 54: return zombieSkin(x, y, fx, fy);
    case 55: return zombieFace(x, y, fx, fy);
    case 56: return zombieShirt(x, y, fx, fy);
    case 57: return bedrock(x, y, fx, fy);
    default: break;
  }
  if (tile >= 37 && tile <= 52) return tool(tile, x, y);
  return Texel{58, 58, 64, 255};
}

}  // namespace zorv
