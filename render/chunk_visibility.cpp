#include "render/chunk_visibility.h"

#include <cmath>
#include <cstdlib>
#include <deque>
#include <array>

#include "world/chunk_links.h"

namespace zorv {
namespace {

constexpr std::array<std::array<int, 3>, kChunkFaces> kFaceSteps{{{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}}};

struct Step {
  ChunkKey key;
  int entry;          // face of `key` the walk came in through; −1 for the camera's chunk
  unsigned directions;  // faces stepped out through so far
};

bool chunkOutside(const FrustumPlanes& planes, const ChunkKey& key) {
  const std::array<float, 3> lo{16.0f * static_cast<float>(key.cx), 16.0f * static_cast<float>(key.cy), 16.0f * static_cast<float>(key.cz)};
  return boxOutside(planes, lo, {lo[0] + 16.0f, lo[1] + 16.0f, lo[2] + 16.0f});
}

}  // namespace

std::vector<ChunkKey> visibleChunks(const VisibilityQuery& query, const FaceLinksLookup& links) {
  const ChunkKey start{chunkCoord(floorToInt(query.camera.x)), chunkCoord(floorToInt(query.camera.y)),
                       chunkCoord(floorToInt(query.camera.z))};
  std::vector<ChunkKey> order;
  if (start.cy < kMinChunkY || start.cy > kMaxChunkY) return order;
  // A grid over the reachable chunks. Per chunk and entry face it keeps the directions
  // the walks through there have in common: a walk arriving with directions that are not
  // a superset of those is walked again with the common part (fewer directions forbid
  // less), so a straight line of sight is never hidden by an earlier, bent walk.
  const int side = 2 * query.maxDistance + 1;
  const int layers = kMaxChunkY - kMinChunkY + 1;
  struct Cell {
    std::array<std::uint8_t, kChunkFaces> common;
    std::uint8_t entries = 0;  // entry faces seen
    bool listed = false;
    std::uint16_t links = 0;
    bool linksRead = false;
  };
  std::vector<Cell> grid(static_cast<std::size_t>(side * side * layers));
  auto cellOf = [&](const ChunkKey& key) -> Cell& {
    const int x = key.cx - start.cx + query.maxDistance, z = key.cz - start.cz + query.maxDistance, y = key.cy - kMinChunkY;
    return grid[static_cast<std::size_t>((y * side + z) * side + x)];
  };
  std::deque<Step> queue{{start, -1, 0u}};
  cellOf(start).listed = true;
  order.push_back(start);
  while (!queue.empty()) {
    const Step step = queue.front();
    queue.pop_front();
    Cell& here = cellOf(step.key);
    if (!here.linksRead) {
      here.links = links(step.key);
      here.linksRead = true;
    }
    for (int face = 0; face < kChunkFaces; ++face) {
      if (step.directions >> oppositeFace(face) & 1u) continue;
      if (step.entry >= 0 && !facesLinked(here.links, step.entry, face)) continue;
      const auto& d = kFaceSteps[static_cast<std::size_t>(face)];
      const ChunkKey next{step.key.cx + d[0], step.key.cy + d[1], step.key.cz + d[2]};
      if (next.cy < kMinChunkY || next.cy > kMaxChunkY) continue;
      if (std::abs(next.cx - start.cx) > query.maxDistance || std::abs(next.cz - start.cz) > query.maxDistance) continue;
      if (chunkOutside(query.planes, next)) continue;
      const int entry = oppositeFace(face);
      auto directions = static_cast<std::uint8_t>(step.directions | 1u << face);
      Cell& there = cellOf(next);
      auto& common = there.common[static_cast<std::size_t>(entry)];
      if (there.entries >> entry & 1u) {
        if ((directions & common) == common) continue;  // no fewer directions than before
        directions = static_cast<std::uint8_t>(directions & common);
      }
      there.entries = static_cast<std::uint8_t>(there.entries | 1u << entry);
      common = directions;
      if (!there.listed) {
        there.listed = true;
        order.push_back(next);
      }
      queue.push_back({next, entry, directions});
    }
  }
  return order;
}

}  // namespace zorv
