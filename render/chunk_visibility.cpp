#include "render/chunk_visibility.h"

#include <bitset>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <unordered_map>

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
  const ChunkKey start{chunkCoord(static_cast<int>(std::floor(query.camera.x))), chunkCoord(static_cast<int>(std::floor(query.camera.y))),
                       chunkCoord(static_cast<int>(std::floor(query.camera.z)))};
  std::vector<ChunkKey> order;
  if (start.cy < kMinChunkY || start.cy > kMaxChunkY) return order;
  // Each chunk is walked at most once per entry face and set of directions taken: a
  // straight line of sight keeps its directions, so a walk that arrived first with other
  // directions must not hide it.
  std::unordered_map<ChunkKey, std::bitset<kChunkFaces * 64>, ChunkKeyHash> entered;
  std::deque<Step> queue{{start, -1, 0u}};
  entered[start].set();
  order.push_back(start);
  while (!queue.empty()) {
    const Step step = queue.front();
    queue.pop_front();
    const std::uint16_t own = links(step.key);
    for (int face = 0; face < kChunkFaces; ++face) {
      if (step.directions >> oppositeFace(face) & 1u) continue;
      if (step.entry >= 0 && !facesLinked(own, step.entry, face)) continue;
      const auto& d = kFaceSteps[static_cast<std::size_t>(face)];
      const ChunkKey next{step.key.cx + d[0], step.key.cy + d[1], step.key.cz + d[2]};
      if (next.cy < kMinChunkY || next.cy > kMaxChunkY) continue;
      if (std::abs(next.cx - start.cx) > query.maxDistance || std::abs(next.cz - start.cz) > query.maxDistance) continue;
      if (chunkOutside(query.planes, next)) continue;
      const int entry = oppositeFace(face);
      const unsigned directions = step.directions | 1u << face;
      auto [it, fresh] = entered.try_emplace(next);
      const std::size_t state = static_cast<std::size_t>(entry) * 64 + directions;
      if (it->second.test(state)) continue;
      it->second.set(state);
      if (fresh) order.push_back(next);
      queue.push_back({next, entry, directions});
    }
  }
  return order;
}

}  // namespace zorv
