#pragma once
// Which faces of a chunk see each other through it: two faces are linked when one
// connected region of non-opaque cells touches both. The renderer's visibility search
// walks from chunk to chunk only through linked faces, so caves under a hill are not
// drawn from the surface.

#include <cstdint>

#include "world/mesher.h"

namespace zorv {

// Faces in the mesher's order: 0 +X, 1 −X, 2 +Y, 3 −Y, 4 +Z, 5 −Z.
constexpr int kChunkFaces = 6;
constexpr int oppositeFace(int face) { return face ^ 1; }
// Bit of the unordered pair of two different faces in a 15-bit link set.
constexpr int linkBit(int a, int b) {
  const int lo = a < b ? a : b, hi = a < b ? b : a;
  return lo * (11 - lo) / 2 + hi - lo - 1;
}
constexpr std::uint16_t kAllFaceLinks = 0x7FFF;
constexpr bool facesLinked(std::uint16_t links, int a, int b) { return a == b || (links >> linkBit(a, b) & 1u) != 0; }

// The link set of the chunk in `snapshot` (its border cells are not looked at).
std::uint16_t chunkFaceLinks(const ChunkSnapshot& snapshot);

}  // namespace zorv
