#pragma once
// The chunks that can be seen from the camera: a breadth-first walk from the camera's
// chunk that crosses from one chunk into the next only through faces linked inside it,
// never turns back against a direction already taken, and stays inside the view frustum.

#include <cstdint>
#include <functional>
#include <unordered_set>
#include <vector>

#include "render/world_pass.h"
#include "world/types.h"

namespace zorv {

struct VisibilityQuery {
  Vec3 camera;
  FrustumPlanes planes{};
  int maxDistance = 16;  // chunks, horizontally, from the camera's chunk
};

// Face links of a chunk (see world/chunk_links.h); chunks never meshed count as open.
using FaceLinksLookup = std::function<std::uint16_t(const ChunkKey&)>;

// Every chunk the walk reaches, in the order reached (near to far). Empty when the
// camera is above or below the world's chunk range, where the walk has no footing: the
// caller then draws by the frustum alone.
std::vector<ChunkKey> visibleChunks(const VisibilityQuery& query, const FaceLinksLookup& links);

}  // namespace zorv
