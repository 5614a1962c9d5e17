#include "world/chunk_links.h"

#include <array>
#include <vector>

#include "world/registry.h"

namespace zorv {
namespace {

constexpr int cellIndex(int x, int y, int z) { return (y * kChunkSize + z) * kChunkSize + x; }

// The faces of the chunk a cell lies on, as a 6-bit set.
unsigned boundaryFaces(int x, int y, int z) {
  constexpr int last = kChunkSize - 1;
  return (x == last ? 1u : 0u) | (x == 0 ? 2u : 0u) | (y == last ? 4u : 0u) | (y == 0 ? 8u : 0u) |
         (z == last ? 16u : 0u) | (z == 0 ? 32u : 0u);
}

std::uint16_t linksOfFaceSet(unsigned faces) {
  std::uint16_t links = 0;
  for (int a = 0; a < kChunkFaces; ++a)
    for (int b = a + 1; b < kChunkFaces; ++b)
      if ((faces >> a & 1u) && (faces >> b & 1u)) links = static_cast<std::uint16_t>(links | 1u << linkBit(a, b));
  return links;
}

}  // namespace

std::uint16_t chunkFaceLinks(const ChunkSnapshot& snapshot) {
  const BlockRegistry& registry = blockRegistry();
  std::array<bool, kChunkCells> open{};  // not opaque and not yet reached
  for (int y = 0; y < kChunkSize; ++y)
    for (int z = 0; z < kChunkSize; ++z)
      for (int x = 0; x < kChunkSize; ++x) open[cellIndex(x, y, z)] = !registry.get(snapshot.blocks[snapshotIndex(x, y, z)]).opaque;
  std::uint16_t links = 0;
  std::vector<int> stack;
  stack.reserve(kChunkCells);
  for (int start = 0; start < kChunkCells; ++start) {
    if (!open[start]) continue;
    open[start] = false;
    stack.push_back(start);
    unsigned faces = 0;
    while (!stack.empty()) {
      const int cell = stack.back();
      stack.pop_back();
      const int x = cell % kChunkSize, z = cell / kChunkSize % kChunkSize, y = cell / (kChunkSize * kChunkSize);
      faces |= boundaryFaces(x, y, z);
      const std::array<std::array<int, 3>, 6> steps{{{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}}};
      for (const auto& s : steps) {
        const int nx = x + s[0], ny = y + s[1], nz = z + s[2];
        if (nx < 0 || ny < 0 || nz < 0 || nx >= kChunkSize || ny >= kChunkSize || nz >= kChunkSize) continue;
        const int next = cellIndex(nx, ny, nz);
        if (!open[next]) continue;
        open[next] = false;
        stack.push_back(next);
      }
    }
    links = static_cast<std::uint16_t>(links | linksOfFaceSet(faces));
    if (links == kAllFaceLinks) break;
  }
  return links;
}

}  // namespace zorv
